// The race camera of each view.
#include "game/race.h"

void Race::updateCamera(int /*view*/, InputDevice& /*input*/) {}
