#include "foundation/byte_fields.h"

#include <gtest/gtest.h>

#include <array>

TEST(ByteFields, FieldsAreWrittenLowByteFirstAtTheirOffsets) {
  std::array<std::uint8_t, 12> bytes{};
  FieldWriter w(bytes.data(), bytes.size());
  w.u8(0xAB);
  w.u16(0x1234);
  w.u32(0xDEADBEEF);
  w.i32(-2);
  w.u8(0x7F);
  EXPECT_FALSE(w.overflowed());
  const std::array<std::uint8_t, 12> expected{0xAB, 0x34, 0x12, 0xEF, 0xBE, 0xAD, 0xDE, 0xFE, 0xFF, 0xFF, 0xFF, 0x7F};
  EXPECT_EQ(bytes, expected);
}

TEST(ByteFields, TheReaderGivesBackWhatTheWriterWrote) {
  std::array<std::uint8_t, 15> bytes{};
  FieldWriter w(bytes.data(), bytes.size());
  w.u16(0xFFFE);
  w.f32(-1.5f);
  w.i32(-123456);
  w.u32(7);
  w.u8(200);
  FieldReader r(bytes.data(), bytes.size());
  EXPECT_EQ(r.u16(), 0xFFFE);
  EXPECT_EQ(r.f32(), -1.5f);
  EXPECT_EQ(r.i32(), -123456);
  EXPECT_EQ(r.u32(), 7u);
  EXPECT_EQ(r.u8(), 200);
  EXPECT_EQ(r.offset(), bytes.size());
  EXPECT_FALSE(r.overflowed());
}

TEST(ByteFields, SkippingStepsOverFieldsAndNeverPastTheEnd) {
  const std::uint8_t bytes[6] = {1, 2, 3, 4, 0x78, 0x56};
  FieldReader r(bytes, sizeof bytes);
  r.skip(4);
  EXPECT_EQ(r.u16(), 0x5678);
  r.skip(1);
  EXPECT_TRUE(r.overflowed());
  EXPECT_EQ(r.offset(), 6u);
}

TEST(ByteFields, ShortRecordsReadAsZeroAndMarkTheReader) {
  const std::uint8_t bytes[3] = {0x11, 0x22, 0x33};
  FieldReader r(bytes, sizeof bytes);
  EXPECT_EQ(r.u16(), 0x2211);
  EXPECT_FALSE(r.overflowed());
  EXPECT_EQ(r.u16(), 0) << "one byte left is not a 16-bit field";
  EXPECT_TRUE(r.overflowed());

  std::uint8_t out[3] = {9, 9, 9};
  FieldWriter w(out, sizeof out);
  w.u16(0x0102);
  w.u16(0x0304);
  EXPECT_TRUE(w.overflowed());
  EXPECT_EQ(out[2], 9) << "a field that does not fit is not written in part";
}
