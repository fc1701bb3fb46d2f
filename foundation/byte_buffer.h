// Growable arrays for the archive's decoders. Allocation policy: the first
// allocation is exact, later growth follows growCapacity() (an eighth of the
// current size, at least 4 and at most 65536 elements, or straight to the
// request), shrinking keeps the allocation and resize(0) frees it. Small
// steps keep large decoded entries from doubling their memory.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>
#include <utility>

#include "foundation/engine_string.h"

template <typename T>
class GrowableArray {
  static_assert(std::is_trivially_copyable_v<T>, "elements are moved with memcpy");

 public:
  GrowableArray() = default;
  GrowableArray(const GrowableArray& other) { *this = other; }
  GrowableArray(GrowableArray&& other) noexcept { *this = std::move(other); }
  GrowableArray& operator=(const GrowableArray& other) {
    if (this == &other) return *this;
    resize(other.m_size);
    if (m_size > 0) std::memcpy(m_data.get(), other.m_data.get(), sizeof(T) * m_size);
    return *this;
  }
  GrowableArray& operator=(GrowableArray&& other) noexcept {
    if (this == &other) return *this;
    m_size = std::exchange(other.m_size, 0);
    m_capacity = std::exchange(other.m_capacity, 0);
    m_data = std::move(other.m_data);
    return *this;
  }

  // Sets the number of elements, keeping the old ones; new elements are not
  // initialised. 0 (or less) frees the storage.
  void resize(int n) {
    if (n <= 0) {
      m_data.reset();
      m_size = m_capacity = 0;
      return;
    }
    if (!m_data) {
      m_data = std::make_unique_for_overwrite<T[]>(n);
      m_capacity = n;
    } else if (n > m_capacity) {
      // Near the int limit the step could overshoot it; never allocate less
      // than asked.
      const int capacity = std::max(growCapacity(m_size, m_capacity, n), n);
      auto grown = std::make_unique_for_overwrite<T[]>(capacity);
      std::memcpy(grown.get(), m_data.get(), sizeof(T) * m_size);
      m_data = std::move(grown);
      m_capacity = capacity;
    }
    m_size = n;
  }

  int size() const { return m_size; }
  int capacity() const { return m_capacity; }
  bool empty() const { return m_size == 0; }
  T* data() { return m_data.get(); }
  const T* data() const { return m_data.get(); }
  T& operator[](int i) { return m_data[i]; }
  const T& operator[](int i) const { return m_data[i]; }

 private:
  int m_size = 0;
  int m_capacity = 0;
  std::unique_ptr<T[]> m_data;
};

// Bytes with the cursor of the decoding stage that reads or writes them.
class ByteBuffer : public GrowableArray<std::uint8_t> {
 public:
  int position = 0;
};
