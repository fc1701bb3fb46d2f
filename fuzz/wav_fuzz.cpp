// Feeds arbitrary bytes to the WAVE reader as a file named "fuzz.wav" and
// drains whatever source it makes.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "foundation/file.h"
#include "sound/sound_channel.h"

namespace {

// A read-only file over the fuzz input.
class InputFile : public File {
 public:
  InputFile(const std::uint8_t* data, std::size_t size) : m_data(data), m_length(static_cast<int>(size)) {}
  File* clone() const override { return new InputFile(m_data, static_cast<std::size_t>(m_length)); }
  bool exists(const char*) override { return true; }
  bool open(const char*) override {
    if (m_open) return false;
    m_open = true;
    m_position = 0;
    m_size = m_length;
    return true;
  }
  bool create(const char*) override { return false; }
  bool close() override {
    m_open = false;
    m_size = 0;
    return true;
  }
  int read(void* buffer, int count) override {
    if (!m_open || count <= 0 || m_position >= m_length) return 0;
    const int n = std::min(count, m_length - m_position);
    std::memcpy(buffer, m_data + m_position, static_cast<std::size_t>(n));
    m_position += n;
    return n;
  }
  int write(const void*, int) override { return 0; }
  bool seek(int position) override {
    if (!m_open || position < 0) return false;
    m_position = position;
    return true;
  }
  bool skip(int delta) override {
    const long long target = static_cast<long long>(m_position) + delta;
    return target <= 0x7FFFFFFF && seek(static_cast<int>(target));
  }
  int tell() override { return m_open ? m_position : -1; }

 private:
  const std::uint8_t* m_data;
  int m_length;
  int m_position = 0;
  bool m_open = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (1u << 24)) return 0;
  InputFile file(data, size);
  std::unique_ptr<SoundChannel> channel = loadSoundChannel(&file, "fuzz.wav");
  if (!channel) return 0;
  std::vector<std::uint8_t> piece(4096);
  int total = 0;
  while (int n = channel->Fill(piece.data(), static_cast<int>(piece.size()))) total += n;
  channel->getLength();
  channel->setLoop(true);
  channel->setReadPosition(total - 1);
  channel->Fill(piece.data(), 3);
  return 0;
}
