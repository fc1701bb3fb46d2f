// The relay's bounded value store and its shared dump.
#include "net/value_store.h"

#include <algorithm>
#include <cstring>

namespace GameDaemon {

ValueDump::ValueDump(std::vector<std::pair<std::uint16_t, StoredValue>> values) : m_values(std::move(values)) {
  m_size = net::kHeaderSize;  // the end of the dump
  for (const auto& [id, value] : m_values) m_size += net::kHeaderSize + value.size;
}

const std::uint8_t* ValueDump::data() {
  std::call_once(m_built, [this] {
    m_messages.reserve(m_size);
    for (const auto& [id, value] : m_values) {
      m_messages.begin(id);
      m_messages.writeBytes(value.bytes.get(), value.size);
    }
    m_messages.begin(net::kValuesEnded);
    m_messages.end();
    std::vector<std::pair<std::uint16_t, StoredValue>>().swap(m_values);
  });
  return m_messages.data();
}

ValueStore::ValueStore() : m_values(net::kValueIdCount), m_writers(net::kValueIdCount, -1) {}

bool ValueStore::store(std::uint16_t id, const std::uint8_t* data, std::size_t size, int writer) {
  if (id >= m_values.size()) return false;
  StoredValue& slot = m_values[id];
  m_total -= slot.size;
  slot = StoredValue();
  m_writers[id] = static_cast<std::int8_t>(writer >= 0 && writer < 128 ? writer : -1);
  m_dump.reset();
  // Payloads come from whole messages, so they always fit the size field.
  if (size == 0 || size >= net::kMaxMessageLength) return size == 0;
  if (m_total + size > kMaxStoredBytes) return false;
  auto bytes = std::make_shared_for_overwrite<std::uint8_t[]>(size);
  std::memcpy(bytes.get(), data, size);
  slot.bytes = std::move(bytes);
  slot.size = static_cast<std::uint16_t>(size);
  m_total += size;
  return true;
}

void ValueStore::forget(int writer) {
  if (writer < 0) return;
  for (std::size_t id = 0; id < m_values.size(); ++id) {
    if (m_writers[id] != writer) continue;
    m_total -= m_values[id].size;
    m_values[id] = StoredValue();
    m_writers[id] = -1;
    m_dump.reset();
  }
}

void ValueStore::clear() {
  std::fill(m_writers.begin(), m_writers.end(), static_cast<std::int8_t>(-1));
  for (StoredValue& v : m_values) v = StoredValue();
  m_total = 0;
  m_dump.reset();
}

std::vector<std::uint8_t> ValueStore::value(int id) const {
  if (id < 0 || id >= static_cast<int>(m_values.size())) return {};
  const StoredValue& v = m_values[static_cast<std::size_t>(id)];
  if (!v.bytes) return {};
  return std::vector<std::uint8_t>(v.bytes.get(), v.bytes.get() + v.size);
}

std::shared_ptr<ValueDump> ValueStore::dump() {
  if (!m_dump) {
    std::vector<std::pair<std::uint16_t, StoredValue>> values;
    for (std::size_t id = 0; id < m_values.size(); ++id)
      if (m_values[id].bytes) values.emplace_back(static_cast<std::uint16_t>(id), m_values[id]);
    m_dump = std::make_shared<ValueDump>(std::move(values));
  }
  return m_dump;
}

}  // namespace GameDaemon
