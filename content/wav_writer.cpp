#include "content/wav_writer.h"

#include <algorithm>
#include <cmath>

#include "content/byte_writer.h"

namespace {

using content_bytes::putU16;
using content_bytes::putU32;

void putId(std::vector<std::uint8_t>& out, const std::string& id) {
  for (int i = 0; i < 4; ++i) out.push_back(i < static_cast<int>(id.size()) ? static_cast<std::uint8_t>(id[i]) : ' ');
}

// A chunk of odd length is followed by a zero pad byte that its length does
// not count, so that every chunk starts on an even offset.
void putChunk(std::vector<std::uint8_t>& out, const std::string& id, const std::vector<std::uint8_t>& bytes) {
  putId(out, id);
  putU32(out, static_cast<std::uint32_t>(bytes.size()));
  out.insert(out.end(), bytes.begin(), bytes.end());
  if (bytes.size() % 2 != 0) out.push_back(0);
}

}  // namespace

std::vector<std::uint8_t> writeWav(const WavDescription& description, const std::vector<std::uint8_t>& pcm) {
  const std::uint32_t blockAlign = description.channels * (description.bitsPerSample / 8);
  std::vector<std::uint8_t> body;
  putId(body, "WAVE");
  putId(body, "fmt ");
  putU32(body, 16);
  putU16(body, 1);
  putU16(body, description.channels);
  putU32(body, description.sampleRate);
  putU32(body, description.sampleRate * blockAlign);
  putU16(body, blockAlign);
  putU16(body, description.bitsPerSample);
  for (const WavChunk& chunk : description.extraChunks) putChunk(body, chunk.id, chunk.bytes);
  putChunk(body, "data", pcm);

  std::vector<std::uint8_t> file;
  putId(file, "RIFF");
  putU32(file, static_cast<std::uint32_t>(body.size()));
  file.insert(file.end(), body.begin(), body.end());
  return file;
}

std::vector<std::uint8_t> pcm16Bytes(const std::vector<std::int16_t>& samples) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(samples.size() * 2);
  for (std::int16_t sample : samples) putU16(bytes, static_cast<std::uint16_t>(sample));
  return bytes;
}

std::vector<std::uint8_t> pcm8Bytes(const std::vector<float>& samples) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(samples.size());
  for (float sample : samples)
    bytes.push_back(static_cast<std::uint8_t>(std::lround(std::clamp(sample, -1.0f, 127.0f / 128.0f) * 128.0f) + 128));
  return bytes;
}
