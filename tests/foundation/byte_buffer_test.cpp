#include <gtest/gtest.h>

#include "foundation/byte_buffer.h"

TEST(ByteBuffer, GrowsByTheStringRuleAndKeepsItsBytes) {
  ByteBuffer buffer;
  buffer.resize(16);
  EXPECT_EQ(buffer.capacity(), 16) << "the first allocation is exact";
  for (int i = 0; i < 16; ++i) buffer[i] = static_cast<std::uint8_t>(i);
  buffer.resize(17);
  EXPECT_EQ(buffer.capacity(), 20) << "16 + at least 4";
  for (int i = 0; i < 16; ++i) ASSERT_EQ(buffer[i], i);

  buffer.resize(3);
  EXPECT_EQ(buffer.size(), 3);
  EXPECT_EQ(buffer.capacity(), 20) << "shrinking keeps the allocation";
  buffer.resize(100);
  EXPECT_EQ(buffer.capacity(), 100) << "a request beyond one step is taken as it is";

  buffer.resize(0);
  EXPECT_EQ(buffer.capacity(), 0);
  EXPECT_EQ(buffer.data(), nullptr);
}

TEST(ByteBuffer, LargeArraysGrowByAtMost65536Elements) {
  GrowableArray<std::int32_t> array;
  array.resize(1000000);
  array.resize(1000001);
  EXPECT_EQ(array.capacity(), 1065536);
}

TEST(ByteBuffer, CopiesAreIndependent) {
  ByteBuffer a;
  a.resize(2);
  a[0] = 7;
  a[1] = 8;
  ByteBuffer b = a;
  b[0] = 9;
  EXPECT_EQ(a[0], 7);
  EXPECT_EQ(b.size(), 2);
  ByteBuffer c = std::move(b);
  EXPECT_EQ(c[0], 9);
  EXPECT_EQ(b.size(), 0);
}
