// A small synthesiser for the sample sounds and tunes: oscillators with
// gliding pitch, noise, a one-pole filter and envelopes over mono buffers
// of -1..1 at 22050 Hz.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace synth {

inline constexpr int kRate = 22050;

using Buffer = std::vector<double>;

enum class Wave { Sine, Square, Saw, Triangle };

int samplesFor(double seconds);
Buffer silence(double seconds);

// A tone gliding exponentially from `from` to `to` Hz over its length.
Buffer tone(double seconds, double from, double to, Wave wave = Wave::Sine);
// White noise from a fixed seed.
Buffer noise(double seconds, std::uint32_t seed);

// One-pole low-pass at `hertz`; high-pass is the input less that.
void lowPass(Buffer& b, double hertz);
void highPass(Buffer& b, double hertz);
// exp(-t / tau) over the whole buffer.
void decay(Buffer& b, double tau);
// Linear fade in over `in` seconds and out over the last `out` seconds.
void fade(Buffer& b, double in, double out);
// Amplitude times 1 - depth + depth x (0.5 + 0.5 sin(2 pi rate t)).
void tremolo(Buffer& b, double rate, double depth);
void scale(Buffer& b, double gain);

// Adds `source` into `into` from `at` seconds on, growing `into` as needed.
void mix(Buffer& into, const Buffer& source, double at = 0.0, double gain = 1.0);
Buffer sum(std::initializer_list<Buffer> parts);
// The end faded into the beginning over `seconds`, so that the buffer,
// shortened by that much, loops without a click.
void crossfadeLoop(Buffer& b, double seconds);

// Scaled so that the loudest sample reaches `peak`, as 16-bit samples.
std::vector<std::int16_t> toPcm16(const Buffer& b, double peak = 0.8);

}  // namespace synth
