// The relay server: message handling of its connections, the barrier, and
// the thread that accepts connections.
#include "net/relay_server.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "foundation/report.h"

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
// The kernel's send buffer of each player's socket, kept small so a backlog
// shows in the relay (where back-pressure sees it), not in the kernel.
constexpr int kSocketSendBuffer = 64 * 1024;
// The writer hands the queue to the socket in pieces of this size, each
// with its own send timeout: a peer must take at least this much per timeout.
constexpr std::size_t kWritePiece = 64 * 1024;
// Value bytes a connection without a seat may send (all dropped) before it
// is taken for a flooder and dropped.
constexpr std::size_t kMaxUnseatedBytes = 64 * 1024;
// How long the server thread waits after a failed bind or listen.
constexpr int kBindBackoffMs = 250;

// Every id below 2000 that the server does not handle itself is a value.
bool isValueUpdate(std::uint16_t id) {
  switch (id) {
    case net::kHost:
    case net::kJoin:
    case net::kAccepted:
    case net::kRefused:
    case net::kLeave:
    case net::kReserved:
    case net::kRequestValues:
    case net::kValuesEnded:
    case net::kLock:
    case net::kBarrier:
      return false;
    default:
      return id < net::kValueIdCount;
  }
}

}  // namespace

using net::MessageQueue;

GameServerConnection::GameServerConnection(GameServer& server, SOCKET s)
    : NetServerConnection(s), m_server(server), m_unseatedSince(Clock::now()) {
  wsa::setsockopt(s, SOL_SOCKET_WS, SO_SNDBUF_WS, reinterpret_cast<const char*>(&kSocketSendBuffer),
                  sizeof kSocketSendBuffer);
  if (!m_writer.start([this] { writeLoop(); })) {
    m_writerDead = true;
    shutdownSocket();
  }
}

GameServerConnection::~GameServerConnection() {
  shutdownSocket();  // a writer waiting on the socket gives up at once
  {
    std::lock_guard out(m_outMutex);
    m_writerStop = true;
  }
  m_outChanged.notify_all();
  m_writer.join();
}

void GameServerConnection::onConnect(DWORD address) {
  std::printf("got connection from %x\n", static_cast<unsigned>(address));
  std::fflush(stdout);
}

void GameServerConnection::drop(const char* why) {
  if (m_dropped.exchange(true)) return;
  ++m_server.m_droppedConnections;
  g_log.printf("relay: dropping connection from %x: %s\n", static_cast<unsigned>(peerAddress()), why);
  shutdownSocket();
}

bool GameServerConnection::peerGone() const { return !isConnected() || wsa::peerClosed(getSocket()); }

int GameServerConnection::onReceive(const std::uint8_t* data, int length) {
  std::unique_lock lock(m_server.m_lock);
  // Bytes that follow a message which closed the connection are not read.
  if (!isConnected() || length <= 0) return length;
  m_queue.append(data, static_cast<std::size_t>(length));
  m_relayedInChunk = false;
  After after = After::Continue;
  for (;;) {
    const MessageQueue::Front front = m_queue.front();
    if (front == MessageQueue::Front::None) break;
    if (front == MessageQueue::Front::Malformed) {
      // Nothing after a broken length can be framed again: drop the peer.
      drop("message length out of range");
      after = After::Close;
      break;
    }
    std::uint16_t id = 0;
    m_queue.readU16(id);
    // Relays wait in m_relay until a message that is not a value update
    // (it may change who the others are) or the end of the chunk; the bytes
    // on each socket are the same as one send per message.
    if (isValueUpdate(id)) {
      if (m_seated) {
        relayValue(id);
      } else {
        // Nobody may write the game's values without a seat in it.
        ++m_server.m_refusedMessages;
        m_unseatedBytes += static_cast<std::size_t>(m_queue.readLen());
        if (m_unseatedBytes > kMaxUnseatedBytes) {
          drop("flooding without a seat");
          after = After::Close;
          break;
        }
      }
      m_queue.endMessage();
      continue;
    }
    // The message may wait in a barrier: the writers send meanwhile.
    flushRelay(false);
    if (m_selfPending) m_outChanged.notify_all();
    after = dispatch(id, lock);
    m_queue.endMessage();
    if (after == After::Close) break;
  }
  flushRelay(true);
  if (after == After::Close) m_queue.clear();
  lock.unlock();
  // Relays and replies go out without the lock, so other players' updates
  // are handled meanwhile; the queues keep every socket's order.
  sendPending();
  if (after == After::Close) {
    drainOut();
    close();
  } else if (m_relayedInChunk) {
    waitForRoom();
  }
  return length;
}

