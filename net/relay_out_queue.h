// What one relay connection still has to send to its peer, in order: runs
// of bytes relayed from a player or written by the server, and value dumps
// shared with other connections. Not locked: its owner guards it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <utility>
#include <vector>

#include "net/value_store.h"

namespace GameDaemon {

class OutQueue {
 public:
  struct Run {
    int from = -1;                    // the slot whose relays these are, -1 the server's own
    std::size_t size = 0;             // bytes still to send
    bool counted = true;              // counts against the player's backlog limit
    std::shared_ptr<ValueDump> dump;  // the run is this dump's bytes from `offset`
    std::size_t offset = 0;
  };

  void append(const std::uint8_t* data, std::size_t size, int from);
  void appendDump(std::shared_ptr<ValueDump> dump, bool counted);
  bool empty() const { return m_runs.empty(); }

  // The next bytes to send, at most `max` of them: a stretch of plain runs,
  // or the next part of a dump (built here when nobody has yet).
  std::pair<const std::uint8_t*, std::size_t> next(std::size_t max);
  // Takes `count` sent bytes off the front; `sent` (run, bytes, finished)
  // is told which runs they came from.
  template <class Sent>
  void consume(std::size_t count, Sent&& sent);

  // Puts `rest`, taken earlier and not sent, before what is queued.
  void prepend(OutQueue& rest);
  void swap(OutQueue& other) noexcept;
  // Empties the queue, giving a large buffer back.
  void clear();

 private:
  std::vector<std::uint8_t> m_bytes;  // the plain runs' bytes
  std::size_t m_head = 0;             // bytes of m_bytes sent already
  std::deque<Run> m_runs;
};

template <class Sent>
void OutQueue::consume(std::size_t count, Sent&& sent) {
  while (count > 0 && !m_runs.empty()) {
    Run& run = m_runs.front();
    const std::size_t n = count < run.size ? count : run.size;
    run.size -= n;
    count -= n;
    if (run.dump)
      run.offset += n;
    else
      m_head += n;
    sent(static_cast<const Run&>(run), n, run.size == 0);
    if (run.size == 0) m_runs.pop_front();
  }
  if (m_runs.empty()) clear();
}

}  // namespace GameDaemon
