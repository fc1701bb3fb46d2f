// Feeds arbitrary bytes to the WAVE reader as a file named "fuzz.wav" and
// drains whatever source it makes.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/byte_file.h"
#include "sound/sound_channel.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (1u << 24)) return 0;
  FuzzByteFile file(data, size);
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
