// The second and third decoding stages of packed archive entries: a
// move-to-front decoder that keeps the front byte in place after a repeat,
// and the inverse of a Burrows-Wheeler transform taken with a virtual end
// sentinel that sorts before every byte.
#pragma once

#include <cstdint>

#include "foundation/byte_buffer.h"

struct MoveToFrontState {
  int insertPosition = 0;  // where the next fetched value goes: 0 or 1
  std::uint8_t table[256] = {};
};

// Replaces each input index by the table value it names. Index 1 swaps the
// first two values; a larger index moves its value to the insert position,
// which is 1 right after an index of 0 or 1 and 0 otherwise. The output gets
// exactly input.size() bytes.
void decodeMoveToFront(MoveToFrontState& state, const ByteBuffer& input, ByteBuffer& output);

using IndexArray = GrowableArray<std::int32_t>;

// Restores the text whose last column (sentinel removed) is `input` and whose
// sentinel stood in row `primaryIndex` of the sorted rotations. `index` is
// scratch space of input.size() elements. Returns false, with the output
// emptied, when the data cannot be a transform: a primary index above the
// size, or a walk that leaves the column.
bool inverseBurrowsWheeler(IndexArray& index, const ByteBuffer& input, std::uint32_t primaryIndex, ByteBuffer& output);
