// The relay server: message handling of its connections, the barrier, and
// the thread that accepts connections.
#include "net/relay_server.h"

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>

#include "foundation/engine_string.h"
#include "foundation/report.h"

namespace GameDaemon {

namespace {

// What the relay has to say about its peers and itself goes to the game's
// trace, one line each, so that a flood of peers never raises a dialog and
// all of it is read in one place.
void trace(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void trace(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  const EngineString text = EngineString::formatV(fmt, args);
  va_end(args);
  g_log.printf("relay: %s\n", text.c_str());
}

// The kernel's send buffer of each player's socket, kept small so a backlog
// shows in the relay (where back-pressure sees it), not in the kernel.
constexpr int kSocketSendBuffer = 64 * 1024;
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

void ServerLock::lock() {
  if (m_section.try_lock()) return;
  const auto start = Clock::now();
  m_section.lock();
  const std::int64_t waited = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
  std::int64_t longest = m_longestWaitNs.load();
  while (waited > longest && !m_longestWaitNs.compare_exchange_weak(longest, waited)) {
  }
}

std::chrono::microseconds ServerLock::longestWait() const {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::nanoseconds(m_longestWaitNs.load()));
}

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
  // The one line on standard output, for whoever runs the game from a
  // terminal; everything else goes to the trace.
  std::printf("got connection from %x\n", static_cast<unsigned>(address));
  std::fflush(stdout);
}

void GameServerConnection::drop(const char* why) {
  if (m_dropped.exchange(true)) return;
  ++m_server.m_droppedConnections;
  trace("dropping connection from %x: %s", static_cast<unsigned>(peerAddress()), why);
  shutdownSocket();
}

void GameServerConnection::evict() {
  ++m_server.m_evictedConnections;
  trace("closing connection from %x without a seat to make room", static_cast<unsigned>(peerAddress()));
  shutdownSocket();
}

bool GameServerConnection::holdsSeat() const { return m_seated && m_server.m_players[m_slot] == this; }

bool GameServerConnection::peerGone() const { return !isConnected() || wsa::peerClosed(getSocket()); }

int GameServerConnection::onReceive(const std::uint8_t* data, int length) {
  std::unique_lock lock(m_server.m_lock);
  // Bytes that follow a message which closed the connection are not read.
  if (!isConnected() || length <= 0) return length;
  m_queue.append(data, static_cast<std::size_t>(length));
  m_relayedInChunk = false;
  m_valueBytes = 0;
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
      if (m_seated) m_valueBytes += static_cast<std::size_t>(m_queue.readLen());
      if (m_seated && m_server.mayWrite(m_slot, id)) {
        relayValue(id);
      } else if (m_seated) {
        // Another seat's value: believed by nobody, stored for nobody.
        ++m_server.m_refusedMessages;
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
  } else {
    if (m_relayedInChunk) waitForRoom();
    throttle();
  }
  return length;
}

GameServerConnection::After GameServerConnection::dispatch(std::uint16_t id, std::unique_lock<ServerLock>& lock) {
  GameServer& s = m_server;
  auto skip = [&s] {
    ++s.m_droppedMessages;
    return After::Continue;
  };
  auto seatedIn = [this](int slot) { return holdsSeat() && m_slot == slot; };
  switch (id) {
    case net::kHost: {
      // A connection being ended (evicted, dropped) takes no seat.
      if (m_dropped.load()) return After::Close;
      // The game hosts its own relay through 127.0.0.1; another machine
      // may only join, or the first to reach the port would lead every
      // game here.
      const bool local = peerAddress() == wsa::htonl(INADDR_LOOPBACK_WS);
      if (!local) ++s.m_refusedMessages;
      if (s.m_players[0] || !local) {
        return refuse();
      }
      s.m_store.clear();
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
      if (m_dropped.load()) return After::Close;
      if (!s.m_players[0] || s.m_locked) {
        return refuse();
      }
      // Seated already: one connection must never hold two slots.
      if (!holdsSeat()) {
        int slot = -1;
        for (int i = 0; i < kMaxPlayers && slot < 0; ++i)
          if (!s.m_players[i]) slot = i;
        if (slot < 0) {
          return refuse();
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
      // The slot is freed under the lock, and what the player left behind
      // goes with it, before a newcomer can take the slot and write; close
      // announces the departure.
      if (holdsSeat()) {
        s.m_players[m_slot] = nullptr;
        if (!s.m_locked) s.m_store.forget(m_slot);
      }
      return After::Close;
    case net::kReserved: {
      std::uint8_t ignored;
      if (!m_queue.readU8(ignored)) return skip();
      return After::Continue;
    }
    case net::kRequestValues:
      // The game's values are for its players. The dump is shared by
      // reference and built outside the lock by whoever sends it first.
      if (!holdsSeat()) {
        ++s.m_refusedMessages;
        return After::Continue;
      }
      queueDump(s.m_store.dump());
      m_selfPending = true;
      return After::Continue;
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
  // Past the store's bound the update is still relayed, only not stored.
  m_server.m_store.store(id, message + net::kHeaderSize, static_cast<std::size_t>(length - net::kHeaderSize), m_slot);
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

GameServerConnection::After GameServerConnection::waitInBarrier(std::uint32_t token,
                                                                std::unique_lock<ServerLock>& lock) {
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
      if (dropLaggards(token)) continue;
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

bool GameServerConnection::dropLaggards(std::uint32_t token) {
  GameServer& s = m_server;
  if (!holdsSeat()) return false;
  int waiting = 0, lagging = 0;
  for (GameServerConnection* p : s.m_players) {
    if (!p) continue;
    if (p->m_barrierToken == token && !p->m_barrierReleased)
      ++waiting;
    else
      ++lagging;
  }
  const GameServerConnection* host = s.m_players[0];
  const bool hostWaits = host && host->m_barrierToken == token && !host->m_barrierReleased;
  if (host && !hostWaits) return false;
  if (waiting < lagging || (waiting == lagging && !host)) return false;
  for (GameServerConnection*& p : s.m_players) {
    if (!p || (p->m_barrierToken == token && !p->m_barrierReleased)) continue;
    // The seat is freed now, so the waiters are released at once; the
    // laggard keeps its seated mark until its thread ends, which announces
    // its departure as any leave.
    p->drop("did not reach the barrier in time");
    p = nullptr;
  }
  s.m_barrierChanged.notify_all();
  return true;
}

GameServerConnection::After GameServerConnection::refuse() {
  m_writeData.begin(net::kRefused);
  sendToSelf();
  return After::Close;
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
  // A player that said it leaves gave its slot up already, and a newcomer
  // may hold it now: that one's values stay.
  const bool heldSlot = holdsSeat();
  for (auto& p : s.m_players)
    if (p == this) p = nullptr;
  if (m_seated) {
    // Unlocked, nobody is told; the next players must not get what this
    // one left behind.
    if (heldSlot && !s.m_locked) s.m_store.forget(m_slot);
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

GameServer::GameServer() { m_owners.fill(kAnySeat); }

void GameServer::setValueOwners(const ValueOwners& owners) {
  std::lock_guard lock(m_lock);
  m_owners = owners;
}

bool GameServer::mayWrite(int slot, std::uint16_t id) const {
  if (id >= m_owners.size()) return false;
  const int owner = m_owners[id];
  if (owner < 0 || owner == slot) return true;
  return slot == 0 && (owner >= kMaxPlayers || !m_players[owner]);
}

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
  return m_store.value(id);
}

std::size_t GameServer::storedBytes() {
  std::lock_guard lock(m_lock);
  return m_store.totalBytes();
}

bool GameServer::makeRoom() {
  // Connections are listed in the order they were accepted. The server
  // thread calls this and is the only one that frees connections, so the
  // one chosen lives on after the lock is released.
  GameServerConnection* oldest = nullptr;
  forEachConnection([&](NetServerConnection& c) {
    if (oldest) return;
    auto& g = static_cast<GameServerConnection&>(c);
    std::lock_guard lock(m_lock);
    // Marked under the lock, so it can no longer take a seat.
    if (!g.m_seated && !g.m_dropped.load() && g.isConnected()) {
      g.m_dropped = true;
      oldest = &g;
    }
  });
  if (oldest) oldest->evict();
  return oldest != nullptr;
}

// --- the server thread ---

DWORD serverThreadProc(GameServer& server, WORD port, const std::atomic<bool>& running) {
  bool reported = false;
  while (running.load()) {
    server.closeIdleConnections();
    const AcceptPass pass = acceptLoop(server, port);
    if (pass != AcceptPass::Failed) continue;
    if (server.getSocket() != INVALID_SOCKET) {
      // A failing accept (out of descriptors, say) must not spin; a
      // connection turned away is no failure and costs no wait.
      Sleep(10);
      continue;
    }
    if (!reported) {
      trace("cannot listen on port %u, retrying", static_cast<unsigned>(port));
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
    trace("the server took %lld ms to stop",
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
