// The kart whose motion this machine computes. It is no ODE body: each
// physics step places its chassis from the controller's commands, its
// tuning and what its five ground rays and its collision item met in the
// collision pass before (see game/kart/kart_drive.h and game/kart/kart_surfaces.h).
// The extras, hits and track surfaces reach it through the hooks below.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "game/kart/kart_drive.h"
#include "game/kart/kart_status.h"
#include "game/kart/kart_tuning.h"
#include "game/kart/vehicle.h"
#include "game/track/track_points.h"

class Config;
class Controller;
class File;
class PhysicsObject;
class Scene;
class SceneItem;

// The kart's world matrix: the scale s, the yaw about y, then the tilt frame
// of the up axis u, translated to `at` (row-vector form, as Matrix4x3).
Matrix4x3 kartMatrix(const Normal3& up, float yaw, const Position3& at, const float (&scale)[3]);
Matrix4x3 kartMatrix(const Normal3& up, float yaw, const Position3& at, float scale);

class VehicleMaster : public Vehicle {
 public:
  static constexpr float kRespawnHeight = -20.0f;

  // `k` is the kart index (its items are instance k + 1), `startPosition`
  // its grid slot (the "start" item of instance startPosition + 1). The
  // rocket path and respawn points come from `points` when given.
  // The kart model's layers 2 to 5 are the wheels; without them the wheel
  // rays start at the chassis corners.
  VehicleMaster(Scene& scene, std::unique_ptr<Controller> controller, int k, const ExplosionTextures* explosionTextures,
                std::unique_ptr<KartTuning> tuning, int startPosition, const std::string& kartModelFile,
                const Config& config, NetControl& control, const TrackPoints* points);
  ~VehicleMaster() override;

  VehicleMaster* getMaster() override { return this; }
  void getPosition(Position3& out) override;
  const float* getVelocity() override { return &m_drive.m_heading.x; }
  float getSpeed() override { return m_drive.m_velocity; }
  void step(double time, double dt) override;
  // Once per frame: chooses and cross-fades the driving motions, publishes
  // every motion's state and shows the dropped magnet and mine.
  void updateVisuals(double time) override;

  // Hooks of the extras, the hits and the track surfaces.
  // Back onto the track behind where the kart was.
  virtual void respawn();
  // A speed-up pad (its item) launches the kart.
  virtual void startSpeedBoost(PhysicsObject* pad);
  // Flattened: by the stamper, or run over by a kart while shrunk.
  virtual void onStamped();
  // Caught by the crusher.
  virtual void onCrushed();
  // This kart's rocket, froster or shrinker shot went off at `position`.
  virtual void explodeWeapon(const Position3& position);

  // The chassis is drawn with m_matrix: set both through here, so that
  // where the kart is drawn, where getPosition finds it and what the other
  // machines see stay one.
  void setKartMatrix(const Matrix4x3& matrix);

  // Where every kart step is counted and each 25th writes its kart's x, y,
  // z and speed as a point-file record; null (the default) records nothing.
  static File* s_routeRecorder;

  KartDrive m_drive;
  KartStatusTimers m_status;
  KartAnimation m_animation;
  KartProjectiles m_projectiles;

  const std::vector<Position3>& respawnPoints() const { return m_respawnPoints; }
  const std::vector<Position3>& rocketPath() const { return m_rocketPath; }
  PhysicsObject* ray(int i) const { return m_rays[i]; }

  // Extras, status effects and the kart's animation (game/kart/kart_extras.cpp,
  // game/kart/kart_status_timers.cpp, game/kart/kart_animation.cpp).
  // A hit, stamp, crush or fall spoils a rocket launch of the first second
  // (and drops the shield, shrinker and froster motions).
  void abortRocketLaunch();
  // An event motion (hit, stamp, fall): restarted by the next frame and held
  // `hold` seconds before the driving choice resumes; -1 plays none.
  void requestEventMotion(int driverMotion, int bodyMotion, float hold);
  // Ends a magnet's pull on this kart and parks the magnet, which pulls no
  // kart again.
  void endMagnetPull();
  // Seconds a shrinker hit lasts; the kart grows back in its first and last
  // half second.
  static constexpr float kShrinkTime = 10.0f;

