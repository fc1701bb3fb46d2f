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
  std::filesystem::path path = std::filesystem::path(__FILE__).parent_path() / "fixtures" / name;
  // A compiler cache may hand the compiler source paths relative to the
  // build folder, whose test programs lie one folder further down.
  if (path.is_relative() && !std::filesystem::exists(path))
    path = std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / path;
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.good()) << path;
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}
