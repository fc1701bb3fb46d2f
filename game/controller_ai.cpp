#include "game/controller_ai.h"

ControllerAI::ControllerAI(const File* /*files*/, int /*unused*/, const Config& /*config*/, int k)
    : m_lineIndex(k - 1) {}