GameServerConnection::After GameServerConnection::dispatch(std::uint16_t id, std::unique_lock<CriticalSection>& lock) {
  GameServer& s = m_server;
  auto skip = [&s] {
    ++s.m_droppedMessages;
    return After::Continue;
  };
  auto seatedIn = [this, &s](int slot) { return m_seated && m_slot == slot && s.m_players[slot] == this; };
  switch (id) {
    case net::kHost: {
      if (s.m_players[0]) {
        m_writeData.begin(net::kRefused);
        sendToSelf();
        return After::Close;
      }
      for (auto& value : s.m_stored) std::vector<std::uint8_t>().swap(value);
      // Connections seated in the old game keep running but hold no seat
      // any more, so their departure cannot be taken for a new player's.
      const auto now = Clock::now();
      for (int i = 1; i < kMaxPlayers; ++i) {
        if (GameServerConnection* p = s.m_players[i]) {
          p->m_seated = false;
          p->m_unseatedSince = now;
        }
        s.m_players[i] = nullptr;
      }
      s.m_locked = false;
      s.m_players[0] = this;
      m_slot = 0;
      m_seated = true;
      m_writeData.begin(net::kAccepted);
      m_writeData.writeU8(0);
      sendToSelf();
      s.m_barrierChanged.notify_all();
      return After::Continue;
    }
    case net::kJoin: {
      if (!s.m_players[0] || s.m_locked) {
        m_writeData.begin(net::kRefused);
        sendToSelf();
        return After::Close;
      }
      // Seated already: one connection must never hold two slots.
      if (!(m_seated && s.m_players[m_slot] == this)) {
        int slot = -1;
        for (int i = 0; i < kMaxPlayers && slot < 0; ++i)
          if (!s.m_players[i]) slot = i;
        if (slot < 0) {
          m_writeData.begin(net::kRefused);
          sendToSelf();
          return After::Close;
        }
        s.m_players[slot] = this;
        m_slot = slot;
        m_seated = true;
      }
      m_writeData.begin(net::kAccepted);
      m_writeData.writeU8(static_cast<std::uint8_t>(m_slot));
      sendToSelf();
      s.m_barrierChanged.notify_all();
      return After::Continue;
    }
    case net::kAccepted:
    case net::kRefused:
    case net::kValuesEnded:
      // The server's own replies: a client sending them would speak for the
      // server to every player.
      ++s.m_refusedMessages;
      return After::Continue;
    case net::kLeave:
      // The slot is freed under the lock; close announces the departure.
      if (m_seated && s.m_players[m_slot] == this) s.m_players[m_slot] = nullptr;
      return After::Close;
    case net::kReserved: {
      std::uint8_t ignored;
      if (!m_queue.readU8(ignored)) return skip();
      return After::Continue;
    }
    case net::kRequestValues: {
      for (int v = 0; v < net::kValueIdCount; ++v) {
        const auto& payload = s.m_stored[static_cast<std::size_t>(v)];
        if (payload.empty()) continue;
        m_writeData.begin(static_cast<std::uint16_t>(v));
        m_writeData.writeBytes(payload.data(), payload.size());
      }
      m_writeData.begin(net::kValuesEnded);
      sendToSelf();
      return After::Continue;
    }
    case net::kLock: {
      std::uint8_t locked;
      if (!m_queue.readU8(locked)) return skip();
      // Only the host decides who may still join.
      if (!seatedIn(0)) {
        ++s.m_refusedMessages;
        return After::Continue;
      }
      s.m_locked = locked != 0;
      return After::Continue;
    }
    case net::kBarrier: {
      std::uint32_t token;
      if (!m_queue.readU32(token)) return skip();
      return waitInBarrier(token, lock);
    }
    default:
      // Value updates are relayed before dispatch; ids of 2000 and above
      // are dropped.
      return After::Continue;
  }
}

