// The second and third decoding stages of packed archive entries: a
// move-to-front decoder that keeps the front byte in place after a repeat,
// and the inverse of a Burrows-Wheeler transform taken with a virtual end
// sentinel that sorts before every byte.
#pragma once

#include <cstdint>
#include <cstring>

#include "foundation/byte_buffer.h"

struct MoveToFrontState {
  int insertPosition = 0;  // where the next fetched value goes: 0 or 1
  std::uint8_t table[256] = {};
};

// The table in use, for decoders that take one rank at a time.
class MoveToFrontTable {
 public:
  void reset() {
    for (int i = 0; i < 256; ++i) m_table[i] = static_cast<std::uint8_t>(i);
    m_insert = 0;
  }
  void store(MoveToFrontState& state) const {
    std::memcpy(state.table, m_table, sizeof m_table);
    state.insertPosition = m_insert;
  }

  // The byte that `rank` names; the table moves it as described below.
  std::uint8_t take(std::uint32_t rank) {
    const std::uint8_t v = m_table[rank];
    if (rank < 2) {
      // Rank 0 keeps the table, rank 1 swaps the first two values: either
      // way v goes first and the other of the two second, without a branch
      // on which.
      m_table[1] = m_table[rank ^ 1];
      m_table[0] = v;
      m_insert = 1;
      return v;
    }
    std::memmove(m_table + m_insert + 1, m_table + m_insert, rank - m_insert);
    m_table[m_insert] = v;
    m_insert = 0;
    return v;
  }

 private:
  std::uint8_t m_table[256];
  std::uint32_t m_insert = 0;
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
