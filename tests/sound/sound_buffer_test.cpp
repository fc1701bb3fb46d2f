// Sound buffers on a device whose mixer the tests render by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <future>
#include <mutex>
#include <numbers>
#include <thread>

#include "content/wav_writer.h"
#include "sound/sound_buffer.h"
#include "sound/sound_channel.h"
#include "sound/sound_system.h"
#include "tests/support/memory_file.h"

namespace {

struct Rig {
  std::shared_ptr<SoundMixer> mixer = std::make_shared<SoundMixer>(44100, 1024);
  DirectSoundDevice device{nullptr, std::make_unique<IDirectSound8>(mixer)};
  MemoryFile files;

  // A 16-bit source of `frames` frames whose sample i is i.
  std::unique_ptr<SoundChannel> ramp(int frames, int channels = 1, int rate = 44100) {
    std::vector<std::int16_t> samples(static_cast<std::size_t>(frames * channels));
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::int16_t>(i / channels);
    WavDescription description;
    description.channels = channels;
    description.sampleRate = rate;
    files.put("ramp.wav", writeWav(description, pcm16Bytes(samples)));
    return loadSoundChannel(&files, "ramp.wav");
  }

  std::vector<float> render(int frames) {
    std::vector<float> out(2 * static_cast<std::size_t>(frames));
    mixer->render(out.data(), frames);
    return out;
  }
};

LONG volumeOf(SoundBuffer& buffer) {
  LONG volume = 1;
  static_cast<StaticSoundBuffer&>(buffer).directSoundBuffer()->GetVolume(&volume);
  return volume;
}

}  // namespace

TEST(SoundBuffer, VolumeLawInHundredthsOfADecibel) {
  const std::pair<float, LONG> law[] = {
      {1.0f, 0},       {2.0f, 0},         {0.5f, -1003},  {0.1f, -3333},   {0.01f, -6666},
      {0.001f, -9999}, {0.0009f, -10000}, {0.0f, -10000}, {-1.0f, -10000}, {std::nanf(""), -10000}};
  for (const auto& [volume, attenuation] : law) EXPECT_EQ(soundVolumeToAttenuation(volume), attenuation) << volume;

  Rig rig;
  auto source = rig.ramp(1000);
  auto buffer = rig.device.createSound(source.get(), 2);
  ASSERT_NE(buffer, nullptr);
  buffer->setVolume(0.5f);
  EXPECT_EQ(volumeOf(*buffer), -1003);
}

TEST(SoundBuffer, Static3DBufferConeAndMode) {
  Rig rig;
  auto source = rig.ramp(1000);
  auto buffer = rig.device.createSound(source.get(), 0x82);
  ASSERT_NE(buffer, nullptr);
  auto& placed = static_cast<StaticSoundBuffer&>(*buffer);
  const DS3DBUFFER& p = placed.params3D();
  // The distances set at creation apply at once, so the mixer has the whole block.
  DS3DBUFFER applied;
  placed.directSoundBuffer()->get3DBuffer()->GetAllParameters(&applied);
  EXPECT_EQ(applied.flMaxDistance, 10000.0f);
  EXPECT_EQ(applied.vPosition.x, 2.0f);

  buffer->setCone(static_cast<float>(std::numbers::pi / 2), static_cast<float>(std::numbers::pi), 0.5f);
  EXPECT_EQ(p.dwInsideConeAngle, 90u);
  EXPECT_EQ(p.dwOutsideConeAngle, 180u);
  EXPECT_EQ(p.lConeOutsideVolume, -2000);
  buffer->setCone(-1.0f, 100.0f, 3.0f);  // held to what the mixer accepts
  EXPECT_EQ(p.dwInsideConeAngle, 0u);
  EXPECT_EQ(p.dwOutsideConeAngle, 360u);
  EXPECT_EQ(p.lConeOutsideVolume, 0);

  auto plain = rig.device.createSound(source.get(), 2);
  EXPECT_EQ(static_cast<StaticSoundBuffer&>(*plain).params3D().dwMode, DS3DMODE_DISABLE);
}

TEST(SoundBuffer, StereoSourcesMakeNo3DBuffer) {
  Rig rig;
  auto stereo = rig.ramp(1000, 2);
  EXPECT_EQ(rig.device.createSound(stereo.get(), 0x82), nullptr);
  EXPECT_NE(rig.device.createSound(stereo.get(), 2), nullptr);
  EXPECT_EQ(rig.device.buffers().size(), 0u);  // the one made is gone again
}

