#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "content/burrows_wheeler_encoder.h"
#include "foundation/burrows_wheeler.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

ByteBuffer toBuffer(const Bytes& bytes) {
  ByteBuffer buffer;
  buffer.resize(static_cast<int>(bytes.size()));
  std::copy(bytes.begin(), bytes.end(), buffer.data());
  return buffer;
}

Bytes toBytes(const ByteBuffer& buffer) { return Bytes(buffer.data(), buffer.data() + buffer.size()); }

Bytes moveToFront(const Bytes& ranks) {
  MoveToFrontState state;
  ByteBuffer out;
  decodeMoveToFront(state, toBuffer(ranks), out);
  return toBytes(out);
}

Bytes restore(const BurrowsWheelerBlock& block) {
  IndexArray index;
  ByteBuffer out;
  EXPECT_TRUE(inverseBurrowsWheeler(index, toBuffer(block.lastColumn), block.primaryIndex, out));
  return toBytes(out);
}

Bytes randomBytes(std::size_t n, unsigned seed, int alphabet) {
  std::mt19937 rng(seed);
  Bytes bytes(n);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(rng() % alphabet);
  return bytes;
}

Bytes textBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

// Suffixes of text + sentinel by plain comparison: the reference for SA-IS.
std::vector<std::int32_t> naiveSuffixArray(const Bytes& text) {
  std::vector<std::int32_t> sa(text.size() + 1);
  for (std::size_t i = 0; i < sa.size(); ++i) sa[i] = static_cast<std::int32_t>(i);
  std::sort(sa.begin(), sa.end(), [&](std::int32_t a, std::int32_t b) {
    return std::lexicographical_compare(text.begin() + a, text.end(), text.begin() + b, text.end());
  });
  return sa;
}

}  // namespace

TEST(MoveToFront, KeepsTheFrontAfterARepeat) {
  EXPECT_EQ(moveToFront({0, 0, 0}), (Bytes{0, 0, 0}));
  EXPECT_EQ(moveToFront({2, 2}), (Bytes{2, 1})) << "the second 2 fetches what moved up";
  EXPECT_EQ(moveToFront({1, 2}), (Bytes{1, 2}));
  // After 1, 2 the table starts 1, 2, 0: the 2 went to position 1, behind 1.
  EXPECT_EQ(moveToFront({1, 2, 1, 0}), (Bytes{1, 2, 2, 2}));
  EXPECT_EQ(moveToFront({1, 2, 2}), (Bytes{1, 2, 0}));
  EXPECT_TRUE(moveToFront({}).empty());
  EXPECT_EQ(moveToFront({255, 255}), (Bytes{255, 254}));
}

TEST(MoveToFront, EncoderIsTheExactInverse) {
  for (unsigned seed = 0; seed < 20; ++seed) {
    const Bytes data = randomBytes(2000, seed, seed % 2 ? 256 : 5);
    const Bytes ranks = encodeMoveToFront(data.data(), data.size());
    ASSERT_EQ(moveToFront(ranks), data) << "seed " << seed;
  }
}

TEST(MoveToFront, ShiftsOfEveryLengthMatchAPlainTable) {
  // Values move up in words of eight; every rank from 2 to 255 after either
  // insert position checks the word edges and the top of the table.
  Bytes ranks;
  for (int rank = 2; rank < 256; ++rank)
    ranks.insert(ranks.end(), {static_cast<std::uint8_t>(rank), 0, static_cast<std::uint8_t>(rank)});
  std::mt19937 rng(3);
  for (int i = 0; i < 5000; ++i) ranks.push_back(static_cast<std::uint8_t>(rng() % 4 == 0 ? rng() % 2 : rng() % 256));

  std::vector<std::uint8_t> table(256);
  for (int i = 0; i < 256; ++i) table[i] = static_cast<std::uint8_t>(i);
  std::size_t insert = 0;
  Bytes expected;
  for (std::uint8_t rank : ranks) {
    const std::uint8_t v = table[rank];
    if (rank == 1) std::swap(table[0], table[1]);
    if (rank >= 2) {
      table.erase(table.begin() + rank);
      table.insert(table.begin() + static_cast<std::ptrdiff_t>(insert), v);
    }
    insert = rank < 2 ? 1 : 0;
    expected.push_back(rank == 1 ? table[0] : v);
  }
  MoveToFrontState state;
  ByteBuffer out;
  decodeMoveToFront(state, toBuffer(ranks), out);
  EXPECT_EQ(toBytes(out), expected);
  EXPECT_TRUE(std::equal(table.begin(), table.end(), std::begin(state.table)));
  EXPECT_EQ(state.insertPosition, static_cast<int>(insert));
}