void GameServerConnection::relayValue(std::uint16_t id) {
  const std::uint8_t* message = m_queue.messageData();
  const int length = m_queue.readLen();
  m_server.m_stored[id].assign(message + net::kHeaderSize, message + length);
  m_relay.insert(m_relay.end(), message, message + length);
  ++m_server.m_relayedUpdates;
  if (m_relay.size() >= 64 * 1024) flushRelay(false);
}

void GameServerConnection::flushRelay(bool now) {
  if (m_relay.empty()) return;
  for (GameServerConnection* p : m_server.m_players) {
    if (!p || p == this) continue;
    p->queueOut(m_relay.data(), m_relay.size(), m_slot, !now);
    if (now) {
      ++p->m_pins;
      m_pending.push_back(p);
    }
  }
  m_relay.clear();
  m_relayedInChunk = true;
}

void GameServerConnection::queueOut(const std::uint8_t* data, std::size_t size, int from, bool wakeWriter) {
  {
    std::lock_guard out(m_outMutex);
    if (m_writerStop || m_writerDead || size == 0) return;
    // The server's own replies may pass the limit when nothing else waits
    // (a dump can be large), never pile up beyond it.
    if (m_backlog.load() + size <= kMaxQueuedBytes || (from < 0 && m_backlog.load() == 0)) {
      m_out.insert(m_out.end(), data, data + size);
      m_backlog += size;
      if (from >= 0) m_backlogFrom[from] += size;
      if (!m_outFrom.empty() && m_outFrom.back().first == from)
        m_outFrom.back().second += size;
      else
        m_outFrom.emplace_back(from, size);
      if (wakeWriter) m_outChanged.notify_all();
      return;
    }
  }
  // Dropping part of a stream would leave the player with broken messages.
  drop("too much unsent data");
}

void GameServerConnection::accountSent(std::deque<std::pair<int, std::size_t>>& from, std::size_t count) {
  if (count == 0) return;
  m_lastWrite = Clock::now().time_since_epoch().count();
  m_backlog -= count;
  while (count > 0 && !from.empty()) {
    auto& [slot, size] = from.front();
    const std::size_t n = std::min(count, size);
    if (slot >= 0) m_backlogFrom[slot] -= n;
    size -= n;
    count -= n;
    if (size == 0) from.pop_front();
  }
}

void GameServerConnection::writeFailed() {
  shutdownSocket();
  std::lock_guard out(m_outMutex);
  m_writerDead = true;
  m_out.clear();
  m_outFrom.clear();
  m_backlog = 0;
  for (auto& share : m_backlogFrom) share = 0;
  m_outChanged.notify_all();
}

