// The archive's decoders checked against an independent second decoder of
// the same stream format. The range encoder shares FrequencyModel with the decoder,
// so a mistake they share survives every round trip; this reference has its
// own Fenwick tree, divides by the total, runs move-to-front as a separate
// pass and walks the inverse transform one row at a time, with nothing
// taken from the production code but the stream format.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "content/archive_writer.h"
#include "content/burrows_wheeler_encoder.h"
#include "content/range_encoder.h"
#include "foundation/archive_file.h"
#include "foundation/burrows_wheeler.h"
#include "foundation/range_decoder.h"
#include "tests/support/memory_file.h"
#include "tests/support/report_capture.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Adaptive order-0 frequencies over n symbols in a Fenwick tree indexed
// 1..n: tree[i] sums the frequencies of symbols i - lowbit(i) to i - 1.
class ReferenceModel {
 public:
  explicit ReferenceModel(std::uint32_t n) : m_n(n), m_frequency(n, 1), m_tree(n + 1, 0) {
    while (m_top * 2 <= n) m_top *= 2;
    rebuild();
  }

  void rebuild() {
    m_total = 0;
    for (std::uint32_t step = 1; step <= m_n; step *= 2) {
      for (std::uint32_t i = step; i <= m_n; i += 2 * step) {
        m_tree[i] = m_frequency[i - 1];
        m_total += m_frequency[i - 1];
        for (std::uint32_t s = step / 2; s >= 1; s /= 2) m_tree[i] += m_tree[i - s];
      }
    }
  }

  std::uint32_t find(std::uint32_t target) const {
    std::uint32_t position = 0;
    for (std::uint32_t mask = m_top; mask >= 1; mask /= 2) {
      const std::uint32_t index = position | mask;
      if (index <= m_n && target >= m_tree[index]) {
        target -= m_tree[index];
        position = index;
      }
    }
    return position;
  }

  std::uint32_t cumulative(std::uint32_t s) const {
    std::uint32_t sum = m_tree[s + 1] - m_frequency[s];
    for (std::uint32_t k = (s + 1) & s; k > 0; k &= k - 1) sum += m_tree[k];
    return sum;
  }

  void update(std::uint32_t s) {
    m_frequency[s] += 1;
    for (std::uint32_t i = s + 1; i <= m_n; i += i & (0u - i)) m_tree[i] += 1;
    m_total += 1;
    if (m_total >= 16384) {
      for (std::uint32_t& f : m_frequency) f = (f + 1) / 2;
      rebuild();
    }
  }

  std::uint32_t frequency(std::uint32_t s) const { return m_frequency[s]; }
  std::uint32_t total() const { return m_total; }

 private:
  std::uint32_t m_n;
  std::uint32_t m_top = 1;
  std::vector<std::uint32_t> m_frequency;
  std::vector<std::uint32_t> m_tree;
  std::uint32_t m_total = 0;
};

struct ReferenceDecoded {
  Bytes bytes;
  std::size_t bytesRead = 0;  // padding bytes included
  bool ended = false;         // the end symbol came
};

// Range decoding with input continued by 0xFF bytes; gives up (ended false)
// once it has read `giveUpAfter` bytes past the input without an end symbol.
ReferenceDecoded referenceRangeDecode(const Bytes& input, std::size_t giveUpAfter = 64) {
  ReferenceDecoded result;
  auto next = [&]() -> std::uint32_t {
    const std::size_t at = result.bytesRead++;
    return at < input.size() ? input[at] : 0xFF;
  };
  ReferenceModel model(257);
  next();  // header byte
  std::uint32_t buffer = next();
  std::uint32_t low = buffer >> 1;
  std::uint32_t range = 1u << 7;
  for (;;) {
    while (range <= 0x800000u) {
      if (result.bytesRead >= input.size() + giveUpAfter) return result;
      low = ((low << 1) | (buffer & 1)) << 7;
      buffer = next();
      low |= buffer >> 1;
      range <<= 8;
    }
    const std::uint32_t help = range / model.total();
    std::uint32_t target = low / help;
    if (target >= model.total()) target = model.total() - 1;
    const std::uint32_t symbol = model.find(target);
    if (symbol == 256) {
      result.ended = true;
      return result;
    }
    result.bytes.push_back(static_cast<std::uint8_t>(symbol));
    const std::uint32_t c = model.cumulative(symbol);
    const std::uint32_t f = model.frequency(symbol);
    low -= help * c;
    range = c + f < model.total() ? help * f : range - help * c;
    model.update(symbol);
  }
}

