#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <random>
#include <vector>

#include "content/range_encoder.h"
#include "foundation/range_decoder.h"

namespace {

ByteBuffer toBuffer(const std::vector<std::uint8_t>& bytes) {
  ByteBuffer buffer;
  buffer.resize(static_cast<int>(bytes.size()));
  for (int i = 0; i < buffer.size(); ++i) buffer[i] = bytes[i];
  return buffer;
}

std::vector<std::uint8_t> decodeAll(const std::vector<std::uint8_t>& stream, int sizeHint = 0) {
  ByteBuffer source = toBuffer(stream);
  ByteBuffer output;
  output.resize(sizeHint);
  RangeDecoder().decode(&source, output);
  EXPECT_EQ(output.position, 0);
  return std::vector<std::uint8_t>(output.data(), output.data() + output.size());
}

std::vector<std::uint8_t> roundTrip(const std::vector<std::uint8_t>& data, int sizeHint = 0) {
  return decodeAll(RangeEncoder::encodeBytes(data.data(), data.size()), sizeHint);
}

std::vector<std::uint8_t> randomBytes(std::size_t n, unsigned seed, int alphabet = 256) {
  std::mt19937 rng(seed);
  std::vector<std::uint8_t> bytes(n);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(rng() % alphabet);
  return bytes;
}

}  // namespace

TEST(FrequencyModel, HalvesRoundingUpWhenTheTotalReaches16384) {
  FrequencyModel model;
  model.init(257, 1);
  // 16384 - 257 updates bring the total to 16384 exactly.
  for (int i = 0; i < 16384 - 257 - 1; ++i) model.update(static_cast<std::uint32_t>(i % 3));
  EXPECT_EQ(model.total(), 16383u);
  const std::uint32_t before0 = model.frequency(0);
  model.update(0);
  EXPECT_EQ(model.frequency(0), (before0 + 2) / 2);
  EXPECT_EQ(model.frequency(200), 1u) << "a frequency of 1 stays 1";
}

TEST(FrequencyModel, AgreesWithPlainSumsThroughManyRescales) {
  // The encoder shares the model, so round trips alone would not notice a
  // wrong sum: compare with plain arithmetic on the frequencies instead.
  FrequencyModel model;
  model.init(257, 1);
  std::vector<std::uint32_t> frequencies(257, 1);
  std::mt19937 rng(7);
  for (int i = 0; i < 60000; ++i) {
    // Mostly 0 and 1, as after move-to-front, with every other symbol too.
    const std::uint32_t r = rng() % 10;
    const std::uint32_t s = r < 5 ? 0 : r < 7 ? 1 : rng() % 257;
    model.update(s);
    ++frequencies[s];
    std::uint32_t total = 0;
    for (std::uint32_t f : frequencies) total += f;
    if (total >= FrequencyModel::kRescaleTotal) {
      for (std::uint32_t& f : frequencies) f = (f + 1) / 2;
    }
    if (i % 97 != 0) continue;
    std::uint32_t below = 0;
    for (std::uint32_t k = 0; k < 257; ++k) {
      ASSERT_EQ(model.frequency(k), frequencies[k]) << "step " << i;
      ASSERT_EQ(model.cumulative(k), below) << "step " << i << " symbol " << k;
      std::uint32_t found = 0;
      ASSERT_EQ(model.find(below, found), k);
      ASSERT_EQ(found, below);
      ASSERT_EQ(model.find(below + frequencies[k] - 1), k);
      below += frequencies[k];
    }
    ASSERT_EQ(model.total(), below);
  }
}

TEST(RangeDecoder, RoundTripsWhatTheEncoderWrites) {
  EXPECT_TRUE(roundTrip({}).empty()) << "the end symbol first gives nothing";
  EXPECT_EQ(roundTrip({42}), std::vector<std::uint8_t>{42});
  EXPECT_EQ(roundTrip({255}), std::vector<std::uint8_t>{255});

  const std::vector<std::uint8_t> same(100000, 'a');
  EXPECT_EQ(roundTrip(same), same) << "long runs drive the model through many rescales";

  const std::vector<std::uint8_t> noise = randomBytes(70000, 1);
  EXPECT_EQ(roundTrip(noise), noise);
  const std::vector<std::uint8_t> skewed = randomBytes(50000, 2, 3);
  EXPECT_EQ(roundTrip(skewed), skewed);
}

