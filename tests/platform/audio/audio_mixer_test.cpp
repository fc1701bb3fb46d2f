// The mixing core rendered by hand: levels, resampling, looping, 3D
// placement, deferred settings and buffer locking.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "platform/audio/dsound.h"

namespace {

constexpr int kRate = 44100;

struct Rig {
  std::shared_ptr<SoundMixer> mixer = std::make_shared<SoundMixer>(kRate, 1024);
  IDirectSound8 ds{mixer};

  std::shared_ptr<IDirectSoundBuffer8> buffer(const std::vector<std::int16_t>& samples, int channels = 1,
                                              int rate = kRate, DWORD flags = 0) {
    WAVEFORMATEX format;
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = static_cast<WORD>(channels);
    format.nSamplesPerSec = static_cast<DWORD>(rate);
    format.wBitsPerSample = 16;
    format.nBlockAlign = static_cast<WORD>(2 * channels);
    format.nAvgBytesPerSec = format.nBlockAlign * format.nSamplesPerSec;
    DSBUFFERDESC desc;
    desc.dwFlags = DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLFREQUENCY | flags;
    desc.dwBufferBytes = static_cast<DWORD>(samples.size() * 2);
    desc.lpwfxFormat = &format;
    std::shared_ptr<IDirectSoundBuffer8> result;
    EXPECT_EQ(ds.CreateSoundBuffer(&desc, &result), DS_OK);
    void* p1 = nullptr;
    void* p2 = nullptr;
    DWORD n1 = 0, n2 = 0;
    EXPECT_EQ(result->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER), DS_OK);
    std::memcpy(p1, samples.data(), n1);  // little-endian host
    EXPECT_EQ(result->Unlock(p1, n1, p2, n2), DS_OK);
    return result;
  }

  std::vector<float> render(int frames) {
    std::vector<float> out(2 * static_cast<std::size_t>(frames));
    mixer->render(out.data(), frames);
    return out;
  }
};

std::vector<std::int16_t> sine(int frames, double hertz, double amplitude, int rate = kRate) {
  std::vector<std::int16_t> samples(static_cast<std::size_t>(frames));
  for (int i = 0; i < frames; ++i)
    samples[i] =
        static_cast<std::int16_t>(std::lround(amplitude * 32767.0 * std::sin(2 * std::numbers::pi * hertz * i / rate)));
  return samples;
}

float peak(const std::vector<float>& out, int channel) {
  float best = 0.0f;
  for (std::size_t i = channel; i < out.size(); i += 2) best = std::max(best, std::fabs(out[i]));
  return best;
}

DWORD playCursor(IDirectSoundBuffer8& buffer) {
  DWORD play = 0;
  buffer.GetCurrentPosition(&play, nullptr);
  return play;
}

}  // namespace

TEST(AudioMixer, SineAtZeroAndMinusSixDecibels) {
  Rig rig;
  auto buffer = rig.buffer(sine(kRate, 441.0, 0.5));
  buffer->Play(0, 0, DSBPLAY_LOOPING);
  auto out = rig.render(4410);
  EXPECT_NEAR(peak(out, 0), 0.5f, 0.002f);
  EXPECT_NEAR(peak(out, 1), 0.5f, 0.002f);

  buffer->SetVolume(-600);  // -6 dB: 10^(-600/2000) of the level
  out = rig.render(4410);
  EXPECT_NEAR(peak(out, 0), 0.5f * std::pow(10.0f, -0.3f), 0.002f);
  EXPECT_EQ(buffer->SetVolume(1), DSERR_INVALIDPARAM);
  buffer->SetVolume(DSBVOLUME_MIN);
  EXPECT_EQ(peak(rig.render(512), 0), 0.0f);
}

