// The relay's store of the last payload of every value id, and the dump of
// it that a newcomer asks for. The store is bounded in total, so no peer can
// make the relay hold (or hand out) more than a game ever stores; the dump
// is taken as references under the server's lock and turned into bytes
// once, outside it, however many players ask for it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "net/message.h"

namespace GameDaemon {

// Payload bytes the store holds at most, all ids together: far above what
// the game stores (the six player records, the race and kart values).
inline constexpr std::size_t kMaxStoredBytes = 1u << 20;

// One stored payload. Never changed once stored, so a dump may share it.
struct StoredValue {
  std::shared_ptr<const std::uint8_t[]> bytes;
  std::uint16_t size = 0;
};

// The stored values as they stood at one change of the store, as the
// messages a requester receives: every value in ascending id order, then
// the end of the dump. Shared by every connection that sends it.
class ValueDump {
 public:
  explicit ValueDump(std::vector<std::pair<std::uint16_t, StoredValue>> values);
  ValueDump(const ValueDump&) = delete;
  ValueDump& operator=(const ValueDump&) = delete;

  // The length of the dump in bytes, known before it is built.
  std::size_t size() const { return m_size; }
  // The dump's bytes, built by the first caller from any thread; the
  // references to the stored values are let go then.
  const std::uint8_t* data();

 private:
  std::once_flag m_built;
  std::vector<std::pair<std::uint16_t, StoredValue>> m_values;
  net::MessageWriter m_messages;
  std::size_t m_size = 0;
};

// Not locked: the relay guards it with its server lock.
class ValueStore {
 public:
  ValueStore();

  // Makes the payload the id's last one, sent by seat `writer` (-1: none
  // named). False when it would take the store past kMaxStoredBytes: it is
  // not stored, and the id's earlier payload is forgotten too, so that no
  // dump hands out a value the players have moved past. An empty payload
  // leaves the id without a value.
  bool store(std::uint16_t id, const std::uint8_t* data, std::size_t size, int writer = -1);
  // Forgets every value whose last payload came from seat `writer`: a
  // player that left takes its values with it, so they neither fill the
  // store for the players after it nor reach their dumps.
  void forget(int writer);
  void clear();
  std::vector<std::uint8_t> value(int id) const;
  std::size_t totalBytes() const { return m_total; }

  // The dump of what is stored now; the same one for every caller until
  // the store changes.
  std::shared_ptr<ValueDump> dump();

 private:
  std::vector<StoredValue> m_values;
  std::vector<std::int8_t> m_writers;  // by id, -1 for none named
  std::size_t m_total = 0;
  std::shared_ptr<ValueDump> m_dump;
};

}  // namespace GameDaemon
