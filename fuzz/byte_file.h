// A read-only File over the fuzzer's bytes: every name opens them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "foundation/file.h"

class FuzzByteFile : public File {
 public:
  FuzzByteFile(const std::uint8_t* data, std::size_t size)
      : m_data(data), m_length(static_cast<int>(std::min<std::size_t>(size, 0x7FFFFFFF))) {}

  File* clone() const override { return new FuzzByteFile(m_data, static_cast<std::size_t>(m_length)); }
  bool exists(const char*) override { return true; }
  bool open(const char*) override {
    if (m_open) return false;
    m_open = true;
    m_position = 0;
    m_size = m_length;
    return true;
  }
  bool create(const char*) override { return false; }
  bool close() override {
    if (!m_open) return false;
    m_open = false;
    m_size = 0;
    return true;
  }
  int read(void* buffer, int count) override {
    if (!m_open || count <= 0) return 0;
    const int n = std::min(count, m_length - m_position);
    if (n <= 0) return 0;
    std::memcpy(buffer, m_data + m_position, static_cast<std::size_t>(n));
    m_position += n;
    return n;
  }
  int write(const void*, int) override { return 0; }
  bool seek(int position) override {
    if (!m_open || position < 0) return false;
    m_position = std::min(position, m_length);
    return true;
  }
  bool skip(int delta) override {
    return m_open &&
           seek(static_cast<int>(std::clamp<long long>(static_cast<long long>(m_position) + delta, -1, m_length)));
  }
  int tell() override { return m_position; }

 private:
  const std::uint8_t* m_data;
  int m_length;
  int m_position = 0;
  bool m_open = false;
};
