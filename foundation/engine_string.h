// The engine's growable string. Its growth rule (grow by an eighth of the
// current length, at least 4 and at most 65536 bytes) is shared with
// ByteBuffer and the decoders' integer arrays: see growCapacity().
#pragma once

#include <cstdarg>
#include <cstddef>
#include <memory>

// New capacity when a buffer of `capacity` bytes holding `length` bytes must
// hold `requested` bytes: capacity plus clamp(length / 8, 4, 65536), or the
// request when that is larger.
int growCapacity(int length, int capacity, int requested);

class EngineString {
 public:
  EngineString();                  // the empty text: one NUL byte
  EngineString(const char* text);  // NOLINT: converting, as the engine uses it
  EngineString(const EngineString& other);
  EngineString(EngineString&& other) noexcept;
  EngineString& operator=(const EngineString& other);
  EngineString& operator=(EngineString&& other) noexcept;
  ~EngineString() = default;

  // The characters strictly between the first `open` and the last `close`
  // of `text`; `fallback` (or the empty text when null) when there is no
  // such non-empty span.
  static EngineString between(const char* text, char open, char close, const char* fallback);

  // printf into a string of exactly the formatted size.
  static EngineString format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
  static EngineString formatV(const char* fmt, va_list args);

  // Sets the length (bytes including the NUL) to n, keeping the contents up
  // to the old length. 0 frees the buffer.
  void resize(int n);
  EngineString& assign(const char* text);
  EngineString& append(const char* text);

  const char* c_str() const { return m_data ? m_data.get() : ""; }
  char* data() { return m_data.get(); }
  int length() const { return m_length; }  // including the NUL
  int capacity() const { return m_capacity; }
  bool empty() const { return m_length <= 1 || m_data[0] == '\0'; }

  bool operator==(const char* text) const;

 private:
  int m_length = 0;
  int m_capacity = 0;
  std::unique_ptr<char[]> m_data;
};

// printf into one static 256-byte buffer, cut at 255 characters. The buffer
// is reused by the next call: copy the result before formatting again.
// Main thread only.
const char* formatStatic(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
