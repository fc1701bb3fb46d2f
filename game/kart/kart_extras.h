// The extras a kart holds and fires: their codes as every machine shows
// them, the roll an extra box makes, and what both kinds of kart share
// about the explosion a weapon makes.
#pragma once

#include <array>

#include "foundation/matrix.h"

class SceneItem;
class Texture;
struct KartItems;

// Objects not in use wait here, under the track.
inline constexpr Position3 kParked{0.0f, -100.0f, 0.0f};
// Puts a weapon or effect object of the kart there (null: nothing).
void parkKartItem(SceneItem* item);

// The value of m_extra; the in-race display shows the picture of the same
// name. Codes 8 and 9 are never rolled and using them only clears them.
enum ExtraType : int {
  kExtraNone = 0,
  kExtraShield = 1,
  kExtraMagnet = 2,
  kExtraShrinker = 3,
  kExtraFroster = 4,
  kExtraTurbo = 5,
  kExtraMine = 6,
  kExtraRocket = 7,
  kExtraSecondRocket = 8,
  kExtraOil = 9,
  kExtraWeight = 10,
  kExtraSoap = 11,
  kExtraFlash = 12,
};

// Which of the three roll tables (0 leaders, 1 middle, 2 back) a kart of
// `rank` draws from in a race of `kartCount` karts. Both are received or
// computed values: a count outside 0..6 and a rank outside 0..5 are held
// to the nearest end.
int extraRollRow(int kartCount, int rank);
// The extra that the roll r (0..99) gives on `row`.
ExtraType extraForRoll(int row, int r);
// Draws the roll from the engine's random sequence.
ExtraType rollExtra(int kartCount, int rank);

// m_explosionType as an index into the explosion pictures: the value comes
// from peers too, so anything outside 0..2 is held to the nearest end.
int explosionTypeIndex(int type);
// The explosion picture of `type` from the race's table (the
// ExplosionTextures of game/kart/vehicle.h); null without a table.
Texture* explosionTexture(const std::array<Texture*, 3>* textures, int type);
// The kart's rocket particles show the explosion picture of `type`.
void showExplosionTexture(KartItems& items, const std::array<Texture*, 3>* textures, int type);
