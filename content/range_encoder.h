// The range encoder that packs archive entries for RangeDecoder: the same
// adaptive 257-symbol model, the same 31-bit code window, with carries
// propagated through pending 0xFF bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class RangeEncoder {
 public:
  RangeEncoder();

  // Codes one symbol given its cumulative frequency, frequency and the
  // model's total.
  void encode(std::uint32_t below, std::uint32_t frequency, std::uint32_t total);
  // Writes out every pending bit, so the decoder reads the stream to its last
  // byte and never needs padding. Returns the finished stream.
  std::vector<std::uint8_t> finish();

  // The whole stage: every byte through the adaptive model, then the end
  // symbol, flushed.
  static std::vector<std::uint8_t> encodeBytes(const std::uint8_t* data, std::size_t size);

 private:
  void shiftLow();

  std::uint64_t m_low = 0;  // 31-bit window; bit 31 is a carry into the bytes written
  std::uint32_t m_range = 0x80000000u;
  std::uint8_t m_cache = 0;       // the newest byte not yet written
  std::uint64_t m_cacheSize = 1;  // it plus the 0xFF bytes behind it that a carry would change
  std::vector<std::uint8_t> m_out;
};