Bytes referenceMoveToFront(const Bytes& input) {
  std::uint8_t table[256];
  for (int i = 0; i < 256; ++i) table[i] = static_cast<std::uint8_t>(i);
  int insert = 0;
  Bytes output;
  for (std::uint8_t c : input) {
    if (c == 0) {
      output.push_back(table[0]);
    } else if (c == 1) {
      std::swap(table[0], table[1]);
      output.push_back(table[0]);
    } else {
      const std::uint8_t v = table[c];
      for (int k = c; k > insert; --k) table[k] = table[k - 1];
      table[insert] = v;
      output.push_back(v);
    }
    insert = c <= 1 ? 1 : 0;
  }
  return output;
}

// Null when the primary index lies above the size or the walk steps past
// the last row.
std::optional<Bytes> referenceInverse(const Bytes& last, std::uint32_t p) {
  const std::size_t n = last.size();
  if (p > n) return std::nullopt;
  std::size_t count[256] = {};
  for (std::uint8_t b : last) ++count[b];
  std::size_t start[256];
  std::size_t sum = 0;
  for (int b = 0; b < 256; ++b) {
    start[b] = sum;
    sum += count[b];
  }
  std::vector<std::size_t> t(n);
  for (std::size_t i = 0; i < n; ++i) t[i] = start[last[i]]++;
  Bytes output(n);
  std::size_t j = 0;
  for (std::size_t k = n; k-- > 0;) {
    if (j >= n) return std::nullopt;
    output[k] = last[j];
    j = t[j];
    if (j < p) ++j;
  }
  return output;
}

// What an entry with these stored bytes and flags decodes to, or null where
// the reference finds it damaged. Range-coded input may read at most
// `padding` bytes past its end.
std::optional<Bytes> referenceEntry(const Bytes& stored, std::uint32_t primaryIndex, int flags, std::size_t padding) {
  Bytes bytes = stored;
  if (flags & 1) {
    const ReferenceDecoded decoded = referenceRangeDecode(stored);
    if (!decoded.ended || decoded.bytesRead > stored.size() + padding) return std::nullopt;
    bytes = decoded.bytes;
  }
  if (flags & 2) return referenceInverse(referenceMoveToFront(bytes), primaryIndex);
  return bytes;
}

Bytes randomBytes(std::size_t n, unsigned seed, unsigned alphabet = 256) {
  std::mt19937 rng(seed);
  Bytes bytes(n);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(rng() % alphabet);
  return bytes;
}

// Text with the repeats of game data: words from a small vocabulary.
Bytes sceneText(std::size_t n, unsigned seed) {
  static const char* const words[] = {"Object", "Position", "0.000", "1.25", "Surface", "Kart", "\n", "  ", "-3.5"};
  std::mt19937 rng(seed);
  std::string text;
  while (text.size() < n) text += std::string(words[rng() % 9]) + (rng() % 4 ? " " : "\n");
  text.resize(n);
  return Bytes(text.begin(), text.end());
}

class ArchiveReferenceTest : public ReportCapture {
 protected:
  struct Case {
    std::string name;
    int flags;
    PackedEntry packed;
  };

  // Opens every case through ArchiveFile and compares with the reference:
  // the same bytes where the reference decodes, a failed open where it
  // finds the data damaged. A decoder that rejects a damaged column the
  // plain walk still reads (a walk that revisits rows) may fail where the
  // reference gives bytes; decoding differently is never allowed.
  void checkAgainstReference(const std::vector<Case>& cases) {
    ArchiveWriter writer;
    for (const Case& c : cases) ASSERT_TRUE(writer.addPacked(c.name, c.flags, c.packed));
    MemoryFile disk;
    disk.put("data.sar", writer.build());
    ArchiveFile archive(disk);
    ASSERT_TRUE(archive.mount("data.sar"));
    for (const Case& c : cases) {
      const Bytes stored(c.packed.bytes.begin(), c.packed.bytes.begin() + c.packed.storedSize);
      std::uint32_t primaryIndex = 0;
      if (c.flags & 2) {
        const std::uint8_t* p = c.packed.bytes.data() + c.packed.storedSize;
        primaryIndex = p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
      }
      const std::optional<Bytes> expected =
          referenceEntry(stored, primaryIndex, c.flags, RangeDecoder::kMaxPaddingBytes);
      const bool opened = archive.open(c.name.c_str());
      if (!expected) {
        EXPECT_FALSE(opened) << c.name << " decodes although the reference finds it damaged";
        continue;
      }
      if (!opened) {
        EXPECT_TRUE(c.flags & 2) << c.name << " fails but the reference decodes it: " << lastMessage();
        continue;
      }
      Bytes actual(static_cast<std::size_t>(archive.size()));
      ASSERT_EQ(archive.read(actual.data(), archive.size()), archive.size());
      ASSERT_EQ(actual.size(), expected->size()) << c.name;
      ASSERT_TRUE(actual == *expected) << c.name;
    }
  }

