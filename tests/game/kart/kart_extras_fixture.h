// A simulated kart on flat ODE ground with its driver and body actors, its
// weapon objects and sound slots that note what they are asked, for the
// tests of the extras, the status timers and the kart's animation.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "foundation/channel_group.h"
#include "game/kart/controller.h"
#include "game/kart/kart_surfaces.h"
#include "game/kart/vehicle_master.h"
#include "game/saves/config.h"
#include "sound/sound_buffer.h"
#include "sound/sound_channel.h"
#include "tests/scene/physics_world.h"

namespace kart_test {

class ScriptedController : public Controller {
 public:
  bool left() override { return steerLeft; }
  bool right() override { return steerRight; }
  bool accelerate() override { return throttle; }
  bool brake() override { return braking; }
  bool secondaryAction() override { return false; }
  bool useExtra() override { return extra; }
  bool isAI() const override { return ai; }
  bool steerLeft = false, steerRight = false, throttle = false, braking = false, extra = false, ai = false;
};

// The respawn is another part's; here it is only counted.
class TestKart : public VehicleMaster {
 public:
  using VehicleMaster::useExtra;
  using VehicleMaster::VehicleMaster;
  void respawn() override { ++respawns; }
  int respawns = 0;
};

// A sound buffer that notes what the kart asks of it; it sounds until
// stopped.
class NotingBuffer : public SoundBuffer {
 public:
  bool play(bool loop) override {
    ++plays;
    looped = loop;
    m_playing = true;
    return true;
  }
  bool setLoop(bool) override { return true; }
  bool setFrequency(std::uint32_t) override { return true; }
  bool stop() override {
    ++stops;
    m_playing = false;
    return true;
  }
  double getPosition() override { return 0.0; }
  bool setVolume(float) override { return true; }
  bool setPosition(double) override { return true; }
  int getPlayCursor() override { return 0; }
  void set3DParameters(float px, float py, float pz, float, float, float, float, float, float) override {
    at = {px, py, pz};
  }
  int plays = 0, stops = 0;
  bool looped = false;
  Position3 at;
};

class SilentChannel : public SoundChannel {
 public:
  int Fill(std::uint8_t*, int) override { return 0; }
  int getBitsPerSample() override { return 16; }
  int getChannelCount() override { return 1; }
  int getSampleRate() override { return 22050; }
};

inline NotingBuffer* giveSound(Vehicle& kart, int slot) {
  KartSoundSlot& sound = kart.m_items.sounds[static_cast<std::size_t>(slot)];
  sound.channel = std::make_unique<SilentChannel>();
  auto buffer = std::make_unique<NotingBuffer>();
  NotingBuffer* noting = buffer.get();
  sound.buffer = std::move(buffer);
  return noting;
}

class Constant : public AnimChannel {
 public:
  double evaluate(double) override { return 0.0; }
};

inline const std::vector<std::string> kDriverMotionNames = {"Lenken_RE", "Lenken_LI", "Fahren",   "Rueckwaerts",
                                                            "Fallen",    "Spawn",     "Stampfer", "Getroffen",
                                                            "Sieger",    "Verlierer", "Crash"};
inline const std::vector<std::string> kBodyMotionNames = {
    "fahren_kart",    "stampfer_kart",  "getroffen_kart",      "schutzschild_kart", "abwerfen_kart",
    "shrinker_kart",  "froster_kart",   "rocketlauncher_kart", "bubble_kart",       "eisblock_kart",
    "lenken_LI_kart", "lenken_RE_kart", "fallen_kart"};

class KartWithExtras : public ::testing::Test {
 protected:
  void SetUp() override {
    scene = std::make_unique<Scene>(nullptr);
    scene->physics().addCollisionSpace(dHashSpaceCreate(nullptr), "top");
    for (int i = 1; i <= 3; ++i)
      scene->physics().addCollisionSpace(dSimpleSpaceCreate(scene->physics().space(0)), "sub");
    scene->physics().spacePairTable[3][0] = scene->physics().spacePairTable[0][3] = &collide;
    scene->physics().surfaceTable[5][0] = scene->physics().surfaceTable[0][5] = &rays;
    scene->physics().surfaceTable[5][8] = scene->physics().surfaceTable[8][5] = &falls;
    mesh = makeGroundMesh(20, 20.0f, [](float, float) { return 0.0f; });
    PhysicsObject* ground = addPhysicsObject(*scene, "ground", kGeomTriMesh, 0, 0);
    ground->addMesh(mesh.get(), 0.0f);
    ground->prepareOnce();
    placeAt(*scene->createObject("Vehicle"), 0.0f, 0.5f, 0.0f);
    col = scene->createObject("col");
    const std::string extras = "D:\\Tamberlok/3dobjects_extras/";
    const std::string cars = "D:\\Tamberlok/3dobjects_cars/";
    weight = addLayerObject(extras + "16_tonnen.lwo");
    magnet = addLayerObject(extras + "magnet.lwo");
    mine = addLayerObject(extras + "miene_02.lwo");
    shadow = addLayerObject(cars + "kart_shadow.lwo");
    rockets[0] = addLayerObject(extras + "rakete_2.lwo");
    rockets[1] = addLayerObject(extras + "rakete_1.lwo");
    driver = &actor("Character", kDriverMotionNames);
    body = &actor("gfd", kBodyMotionNames);
    auto controller = std::make_unique<ScriptedController>();
    held = controller.get();
    kart = std::make_unique<TestKart>(*scene, std::move(controller), 0, &explosions, nullptr, 0, "", config, control,
                                      nullptr);
    slots[0] = kart.get();
    kart->joinRace(slots, 1);
    kart->m_net.m_active.set(true);
  }
  void TearDown() override {
    others.clear();
    kart.reset();
    scene.reset();
  }