void GameServerConnection::writeLoop() {
  std::vector<std::uint8_t> batch;
  std::deque<std::pair<int, std::size_t>> from;
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
      from.clear();
      from.swap(m_outFrom);
    }
    for (std::size_t done = 0; done < batch.size();) {
      const int piece = static_cast<int>(std::min(kWritePiece, batch.size() - done));
      if (send(batch.data() + done, piece, m_server.m_sendTimeoutMs.load()) != piece) {
        // A peer that takes its messages too slowly delays only itself: it
        // is dropped rather than left with a broken stream.
        if (wsa::WSAGetLastError() == WSAETIMEDOUT) drop("send timed out");
        writeFailed();
        return;
      }
      done += static_cast<std::size_t>(piece);
      accountSent(from, static_cast<std::size_t>(piece));
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
  std::vector<std::uint8_t> batch;
  std::deque<std::pair<int, std::size_t>> from;
  {
    std::lock_guard out(m_outMutex);
    if (m_writerStop || m_writerDead || m_out.empty()) return;
    batch.swap(m_out);
    from.swap(m_outFrom);
  }
  const int sent = sendNow(batch.data(), static_cast<int>(batch.size()));
  if (sent < 0) {
    writeFailed();
    return;
  }
  accountSent(from, static_cast<std::size_t>(sent));
  if (static_cast<std::size_t>(sent) == batch.size()) return;
  // The rest goes out first, by the writer.
  std::lock_guard out(m_outMutex);
  m_out.insert(m_out.begin(), batch.begin() + sent, batch.end());
  m_outFrom.insert(m_outFrom.begin(), from.begin(), from.end());
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
  m_outChanged.wait_until(out, deadline, [this] { return m_writerStop || m_writerDead || m_backlog.load() == 0; });
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

GameServerConnection::After GameServerConnection::waitInBarrier(std::uint32_t token,
                                                                std::unique_lock<CriticalSection>& lock) {
  GameServer& s = m_server;
  m_barrierToken = token;
  m_barrierReleased = false;
  s.m_barrierWaiters.push_back(this);
  s.m_barrierChanged.notify_all();
  const auto deadline = Clock::now() + std::chrono::milliseconds(s.m_barrierTimeoutMs.load());
  After after = After::Continue;
  while (!m_barrierReleased) {
    int occupied = 0, matching = 0;
    for (GameServerConnection* p : s.m_players) {
      if (!p) continue;
      ++occupied;
      if (p->m_barrierToken == token && !p->m_barrierReleased) ++matching;
    }
    if (matching == occupied) {
      // Release every connection waiting on this token at once, so none of
      // them can miss it by looking a moment later.
      for (GameServerConnection* w : s.m_barrierWaiters) {
        if (w->m_barrierToken == token && !w->m_barrierReleased) {
          w->m_barrierReleased = true;
          w->m_barrierToken = 0;
        }
      }
      s.m_barrierChanged.notify_all();
      break;
    }
    // The receive thread reads nothing while it waits here, so it looks at
    // the socket itself: a peer that closed or was shut down leaves.
    if (s.m_stopping || peerGone()) {
      after = After::Close;
      break;
    }
    if (Clock::now() >= deadline) {
      drop("barrier not released in time");
      after = After::Close;
      break;
    }
    // Waiters are woken on every change; the timeout also paces the look
    // at the socket.
    s.m_barrierChanged.wait_for(lock, std::chrono::milliseconds(10));
  }
  s.m_barrierWaiters.erase(std::remove(s.m_barrierWaiters.begin(), s.m_barrierWaiters.end(), this),
                           s.m_barrierWaiters.end());
  m_barrierReleased = false;
  m_barrierToken = 0;
  if (after == After::Close) return after;
  m_writeData.begin(net::kBarrier);
  m_writeData.writeU32(token);
  sendToSelf();
  return After::Continue;
}

void GameServerConnection::sendToSelf() {
  m_writeData.end();
  queueOut(m_writeData.data(), m_writeData.size(), -1, false);
  m_selfPending = true;
  m_writeData.clear();
}

void GameServerConnection::onDisconnect() {
  GameServer& s = m_server;
  std::unique_lock lock(s.m_lock);
  for (auto& p : s.m_players)
    if (p == this) p = nullptr;
  if (m_seated) {
    if (m_slot == 0 || s.m_locked) {
      net::MessageWriter notice;
      notice.begin(net::kLeave);
      notice.writeU8(static_cast<std::uint8_t>(m_slot));
      notice.end();
      for (GameServerConnection* p : s.m_players)
        if (p && p != this) p->queueOut(notice.data(), notice.size(), -1, true);
    }
    m_seated = false;
    m_unseatedSince = Clock::now();
  }
  s.m_barrierChanged.notify_all();
  lock.unlock();
  // No longer seated, so no new pins; the connection may be freed once the
  // threads sending on it are done.
  while (m_pins.load() > 0) Sleep(1);
}

// --- GameServer ---

GameServer::GameServer() : m_stored(net::kValueIdCount) {}

std::unique_ptr<NetServerConnection> GameServer::createConnection(SOCKET s) {
  return std::make_unique<GameServerConnection>(*this, s);
}

void GameServer::beginStop() {
  std::lock_guard lock(m_lock);
  m_stopping = true;
  m_barrierChanged.notify_all();
}

void GameServer::closeIdleConnections() {
  const auto now = Clock::now();
  const auto limit = std::chrono::milliseconds(m_idleTimeoutMs.load());
  forEachConnection([&](NetServerConnection& c) {
    auto& g = static_cast<GameServerConnection&>(c);
    bool idle;
    {
      std::lock_guard lock(m_lock);
      idle = !g.m_seated && now - g.m_unseatedSince >= limit;
    }
    // Shut down, the connection's own threads end it (a barrier waiter
    // notices too).
    if (idle && g.isConnected()) g.drop("no seat taken in time");
  });
}

int GameServer::occupiedLocked() const {
  int n = 0;
  for (const GameServerConnection* p : m_players) n += p != nullptr;
  return n;
}

int GameServer::occupiedSlots() {
  std::lock_guard lock(m_lock);
  return occupiedLocked();
}

bool GameServer::slotOccupied(int slot) {
  std::lock_guard lock(m_lock);
  return slot >= 0 && slot < kMaxPlayers && m_players[slot] != nullptr;
}

bool GameServer::isLocked() {
  std::lock_guard lock(m_lock);
  return m_locked;
}

std::vector<std::uint8_t> GameServer::storedValue(int id) {
  std::lock_guard lock(m_lock);
  if (id < 0 || id >= net::kValueIdCount) return {};
  return m_stored[static_cast<std::size_t>(id)];
}

// --- the server thread ---

DWORD serverThreadProc(GameServer& server, WORD port, const std::atomic<bool>& running) {
  bool reported = false;
  while (running.load()) {
    server.closeIdleConnections();
    if (acceptLoop(server, port)) continue;
    if (server.getSocket() != INVALID_SOCKET) {
      // No one came this pass; a failing accept (out of descriptors, say)
      // must not spin.
      if (wsa::WSAGetLastError() != WSAETIMEDOUT) Sleep(10);
      continue;
    }
    if (!reported) {
      g_log.printf("relay: cannot listen on port %u, retrying\n", static_cast<unsigned>(port));
      reported = true;
    }
    for (int waited = 0; waited < kBindBackoffMs && running.load(); waited += 10) Sleep(10);
  }
  return 0;
}

ServerThread::ServerThread(WORD port) : m_server(std::make_unique<GameServer>()) {
  m_running = true;
  GameServer* server = m_server.get();
  m_thread.start([this, server, port] { serverThreadProc(*server, port, m_running); });
}

bool ServerThread::stop(DWORD timeoutMs) {
  GameServer* server;
  {
    std::lock_guard lock(m_serverMutex);
    server = m_server.get();
  }
  if (!server) return true;
  const auto start = std::chrono::steady_clock::now();
  m_running = false;
  // Sockets first, without any lock: a thread blocked on a peer wakes, and
  // nothing a peer does can then hold the stop.
  server->close();  // a pending accept fails at once
  server->shutdownConnections();
  server->beginStop();
  m_thread.join();  // its accept waits at most 100 ms
  server->closeConnections();
  {
    std::lock_guard lock(m_serverMutex);
    m_server.reset();
  }
  const auto took = std::chrono::steady_clock::now() - start;
  const bool inTime = took <= std::chrono::milliseconds(timeoutMs);
  if (!inTime)
    reportError("relay server took %lld ms to stop",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
  return inTime;
}

WORD ServerThread::port() const {
  std::lock_guard lock(m_serverMutex);
  return m_server ? m_server->boundPort() : 0;
}

bool ServerThread::waitListening(DWORD timeoutMs) const {
  for (DWORD waited = 0; port() == 0; waited += 5) {
    if (waited >= timeoutMs) return false;
    Sleep(5);
  }
  return true;
}

}  // namespace GameDaemon