  static Case encoded(const std::string& name, const Bytes& data, int flags) {
    return {name, flags, ArchiveWriter::pack(data.data(), data.size(), flags)};
  }
  static Case raw(const std::string& name, Bytes stored, int flags, std::uint32_t primaryIndex = 0) {
    PackedEntry packed;
    packed.storedSize = static_cast<std::uint32_t>(stored.size());
    packed.unpackedSize = packed.storedSize;
    packed.bytes = std::move(stored);
    if (flags & 2) {
      for (int i = 0; i < 4; ++i) packed.bytes.push_back(static_cast<std::uint8_t>(primaryIndex >> (8 * i)));
    }
    return {name, flags, std::move(packed)};
  }
};

}  // namespace

TEST(ArchiveReference, HandBuiltStreamsDecodeAsTheStepsSay) {
  // A fresh model puts the end symbol in the top 1/257 of the range, where
  // an all-ones code lies.
  const ReferenceDecoded empty = referenceRangeDecode({0x00, 0xFF, 0xFF, 0xFF, 0xFF});
  EXPECT_TRUE(empty.ended);
  EXPECT_TRUE(empty.bytes.empty());
  // Move-to-front: 2 then 2 gives 2 then 1; 1 then 2 gives 1 then 2.
  EXPECT_EQ(referenceMoveToFront({2, 2}), (Bytes{2, 1}));
  EXPECT_EQ(referenceMoveToFront({1, 2}), (Bytes{1, 2}));
  EXPECT_EQ(referenceMoveToFront({0, 0, 0}), (Bytes{0, 0, 0}));
  // "banana" sorted with a sentinel below every byte: the rotations
  // $banana, a$banan, ana$ban, anana$b, banana$, na$bana, nana$ba end in
  // a n n b $ a a; without the sentinel "annbaa" and p = 4.
  const std::optional<Bytes> banana = referenceInverse({'a', 'n', 'n', 'b', 'a', 'a'}, 4);
  ASSERT_TRUE(banana);
  EXPECT_EQ(std::string(banana->begin(), banana->end()), "banana");
}

TEST(ArchiveReference, ProductionStagesAgreeOnArbitraryStreams) {
  // Streams nobody encoded: each either ends within the padding allowance,
  // and must then give the reference's bytes, or must be refused.
  int ended = 0, refused = 0;
  for (unsigned seed = 0; seed < 400; ++seed) {
    Bytes stream = randomBytes(2 + seed % 60, seed, seed % 3 == 0 ? 4 : 256);
    const ReferenceDecoded expected = referenceRangeDecode(stream);
    ByteBuffer source;
    source.resize(static_cast<int>(stream.size()));
    std::copy(stream.begin(), stream.end(), source.data());
    ByteBuffer output;
    bool decoded = true;
    try {
      RangeDecoder().decode(&source, output);
    } catch (const RangeDecoder::Error&) {
      decoded = false;
    }
    const bool referenceEnds = expected.ended && expected.bytesRead <= stream.size() + RangeDecoder::kMaxPaddingBytes;
    ASSERT_EQ(decoded, referenceEnds) << "seed " << seed;
    if (!decoded) {
      ++refused;
      continue;
    }
    ++ended;
    ASSERT_EQ(Bytes(output.data(), output.data() + output.size()), expected.bytes) << "seed " << seed;
    ASSERT_EQ(static_cast<std::size_t>(source.position), expected.bytesRead) << "seed " << seed;
  }
  EXPECT_GT(ended, 20);
  EXPECT_GT(refused, 20);
}

