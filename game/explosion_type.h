// m_explosionType picks one of the race's three explosion pictures (rocket,
// froster, shrinker); every kart that shows an explosion goes through here.
#pragma once

#include <algorithm>

// The value comes from peers too: anything outside 0..2 is held to the
// nearest end.
inline int clampExplosionType(int type) { return std::clamp(type, 0, 2); }
