// The kart base shared by the simulated kart and the one that follows a
// peer: its scene items, driver and body motions, sounds, controller and
// tuning, its replicated values, its lap progress and what the contact
// surfaces found for it in the current collision pass.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "foundation/matrix.h"
#include "game/kart/controller.h"
#include "game/kart/kart_extras.h"
#include "game/kart/kart_items.h"
#include "game/kart/kart_motions.h"
#include "game/kart/kart_tuning.h"
#include "game/kart/vehicle_net_values.h"

class PhysicsObject;
class Scene;
class SceneItem;
class Surface;
class Texture;
class Vehicle;
class VehicleClient;
class VehicleMaster;

// The race's explosion pictures, by m_explosionType: rocket, froster,
// shrinker.
using ExplosionTextures = std::array<Texture*, 3>;

// What the track's contact surfaces wrote into a kart during one collision
// pass. Every normal points toward the kart's own geom (or, for the
// obstacle contact, toward the obstacle), whichever geom ODE listed first.
struct KartSensors {
  static constexpr int kRays = 5;  // four wheel rays, then the centre ray
  static constexpr int kWheelRays = 4;
  static constexpr int kCentreRay = 4;
  static constexpr std::size_t kNormalQueue = 15;  // newest hit normals kept per wheel ray
  static constexpr float kNoHit = -100.0f;

  KartSensors();

  // The newest hit normal of a wheel ray; older ones beyond the queue's
  // length are dropped.
  void pushNormal(int ray, const Normal3& normal);

  float rayHeight[kRays];
  std::int32_t rayKind[kRays] = {};
  std::uint8_t rayFall[kWheelRays] = {};
  std::deque<Normal3> rayNormals[kWheelRays];

  bool wallTouched = false;
  Position3 wallPos{};
  Normal3 wallNormal{};
  float wallDepth = 0.0f;

  Position3 kartPos{};
  Normal3 kartNormal{};
  float kartDepth = 0.0f;
  Vehicle* otherKart = nullptr;  // not owned

  PhysicsObject* obstacle = nullptr;  // not owned
  Position3 obstaclePos{};
  Normal3 obstacleNormal{};
  float obstacleDepth = 0.0f;

  // The wind zone and conveyor band the kart is in; stored anew by every
  // collision pass and forgotten by every step.
  PhysicsObject* wind = nullptr;  // not owned
  PhysicsObject* band = nullptr;  // not owned
};

class Vehicle {
 public:
  static constexpr int kMaxKarts = 6;
  static constexpr float kChassisScale = 0.75f;
  static constexpr float kColScale = 0.45f;
  // A box the kart drove through waits this far below the track, this long.
  static constexpr float kBoxParkDepth = 100.0f;
  static constexpr float kBoxReappearTime = 10.0f;
  // The shadow is drawn this far above the ground, the camera target this
  // far above the kart.
  static constexpr float kShadowLift = 0.1f;
  static constexpr float kCameraTargetLift = 1.0f;
  // The character-model entries the race load fills: the kart model's
  // chassis, metal and tyre surfaces and the driver's body surface.
  enum ModelSurface { kChassisSurface, kMetalSurface, kTyreSurface, kBodySurface, kModelSurfaces };

  // Kart k (0..5) finds its items in `scene` as instance k + 1 (the wheels
  // are layers 2 to 5 of `kartModelFile`, its own copy of them) and
  // registers its replicated values with `control` under the ids of k, with
  // the flags of `side`. `explosionTextures` is the race's (may be null).
  // A null tuning gets the defaults.
  Vehicle(Scene& scene, std::unique_ptr<Controller> controller, int k, const ExplosionTextures* explosionTextures,
          std::unique_ptr<KartTuning> tuning, const std::string& kartModelFile, NetControl& control,
          VehicleNetValues::Side side);
  virtual ~Vehicle();
  Vehicle(const Vehicle&) = delete;
  Vehicle& operator=(const Vehicle&) = delete;

