// The client side of network play.
#include "net/net_control.h"

#include <algorithm>
#include <chrono>

#include "foundation/byte_fields.h"
#include "foundation/report.h"
#include "platform/system/system.h"

NetControl& NetControl::getInstance() {
  static NetControl instance;
  return instance;
}

NetControl::NetControl() = default;

NetControl::~NetControl() {
  // The receive thread uses this object's members: end it while they live.
  detach();
}

void NetControl::addValue(NetValueBase* value) {
  std::lock_guard lock(m_lock);
  m_netValue.push_back(value);
  m_byIdStale = true;
}

void NetControl::removeValue(NetValueBase* value) {
  std::lock_guard lock(m_lock);
  auto it = std::find(m_netValue.begin(), m_netValue.end(), value);
  if (it != m_netValue.end()) m_netValue.erase(it);
  m_byIdStale = true;
}

void NetControl::valueIdChanged() {
  std::lock_guard lock(m_lock);
  m_byIdStale = true;
}

NetValueBase* NetControl::receiverOf(int id) {
  if (m_byIdStale) {
    m_byId.assign(net::kValueIdCount, nullptr);
    for (NetValueBase* v : m_netValue) {
      const int valueId = v->getId();
      if (valueId >= 0 && valueId < net::kValueIdCount && !m_byId[static_cast<std::size_t>(valueId)])
        m_byId[static_cast<std::size_t>(valueId)] = v;
    }
    m_byIdStale = false;
  }
  return id >= 0 && id < net::kValueIdCount ? m_byId[static_cast<std::size_t>(id)] : nullptr;
}

NetValueBase* NetControl::getValueId(int id) const {
  for (NetValueBase* v : m_netValue)
    if (v->getId() == id) return v;
  return nullptr;
}

void NetControl::update() {
  if (!isConnected()) return;
  std::vector<std::uint8_t> out;
  {
    std::lock_guard lock(m_lock);
    m_writeData.clear();
    std::uint8_t bytes[net::kMaxMessageLength];
    for (NetValueBase* v : m_netValue) {
      const int id = v->getId();
      // Control ids would be taken for protocol messages by the relay.
      if (!(v->getFlags() & kNetSendChanges) || !v->isDirty() || !isSendableNetId(id)) continue;
      const int size = v->size();
      if (size < 0 || size > net::kMaxMessageLength - net::kHeaderSize) continue;
      v->writeWire(bytes);
      m_writeData.begin(static_cast<std::uint16_t>(id));
      m_writeData.writeBytes(bytes, static_cast<std::size_t>(size));
      m_writeData.end();
      g_log.printf("writenid: %d size: %d\n", id, size + net::kHeaderSize);
    }
    out.assign(m_writeData.data(), m_writeData.data() + m_writeData.size());
    m_writeData.clear();
    for (NetValueBase* v : m_netValue) v->commit();
  }
  // All of a frame's values go out in one send, after the lock is released:
  // while the relay pushes data back at us, our receive thread must be able
  // to drain it, or both sides could wait on full socket buffers.
  if (!out.empty()) sendBytes(out.data(), out.size());
}

bool NetControl::sendBytes(const std::uint8_t* data, std::size_t size) {
  if (send(data, static_cast<int>(size), kSendTimeoutMs) == static_cast<int>(size)) return true;
  // The connection is lost: the receive thread ends on the shut socket and
  // the game sees it as gone.
  shutdownSocket();
  m_connected = 0;
  {
    std::lock_guard lock(m_lock);
    m_replied.notify_all();
  }
  return false;
}

void NetControl::leave() {
  if (isConnected()) sendMessage(net::kLeave, nullptr, 0);
  m_state = kStateLeft;
  disconnect();
}

void NetControl::onDisconnect() {
  m_seated = false;
  // Wakes anyone waiting for a reply that will not come.
  std::lock_guard lock(m_lock);
  m_replied.notify_all();
}

int NetControl::onReceive(const std::uint8_t* data, int length) {
  std::unique_lock lock(m_lock);
  if (!isConnected() || length <= 0) return length;
  m_queue.append(data, static_cast<std::size_t>(length));
  for (;;) {
    const auto front = m_queue.front();
    if (front == net::MessageQueue::Front::None) break;
    if (front == net::MessageQueue::Front::Malformed) {
      ++m_droppedConnections;
      g_log.line("relay stream broken: message length out of range");
      m_queue.clear();
      lock.unlock();
      close();
      return length;
    }
    std::uint16_t id = 0;
    m_queue.readU16(id);
    bool ok = true;
    switch (id) {
      case net::kAccepted: {
        // Only an answer to this machine's own request, with a real slot,
        // may seat it: the race indexes the player table with the slot.
        std::uint8_t slot;
        ok = m_queue.readU8(slot) && m_requestPending && slot < net::kPlayerSlots;
        if (ok) {
          m_playerSlot = slot;
          m_seated = true;
          m_accepted = true;
          m_requestPending = false;
        }
        break;
      }
      case net::kRefused:
        ok = m_requestPending;
        if (ok) {
          m_refused = true;
          m_requestPending = false;
        }
        break;
      case net::kLeave: {
        std::uint8_t slot;
        if (!m_queue.readU8(slot)) {
          ok = false;
          break;
        }
        m_state = slot == 0 ? kStateHostLeft : kStatePlayerLeft;
        ++m_messagesRead;
        g_log.printf("readnid: %d size: %d\n", id, m_queue.readLen());
        m_queue.clear();
        m_replied.notify_all();
        lock.unlock();
        close();
        return length;
      }
      case net::kValuesEnded:
        ok = m_dumpPending;
        if (ok) {
          m_valuesEnded = true;
          m_dumpPending = false;
        }
        break;
      case net::kBarrier: {
        std::uint32_t token;
        ok = m_queue.readU32(token);
        if (ok) {
          m_barrierToken = token;
          ++m_barrierReleases;
        }
        break;
      }
      default: {
        NetValueBase* value = receiverOf(id);
        if (!value) {
          g_log.printf("value not present: %d\n", id);
          break;
        }
        // A payload of another size would overrun the value: drop it.
        const int chunk = m_queue.readChunkSize();
        ok = chunk == value->size() && value->setReceived(m_queue.messageData() + net::kHeaderSize, chunk);
        break;
      }
    }
    if (!ok) ++m_droppedMessages;
    g_log.printf("readnid: %d size: %d\n", id, m_queue.readLen());
    m_queue.endMessage();
    ++m_messagesRead;
  }
  m_replied.notify_all();
  return length;
}

