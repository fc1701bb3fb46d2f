#include "net/message.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(MessageWriter, GivesBackABufferGrownByALargeMessageWhenCleared) {
  net::MessageWriter w;
  const std::vector<std::uint8_t> small(100, 1), large(30000, 2);
  for (int i = 0; i < 4; ++i) {
    w.begin(40);
    w.writeBytes(large.data(), large.size());
  }
  ASSERT_GT(w.capacity(), net::MessageWriter::kKeptCapacity);
  w.clear();
  EXPECT_EQ(w.capacity(), 0u);
  // A small message's buffer is kept for the next one.
  w.begin(40);
  w.writeBytes(small.data(), small.size());
  const std::size_t kept = w.capacity();
  w.clear();
  EXPECT_EQ(w.capacity(), kept);
  EXPECT_TRUE(w.empty());
}

}  // namespace
