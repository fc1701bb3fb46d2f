// A relay connection's outbound queue.
#include "net/relay_out_queue.h"

#include "net/message.h"

namespace GameDaemon {

void OutQueue::append(const std::uint8_t* data, std::size_t size, int from) {
  if (size == 0) return;
  m_bytes.insert(m_bytes.end(), data, data + size);
  if (!m_runs.empty() && !m_runs.back().dump && m_runs.back().from == from) {
    m_runs.back().size += size;
    return;
  }
  Run run;
  run.from = from;
  run.size = size;
  m_runs.push_back(std::move(run));
}

void OutQueue::appendDump(std::shared_ptr<ValueDump> dump, bool counted) {
  if (!dump || dump->size() == 0) return;
  Run run;
  run.size = dump->size();
  run.counted = counted;
  run.dump = std::move(dump);
  m_runs.push_back(std::move(run));
}

std::pair<const std::uint8_t*, std::size_t> OutQueue::next(std::size_t max) {
  if (m_runs.empty() || max == 0) return {nullptr, 0};
  Run& front = m_runs.front();
  if (front.dump) return {front.dump->data() + front.offset, front.size < max ? front.size : max};
  // Plain runs lie back to back in m_bytes up to the next dump.
  std::size_t length = 0;
  for (const Run& run : m_runs) {
    if (run.dump || length >= max) break;
    length += run.size;
  }
  return {m_bytes.data() + m_head, length < max ? length : max};
}

void OutQueue::prepend(OutQueue& rest) {
  if (rest.empty()) return;
  rest.m_bytes.erase(rest.m_bytes.begin(), rest.m_bytes.begin() + static_cast<std::ptrdiff_t>(rest.m_head));
  rest.m_head = 0;
  rest.m_bytes.insert(rest.m_bytes.end(), m_bytes.begin() + static_cast<std::ptrdiff_t>(m_head), m_bytes.end());
  rest.m_runs.insert(rest.m_runs.end(), std::make_move_iterator(m_runs.begin()), std::make_move_iterator(m_runs.end()));
  swap(rest);
  rest.clear();
}

void OutQueue::swap(OutQueue& other) noexcept {
  m_bytes.swap(other.m_bytes);
  std::swap(m_head, other.m_head);
  m_runs.swap(other.m_runs);
}

void OutQueue::clear() {
  if (m_bytes.capacity() > net::MessageWriter::kKeptCapacity)
    std::vector<std::uint8_t>().swap(m_bytes);
  else
    m_bytes.clear();
  m_head = 0;
  m_runs.clear();
}

}  // namespace GameDaemon
