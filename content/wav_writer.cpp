#include "content/wav_writer.h"

#include <algorithm>
#include <cmath>

namespace {

void putU16(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void putU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  putU16(out, value & 0xFFFF);
  putU16(out, value >> 16);
}

void putId(std::vector<std::uint8_t>& out, const std::string& id) {
  for (int i = 0; i < 4; ++i) out.push_back(i < static_cast<int>(id.size()) ? static_cast<std::uint8_t>(id[i]) : ' ');
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
  for (const WavChunk& chunk : description.extraChunks) {
    putId(body, chunk.id);
    putU32(body, static_cast<std::uint32_t>(chunk.bytes.size()));
    body.insert(body.end(), chunk.bytes.begin(), chunk.bytes.end());
  }
  putId(body, "data");
  putU32(body, static_cast<std::uint32_t>(pcm.size()));
  body.insert(body.end(), pcm.begin(), pcm.end());

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
