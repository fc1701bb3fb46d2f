// Little-endian loads and stores over raw bytes: the one place the platform
// layer spells out the byte order of what it reads and writes (texture files
// and blocks, index buffers, sample data). foundation/byte_fields.h does the
// same for the engine's records above this layer.
#pragma once

#include <cstdint>

// `bytes` (at most 8) bytes at p, lowest first.
inline std::uint64_t loadLe(const std::uint8_t* p, int bytes) {
  std::uint64_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= static_cast<std::uint64_t>(p[i]) << (8 * i);
  return v;
}
inline std::uint16_t loadLe16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
inline std::uint32_t loadLe32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// The low `bytes` (at most 8) bytes of v at p, lowest first.
inline void storeLe(std::uint8_t* p, std::uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void storeLe16(std::uint8_t* p, std::uint16_t v) { storeLe(p, v, 2); }
inline void storeLe32(std::uint8_t* p, std::uint32_t v) { storeLe(p, v, 4); }
