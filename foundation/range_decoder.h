// The first decoding stage of packed archive entries: an order-0 adaptive
// range decoder (carry-less, 32-bit code with 7 extra bits) driven by an
// adaptive frequency table over the 256 byte values and an end symbol.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>

#include "foundation/byte_buffer.h"

// Adaptive order-0 frequencies kept in a Fenwick tree, so that finding a
// symbol, its cumulative frequency and updating it are logarithmic. When the
// total reaches 16384 every frequency is halved (rounding up, so none
// becomes 0), which keeps the total small enough for 32-bit range coding.
//
// After move-to-front most symbols are 0 or 1. Their frequencies are kept
// exact, but their increments reach the tree only at the next rebuild: until
// then every tree sum for the symbols above them lacks the same `pending`
// amount, which find() and cumulative() add back. Updating them is then
// constant time instead of a walk up the tree.
class FrequencyModel {
 public:
  static constexpr std::uint32_t kRescaleTotal = 0x4000;
  static constexpr std::uint32_t kLazySymbols = 2;

  // n symbols, each starting at `increment`, which is also the step of update().
  void init(std::uint32_t n, std::uint32_t increment);
  void rebuild();

  // The symbol s with cumulative(s) <= target < cumulative(s) + frequency(s).
  std::uint32_t find(std::uint32_t target) const {
    std::uint32_t below = 0;
    return find(target, below);
  }
  // As find(); `below` receives cumulative() of the symbol found.
  std::uint32_t find(std::uint32_t target, std::uint32_t& below) const {
    const std::uint32_t first = m_frequencies[0];
    if (target < first) {
      below = 0;
      return 0;
    }
    if (target < first + m_frequencies[1]) {
      below = first;
      return 1;
    }
    return findInTree(target, below);
  }
  // find() for a target at or above cumulative(2).
  std::uint32_t findInTree(std::uint32_t target, std::uint32_t& below) const {
    target -= m_pending;
    const std::uint32_t start = target;
    std::uint32_t pos = 0;
    // Tree slots past n hold a value no target reaches, so the walk needs
    // no bounds test.
    for (std::uint32_t bit = m_top; bit != 0; bit >>= 1) {
      const std::uint32_t sum = m_tree[pos | bit];
      if (target >= sum) {
        target -= sum;
        pos |= bit;
      }
    }
    below = start - target + m_pending;
    return pos;
  }
  // Sum of the frequencies of the symbols below s.
  std::uint32_t cumulative(std::uint32_t s) const;
  std::uint32_t frequency(std::uint32_t s) const { return m_frequencies[s]; }
  void update(std::uint32_t s) {
    m_frequencies[s] += m_increment;
    if (s < kLazySymbols) {
      m_pending += m_increment;
    } else {
      for (std::uint32_t i = s + 1; i <= m_n; i += i & (0u - i)) m_tree[i] += m_increment;
    }
    m_total += m_increment;
    if (m_total >= kRescaleTotal) halve();
  }

  std::uint32_t total() const { return m_total; }
  std::uint32_t symbols() const { return m_n; }

 private:
  void halve();

  std::uint32_t m_n = 0;
  std::uint32_t m_increment = 1;
  std::uint32_t m_top = 0;
  std::uint32_t m_total = 0;
  std::uint32_t m_pending = 0;    // increments of the lazy symbols not yet in the tree
  std::uint32_t m_treeSlots = 0;  // 2 * top: the search reads up to slot 2 * top - 1
  // One allocation: n frequencies, then the tree, padded to 2 * top slots.
  std::unique_ptr<std::uint32_t[]> m_words;
  std::uint32_t* m_frequencies = nullptr;
  std::uint32_t* m_tree = nullptr;  // indexed 1..n
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
  // the caller may have sized to the expected length; output grows past it
  // as needed and ends at the decoded length with position 0. Throws Error
  // for a null source and for input that runs out without an end symbol.
  void decode(ByteBuffer* source, ByteBuffer& output);

 private:
  std::uint8_t inputByte();
  void start();

  std::uint32_t m_low = 0;
  std::uint32_t m_range = 0;
  std::uint8_t m_buffer = 0;
  ByteBuffer* m_source = nullptr;
};