TEST(AudioMixer, DoubleFrequencyPlaysTwiceAsFastAndOneShotRewindsAtEnd) {
  Rig rig;
  auto normal = rig.buffer(sine(2000, 100.0, 0.5, 22050), 1, 22050);
  auto fast = rig.buffer(sine(2000, 100.0, 0.5, 22050), 1, 22050);
  ASSERT_EQ(fast->SetFrequency(44100), DS_OK);
  normal->Play(0, 0, 0);
  fast->Play(0, 0, 0);
  rig.render(1000);
  EXPECT_EQ(playCursor(*normal), 500u * 2);
  EXPECT_EQ(playCursor(*fast), 1000u * 2);

  rig.render(1001);  // the fast one runs out after 2000 source frames
  DWORD status = 0;
  fast->GetStatus(&status);
  EXPECT_EQ(status & DSBSTATUS_PLAYING, 0u);
  EXPECT_EQ(playCursor(*fast), 0u);  // ready to play whole again
  normal->GetStatus(&status);
  EXPECT_NE(status & DSBSTATUS_PLAYING, 0u);
  EXPECT_EQ(fast->SetFrequency(50), DSERR_INVALIDPARAM);
}

TEST(AudioMixer, LoopingVoiceWrapsAndOneShotFallsSilent) {
  Rig rig;
  std::vector<std::int16_t> ramp(100);
  for (int i = 0; i < 100; ++i) ramp[i] = static_cast<std::int16_t>(i * 300);
  auto looping = rig.buffer(ramp);
  looping->Play(0, 0, DSBPLAY_LOOPING);
  auto out = rig.render(250);
  for (int i = 0; i < 150; ++i) ASSERT_FLOAT_EQ(out[2 * (i + 100)], out[2 * i]) << i;
  EXPECT_EQ(playCursor(*looping), 50u * 2);

  looping->Stop();
  EXPECT_EQ(playCursor(*looping), 50u * 2);  // Stop keeps the position
  auto once = rig.buffer(ramp);
  once->Play(0, 0, 0);
  out = rig.render(150);
  EXPECT_FLOAT_EQ(out[2 * 99], 99 * 300 / 32768.0f);
  for (int i = 100; i < 150; ++i) ASSERT_EQ(out[2 * i], 0.0f);
}

TEST(AudioMixer, EightBitSamplesAreCentredOn128) {
  Rig rig;
  WAVEFORMATEX format;
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = 2;
  format.nSamplesPerSec = kRate;
  format.wBitsPerSample = 8;
  format.nBlockAlign = 2;
  DSBUFFERDESC desc;
  desc.dwBufferBytes = 64;
  desc.lpwfxFormat = &format;
  std::shared_ptr<IDirectSoundBuffer8> buffer;
  ASSERT_EQ(rig.ds.CreateSoundBuffer(&desc, &buffer), DS_OK);
  void* p1;
  DWORD n1;
  ASSERT_EQ(buffer->Lock(0, 64, &p1, &n1, nullptr, nullptr, 0), DS_OK);
  for (DWORD i = 0; i < n1; i += 2) {
    static_cast<std::uint8_t*>(p1)[i] = 0xC0;
    static_cast<std::uint8_t*>(p1)[i + 1] = 0x40;
  }
  buffer->Unlock(p1, n1, nullptr, 0);
  buffer->Play(0, 0, DSBPLAY_LOOPING);
  auto out = rig.render(8);
  EXPECT_FLOAT_EQ(out[0], 0.5f);
  EXPECT_FLOAT_EQ(out[1], -0.5f);
}

