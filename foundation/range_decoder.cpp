#include "foundation/range_decoder.h"

#include <algorithm>
#include <climits>

namespace {

// Tree slots past n: above any target, so the search needs no bounds test.
constexpr std::uint32_t kPadding = 0xFFFFFFFFu;

}  // namespace

void FrequencyModel::init(std::uint32_t n, std::uint32_t increment) {
  m_n = n;
  m_increment = increment;
  m_top = 1;
  while (m_top * 2 <= n) m_top *= 2;
  if (n == 0) m_top = 0;
  // The tree is indexed 1..n; the search reaches up to 2 * top - 1.
  m_treeSlots = std::max(2 * m_top, n + 1);
  m_words = std::make_unique<std::uint32_t[]>(n + m_treeSlots);
  m_frequencies = m_words.get();
  m_tree = m_words.get() + n;
  for (std::uint32_t i = 0; i < n; ++i) m_frequencies[i] = increment;
  rebuild();
}

void FrequencyModel::rebuild() {
  m_total = 0;
  m_pending = 0;
  for (std::uint32_t step = 1; step <= m_n; step *= 2) {
    for (std::uint32_t i = step; i <= m_n; i += 2 * step) {
      m_tree[i] = m_frequencies[i - 1];
      m_total += m_frequencies[i - 1];
      for (std::uint32_t s = step / 2; s >= 1; s /= 2) m_tree[i] += m_tree[i - s];
    }
  }
  for (std::uint32_t i = m_n + 1; i < m_treeSlots; ++i) m_tree[i] = kPadding;
}

std::uint32_t FrequencyModel::cumulative(std::uint32_t s) const {
  if (s == 0) return 0;
  if (s == 1) return m_frequencies[0];
  // The tree's own frequency of s is exact: s is not a lazy symbol.
  std::uint32_t sum = m_tree[s + 1] - m_frequencies[s];
  for (std::uint32_t k = (s + 1) & s; k > 0; k &= k - 1) sum += m_tree[k];
  return sum + m_pending;
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

void RangeDecoder::decode(ByteBuffer* source, ByteBuffer& output) {
  if (!source) throw Error();
  FrequencyModel model;
  model.init(kEndSymbol + 1, 1);
  m_source = source;
  source->position = 0;
  start();

  // The loop keeps the coder's state in locals: the output is written
  // through a byte pointer, which could alias members and would force them
  // through memory on every symbol.
  std::uint32_t low = m_low;
  std::uint32_t range = m_range;
  std::uint32_t buffer = m_buffer;
  const std::uint8_t* in = source->data();
  const int inSize = source->size();
  int inPosition = source->position;
  int written = 0;
  int limit = output.size();
  std::uint8_t* out = output.data();
  for (;;) {
    while (range <= 0x800000u) {
      low = ((low << 1) | (buffer & 1u)) << 7;
      if (inPosition < inSize) {
        buffer = in[inPosition];
      } else {
        if (inPosition - inSize >= kMaxPaddingBytes) throw Error();
        buffer = 0xFF;
      }
      ++inPosition;
      low |= buffer >> 1;
      range <<= 8;
    }
    const std::uint32_t total = model.total();
    const std::uint32_t help = range / total;
    // After move-to-front most symbols are 0 or 1. Their intervals are
    // tested directly (low / help < f  exactly when  low < help * f), which
    // spares the second division and the tree walk.
    std::uint32_t symbol;
    std::uint32_t below;
    const std::uint32_t first = model.frequency(0);
    if (low < help * first) {
      symbol = 0;
      below = 0;
    } else if (low < help * (first + model.frequency(1))) {
      symbol = 1;
      below = first;
    } else {
      std::uint32_t target = low / help;
      if (target >= total) target = total - 1;
      symbol = model.findInTree(target, below);
      if (symbol == kEndSymbol) break;
    }

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
    low -= help * below;
    range = below + frequency < total ? help * frequency : range - help * below;
    model.update(symbol);
  }
  m_low = low;
  m_range = range;
  m_buffer = static_cast<std::uint8_t>(buffer);
  source->position = inPosition;
  output.resize(written);
  output.position = 0;
}
