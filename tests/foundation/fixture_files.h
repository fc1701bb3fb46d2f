// Picture files written by another program (see fixtures/make-fixtures.sh),
// read from beside this header.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// The 4 x 3 colours of the "colours_*" fixtures, top row first.
inline const std::vector<std::uint32_t> kFixtureColours = {
    0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0x804020,
    0x102040, 0xC86432, 0x0A141E, 0x28323C, 0x46505A, 0xFAF0E6,
};

inline std::vector<std::uint8_t> readFixture(const std::string& name) {
  // The folder comes from the build: __FILE__ may be relative to the
  // compiler's working folder (a compiler cache rewrites paths so).
  const std::filesystem::path path = std::filesystem::path(TESSALINE_FOUNDATION_FIXTURES) / name;
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.good()) << path;
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}