TEST(SoundBuffer, StaticPlayRestartsStopRewindsAndPositionsAreChecked) {
  Rig rig;
  auto source = rig.ramp(44100);
  auto buffer = rig.device.createSound(source.get(), 2);
  ASSERT_NE(buffer, nullptr);
  EXPECT_FALSE(buffer->isPlaying());
  buffer->play(false);
  rig.render(4410);
  EXPECT_TRUE(buffer->isPlaying());
  EXPECT_EQ(buffer->getPlayCursor(), 4410 * 2);
  EXPECT_NEAR(buffer->getPosition(), 8820 / 176400.0, 1e-6);  // 176400 bytes a second, whatever the format
  buffer->play(false);
  EXPECT_EQ(buffer->getPlayCursor(), 0);
  EXPECT_FLOAT_EQ(rig.render(2)[2], 1 / 32768.0f);  // second sample of the ramp
  buffer->stop();
  EXPECT_FALSE(buffer->isPlaying());
  EXPECT_EQ(buffer->getPlayCursor(), 0);

  const int size = 44100 * 2;
  EXPECT_FALSE(buffer->setPosition(static_cast<double>(size) / 176400));
  EXPECT_TRUE(buffer->setPosition(static_cast<double>(size - 2) / 176400));
  EXPECT_EQ(buffer->getPlayCursor(), size - 2);
  EXPECT_FALSE(buffer->setPosition(-0.5));
  EXPECT_FALSE(buffer->setPosition(1e30));
  EXPECT_EQ(buffer->getPlayCursor(), size - 2);

  // Frequency goes to the mixer.
  buffer->stop();
  buffer->setFrequency(88200);
  buffer->play(true);
  rig.render(100);
  EXPECT_EQ(buffer->getPlayCursor(), 400);
}

TEST(SoundBuffer, DeferredSettingsWaitForTheCommitAndNonFiniteOnesAreRefused) {
  Rig rig;
  std::vector<std::int16_t> level(4410, 16384);
  WavDescription description;
  description.sampleRate = 44100;
  rig.files.put("level.wav", writeWav(description, pcm16Bytes(level)));
  auto source = loadSoundChannel(&rig.files, "level.wav");
  auto buffer = rig.device.createSound(source.get(), 0x82);
  ASSERT_NE(buffer, nullptr);
  rig.device.setListenerFactors(1.0f, 0.0f, 1.0f);
  rig.device.setListener(0, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0);
  rig.device.commit();
  buffer->setDistances(1.0f, 100.0f);
  buffer->set3DParameters(-2, 0, 0, 1, 0, 0, 0, 0, 0);  // to the left, deferred
  buffer->play(true);
  auto out = rig.render(64);
  EXPECT_GT(out[1], out[0]);  // still at the default (2, 0, 0): right
  rig.device.commit();
  out = rig.render(64);
  EXPECT_GT(out[0], out[1]);
  EXPECT_NEAR(out[0], 0.5f / 2, 0.001f);  // half the level at twice the minimum distance

  // Non-finite values change nothing (one would silence the whole mix).
  const float nan = std::nanf("");
  buffer->set3DParameters(nan, 0, 0, 1, 0, 0, 0, 0, 0);
  buffer->set3DParameters(0, 0, 0, 1, 0, 0, 0, INFINITY, 0);
  buffer->setDistances(1.0f, nan);
  rig.device.setListener(0, 0, nan, 0, 0, 1, 0, 1, 0, 0, 0, 0);
  rig.device.setListenerFactors(1.0f, -INFINITY, 1.0f);
  rig.device.commit();
  const DS3DBUFFER& p = static_cast<StaticSoundBuffer&>(*buffer).params3D();
  EXPECT_EQ(p.vPosition.x, -2.0f);
  EXPECT_EQ(p.vVelocity.y, 0.0f);
  EXPECT_EQ(p.flMaxDistance, 100.0f);
  out = rig.render(64);
  EXPECT_NEAR(out[0], 0.5f / 2, 0.001f);
  EXPECT_GT(out[0], out[1]);

  buffer->set3DEnabled(false);
  rig.device.commit();
  out = rig.render(64);
  EXPECT_FLOAT_EQ(out[0], 0.5f);
  EXPECT_FLOAT_EQ(out[1], 0.5f);
}

