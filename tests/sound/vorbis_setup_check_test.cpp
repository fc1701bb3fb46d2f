// Vorbis setup headers read before the decoder sees them: books a residue
// would divide by, missing books, and headers that end early.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>

#include "content/hostile_media.h"
#include "content/ogg_vorbis_writer.h"
#include "sound/sound_channel.h"
#include "sound/vorbis_setup_check.h"
#include "tests/foundation/memory_bound.h"
#include "tests/support/memory_file.h"
#include "tests/support/report_capture.h"

namespace {

std::vector<std::int16_t> tone(int frames) {
  std::vector<std::int16_t> samples;
  for (int i = 0; i < frames; ++i) samples.push_back(static_cast<std::int16_t>(9000 * std::sin(i * 0.07)));
  return samples;
}

// A setup header written out by hand, least significant bit first: two
// books without lookup (the first of lengths 1, 2, 2; the second of
// `lengths`, sorted when `ordered`), one time domain transform, a floor 1
// without partitions, and a residue with one classification whose first
// stage decodes with `book`.
struct HandMade {
  int dimensions0 = 1, dimensions1 = 1, classbook = 0, book = 1;
  std::vector<std::uint32_t> lengths{1, 2, 2};
  bool ordered = false;
};

std::vector<std::uint8_t> handMadeSetup(const HandMade& setup) {
  std::vector<std::uint8_t> bytes{5, 'v', 'o', 'r', 'b', 'i', 's'};
  std::size_t at = bytes.size() * 8;
  const auto put = [&](std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i, ++at) {
      if (at / 8 == bytes.size()) bytes.push_back(0);
      bytes[at / 8] |= static_cast<std::uint8_t>((value >> i & 1) << at % 8);
    }
  };
  put(1, 8);  // two codebooks
  for (int b = 0; b < 2; ++b) {
    const std::vector<std::uint32_t> lengths = b == 0 ? std::vector<std::uint32_t>{1, 2, 2} : setup.lengths;
    const auto entries = static_cast<std::uint32_t>(lengths.size());
    put(0x564342, 24);
    put(static_cast<std::uint32_t>(b == 0 ? setup.dimensions0 : setup.dimensions1), 16);
    put(entries, 24);
    if (b == 1 && setup.ordered) {
      put(1, 1), put(lengths[0] - 1, 5);
      for (std::uint32_t entry = 0, length = lengths[0]; entry < entries; ++length) {
        const auto run = static_cast<std::uint32_t>(std::count(lengths.begin(), lengths.end(), length));
        put(run, std::bit_width(entries - entry));
        entry += run;
      }
    } else {
      put(0, 1), put(0, 1);  // not ordered, not sparse
      for (std::uint32_t length : lengths) put(length - 1, 5);
    }
    put(0, 4);  // lookup type
  }
  put(0, 6), put(0, 16);                          // one time domain transform, 0
  put(0, 6), put(1, 16), put(0, 5);               // one floor 1, no partitions
  put(0, 2), put(0, 4);                           // multiplier, range bits
  put(0, 6), put(0, 16);                          // one residue 0
  put(0, 24), put(0, 24), put(0, 24), put(0, 6);  // begin, end, partition size, one classification
  put(static_cast<std::uint32_t>(setup.classbook), 8);
  put(1, 3), put(0, 1);  // cascade: the first stage only
  put(static_cast<std::uint32_t>(setup.book), 8);
  return bytes;
}

std::string check(const std::vector<std::uint8_t>& packet, VorbisSetupLayout* layout = nullptr) {
  return readVorbisSetup(packet.data(), packet.size(), layout);
}

}  // namespace

TEST(VorbisSetupCheck, HandMadeHeadersAreReadFieldByField) {
  VorbisSetupLayout layout;
  EXPECT_EQ(check(handMadeSetup({.dimensions1 = 2}), &layout), "");
  ASSERT_EQ(layout.codebooks.size(), 2u);
  // Type and "vorbis", the count, then 85 bits per book of three entries.
  EXPECT_EQ(layout.codebooks[0].bitOffset, 64u);
  EXPECT_EQ(layout.codebooks[1].bitOffset, 149u);
  EXPECT_EQ(layout.codebooks[1].dimensions, 2);
  ASSERT_EQ(layout.residues.size(), 1u);
  EXPECT_EQ(layout.residues[0].classbook, 0);
  EXPECT_EQ(layout.residues[0].books, std::vector<int>{1});

  EXPECT_EQ(check(handMadeSetup({.dimensions0 = 0})), "residue classbook with dimension 0");
  EXPECT_EQ(check(handMadeSetup({.dimensions1 = 0})), "residue book with dimension 0");
  EXPECT_EQ(check(handMadeSetup({.classbook = 2})), "a residue names codebook 2, which does not exist");
  EXPECT_EQ(check(handMadeSetup({.book = 255})), "a residue names codebook 255, which does not exist");
  EXPECT_EQ(check(handMadeSetup({.dimensions0 = 0, .classbook = 1})), "");  // a book no residue uses
}

