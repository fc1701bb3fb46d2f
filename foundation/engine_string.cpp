#include "foundation/engine_string.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

int growCapacity(int length, int capacity, int requested) {
  const int step = std::clamp(length / 8, 4, 65536);
  const long long grown = static_cast<long long>(capacity) + step;
  return requested >= grown ? requested : static_cast<int>(grown);
}

EngineString::EngineString() {
  resize(1);
  m_data[0] = '\0';
}

EngineString::EngineString(const char* text) {
  text = text ? text : "";
  const int n = static_cast<int>(std::strlen(text)) + 1;
  resize(n);
  std::memcpy(m_data.get(), text, n);
}

EngineString::EngineString(const EngineString& other) { *this = other; }

EngineString::EngineString(EngineString&& other) noexcept
    : m_length(other.m_length), m_capacity(other.m_capacity), m_data(std::move(other.m_data)) {
  other.m_length = other.m_capacity = 0;
}

EngineString& EngineString::operator=(const EngineString& other) {
  if (this == &other) return *this;
  resize(other.m_length);
  if (other.m_length > 0) std::memcpy(m_data.get(), other.m_data.get(), other.m_length);
  return *this;
}

EngineString& EngineString::operator=(EngineString&& other) noexcept {
  if (this == &other) return *this;
  m_length = other.m_length;
  m_capacity = other.m_capacity;
  m_data = std::move(other.m_data);
  other.m_length = other.m_capacity = 0;
  return *this;
}

void EngineString::resize(int n) {
  if (n <= 0) {
    m_data.reset();
    m_length = m_capacity = 0;
    return;
  }
  if (!m_data) {
    m_data = std::make_unique<char[]>(n);
    m_capacity = n;
  } else if (n > m_capacity) {
    const int newCapacity = growCapacity(m_length, m_capacity, n);
    auto grown = std::make_unique<char[]>(newCapacity);
    std::memcpy(grown.get(), m_data.get(), m_length);
    m_data = std::move(grown);
    m_capacity = newCapacity;
  }
  m_length = n;
}

EngineString& EngineString::assign(const char* text) {
  text = text ? text : "";
  const int n = static_cast<int>(std::strlen(text)) + 1;
  resize(n);
  std::memcpy(m_data.get(), text, n);
  return *this;
}

EngineString& EngineString::append(const char* text) {
  if (!text) return *this;
  const int added = static_cast<int>(std::strlen(text));
  if (m_length == 0) return assign(text);
  const int oldEnd = m_length - 1;  // position of the old NUL
  const int n = m_length + added;
  if (n > m_length) resize(n);
  std::memcpy(m_data.get() + oldEnd, text, added + 1);
  return *this;
}

bool EngineString::operator==(const char* text) const { return std::strcmp(c_str(), text ? text : "") == 0; }

EngineString EngineString::between(const char* text, char open, char close, const char* fallback) {
  EngineString result;
  const char* first = text ? std::strchr(text, open) : nullptr;
  const char* last = first ? std::strrchr(first + 1, close) : nullptr;
  if (first && last && last - first > 1) {
    const int n = static_cast<int>(last - first - 1);
    result.resize(n + 1);
    std::memcpy(result.m_data.get(), first + 1, n);
    result.m_data[n] = '\0';
  } else if (fallback) {
    result.assign(fallback);
  }
  return result;
}

EngineString EngineString::format(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  EngineString result = formatV(fmt, args);
  va_end(args);
  return result;
}

EngineString EngineString::formatV(const char* fmt, va_list args) {
  va_list measure;
  va_copy(measure, args);
  const int size = std::vsnprintf(nullptr, 0, fmt, measure);
  va_end(measure);

  EngineString result;
  result.resize(std::max(size, 0) + 1);
  if (std::vsnprintf(result.m_data.get(), result.m_length, fmt, args) < 0) result.m_data[result.m_length - 1] = '\0';
  return result;
}

const char* formatStatic(const char* fmt, ...) {
  static char buffer[256];
  va_list args;
  va_start(args, fmt);
  if (std::vsnprintf(buffer, sizeof buffer, fmt, args) < 0) buffer[255] = '\0';
  va_end(args);
  return buffer;
}