TEST_F(ArchiveReferenceTest, EncoderOutputAcrossThePieceThresholdAndTheFirstRescale) {
  // 16384 bytes is where the inverse transform switches to walking in
  // pieces; 16384 - 257 symbols bring the model to its first rescale.
  std::vector<Case> cases;
  for (std::size_t n : {std::size_t{1}, std::size_t{16126}, std::size_t{16127}, std::size_t{16128}, std::size_t{16383},
                        std::size_t{16384}, std::size_t{16385}, std::size_t{70001}}) {
    const Bytes text = sceneText(n, static_cast<unsigned>(n));
    const Bytes noise = randomBytes(n, static_cast<unsigned>(n), 7);
    for (int flags = 1; flags <= 3; ++flags) {
      cases.push_back(encoded("text" + std::to_string(n) + "_" + std::to_string(flags), text, flags));
      cases.push_back(encoded("noise" + std::to_string(n) + "_" + std::to_string(flags), noise, flags));
    }
  }
  checkAgainstReference(cases);
}

TEST_F(ArchiveReferenceTest, DamagedStreamsDecodeAsTheReferenceOrFail) {
  std::vector<Case> cases;
  std::mt19937 rng(99);
  for (std::size_t n : {std::size_t{300}, std::size_t{20000}}) {
    const Bytes text = sceneText(n, 5);
    for (int flags = 1; flags <= 3; ++flags) {
      const PackedEntry good = ArchiveWriter::pack(text.data(), text.size(), flags);
      for (int damage = 0; damage < 12; ++damage) {
        PackedEntry bad = good;
        // A flipped byte, a cut, or a changed primary index.
        const std::uint32_t at = rng() % bad.storedSize;
        if (damage % 3 == 0) {
          bad.bytes[at] ^= static_cast<std::uint8_t>(1 + rng() % 255);
        } else if (damage % 3 == 1) {
          const std::uint32_t keep = at;
          bad.bytes.erase(bad.bytes.begin() + keep, bad.bytes.begin() + bad.storedSize);
          bad.storedSize = keep;
        } else if (flags & 2) {
          bad.bytes[bad.storedSize] = static_cast<std::uint8_t>(rng());
          bad.bytes[bad.storedSize + 1] = static_cast<std::uint8_t>(rng() % 2 ? rng() : 0);
        }
        cases.push_back({"bad" + std::to_string(n) + "_" + std::to_string(flags) + "_" + std::to_string(damage), flags,
                         std::move(bad)});
      }
    }
  }
  // Columns nobody transformed, below and above the piece threshold.
  for (std::size_t n : {std::size_t{50}, std::size_t{40000}}) {
    for (std::uint32_t p : {0u, 1u, static_cast<std::uint32_t>(n / 2), static_cast<std::uint32_t>(n)}) {
      cases.push_back(raw("column" + std::to_string(n) + "_" + std::to_string(p),
                          randomBytes(n, p + static_cast<unsigned>(n), 3), 2, p));
    }
  }
  checkAgainstReference(cases);
}

TEST(ArchiveReference, InverseTransformAgreesOnEveryWalkingStrategy) {
  // Sizes on both sides of the single-walk and the packed-element limits.
  for (std::size_t n : {std::size_t{0}, std::size_t{2}, std::size_t{16383}, std::size_t{16384}, std::size_t{200000},
                        (std::size_t{1} << 22) + 3}) {
    const Bytes text = sceneText(n, 17);
    const BurrowsWheelerBlock block = forwardBurrowsWheeler(text.data(), text.size());
    ByteBuffer column;
    column.resize(static_cast<int>(n));
    std::copy(block.lastColumn.begin(), block.lastColumn.end(), column.data());
    IndexArray index;
    ByteBuffer output;
    ASSERT_TRUE(inverseBurrowsWheeler(index, column, block.primaryIndex, output)) << n;
    const std::optional<Bytes> expected = referenceInverse(block.lastColumn, block.primaryIndex);
    ASSERT_TRUE(expected) << n;
    ASSERT_TRUE(Bytes(output.data(), output.data() + output.size()) == *expected) << n;
    ASSERT_TRUE(*expected == text) << n;
  }
}
