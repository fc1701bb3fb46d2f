// The forward block-sorting stages that the archive's decoder undoes: the
// Burrows-Wheeler transform with a virtual end sentinel, built on a linear
// time suffix array (SA-IS), and the move-to-front coder that keeps the
// front byte after a repeat.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The suffix array of text followed by a sentinel smaller than every byte:
// size + 1 starting positions in sorted order, the first being `size` (the
// sentinel alone).
std::vector<std::int32_t> buildSuffixArray(const std::uint8_t* text, std::size_t size);

struct BurrowsWheelerBlock {
  std::vector<std::uint8_t> lastColumn;  // sentinel removed: as long as the text
  std::uint32_t primaryIndex = 0;        // the row where the sentinel stood
};

BurrowsWheelerBlock forwardBurrowsWheeler(const std::uint8_t* text, std::size_t size);

// The inverse of decodeMoveToFront: each byte becomes its place in the table.
std::vector<std::uint8_t> encodeMoveToFront(const std::uint8_t* data, std::size_t size);
