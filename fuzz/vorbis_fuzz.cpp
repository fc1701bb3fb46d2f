// Feeds arbitrary bytes to the Ogg Vorbis source as a file named "fuzz.ogg":
// its length and size, a drain of up to 1 MB of PCM, then a looping read
// across the end, which seeks back to the start. Every page carries a
// checksum that almost any mutation breaks, so when the first byte is odd
// the checksums of the rest are set right first and the changed bytes reach
// the Vorbis headers and packets.
//
// Debian's libvorbis 1.3.7 fails to set up a codebook whose code lengths
// do not fill the code tree but leaves the books after it zeroed, and its
// next attempt to start decoding takes them as set up: the residue decoder
// then divides by a classbook's dimension 0.
// The source reads the setup headers first and refuses such streams (and
// residues that name books of dimension 0 or books that do not exist), so
// that fault no longer stops the fuzzer; the seed incomplete_code is one.
// Its vorbisfile leaks its list of stream serials when opening fails after
// the first page, in the first link or in a later one of a chained file;
// the source follows that header fetch and the walk over the links first
// and refuses such streams (the seeds first_page_only and
// later_link_without_headers are two), so leaks are ours again.
#include <ogg/ogg.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz/byte_file.h"
#include "sound/sound_channel.h"

namespace {

void fixPageChecksums(std::vector<std::uint8_t>& bytes) {
  std::size_t at = 0;
  while (at + 27 <= bytes.size()) {
    if (std::memcmp(&bytes[at], "OggS", 4) != 0) {
      ++at;
      continue;
    }
    const std::size_t segments = bytes[at + 26];
    if (at + 27 + segments > bytes.size()) break;
    std::size_t length = 27 + segments;
    for (std::size_t i = 0; i < segments; ++i) length += bytes[at + 27 + i];
    if (at + length > bytes.size()) break;
    std::uint8_t* header = bytes.data() + at;
    ogg_page page{header, static_cast<long>(27 + segments), header + 27 + segments,
                  static_cast<long>(length - 27 - segments)};
    ogg_page_checksum_set(&page);
    at += length;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || size > (1u << 20)) return 0;
  std::vector<std::uint8_t> bytes(data + 1, data + size);
  if (data[0] & 1) fixPageChecksums(bytes);
  FuzzByteFile file(bytes.data(), bytes.size());
  std::unique_ptr<SoundChannel> channel = loadSoundChannel(&file, "fuzz.ogg");
  if (!channel) return 0;
  // What the buffers divide and multiply by must be sane for any stream.
  if (channel->getBitsPerSample() != 16 || channel->getChannelCount() <= 0 || channel->getSampleRate() <= 0)
    std::abort();
  channel->getLength();
  const int total = channel->getByteSize();
  if (total < 0) std::abort();

  // Past the end the source hands out silence, so the drain is bounded by
  // the size it states and by a cap for streams that misstate it.
  std::vector<std::uint8_t> piece(4096);
  int drained = 0;
  while (drained < total && drained < (1 << 20)) {
    const int n = channel->Fill(piece.data(), static_cast<int>(piece.size()));
    if (n <= 0 || n > static_cast<int>(piece.size())) break;
    drained += n;
  }
  channel->setLoop(true);
  for (int i = 0; i < 4; ++i) {
    const int n = channel->Fill(piece.data(), static_cast<int>(piece.size()));
    if (n < 0 || n > static_cast<int>(piece.size())) std::abort();
  }
  return 0;
}
