// Little-endian field writers shared by the picture writers.
#pragma once

#include <cstdint>
#include <vector>

namespace content_bytes {

inline void putU8(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
}
inline void putU16(std::vector<std::uint8_t>& out, std::uint32_t value) {
  putU8(out, value);
  putU8(out, value >> 8);
}
inline void putU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  putU16(out, value);
  putU16(out, value >> 16);
}

}  // namespace content_bytes