 private:
  // The sound of `slot` goes on sounding where the kart is now.
  void followWithSound(int slot);
  // A kart motion restarted at `time` at full intensity.
  void startBodyMotion(KartMotions::Body which, double time);
  void silenceBodyMotion(KartMotions::Body which);
  // A driving motion takes over from the current one; a cross-fade still
  // running is cut.
  void startDrivingMotion(int driverMotion, int bodyMotion);
  void chooseDrivingMotion();
  void crossFade(double time);
  void runShield(double dt);
  void runTurbo(double dt);
  void runDisplayTimer(NetValue<float>& timer, double dt);
  void runWeightHit(double dt);
  void runShrink(double dt);
  void runRocketHit(double dt);
  void runExplosion(double dt);
  // Crushed or flattened: true while the kart waits to respawn.
  bool runSquashed(float& timer, bool sendCol, double time, double dt);
  bool m_shrinkShown = false;  // the chassis is at a shrunk size

 public:
  // Respawn and the weapons in flight (game/kart/kart_respawn.cpp,
  // game/kart/kart_projectiles.cpp).
  // The position map's value under a point (0 off the track, else 1..255
  // rising along the lap), which a homing rocket compares with the
  // leader's; the race sets it. Without it the rocket never picks a target.
  void setTrackSectors(std::function<int(const Position3&)> sectorAt) { m_sectorAt = std::move(sectorAt); }
  // The position map's value under `at`; -1 when the race gave no map.
  int trackSectorAt(const Position3& at) const { return m_sectorAt ? m_sectorAt(at) : -1; }
  // Where a kart a person drives comes back, and the way it then faces: the
  // third respawn point behind the nearest that no other kart occupies.
  void findRespawnPoint(Position3& point, Normal3& direction);
  // The same for a computer driver, on a driving line it draws anew, five
  // points back; the driver continues from that point.
  void findAiRespawnPoint(Position3& point, Normal3& direction);
  // The rocket path point nearest the kart, -1 when there is none.
  int nearestRocketPathPoint();
  // Whether `item` is one of this kart's rockets or shots and is flying:
  // only a weapon in flight goes off where it meets the track.
  bool weaponInFlight(const SceneItem* item) const;

 protected:
  // The magnet and mine dropped behind, the soap bubbles and the rocket.
  virtual void runProjectiles(double time, double dt);

 private:
  struct Shot;
  // Where shots and bubbles leave: ahead of the kart, a little to its side.
  Position3 launchPoint();
  void dropItems(float dt);
  void flyBubbles(float dt);
  void flyRocket(double time, float dt);
  void launchRocket(double time);
  void steerRocket(const Position3& at);
  void flyShot(const Shot& shot, float dt);
  // The respawn point `back` points behind the nearest on `points`, or -1.
  int freePointBehind(const std::vector<Position3>& points, int back);
  void respawnPointAt(const std::vector<Position3>& points, int i, Position3& point, Normal3& direction) const;

  std::function<int(const Position3&)> m_sectorAt;
  // Where the kart stood on the grid, and its heading there: where it comes
  // back to on a track without respawn points.
  Position3 m_gridStart{};
  Normal3 m_gridHeading{0.0f, 0.0f, 1.0f};

 protected:
  virtual void useExtra(double time, double dt);
  // Shield, turbo, flash and weight displays (the dropped items, bubbles
  // and rocket follow in runProjectiles).
  virtual void runTimers(double time, double dt);
  // Fall, crushed and flattened: true ends the step early.
  virtual bool runFallTimers(double time, double dt);
  // Throttle lock, weight, frozen, skid and shrink.
  virtual void runStatusTimers(double time, double dt);
  // Rocket and mine hits, the explosion's brightness.
  virtual void runHitTimers(double time, double dt);
  virtual void runMagnet(double time, double dt);
  // Froster and shrinker shots.
  virtual void flyShots(double time, double dt);
  virtual void placeProjectiles(double time);

  const Config& m_config;
  PhysicsObject* m_rays[KartSensors::kRays] = {};
  std::vector<Position3> m_respawnPoints;
  std::vector<Position3> m_rocketPath;

 private:
  void placeAtStart(int startPosition);
  // The steps of step(), in their order there.
  void endStepEarly();
  void applyGroundRules();
  Position3 windAndBandPush(double time, const Position3& at);
  void pushObstacle();
  void place(double time);
  void orient();
  void followWithCameraTarget();
  void spinWheels();
  void aimRays();
  void recordRoute();
  void replicate();
  // The ground's up axis from the wheel rays' recent normals.
  Normal3 upAxis() const;
  Position3 chassisPosition();
  static int s_recorderSteps;
};
