// Karts on a flat ground of real ODE, for the fuzz targets of the values a
// race hands the kart step: the ground mesh in the top space, the karts'
// rays in space 3 and the ray surface between kinds 5 and 0, as on a track,
// so that whatever a kart's position becomes reaches the collider.
#pragma once

#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include "game/kart/controller.h"
#include "game/kart/controller_ai.h"
#include "game/kart/kart_surfaces.h"
#include "game/kart/vehicle_master.h"
#include "game/saves/config.h"
#include "net/net_control.h"
#include "tests/scene/physics_world.h"

// Throttle held; the steering follows a pattern of the input's bytes.
class PatternDriver : public Controller {
 public:
  explicit PatternDriver(unsigned pattern) : m_pattern(pattern) {}
  void update(bool, bool) override { ++m_step; }
  bool left() override { return (m_pattern >> (m_step / 32 % 16) & 1) != 0; }
  bool right() override { return (m_pattern >> (m_step / 32 % 16 + 16) & 1) != 0; }
  bool accelerate() override { return m_step % 200 < 150; }
  bool brake() override { return m_step % 200 >= 170; }
  bool secondaryAction() override { return false; }
  bool useExtra() override { return false; }

 private:
  unsigned m_pattern;
  unsigned m_step = 0;
};

class KartGround {
 public:
  static constexpr int kMaxKarts = 6;

  // 400 x 400 units of ground at height 0, around the origin: the grid of
  // track 0 and its maps' ground lie on it.
  KartGround() {
    PhysicsWorld& physics = m_scene->physics();
    physics.addCollisionSpace(dHashSpaceCreate(nullptr), "top");
    for (int i = 1; i <= 3; ++i) physics.addCollisionSpace(dSimpleSpaceCreate(physics.space(0)), "sub");
    physics.spacePairTable[3][0] = physics.spacePairTable[0][3] = &m_collide;
    physics.surfaceTable[5][0] = physics.surfaceTable[0][5] = &m_rays;
    m_mesh = makeGroundMesh(40, 10.0f, [](float, float) { return 0.0f; });
    PhysicsObject* ground = addPhysicsObject(*m_scene, "ground", kGeomTriMesh, 0, 0);
    ground->addMesh(m_mesh.get(), 0.0f);
    ground->prepareOnce();
    m_config.m_track.set(0);
  }
  ~KartGround() {
    for (auto& kart : m_karts) kart.reset();  // their values and rays go before the scene
    m_scene.reset();
  }

  // A kart k placed 0.5 above the ground at `at`, so that it falls first.
  VehicleMaster& addKart(std::unique_ptr<Controller> controller, std::unique_ptr<KartTuning> tuning,
                         const TrackPoints* points, float at) {
    const int k = static_cast<int>(m_karts.size());
    Controller* driver = controller.get();
    m_karts.push_back(std::make_unique<VehicleMaster>(*m_scene, std::move(controller), k, &m_explosions,
                                                      std::move(tuning), k, "", m_config, m_control, points));
    VehicleMaster& kart = *m_karts.back();
    m_slots[k] = &kart;
    kart.m_net.m_active.set(true);
    kart.setKartMatrix(kartMatrix({0.0f, 1.0f, 0.0f}, 0.0f, {at, 0.5f, 0.0f}, 0.75f));
    kart.m_drive.m_target = {at, 0.5f, 0.0f};
    if (auto* ai = dynamic_cast<ControllerAI*>(driver)) {
      ai->setKart(&kart);
      ai->setClock(&m_time);
    }
    return kart;
  }
  void joinKarts() {
    for (auto& kart : m_karts) kart->joinRace(m_slots, static_cast<int>(m_karts.size()));
  }

  // One physics step as the race frame takes it; aborts when a kart's place
  // is no longer a number.
  void step() {
    m_scene->physics().collide();
    m_scene->physics().emptyContacts();
    for (auto& kart : m_karts) {
      kart->step(m_time, 0.01);
      Position3 at;
      kart->getPosition(at);
      if (!std::isfinite(at.x) || !std::isfinite(at.y) || !std::isfinite(at.z)) std::abort();
    }
    m_time += 0.01;
  }

  const Config& config() const { return m_config; }

 private:
  ExplosionTextures m_explosions{};
  NetControl m_control;
  Config m_config{nullptr, m_control, Config::SavedFile::Ignore};
  Vehicle* m_slots[kMaxKarts] = {};
  ODEJointSurfaceRay m_rays{m_slots};
  ODESpacePair m_collide{true};
  std::unique_ptr<SurfaceRenderObject> m_mesh;
  std::unique_ptr<Scene> m_scene = std::make_unique<Scene>(nullptr);
  std::vector<std::unique_ptr<VehicleMaster>> m_karts;
  double m_time = 0.0;
};
