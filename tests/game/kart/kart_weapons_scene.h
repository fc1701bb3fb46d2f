// A kart on flat ground with its weapon items and motions, and room for a
// second kart, for the tests of the weapons in flight and of the respawn.
#pragma once

#include <gtest/gtest.h>

#include "foundation/channel_group.h"
#include "game/kart/kart_surfaces.h"
#include "game/kart/vehicle_master.h"
#include "game/saves/config.h"
#include "tests/scene/physics_world.h"

class WeaponsKart : public VehicleMaster {
 public:
  using VehicleMaster::flyShots;
  using VehicleMaster::m_respawnPoints;
  using VehicleMaster::m_rocketPath;
  using VehicleMaster::placeProjectiles;
  using VehicleMaster::VehicleMaster;
};

class KartWeaponsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scene->physics().addCollisionSpace(dHashSpaceCreate(nullptr), "top");
    for (int i = 1; i <= 3; ++i)
      scene->physics().addCollisionSpace(dSimpleSpaceCreate(scene->physics().space(0)), "sub");
    scene->physics().spacePairTable[3][0] = scene->physics().spacePairTable[0][3] = &collide;
    scene->physics().surfaceTable[5][0] = scene->physics().surfaceTable[0][5] = &rays;
    PhysicsObject* ground = addPhysicsObject(*scene, "ground", kGeomTriMesh, 0, 0);
    ground->addMesh(mesh(20, 20.0f, -1), 0.0f);
    ground->prepareOnce();
    placeAt(*scene->createObject("start"), 0.0f, 0.5f, 0.0f);
    scene->createObject("Vehicle");
    const std::string extras = "D:\\Tamberlok/3dobjects_extras/", cars = "D:\\Tamberlok/3dobjects_cars/";
    // Weapons are model layer 0; kart 0's bubbles are instances 2 to 4.
    for (const std::string name : {"rakete_2", "magnet", "miene_02", "bubble", "bubble", "bubble", "bubble"})
      scene->createObject(extras + name + ".lwo")->addMesh(mesh(1, 0.1f, 0), 0.0f);
    for (const std::string& name : {extras + "rakete_1.lwo", cars + "laserstrahl1.lwo", cars + "laserstrahl2.lwo"}) {
      PhysicsObject* item = addPhysicsObject(*scene, name, kGeomSphere, 18, 0);
      item->addMesh(mesh(1, 0.1f, 0), 0.0f);
      item->prepareOnce();
    }
    actor("Character", {"Fahren", "Fallen", "Stampfer", "Getroffen"});
    actor("gfd",
          {"fahren_kart", "abwerfen_kart", "rocketlauncher_kart", "froster_kart", "fallen_kart", "getroffen_kart"});
    kart = build(nullptr);
  }

  std::unique_ptr<WeaponsKart> build(std::unique_ptr<Controller> controller) {
    kart.reset();
    auto built = std::make_unique<WeaponsKart>(*scene, std::move(controller), 0, nullptr, nullptr, 0, "", config,
                                               control, nullptr);
    built->m_net.m_active.set(true);
    built->m_net.m_rank.set(2);  // not leading: rockets pick the leader
    slots[0] = built.get();
    built->joinRace(slots, 6);
    built->setTrackSectors([this](const Position3&) { return sector; });
    return built;
  }
  SurfaceRenderObject* mesh(int cells, float size, int layer) {
    meshes.push_back(makeGroundMesh(cells, size, [](float, float) { return 0.0f; }));
    meshes.back()->index = layer;
    return meshes.back().get();
  }
  void actor(const std::string& name, const std::vector<std::string>& motionNames) {
    scene->actors.push_back(std::make_unique<MixerActor>());
    scene->actors.back()->name = name;
    groups.push_back(std::make_unique<ChannelGroup>());
    for (const std::string& motionName : motionNames) {
      scene->motions.push_back(std::make_unique<MixerMotion>());
      scene->motions.back()->name = motionName;
      scene->motions.back()->addChannel(groups.back().get(), groups.back()->addEnvelope(std::make_unique<Flat>()));
      scene->actors.back()->motions.push_back(scene->motions.back().get());
    }
  }
  static float intensity(const MixerMotion* m) { return m->groups[0]->intensity(m->envelopeIndex[0]); }
  static Position3 translationOf(SceneItem* item) {
    Matrix4x3 m;
    item->worldMatrix(m, 0.0, true);
    return {m.m[12], m.m[13], m.m[14]};
  }

  void step() {
    scene->physics().collide();
    scene->physics().emptyContacts();
    kart->step(time, 0.01);
    time += 0.01;
  }
  void settle() {
    for (int i = 0; i < 50; ++i) step();
  }
  // The kart, upright and facing `yaw`, at `at`.
  void putKart(const Position3& at, float yaw = 0.0f) {
    kart->setKartMatrix(kartMatrix(Normal3{0.0f, 1.0f, 0.0f}, yaw, at, 0.75f));
  }
  // A second kart (no chassis: it is where its target is) ranked `rank`,
  // `sectorNow` the newest position-map value under it.
  Vehicle& addOther(const Position3& at, int rank = 1, int sectorNow = 1) {
    other.reset();  // its values leave their ids first
    other = std::make_unique<WeaponsKart>(*scene, nullptr, 1, nullptr, nullptr, 1, "", config, control, nullptr);
    other->m_drive.m_target = at;
    other->m_net.m_rank.set(rank);
    other->m_sectorHistory[0] = sectorNow;
    slots[1] = other.get();
    return *other;
  }

  class Flat : public AnimChannel {
    double evaluate(double) override { return 0.0; }
  };

  NetControl control;
  Config config{nullptr, control, Config::SavedFile::Ignore};
  Vehicle* slots[6] = {};
  ODEJointSurfaceRay rays{slots};
  ODESpacePair collide{true};
  std::vector<std::unique_ptr<SurfaceRenderObject>> meshes;  // outlive the scene's items
  std::vector<std::unique_ptr<ChannelGroup>> groups;
  std::unique_ptr<Scene> scene = std::make_unique<Scene>(nullptr);
  std::unique_ptr<WeaponsKart> other;
  std::unique_ptr<WeaponsKart> kart;
  int sector = 1;  // the position map's value wherever asked
  double time = 0.0;
};
