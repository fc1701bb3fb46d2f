#include "foundation/engine_string.h"

#include <gtest/gtest.h>

#include <string>

TEST(EngineString, GrowthAddsAnEighthClampedBetween4And65536) {
  EngineString s;
  s.resize(16);
  EXPECT_EQ(s.capacity(), 16) << "the first allocation is exact";
  s.resize(17);
  EXPECT_EQ(s.capacity(), 20);

  EngineString big;
  big.resize(1000000);
  big.resize(1000001);
  EXPECT_EQ(big.capacity(), 1065536);

  EngineString jump;
  jump.resize(10);
  jump.resize(500);
  EXPECT_EQ(jump.capacity(), 500) << "a request beyond the step is taken as it is";
}

TEST(EngineString, ShrinkKeepsCapacityGrowKeepsContentsAndZeroFrees) {
  EngineString s("abcdefgh");
  s.resize(3);
  EXPECT_EQ(s.capacity(), 9);
  s.resize(40);
  EXPECT_EQ(std::string(s.c_str(), 2), "ab");
  s.resize(0);
  EXPECT_EQ(s.length(), 0);
  EXPECT_EQ(s.capacity(), 0);
  s.resize(7);
  EXPECT_EQ(s.capacity(), 7) << "the next allocation is exact again";
}

TEST(EngineString, LengthCountsTheNul) {
  EXPECT_EQ(EngineString().length(), 1);
  EngineString s("kart");
  s.append("ing");
  EXPECT_STREQ(s.c_str(), "karting");
  EXPECT_EQ(s.length(), 8);
  const EngineString f = EngineString::format("%s-%03d", "lap", 7);
  EXPECT_STREQ(f.c_str(), "lap-007");
  EXPECT_EQ(f.length(), 8);
}

TEST(EngineString, BetweenTakesFirstOpenToLastClose) {
  EXPECT_STREQ(EngineString::between("x && \"duplicated preference flags?\"", '"', '"', "fb").c_str(),
               "duplicated preference flags?");
  EXPECT_STREQ(EngineString::between("a \"b\" c \"d\"", '"', '"', "fb").c_str(), "b\" c \"d");
  EXPECT_STREQ(EngineString::between("no quotes", '"', '"', "fallback").c_str(), "fallback");
  EXPECT_STREQ(EngineString::between("adjacent \"\"", '"', '"', "fallback").c_str(), "fallback");
  EXPECT_STREQ(EngineString::between("one \" only", '"', '"', "fallback").c_str(), "fallback");
  EXPECT_STREQ(EngineString::between("no quotes", '"', '"', nullptr).c_str(), "");
  EXPECT_STREQ(EngineString::between("(inner)", '(', ')', nullptr).c_str(), "inner");
}

TEST(EngineString, FormatStaticCutsAt255) {
  const std::string longText(400, 'z');
  const char* out = formatStatic("%s", longText.c_str());
  EXPECT_EQ(std::string(out).size(), 255u);
  EXPECT_STREQ(formatStatic("%d", 42), "42");
}
