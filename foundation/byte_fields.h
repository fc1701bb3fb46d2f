// Little-endian field access over a fixed byte record, so that stored and
// replicated records are laid out field by field at their offsets whatever
// the compiler does with the structs that hold them in memory. The one
// place the project spells out its byte order: readers and writers of every
// little-endian format go through these two.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

class FieldWriter {
 public:
  FieldWriter(std::uint8_t* bytes, std::size_t size) : m_bytes(bytes), m_size(size) {}

  void u16(std::uint16_t v) {
    std::uint8_t b[2] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
    raw(b, 2);
  }
  void u32(std::uint32_t v) {
    std::uint8_t b[4] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                         static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
    raw(b, 4);
  }
  void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
  void f32(float v) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, 4);
    u32(bits);
  }
  void u8(std::uint8_t v) { raw(&v, 1); }
  void raw(const void* data, std::size_t count) {
    if (m_offset + count > m_size) {
      m_overflow = true;
      return;
    }
    std::memcpy(m_bytes + m_offset, data, count);
    m_offset += count;
  }
  std::size_t offset() const { return m_offset; }
  bool overflowed() const { return m_overflow; }

 private:
  std::uint8_t* m_bytes;
  std::size_t m_size;
  std::size_t m_offset = 0;
  bool m_overflow = false;
};

class FieldReader {
 public:
  FieldReader(const std::uint8_t* bytes, std::size_t size) : m_bytes(bytes), m_size(size) {}

  std::uint16_t u16() {
    std::uint8_t b[2] = {};
    raw(b, 2);
    return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
  }
  std::uint32_t u32() {
    std::uint8_t b[4] = {};
    raw(b, 4);
    return std::uint32_t{b[0]} | (std::uint32_t{b[1]} << 8) | (std::uint32_t{b[2]} << 16) | (std::uint32_t{b[3]} << 24);
  }
  std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
  float f32() {
    const std::uint32_t bits = u32();
    float v;
    std::memcpy(&v, &bits, 4);
    return v;
  }
  std::uint8_t u8() {
    std::uint8_t v = 0;
    raw(&v, 1);
    return v;
  }
  // Steps over fields nobody reads; past the end the reader marks itself
  // and stays where it was, as raw does.
  void skip(std::size_t count) {
    if (m_offset + count > m_size) {
      m_overflow = true;
      return;
    }
    m_offset += count;
  }
  // Past the end the destination is zero-filled and the reader marks itself.
  void raw(void* data, std::size_t count) {
    if (m_offset + count > m_size) {
      std::memset(data, 0, count);
      m_overflow = true;
      return;
    }
    std::memcpy(data, m_bytes + m_offset, count);
    m_offset += count;
  }
  std::size_t offset() const { return m_offset; }
  bool overflowed() const { return m_overflow; }

 private:
  const std::uint8_t* m_bytes;
  std::size_t m_size;
  std::size_t m_offset = 0;
  bool m_overflow = false;
};
