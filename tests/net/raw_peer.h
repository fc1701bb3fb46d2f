// A bare protocol peer for tests: a loopback socket that sends hand-made
// bytes and reads messages back with a timeout.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "net/message.h"
#include "platform/net/winsock.h"
#include "platform/system/system.h"
#include "tests/support/eventually.h"

struct Message {
  std::uint16_t id = 0;
  std::vector<std::uint8_t> payload;
};

inline std::vector<std::uint8_t> frame(std::uint16_t id, const std::vector<std::uint8_t>& payload = {}) {
  net::MessageWriter w;
  w.begin(id);
  w.writeBytes(payload.data(), payload.size());
  w.end();
  return std::vector<std::uint8_t>(w.data(), w.data() + w.size());
}

inline std::vector<std::uint8_t> u32(std::uint32_t v) {
  return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16),
          static_cast<std::uint8_t>(v >> 24)};
}

class RawPeer {
 public:
  RawPeer() {
    WSADATA data;
    wsa::WSAStartup(MAKEWORD(2, 2), &data);
  }
  // Connects from `from` (a loopback address such as "127.0.0.2", so one
  // machine can stand for several) or from any address.
  explicit RawPeer(WORD port, const char* from = nullptr) : RawPeer() { connect(port, from); }
  // Wraps a socket accepted by a test's own listening socket.
  static RawPeer adopt(SOCKET s) {
    RawPeer p;
    p.m_socket = s;
    p.setTimeout();
    return p;
  }
  RawPeer(RawPeer&& o) noexcept : m_socket(o.m_socket), m_queue(std::move(o.m_queue)) { o.m_socket = INVALID_SOCKET; }
  ~RawPeer() {
    close();
    wsa::WSACleanup();
  }

  bool connect(WORD port, const char* from = nullptr) {
    close();
    m_socket = wsa::socket(AF_INET_WS, SOCK_STREAM_WS, IPPROTO_TCP_WS);
    if (from) {
      SOCKADDR_IN local;
      local.sin_addr = wsa::inet_addr(from);
      if (wsa::bind(m_socket, &local) != 0) return false;
    }
    SOCKADDR_IN to;
    to.sin_port = wsa::htons(port);
    to.sin_addr = wsa::htonl(INADDR_LOOPBACK_WS);
    if (wsa::connect(m_socket, &to) != 0) return false;
    const int one = 1;
    wsa::setsockopt(m_socket, IPPROTO_TCP_WS, TCP_NODELAY_WS, reinterpret_cast<const char*>(&one), sizeof one);
    setTimeout();
    return true;
  }
  void close() {
    if (m_socket != INVALID_SOCKET) wsa::closesocket(m_socket);
    m_socket = INVALID_SOCKET;
  }

  bool sendRaw(const std::vector<std::uint8_t>& bytes) {
    return wsa::send(m_socket, reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()), 0) ==
           static_cast<int>(bytes.size());
  }
  bool send(std::uint16_t id, const std::vector<std::uint8_t>& payload = {}) { return sendRaw(frame(id, payload)); }

  // The next whole message, or nothing after `timeoutMs` or when the peer
  // closed.
  std::optional<Message> next(int timeoutMs = 3000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      if (m_queue.front() == net::MessageQueue::Front::Ready) {
        Message m;
        m_queue.readU16(m.id);
        m.payload.resize(static_cast<std::size_t>(m_queue.readChunkSize()));
        m_queue.readBytes(m.payload.data(), m.payload.size());
        m_queue.endMessage();
        return m;
      }
      if (std::chrono::steady_clock::now() >= deadline || !receiveSome()) return std::nullopt;
    }
  }
  // True when the other end closed the connection within `timeoutMs`.
  bool closedByPeer(int timeoutMs = 3000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
      char b[512];
      const int n = wsa::recv(m_socket, b, sizeof b, 0);
      if (n == 0) return true;
      if (n < 0 && wsa::WSAGetLastError() != WSAEWOULDBLOCK) return true;
    }
    return false;
  }
  // Nothing arrives for `ms` (the connection may stay open).
  bool silentFor(int ms) { return !next(ms).has_value(); }
  // Reads at most `count` raw bytes (a slow reader); false once closed.
  bool readSome(int count) {
    char b[4096];
    const int n = wsa::recv(m_socket, b, count < 4096 ? count : 4096, 0);
    return n > 0 || (n < 0 && wsa::WSAGetLastError() == WSAEWOULDBLOCK);
  }
  // True once a read found the connection closed by the other end.
  bool closed() const { return m_closed.load(); }

  SOCKET socket() const { return m_socket; }

 private:
  void setTimeout() {
    const int ms = 50;
    wsa::setsockopt(m_socket, SOL_SOCKET_WS, SO_RCVTIMEO_WS, reinterpret_cast<const char*>(&ms), sizeof ms);
  }
  bool receiveSome() {
    char b[4096];
    const int n = wsa::recv(m_socket, b, sizeof b, 0);
    if (n > 0) m_queue.append(reinterpret_cast<std::uint8_t*>(b), static_cast<std::size_t>(n));
    if (n == 0 || (n < 0 && wsa::WSAGetLastError() != WSAEWOULDBLOCK)) {
      m_closed = true;
      return false;
    }
    return true;  // data or a read timeout: keep waiting until the deadline
  }

  SOCKET m_socket = INVALID_SOCKET;
  net::MessageQueue m_queue;
  // Read by a test while the peer's own thread reads the socket.
  std::atomic<bool> m_closed{false};
};

// A listening socket on a free loopback port that stands in for the relay:
// a client connects to port(), and accept() hands the server's end over as
// a RawPeer. ok() says whether the socket listens.
class LoopbackListener {
 public:
  LoopbackListener() {
    WSADATA data;
    wsa::WSAStartup(MAKEWORD(2, 2), &data);
    m_socket = wsa::socket(AF_INET_WS, SOCK_STREAM_WS, IPPROTO_TCP_WS);
    SOCKADDR_IN any;
    any.sin_addr = wsa::htonl(INADDR_LOOPBACK_WS);
    SOCKADDR_IN bound;
    m_ok = wsa::bind(m_socket, &any) == 0 && wsa::listen(m_socket, 4) == 0 && wsa::getsockname(m_socket, &bound) == 0;
    if (m_ok) m_port = wsa::ntohs(bound.sin_port);
  }
  ~LoopbackListener() {
    wsa::closesocket(m_socket);
    wsa::WSACleanup();
  }
  LoopbackListener(const LoopbackListener&) = delete;
  LoopbackListener& operator=(const LoopbackListener&) = delete;

  bool ok() const { return m_ok; }
  WORD port() const { return m_port; }
  SOCKET socket() const { return m_socket; }
  // The next connection within `timeoutMs`; a peer whose socket() is
  // INVALID_SOCKET when none came.
  RawPeer accept(DWORD timeoutMs = 3000) { return RawPeer::adopt(wsa::acceptTimeout(m_socket, nullptr, timeoutMs)); }

 private:
  SOCKET m_socket = INVALID_SOCKET;
  bool m_ok = false;
  WORD m_port = 0;
};

// Hosts or joins and returns the slot the relay gave, -1 when refused.
inline int seat(RawPeer& peer, std::uint16_t id) {
  peer.send(id);
  auto m = peer.next();
  if (!m || m->id != net::kAccepted || m->payload.size() != 1) return -1;
  return m->payload[0];
}