TEST(SoundBuffer, SilentBufferClockRunsOnAfterStop) {
  NullSoundDevice device;
  auto buffer = device.createSound(nullptr, 0x82);
  ASSERT_NE(buffer, nullptr);
  EXPECT_TRUE(buffer->play(true));
  EXPECT_TRUE(buffer->stop());
  EXPECT_FALSE(buffer->isPlaying());
  const double before = buffer->getPosition();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_GE(buffer->getPosition() - before, 0.02);
  EXPECT_EQ(buffer->getPlayCursor(), 0);
  EXPECT_TRUE(buffer->setPosition(100.0));
}

TEST(SoundBuffer, DuplicateSharesTheSoundAndIsListed) {
  Rig rig;
  auto source = rig.ramp(1000);
  auto original = rig.device.createSound(source.get(), 0x82);
  original->setDistances(3.0f, 30.0f);
  auto copy = original->duplicate();
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->source(), nullptr);
  EXPECT_FALSE(copy->isPlaying());
  EXPECT_EQ(copy->getMaxDistance(), 30.0f);
  EXPECT_EQ(rig.device.buffers().size(), 2u);
  original.reset();
  EXPECT_EQ(rig.device.buffers().size(), 1u);
  copy->set3DEnabled(false);
  rig.device.commit();
  copy->play(false);
  EXPECT_FLOAT_EQ(rig.render(3)[4], 2 / 32768.0f);
  EXPECT_TRUE(rig.device.stopAll());
  EXPECT_FALSE(copy->isPlaying());
}

TEST(SoundBuffer, StreamingRingIsRefilledBehindThePlayer) {
  Rig rig;
  auto source = rig.ramp(30000);  // 60000 bytes, less than the 80000-byte ring
  source->setLoop(true);
  auto buffer = rig.device.createSound(source.get(), 3);
  ASSERT_NE(buffer, nullptr);
  auto& ring = static_cast<StreamingSoundBuffer&>(*buffer);
  EXPECT_FALSE(buffer->stop());
  EXPECT_TRUE(buffer->play(true));
  EXPECT_FALSE(buffer->play(true));
  EXPECT_FALSE(buffer->setPosition(0.0));

  // The prefill looped the source into the whole ring: byte 60000 is the
  // start again. Play into segment 3, then refill: segment 0 gets what
  // follows byte 80000 of the looping source, i.e. source byte 20000.
  rig.render(15500);
  ring.refill();
  void *p1, *p2;
  DWORD n1, n2;
  IDirectSoundBuffer8& data = *ring.directSoundBuffer();
  ASSERT_EQ(data.Lock(0, 4, &p1, &n1, &p2, &n2, 0), DS_OK);
  std::int16_t first[2];
  std::memcpy(first, p1, 4);
  data.Unlock(p1, n1, p2, n2);
  EXPECT_EQ(first[0], 10000);
  EXPECT_EQ(first[1], 10001);
  EXPECT_TRUE(buffer->isPlaying());
  EXPECT_NEAR(buffer->getPosition(), 31000 / 176400.0, 1e-9);
  EXPECT_TRUE(buffer->stop());
  EXPECT_EQ(buffer->getPlayCursor(), 31000);  // no rewind
}

TEST(SoundBuffer, StreamWithoutLoopPlaysItsDataOnceThenStops) {
  // 50000 frames run out in a refill (100000 bytes, more than the 80000-byte
  // ring); 30000 frames run out in the prefill.
  for (int frames : {50000, 30000}) {
    Rig rig;
    auto source = rig.ramp(frames);
    auto buffer = rig.device.createSound(source.get(), 3);
    ASSERT_NE(buffer, nullptr);
    ASSERT_TRUE(buffer->play(false));
    std::vector<float> heard;
    for (int block = 0; block < 60 && buffer->isPlaying(); ++block) {
      const auto out = rig.render(2000);
      for (std::size_t i = 0; i < out.size(); i += 2) heard.push_back(out[i]);
      static_cast<StreamingSoundBuffer&>(*buffer).refill();
    }
    EXPECT_FALSE(buffer->isPlaying()) << frames;
    ASSERT_GE(heard.size(), static_cast<std::size_t>(frames));
    EXPECT_LE(heard.size(), static_cast<std::size_t>(frames + 2000));  // stopped at the first refill past the end
    for (int i = 0; i < frames; ++i)
      ASSERT_EQ(heard[i], static_cast<std::int16_t>(i) / 32768.0f) << frames << ": " << i;
    for (std::size_t i = frames; i < heard.size(); ++i) ASSERT_EQ(heard[i], 0.0f) << frames << ": " << i;
    const auto after = rig.render(1000);
    EXPECT_TRUE(std::all_of(after.begin(), after.end(), [](float v) { return v == 0.0f; }));
  }
}

