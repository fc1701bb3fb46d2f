// The kart whose motion this machine computes. It is no ODE body: each
// physics step places its chassis from the controller's commands, its
// tuning and what its five ground rays and its collision item met in the
// collision pass before (see game/kart_drive.h and game/kart_surfaces.h).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "game/kart_drive.h"
#include "game/kart_motions.h"
#include "game/kart_tuning.h"
#include "game/vehicle.h"

class Config;
class Controller;
class File;
class PhysicsObject;
class Scene;
class SceneItem;

// The kart's world matrix: scale, the yaw about y, then the tilt frame of
// the up axis u, translated to `at` (row-vector form, as Matrix4x3).
Matrix4x3 kartMatrix(const Normal3& up, float yaw, const Position3& at, float scale);

class VehicleMaster : public Vehicle {
 public:
  static constexpr int kRaySurfaceKind = 5;
  static constexpr int kRaySpace = 3;
  static constexpr float kRespawnHeight = -20.0f;
  static constexpr float kChassisScale = 0.75f;
  static constexpr float kColScale = 0.45f;

  // `k` is the kart index (its items are instance k + 1), `startPosition`
  // its grid slot (the "start" item of instance startPosition + 1). The
  // point files of the config's track are read through `files` when given.
  // The kart model's layers 2 to 5 are the wheels (this kart's own
  // instance of them); without them the wheel rays start at the chassis
  // corners.
  VehicleMaster(Scene& scene, const Config& config, NetControl& control, std::unique_ptr<Controller> controller, int k,
                std::unique_ptr<KartTuning> tuning, int startPosition, const File* files,
                const std::string& kartModelFile = {});
  ~VehicleMaster() override;

  VehicleMaster* getMaster() override { return this; }
  void getPosition(Position3& out) override;
  const float* getVelocity() override { return &m_drive.m_heading.x; }
  float getSpeed() override { return m_drive.m_velocity; }
  void step(double time, double dt) override;

  // Remembers the box the kart drove through; the next step parks it.
  void giveRandomExtra(SceneItem* box) { m_touchedBox = box; }

  // Where every kart step is counted and each 25th writes its kart's x, y,
  // z and speed as a point-file record; null (the default) records nothing.
  static File* s_routeRecorder;

  KartDrive m_drive;
  const KartTuning& tuning() const { return *m_tuning; }
  const std::vector<Position3>& respawnPoints() const { return m_respawnPoints; }
  const std::vector<Position3>& rocketPath() const { return m_rocketPath; }
  PhysicsObject* ray(int i) const { return m_rays[i]; }
  SceneItem* touchedBox() const { return m_touchedBox; }
  const KartMotions& motions() const { return m_motions; }
  int animationState() const { return m_animationState; }
  float animationHold() const { return m_animationHold; }
  int pendingDriverMotion() const { return m_pendingDriverMotion; }

 protected:
  // Hooks of the extras and timed effects, empty here.
  virtual void respawn() {}
  virtual void useExtra(double /*time*/, double /*dt*/) {}
  virtual void runTimers(double /*time*/, double /*dt*/) {}
  // Fall, crushed and flattened: true ends the step early.
  virtual bool runFallTimers(double /*time*/, double /*dt*/) { return false; }
  virtual void runStatusTimers(double /*time*/, double /*dt*/) {}
  virtual void runHitTimers(double /*time*/, double /*dt*/) {}
  virtual void runMagnet(double /*time*/, double /*dt*/) {}
  virtual void flyShots(double /*time*/, double /*dt*/) {}
  virtual void placeProjectiles(double /*time*/) {}
  virtual void onCrushed() {}

  Scene& m_scene;
  const Config& m_config;
  std::unique_ptr<Controller> m_controller;
  std::unique_ptr<KartTuning> m_tuning;
  SceneItem* m_chassis = nullptr;
  SceneItem* m_col = nullptr;
  SceneItem* m_wheels[KartSensors::kWheelRays] = {};
  PhysicsObject* m_rays[KartSensors::kRays] = {};
  SceneItem* m_touchedBox = nullptr;
  std::vector<Position3> m_respawnPoints;
  std::vector<Position3> m_rocketPath;
  KartMotions m_motions;
  float m_animationHold = 0.0f;
  int m_animationState = 0;
  int m_pendingDriverMotion = -1;  // the driver motion the animation plays next, -1 none
  bool m_shrunk = false;

 private:
  void place(double time);
  // The ground's up axis from the wheel rays' recent normals.
  Normal3 upAxis() const;
  void aimRays();
  Position3 chassisPosition();
  static int s_recorderSteps;
};