TEST(AudioMixer, LockWrapsIntoTwoRegionsWhilePlaying) {
  Rig rig;
  auto buffer = rig.buffer(std::vector<std::int16_t>(100, 0));
  buffer->Play(0, 0, DSBPLAY_LOOPING);
  rig.render(10);
  void *p1, *p2;
  DWORD n1, n2;
  ASSERT_EQ(buffer->Lock(196, 8, &p1, &n1, &p2, &n2, 0), DS_OK);
  EXPECT_EQ(n1, 4u);
  EXPECT_EQ(n2, 4u);
  EXPECT_EQ(buffer->Lock(0, 2, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDCALL);  // one lock at a time
  const std::int16_t ones[4] = {1000, 1000, 1000, 1000};
  std::memcpy(p1, ones, 4);
  std::memcpy(p2, ones + 2, 4);
  ASSERT_EQ(buffer->Unlock(p1, n1, p2, n2), DS_OK);
  EXPECT_EQ(buffer->Unlock(p1, n1, p2, n2), DSERR_INVALIDCALL);

  auto out = rig.render(100);                     // frames 10..99, then 0..9
  EXPECT_FLOAT_EQ(out[2 * 88], 1000 / 32768.0f);  // frame 98
  EXPECT_FLOAT_EQ(out[2 * 91], 1000 / 32768.0f);  // frame 1
  EXPECT_FLOAT_EQ(out[2 * 92], 0.0f);             // frame 2

  EXPECT_EQ(buffer->Lock(200, 2, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(buffer->Lock(0, 201, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(buffer->SetCurrentPosition(200), DSERR_INVALIDPARAM);

  DWORD play, write;
  buffer->GetCurrentPosition(&play, &write);
  EXPECT_EQ(write, (play + 1024 * 2) % 200);  // one mixer period ahead
}

TEST(AudioMixer, ThreeDimensionalPlacementPansAndAttenuates) {
  Rig rig;
  auto source = rig.buffer(sine(kRate, 441.0, 0.5), 1, kRate, DSBCAPS_CTRL3D);
  auto placed = source->get3DBuffer();
  ASSERT_NE(placed, nullptr);
  DS3DBUFFER params;
  params.vPosition = {4.0f, 0.0f, 0.0f};  // right of a listener at the origin facing +z
  params.flMinDistance = 1.0f;
  params.flMaxDistance = 10.0f;
  placed->SetAllParameters(&params, DS3D_IMMEDIATE);
  source->Play(0, 0, DSBPLAY_LOOPING);
  auto out = rig.render(4410);
  EXPECT_GT(peak(out, 1), 3 * peak(out, 0));
  EXPECT_NEAR(peak(out, 1), 0.5f / 4, 0.003f);  // -6 dB per doubling beyond 1

  params.vPosition = {10.0f, 0.0f, 0.0f};
  placed->SetAllParameters(&params, DS3D_IMMEDIATE);
  const float atMax = peak(rig.render(4410), 1);
  params.vPosition = {40.0f, 0.0f, 0.0f};
  placed->SetAllParameters(&params, DS3D_IMMEDIATE);
  EXPECT_NEAR(peak(rig.render(4410), 1), atMax, 1e-4f);  // held at the max-distance level
  EXPECT_NEAR(atMax, 0.05f, 0.002f);

  // Deferred changes wait for the commit.
  params.vPosition = {-4.0f, 0.0f, 0.0f};
  placed->SetAllParameters(&params, DS3D_DEFERRED);
  DS3DLISTENER listener = rig.mixer->listener();
  listener.flRolloffFactor = 0.0f;
  rig.mixer->setListener(listener, DS3D_DEFERRED);
  out = rig.render(4410);
  EXPECT_NEAR(peak(out, 1), atMax, 1e-4f);
  rig.mixer->commitDeferredSettings();
  out = rig.render(4410);
  EXPECT_GT(peak(out, 0), 3 * peak(out, 1));
  EXPECT_NEAR(peak(out, 0), 0.5f, 0.003f);  // no roll-off any more

  params.dwMode = DS3DMODE_DISABLE;  // centred, no distance
  placed->SetAllParameters(&params, DS3D_IMMEDIATE);
  out = rig.render(4410);
  EXPECT_NEAR(peak(out, 0), 0.5f, 0.002f);
  EXPECT_NEAR(peak(out, 1), 0.5f, 0.002f);
}

TEST(AudioMixer, NonFiniteSettingsAreRefusedAndExtremesStayFinite) {
  Rig rig;
  auto plain = rig.buffer(std::vector<std::int16_t>(4410, 16384));
  auto source = rig.buffer(sine(kRate, 441.0, 0.5), 1, kRate, DSBCAPS_CTRL3D);
  auto placed = source->get3DBuffer();
  DS3DBUFFER params;
  params.vPosition = {std::nanf(""), 0.0f, 0.0f};
  EXPECT_EQ(placed->SetAllParameters(&params, DS3D_IMMEDIATE), DSERR_INVALIDPARAM);
  params.vPosition = {};
  params.flMaxDistance = INFINITY;
  EXPECT_EQ(placed->SetAllParameters(&params, DS3D_DEFERRED), DSERR_INVALIDPARAM);
  DS3DLISTENER listener;
  listener.vOrientFront.z = std::nanf("");
  EXPECT_EQ(rig.mixer->setListener(listener, DS3D_IMMEDIATE), DSERR_INVALIDPARAM);
  rig.mixer->commitDeferredSettings();
  EXPECT_EQ(rig.mixer->listener().vOrientFront.z, 1.0f);

  // The largest finite values: a source far off and racing away.
  params.vPosition = {3e38f, -3e38f, 3e38f};
  params.vVelocity = {-3e38f, 3e38f, 3e38f};
  params.flMaxDistance = 3e38f;
  EXPECT_EQ(placed->SetAllParameters(&params, DS3D_IMMEDIATE), DS_OK);
  listener = DS3DLISTENER{};
  listener.vVelocity = {3e38f, 3e38f, -3e38f};
  listener.flDistanceFactor = 3e38f;
  listener.flDopplerFactor = 10.0f;
  listener.flRolloffFactor = 10.0f;
  EXPECT_EQ(rig.mixer->setListener(listener, DS3D_IMMEDIATE), DS_OK);
  plain->Play(0, 0, DSBPLAY_LOOPING);
  source->Play(0, 0, DSBPLAY_LOOPING);
  const auto out = rig.render(1024);
  EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](float v) { return std::isfinite(v); }));
  EXPECT_NEAR(out[0], 0.5f, 0.001f);  // the plain voice is still heard
}

TEST(AudioMixer, ConeOutsideVolumeAppliesBehindTheSource) {
  Rig rig;
  auto source = rig.buffer(sine(kRate, 441.0, 0.5), 1, kRate, DSBCAPS_CTRL3D);
  auto placed = source->get3DBuffer();
  DS3DBUFFER params;
  params.vPosition = {0.0f, 0.0f, 1.0f};          // in front of the listener
  params.vConeOrientation = {0.0f, 0.0f, -1.0f};  // pointing at it
  params.dwInsideConeAngle = 90;
  params.dwOutsideConeAngle = 180;
  params.lConeOutsideVolume = -2000;
  placed->SetAllParameters(&params, DS3D_IMMEDIATE);
  source->Play(0, 0, DSBPLAY_LOOPING);
  const float facing = peak(rig.render(4410), 0);
  params.vConeOrientation = {0.0f, 0.0f, 1.0f};  // pointing away
  placed->SetAllParameters(&params, DS3D_IMMEDIATE);
  EXPECT_NEAR(peak(rig.render(4410), 0), facing * 0.1f, 0.002f);  // -20 dB
}

TEST(AudioMixer, DuplicatesShareDataButNotPlayState) {
  Rig rig;
  auto original = rig.buffer(std::vector<std::int16_t>(64, 1000));
  std::shared_ptr<IDirectSoundBuffer8> copy;
  ASSERT_EQ(rig.ds.DuplicateSoundBuffer(original, &copy), DS_OK);
  void *p1, *p2;
  DWORD n1, n2;
  original->Lock(0, 2, &p1, &n1, &p2, &n2, 0);
  const std::int16_t value = 2000;
  std::memcpy(p1, &value, 2);
  original->Unlock(p1, n1, p2, n2);
  copy->Play(0, 0, 0);
  DWORD status = 0;
  original->GetStatus(&status);
  EXPECT_EQ(status, 0u);
  original.reset();
  EXPECT_FLOAT_EQ(rig.render(4)[0], 2000 / 32768.0f);
}
