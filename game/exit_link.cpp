#include "game/exit_link.h"

std::string g_exitLink;
