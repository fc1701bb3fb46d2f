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
