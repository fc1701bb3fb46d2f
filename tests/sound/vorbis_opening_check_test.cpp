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

namespace {

std::vector<std::int16_t> tone(int frames, double step) {
  std::vector<std::int16_t> samples;
  for (int i = 0; i < frames; ++i) samples.push_back(static_cast<std::int16_t>(8000 * std::sin(i * step)));
  return samples;
}

// Mostly noise, so that a link spans more than vorbisfile's 64 KiB search
// chunk and it halves its way to the next link.
std::vector<std::int16_t> noise(int frames) {
  std::vector<std::int16_t> samples;
  std::uint32_t state = 12345;
  for (int i = 0; i < frames; ++i) {
    state = state * 1664525u + 1013904223u;
    samples.push_back(static_cast<std::int16_t>(static_cast<int>(state >> 16) - 32768));
  }
  return samples;
}

}  // namespace

// vorbisfile walks every link of a chained file on opening, and fails (and
// loses memory) on a later link whose headers are missing or damaged.
TEST_F(VorbisOpening, LaterLinksTheDecoderWouldFailOnAreRefused) {
  const Bytes first = encodeOggVorbis(tone(6000, 0.05), 1, 22050, 0.4f, 1);
  const Bytes second = encodeOggVorbis(tone(6000, 0.02), 1, 22050, 0.4f, 2);
  const Bytes third = encodeOggVorbis(tone(6000, 0.03), 1, 22050, 0.4f, 3);
  const std::vector<Bytes> pages2 = pagesOf(second);
  ASSERT_GE(pages2.size(), 3u);
  const auto refusal = [](int link, std::size_t byte, const char* why) {
    return "VorbisChannel: \"x.ogg\" refused: link " + std::to_string(link) + " at byte " + std::to_string(byte) +
           ": " + why + "\n";
  };

  EXPECT_EQ(load(join({first, second})), "");
  EXPECT_EQ(load(join({first, second, third})), "");
  // Bytes that are no page between the links are stepped over.
  EXPECT_EQ(load(join({first, Bytes(100, 'j'), second})), "");

  // A page that begins a stream with no Vorbis headers in it.
  const Bytes notVorbis = altered(pages2[0], 'x', 2);
  EXPECT_EQ(load(join({first, notVorbis})), refusal(2, first.size(), "the data ends in the first pages"));
  EXPECT_EQ(load(join({first, Bytes(100, 'j'), notVorbis, pages2[1], pages2[2]})),
            refusal(2, first.size() + 100, "not Ogg Vorbis data"));
  // The second link's identification header alone, or without its setup.
  EXPECT_EQ(load(join({first, pages2[0]})), refusal(2, first.size(), "the data ends in the first pages"));
  EXPECT_EQ(load(join({first, pages2[0], pages2[2]})), refusal(2, first.size(), "a gap in the headers"));
  // A third link fails after a good second one; a last page of the second
  // link's stream would end that link instead.
  EXPECT_EQ(load(join({first, second, notVorbis})), "");
  EXPECT_EQ(load(join({first, second, altered(pages2[0], 'x', 3)})),
            refusal(3, first.size() + second.size(), "the data ends in the first pages"));

  // Links larger than the search chunk: vorbisfile halves its way to them.
  const Bytes big1 = encodeOggVorbis(noise(240000), 1, 44100, 1.0f, 1);
  const Bytes big2 = encodeOggVorbis(noise(240000), 1, 44100, 1.0f, 2);
  ASSERT_GT(big1.size(), 2u * 65536);
  EXPECT_EQ(checkVorbisOpening(join({big1, big2}).data(), big1.size() + big2.size()), "");
  const Bytes bigBad = join({big1, notVorbis, pages2[1], pages2[2], Bytes(big2.begin() + 8000, big2.end())});
  EXPECT_EQ(checkVorbisOpening(bigBad.data(), bigBad.size()),
            "link 2 at byte " + std::to_string(big1.size()) + ": not Ogg Vorbis data");
}
