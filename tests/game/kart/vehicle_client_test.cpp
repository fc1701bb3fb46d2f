#include "game/kart/vehicle_client.h"

#include <gtest/gtest.h>

#include "foundation/channel_group.h"
#include "render/procedural_texture.h"
#include "render/surface.h"
#include "render/texture_layer.h"
#include "scene/particle_emitter.h"
#include "scene/particle_renderers.h"
#include "sound/sound_buffer.h"
#include "sound/sound_channel.h"
#include "tests/scene/physics_world.h"

namespace {

const std::string kCars = "D:\\Tamberlok/3dobjects_cars/";

class Constant : public AnimChannel {
 public:
  double evaluate(double) override { return 0.0; }
};

// A sound buffer that notes whether it was started and where.
class NotingBuffer : public SoundBuffer {
 public:
  bool play(bool) override {
    ++plays;
    return playing = true;
  }
  bool setLoop(bool) override { return true; }
  bool setFrequency(std::uint32_t) override { return true; }
  bool stop() override {
    playing = false;
    return true;
  }
  double getPosition() override { return 0.0; }
  bool setVolume(float) override { return true; }
  bool setPosition(double) override { return true; }
  int getPlayCursor() override { return 0; }
  void set3DParameters(float x, float, float, float, float, float, float, float, float) override { atX = x; }
  int plays = 0;
  bool playing = false;
  float atX = 0.0f;
};

class SilentChannel : public SoundChannel {
 public:
  int Fill(std::uint8_t*, int) override { return 0; }
  int getBitsPerSample() override { return 16; }
  int getChannelCount() override { return 1; }
  int getSampleRate() override { return 22050; }
};

Position3 translation(SceneItem* item, double time = 0.0) {
  Matrix4x3 m;
  item->worldMatrix(m, time, true);
  return {m.m[12], m.m[13], m.m[14]};
}

// Kart 0 of a race, seen on a machine where it does not drive: its items,
// its two actors and two grid places in a scene without physics spaces.
class RemoteKart : public ::testing::Test {
 protected:
  void SetUp() override {
    chassis = scene.createObject("Vehicle");
    col = scene.createObject("col");
    cameraTarget = scene.createObject("CameraTarget");
    shadow = layerObject(kCars + "kart_shadow.lwo", 0);
    driver = &actor("Character", {"Fahren", "Lenken_LI", "Getroffen"});
    body = &actor("gfd", {"getroffen_kart", "fahren_kart"});
  }
  void build(int startPosition = 0) {
    kart =
        std::make_unique<VehicleClient>(scene, nullptr, 0, &pictures, nullptr, startPosition, "kart_01.lwo", control);
  }
  ObjectItem* layerObject(const std::string& name, int layer) {
    meshes.push_back(makeGroundMesh(1, 1.0f, [](float, float) { return 0.0f; }));
    meshes.back()->index = layer;
    ObjectItem* object = scene.createObject(name);
    object->addMesh(meshes.back().get(), 0.0f);
    return object;
  }
  MixerActor& actor(const std::string& name, const std::vector<std::string>& motionNames) {
    scene.actors.push_back(std::make_unique<MixerActor>());
    MixerActor& a = *scene.actors.back();
    a.name = name;
    groups.push_back(std::make_unique<ChannelGroup>());
    for (const std::string& motionName : motionNames) {
      scene.motions.push_back(std::make_unique<MixerMotion>());
      MixerMotion& m = *scene.motions.back();
      m.name = motionName;
      m.addChannel(groups.back().get(), groups.back()->addEnvelope(std::make_unique<Constant>()));
      a.motions.push_back(&m);
    }
    return a;
  }
  static float intensity(const MixerMotion* m) { return m->groups[0]->intensity(m->envelopeIndex[0]); }
  static float speed(const MixerMotion* m) { return m->groups[0]->speed(m->envelopeIndex[0]); }
  static float offset(const MixerMotion* m) { return m->groups[0]->offset(m->envelopeIndex[0]); }
  NotingBuffer* giveSound(int slot) {
    KartSoundSlot& sound = kart->m_items.sounds[static_cast<std::size_t>(slot)];
    sound.channel = std::make_unique<SilentChannel>();
    auto buffer = std::make_unique<NotingBuffer>();
    NotingBuffer* noting = buffer.get();
    sound.buffer = std::move(buffer);
    return noting;
  }
  void step() {
    kart->step(time, 0.01);
    time += 0.01;
  }