TEST(BurrowsWheeler, SuffixArrayMatchesPlainSorting) {
  for (unsigned seed = 0; seed < 300; ++seed) {
    // Tiny alphabets give the long repeats that recurse deepest.
    const Bytes text = randomBytes(seed % 97, seed, 1 + seed % 4);
    ASSERT_EQ(buildSuffixArray(text.data(), text.size()), naiveSuffixArray(text)) << "seed " << seed;
  }
  const Bytes periodic = textBytes(std::string(500, 'x') + "abababababababab" + std::string(300, 'x'));
  EXPECT_EQ(buildSuffixArray(periodic.data(), periodic.size()), naiveSuffixArray(periodic));
}

TEST(BurrowsWheeler, TransformsWithTheSentinelConvention) {
  // Rotations of "banana$" sorted: $banana, a$banan, ana$ban, anana$b,
  // banana$, na$bana, nana$ba; the last column is annb$aa, sentinel in row 4.
  const Bytes banana = textBytes("banana");
  const BurrowsWheelerBlock block = forwardBurrowsWheeler(banana.data(), banana.size());
  EXPECT_EQ(block.lastColumn, textBytes("annbaa"));
  EXPECT_EQ(block.primaryIndex, 4u);
  EXPECT_EQ(restore(block), banana);

  const BurrowsWheelerBlock empty = forwardBurrowsWheeler(nullptr, 0);
  EXPECT_TRUE(empty.lastColumn.empty());
  EXPECT_EQ(empty.primaryIndex, 0u);
  EXPECT_TRUE(restore(empty).empty());
}

TEST(BurrowsWheeler, InverseRestoresAnyText) {
  std::vector<Bytes> texts = {textBytes("x"), Bytes(1000, 'z'), textBytes("abracadabra abracadabra"),
                              randomBytes(20000, 9, 256), randomBytes(20000, 10, 2)};
  for (const Bytes& text : texts) {
    const BurrowsWheelerBlock block = forwardBurrowsWheeler(text.data(), text.size());
    ASSERT_EQ(restore(block), text) << "size " << text.size();
  }
}

TEST(BurrowsWheeler, DamagedIndexesFailWithoutReadingOutside) {
  IndexArray index;
  ByteBuffer out;
  const ByteBuffer column = toBuffer(textBytes("annbaa"));
  EXPECT_FALSE(inverseBurrowsWheeler(index, column, 7, out)) << "above the size";
  EXPECT_EQ(out.size(), 0);
  EXPECT_FALSE(inverseBurrowsWheeler(index, column, 0xFFFFFFFFu, out));
  // p = n is fine for good data, but here the walk reaches row n before the
  // text is complete: the first step already jumps there.
  const ByteBuffer last = toBuffer(Bytes{255, 0});
  EXPECT_FALSE(inverseBurrowsWheeler(index, last, 2, out));
  EXPECT_TRUE(inverseBurrowsWheeler(index, column, 6, out)) << "wrong but readable data still decodes";
  EXPECT_EQ(out.size(), 6);
}

TEST(BurrowsWheeler, LargeColumnsOfOneRepeatedByteRestoreExactly) {
  // Walked in pieces, and past 4 MB without packing (the reference test
  // covers varied text at these sizes). One repeated byte: the column is
  // the text itself and the sentinel ends the last row, so no sorting is
  // needed to build it.
  for (std::size_t n : {std::size_t{300001}, (std::size_t{1} << 22) + 3}) {
    BurrowsWheelerBlock same;
    same.lastColumn.assign(n, 'a');
    same.primaryIndex = static_cast<std::uint32_t>(n);
    const Bytes restored = restore(same);
    ASSERT_EQ(restored.size(), n);
    EXPECT_EQ(std::count(restored.begin(), restored.end(), 'a'), static_cast<std::ptrdiff_t>(n));
  }
}

TEST(BurrowsWheeler, DamagedLargeColumnsFailOrStayInside) {
  Bytes text = randomBytes(270000, 12, 3);
  const BurrowsWheelerBlock good = forwardBurrowsWheeler(text.data(), text.size());
  IndexArray index;
  ByteBuffer out;
  const ByteBuffer column = toBuffer(good.lastColumn);
  for (std::uint32_t p : {0u, 1u, good.primaryIndex + 1, static_cast<std::uint32_t>(text.size())}) {
    if (p == good.primaryIndex) continue;
    // A wrong index breaks the path through the rows: the pieces no longer
    // join up. Whatever happens, nothing is read outside the column.
    if (inverseBurrowsWheeler(index, column, p, out)) {
      EXPECT_EQ(out.size(), static_cast<int>(text.size()));
    } else {
      EXPECT_EQ(out.size(), 0);
    }
  }
  Bytes swapped = good.lastColumn;
  std::swap(swapped[10], swapped[200000]);
  if (inverseBurrowsWheeler(index, toBuffer(swapped), good.primaryIndex, out)) {
    EXPECT_EQ(out.size(), static_cast<int>(text.size()));
  }
}
