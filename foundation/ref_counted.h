// Intrusive reference counting for engine objects that several holders share
// (file data, images, textures, models), and RefPtr, the holder that keeps
// one reference for as long as it lives.
#pragma once

#include <utility>

class RefCounted {
 public:
  RefCounted(const RefCounted&) = delete;
  RefCounted& operator=(const RefCounted&) = delete;
  virtual ~RefCounted() = default;

  void addRef() { ++m_count; }
  // Drops one reference; the holder of the last one deletes the object.
  void release() {
    if (--m_count == 0) delete this;
  }
  int refCount() const { return m_count; }

 protected:
  // Objects are born holding their creator's reference. A class whose owner
  // takes the first reference itself passes 0.
  explicit RefCounted(int initialCount = 1) : m_count(initialCount) {}

 private:
  int m_count;
};

// Holds one reference to a RefCounted object. Constructing from a raw
// pointer adopts a reference the caller already owns (what the loaders hand
// out); copies take a reference of their own.
template <class T>
class RefPtr {
 public:
  RefPtr() = default;
  explicit RefPtr(T* adopted) : m_object(adopted) {}
  RefPtr(const RefPtr& other) : m_object(other.m_object) {
    if (m_object) m_object->addRef();
  }
  RefPtr(RefPtr&& other) noexcept : m_object(std::exchange(other.m_object, nullptr)) {}
  RefPtr& operator=(RefPtr other) noexcept {
    std::swap(m_object, other.m_object);
    return *this;
  }
  ~RefPtr() { reset(); }

  // Releases the held reference and adopts another one.
  void reset(T* adopted = nullptr) {
    if (m_object) m_object->release();
    m_object = adopted;
  }
  // Gives the held reference to the caller.
  T* detach() { return std::exchange(m_object, nullptr); }

  T* get() const { return m_object; }
  T* operator->() const { return m_object; }
  T& operator*() const { return *m_object; }
  explicit operator bool() const { return m_object != nullptr; }

 private:
  T* m_object = nullptr;
};
