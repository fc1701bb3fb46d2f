#include "content/range_encoder.h"

#include "foundation/range_decoder.h"

// The decoder skips the stream's first byte and starts its window there, so
// the first pending byte is that header byte (0); no carry can reach it
// because the code never leaves the initial interval [0, 2^31).
RangeEncoder::RangeEncoder() = default;

void RangeEncoder::shiftLow() {
  if (m_low < (0xFFull << 23) || m_low >= (1ull << 31)) {
    const std::uint8_t carry = static_cast<std::uint8_t>(m_low >> 31);
    std::uint8_t pending = m_cache;
    do {
      m_out.push_back(static_cast<std::uint8_t>(pending + carry));
      pending = 0xFF;
    } while (--m_cacheSize != 0);
    m_cache = static_cast<std::uint8_t>(m_low >> 23);
  }
  ++m_cacheSize;
  m_low = (m_low & 0x7FFFFFull) << 8;
}

void RangeEncoder::encode(std::uint32_t below, std::uint32_t frequency, std::uint32_t total) {
  while (m_range <= 0x800000u) {
    shiftLow();
    m_range <<= 8;
  }
  const std::uint32_t help = m_range / total;
  m_low += static_cast<std::uint64_t>(help) * below;
  m_range = below + frequency < total ? help * frequency : m_range - help * below;
}

std::vector<std::uint8_t> RangeEncoder::finish() {
  // Four bytes carry the 31-bit window (and one more bit of zero); the fifth
  // shift pushes the last of them out of the cache.
  for (int i = 0; i < 5; ++i) shiftLow();
  return std::move(m_out);
}

std::vector<std::uint8_t> RangeEncoder::encodeBytes(const std::uint8_t* data, std::size_t size) {
  FrequencyModel model;
  model.init(RangeDecoder::kEndSymbol + 1, 1);
  RangeEncoder encoder;
  for (std::size_t i = 0; i < size; ++i) {
    const std::uint32_t symbol = data[i];
    encoder.encode(model.cumulative(symbol), model.frequency(symbol), model.total());
    model.update(symbol);
  }
  const std::uint32_t end = RangeDecoder::kEndSymbol;
  encoder.encode(model.cumulative(end), model.frequency(end), model.total());
  return encoder.finish();
}
