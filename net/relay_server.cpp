// The relay server: message handling of its connections, the barrier, and
// the thread that accepts connections.
#include "net/relay_server.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "foundation/report.h"

namespace GameDaemon {

namespace {

// A player whose socket stops draining must not hold the relay (and its
// lock) forever: a send blocked this long fails and drops that player.
constexpr DWORD kSendTimeoutMs = 2000;
// Unsent bytes one player may have waiting before it is dropped: a player
// that stops reading must not make the relay hold everyone's traffic for it
// without bound. Far above what a frame of updates needs.
constexpr std::size_t kMaxQueuedBytes = 1u << 20;
// How long the server thread waits after a failed bind or listen.
constexpr int kBindBackoffMs = 250;

// Every id below 2000 that the server does not handle itself is a value,
// the server's own replies (3, 4, 9) included when a client sends them.
bool isValueUpdate(std::uint16_t id) {
  switch (id) {
    case net::kHost:
    case net::kJoin:
    case net::kLeave:
    case net::kReserved:
    case net::kRequestValues:
    case net::kLock:
    case net::kBarrier:
      return false;
    default:
      return id < net::kValueIdCount;
  }
}

}  // namespace

using net::MessageQueue;

GameServerConnection::GameServerConnection(GameServer& server, SOCKET s) : NetServerConnection(s), m_server(server) {
  const int timeout = static_cast<int>(kSendTimeoutMs);
  wsa::setsockopt(s, SOL_SOCKET_WS, SO_SNDTIMEO_WS, reinterpret_cast<const char*>(&timeout), sizeof timeout);
}

void GameServerConnection::onConnect(DWORD address) {
  m_address = address;
  std::printf("got connection from %x\n", static_cast<unsigned>(address));
  std::fflush(stdout);
}

int GameServerConnection::onReceive(const std::uint8_t* data, int length) {
  std::unique_lock lock(m_server.m_lock);
  // Bytes that follow a message which closed the connection are not read.
  if (!isConnected() || length <= 0) return length;
  m_queue.append(data, static_cast<std::size_t>(length));
  After after = After::Continue;
  for (;;) {
    const MessageQueue::Front front = m_queue.front();
    if (front == MessageQueue::Front::None) break;
    if (front == MessageQueue::Front::Malformed) {
      // Nothing after a broken length can be framed again: drop the peer.
      ++m_server.m_droppedConnections;
      g_log.printf("relay: dropping connection %d: message length out of range\n", m_slot);
      after = After::Close;
      break;
    }
    std::uint16_t id = 0;
    m_queue.readU16(id);
    // Relays wait in m_relay until a message that is not a value update
    // (it may change who the others are, or release the lock) or the end of
    // the chunk; the bytes on each socket are the same as one send per
    // message, in fewer calls.
    if (isValueUpdate(id)) {
      relayValue(id);
      m_queue.endMessage();
      continue;
    }
    // Rare messages: their sends stay under the lock.
    flushRelay();
    sendPending();
    after = dispatch(id, lock);
    m_queue.endMessage();
    if (after == After::Close) break;
  }
  flushRelay();
  if (after == After::Close) m_queue.clear();
  lock.unlock();
  // The relays go out without the lock, so other players' updates are
  // handled meanwhile; the per-socket queues keep every socket's order.
  sendPending();
  if (after == After::Close) close();
  return length;
}

GameServerConnection::After GameServerConnection::dispatch(std::uint16_t id, std::unique_lock<CriticalSection>& lock) {
  GameServer& s = m_server;
  auto skip = [&s] {
    ++s.m_droppedMessages;
    return After::Continue;
  };
  switch (id) {
    case net::kHost: {
      if (s.m_players[0]) {
        m_writeData.begin(net::kRefused);
        sendToSelf();
        return After::Close;
      }
      for (auto& value : s.m_stored) std::vector<std::uint8_t>().swap(value);
      // Connections seated in the old game keep running but hold no slot
      // any more, so their departure cannot be taken for a new player's.
      for (int i = 1; i < kMaxPlayers; ++i) {
        if (s.m_players[i]) s.m_players[i]->m_slot = -1;
        s.m_players[i] = nullptr;
      }
      s.m_locked = false;
      s.m_players[0] = this;
      m_slot = 0;
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
      int slot = -1;
      if (m_slot >= 0 && s.m_players[m_slot] == this) {
        // Seated already: one connection must never hold two slots.
        slot = m_slot;
      } else {
        for (int i = 0; i < kMaxPlayers && slot < 0; ++i)
          if (!s.m_players[i]) slot = i;
        if (slot < 0) {
          m_writeData.begin(net::kRefused);
          sendToSelf();
          return After::Close;
        }
        s.m_players[slot] = this;
        m_slot = slot;
      }
      m_writeData.begin(net::kAccepted);
      m_writeData.writeU8(static_cast<std::uint8_t>(slot));
      sendToSelf();
      s.m_barrierChanged.notify_all();
      return After::Continue;
    }
    case net::kLeave:
      // The slot is freed under the lock; close announces the departure.
      if (m_slot >= 0 && s.m_players[m_slot] == this) s.m_players[m_slot] = nullptr;
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
        m_writeData.end();
        // Keeps the dump's buffer small; the bytes on the wire are the same.
        if (m_writeData.size() >= 64 * 1024) sendToSelf();
      }
      m_writeData.begin(net::kValuesEnded);
      sendToSelf();
      return After::Continue;
    }
    case net::kLock: {
      std::uint8_t locked;
      if (!m_queue.readU8(locked)) return skip();
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
  if (m_relay.size() >= 64 * 1024) flushRelay();
}

void GameServerConnection::flushRelay() {
  if (m_relay.empty()) return;
  // The players are served one after another; each relay starts with the
  // next slot, so the wait for the later sends is shared out evenly.
  const int first = m_server.m_firstRelaySlot;
  m_server.m_firstRelaySlot = (first + 1) % kMaxPlayers;
  for (int i = 0; i < kMaxPlayers; ++i) {
    GameServerConnection* p = m_server.m_players[(first + i) % kMaxPlayers];
    if (!p || p == this) continue;
    p->queueOut(m_relay.data(), m_relay.size());
    ++p->m_pins;
    m_pending.push_back(p);
  }
  m_relay.clear();
}

void GameServerConnection::sendPending() {
  for (GameServerConnection* p : m_pending) {
    p->sendOut();
    --p->m_pins;
  }
  m_pending.clear();
}

void GameServerConnection::queueOut(const std::uint8_t* data, std::size_t size) {
  {
    std::lock_guard out(m_outMutex);
    if (m_out.size() + size <= kMaxQueuedBytes) {
      m_out.insert(m_out.end(), data, data + size);
      return;
    }
    m_out.clear();
  }
  // Dropping part of a stream would leave the player with broken messages.
  g_log.printf("relay: dropping connection %d: too much unsent data\n", m_slot);
  shutdownSocket();
}

void GameServerConnection::sendOut() {
  for (;;) {
    {
      std::unique_lock sending(m_sendMutex, std::try_to_lock);
      if (!sending.owns_lock()) return;  // its holder looks again after unlocking
      for (;;) {
        {
          std::lock_guard out(m_outMutex);
          m_sending.clear();
          m_sending.swap(m_out);
        }
        if (m_sending.empty()) break;
        // A player that cannot take the bytes is dropped rather than left
        // with a broken stream.
        const int size = static_cast<int>(m_sending.size());
        if (send(m_sending.data(), size) != size) shutdownSocket();
      }
    }
    // Bytes queued while this thread held the send lock were left to it.
    std::lock_guard out(m_outMutex);
    if (m_out.empty()) return;
  }
}

GameServerConnection::After GameServerConnection::waitInBarrier(std::uint32_t token,
                                                                std::unique_lock<CriticalSection>& lock) {
  GameServer& s = m_server;
  m_barrierToken = token;
  m_barrierReleased = false;
  s.m_barrierWaiters.push_back(this);
  s.m_barrierChanged.notify_all();
  bool stopped = false;
  while (!m_barrierReleased) {
    if (s.m_stopping) {
      stopped = true;
      break;
    }
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
    // Waiters are woken on every change; the timeout is a safety net.
    s.m_barrierChanged.wait_for(lock, std::chrono::milliseconds(10));
  }
  s.m_barrierWaiters.erase(std::remove(s.m_barrierWaiters.begin(), s.m_barrierWaiters.end(), this),
                           s.m_barrierWaiters.end());
  m_barrierReleased = false;
  m_barrierToken = 0;
  if (stopped) return After::Close;
  m_writeData.begin(net::kBarrier);
  m_writeData.writeU32(token);
  sendToSelf();
  return After::Continue;
}

void GameServerConnection::sendToSelf() {
  m_writeData.end();
  if (!m_writeData.empty()) {
    queueOut(m_writeData.data(), m_writeData.size());
    sendOut();
  }
  m_writeData.clear();
}

void GameServerConnection::onDisconnect() {
  GameServer& s = m_server;
  {
    std::lock_guard lock(s.m_lock);
    for (auto& p : s.m_players)
      if (p == this) p = nullptr;
    if (m_slot >= 0) {
      if (m_slot == 0 || s.m_locked) {
        net::MessageWriter notice;
        notice.begin(net::kLeave);
        notice.writeU8(static_cast<std::uint8_t>(m_slot));
        notice.end();
        for (GameServerConnection* p : s.m_players) {
          if (!p || p == this) continue;
          p->queueOut(notice.data(), notice.size());
          p->sendOut();
        }
      }
      m_slot = -1;
    }
    s.m_barrierChanged.notify_all();
  }
  // No longer seated, so no new pins; the connection may be freed once the
  // threads sending to it are done.
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
  if (!m_server) return true;
  m_running = false;
  m_server->beginStop();
  m_server->close();  // a pending accept fails at once
  const bool inTime = m_thread.wait(timeoutMs) == WAIT_OBJECT_0;
  if (!inTime) {
    reportError("relay server thread did not stop within %u ms", static_cast<unsigned>(timeoutMs));
    m_thread.join();
  }
  m_server->closeConnections();
  m_server.reset();
  return inTime;
}

bool ServerThread::waitListening(DWORD timeoutMs) const {
  for (DWORD waited = 0; port() == 0; waited += 5) {
    if (waited >= timeoutMs) return false;
    Sleep(5);
  }
  return true;
}

}  // namespace GameDaemon
