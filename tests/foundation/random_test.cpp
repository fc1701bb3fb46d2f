#include "foundation/random.h"

#include <gtest/gtest.h>

#include <thread>

TEST(EngineRandom, SeedOneGivesTheTunedSequence) {
  engineSrand(1);
  EXPECT_EQ(engineRand(), 41);
  EXPECT_EQ(engineRand(), 18467);
  EXPECT_EQ(engineRand(), 6334);
  EXPECT_EQ(engineRand(), 26500);
}

TEST(EngineRandom, StaysInRangeAndEachThreadStartsAtSeedOne) {
  engineSrand(12345);
  for (int i = 0; i < 10000; ++i) {
    const int r = engineRand();
    ASSERT_GE(r, 0);
    ASSERT_LE(r, ENGINE_RAND_MAX);
  }
  int first = -1;
  std::thread([&] { first = engineRand(); }).join();
  EXPECT_EQ(first, 41);
}
