// The race's volumes over a pause, and its sounds and device hooks when the
// device is lost or the window goes inactive.
#include <gtest/gtest.h>

#include "scene/object_item.h"
#include "scene/scene.h"
#include "sound/sound_buffer.h"
#include "tests/game/race/race_fixture.h"

namespace {

using namespace race_fixture;

RecordingSoundBuffer* sceneSound(Scene& scene, const std::string& name) {
  auto* object = dynamic_cast<ObjectItem*>(scene.findObjectByName(name));
  return object ? recorded(object->sound.get()) : nullptr;
}

TEST_F(RaceTest, APauseSilencesEverythingButTheStamperAndGoingOnRestoresTheSettingsVolumes) {
  chooseRace(config, 1);
  ASSERT_TRUE(load());
  Scene& scene = *race->m_scene;
  RecordingSoundBuffer* stamper = sceneSound(scene, "stampfer");
  RecordingSoundBuffer* fire = sceneSound(scene, "lagerfeuer");
  ASSERT_NE(stamper, nullptr);
  ASSERT_NE(fire, nullptr);
  // The frame is playing the stamper.
  stamper->setVolume(0.33f);
  stamper->play(false);

  race->setPaused(true);
  EXPECT_FLOAT_EQ(recorded(race->m_music.get())->volume, 0.0f);
  EXPECT_FLOAT_EQ(scene.soundVolume, 0.0f);
  for (int k = 0; k < 6; ++k) {
    for (int slot = 0; slot < KartItems::kSoundSlots; ++slot) {
      if (slot == 5) continue;
      ASSERT_FLOAT_EQ(kartSound(k, slot)->volume, 0.0f) << "kart " << k << " slot " << slot;
    }
  }
  EXPECT_FLOAT_EQ(fire->volume, 0.0f);
  EXPECT_FLOAT_EQ(stamper->volume, 0.33f);
  EXPECT_TRUE(stamper->isPlaying());
  EXPECT_TRUE(kartSound(0, 0)->isPlaying()) << "a pause changes volumes only";

  config.m_effectsVolume = 100;
  config.m_musicVolume = 40;
  race->setPaused(false);
  EXPECT_FLOAT_EQ(recorded(race->m_music.get())->volume, 0.4f);
  EXPECT_FLOAT_EQ(scene.soundVolume, 0.75f);
  EXPECT_FLOAT_EQ(kartSound(2, 0)->volume, 0.45f) << "the 50 ccm engine";
  EXPECT_FLOAT_EQ(kartSound(2, 1)->volume, 1.0f);
  EXPECT_FLOAT_EQ(kartSound(2, 22)->volume, 1.0f);
  EXPECT_FLOAT_EQ(fire->volume, 0.75f * 0.9f);
  EXPECT_FLOAT_EQ(stamper->volume, 0.33f);

  // The 150 ccm engine is mixed at the full effects volume.
  config.m_ccm.set(2);
  race->setPaused(false);
  EXPECT_FLOAT_EQ(kartSound(2, 0)->volume, 1.0f);
}

TEST_F(RaceTest, WithoutMusicAPauseChangesOnlyTheEffects) {
  chooseRace(config, 0, 3);  // track 3 has no music
  ASSERT_TRUE(load());
  EXPECT_EQ(race->m_music, nullptr);
  race->setPaused(true);
  EXPECT_FLOAT_EQ(kartSound(0, 0)->volume, 0.0f);
  EXPECT_FLOAT_EQ(race->m_scene->soundVolume, 0.0f);
  race->setPaused(false);
  EXPECT_FLOAT_EQ(kartSound(0, 0)->volume, 0.45f);
}

TEST_F(RaceTest, StoppedSoundsComeBackLoopingAfterAResetButTheStampersWaitForTheFrame) {
  chooseRace(config, 1);
  ASSERT_TRUE(load());
  Scene& scene = *race->m_scene;
  RecordingSoundBuffer* stamper = sceneSound(scene, "stampfer");
  RecordingSoundBuffer* fire = sceneSound(scene, "lagerfeuer");
  kartSound(4, 13)->play(false);

  EXPECT_TRUE(race->stopSounds());
  EXPECT_FLOAT_EQ(scene.soundVolume, 0.0f);
  EXPECT_FALSE(race->m_music->isPlaying());
  EXPECT_FALSE(fire->isPlaying());
  EXPECT_FALSE(kartSound(4, 13)->isPlaying());
  EXPECT_FALSE(kartSound(4, 0)->isPlaying());

  const int stamperPlays = stamper->plays;
  EXPECT_TRUE(race->resumeSounds());
  EXPECT_FLOAT_EQ(scene.soundVolume, 0.75f);
  EXPECT_TRUE(race->m_music->isPlaying());
  EXPECT_TRUE(recorded(race->m_music.get())->loop);
  EXPECT_TRUE(kartSound(4, 0)->isPlaying());
  EXPECT_TRUE(kartSound(4, 0)->loop);
  EXPECT_FALSE(kartSound(4, 13)->isPlaying()) << "only engines loop";
  EXPECT_TRUE(fire->isPlaying());
  EXPECT_TRUE(fire->loop);
  EXPECT_FLOAT_EQ(fire->volume, 0.0f);
  EXPECT_EQ(stamper->plays, stamperPlays);
}

TEST_F(RaceTest, TheDeviceHooksCarryTheSceneAndTellTheGuiTheNewSize) {
  // Before any race: nothing to carry.
  EXPECT_TRUE(race->onDeviceLost());
  EXPECT_TRUE(race->stopSounds());
  EXPECT_TRUE(race->resumeSounds());
  race->setPaused(true);
  chooseRace(config, 0);
  ASSERT_TRUE(load());
  EXPECT_TRUE(race->onDeviceLost());
  pipeline->requestedWidth = 1024;
  pipeline->requestedHeight = 768;
  EXPECT_TRUE(race->onDeviceReset());
  EXPECT_FLOAT_EQ(gui.displayWidth, 1024.0f);
  EXPECT_FLOAT_EQ(gui.displayHeight, 768.0f);
}

}  // namespace
