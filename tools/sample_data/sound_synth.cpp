#include "tools/sample_data/sound_synth.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace synth {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

double waveAt(Wave wave, double phase) {
  const double p = phase - std::floor(phase);
  switch (wave) {
    case Wave::Sine:
      return std::sin(kTwoPi * p);
    case Wave::Square:
      return p < 0.5 ? 1.0 : -1.0;
    case Wave::Saw:
      return 2.0 * p - 1.0;
    case Wave::Triangle:
      return p < 0.5 ? 4.0 * p - 1.0 : 3.0 - 4.0 * p;
  }
  return 0.0;
}

}  // namespace

int samplesFor(double seconds) { return std::max(1, static_cast<int>(std::lround(seconds * kRate))); }

Buffer silence(double seconds) { return Buffer(static_cast<std::size_t>(samplesFor(seconds)), 0.0); }

Buffer tone(double seconds, double from, double to, Wave wave) {
  Buffer b = silence(seconds);
  const double n = static_cast<double>(b.size());
  double phase = 0.0;
  for (std::size_t i = 0; i < b.size(); ++i) {
    b[i] = waveAt(wave, phase);
    const double hertz = from * std::pow(to / from, static_cast<double>(i) / n);
    phase += hertz / kRate;
  }
  return b;
}

Buffer noise(double seconds, std::uint32_t seed) {
  Buffer b = silence(seconds);
  std::uint32_t state = seed * 2654435761u + 1u;
  for (double& s : b) {
    state = state * 1664525u + 1013904223u;
    s = static_cast<double>(state >> 8) / static_cast<double>(1u << 23) - 1.0;
  }
  return b;
}

void lowPass(Buffer& b, double hertz) {
  const double a = 1.0 - std::exp(-kTwoPi * hertz / kRate);
  double y = 0.0;
  for (double& s : b) {
    y += a * (s - y);
    s = y;
  }
}

void highPass(Buffer& b, double hertz) {
  Buffer low = b;
  lowPass(low, hertz);
  for (std::size_t i = 0; i < b.size(); ++i) b[i] -= low[i];
}

void decay(Buffer& b, double tau) {
  for (std::size_t i = 0; i < b.size(); ++i) b[i] *= std::exp(-static_cast<double>(i) / kRate / tau);
}

void fade(Buffer& b, double in, double out) {
  const double n = static_cast<double>(b.size());
  const double inSamples = std::max(1.0, in * kRate), outSamples = std::max(1.0, out * kRate);
  for (std::size_t i = 0; i < b.size(); ++i) {
    const double t = static_cast<double>(i);
    b[i] *= std::min({1.0, (t + 1.0) / inSamples, (n - t) / outSamples});
  }
}

void tremolo(Buffer& b, double rate, double depth) {
  for (std::size_t i = 0; i < b.size(); ++i)
    b[i] *= 1.0 - depth + depth * (0.5 + 0.5 * std::sin(kTwoPi * rate * static_cast<double>(i) / kRate));
}

void scale(Buffer& b, double gain) {
  for (double& s : b) s *= gain;
}

void mix(Buffer& into, const Buffer& source, double at, double gain) {
  const auto start = static_cast<std::size_t>(std::max(0L, std::lround(at * kRate)));
  if (into.size() < start + source.size()) into.resize(start + source.size(), 0.0);
  for (std::size_t i = 0; i < source.size(); ++i) into[start + i] += gain * source[i];
}

Buffer sum(std::initializer_list<Buffer> parts) {
  Buffer out;
  for (const Buffer& p : parts) mix(out, p);
  return out;
}

void crossfadeLoop(Buffer& b, double seconds) {
  const auto n = std::min(b.size() / 2, static_cast<std::size_t>(samplesFor(seconds)));
  const std::size_t tail = b.size() - n;
  for (std::size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / static_cast<double>(n);
    b[i] = b[i] * t + b[tail + i] * (1.0 - t);
  }
  b.resize(tail);
}

std::vector<std::int16_t> toPcm16(const Buffer& b, double peak) {
  double loudest = 0.0;
  for (double s : b) loudest = std::max(loudest, std::fabs(s));
  const double gain = loudest > 0.0 ? peak * 32767.0 / loudest : 0.0;
  std::vector<std::int16_t> pcm(b.size());
  for (std::size_t i = 0; i < b.size(); ++i)
    pcm[i] = static_cast<std::int16_t>(std::clamp(std::lround(b[i] * gain), -32767L, 32767L));
  return pcm;
}

}  // namespace synth