  NetControl control;
  ProceduralTexture rocketPicture{nullptr}, frosterPicture{nullptr}, shrinkerPicture{nullptr};
  ExplosionTextures pictures{&rocketPicture, &frosterPicture, &shrinkerPicture};
  std::vector<std::unique_ptr<SurfaceRenderObject>> meshes;  // outlive the scene's items
  std::vector<std::unique_ptr<ChannelGroup>> groups;
  Scene scene{nullptr};
  SceneItem *chassis = nullptr, *col = nullptr, *cameraTarget = nullptr, *shadow = nullptr;
  MixerActor* driver = nullptr;
  MixerActor* body = nullptr;
  std::unique_ptr<VehicleClient> kart;
  double time = 0.0;
};

TEST_F(RemoteKart, StandsOnItsGridPlaceFacingAlongItUntilItsMachineReports) {
  scene.createObject("start");
  SceneItem* second = scene.createObject("start");
  placeAt(*second, 5.0f, 1.0f, 7.0f);
  second->rotation[0].value = 0.3f;  // heading
  build(1);
  Position3 at;
  kart->getPosition(at);
  EXPECT_EQ(at.z, 7.0f);
  EXPECT_EQ(chassis->scale[1].value, 0.75f);
  EXPECT_EQ(col->scale[0].value, 0.45f);
  EXPECT_EQ(translation(col).x, 5.0f);
  EXPECT_FLOAT_EQ(translation(cameraTarget).y, 2.0f);
  // The heading of the chassis, whatever its scale; never sent from here.
  EXPECT_NEAR(kart->m_net.m_netAngle.get(), 0.3f, 1e-6);
  EXPECT_FALSE(kart->m_net.m_netAngle.isDirty());
  // The driving motions play, published body first.
  EXPECT_EQ(kart->m_net.m_netMotionIntensity[1].get(), 1.0f);  // fahren_kart
  EXPECT_EQ(kart->m_net.m_netMotionIntensity[2].get(), 1.0f);  // Fahren, after the body's two
  EXPECT_EQ(kart->m_net.m_netMotionIntensity[4].get(), 0.0f);
  // Drawn and colliding where it stands, at its size, from the first step on.
  step();
  EXPECT_EQ(translation(chassis).x, 5.0f);
  EXPECT_EQ(translation(col).z, 7.0f);
  EXPECT_EQ(chassis->bodyMatrix.m[5], 0.75f);
}

TEST_F(RemoteKart, WithoutAGridPlaceItStaysWhereTheSceneHasIt) {
  placeAt(*chassis, 3.0f, 0.0f, 0.0f);
  build(2);
  const Position3 p = kart->m_net.m_netPos.get();
  EXPECT_EQ(p.x + p.y + p.z, 0.0f);
  EXPECT_EQ(translation(chassis).x, 3.0f);
  EXPECT_EQ(chassis->scale[0].value, 1.0f);
}

TEST_F(RemoteKart, ARepeatedPositionIsCarriedOnAndANewOneSnapsTheKartToIt) {
  build();
  kart->m_net.m_active.set(true);
  kart->m_net.m_netPos.set({1.0f, 0.0f, 2.0f});
  kart->m_net.m_speed.set(0.1f);
  kart->m_net.m_netDir.set({0.0f, 0.0f, 1.0f});
  kart->m_net.m_netShadowMatrix.set(kart->m_net.m_matrix.get());
  step();
  EXPECT_EQ(kart->drawnPosition().z, 2.0f);
  step();
  step();
  EXPECT_NEAR(kart->drawnPosition().z, 2.2f, 1e-6);
  // The chassis and the shadow go with it; its position stays the reported one.
  EXPECT_NEAR(chassis->bodyMatrix.m[14], 2.2f, 1e-6);
  EXPECT_NEAR(shadow->bodyMatrix.m[13], 0.1f, 1e-6);
  Position3 reported;
  kart->getPosition(reported);
  EXPECT_EQ(reported.z, 2.0f);

  kart->m_net.m_netPos.set({1.0f, 0.0f, 2.15f});
  step();
  EXPECT_EQ(kart->drawnPosition().z, 2.15f);
  // The collision object goes where the other machine has it.
  kart->m_net.m_netColPos.set({4.0f, 0.5f, 6.0f});
  step();
  EXPECT_EQ(translation(col).x, 4.0f);

  // Stopped by the race (its machine gone): it stands where it is drawn,
  // however fast it was going.
  kart->m_net.m_active.set(false);
  const float stoppedAt = kart->drawnPosition().z;
  step();
  step();
  EXPECT_EQ(kart->drawnPosition().z, stoppedAt);
  kart->m_net.m_netPos.set({1.0f, 0.0f, 3.0f});
  step();
  EXPECT_EQ(kart->drawnPosition().z, 3.0f) << "a report still moves it";
}

TEST_F(RemoteKart, PlaysThePickUpFallAndRespawnOncePerReportAndStopsTheTurboAndShield) {
  build();
  NotingBuffer* sound[KartItems::kSoundSlots] = {};
  for (int slot : {kSoundPickUp, kSoundFall, kSoundRespawn, kSoundTurbo, kSoundShield}) sound[slot] = giveSound(slot);
  kart->m_net.m_soundPosition.set({8.0f, 1.0f, 9.0f});
  // As NetControl applies a report at the end of a frame.
  auto receive = [&](NetValue<int>& value, int slot) {
    std::uint8_t wire[4] = {static_cast<std::uint8_t>(slot), 0, 0, 0};
    ASSERT_TRUE(value.setReceived(wire, 4));
    value.commit();
  };
  for (int slot : {kSoundPickUp, kSoundFall, kSoundRespawn, kSoundTurbo, kSoundRespawn}) {
    receive(kart->m_net.m_soundStart, slot);
    for (int i = 0; i < 3; ++i) step();  // the frame's physics steps
  }
  EXPECT_EQ(sound[kSoundPickUp]->plays, 1);
  EXPECT_EQ(sound[kSoundFall]->plays, 1);
  EXPECT_EQ(sound[kSoundRespawn]->plays, 2);  // once per report, not per step
  EXPECT_EQ(sound[kSoundRespawn]->atX, 8.0f);
  EXPECT_EQ(sound[kSoundTurbo]->plays, 0);  // its own machine's business
  EXPECT_FALSE(kart->m_net.m_soundStart.isDirty());

  for (int slot : {kSoundTurbo, kSoundShield}) sound[slot]->play(true);
  receive(kart->m_net.m_soundStop, kSoundShield);
  step();
  EXPECT_FALSE(sound[kSoundShield]->playing);
  EXPECT_TRUE(sound[kSoundTurbo]->playing);
  receive(kart->m_net.m_soundStop, kSoundTurbo);
  step();
  EXPECT_FALSE(sound[kSoundTurbo]->playing);
}

TEST_F(RemoteKart, TheExplosionShowsTheReportedBurstWithItsTypesPictureHeldToThree) {
  build();
  kart->m_net.m_explosion.set({2.0f, 3.0f, 4.0f});
  kart->m_net.m_explosionBr.set(800.0f);
  kart->m_net.m_explosionType.set(7);
  step();
  EXPECT_EQ(translation(kart->m_items.rocketParticles).y, 3.0f);
  EXPECT_EQ(kart->m_items.rocketEmitter->birthRate.value, 800.0f);
  auto* material = dynamic_cast<ParticleMaterial*>(kart->m_items.rocketParticles->particleRenderer.get());
  ASSERT_NE(material, nullptr);
  ASSERT_EQ(material->surface->imageLayers.size(), 1u);
  EXPECT_EQ(material->surface->imageLayers[0]->texture, &shrinkerPicture);
  kart->m_net.m_explosionType.set(-1);
  kart->m_net.m_explosionBr.set(0.0f);
  step();
  EXPECT_EQ(material->surface->imageLayers[0]->texture, &rocketPicture);
  EXPECT_EQ(kart->m_items.rocketEmitter->birthRate.value, 0.0f);
}

TEST_F(RemoteKart, PosesTheBodyFromTheFirstEntriesAndTheDriverFromTheRest) {
  Surface bodySurface(nullptr, "body");
  build();
  kart->m_characterModel[Vehicle::kBodySurface] = &bodySurface;
  auto entry = [&](int j, float intensity, float speed, float offset) {
    kart->m_net.m_netMotionIntensity[static_cast<std::size_t>(j)].set(intensity);
    kart->m_net.m_netMotionSpeed[static_cast<std::size_t>(j)].set(speed);
    kart->m_net.m_netMotionOffset[static_cast<std::size_t>(j)].set(offset);
  };
  entry(0, 0.6f, 1.5f, 2.0f);  // getroffen_kart
  entry(1, 0.4f, 1.0f, 0.0f);  // fahren_kart
  entry(2, 0.0f, 1.0f, 0.0f);  // Fahren
  entry(3, 0.3f, 2.0f, 7.5f);  // Lenken_LI
  entry(4, 0.0f, 1.0f, 0.0f);  // Getroffen, not playing
  kart->updateVisuals(1.0);
  EXPECT_EQ(intensity(body->motions[0]), 0.6f);
  EXPECT_EQ(speed(body->motions[0]), 1.5f);
  EXPECT_EQ(intensity(driver->motions[0]), 0.0f);
  EXPECT_EQ(offset(driver->motions[1]), 7.5f);
  EXPECT_EQ(bodySurface.colorFactor[0], 1.0f);
  entry(4, 0.2f, 1.0f, 0.0f);
  kart->updateVisuals(1.1);
  EXPECT_EQ(intensity(driver->motions[2]), 0.2f);
  const float hit[4] = {0.0f, 0.0f, 0.0f, 1.0f};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(bodySurface.colorFactor[i], hit[i]) << i;
}

TEST_F(RemoteKart, MotionsPastTheFortyEntriesAreLeftAsTheyAre) {
  std::vector<std::string> many;
  for (int i = 0; i < 45; ++i) many.push_back(std::string("m") + std::to_string(i));
  MixerActor& crowded = actor("Character", many);  // the second actor of the name: kart 1's
  kart = std::make_unique<VehicleClient>(scene, nullptr, 1, &pictures, nullptr, 0, "", control);
  ASSERT_EQ(kart->m_motions.m_driver, &crowded);
  // Kart 1 has no body actor: the driver's motions take entries 0 to 39.
  for (int j = 0; j < VehicleNetValues::kMotionCount; ++j)
    kart->m_net.m_netMotionIntensity[static_cast<std::size_t>(j)].set(0.5f);
  crowded.motions[44]->setIntensity(0.9f);
  kart->updateVisuals(0.0);
  EXPECT_EQ(intensity(crowded.motions[39]), 0.5f);
  EXPECT_EQ(intensity(crowded.motions[40]), 0.0f);
  EXPECT_EQ(intensity(crowded.motions[44]), 0.9f);
}

}  // namespace
