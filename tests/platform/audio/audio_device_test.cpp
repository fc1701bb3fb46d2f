// Output devices through SDL: enumeration, the default device under the
// dummy driver, and failure when no driver can start.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio/dsound.h"
#include "tests/support/audio_driver.h"

namespace {

struct Reported {
  bool hasGuid;
  GUID guid;
  std::string description;
};

BOOL collect(GUID* guid, const char* description, const char*, void* context) {
  static_cast<std::vector<Reported>*>(context)->push_back({guid != nullptr, guid ? *guid : GUID{}, description});
  return 1;
}

}  // namespace

TEST(AudioDevice, DefaultDeviceOpensOnTheDummyDriverAndPlays) {
  AudioDriver driver("dummy");
  std::vector<Reported> devices;
  ASSERT_EQ(DirectSoundEnumerateA(&collect, &devices), DS_OK);
  ASSERT_FALSE(devices.empty());
  EXPECT_FALSE(devices[0].hasGuid);
  EXPECT_EQ(devices[0].description, "Primary Sound Driver");

  std::unique_ptr<IDirectSound8> ds;
  ASSERT_EQ(DirectSoundCreate8(nullptr, &ds, nullptr), DS_OK);
  ASSERT_NE(ds, nullptr);
  WAVEFORMATEX format;
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = 1;
  format.nSamplesPerSec = 22050;
  format.wBitsPerSample = 16;
  format.nBlockAlign = 2;
  DSBUFFERDESC desc;
  desc.dwBufferBytes = 22050 * 2;
  desc.lpwfxFormat = &format;
  std::shared_ptr<IDirectSoundBuffer8> buffer;
  ASSERT_EQ(ds->CreateSoundBuffer(&desc, &buffer), DS_OK);
  buffer->Play(0, 0, DSBPLAY_LOOPING);
  // The SDL callback drives the mixer in real time.
  DWORD play = 0;
  for (int i = 0; i < 200 && play == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    buffer->GetCurrentPosition(&play, nullptr);
  }
  EXPECT_GT(play, 0u);
  ds.reset();  // closes the device while the buffer still exists
  buffer->Stop();
}

TEST(AudioDevice, NothingOpensWhenTheChosenDriverCannotStart) {
  AudioDriver driver("no-such-driver");
  std::vector<Reported> devices;
  EXPECT_EQ(DirectSoundEnumerateA(&collect, &devices), DS_OK);
  EXPECT_TRUE(devices.empty());
  std::unique_ptr<IDirectSound8> ds;
  EXPECT_EQ(DirectSoundCreate8(nullptr, &ds, nullptr), DSERR_NODRIVER);
  EXPECT_EQ(ds, nullptr);
}

TEST(AudioDevice, WithNoDriverChosenTheDefaultDeviceStillOpens) {
  // A machine without a sound card ends up on the dummy driver.
  AudioDriver driver(nullptr);
  std::unique_ptr<IDirectSound8> ds;
  EXPECT_EQ(DirectSoundCreate8(nullptr, &ds, nullptr), DS_OK);
}

TEST(AudioDevice, GuidsAreStablePerNameAndUnknownOnesFail) {
  const GUID a = audioDeviceGuid("Built-in Audio Analog Stereo");
  EXPECT_EQ(a, audioDeviceGuid("Built-in Audio Analog Stereo"));
  EXPECT_FALSE(a == audioDeviceGuid("Built-in Audio Digital Stereo"));
  EXPECT_FALSE(a == GUID{});
  EXPECT_EQ(a.Data3 >> 12, 5);

  AudioDriver driver("dummy");
  std::unique_ptr<IDirectSound8> ds;
  const GUID unknown = audioDeviceGuid("no device has this name");
  EXPECT_EQ(DirectSoundCreate8(&unknown, &ds, nullptr), DSERR_NODRIVER);
}
