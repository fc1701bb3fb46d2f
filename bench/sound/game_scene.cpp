// A race as the sound system sees it: streamed Ogg Vorbis music, 22 karts
// whose 3D engine loops move and change pitch every frame, skid one-shots
// started at random, and the listener riding the first kart. An audio thread
// renders device-sized blocks at the device's pace (as SDL's callback would)
// while the game thread makes its sound calls at 60 frames a second, or back
// to back, competing for the mixer's lock; the refill thread decodes the
// music. Reports the block times against the audio deadline.
#include "bench/sound/game_scene.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "content/ogg_vorbis_writer.h"
#include "content/wav_writer.h"
#include "foundation/file.h"
#include "platform/audio/dsound.h"
#include "sound/sound_buffer.h"
#include "sound/sound_channel.h"
#include "sound/sound_system.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRate = 44100;
constexpr int kBlock = 1024;
constexpr int kKarts = 22;
constexpr double kFrameSeconds = 1.0 / 60.0;
constexpr std::uint32_t kStreamingSound = 3;  // any kind but silent and static

using Random = std::minstd_rand;
float uniform(Random& random) { return std::uniform_real_distribution<float>(0.0f, 1.0f)(random); }

// The sounds of the scene, written once to a folder of their own and loaded
// back through the file layer as the game loads them.
class SceneFiles {
 public:
  SceneFiles() {
    char pattern[] = "/tmp/tessaline-sound-scene-XXXXXX";
    if (mkdtemp(pattern)) m_folder = pattern;
  }
  ~SceneFiles() {
    for (const std::string& path : m_paths) unlink(path.c_str());
    if (!m_folder.empty()) rmdir(m_folder.c_str());
  }
  SceneFiles(const SceneFiles&) = delete;
  SceneFiles& operator=(const SceneFiles&) = delete;

  std::unique_ptr<SoundChannel> load(const char* name, const std::vector<std::uint8_t>& bytes) {
    if (m_folder.empty()) return nullptr;
    const std::string path = m_folder + "/" + name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    m_paths.push_back(path);
    DiskFile prototype;
    return loadSoundChannel(&prototype, path.c_str());
  }

 private:
  std::string m_folder;
  std::vector<std::string> m_paths;
};

// 30 seconds of stereo music: a slow chord with a little noise, so the
// encoder has real work and the decoder a real bit rate.
std::vector<std::uint8_t> musicOgg() {
  const int frames = 30 * kRate;
  std::vector<std::int16_t> samples(2 * static_cast<std::size_t>(frames));
  Random random(7);
  for (int i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double chord = std::sin(2 * std::numbers::pi * 220.0 * t) + 0.7 * std::sin(2 * std::numbers::pi * 277.2 * t) +
                         0.5 * std::sin(2 * std::numbers::pi * 329.6 * t);
    const double noise = (uniform(random) - 0.5) * 0.2;
    samples[2 * i] = static_cast<std::int16_t>(6000 * (chord + noise));
    samples[2 * i + 1] = static_cast<std::int16_t>(6000 * (chord - noise));
  }
  return encodeOggVorbis(samples, 2, kRate);
}

// One second of a mono 22050 Hz buzz (engine) or noise burst (skid).
std::vector<std::uint8_t> monoWav(bool noise) {
  std::vector<std::int16_t> samples(22050);
  Random random(noise ? 3 : 5);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const double saw = std::fmod(i * 110.0 / 22050.0, 1.0) * 2.0 - 1.0;
    samples[i] = static_cast<std::int16_t>(noise ? 9000 * (uniform(random) - 0.5) : 7000 * saw);
  }
  WavDescription description;
  return writeWav(description, pcm16Bytes(samples));
}

struct Timings {
  std::vector<double> blocks;  // seconds per rendered block
  std::vector<double> frames;  // seconds of sound calls per game frame
};

struct RaceSounds {
  std::shared_ptr<SoundMixer> mixer = std::make_shared<SoundMixer>(kRate, kBlock);
  DirectSoundDevice device{nullptr, std::make_unique<IDirectSound8>(mixer)};
  SceneFiles files;
  std::unique_ptr<SoundChannel> music, engine, skid;
  std::unique_ptr<SoundBuffer> musicStream, engineSound, skidSound;
  std::vector<std::unique_ptr<SoundBuffer>> engines, skids;

  bool load() {
    music = files.load("music.ogg", musicOgg());
    engine = files.load("engine.wav", monoWav(false));
    skid = files.load("skid.wav", monoWav(true));
    if (!music || !engine || !skid) return false;
    musicStream = device.createSound(music.get(), kStreamingSound);
    engineSound = device.createSound(engine.get(), kSoundStatic | kSound3D);
    skidSound = device.createSound(skid.get(), kSoundStatic | kSound3D);
    if (!musicStream || !engineSound || !skidSound) return false;
    for (int k = 0; k < kKarts; ++k) {
      engines.push_back(engineSound->duplicate());
      skids.push_back(skidSound->duplicate());
      if (!engines.back() || !skids.back()) return false;
      engines.back()->setDistances(5.0f, 300.0f);
      skids.back()->setDistances(5.0f, 300.0f);
      engines.back()->set3DEnabled(true);
      skids.back()->set3DEnabled(true);
    }
    device.setListenerFactors(1.0f, 1.0f, 1.0f);
    musicStream->setVolume(0.6f);
    musicStream->play(true);
    for (auto& sound : engines) sound->play(true);
    device.commit();
    return true;
  }