  ObjectItem* addLayerObject(const std::string& name) {
    meshes.push_back(makeGroundMesh(1, 1.0f, [](float, float) { return 0.0f; }));
    meshes.back()->index = 0;  // model layer 0
    ObjectItem* object = scene->createObject(name);
    object->addMesh(meshes.back().get(), 0.0f);
    return object;
  }
  MixerActor& actor(const std::string& name, const std::vector<std::string>& motionNames) {
    scene->actors.push_back(std::make_unique<MixerActor>());
    MixerActor& a = *scene->actors.back();
    a.name = name;
    groups.push_back(std::make_unique<ChannelGroup>());
    for (const std::string& motionName : motionNames) {
      scene->motions.push_back(std::make_unique<MixerMotion>());
      MixerMotion& m = *scene->motions.back();
      m.name = motionName;
      m.addChannel(groups.back().get(), groups.back()->addEnvelope(std::make_unique<Constant>()));
      a.motions.push_back(&m);
    }
    return a;
  }
  // Another kart of the race, k (1..5), standing at `at`.
  TestKart& addKart(int k, const Position3& at) {
    placeAt(*scene->createObject("Vehicle"), at.x, at.y, at.z);
    others.push_back(
        std::make_unique<TestKart>(*scene, nullptr, k, &explosions, nullptr, 0, "", config, control, nullptr));
    slots[k] = others.back().get();
    kart->joinRace(slots, 6);
    return *others.back();
  }

  void step() {
    scene->physics().collide();
    scene->physics().emptyContacts();
    kart->step(time, 0.01);
    time += 0.01;
  }
  void steps(int n) {
    for (int i = 0; i < n; ++i) step();
  }
  void settle() {
    steps(50);
    ASSERT_EQ(kart->m_drive.m_airborne, 0);
  }
  // A driver or body motion's intensity, by name.
  float intensity(const MixerActor& a, const std::string& name) const {
    const int i = a.findMotionIndex(name);
    return KartMotions::intensityOf(i < 0 ? nullptr : a.motions[static_cast<std::size_t>(i)]);
  }
  float offset(const MixerActor& a, const std::string& name) const {
    const MixerMotion& m = *a.motions[static_cast<std::size_t>(a.findMotionIndex(name))];
    return m.groups[0]->offset(m.envelopeIndex[0]);
  }
  void use(int extra) {
    kart->m_net.m_extra.set(extra);
    kart->useExtra(time, 0.01);
  }

  ExplosionTextures explosions{};
  NetControl control;
  Config config{nullptr, control, Config::SavedFile::Ignore};
  Vehicle* slots[6] = {};
  ODEJointSurfaceRay rays{slots};
  ODEJointSurfaceFall falls{slots};
  ODESpacePair collide{true};
  std::unique_ptr<SurfaceRenderObject> mesh;
  std::vector<std::unique_ptr<SurfaceRenderObject>> meshes;  // outlive the scene's items
  std::vector<std::unique_ptr<ChannelGroup>> groups;
  std::unique_ptr<Scene> scene;
  SceneItem* col = nullptr;
  SceneItem* weight = nullptr;
  SceneItem* magnet = nullptr;
  SceneItem* mine = nullptr;
  SceneItem* shadow = nullptr;
  SceneItem* rockets[2] = {};
  MixerActor* driver = nullptr;
  MixerActor* body = nullptr;
  ScriptedController* held = nullptr;
  std::unique_ptr<TestKart> kart;
  std::vector<std::unique_ptr<TestKart>> others;
  double time = 0.0;
};

inline Position3 worldPosition(SceneItem& item) {
  Matrix4x3 m;
  item.invalidate();
  item.worldMatrix(m, 0.0, true);
  return {m.m[12], m.m[13], m.m[14]};
}

}  // namespace kart_test
