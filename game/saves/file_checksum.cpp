#include "game/saves/file_checksum.h"

#include <array>
#include <cstring>

#include "foundation/byte_fields.h"

namespace {

// The CRC-32 polynomial's table in most-significant-bit-first form, used
// below with a right-shifting update.
constexpr std::array<std::uint32_t, 256> makeTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i << 24;
    for (int bit = 0; bit < 8; ++bit) c = (c & 0x80000000u) ? (c << 1) ^ 0x04C11DB7u : c << 1;
    table[i] = c;
  }
  return table;
}

constexpr std::array<std::uint32_t, 256> kTable = makeTable();

}  // namespace

std::uint32_t FileChecksum(const void* data, std::size_t length) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  std::uint32_t crc = 0xFFFFFFFFu;
  if (!bytes) return ~crc;
  if (length >= 4) {
    const std::uint32_t word = FieldReader(bytes, 4).u32();
    for (std::size_t i = 0; i < length / 4; ++i) {
      crc ^= word;
      for (int step = 0; step < 4; ++step) crc = (crc >> 8) ^ kTable[crc & 0xFF];
    }
  }
  for (std::size_t k = 0; k < length % 4; ++k) crc = (crc >> 8) ^ kTable[(bytes[k] ^ crc) & 0xFF];
  return ~crc;
}
