// RIFF/WAVE files of PCM samples (8-bit unsigned or 16-bit signed, mono or
// stereo), for test fixtures and the sample data.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct WavChunk {
  std::string id;  // four characters
  std::vector<std::uint8_t> bytes;
};

struct WavDescription {
  int channels = 1;
  int bitsPerSample = 16;
  int sampleRate = 22050;
  // Chunks written between "fmt " and "data" (a "LIST" chunk, say).
  std::vector<WavChunk> extraChunks;
};

// The whole file: "RIFF", "WAVE", a 16-byte "fmt " chunk, the extra chunks
// and "data" holding `pcm` as given (interleaved frames, little-endian);
// chunks of odd length are followed by a pad byte.
std::vector<std::uint8_t> writeWav(const WavDescription& description, const std::vector<std::uint8_t>& pcm);

// 16-bit samples as little-endian bytes, and 8-bit unsigned bytes from
// samples of -1..1.
std::vector<std::uint8_t> pcm16Bytes(const std::vector<std::int16_t>& samples);
std::vector<std::uint8_t> pcm8Bytes(const std::vector<float>& samples);
