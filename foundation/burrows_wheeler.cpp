#include "foundation/burrows_wheeler.h"

#include <cstring>

void decodeMoveToFront(MoveToFrontState& state, const ByteBuffer& input, ByteBuffer& output) {
  std::uint8_t* table = state.table;
  for (int i = 0; i < 256; ++i) table[i] = static_cast<std::uint8_t>(i);
  int insert = 0;
  const int n = input.size();
  output.resize(n);
  const std::uint8_t* in = input.data();
  std::uint8_t* out = output.data();
  for (int k = 0; k < n; ++k) {
    const int c = in[k];
    if (c == 0) {
      out[k] = table[0];
      insert = 1;
    } else if (c == 1) {
      const std::uint8_t v = table[1];
      table[1] = table[0];
      table[0] = v;
      out[k] = v;
      insert = 1;
    } else {
      const std::uint8_t v = table[c];
      std::memmove(table + insert + 1, table + insert, static_cast<std::size_t>(c - insert));
      table[insert] = v;
      out[k] = v;
      insert = 0;
    }
  }
  state.insertPosition = insert;
}

bool inverseBurrowsWheeler(IndexArray& index, const ByteBuffer& input, std::uint32_t primaryIndex, ByteBuffer& output) {
  const int n = input.size();
  // Row n is the last row of n + 1 rotations; anything beyond cannot hold
  // the sentinel.
  if (primaryIndex > static_cast<std::uint32_t>(n)) {
    output.resize(0);
    return false;
  }
  const std::uint8_t* last = input.data();

  int start[256] = {};
  for (int i = 0; i < n; ++i) ++start[last[i]];
  int sum = 0;
  for (int& s : start) {
    const int count = s;
    s = sum;
    sum += count;
  }

  index.resize(n);
  std::int32_t* next = index.data();
  for (int i = 0; i < n; ++i) next[i] = start[last[i]]++;

  output.resize(n);
  std::uint8_t* out = output.data();
  const std::uint32_t p = primaryIndex;
  // Every step lands on a row of the column, but in damaged data the row
  // after the sentinel's can be n (one past the end), so each index is
  // checked before it is read.
  std::uint32_t j = 0;
  for (int k = n - 1; k >= 0; --k) {
    if (j >= static_cast<std::uint32_t>(n)) {
      output.resize(0);
      return false;
    }
    out[k] = last[j];
    j = static_cast<std::uint32_t>(next[j]);
    j += j < p ? 1 : 0;
  }
  return true;
}
