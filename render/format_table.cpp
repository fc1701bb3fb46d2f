// The format table and the scoring of format requests.
#include "render/format_table.h"

#include <algorithm>
#include <climits>

#include "foundation/report.h"

namespace {

constexpr std::uint32_t S(std::uint32_t bits) { return channelWord(bits, 0, kChannelSigned); }
constexpr std::uint32_t F(std::uint32_t bits) { return channelWord(bits, 0, kChannelFloat); }

constexpr FormatDesc kTable[] = {
    {20, "R8G8B8", 0, 8, 8, 8, 24, 0x0},
    {21, "A8R8G8B8", 8, 8, 8, 8, 32, 0x1},
    {22, "X8R8G8B8", 0, 8, 8, 8, 32, 0x1},
    {23, "R5G6B5", 0, 5, 6, 5, 16, 0x1},
    {24, "X1R5G5B5", 0, 5, 5, 5, 16, 0x1},
    {25, "A1R5G5B5", 1, 5, 5, 5, 16, 0x1},
    {26, "A4R4G4B4", 4, 4, 4, 4, 16, 0x0},
    {27, "R3G3B2", 0, 3, 3, 2, 8, 0x0},
    {28, "A8", 8, 0, 0, 0, 8, 0x0},
    {29, "A8R3G3B2", 8, 3, 3, 2, 16, 0x0},
    {30, "X4R4G4B4", 0, 4, 4, 4, 16, 0x0},
    {31, "A2B10G10R10", 2, 10, 10, 10, 32, 0x10},
    {32, "A8B8G8R8", 8, 8, 8, 8, 32, 0x10},
    {33, "X8B8G8R8", 0, 8, 8, 8, 32, 0x10},
    {34, "G16R16", 0, 16, 16, 0, 32, 0x10},
    {35, "A2R10G10B10", 2, 10, 10, 10, 32, 0x1},
    {36, "A16B16G16R16", 16, 16, 16, 16, 64, 0x10},
    {40, "A8P8", 8, 8, 8, 8, 16, 0xA0},
    {41, "P8", 0, 8, 8, 8, 8, 0xA0},
    {50, "L8", 0, 8, 0, 0, 8, 0x0},
    {51, "A8L8", 8, 8, 0, 0, 16, 0x0},
    {52, "A4L4", 4, 4, 0, 0, 8, 0x0},
    {60, "V8U8", 0, 0, S(8), S(8), 16, 0x0},
    {61, "L6V5U5", 0, 6, S(5), S(5), 16, 0x0},
    {62, "X8L8V8U8", 0, 8, S(8), S(8), 32, 0x0},
    {63, "Q8W8V8U8", S(8), S(8), S(8), S(8), 32, 0x0},
    {64, "V16U16", 0, 0, S(16), S(16), 32, 0x0},
    {67, "A2W10V10U10", 2, S(10), S(10), S(10), 32, 0x0},
    {0x59565955, "UYVY", 0, 8, 8, 8, 16, 0x220},
    {0x47424752, "R8G8_B8G8", 0, 8, 8, 8, 16, 0x420},
    {0x32595559, "YUY2", 0, 8, 8, 8, 16, 0x220},
    {0x42475247, "G8R8_G8B8", 0, 8, 8, 8, 16, 0x420},
    {0x32315659, "YV12", 0, 8, 8, 8, 12, 0x220},
    {0x31545844, "DXT1", 1, 5, 6, 5, 4, 0x20},
    {0x32545844, "DXT2", 4, 5, 6, 5, 8, 0x820},
    {0x33545844, "DXT3", 4, 5, 6, 5, 8, 0x20},
    {0x34545844, "DXT4", 8, 5, 6, 5, 8, 0x860},
    {0x35545844, "DXT5", 8, 5, 6, 5, 8, 0x60},
    {70, "D16_LOCKABLE", 0, 16, 0, 0, 16, 0x2},
    {71, "D32", 0, 32, 0, 0, 32, 0x6},
    {73, "D15S1", 1, 15, 0, 0, 16, 0x6},
    {75, "D24S8", 8, 24, 0, 0, 32, 0x6},
    {77, "D24X8", 0, 24, 0, 0, 32, 0x6},
    {79, "D24X4S4", 4, 24, 0, 0, 32, 0x6},
    {80, "D16", 0, 16, 0, 0, 16, 0x6},
    {82, "D32F_LOCKABLE", 0, F(32), 0, 0, 32, 0x2},
    {83, "D24FS8", 8, F(24), 0, 0, 32, 0x6},
    {81, "L16", 0, 16, 0, 0, 16, 0x0},
    {110, "Q16W16V16U16", S(16), S(16), S(16), S(16), 64, 0x0},
    {0x3154454D, "MULTI2_ARGB8", 0x208, 0x208, 0, 0, 64, 0xC},
    {0x3045564E, "MET_4_4_4_4_NV", 0x208, 0x208, 0x208, 0x208, 128, 0xC},
    {0x3145564E, "MET_4_4_4_2_NV", 0x208, 0x208, 0x208, 0x20110, 128, 0xC},
    {0x3245564E, "MET_4_4_4_1_NV", 0x208, 0x208, 0x208, 0x20020, 128, 0xC},
    {0x3345564E, "MET_4_4_2_2_NV", 0x208, 0x208, 0x20110, 0x20110, 128, 0xC},
    {0x3445564E, "MET_4_4_2_1_NV", 0x208, 0x208, 0x20110, 0x20020, 128, 0xC},
    {0x3545564E, "MET_4_4_1_1_NV", 0x208, 0x208, 0x20020, 0x20020, 128, 0xC},
    {0x3645564E, "MET_4_2_2_2_NV", 0x208, 0x20110, 0x20110, 0x20110, 128, 0xC},
    {0x3745564E, "MET_4_2_2_1_NV", 0x208, 0x20110, 0x20110, 0x20020, 128, 0xC},
    {0x3845564E, "MET_4_2_1_1_NV", 0x208, 0x20110, 0x20020, 0x20020, 128, 0xC},
    {0x3945564E, "MET_4_1_1_1_NV", 0x208, 0x20020, 0x20020, 0x20020, 128, 0xC},
    {0x6145564E, "MET_2_2_2_2_NV", 0x20110, 0x20110, 0x20110, 0x20110, 128, 0xC},
    {0x6245564E, "MET_2_2_2_1_NV", 0x20110, 0x20110, 0x20110, 0x20020, 128, 0xC},
    {0x6345564E, "MET_2_2_1_1_NV", 0x20110, 0x20110, 0x20020, 0x20020, 128, 0xC},
    {0x6445564E, "MET_2_1_1_1_NV", 0x20110, 0x20020, 0x20020, 0x20020, 128, 0xC},
    {0x6545564E, "MET_1_1_1_1_NV", 0x20020, 0x20020, 0x20020, 0x20020, 128, 0xC},
    {111, "R16F", 0, F(16), 0, 0, 16, 0x10},
    {112, "G16R16F", 0, F(16), F(16), 0, 32, 0x10},
    {113, "A16B16G16R16F", F(16), F(16), F(16), F(16), 64, 0x10},
    {114, "R32F", 0, F(32), 0, 0, 32, 0x10},
    {115, "G32R32F", 0, F(32), F(32), 0, 64, 0x10},
    {116, "A32B32G32R32F", F(32), F(32), F(32), F(32), 128, 0x10},
    {117, "CxV8U8", 0, S(8), S(8), S(8), 16, 0x120},
};
static_assert(sizeof kTable / sizeof kTable[0] == 72);

std::uint32_t typeOf(std::uint32_t word) { return word >> 16; }
std::uint32_t exponentOf(std::uint32_t word) { return (word >> 8) & 0xFF; }
std::uint32_t bitsOf(std::uint32_t word) { return word & 0xFF; }

bool withinLimits(std::uint32_t row, std::uint32_t minimum, std::uint32_t maximum) {
  return typeOf(row) >= typeOf(minimum) && typeOf(row) <= typeOf(maximum) && exponentOf(row) >= exponentOf(minimum) &&
         exponentOf(row) <= exponentOf(maximum) && bitsOf(row) >= bitsOf(minimum) && bitsOf(row) <= bitsOf(maximum);
}

}  // namespace

