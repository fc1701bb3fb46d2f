// What shows a kart in the race scene besides its chassis, collision box and
// wheels: the camera target, shadow, weapon and effect objects, the sound
// slots the race load fills, and the particle trail of its rockets.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "foundation/matrix.h"

class FXEmitter;
class ObjectItem;
class ParticleMaterial;
class Scene;
class SceneItem;
class SoundBuffer;
class SoundChannel;
class Surface;
class Texture;

// The kart's sound slots by what they sound. The slot number is what
// m_soundStart and m_soundStop carry to the other machines.
enum KartSound : int {
  kSoundEngine = 0,
  kSoundRocketHit = 2,
  kSoundPickUp = 4,
  kSoundFall = 6,
  kSoundRespawn = 7,
  kSoundShrinkerShot = 8,
  kSoundTurbo = 9,
  kSoundShield = 10,
  kSoundRocketLaunch = 11,
  kSoundSpeedUp = 12,
  kSoundBump = 13,
  kSoundSoap = 14,
  kSoundFrosterShot = 15,
  kSoundMagnet = 16,
  kSoundThrow = 17,
  kSoundStamped = 18,
  kSoundWeight = 19,
  kSoundWallCrash = 20,
  kSoundRocketFlight = 22,
};

// One sound the kart can play: the channel the race shares between karts
// and the kart's own playing buffer. A slot without a file stays empty.
struct KartSoundSlot {
  std::unique_ptr<SoundChannel> channel;
  std::unique_ptr<SoundBuffer> buffer;
  bool empty() const { return !channel || !buffer; }
};

struct KartItems {
  static constexpr int kSoundSlots = 23;
  static constexpr int kBubbles = 3;
  static constexpr int kExplosionParts = 8;
  static constexpr int kSmoke = 7;

  KartItems();
  ~KartItems();
  KartItems(const KartItems&) = delete;
  KartItems& operator=(const KartItems&) = delete;

  // Finds the items of kart `k` (0..5) by name, each kart its own instance;
  // an item the scene lacks stays null. Another index finds nothing.
  // Parked items (magnet, mine, rockets, bubbles, weight, lasers) are moved
  // out of sight; the rockets and lasers learn their kart.
  void find(Scene& scene, int k);
  // The object "rocketParticles" with a switched-off emitter and a particle
  // material showing `explosionTexture` (none: the material has no layer).
  void createRocketParticles(Scene& scene, Texture* explosionTexture);

  SceneItem* cameraTarget = nullptr;  // all not owned: the scene's
  SceneItem* shadow = nullptr;
  SceneItem* magnet = nullptr;
  SceneItem* mine = nullptr;
  SceneItem* rockets[2] = {};
  SceneItem* bubbles[kBubbles] = {};
  SceneItem* weight = nullptr;
  SceneItem* lasers[2] = {};
  SceneItem* explosionParts[kExplosionParts] = {};
  SceneItem* smoke[kSmoke] = {};

  ObjectItem* rocketParticles = nullptr;  // not owned
  FXEmitter* rocketEmitter = nullptr;     // not owned: in the scene's emitter list

  std::array<KartSoundSlot, kSoundSlots> sounds;
};

// Moves a kart's item to `at` and marks its matrices stale (null: nothing).
void placeKartItem(SceneItem* item, const Position3& at);
// The same, then evaluated at `time`, so that a collision item's geom
// follows at once.
void placeKartItem(SceneItem* item, const Position3& at, double time);
// Turned to a heading and a pitch (bank 0) first.
void placeKartItem(SceneItem* item, const Position3& at, float heading, float pitch, double time);

// Adds a colour picture layer showing `texture` to the surface, as the
// rocket particles show their explosion picture.
void addColourLayer(Surface& surface, Texture* texture);

// The named item of kart instance `instance` (from 1), null when the scene
// holds fewer, without the lookup's report.
SceneItem* findKartItem(Scene& scene, const std::string& name, int layer, int instance);

// The file of sound slot `slot` (the engine's for `engineClass` 0..2), empty
// for a slot without a sound or an index out of range: the race load skips
// those.
std::string kartSoundFile(int slot, int engineClass);