// The decoder sets up only books whose code lengths fill the code tree; one
// that fails leaves the books after it zeroed for the next open to use.
TEST(VorbisSetupCheck, CodeLengthsMustMakeACompleteCode) {
  const std::string incomplete = "codebook 1 has code lengths that do not make a complete code";
  for (bool ordered : {false, true}) {
    EXPECT_EQ(check(handMadeSetup({.lengths = {1, 2, 3, 3}, .ordered = ordered})), "") << ordered;
    EXPECT_EQ(check(handMadeSetup({.lengths = {2, 2, 2}, .ordered = ordered})), incomplete) << ordered;
    EXPECT_EQ(check(handMadeSetup({.lengths = {1, 1, 2}, .ordered = ordered})), incomplete) << ordered;
  }
  EXPECT_EQ(check(handMadeSetup({.lengths = {1}})), "");  // one entry: its code is a single bit
  EXPECT_EQ(check(handMadeSetup({.lengths = {2}})), incomplete);
}

// Every cut of a real setup header is read without a byte past its end
// (the copies are exactly as long as the cut); a cut inside the codebooks
// is refused.
TEST(VorbisSetupCheck, CutHeadersAreRefusedWithoutReadingPastThem) {
  const auto ogg = encodeOggVorbis(tone(2000), 1, 22050);
  const VorbisSetupPlace place = findVorbisSetup(ogg);
  ASSERT_GT(place.size, 0u);
  const std::vector<std::uint8_t> setup(ogg.begin() + place.packet, ogg.begin() + place.packet + place.size);
  VorbisSetupLayout layout;
  ASSERT_EQ(check(setup, &layout), "");
  const std::size_t lastBook = layout.codebooks.back().bitOffset / 8;
  for (std::size_t size = 0; size < setup.size(); ++size) {
    const std::vector<std::uint8_t> cut(setup.begin(), setup.begin() + size);
    const std::string refused = check(cut);
    if (size < 7) {
      EXPECT_EQ(refused, "no setup header") << size;
    } else if (size <= lastBook) {
      EXPECT_EQ(refused, "setup header ends early") << size;
    }
  }
}

class VorbisSetupReports : public ReportCapture {};

// The classbook of the first residue patched to dimension 0 makes the
// system's decoder divide by zero on the first audio packet; the file is
// refused before it is opened, in either link of a chained file.
TEST_F(VorbisSetupReports, ResidueClassbookOfDimensionZeroIsRefused) {
  const auto good = encodeOggVorbis(tone(6000), 1, 22050, 0.4f, 1);
  const auto bad = withResidueClassbookOfDimensionZero(encodeOggVorbis(tone(6000), 1, 22050, 0.4f, 2));
  ASSERT_FALSE(bad.empty());
  // The sync pattern of the first book starts the bit-packed fields after
  // the count: "BCV" in bytes.
  const VorbisSetupPlace place = findVorbisSetup(good);
  EXPECT_EQ(std::string(good.begin() + place.packet + 8, good.begin() + place.packet + 11), "BCV");

  auto chained = good;
  chained.insert(chained.end(), bad.begin(), bad.end());
  MemoryFile files;
  files.put("good.ogg", good);
  files.put("bad.ogg", bad);
  files.put("chain.ogg", chained);
  auto channel = loadSoundChannel(&files, "good.ogg");
  ASSERT_NE(channel, nullptr);
  EXPECT_EQ(takeMessage(), "");
  std::vector<std::uint8_t> pcm(4096);
  EXPECT_GT(channel->Fill(pcm.data(), static_cast<int>(pcm.size())), 0);
  for (const char* name : {"bad.ogg", "chain.ogg"}) {
    EXPECT_EQ(loadSoundChannel(&files, name), nullptr) << name;
    EXPECT_EQ(takeMessage(), std::string("Ogg Vorbis file ") + name + ": residue classbook with dimension 0\n");
  }
}

