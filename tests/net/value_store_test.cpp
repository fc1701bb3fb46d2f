#include "net/value_store.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/net/raw_peer.h"

namespace {

using GameDaemon::kMaxStoredBytes;
using GameDaemon::ValueStore;

std::vector<std::uint8_t> bytes(std::size_t size, std::uint8_t fill) { return std::vector<std::uint8_t>(size, fill); }

bool store(ValueStore& s, std::uint16_t id, const std::vector<std::uint8_t>& payload) {
  return s.store(id, payload.data(), payload.size());
}

TEST(ValueStore, HoldsTheLastPayloadPerIdAndStopsAtItsBound) {
  ValueStore s;
  EXPECT_TRUE(store(s, 40, bytes(3, 1)));
  EXPECT_TRUE(store(s, 40, bytes(5, 2)));
  EXPECT_EQ(s.value(40), bytes(5, 2));
  EXPECT_EQ(s.totalBytes(), 5u);
  // Fill up to one byte short of the bound, then one value too many.
  const std::size_t rest = kMaxStoredBytes - 5 - 1;
  std::uint16_t id = 100;
  for (std::size_t left = rest; left > 0; ++id) {
    const std::size_t size = left < 30000 ? left : 30000;
    ASSERT_TRUE(store(s, id, bytes(size, 3)));
    left -= size;
  }
  EXPECT_EQ(s.totalBytes(), kMaxStoredBytes - 1);
  EXPECT_FALSE(store(s, id, bytes(2, 4)));
  EXPECT_TRUE(s.value(id).empty());
  // A larger payload that does not fit takes the id's stale one with it.
  EXPECT_FALSE(store(s, 40, bytes(7, 5)));
  EXPECT_TRUE(s.value(40).empty());
  EXPECT_EQ(s.totalBytes(), kMaxStoredBytes - 6);
  EXPECT_TRUE(store(s, id, bytes(6, 6)));
  EXPECT_EQ(s.totalBytes(), kMaxStoredBytes);
  // An empty payload leaves the id without a value; out-of-range ids hold
  // nothing.
  EXPECT_TRUE(store(s, id, {}));
  EXPECT_TRUE(s.value(id).empty());
  EXPECT_FALSE(store(s, net::kValueIdCount, bytes(1, 1)));
  EXPECT_TRUE(s.value(-1).empty());
  s.clear();
  EXPECT_EQ(s.totalBytes(), 0u);
  EXPECT_TRUE(s.value(100).empty());
}

TEST(ValueStore, TheDumpIsSharedUntilTheStoreChangesAndHoldsTheValuesAsTheyWere) {
  ValueStore s;
  store(s, 500, {9, 8});
  store(s, 30, {1});
  auto first = s.dump();
  EXPECT_EQ(s.dump(), first);
  store(s, 30, {2, 2, 2});  // after the dump was taken
  auto second = s.dump();
  EXPECT_NE(second, first);

  // Values in ascending id order, then the end of the dump.
  const std::vector<std::uint8_t> expected = [] {
    std::vector<std::uint8_t> all;
    for (const auto& m : {frame(30, {1}), frame(500, {9, 8}), frame(net::kValuesEnded)})
      all.insert(all.end(), m.begin(), m.end());
    return all;
  }();
  ASSERT_EQ(first->size(), expected.size());
  EXPECT_EQ(std::vector<std::uint8_t>(first->data(), first->data() + first->size()), expected);
  EXPECT_EQ(second->size(), expected.size() + 2);

  s.clear();
  auto empty = s.dump();
  ASSERT_EQ(empty->size(), 4u);
  EXPECT_EQ(std::vector<std::uint8_t>(empty->data(), empty->data() + 4), frame(net::kValuesEnded));
}

}  // namespace
