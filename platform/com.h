// COM-style reference counting shared by the Direct3D- and DirectInput-shaped
// services: objects start with one reference and delete themselves on the
// last Release; ComPtr holds one reference.
#pragma once

#include <utility>

#include "platform/win32_types.h"

// Reference counting as the engine expects of these objects: a new one has
// one reference; Release deletes it when the count reaches zero.
class D3DUnknown {
 public:
  D3DUnknown(const D3DUnknown&) = delete;
  D3DUnknown& operator=(const D3DUnknown&) = delete;
  ULONG AddRef() { return ++m_references; }
  ULONG Release() {
    const ULONG left = --m_references;
    if (left == 0) delete this;
    return left;
  }
  // References held now (for rules such as "Reset fails while the caller
  // still holds a surface").
  ULONG references() const { return m_references; }

 protected:
  D3DUnknown() = default;
  virtual ~D3DUnknown() = default;

 private:
  ULONG m_references = 1;
};

// Holds one reference. Adopting a pointer takes over the reference the caller
// had (as a Create* call hands out).
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  explicit ComPtr(T* adopted) : m_ptr(adopted) {}
  ComPtr(const ComPtr& other) : m_ptr(other.m_ptr) {
    if (m_ptr) m_ptr->AddRef();
  }
  ComPtr(ComPtr&& other) noexcept : m_ptr(std::exchange(other.m_ptr, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(m_ptr, other.m_ptr);
    return *this;
  }
  ~ComPtr() { reset(); }

  void reset() {
    if (m_ptr) std::exchange(m_ptr, nullptr)->Release();
  }
  T* get() const { return m_ptr; }
  T* operator->() const { return m_ptr; }
  explicit operator bool() const { return m_ptr != nullptr; }
  // For Create* out-parameters: drops what is held and gives the slot.
  T** put() {
    reset();
    return &m_ptr;
  }

 private:
  T* m_ptr = nullptr;
};
