// The sound system: device records, opening, the silent fallback and the
// device's list of buffers.
#include <gtest/gtest.h>

#include "content/wav_writer.h"
#include "sound/sound_buffer.h"
#include "sound/sound_channel.h"
#include "sound/sound_system.h"
#include "tests/support/audio_driver.h"
#include "tests/support/memory_file.h"

namespace {

std::unique_ptr<SoundChannel> shortSound(MemoryFile& files) {
  files.put("s.wav", writeWav(WavDescription{}, std::vector<std::uint8_t>(400, 0)));
  return loadSoundChannel(&files, "s.wav");
}

}  // namespace

TEST(SoundSystem, OpensTheDefaultDeviceOnTheDummyDriver) {
  AudioDriver driver("dummy");
  SoundSystem system(nullptr);
  ASSERT_GE(system.getDeviceCount(), 2);
  EXPECT_EQ(system.getDeviceInfo(0)->guid, kNoSoundDeviceGuid);
  EXPECT_EQ(system.getDeviceInfo(1)->guid, GUID{});  // the default device has no GUID of its own
  EXPECT_EQ(system.getDeviceInfo(system.getDeviceCount()), nullptr);
  EXPECT_EQ(system.openDeviceAt(system.getDeviceCount()), nullptr);

  SoundDevice* device = system.openDevice(kDefaultSoundDeviceGuid);
  ASSERT_NE(dynamic_cast<DirectSoundDevice*>(device), nullptr);
  EXPECT_TRUE(static_cast<DirectSoundDevice*>(device)->hasListener());
  EXPECT_EQ(system.openDevice(kDefaultSoundDeviceGuid), nullptr);
  EXPECT_EQ(system.openDeviceAt(0), nullptr);
  EXPECT_EQ(system.device(), device);

  MemoryFile files;
  auto source = shortSound(files);
  auto buffer = device->createSound(source.get(), 0x82);
  ASSERT_NE(buffer, nullptr);
  buffer->play(true);
  EXPECT_TRUE(device->isAnyPlaying());
  EXPECT_TRUE(device->stopAll());
  EXPECT_FALSE(device->isAnyPlaying());
}

TEST(SoundSystem, FallsBackToTheSilentDeviceWhenNoDeviceOpens) {
  AudioDriver driver("no-such-driver");
  SoundSystem system(nullptr);
  EXPECT_EQ(system.getDeviceCount(), 1);
  SoundDevice* device = system.openDevice(kDefaultSoundDeviceGuid);
  ASSERT_NE(dynamic_cast<NullSoundDevice*>(device), nullptr);
  EXPECT_TRUE(device->stopAll());
  EXPECT_FALSE(device->isAnyPlaying());
  auto buffer = device->createSound(nullptr, 2);
  ASSERT_NE(dynamic_cast<SilentSoundBuffer*>(buffer.get()), nullptr);
  buffer->play(false);
  EXPECT_TRUE(device->isAnyPlaying());
}

TEST(SoundSystem, UnknownGuidOpensNothingAndTheSilentGuidOpensTheNullDevice) {
  AudioDriver driver("dummy");
  SoundSystem system(nullptr);
  EXPECT_EQ(system.openDevice(audioDeviceGuid("not a device")), nullptr);
  EXPECT_EQ(system.device(), nullptr);
  EXPECT_NE(dynamic_cast<NullSoundDevice*>(system.openDeviceAt(0)), nullptr);
}

TEST(SoundSystem, ARecordThatFailsToOpenGivesTheSilentDevice) {
  AudioDriver driver("dummy");
  SoundSystem system(nullptr);
  // The driver goes away between listing and opening.
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  EXPECT_NE(dynamic_cast<NullSoundDevice*>(system.openDeviceAt(1)), nullptr);
}

TEST(SoundDevice, ListenerIsAppliedInArgumentOrderAtCommit) {
  auto mixer = std::make_shared<SoundMixer>();
  DirectSoundDevice device(nullptr, std::make_unique<IDirectSound8>(mixer));
  device.setListenerFactors(1.0f, 1.0f, 2.0f);                // distance, Doppler, roll-off
  device.setListener(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12);  // position, front, top, velocity
  EXPECT_EQ(mixer->listener().vPosition.z, 0.0f);
  device.commit();
  const DS3DLISTENER& applied = mixer->listener();
  EXPECT_EQ(applied.vPosition.z, 3.0f);
  EXPECT_EQ(applied.vOrientFront.x, 4.0f);
  EXPECT_EQ(applied.vOrientTop.y, 8.0f);
  EXPECT_EQ(applied.vVelocity.z, 12.0f);
  EXPECT_EQ(applied.flRolloffFactor, 2.0f);
  EXPECT_EQ(applied.flDopplerFactor, 1.0f);
}

TEST(SoundDevice, BuffersLeaveTheListAndMayOutliveTheDevice) {
  MemoryFile files;
  auto source = shortSound(files);
  auto device =
      std::make_unique<DirectSoundDevice>(nullptr, std::make_unique<IDirectSound8>(std::make_shared<SoundMixer>()));
  auto first = device->createSound(source.get(), 2);
  auto second = device->createSound(source.get(), 2);
  auto third = device->createSound(source.get(), 0x80);  // kind 0 streams
  ASSERT_TRUE(first && second && third);
  second.reset();
  ASSERT_EQ(device->buffers().size(), 2u);
  EXPECT_EQ(device->buffers()[0], first.get());
  EXPECT_EQ(device->buffers()[1], third.get());
  third->play(false);
  EXPECT_TRUE(device->stopAll());
  EXPECT_FALSE(device->stopAll());  // a streaming buffer that is not playing refuses to stop

  device.reset();
  EXPECT_EQ(first->device(), nullptr);
  EXPECT_TRUE(first->play(true));
  EXPECT_EQ(first->duplicate(), nullptr);
}
