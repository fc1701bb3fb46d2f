#include "foundation/burrows_wheeler.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// Below this many bytes a single walk is fastest: the column stays in the
// nearest caches and pieces would cost more than they save.
constexpr std::uint32_t kSingleWalkLimit = 1u << 14;
// Up to this size an element packs the next row (22 bits), two marks and
// the byte, so the walk needs one memory access per byte. The next row is
// stored already adjusted past the sentinel's row, which keeps that step off
// the chain of dependent loads.
constexpr std::uint32_t kPackedLimit = 1u << 22;
constexpr std::uint32_t kRowShift = 10;
constexpr std::uint32_t kStartMark = 0x100;  // a piece starts at this row
// The step into the sentinel's row: the text's first byte. Only this
// element's next row can be n, one past the end.
constexpr std::uint32_t kEndMark = 0x200;
// Pieces for walking large columns: one per this many bytes, up to the most
// that keep misses in flight without the bookkeeping dominating.
constexpr int kMaxPieces = 128;
constexpr std::uint32_t kBytesPerPiece = 1024;

// The walk from row 0 through the packed column, one byte per step.
bool walkOnce(const std::uint32_t* column, std::uint32_t n, std::uint8_t* out) {
  std::uint32_t j = 0;
  for (std::uint32_t k = n; k-- > 0;) {
    // In damaged data a step can reach row n, one past the end.
    if (j >= n) return false;
    const std::uint32_t packed = column[j];
    out[k] = static_cast<std::uint8_t>(packed);
    j = packed >> kRowShift;
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
bool walkInPieces(std::uint32_t* column, std::uint32_t n, std::uint8_t* out) {
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
    if (packed & kEndMark) {
      pieces[c].following = -1;
      continue;
    }
    rows[c] = packed >> kRowShift;
    active[activeCount++] = c;
  }
  std::uint64_t steps = pieceCount;
  while (activeCount > 0) {
    steps += static_cast<std::uint64_t>(activeCount);
    if (steps > static_cast<std::uint64_t>(n) + pieceCount) return false;  // a loop that never ends
    for (int a = 0; a < activeCount;) {
      const int c = active[a];
      const std::uint32_t packed = column[rows[c]];
      if (packed & (kStartMark | kEndMark)) {
        if (packed & kStartMark) {
          pieces[c].following = pieceStartingAt(rows[c]);
        } else {
          *cursor[c]++ = static_cast<std::uint8_t>(packed);  // room is kept for this one
          pieces[c].following = -1;
        }
        active[a] = active[--activeCount];
        continue;
      }
      if (limit[c] - cursor[c] < 2) {
        std::vector<std::uint8_t>& bytes = pieces[c].bytes;
        const std::size_t used = static_cast<std::size_t>(cursor[c] - bytes.data());
        bytes.resize(2 * bytes.size());
        cursor[c] = bytes.data() + used;
        limit[c] = bytes.data() + bytes.size();
      }
      *cursor[c]++ = static_cast<std::uint8_t>(packed);
      // Rows past the end only follow the end mark, handled above.
      rows[c] = packed >> kRowShift;
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

  // The column is full of runs of one byte, and counting or numbering a
  // run one element after the other makes each step wait for the last one's
  // store. So the column is handled as four quarters side by side, each
  // with its own tables; the tail past the fourth quarter belongs to it.
  const int quarter = n / 4;
  int counts[4][256] = {};
  for (int i = 0; i < quarter; ++i) {
    ++counts[0][last[i]];
    ++counts[1][last[quarter + i]];
    ++counts[2][last[2 * quarter + i]];
    ++counts[3][last[3 * quarter + i]];
  }
  for (int i = 4 * quarter; i < n; ++i) ++counts[3][last[i]];
  // next[q][b]: the row of the next byte b in quarter q.
  int next[4][256];
  int sum = 0;
  for (int b = 0; b < 256; ++b) {
    for (int q = 0; q < 4; ++q) {
      next[q][b] = sum;
      sum += counts[q][b];
    }
  }

  index.resize(n);
  output.resize(n);
  std::uint8_t* out = output.data();
  const std::uint32_t p = primaryIndex;
  const std::uint32_t size = static_cast<std::uint32_t>(n);

  bool restored;
  if (size < kPackedLimit) {
    std::uint32_t* column = reinterpret_cast<std::uint32_t*>(index.data());
    auto pack = [&](int q, int k) {
      const std::uint32_t row = static_cast<std::uint32_t>(next[q][last[k]]++);
      const std::uint32_t following = row + (row < p ? 1 : 0);
      column[k] = following << kRowShift | (row + 1 == p ? kEndMark : 0) | last[k];
    };
    for (int i = 0; i < quarter; ++i) {
      pack(0, i);
      pack(1, quarter + i);
      pack(2, 2 * quarter + i);
      pack(3, 3 * quarter + i);
    }
    for (int k = 4 * quarter; k < n; ++k) pack(3, k);
    restored = size < kSingleWalkLimit ? walkOnce(column, size, out) : walkInPieces(column, size, out);
  } else {
    std::int32_t* rows = index.data();
    for (int q = 0; q < 4; ++q) {
      const int end = q < 3 ? (q + 1) * quarter : n;
      for (int k = q * quarter; k < end; ++k) rows[k] = next[q][last[k]]++;
    }
    restored = true;
    std::uint32_t j = 0;
    for (int k = n - 1; k >= 0; --k) {
      // In damaged data a step can reach row n, one past the end.
      if (j >= size) {
        restored = false;
        break;
      }
      out[k] = last[j];
      j = static_cast<std::uint32_t>(rows[j]);
      j += j < p ? 1 : 0;
    }
  }
  if (!restored) output.resize(0);
  return restored;
}
