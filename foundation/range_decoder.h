// The first decoding stage of packed archive entries: an order-0 adaptive
// range decoder (carry-less, 32-bit code with 7 extra bits) driven by an
// adaptive frequency table over the 256 byte values and an end symbol.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <stdexcept>

#include "foundation/burrows_wheeler.h"
#include "foundation/byte_buffer.h"

// Adaptive order-0 frequencies. When the total reaches 16384 every frequency
// is halved (rounding up, so none becomes 0), which keeps the total small
// enough for 32-bit range coding.
//
// After move-to-front most symbols are small ranks, so the table is searched
// linearly from symbol 0: first over sums of groups of 16 symbols, then
// inside the group found. A search costs about rank + 2 steps (at most 33),
// and an update touches one frequency and one group sum. A Fenwick tree
// would make every search and update logarithmic, which is slower for the
// ranks that dominate.
class FrequencyModel {
 public:
  static constexpr std::uint32_t kRescaleTotal = 0x4000;
  static constexpr std::uint32_t kGroupShift = 4;
  static constexpr std::uint32_t kGroupSize = 1u << kGroupShift;

  // n symbols (at least 1), each starting at `increment`, which is also the
  // step of update().
  void init(std::uint32_t n, std::uint32_t increment);
  // Recomputes the group sums and the total from the frequencies.
  void rebuild();

  // The symbol s with cumulative(s) <= target < cumulative(s) + frequency(s);
  // a target at or above the total gives the last symbol.
  std::uint32_t find(std::uint32_t target) const {
    std::uint32_t below = 0;
    return findScaled(target, 1, below);
  }
  // As find(); `below` receives cumulative() of the symbol found.
  std::uint32_t find(std::uint32_t target, std::uint32_t& below) const { return findScaled(target, 1, below); }

  // find(code / scale) without the division: code / scale < c exactly when
  // code < scale * c. The decoder's scale times the total never exceeds its
  // 32-bit range, so the products cannot overflow there.
  std::uint32_t findScaled(std::uint32_t code, std::uint32_t scale, std::uint32_t& below) const {
    std::uint32_t sum = 0;
    std::uint32_t group = 0;
    while (group < m_lastGroup && code >= scale * (sum + m_groupSums[group])) sum += m_groupSums[group++];
    std::uint32_t s = group << kGroupShift;
    const std::uint32_t last = std::min(s + kGroupSize, m_n) - 1;
    while (s < last && code >= scale * (sum + m_frequencies[s])) sum += m_frequencies[s++];
    below = sum;
    return s;
  }

  // Sum of the frequencies of the symbols below s.
  std::uint32_t cumulative(std::uint32_t s) const;
  std::uint32_t frequency(std::uint32_t s) const { return m_frequencies[s]; }
  void update(std::uint32_t s) {
    m_frequencies[s] += m_increment;
    m_groupSums[s >> kGroupShift] += m_increment;
    m_total += m_increment;
    if (m_total >= kRescaleTotal) halve();
  }

  std::uint32_t total() const { return m_total; }
  std::uint32_t symbols() const { return m_n; }

 private:
  void halve();

  std::uint32_t m_n = 0;
  std::uint32_t m_increment = 1;
  std::uint32_t m_groups = 0;
  std::uint32_t m_lastGroup = 0;  // the search takes it without a test
  std::uint32_t m_total = 0;
  // One allocation: n frequencies, then one sum per group.
  std::unique_ptr<std::uint32_t[]> m_words;
  std::uint32_t* m_frequencies = nullptr;
  std::uint32_t* m_groupSums = nullptr;
};

class RangeDecoder {
 public:
  static constexpr std::uint32_t kEndSymbol = 256;
  // A complete stream is read to its last byte; a damaged one runs on into
  // padding. More padding than this means the end symbol is never coming.
  static constexpr int kMaxPaddingBytes = 5;

  class Error : public std::runtime_error {
   public:
    Error() : std::runtime_error("invalid source stream") {}
  };

  // The most bytes a stream of `storedSize` bytes can decode to. Every byte
  // symbol narrows the range by at least 256/16383 of itself (the other
  // symbols keep a frequency of 1 or more), that is 0.0227 bits, so one input
  // byte yields at most 353 symbols. Callers cap their first allocation with
  // it instead of trusting a size written beside the data.
  static std::int64_t maxDecodedSize(std::int64_t storedSize) { return (storedSize + 10) * 353; }

  // Decodes `source` from its start to the end symbol into `output`, which
  // the caller may have sized already; output grows past that as bytes come
  // and ends at the decoded length with position 0. Growth doubles up to
  // `expectedSize` (the length written beside the data, which may be wrong:
  // it is never allocated before output reaches it), then by half of what
  // is there. Throws Error for a null source and for input that runs out
  // without an end symbol; std::bad_alloc when the output cannot grow.
  void decode(ByteBuffer* source, ByteBuffer& output, std::int64_t expectedSize = 0);
  // As decode(), with every decoded symbol taken as a move-to-front rank:
  // output holds the bytes decodeMoveToFront() would make of decode()'s
  // output, in one pass. `ranks` ends as decodeMoveToFront() leaves it.
  void decode(ByteBuffer* source, ByteBuffer& output, MoveToFrontState& ranks, std::int64_t expectedSize = 0);

  // range / total for the decoder's 32-bit range and any model total from
  // 2 up to the rescale limit, by a table of reciprocals.
  static std::uint32_t divideByTotal(std::uint32_t range, std::uint32_t total);

 private:
  // The size an output holding `written` bytes grows to next.
  static int grownOutputSize(int written, std::int64_t expectedSize);
  template <bool kMoveToFront>
  void decodeSymbols(ByteBuffer* source, ByteBuffer& output, MoveToFrontState* ranks, std::int64_t expectedSize);
  std::uint8_t inputByte();
  void start();

  std::uint32_t m_low = 0;
  std::uint32_t m_range = 0;
  std::uint8_t m_buffer = 0;
  ByteBuffer* m_source = nullptr;
};
