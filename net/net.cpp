// Socket classes and the accept step of the server thread.
#include "net/net.h"

#include <algorithm>
#include <cstdio>

int Net::onReceive(const std::uint8_t*, int) { return 0; }

int Net::send(const void* data, int length, DWORD timeoutMs) {
  const char* bytes = static_cast<const char*>(data);
  const int sent = timeoutMs == INFINITE ? wsa::send(m_socket.load(), bytes, length, 0)
                                         : wsa::sendTimeout(m_socket.load(), bytes, length, timeoutMs);
  if (sent == SOCKET_ERROR) return 0;
  m_sent1 += static_cast<std::uint64_t>(sent);
  m_sent2 += static_cast<std::uint64_t>(sent);
  return sent;
}

int Net::sendNow(const void* data, int length) {
  const int sent = wsa::sendNow(m_socket.load(), static_cast<const char*>(data), length);
  if (sent == SOCKET_ERROR) return -1;
  m_sent1 += static_cast<std::uint64_t>(sent);
  m_sent2 += static_cast<std::uint64_t>(sent);
  return sent;
}

void Net::shutdownSocket() {
  const SOCKET s = m_socket.load();
  if (s != INVALID_SOCKET) wsa::shutdown(s, SD_BOTH);
}

void Net::disconnect() {
  onDisconnect();
  shutdownSocket();
  m_connected = 0;
}

void Net::endConnection() {
  m_connected = 0;
  m_stopReceiving = true;
}

bool Net::startReceiveThread() {
  if (m_thread.running()) return false;
  m_stopReceiving = false;
  return m_thread.start([this] { receiveLoop(); });
}

void Net::receiveLoop() {
  std::uint8_t buffer[4096] = {};
  const SOCKET s = m_socket.load();
  while (!m_stopReceiving.load()) {
    const int n = wsa::recv(s, reinterpret_cast<char*>(buffer), sizeof buffer, 0);
    if (n == 0 || n == SOCKET_ERROR) break;
    m_received1 += static_cast<std::uint64_t>(n);
    m_received2 += static_cast<std::uint64_t>(n);
    onReceive(buffer, n);
  }
  if (!m_stopReceiving.load()) {
    onDisconnect();
    m_connected = 0;
    close();
  }
}

