#include "foundation/burrows_wheeler.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// Below this many bytes a single walk is fastest: the column stays in the
// nearest caches and pieces would cost more than they save.
constexpr std::uint32_t kSingleWalkLimit = 1u << 14;
// Up to this size an element packs the next row (23 bits), a start mark and
// the byte, so the walk needs one memory access per byte.
constexpr std::uint32_t kPackedLimit = 1u << 23;
constexpr std::uint32_t kStartMark = 0x100;
// Pieces for walking large columns: one per this many bytes, up to the most
// that keep misses in flight without the bookkeeping dominating.
constexpr int kMaxPieces = 128;
constexpr std::uint32_t kBytesPerPiece = 1024;

// The walk from row 0 through the packed column, one byte per step.
bool walkOnce(const std::uint32_t* column, std::uint32_t n, std::uint32_t p, std::uint8_t* out) {
  std::uint32_t j = 0;
  for (std::uint32_t k = n; k-- > 0;) {
    // In damaged data a step can reach row n, one past the end.
    if (j >= n) return false;
    const std::uint32_t packed = column[j];
    out[k] = static_cast<std::uint8_t>(packed);
    j = packed >> 9;
    j += j < p ? 1 : 0;
  }
  return true;
}

// The same walk cut into pieces that run side by side. A large column does
// not fit the caches and one walk waits on a miss per byte; pieces started
// at rows spread over the column keep many misses in flight. Each piece
// stops where the next piece's start row comes up (its element is marked)
// or at the text's first byte (the step into the sentinel's row); the pieces
// are then laid end to end. Damaged data that does not form one path through
// every row fails.
bool walkInPieces(std::uint32_t* column, std::uint32_t n, std::uint32_t p, std::uint8_t* out) {
  struct Piece {
    std::uint32_t start = 0;
    int following = -2;  // the piece whose start ended this one; -1 for the text's start
    std::vector<std::uint8_t> bytes;
  };
  const int pieceCount = static_cast<int>(std::min<std::uint32_t>(kMaxPieces, n / kBytesPerPiece));
  std::vector<Piece> pieces(pieceCount);
  // The walking state is kept apart from the pieces so the loop below
  // touches as little as possible besides the column.
  std::uint32_t rows[kMaxPieces];
  std::uint8_t* cursor[kMaxPieces];
  std::uint8_t* limit[kMaxPieces];
  for (int c = 0; c < pieceCount; ++c) {
    pieces[c].start = rows[c] = static_cast<std::uint32_t>(static_cast<std::uint64_t>(n) * c / pieceCount);
    pieces[c].bytes.resize(2 * n / pieceCount + 16);
    cursor[c] = pieces[c].bytes.data();
    limit[c] = cursor[c] + pieces[c].bytes.size();
    column[pieces[c].start] |= kStartMark;
  }
  auto pieceStartingAt = [&](std::uint32_t row) {
    for (int c = 0; c < pieceCount; ++c)
      if (pieces[c].start == row) return c;
    return -2;
  };

  int active[kMaxPieces];
  int activeCount = 0;
  // The first step of each piece reads its own marked start.
  for (int c = 0; c < pieceCount; ++c) {
    const std::uint32_t packed = column[rows[c]];
    *cursor[c]++ = static_cast<std::uint8_t>(packed);
    const std::uint32_t raw = packed >> 9;
    if (raw == p - 1) {
      pieces[c].following = -1;
      continue;
    }
    rows[c] = raw + (raw < p ? 1 : 0);
    if (rows[c] >= n) return false;
    active[activeCount++] = c;
  }
  std::uint64_t steps = pieceCount;
  while (activeCount > 0) {
    steps += static_cast<std::uint64_t>(activeCount);
    if (steps > static_cast<std::uint64_t>(n) + pieceCount) return false;  // a loop that never ends
    for (int a = 0; a < activeCount;) {
      const int c = active[a];
      const std::uint32_t packed = column[rows[c]];
      if (packed & kStartMark) {
        pieces[c].following = pieceStartingAt(rows[c]);
        active[a] = active[--activeCount];
        continue;
      }
      if (cursor[c] == limit[c]) {
        std::vector<std::uint8_t>& bytes = pieces[c].bytes;
        const std::size_t used = bytes.size();
        bytes.resize(2 * used);
        cursor[c] = bytes.data() + used;
        limit[c] = bytes.data() + bytes.size();
      }
      *cursor[c]++ = static_cast<std::uint8_t>(packed);
      const std::uint32_t raw = packed >> 9;
      if (raw == p - 1) {
        pieces[c].following = -1;
        active[a] = active[--activeCount];
        continue;
      }
      rows[c] = raw + (raw < p ? 1 : 0);
      if (rows[c] >= n) return false;
      ++a;
    }
  }

  // Lay the pieces out from the text's end, in the order they follow.
  std::uint32_t position = n;
  int c = 0;
  for (int laid = 0; laid < pieceCount; ++laid) {
    if (c < 0) return false;
    const std::uint8_t* bytes = pieces[c].bytes.data();
    const std::size_t length = static_cast<std::size_t>(cursor[c] - bytes);
    if (length > position) return false;
    for (std::size_t i = 0; i < length; ++i) out[--position] = bytes[i];
    c = pieces[c].following;
    if (c == 0) return false;
  }
  return position == 0 && c == -1;
}

}  // namespace

void decodeMoveToFront(MoveToFrontState& state, const ByteBuffer& input, ByteBuffer& output) {
  MoveToFrontTable table;
  table.reset();
  const int n = input.size();
  output.resize(n);
  const std::uint8_t* in = input.data();
  std::uint8_t* out = output.data();
  for (int k = 0; k < n; ++k) out[k] = table.take(in[k]);
  table.store(state);
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
  output.resize(n);
  std::uint8_t* out = output.data();
  const std::uint32_t p = primaryIndex;
  const std::uint32_t size = static_cast<std::uint32_t>(n);

  bool restored;
  if (size < kPackedLimit) {
    std::uint32_t* column = reinterpret_cast<std::uint32_t*>(index.data());
    for (int i = 0; i < n; ++i) column[i] = static_cast<std::uint32_t>(start[last[i]]++) << 9 | last[i];
    restored = size < kSingleWalkLimit ? walkOnce(column, size, p, out) : walkInPieces(column, size, p, out);
  } else {
    std::int32_t* next = index.data();
    for (int i = 0; i < n; ++i) next[i] = start[last[i]]++;
    restored = true;
    std::uint32_t j = 0;
    for (int k = n - 1; k >= 0; --k) {
      // In damaged data a step can reach row n, one past the end.
      if (j >= size) {
        restored = false;
        break;
      }
      out[k] = last[j];
      j = static_cast<std::uint32_t>(next[j]);
      j += j < p ? 1 : 0;
    }
  }
  if (!restored) output.resize(0);
  return restored;
}
