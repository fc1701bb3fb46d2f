// Cost of the mixing core: 64 voices of 16-bit mono at varied frequencies,
// half of them placed in 3D, rendered as 44.1 kHz stereo in device-sized
// blocks. Prints the CPU time per second of audio and how many such voices
// one core could mix in real time, then the block times of a race's sound
// load (game_scene.cpp; its length in seconds is the first argument left
// after the benchmark's own, 10 by default).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "bench/sound/game_scene.h"
#include "platform/audio/dsound.h"

namespace {

constexpr int kRate = 44100;
constexpr int kBlock = 1024;
constexpr int kVoices = 64;
constexpr int kSeconds = 10;

struct Scene {
  std::shared_ptr<SoundMixer> mixer = std::make_shared<SoundMixer>(kRate, kBlock);
  IDirectSound8 ds{mixer};
  std::vector<std::shared_ptr<IDirectSoundBuffer8>> buffers;

  explicit Scene(int voices) {
    std::vector<std::int16_t> samples(22050);
    for (std::size_t i = 0; i < samples.size(); ++i)
      samples[i] = static_cast<std::int16_t>(8000 * std::sin(i * 0.05) + 3000 * std::sin(i * 0.31));
    for (int v = 0; v < voices; ++v) {
      WAVEFORMATEX format;
      format.wFormatTag = WAVE_FORMAT_PCM;
      format.nChannels = 1;
      format.nSamplesPerSec = 22050;
      format.wBitsPerSample = 16;
      format.nBlockAlign = 2;
      format.nAvgBytesPerSec = 44100;
      DSBUFFERDESC desc;
      desc.dwFlags = DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLFREQUENCY | (v % 2 ? DSBCAPS_CTRL3D : 0);
      desc.dwBufferBytes = static_cast<DWORD>(samples.size() * 2);
      desc.lpwfxFormat = &format;
      std::shared_ptr<IDirectSoundBuffer8> buffer;
      ds.CreateSoundBuffer(&desc, &buffer);
      void *p1, *p2;
      DWORD n1, n2;
      buffer->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER);
      std::memcpy(p1, samples.data(), n1);
      buffer->Unlock(p1, n1, p2, n2);
      buffer->SetFrequency(11025 + 1370 * v);  // 11 kHz to 97 kHz
      buffer->SetVolume(-300);
      if (auto placed = buffer->get3DBuffer()) {
        DS3DBUFFER params;
        params.vPosition = {static_cast<float>(v - 32), 0.0f, 5.0f};
        params.vVelocity = {0.0f, 0.0f, -3.0f};
        params.flMinDistance = 5.0f;
        params.flMaxDistance = 1000.0f;
        placed->SetAllParameters(&params, DS3D_IMMEDIATE);
      }
      buffer->Play(0, 0, DSBPLAY_LOOPING);
      buffers.push_back(std::move(buffer));
    }
  }

  void renderSeconds(int seconds) {
    std::vector<std::int16_t> out(2 * kBlock);
    for (int frames = 0; frames < seconds * kRate; frames += kBlock) mixer->render(out.data(), kBlock);
    benchmark::DoNotOptimize(out.data());
  }
};

double threadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return now.tv_sec + now.tv_nsec * 1e-9;
}

void BM_Mix64VoicesTenSeconds(benchmark::State& state) {
  Scene scene(kVoices);
  for (auto _ : state) scene.renderSeconds(kSeconds);
}
BENCHMARK(BM_Mix64VoicesTenSeconds)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  Scene scene(kVoices);
  const double start = threadSeconds();
  scene.renderSeconds(kSeconds);
  const double perAudioSecond = (threadSeconds() - start) / kSeconds;
  std::printf("%d voices: %.3f ms of CPU per second of audio (%.2f%% of one core)\n", kVoices, perAudioSecond * 1000.0,
              perAudioSecond * 100.0);
  std::printf("voices one core could mix in real time: %.0f\n", kVoices / perAudioSecond);

  reportGameScene(argc > 1 ? std::max(1, std::atoi(argv[1])) : 10);
  return 0;
}