// Books past the decoder's set-up: one of 2^20 - 1 entries would overflow
// its stack, lookup books of 65535 x 128 take 32 MB of floats each. The
// files are refused before the decoder sees them, and reading them stays
// within 64 MB of their size.
TEST_F(VorbisSetupReports, BooksTooLargeForTheDecodersSetUpAreRefused) {
  const auto outcome = [](const std::vector<std::uint8_t>& ogg, const std::string& reason) {
    MemoryFile files;
    files.put("hostile.ogg", ogg);
    if (auto channel = loadSoundChannel(&files, "hostile.ogg")) {
      std::vector<std::uint8_t> pcm(4096);  // decoding starts: the books are set up
      channel->Fill(pcm.data(), static_cast<int>(pcm.size()));
      return 1;
    }
    return lastMessage() == "Ogg Vorbis file hostile.ogg: " + reason + "\n" ? 0 : 2;
  };
  const auto base = oggVorbisWithBooks({});
  ASSERT_FALSE(base.empty());
  const VorbisSetupPlace place = findVorbisSetup(base);
  VorbisSetupLayout layout;
  ASSERT_EQ(readVorbisSetup(&base[place.packet], place.size, &layout), "");
  const std::string added = std::to_string(layout.codebooks.size());  // the index of the first added book
  const struct {
    const char* what;
    std::vector<std::uint8_t> ogg;
    std::string reason;
  } cases[] = {
      {"2^20 - 1 entries", oggVorbisWithHugeBook(), "codebook " + added + " has 1048575 entries"},
      {"16 lookup books", oggVorbisWithLookupBooks(16), "lookup books hold more than 4000000 values"},
      {"80 lookup books", oggVorbisWithLookupBooks(80), "lookup books hold more than 4000000 values"},
  };
  for (const auto& c : cases) {
    ASSERT_FALSE(c.ogg.empty()) << c.what;
    EXPECT_EQ(outcome(c.ogg, c.reason), 0) << c.what << ": " << lastMessage();
    const MemoryUse use = measureMemory([&] { return outcome(c.ogg, c.reason); });
    EXPECT_EQ(use.result, 0) << c.what;
    EXPECT_LE(use.peakGrowth, (64LL << 20) + static_cast<long long>(c.ogg.size())) << c.what;
  }
}

// The bounds themselves: 65536 entries and 4 million lookup values pass,
// one more does not; the values count over every link of a chained file.
TEST(VorbisSetupCheck, BookBoundsHoldAtTheirLimits) {
  const auto refusal = [](const std::vector<VorbisBookSpec>& books) {
    const auto ogg = oggVorbisWithBooks(books);
    EXPECT_FALSE(ogg.empty());
    return checkVorbisSetupHeaders(ogg.data(), ogg.size());
  };
  const auto base = oggVorbisWithBooks({});
  const VorbisSetupPlace place = findVorbisSetup(base);
  VorbisSetupLayout layout;
  ASSERT_EQ(readVorbisSetup(&base[place.packet], place.size, &layout), "");
  const std::uint64_t own = layout.lookupValues;  // the encoder's books
  ASSERT_LT(own, 100'000u);
  const std::string added = std::to_string(layout.codebooks.size());

  EXPECT_EQ(refusal({{65536, 1, 0}}), "");
  EXPECT_EQ(refusal({{65537, 1, 0}}), "codebook " + added + " has 65537 entries");
  // Lookup books up to 4 million values in all, with the encoder's own.
  const auto rest = static_cast<std::uint32_t>(kMaxVorbisLookupValues - own);
  const VorbisBookSpec wide{65536, static_cast<int>(rest / 65536), 1};
  const std::uint32_t left = rest % 65536;
  std::vector<VorbisBookSpec> exact{wide}, over{wide, {left + 1, 1, 2}};
  if (left > 0) exact.push_back({left, 1, 2});
  EXPECT_EQ(refusal(exact), "");
  EXPECT_EQ(refusal(over), "lookup books hold more than 4000000 values");
  EXPECT_EQ(refusal({{1000, 4, 0}, {1000, 4, 0}}), "") << "books without lookup hold no values";

  // Two links of 2.5 million values each: each alone passes, the file not.
  const auto link = oggVorbisWithBooks({{50000, 50, 1}});
  EXPECT_EQ(checkVorbisSetupHeaders(link.data(), link.size()), "");
  auto chained = link;
  chained.insert(chained.end(), link.begin(), link.end());
  EXPECT_EQ(checkVorbisSetupHeaders(chained.data(), chained.size()), "lookup books hold more than 4000000 values");
}
