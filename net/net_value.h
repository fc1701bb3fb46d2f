// A named, typed value that the network layer replicates. It registers with
// a NetControl for its whole life; the owner reads and writes the current
// value, NetControl::update sends local changes and applies received data.
// NetWire<T> gives each type its wire form; a type defined elsewhere (the
// settings' player record) supplies its own specialisation, whose read is
// where data from peers is made safe (a name forced to end with NUL).
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "foundation/byte_fields.h"
#include "foundation/matrix.h"
#include "foundation/report.h"
#include "net/net_control.h"
#include "net/net_value_base.h"

// The wire form of T: size bytes, little-endian, written and read field by
// field; same() is the comparison set() uses; initial() the value both
// copies start from.
template <class T>
struct NetWire;

template <>
struct NetWire<bool> {
  static constexpr int size = 1;
  static void write(const bool& v, std::uint8_t* out) { out[0] = v ? 1 : 0; }
  // Any byte other than 0 counts as true: a bool must never hold another value.
  static void read(const std::uint8_t* in, bool& v) { v = in[0] != 0; }
  static bool same(const bool& a, const bool& b) { return a == b; }
  static bool initial() { return false; }
};

template <>
struct NetWire<int> {
  static constexpr int size = 4;
  static void write(const int& v, std::uint8_t* out) { FieldWriter(out, size).i32(v); }
  static void read(const std::uint8_t* in, int& v) { v = FieldReader(in, size).i32(); }
  static bool same(const int& a, const int& b) { return a == b; }
  static int initial() { return 0; }
};

template <>
struct NetWire<float> {
  static constexpr int size = 4;
  static void write(const float& v, std::uint8_t* out) { FieldWriter(out, size).f32(v); }
  static void read(const std::uint8_t* in, float& v) { v = FieldReader(in, size).f32(); }
  static bool same(const float& a, const float& b) { return a == b; }
  static float initial() { return 0.0f; }
};

template <class V>
struct NetWireXyz {
  static constexpr int size = 12;
  static void write(const V& v, std::uint8_t* out) {
    FieldWriter fields(out, size);
    fields.f32(v.x);
    fields.f32(v.y);
    fields.f32(v.z);
  }
  static void read(const std::uint8_t* in, V& v) {
    FieldReader fields(in, size);
    v.x = fields.f32();
    v.y = fields.f32();
    v.z = fields.f32();
  }
  static bool same(const V& a, const V& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }
  static V initial() { return V{}; }
};
template <>
struct NetWire<Position3> : NetWireXyz<Position3> {};
template <>
struct NetWire<Normal3> : NetWireXyz<Normal3> {};

template <>
struct NetWire<Matrix4x3> {
  static constexpr int size = 64;
  static void write(const Matrix4x3& v, std::uint8_t* out) {
    FieldWriter fields(out, size);
    for (float element : v.m) fields.f32(element);
  }
  static void read(const std::uint8_t* in, Matrix4x3& v) {
    FieldReader fields(in, size);
    for (float& element : v.m) element = fields.f32();
  }
  // Bytewise: a change in any bit of any element counts.
  static bool same(const Matrix4x3& a, const Matrix4x3& b) { return std::memcmp(a.m, b.m, sizeof a.m) == 0; }
  static Matrix4x3 initial() {
    Matrix4x3 m{};
    m.m[15] = 1.0f;  // fourth column 0, 0, 0, 1
    return m;
  }
};

template <class T>
class NetValue final : public NetValueBase {
 public:
  explicit NetValue(NetControl& control = NetControl::getInstance())
      : m_control(control), m_received(NetWire<T>::initial()), m_current(NetWire<T>::initial()) {
    m_control.addValue(this);
  }
  ~NetValue() { m_control.removeValue(this); }
  NetValue(const NetValue&) = delete;
  NetValue& operator=(const NetValue&) = delete;

  // Gives the value its id (once) and its first content, without marking it
  // dirty. The id must not be taken and must be sendable.
  void init(int id, const T& initial) {
    init(id);
    m_current = initial;
  }
  // Takes the id only and keeps the value as constructed. From here on the
  // receive thread hands the value what arrives under the id: a receive
  // check belongs in place before.
  void init(int id) {
    ENGINE_ASSERT(!m_control.getValueId(id));
    ENGINE_ASSERT(isSendableNetId(id) && "net id out of range");
    const auto lock = m_control.lockValues();
    m_id = id;
    m_control.valueIdChanged();
  }

  // Stores a different value and, when changes are sent, marks it dirty.
  T set(const T& value) {
    store(value);
    return m_current;
  }
  const T& assign(const T& value) {
    store(value);
    return m_current;
  }
  // For records edited in place: dirty (when sent) whether or not anything
  // is then changed.
  T* modify() {
    if (m_flags & kNetSendChanges) m_dirty = 1;
    return &m_current;
  }
  const T& get() const { return m_current; }
  void setFlags(std::uint32_t flags) { m_flags = flags; }
  // What a peer sends that `check` refuses is dropped as it arrives: the
  // value keeps what it held, as if nothing had come. Null takes all.
  using ReceiveCheck = bool (*)(const T&);
  void setReceiveCheck(ReceiveCheck check) {
    const auto lock = m_control.lockValues();
    m_check = check;
  }

  const void* getData() const override { return &m_current; }
  int size() const override { return NetWire<T>::size; }
  bool isDirty() const override { return m_dirty != 0; }
  bool setReceived(const std::uint8_t* data, int length) override {
    if (!data || length != NetWire<T>::size) return false;
    // Decoded aside: a refused payload must not replace one taken earlier
    // in the same frame.
    T value = NetWire<T>::initial();
    NetWire<T>::read(data, value);
    if (m_check && !m_check(value)) return false;
    m_received = value;
    m_receivedFlag = 1;
    return true;
  }
  void commit() override {
    if (m_receivedFlag && (m_flags & kNetAcceptReceived)) m_current = m_received;
    m_dirty = 0;
    m_receivedFlag = 0;
  }
  int getId() const override { return m_id; }
  std::uint32_t getFlags() const override { return m_flags; }
  const std::string& getName() const override { return m_name; }
  void setName(const char* name) override { m_name = name ? name : ""; }
  void writeWire(std::uint8_t* out) const override { NetWire<T>::write(m_current, out); }

 private:
  void store(const T& value) {
    if (NetWire<T>::same(value, m_current)) return;
    m_current = value;
    if (m_flags & kNetSendChanges) m_dirty = 1;
  }

  NetControl& m_control;
  std::string m_name;
  T m_received;
  T m_current;
  std::uint8_t m_dirty = 0;
  std::uint8_t m_receivedFlag = 0;
  int m_id = -1;
  std::uint32_t m_flags = kNetAcceptReceived | kNetSendChanges;
  ReceiveCheck m_check = nullptr;
};