TEST(SoundBuffer, StreamDuplicateReadsTheSoundWithAReaderOfItsOwn) {
  Rig rig;
  auto source = rig.ramp(60000);  // longer than the ring: both streams refill
  auto original = rig.device.createSound(source.get(), 3);
  ASSERT_NE(original, nullptr);
  auto copy = original->duplicate();
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy->source(), source.get());
  EXPECT_EQ(rig.device.buffers().size(), 2u);
  // Started together, each plays the whole sound from its start: the sum
  // is twice the ramp. Sharing one reader, each would miss what the other
  // took.
  original->play(false);
  copy->play(false);
  std::vector<float> heard;
  for (int block = 0; block < 30; ++block) {
    const auto out = rig.render(2000);
    for (std::size_t i = 0; i < out.size(); i += 2) heard.push_back(out[i]);
    static_cast<StreamingSoundBuffer&>(*original).refill();
    static_cast<StreamingSoundBuffer&>(*copy).refill();
  }
  for (int i = 0; i < 60000; ++i) ASSERT_EQ(heard[i], 2 * (static_cast<std::int16_t>(i) / 32768.0f)) << i;
  EXPECT_FALSE(original->isPlaying());
  EXPECT_FALSE(copy->isPlaying());
}

namespace {

// Silence from a source whose Fill, once armed, waits until it is let go.
class GatedSource : public SoundChannel {
 public:
  int Fill(std::uint8_t* buffer, int bytes) override {
    std::unique_lock lock(m_mutex);
    if (m_armed) {
      m_entered = true;
      m_changed.notify_all();
      m_changed.wait_for(lock, std::chrono::seconds(10), [this] { return m_released; });
    }
    std::memset(buffer, 0, static_cast<std::size_t>(bytes));
    return bytes;
  }
  int getBitsPerSample() override { return 16; }
  int getChannelCount() override { return 1; }
  int getSampleRate() override { return 44100; }

  void arm() {
    std::lock_guard lock(m_mutex);
    m_armed = true;
  }
  bool waitUntilEntered() {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::seconds(5), [this] { return m_entered; });
  }
  void release() {
    std::lock_guard lock(m_mutex);
    m_released = true;
    m_changed.notify_all();
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  bool m_armed = false;
  bool m_entered = false;
  bool m_released = false;
};

}  // namespace

TEST(SoundBuffer, GameThreadCallsGoOnWhileTheStreamDecodes) {
  Rig rig;
  GatedSource gate;
  auto buffer = rig.device.createSound(&gate, 3);
  ASSERT_NE(buffer, nullptr);
  gate.arm();
  buffer->play(true);
  rig.render(15500);  // three segments played: the refill has work
  buffer->update();
  ASSERT_TRUE(gate.waitUntilEntered());
  auto calls = std::async(std::launch::async, [&] {
    buffer->getPosition();
    buffer->setVolume(0.5f);
    buffer->update();
    return buffer->stop();
  });
  const bool answered = calls.wait_for(std::chrono::seconds(2)) == std::future_status::ready;
  gate.release();
  EXPECT_TRUE(answered);
  EXPECT_TRUE(calls.get());
}

TEST(SoundBuffer, StreamingBuffersShutDownCleanlyWhilePlaying) {
  Rig rig;
  auto source = rig.ramp(5000);
  source->setLoop(true);
  for (int i = 0; i < 20; ++i) {
    auto buffer = rig.device.createSound(source.get(), 0x83);
    ASSERT_NE(buffer, nullptr);
    buffer->play(true);
    rig.render(1024);
    buffer->update();
    if (i % 2) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_TRUE(rig.device.buffers().empty());
}