std::span<const FormatDesc> formatTable() { return kTable; }

const FormatDesc* findFormat(D3DFORMAT format) {
  for (const FormatDesc& row : kTable)
    if (row.format == format) return &row;
  return nullptr;
}

int FormatRequest::score(const FormatDesc& row) const {
  if ((row.flags & requiredFlags) != requiredFlags) return -1;
  if ((row.flags & ~allowedFlags) != 0) return -1;

  const std::uint32_t rows[4] = {row.alpha, row.red, row.green, row.blue};
  const std::uint32_t mins[4] = {minAlpha, minRed, minGreen, minBlue};
  const std::uint32_t desired[4] = {desiredAlpha, desiredRed, desiredGreen, desiredBlue};
  const std::uint32_t maxs[4] = {maxAlpha, maxRed, maxGreen, maxBlue};
  for (int c = 0; c < 4; ++c)
    if (!withinLimits(rows[c], mins[c], maxs[c])) return -1;

  // Wide integers: a request may desire more than any row offers, and the
  // preference bits multiply the score by up to 4096.
  std::int64_t base = 0;
  for (int c = 0; c < 4; ++c)
    base += std::int64_t{std::min(bitsOf(rows[c]), bitsOf(desired[c]))}
            << std::min(exponentOf(rows[c]), exponentOf(desired[c]));
  std::int64_t s = base * 8;
  for (int c = 0; c < 4; ++c)
    if ((typeOf(rows[c]) == kChannelFloat) == (typeOf(desired[c]) == kChannelFloat)) ++s;
  s *= 8;
  for (int c = 0; c < 4; ++c)
    if ((typeOf(rows[c]) == kChannelSigned) == (typeOf(desired[c]) == kChannelSigned)) ++s;
  s = (s + 1) * 32 - row.bits / 4;

  ENGINE_ASSERT(preferredFlags.size() <= 12 && "duplicated preference flags?");
  const std::size_t count = std::min(preferredFlags.size(), kMaxPreferredFlags);
  for (std::size_t i = 0; i < count; ++i) {
    const int entry = preferredFlags[i];
    bool match = false;
    if (entry >= 0) {
      const auto want = static_cast<std::uint32_t>(entry);
      match = (row.flags & want) == want;
    } else {
      const auto avoided = ~static_cast<std::uint32_t>(entry);
      match = (row.flags & avoided) != avoided;
    }
    s = s * 2 + (match ? 1 : 0);
  }
  return static_cast<int>(std::min<std::int64_t>(s, INT_MAX));
}

const FormatDesc* FormatRequest::choose(std::span<const FormatDesc* const> rows) const {
  const FormatDesc* best = nullptr;
  int bestScore = -1;
  for (const FormatDesc* row : rows) {
    if (!row) continue;
    const int s = score(*row);
    if (s > bestScore) {
      best = row;
      bestScore = s;
    }
  }
  return best;
}

void FormatRequest::avoid(std::uint32_t mask) {
  allowedFlags |= mask;
  preferredFlags.push_back(static_cast<int>(~mask));
}
