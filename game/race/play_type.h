// How the players of a race sit: the settings' play type (Config::m_playType).
#pragma once

#include <cstdint>

enum PlayType : std::int32_t {
  kPlayOneLocal = 0,     // one player at this machine
  kPlaySplitScreen = 1,  // two players at this machine, one above the other
  kPlayNetwork = 2,      // players at several machines through the relay
};