bool NetControl::sendMessage(std::uint16_t id, const std::uint8_t* payload, std::size_t size) {
  net::MessageWriter writer;
  writer.begin(id);
  writer.writeBytes(payload, size);
  if (!writer.end()) return false;
  g_log.printf("writenid: %d size: %d\n", id, static_cast<int>(writer.size()));
  return sendBytes(writer.data(), writer.size());
}

template <class Ready>
bool NetControl::waitFor(Ready ready, DWORD timeoutMs) {
  std::unique_lock lock(m_lock);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!ready()) {
    if (!isConnected()) return ready();
    if (m_replied.wait_until(lock, deadline) == std::cv_status::timeout) return ready();
  }
  return true;
}

void NetControl::resetSession() {
  std::lock_guard lock(m_lock);
  m_queue.clear();
  m_accepted = m_refused = m_valuesEnded = false;
  m_requestPending = m_dumpPending = false;
  m_barrierToken = 0;
  m_barrierReleases = 0;
  m_playerSlot = 0;
  m_seated = false;
  m_state = kStateInitial;
}

bool NetControl::connect(const char* address, WORD port, DWORD timeoutMs) {
  detach();
  resetSession();
  SOCKADDR_IN to;
  to.sin_family = AF_INET_WS;
  to.sin_port = wsa::htons(port);
  to.sin_addr = wsa::inet_addr(address);
  if (to.sin_addr == INADDR_NONE_WS) return false;
  const SOCKET s = wsa::socket(AF_INET_WS, SOCK_STREAM_WS, IPPROTO_TCP_WS);
  if (s == INVALID_SOCKET) return false;
  const int one = 1;
  wsa::setsockopt(s, IPPROTO_TCP_WS, TCP_NODELAY_WS, reinterpret_cast<const char*>(&one), sizeof one);
  if (wsa::connectTimeout(s, &to, timeoutMs) == SOCKET_ERROR) {
    wsa::closesocket(s);
    return false;
  }
  return attach(s);
}

NetControl::JoinResult NetControl::request(const char* address, WORD port, std::uint16_t id, DWORD timeoutMs) {
  if (!connect(address, port, timeoutMs)) return JoinResult::ConnectFailed;
  {
    std::lock_guard lock(m_lock);
    m_requestPending = true;
  }
  if (!sendMessage(id, nullptr, 0)) {
    detach();
    return JoinResult::ConnectFailed;
  }
  waitFor([this] { return m_accepted || m_refused; }, timeoutMs);
  bool accepted, refused;
  {
    std::lock_guard lock(m_lock);
    accepted = m_accepted;
    refused = m_refused;
  }
  if (accepted && isConnected()) return JoinResult::Accepted;
  detach();
  resetSession();
  if (refused) return JoinResult::Refused;
  return accepted ? JoinResult::ConnectFailed : JoinResult::TimedOut;
}

void NetControl::expectJoinReply() {
  std::lock_guard lock(m_lock);
  m_requestPending = true;
}

NetControl::JoinResult NetControl::hostGame(const char* address, WORD port, DWORD timeoutMs) {
  return request(address, port, net::kHost, timeoutMs);
}

NetControl::JoinResult NetControl::joinGame(const char* address, WORD port, DWORD timeoutMs) {
  return request(address, port, net::kJoin, timeoutMs);
}

bool NetControl::requestValues(DWORD timeoutMs) {
  {
    std::lock_guard lock(m_lock);
    m_valuesEnded = false;
    m_dumpPending = true;
  }
  if (!sendMessage(net::kRequestValues, nullptr, 0)) return false;
  return waitFor([this] { return m_valuesEnded; }, timeoutMs);
}

bool NetControl::setLocked(bool locked) {
  const std::uint8_t value = locked ? 1 : 0;
  return sendMessage(net::kLock, &value, 1);
}

bool NetControl::barrier(std::uint32_t token, DWORD timeoutMs) {
  std::uint64_t before;
  {
    std::lock_guard lock(m_lock);
    before = m_barrierReleases;
  }
  std::uint8_t payload[4];
  FieldWriter(payload, sizeof payload).u32(token);
  if (!sendMessage(net::kBarrier, payload, 4)) return false;
  return waitFor([&] { return m_barrierReleases != before && m_barrierToken == token; }, timeoutMs);
}

bool NetControl::updateUntil(const std::function<bool()>& ready, DWORD timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    update();
    if (ready()) return true;
    if (!isConnected() || std::chrono::steady_clock::now() >= deadline) return false;
    Sleep(1);
  }
}
