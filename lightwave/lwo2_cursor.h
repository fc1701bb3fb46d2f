// A bounded big-endian reader over bytes of an object file. Reading past
// its end yields zeros and marks the cursor overrun; nothing is ever read
// outside the bytes it was given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

class Lwo2Cursor {
 public:
  // Strings longer than this (terminator and pad included) are cut.
  static constexpr std::size_t kMaxString = 1000;

  Lwo2Cursor(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

  std::size_t position() const { return m_pos; }
  std::size_t size() const { return m_size; }
  std::size_t remaining() const { return m_size - m_pos; }
  bool atEnd() const { return m_pos >= m_size; }
  bool overrun() const { return m_overrun; }
  bool cutString() const { return m_cutString; }

  void seek(std::size_t position) { m_pos = position < m_size ? position : m_size; }
  void skip(std::size_t count) {
    if (count > remaining()) m_overrun = true;
    m_pos += count < remaining() ? count : remaining();
  }
  // The next `count` bytes (fewer at the end) as a cursor of their own;
  // this one moves past them.
  Lwo2Cursor take(std::size_t count) {
    if (count > remaining()) {
      m_overrun = true;
      count = remaining();
    }
    Lwo2Cursor part(m_data + m_pos, count);
    m_pos += count;
    return part;
  }

  std::uint8_t u1() {
    if (atEnd()) {
      m_overrun = true;
      return 0;
    }
    return m_data[m_pos++];
  }
  std::uint16_t u2() {
    const std::uint16_t hi = u1();
    return static_cast<std::uint16_t>(hi << 8 | u1());
  }
  std::uint32_t u4() {
    const std::uint32_t hi = u2();
    return hi << 16 | u2();
  }
  float f4() {
    const std::uint32_t bits = u4();
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
  // Four raw bytes in file order, as the tag constants are made.
  std::uint32_t id4() {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= std::uint32_t{u1()} << (8 * i);
    return value;
  }
  // A point or polygon index: two bytes, or four when the first is 0xFF.
  std::uint32_t vx() {
    const std::uint16_t first = u2();
    if ((first >> 8) != 0xFF) return first;
    return std::uint32_t{first & 0xFFu} << 16 | u2();
  }
  // A NUL-terminated string padded to an even length. The bytes consumed
  // go to `consumed` when asked.
  std::string s0(std::size_t* consumed = nullptr) {
    const std::size_t start = m_pos;
    std::string text;
    bool ended = false;
    // Pairs until the second byte of one is NUL; the text ends at the
    // first NUL.
    while (!atEnd()) {
      const char pair[2] = {static_cast<char>(u1()), static_cast<char>(u1())};
      for (char c : pair) {
        if (c == '\0')
          ended = true;
        else if (!ended)
          text.push_back(c);
      }
      if (pair[1] == '\0') break;
    }
    if (text.size() >= kMaxString) {
      text.resize(kMaxString - 1);
      m_cutString = true;
    }
    if (consumed) *consumed = m_pos - start;
    return text;
  }

 private:
  const std::uint8_t* m_data;
  std::size_t m_size;
  std::size_t m_pos = 0;
  bool m_overrun = false;
  bool m_cutString = false;
};
