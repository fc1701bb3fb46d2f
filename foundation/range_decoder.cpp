#include "foundation/range_decoder.h"

#include <climits>

void FrequencyModel::init(std::uint32_t n, std::uint32_t increment) {
  m_n = n;
  m_increment = increment;
  // One word more than the two arrays so the tree can be indexed from 1.
  m_words = std::make_unique<std::uint32_t[]>(2 * static_cast<std::size_t>(n) + 1);
  m_frequencies = m_words.get();
  m_tree = m_words.get() + n;
  for (std::uint32_t i = 0; i < n; ++i) m_frequencies[i] = increment;
  m_top = 1;
  while (m_top * 2 <= n) m_top *= 2;
  if (n == 0) m_top = 0;
  rebuild();
}

void FrequencyModel::rebuild() {
  m_total = 0;
  for (std::uint32_t step = 1; step <= m_n; step *= 2) {
    for (std::uint32_t i = step; i <= m_n; i += 2 * step) {
      m_tree[i] = m_frequencies[i - 1];
      m_total += m_frequencies[i - 1];
      for (std::uint32_t s = step / 2; s >= 1; s /= 2) m_tree[i] += m_tree[i - s];
    }
  }
}

std::uint32_t FrequencyModel::cumulative(std::uint32_t s) const {
  std::uint32_t sum = m_tree[s + 1] - m_frequencies[s];
  for (std::uint32_t k = (s + 1) & s; k > 0; k &= k - 1) sum += m_tree[k];
  return sum;
}

void FrequencyModel::halve() {
  for (std::uint32_t i = 0; i < m_n; ++i) m_frequencies[i] = (m_frequencies[i] + 1) / 2;
  rebuild();
}

inline std::uint8_t RangeDecoder::inputByte() {
  ByteBuffer& source = *m_source;
  const int position = source.position;
  if (position < source.size()) {
    source.position = position + 1;
    return source.data()[position];
  }
  if (position - source.size() >= kMaxPaddingBytes) throw Error();
  source.position = position + 1;
  return 0xFF;
}

void RangeDecoder::start() {
  inputByte();  // header byte, not part of the code
  m_buffer = inputByte();
  m_low = m_buffer >> 1;
  m_range = 1u << 7;
}

inline void RangeDecoder::normalise() {
  while (m_range <= 0x800000u) {
    m_low = ((m_low << 1) | (m_buffer & 1u)) << 7;
    m_buffer = inputByte();
    m_low |= m_buffer >> 1;
    m_range <<= 8;
  }
}

void RangeDecoder::decode(ByteBuffer* source, ByteBuffer& output) {
  if (!source) throw Error();
  FrequencyModel model;
  model.init(kEndSymbol + 1, 1);
  m_source = source;
  source->position = 0;
  start();

  int written = 0;
  int limit = output.size();
  std::uint8_t* out = output.data();
  for (;;) {
    normalise();
    const std::uint32_t total = model.total();
    m_help = m_range / total;
    std::uint32_t target = m_low / m_help;
    if (target >= total) target = total - 1;
    std::uint32_t below = 0;
    const std::uint32_t symbol = model.find(target, below);
    if (symbol == kEndSymbol) break;

    if (written == limit) {
      if (written == INT_MAX) throw Error();
      output.resize(written + 1);
      // Claim the whole allocation at once so the next bytes need no resize.
      limit = output.capacity();
      output.resize(limit);
      out = output.data();
    }
    out[written++] = static_cast<std::uint8_t>(symbol);

    const std::uint32_t frequency = model.frequency(symbol);
    m_low -= m_help * below;
    m_range = below + frequency < total ? m_help * frequency : m_range - m_help * below;
    model.update(symbol);
  }
  output.resize(written);
  output.position = 0;
}