  // The simulated kart answers itself; a kart that follows a peer, null.
  virtual VehicleMaster* getMaster() { return nullptr; }
  // The kart that follows a peer answers itself; the simulated one, null.
  virtual VehicleClient* getClient() { return nullptr; }
  // Whether this machine computes the kart's motion: only such a kart
  // records walls, rays and other karts.
  virtual bool isSimulated() { return getMaster() != nullptr; }
  virtual void getPosition(Position3& out) = 0;
  // The unit direction the kart points (or travels, for a followed kart).
  virtual const float* getVelocity() = 0;
  virtual float getSpeed() { return 0.0f; }
  // One physics step of dt (0.01) seconds.
  virtual void step(double time, double dt) = 0;
  // Once per frame: poses the driver, the body and the weapon objects.
  virtual void updateVisuals(double time) = 0;
  // The held extra, as every machine shows it.
  virtual void setExtra(int code);
  // The kart drove through an extra box (any kart takes boxes, followed
  // ones too): the box is parked by the kart's next step.
  virtual void giveRandomExtra(PhysicsObject* box);

  // Sound slot `slot` of this kart, played at `at` with the kart's
  // velocity; an empty slot plays nothing.
  void playSound(int slot, const Position3& at, bool loop = false);
  bool soundPlaying(int slot) const;
  void stopSound(int slot);
  // Plays the slot at the kart and has the other machines play it there.
  void announceSound(int slot);

  // The race's six kart slots (null where no kart is) and its kart count
  // (1 in a time trial), set by the race once every kart is built: the
  // extras' roll, the hits and the magnet read the other karts through
  // them. Until then the kart races alone.
  void joinRace(Vehicle* const* karts, int count);
  // Kart `index` of the race; null when the index names none.
  Vehicle* raceKart(int index) const;
  int raceKartCount() const { return m_raceKartCount; }
  // The extra a box gives this kart now, from its rank's table.
  ExtraType rollExtra() const;

  int index() const { return m_index; }
  Controller* controller() const { return m_controller.get(); }
  const KartTuning& tuning() const { return *m_tuning; }
  PhysicsObject* touchedBox() const { return m_touchedBox; }

  VehicleNetValues m_net;
  KartSensors m_sensors;
  KartItems m_items;
  KartMotions m_motions;

  // Lap progress: the checkpoint sets m_lineTouched and bit 0 of the
  // sector mask, the race the other bits; a full mask (0xFFFF) is a lap.
  std::uint8_t m_eliminationDone = 0;
  std::uint8_t m_lineTouched = 0;
  std::uint32_t m_sectorMask = 0xFFFE;
  std::int32_t m_sectorHistory[4] = {};
  // Set when a lap is counted, which may be on the line a little before
  // the map's own start of the lap: until the kart reads one of the lap's
  // first sector groups, the last group's values still belong to the lap
  // it has just completed.
  std::uint8_t m_awaitingLapStart = 0;

  Surface* m_characterModel[kModelSurfaces] = {};  // not owned: the root's surfaces
  const ExplosionTextures* m_explosionTextures;    // not owned: the race's

 protected:
  // Parks the box the kart drove through (if any) below the track until
  // it reappears.
  void parkTouchedBox(double time);
  // The camera target, kCameraTargetLift above the kart standing at `at`.
  void placeCameraTarget(const Position3& at);
  // While the hit motion plays (an intensity other than 0) the driver's
  // body is drawn in the hit colour.
  void tintHitBody(float hitIntensity);
  // The soap bubbles, bobbing out of step with each other, and the froster
  // and shrinker shots, where the replicated values put them.
  void placeBubblesAndShots(double time);

  Scene& m_scene;
  std::unique_ptr<Controller> m_controller;
  std::unique_ptr<KartTuning> m_tuning;
  int m_index;
  SceneItem* m_chassis = nullptr;  // all not owned: the scene's
  SceneItem* m_col = nullptr;
  SceneItem* m_wheels[KartSensors::kWheelRays] = {};
  PhysicsObject* m_touchedBox = nullptr;
  Vehicle* const* m_raceKarts = nullptr;  // not owned: the race's
  int m_raceKartCount = 0;
};

// Heading angle of a unit direction: acos(z), negative toward -x, so that
// 0 faces +z. The input is clamped so a direction a rounding error longer
// than 1 gives an angle, not NaN.
float yawOfDirection(const Normal3& v);
// Pitch of a unit direction: asin(y), clamped the same way.
float pitchOfDirection(const Normal3& v);