  // One game frame's sound calls: every kart moves along an oval at its own
  // speed, its engine pitch follows the speed; skids start now and then.
  void frame(int index, Random& random) {
    const double t = index * kFrameSeconds;
    float listener[6] = {};
    for (int k = 0; k < kKarts; ++k) {
      const double speed = 0.25 + 0.01 * k + 0.05 * std::sin(t * 0.5 + k);
      const double angle = t * speed + k * 2 * std::numbers::pi / kKarts;
      const auto x = static_cast<float>(150.0 * std::cos(angle));
      const auto z = static_cast<float>(90.0 * std::sin(angle));
      const auto vx = static_cast<float>(-150.0 * speed * std::sin(angle));
      const auto vz = static_cast<float>(90.0 * speed * std::cos(angle));
      engines[k]->set3DParameters(x, 0.5f, z, vx, 0.0f, vz, vx, 0.0f, vz);
      engines[k]->setFrequency(static_cast<std::uint32_t>(11025 + 60000 * speed));
      engines[k]->setVolume(0.8f);
      if (uniform(random) < 0.02f && !skids[k]->isPlaying()) {
        skids[k]->set3DParameters(x, 0.0f, z, vx, 0.0f, vz, vx, 0.0f, vz);
        skids[k]->play(false);
      }
      if (k == 0) {
        const float length = std::max(std::hypot(vx, vz), 1e-3f);
        listener[0] = x, listener[1] = z, listener[2] = vx / length, listener[3] = vz / length;
        listener[4] = vx, listener[5] = vz;
      }
    }
    device.setListener(listener[0], 1.0f, listener[1], listener[2], 0.0f, listener[3], 0.0f, 1.0f, 0.0f, listener[4],
                       0.0f, listener[5]);
    device.commit();
    musicStream->update();
    musicStream->getPosition();
  }
};

double percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1, static_cast<std::size_t>(fraction * values.size()))];
}

double average(const std::vector<double>& values) {
  double sum = 0.0;
  for (double v : values) sum += v;
  return values.empty() ? 0.0 : sum / values.size();
}

bool runScene(int seconds, bool paced, Timings* timings) {
  RaceSounds race;
  if (!race.load()) return false;
  std::atomic<bool> done = false;
  const auto blockPeriod = std::chrono::duration<double>(static_cast<double>(kBlock) / kRate);

  std::thread audio([&] {
    std::vector<std::int16_t> out(2 * kBlock);
    auto next = Clock::now();
    while (!done) {
      const auto start = Clock::now();
      race.mixer->render(out.data(), kBlock);
      timings->blocks.push_back(std::chrono::duration<double>(Clock::now() - start).count());
      next += std::chrono::duration_cast<Clock::duration>(blockPeriod);
      std::this_thread::sleep_until(next);
    }
  });

  Random random(11);
  const auto begin = Clock::now();
  const auto end = begin + std::chrono::seconds(seconds);
  auto next = begin;
  for (int index = 0; Clock::now() < end; ++index) {
    const auto start = Clock::now();
    race.frame(index, random);
    timings->frames.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    if (paced) {
      next += std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(kFrameSeconds));
      std::this_thread::sleep_until(next);
    }
  }
  done = true;
  audio.join();
  return true;
}

}  // namespace

void reportGameScene(int seconds) {
  const double deadline = static_cast<double>(kBlock) / kRate;
  for (const bool paced : {true, false}) {
    Timings timings;
    if (!runScene(seconds, paced, &timings)) {
      std::printf("game scene: the sounds could not be made\n");
      return;
    }
    const auto over =
        std::count_if(timings.blocks.begin(), timings.blocks.end(), [&](double t) { return t > deadline; });
    std::printf("game scene, %d karts + skids + streamed Ogg music, game thread %s, %d s:\n", kKarts,
                paced ? "at 60 frames a second" : "calling back to back", seconds);
    std::printf(
        "  audio block of %d frames, deadline %.2f ms: average %.3f ms, 99th percentile %.3f ms, worst %.3f ms "
        "(%.1f%% of the deadline), %ld of %zu blocks late\n",
        kBlock, deadline * 1e3, average(timings.blocks) * 1e3, percentile(timings.blocks, 0.99) * 1e3,
        percentile(timings.blocks, 1.0) * 1e3, percentile(timings.blocks, 1.0) / deadline * 100.0,
        static_cast<long>(over), timings.blocks.size());
    std::printf(
        "  game thread's sound calls per frame (%zu frames): average %.3f ms, 99.9th percentile %.3f ms, "
        "worst %.3f ms\n",
        timings.frames.size(), average(timings.frames) * 1e3, percentile(timings.frames, 0.999) * 1e3,
        percentile(timings.frames, 1.0) * 1e3);
  }
}
