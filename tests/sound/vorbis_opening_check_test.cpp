// Files whose headers the system's vorbisfile would fail to open are
// refused before it sees them (its failed opening loses memory, which the
// leak check at exit would report), and files it opens still load.
#include "sound/vorbis_opening_check.h"

#include <gtest/gtest.h>
#include <ogg/ogg.h>

#include <cmath>

#include "content/ogg_vorbis_writer.h"
#include "sound/sound_channel.h"
#include "tests/support/memory_file.h"
#include "tests/support/report_capture.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// The pages of a well-formed file, each whole.
std::vector<Bytes> pagesOf(const Bytes& ogg) {
  std::vector<Bytes> pages;
  std::size_t at = 0;
  while (at + 27 <= ogg.size()) {
    const std::size_t segments = ogg[at + 26];
    std::size_t length = 27 + segments;
    for (std::size_t i = 0; i < segments; ++i) length += ogg[at + 27 + i];
    pages.emplace_back(ogg.begin() + static_cast<std::ptrdiff_t>(at),
                       ogg.begin() + static_cast<std::ptrdiff_t>(at + length));
    at += length;
  }
  return pages;
}

Bytes join(const std::vector<Bytes>& pages) {
  Bytes out;
  for (const Bytes& p : pages) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// A page with its first body byte and serial changed, checksum set right.
Bytes altered(Bytes page, std::uint8_t firstBodyByte, int serial) {
  const std::size_t body = 27 + page[26];
  page[body] = firstBodyByte;
  for (int i = 0; i < 4; ++i) page[14 + i] = static_cast<std::uint8_t>(serial >> (8 * i));
  ogg_page p{page.data(), static_cast<long>(body), page.data() + body, static_cast<long>(page.size() - body)};
  ogg_page_checksum_set(&p);
  return page;
}

class VorbisOpening : public ReportCapture {
 protected:
  // "" when the file loads, else the message that refused it.
  std::string load(const Bytes& ogg) {
    files.put("x.ogg", ogg);
    const bool loaded = loadSoundChannel(&files, "x.ogg") != nullptr;
    return loaded ? "" : takeMessage();
  }
  MemoryFile files;
};

TEST_F(VorbisOpening, HeadersTheDecoderWouldFailOnAreRefusedFirst) {
  std::vector<std::int16_t> samples;
  for (int i = 0; i < 6000; ++i) samples.push_back(static_cast<std::int16_t>(8000 * std::sin(i * 0.05)));
  const Bytes good = encodeOggVorbis(samples, 1, 22050);
  const std::vector<Bytes> pages = pagesOf(good);
  ASSERT_GE(pages.size(), 3u);
  ASSERT_EQ(join(pages), good);
  EXPECT_EQ(checkVorbisOpening(good.data(), good.size()), "");
  EXPECT_EQ(load(good), "");

  const auto refusal = [](const char* why) { return std::string("VorbisChannel: \"x.ogg\" refused: ") + why + "\n"; };
  const Bytes firstPageOnly = pages[0];
  EXPECT_EQ(load(firstPageOnly), refusal("the data ends in the first pages"));
  EXPECT_EQ(load(join({pages[0], pages[0], pages[1], pages[2]})), refusal("a gap in the headers"));
  EXPECT_EQ(load(join({pages[0], altered(pages[1], 4, 0x7E55), pages[2]})), refusal("damaged comment header"));
  EXPECT_EQ(load(join({altered(pages[0], 7, 0x7E55), pages[1]})), refusal("not Ogg Vorbis data"));

  // Another stream may begin beside the music, before it or after it.
  const Bytes other = altered(pages[0], 'x', 99);
  EXPECT_EQ(load(join({other, pages[0], pages[1], pages[2]})), "");
  EXPECT_EQ(load(join({pages[0], other, pages[1], pages[2]})), "");
  EXPECT_EQ(load(join({other, other, pages[0], pages[1], pages[2]})),
            refusal("two streams begin with one serial number"));

  // vorbisfile looks 64 KiB past a page for the next one, no further.
  for (const std::size_t junk : {std::size_t{60000}, std::size_t{70000}}) {
    Bytes padded = pages[0];
    padded.insert(padded.end(), junk, 'j');
    const Bytes rest = join({pages[1], pages[2]});
    padded.insert(padded.end(), rest.begin(), rest.end());
    EXPECT_EQ(load(padded), junk < 65536 ? "" : refusal("the data ends in the first pages")) << junk;
  }
}

}  // namespace
