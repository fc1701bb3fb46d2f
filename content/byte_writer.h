// Little-endian fields appended to a growing file image, shared by the
// content writers; the byte order is the foundation's field writer's.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/byte_fields.h"

namespace content_bytes {

inline void putU8(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
}
inline void putU16(std::vector<std::uint8_t>& out, std::uint32_t value) {
  const std::size_t at = out.size();
  out.resize(at + 2);
  FieldWriter(out.data() + at, 2).u16(static_cast<std::uint16_t>(value));
}
inline void putU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  const std::size_t at = out.size();
  out.resize(at + 4);
  FieldWriter(out.data() + at, 4).u32(value);
}
inline void putF32(std::vector<std::uint8_t>& out, float value) {
  const std::size_t at = out.size();
  out.resize(at + 4);
  FieldWriter(out.data() + at, 4).f32(value);
}
}  // namespace content_bytes
