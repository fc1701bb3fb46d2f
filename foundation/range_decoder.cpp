#include "foundation/range_decoder.h"

#include <algorithm>
#include <climits>

namespace {

// Every symbol needs range / total, and a hardware division sits on the
// chain from one symbol to the next. The total only ever takes values below
// the rescale limit, so it is replaced by a multiplication with a 64-bit
// reciprocal m = floor(2^64 / d) + 1: (x * m) >> 64 is x / d plus an error
// below x / 2^64, that is below 2^-32, while x / d stays at least 1 / d
// short of the next integer, so the quotient is exact for every 32-bit x.
struct Reciprocals {
  std::uint64_t values[FrequencyModel::kRescaleTotal] = {};
  constexpr Reciprocals() {
    // d = 0 and 1 have no 64-bit reciprocal; no model total is that small.
    for (std::uint64_t d = 2; d < FrequencyModel::kRescaleTotal; ++d) values[d] = ~std::uint64_t{0} / d + 1;
  }
};
constexpr Reciprocals kReciprocals;

inline std::uint32_t divide(std::uint32_t x, std::uint32_t total) {
  return static_cast<std::uint32_t>((static_cast<unsigned __int128>(x) * kReciprocals.values[total]) >> 64);
}

}  // namespace

void FrequencyModel::init(std::uint32_t n, std::uint32_t increment) {
  // The search always ends on a symbol, so there is at least one.
  n = std::max<std::uint32_t>(n, 1);
  m_n = n;
  m_increment = increment;
  m_groups = (n + kGroupSize - 1) / kGroupSize;
  m_lastGroup = m_groups - 1;
  m_words = std::make_unique<std::uint32_t[]>(n + m_groups);
  m_frequencies = m_words.get();
  m_groupSums = m_words.get() + n;
  for (std::uint32_t i = 0; i < n; ++i) m_frequencies[i] = increment;
  rebuild();
}

void FrequencyModel::rebuild() {
  m_total = 0;
  for (std::uint32_t g = 0; g < m_groups; ++g) m_groupSums[g] = 0;
  for (std::uint32_t s = 0; s < m_n; ++s) {
    m_groupSums[s >> kGroupShift] += m_frequencies[s];
    m_total += m_frequencies[s];
  }
}

std::uint32_t FrequencyModel::cumulative(std::uint32_t s) const {
  std::uint32_t sum = 0;
  const std::uint32_t group = s >> kGroupShift;
  for (std::uint32_t g = 0; g < group; ++g) sum += m_groupSums[g];
  for (std::uint32_t k = group << kGroupShift; k < s; ++k) sum += m_frequencies[k];
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

std::uint32_t RangeDecoder::divideByTotal(std::uint32_t range, std::uint32_t total) { return divide(range, total); }

void RangeDecoder::decode(ByteBuffer* source, ByteBuffer& output, std::int64_t expectedSize) {
  decodeSymbols<false>(source, output, nullptr, expectedSize);
}

void RangeDecoder::decode(ByteBuffer* source, ByteBuffer& output, MoveToFrontState& ranks, std::int64_t expectedSize) {
  decodeSymbols<true>(source, output, &ranks, expectedSize);
}

int RangeDecoder::grownOutputSize(int written, std::int64_t expectedSize) {
  // Geometric steps keep the copying linear in the output, however far the
  // first allocation fell short; the expected size caps the doubling so an
  // honest entry ends with exactly its size allocated.
  constexpr std::int64_t kMinStep = 4096;
  const std::int64_t size = written;
  const std::int64_t grown = size < expectedSize ? std::min(expectedSize, std::max(2 * size, size + kMinStep))
                                                 : std::max(size + size / 2, size + kMinStep);
  return static_cast<int>(std::min<std::int64_t>(grown, INT_MAX));
}

template <bool kMoveToFront>
void RangeDecoder::decodeSymbols(ByteBuffer* source, ByteBuffer& output, MoveToFrontState* ranks,
                                 std::int64_t expectedSize) {
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
  // The move-to-front table is copied to the stack for the same reason.
  MoveToFrontTable table;
  if constexpr (kMoveToFront) table.reset();
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
    const std::uint32_t help = divide(range, total);
    // The search compares the code with help times each cumulative
    // frequency instead of dividing it by help; the last symbol takes the
    // rounding remainder at the top of the range.
    std::uint32_t below;
    const std::uint32_t symbol = model.findScaled(low, help, below);
    if (symbol == kEndSymbol) break;

    if (written == limit) {
      if (written == INT_MAX) throw Error();
      output.resize(grownOutputSize(written, expectedSize));
      // Claim the whole allocation at once so the next bytes need no resize.
      limit = output.capacity();
      output.resize(limit);
      out = output.data();
    }
    if constexpr (kMoveToFront) {
      out[written++] = table.take(symbol);
    } else {
      out[written++] = static_cast<std::uint8_t>(symbol);
    }

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
  if constexpr (kMoveToFront) table.store(*ranks);
}