TEST(RangeDecoder, CarriesThroughRunsOfFFBytes) {
  // Symbols near the top of the alphabet push the low end towards 0xFF
  // bytes, whose carries the encoder must hold back and settle.
  for (unsigned seed = 0; seed < 40; ++seed) {
    std::vector<std::uint8_t> data = randomBytes(3000, seed, 256);
    for (std::size_t i = 0; i < data.size(); i += 2) data[i] = 255;
    ASSERT_EQ(roundTrip(data), data) << "seed " << seed;
  }
}

TEST(RangeDecoder, AllOnesAfterTheHeaderIsTheEndSymbolAtOnce) {
  // With a fresh model the end symbol holds the top 1/257 of the range; a
  // code of all ones lies there, so this stream is complete and empty.
  ByteBuffer source = toBuffer({0x00, 0xFF, 0xFF, 0xFF, 0xFF});
  ByteBuffer output;
  output.resize(8);
  RangeDecoder().decode(&source, output);
  EXPECT_EQ(output.size(), 0);
  EXPECT_EQ(source.position, 5);
  // The first symbol's interval starts at 0: an all-zero code is byte 0.
  ByteBuffer zeros = toBuffer({0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
  try {
    RangeDecoder().decode(&zeros, output);
  } catch (const RangeDecoder::Error&) {
  }
  ASSERT_GE(output.size(), 1);
  EXPECT_EQ(output[0], 0);
}

TEST(RangeDecoder, OutputGrowsPastOrShrinksBelowTheSizeGiven) {
  const std::vector<std::uint8_t> data = randomBytes(5000, 3, 16);
  EXPECT_EQ(roundTrip(data, 10), data);
  EXPECT_EQ(roundTrip(data, 20000), data);
}

TEST(RangeDecoder, ReadsACompleteStreamWithoutPadding) {
  const std::vector<std::uint8_t> data = randomBytes(3000, 4, 40);
  std::vector<std::uint8_t> stream = RangeEncoder::encodeBytes(data.data(), data.size());
  ByteBuffer source = toBuffer(stream);
  ByteBuffer output;
  RangeDecoder().decode(&source, output);
  EXPECT_EQ(source.position, source.size()) << "the flush leaves nothing for padding to supply";
}

TEST(RangeDecoder, RejectsStreamsThatNeverEnd) {
  RangeDecoder decoder;
  ByteBuffer output;
  EXPECT_THROW(decoder.decode(nullptr, output), RangeDecoder::Error);

  // All-zero input keeps decoding byte 0 and never reaches the end symbol;
  // the decoder must stop a few bytes into the padding, not grow forever.
  ByteBuffer zeros;
  zeros.resize(64);
  for (int i = 0; i < zeros.size(); ++i) zeros[i] = 0;
  try {
    decoder.decode(&zeros, output);
    FAIL() << "no end symbol in the input";
  } catch (const RangeDecoder::Error& error) {
    EXPECT_STREQ(error.what(), "invalid source stream");
  }
  EXPECT_LE(zeros.position, zeros.size() + RangeDecoder::kMaxPaddingBytes);
  EXPECT_LE(output.size(), RangeDecoder::maxDecodedSize(64));

  // Whatever the junk, decoding stops within the padding allowance and
  // inside the size bound callers allocate by.
  for (unsigned seed = 0; seed < 200; ++seed) {
    ByteBuffer junk = toBuffer(randomBytes(seed % 50, seed, seed % 2 ? 256 : 4));
    try {
      decoder.decode(&junk, output);
    } catch (const RangeDecoder::Error&) {
    }
    ASSERT_LE(junk.position, junk.size() + RangeDecoder::kMaxPaddingBytes);
    ASSERT_LE(output.size(), RangeDecoder::maxDecodedSize(junk.size()));
  }
}

TEST(FrequencyModel, ScaledSearchMatchesDividingFirst) {
  // The decoder searches with code and scale instead of code / scale. Check
  // every symbol edge, group edges (15/16, 255/256) included, against the
  // plain search on the quotient, the clamp to the last symbol above the
  // total as well.
  FrequencyModel model;
  model.init(257, 1);
  std::mt19937 rng(11);
  for (int round = 0; round < 40; ++round) {
    for (int i = 0; i < 700; ++i) {
      const std::uint32_t r = rng() % 8;
      model.update(r < 3 ? r : r < 6 ? 14 + r : rng() % 257);
    }
    const std::uint32_t total = model.total();
    const std::uint32_t scale = 0x80000000u / total - (rng() % 64);
    std::uint32_t cumulative = 0;
    for (std::uint32_t s = 0; s <= 257; ++s) {
      for (std::uint32_t code : {scale * cumulative, scale * cumulative + scale - 1, scale * cumulative - 1}) {
        if (cumulative == 0 && code == 0xFFFFFFFFu) continue;
        std::uint32_t below = 0;
        const std::uint32_t found = model.findScaled(code, scale, below);
        const std::uint32_t expected = model.find(std::min(code / scale, total - 1));
        ASSERT_EQ(found, expected) << "round " << round << " code " << code;
        ASSERT_EQ(below, model.cumulative(found));
      }
      if (s < 257) cumulative += model.frequency(s);
    }
    // A damaged stream can leave the code anywhere up to the range's top.
    std::uint32_t below = 0;
    EXPECT_EQ(model.findScaled(0x80000000u, scale, below), RangeDecoder::kEndSymbol);
    EXPECT_EQ(below, total - model.frequency(RangeDecoder::kEndSymbol));
  }
}

TEST(RangeDecoder, DividesByEveryTotalExactly) {
  std::mt19937 rng(5);
  for (std::uint32_t total = 2; total < FrequencyModel::kRescaleTotal; ++total) {
    const std::uint32_t top = 0x80000000u / total;
    for (std::uint32_t x : {0u, 1u, total - 1, total, 0x80000000u, 0xFFFFFFFFu, top * total - 1, top * total,
                            (top - 1) * total + total - 1, static_cast<std::uint32_t>(rng())}) {
      ASSERT_EQ(RangeDecoder::divideByTotal(x, total), x / total) << x << " / " << total;
    }
  }
}

TEST(RangeDecoder, MoveToFrontInTheSamePassEqualsTheTwoStages) {
  // Ranks of every size, runs of 0 and 1 (which set the insert position)
  // and long inputs that pass rescales and output growth.
  for (unsigned seed = 0; seed < 12; ++seed) {
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> ranks(seed * 9000 + 1);
    for (auto& r : ranks) {
      const std::uint32_t pick = rng() % 10;
      r = static_cast<std::uint8_t>(pick < 4 ? 0 : pick < 6 ? 1 : pick < 8 ? rng() % 16 : rng() % 256);
    }
    ByteBuffer plainRanks = toBuffer(ranks);
    MoveToFrontState separate;
    ByteBuffer expected;
    decodeMoveToFront(separate, plainRanks, expected);

    ByteBuffer source = toBuffer(RangeEncoder::encodeBytes(ranks.data(), ranks.size()));
    ByteBuffer fused;
    fused.resize(static_cast<int>(seed * 100));
    MoveToFrontState state;
    RangeDecoder().decode(&source, fused, state);
    ASSERT_EQ(fused.size(), expected.size());
    ASSERT_TRUE(std::equal(expected.data(), expected.data() + expected.size(), fused.data())) << "seed " << seed;
    EXPECT_EQ(state.insertPosition, separate.insertPosition);
    EXPECT_TRUE(std::equal(std::begin(state.table), std::end(state.table), std::begin(separate.table)));
  }
}
