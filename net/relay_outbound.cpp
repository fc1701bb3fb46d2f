// What leaves a relay connection: its outbound queue, the writer thread that
// hands it to the socket, and the waits that hold a sender back (another
// player's full backlog, the seat's rate).
#include <algorithm>
#include <chrono>

#include "net/relay_server.h"

namespace GameDaemon {

namespace {

// Unsent bytes one player may have waiting before it is dropped: a player
// that stops reading must not make the relay hold everyone's traffic for it
// without bound. Far above what a frame of updates needs.
constexpr std::size_t kMaxQueuedBytes = 1u << 20;
// A sender with more than this waiting in another player's backlog, and
// more than half of that backlog, is read more slowly until it drains.
constexpr std::size_t kSenderShareBytes = 64 * 1024;
// A backlog past this is full: senders to it wait while its player reads.
constexpr std::size_t kFullQueueBytes = kMaxQueuedBytes / 4;
// A player whose writer handed nothing to its socket for this long has
// stopped reading, for back-pressure.
constexpr auto kStalledAfter = std::chrono::milliseconds(50);
// The writer hands the queue to the socket in pieces of this size, each
// with its own send timeout: a peer must take at least this much per timeout.
constexpr std::size_t kWritePiece = 64 * 1024;

}  // namespace

void GameServerConnection::queueOut(const std::uint8_t* data, std::size_t size, int from, bool wakeWriter) {
  {
    std::lock_guard out(m_outMutex);
    if (m_writerStop || m_writerDead || size == 0) return;
    // The server's own replies may pass the limit when nothing else waits
    // (a dump can be large), never pile up beyond it.
    if (m_backlog.load() + size <= kMaxQueuedBytes || (from < 0 && m_backlog.load() == 0)) {
      m_out.append(data, size, from);
      m_backlog += size;
      m_unsent += size;
      if (from >= 0) m_backlogFrom[from] += size;
      if (wakeWriter) m_outChanged.notify_all();
      return;
    }
  }
  // Dropping part of a stream would leave the player with broken messages.
  drop("too much unsent data");
}

void GameServerConnection::queueDump(std::shared_ptr<ValueDump> dump) {
  {
    std::lock_guard out(m_outMutex);
    if (m_writerStop || m_writerDead || !dump) return;
    const std::size_t size = dump->size();
    const bool counted = m_uncountedDumps > 0;
    if (!counted || m_backlog.load() + size <= kMaxQueuedBytes) {
      m_out.appendDump(std::move(dump), counted);
      m_unsent += size;
      if (counted)
        m_backlog += size;
      else
        ++m_uncountedDumps;
      return;
    }
  }
  drop("too much unsent data");
}

void GameServerConnection::accountSent(OutQueue& batch, std::size_t count) {
  if (count == 0) return;
  m_lastWrite = Clock::now().time_since_epoch().count();
  m_unsent -= count;
  bool dumpDone = false;
  batch.consume(count, [&](const OutQueue::Run& run, std::size_t n, bool finished) {
    if (run.counted) m_backlog -= n;
    if (run.from >= 0) m_backlogFrom[run.from] -= n;
    dumpDone = dumpDone || (finished && run.dump && !run.counted);
  });
  if (dumpDone) {
    std::lock_guard out(m_outMutex);
    if (m_uncountedDumps > 0) --m_uncountedDumps;
  }
}

void GameServerConnection::writeFailed() {
  shutdownSocket();
  std::lock_guard out(m_outMutex);
  m_writerDead = true;
  m_out.clear();
  m_uncountedDumps = 0;
  m_backlog = 0;
  m_unsent = 0;
  for (auto& share : m_backlogFrom) share = 0;
  m_outChanged.notify_all();
}

void GameServerConnection::writeLoop() {
  OutQueue batch;
  for (;;) {
    {
      std::unique_lock out(m_outMutex);
      m_outChanged.wait(out, [this] { return m_writerStop || m_writerDead || !m_out.empty(); });
      if (m_writerStop || m_writerDead) return;
    }
    std::lock_guard sending(m_sendMutex);
    {
      std::lock_guard out(m_outMutex);
      if (m_writerStop || m_writerDead) return;
      batch.clear();
      batch.swap(m_out);
    }
    while (!batch.empty()) {
      // A dump goes out in pieces like everything else, each within the
      // send timeout.
      const auto [data, size] = batch.next(kWritePiece);
      const int piece = static_cast<int>(size);
      if (send(data, piece, m_server.m_sendTimeoutMs.load()) != piece) {
        // A peer that takes its messages too slowly delays only itself: it
        // is dropped rather than left with a broken stream.
        if (wsa::WSAGetLastError() == WSAETIMEDOUT) drop("send timed out");
        writeFailed();
        return;
      }
      accountSent(batch, size);
    }
    std::lock_guard out(m_outMutex);
    m_outChanged.notify_all();  // drainOut looks again
  }
}

void GameServerConnection::sendQueuedNow() {
  std::unique_lock sending(m_sendMutex, std::try_to_lock);
  if (!sending.owns_lock()) {
    // Someone is sending on this socket; the writer takes what is left.
    m_outChanged.notify_all();
    return;
  }
  OutQueue batch;
  {
    std::lock_guard out(m_outMutex);
    if (m_writerStop || m_writerDead || m_out.empty()) return;
    batch.swap(m_out);
  }
  while (!batch.empty()) {
    const auto [data, size] = batch.next(kMaxQueuedBytes);
    const int sent = sendNow(data, static_cast<int>(size));
    if (sent < 0) {
      writeFailed();
      return;
    }
    accountSent(batch, static_cast<std::size_t>(sent));
    if (static_cast<std::size_t>(sent) < size) break;
  }
  if (batch.empty()) return;
  // The rest goes out first, by the writer.
  std::lock_guard out(m_outMutex);
  if (m_writerStop || m_writerDead) return;
  m_out.prepend(batch);
  m_outChanged.notify_all();
}

void GameServerConnection::sendPending() {
  for (GameServerConnection* p : m_pending) {
    p->sendQueuedNow();
    --p->m_pins;
  }
  m_pending.clear();
  if (m_selfPending) {
    m_selfPending = false;
    sendQueuedNow();
  }
}

void GameServerConnection::drainOut() {
  const auto deadline = Clock::now() + std::chrono::milliseconds(m_server.m_sendTimeoutMs.load()) * 2;
  std::unique_lock out(m_outMutex);
  m_outChanged.wait_until(out, deadline, [this] { return m_writerStop || m_writerDead || m_unsent.load() == 0; });
}

void GameServerConnection::waitForRoom() {
  GameServer& s = m_server;
  for (;;) {
    {
      std::lock_guard lock(s.m_lock);
      if (s.m_stopping || !m_seated) return;
      const auto stalledSince =
          Clock::now().time_since_epoch().count() - std::chrono::duration_cast<Clock::duration>(kStalledAfter).count();
      bool full = false;
      for (const GameServerConnection* p : s.m_players) {
        if (!p || p == this) continue;
        const std::size_t share = p->m_backlogFrom[m_slot].load(), backlog = p->backlog();
        if (share == 0) continue;
        // A backlog that is mostly others' at a player that stopped reading
        // is that player's slowness: it is dropped at its limit instead.
        const bool reading = p->m_lastWrite.load() > stalledSince;
        full = full || (share > kSenderShareBytes && 2 * share > backlog) || (backlog > kFullQueueBytes && reading);
      }
      if (!full) return;
    }
    // The backlogs drain, or their players are dropped within the send
    // timeout, so the wait is bounded.
    if (peerGone()) return;
    Sleep(2);
  }
}

void GameServerConnection::throttle() {
  const std::size_t rate = m_server.m_seatRate.load();
  if (rate == 0 || m_valueBytes == 0) return;
  const double perSecond = static_cast<double>(rate);
  const auto refill = [&] {
    const auto now = Clock::now();
    const double seconds = std::chrono::duration<double>(now - m_allowanceAt).count();
    m_allowance = std::min(perSecond, m_allowance + perSecond * seconds);
    m_allowanceAt = now;
  };
  refill();
  m_allowance -= static_cast<double>(m_valueBytes);
  // What is owed is paid off within a second or so; a peer that leaves or
  // is shut down (the relay stopping) ends the wait.
  while (m_allowance < 0 && !peerGone()) {
    Sleep(static_cast<DWORD>(std::clamp(-m_allowance / perSecond * 1000.0, 1.0, 20.0)));
    refill();
  }
}

}  // namespace GameDaemon