namespace {

// Version 2.2 or nothing: an older stack is released again at once.
bool startWinsock() {
  WSADATA data;
  if (wsa::WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
  if (data.wVersion == MAKEWORD(2, 2)) return true;
  wsa::WSACleanup();
  return false;
}

}  // namespace

// --- NetServer ---

NetServer::NetServer() : m_winsock(startWinsock()) {}

NetServer::~NetServer() {
  closeConnections();
  std::lock_guard lock(m_socketMutex);
  const SOCKET s = m_socket.exchange(INVALID_SOCKET);
  if (s != INVALID_SOCKET) wsa::closesocket(s);
  if (m_winsock) wsa::WSACleanup();
}

void NetServer::close() {
  std::lock_guard lock(m_socketMutex);
  shutdownSocket();
}

std::unique_ptr<NetServerConnection> NetServer::createConnection(SOCKET s) {
  return std::make_unique<NetServerConnection>(s);
}

void NetServer::adopt(std::unique_ptr<NetServerConnection> connection, DWORD address) {
  if (!connection) return;
  NetServerConnection* c = connection.get();
  c->m_peerAddress = address;
  {
    std::lock_guard lock(m_connectionsMutex);
    m_connections.push_back(std::move(connection));
  }
  c->onConnect(address);
  if (!c->start()) {
    // No thread for it: the connection ends here and is freed at once.
    std::unique_ptr<NetServerConnection> lost;
    {
      std::lock_guard lock(m_connectionsMutex);
      auto it = std::find_if(m_connections.begin(), m_connections.end(), [c](const auto& p) { return p.get() == c; });
      if (it != m_connections.end()) {
        lost = std::move(*it);
        m_connections.erase(it);
      }
    }
    if (lost) {
      lost->onDisconnect();
      lost->m_connected = 0;
    }
  }
}

std::size_t NetServer::reapConnections() {
  std::vector<std::unique_ptr<NetServerConnection>> done;
  std::size_t left = 0;
  {
    std::lock_guard lock(m_connectionsMutex);
    auto split =
        std::stable_partition(m_connections.begin(), m_connections.end(), [](const auto& c) { return !c->finished(); });
    std::move(split, m_connections.end(), std::back_inserter(done));
    m_connections.erase(split, m_connections.end());
    left = m_connections.size();
  }
  for (auto& c : done) c->join();
  return left;
}

void NetServer::closeConnections() {
  std::vector<std::unique_ptr<NetServerConnection>> all;
  {
    std::lock_guard lock(m_connectionsMutex);
    all.swap(m_connections);
  }
  for (auto& c : all) c->shutdownSocket();
  for (auto& c : all) c->join();
}

void NetServer::shutdownConnections() {
  std::lock_guard lock(m_connectionsMutex);
  for (auto& c : m_connections) c->shutdownSocket();
}

void NetServer::forEachConnection(const std::function<void(NetServerConnection&)>& f) {
  std::lock_guard lock(m_connectionsMutex);
  for (auto& c : m_connections) f(*c);
}

std::size_t NetServer::connectionCount() {
  std::lock_guard lock(m_connectionsMutex);
  return m_connections.size();
}

namespace {

// Connections one pass takes at most once the first has come, so that the
// server thread's other work (closing idle connections) still runs while
// a flood goes on.
constexpr int kAcceptsPerPass = 256;

}  // namespace

void NetServer::take(SOCKET accepted, DWORD address) {
  // Each connection costs threads; a flood of them is turned away, and one
  // machine cannot take the whole table. A full table makes room for the
  // newcomer where the server can spare a connection.
  std::size_t fromPeer = 0;
  forEachConnection([&](NetServerConnection& c) { fromPeer += c.peerAddress() == address; });
  if (fromPeer >= m_maxPerAddress.load() || (connectionCount() >= kMaxServerConnections && !makeRoom())) {
    wsa::closesocket(accepted);
    return;
  }
  const int one = 1;
  wsa::setsockopt(accepted, IPPROTO_TCP_WS, TCP_NODELAY_WS, reinterpret_cast<const char*>(&one), sizeof one);
  adopt(createConnection(accepted), address);
}

AcceptPass acceptLoop(NetServer& server, WORD port, DWORD acceptTimeoutMs) {
  auto drop = [&server] {
    std::lock_guard lock(server.m_socketMutex);
    const SOCKET s = server.m_socket.exchange(INVALID_SOCKET);
    if (s != INVALID_SOCKET) wsa::closesocket(s);
    server.m_listening = false;
    server.m_boundPort = 0;
    return AcceptPass::Failed;
  };

  SOCKADDR_IN address;
  address.sin_family = AF_INET_WS;
  address.sin_port = wsa::htons(port);
  address.sin_addr = INADDR_ANY_WS;

  if (server.m_socket.load() == INVALID_SOCKET) {
    const SOCKET s = wsa::socket(AF_INET_WS, SOCK_STREAM_WS, IPPROTO_TCP_WS);
    if (s == INVALID_SOCKET) return AcceptPass::Failed;
    const int one = 1;
    wsa::setsockopt(s, SOL_SOCKET_WS, SO_REUSEADDR_WS, reinterpret_cast<const char*>(&one), sizeof one);
    {
      std::lock_guard lock(server.m_socketMutex);
      server.m_socket = s;
    }
    // A socket that failed to bind must not reach listen: Linux would give
    // it a random port of its own.
    if (wsa::bind(s, &address) == SOCKET_ERROR) return drop();
  }
  const SOCKET s = server.m_socket.load();
  if (!server.m_listening) {
    const int one = 1;
    wsa::setsockopt(s, IPPROTO_TCP_WS, TCP_NODELAY_WS, reinterpret_cast<const char*>(&one), sizeof one);
    if (wsa::listen(s, SOMAXCONN_WS) == SOCKET_ERROR) return drop();
    server.m_listening = true;
    SOCKADDR_IN bound;
    if (wsa::getsockname(s, &bound) == 0) server.m_boundPort = wsa::ntohs(bound.sin_port);
  }

  server.reapConnections();
  SOCKADDR_IN peer;
  SOCKET accepted = wsa::acceptTimeout(s, &peer, acceptTimeoutMs);
  if (accepted == INVALID_SOCKET) return wsa::WSAGetLastError() == WSAETIMEDOUT ? AcceptPass::Idle : AcceptPass::Failed;
  // Whatever else is queued is taken (or turned away) at once: a newcomer
  // queued behind a flood must not wait for the flood a pass at a time.
  for (int taken = 0; accepted != INVALID_SOCKET && taken < kAcceptsPerPass; ++taken) {
    server.take(accepted, peer.sin_addr);
    accepted = taken + 1 < kAcceptsPerPass ? wsa::acceptTimeout(s, &peer, 0) : INVALID_SOCKET;
  }
  return AcceptPass::Took;
}

// --- NetClient ---

NetClient::NetClient() : m_winsock(startWinsock()) {}

NetClient::~NetClient() {
  detach();
  if (m_winsock) wsa::WSACleanup();
}

void NetClient::close() {
  onDisconnect();
  shutdownSocket();
  endConnection();
}

bool NetClient::attach(SOCKET s) {
  detach();
  m_socket = s;
  m_connected = 1;
  if (!startReceiveThread()) {
    detach();
    return false;
  }
  return true;
}

void NetClient::detach() {
  shutdownSocket();
  joinReceiveThread();
  m_connected = 0;
  const SOCKET s = m_socket.exchange(INVALID_SOCKET);
  if (s != INVALID_SOCKET) wsa::closesocket(s);
}

// --- NetServerConnection ---

NetServerConnection::NetServerConnection(SOCKET s) {
  m_socket = s;
  m_connected = 1;
}

NetServerConnection::~NetServerConnection() {
  // The server joins the receive thread before freeing a connection; this
  // is a last guard for connections that were never adopted.
  shutdownSocket();
  joinReceiveThread();
  const SOCKET s = m_socket.exchange(INVALID_SOCKET);
  if (s != INVALID_SOCKET) wsa::closesocket(s);
}

void NetServerConnection::close() {
  onDisconnect();
  shutdownSocket();
  endConnection();
}

void NetServerConnection::onConnect(DWORD) {}
