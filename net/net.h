// TCP socket classes with one receive thread per connected socket. The
// thread hands each received chunk to onReceive and ends the connection when
// the peer closes. The relay server uses NetServer and NetServerConnection;
// the client side derives from NetClient. IPv4 only.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/net/winsock.h"
#include "platform/system/threads.h"

class Net {
 public:
  Net() = default;
  virtual ~Net() = default;
  Net(const Net&) = delete;
  Net& operator=(const Net&) = delete;

  // Called on the receive thread with each chunk; message boundaries are not
  // preserved.
  virtual int onReceive(const std::uint8_t* data, int length);
  // The connection ended or is being closed.
  virtual void onDisconnect() {}
  virtual bool isConnected() const { return m_connected.load() != 0; }

  std::uint64_t getBytesReceived64() const { return m_received2.load(); }
  std::uint64_t getBytesSent64() const { return m_sent2.load(); }
  std::uint64_t getBytesTotal64() const { return getBytesReceived64() + getBytesSent64(); }
  DWORD getBytesReceived() const { return static_cast<DWORD>(m_received1.load()); }
  DWORD getBytesSent() const { return static_cast<DWORD>(m_sent1.load()); }
  DWORD getBytesTotal() const { return getBytesReceived() + getBytesSent(); }

  // Ends the connection from its own receive thread: the receive loop stops
  // after the current onReceive returns.
  virtual void close() = 0;

  // One blocking send of the whole buffer; with a timeout, every byte must
  // be queued before it passes. Returns the bytes sent, 0 when the send
  // failed or timed out (the data is then lost).
  int send(const void* data, int length, DWORD timeoutMs = INFINITE);
  // Queues what the socket takes at once without waiting: the bytes queued
  // (0 when its buffer is full), -1 when the send failed.
  int sendNow(const void* data, int length);
  // onDisconnect, then shuts the socket down both ways; the socket stays
  // open until the object is destroyed.
  void disconnect();

  SOCKET getSocket() const { return m_socket.load(); }

 protected:
  // Starts the receive thread over the current socket. Call only once the
  // object is completely constructed, so its first onReceive reaches the
  // derived class.
  bool startReceiveThread();
  // Waits for the receive thread to end and joins it.
  void joinReceiveThread() { m_thread.join(); }
  // Marks the connection closed and stops the receive loop.
  void endConnection();
  void shutdownSocket();
  bool receiveThreadRunning() const { return m_thread.running() && !m_thread.finished(); }
  bool receiveThreadFinished() const { return m_thread.finished(); }
  bool onReceiveThread() const { return m_thread.isCurrent(); }

  std::atomic<SOCKET> m_socket{INVALID_SOCKET};
  std::atomic<std::uint8_t> m_connected{0};

 private:
  void receiveLoop();

  Thread m_thread;
  std::atomic<bool> m_stopReceiving{false};
  // Two copies of each counter, as the 32- and 64-bit readers each have one.
  std::atomic<std::uint64_t> m_received1{0}, m_received2{0}, m_sent1{0}, m_sent2{0};
};

class NetServerConnection;

// What one pass of the server thread did.
enum class AcceptPass {
  Took,    // took or turned away at least one connection
  Idle,    // nobody came within the wait
  Failed,  // the socket, bind, listen or accept failed: the caller backs off
};

// The listening socket and the connections it accepted. The server owns its
// connections: a connection whose receive thread has ended is joined and
// freed by reapConnections, never by its own thread.
class NetServer : public Net {
 public:
  NetServer();
  ~NetServer() override;

  // The server has no receive thread; closing it only shuts the listening
  // socket down, so a waiting accept fails at once. Safe from any thread.
  void close() override;
  virtual std::unique_ptr<NetServerConnection> createConnection(SOCKET s);

  // Takes an accepted connection: onConnect with the peer's address, then
  // its receive thread starts.
  void adopt(std::unique_ptr<NetServerConnection> connection, DWORD address);
  // Joins and frees the connections whose receive thread has ended. Returns
  // how many stay.
  std::size_t reapConnections();
  // Shuts every connection down, waits for their threads and frees them.
  void closeConnections();
  // Shuts every connection's socket down without waiting for anything.
  void shutdownConnections();
  std::size_t connectionCount();
  // Calls `f` for each connection, holding the connection list.
  void forEachConnection(const std::function<void(NetServerConnection&)>& f);

  // The connection table is full when a connection is accepted: a server
  // may end one it can spare, so the newcomer takes its place. True when it
  // did; the base spares none and the newcomer is turned away.
  virtual bool makeRoom() { return false; }

  // Connections one peer address may hold at once; more are closed as soon
  // as they are accepted.
  void setMaxConnectionsPerAddress(std::size_t limit) { m_maxPerAddress = limit; }

  // The port the listening socket is bound to, 0 before it listens.
  WORD boundPort() const { return m_boundPort.load(); }

 private:
  friend AcceptPass acceptLoop(NetServer& server, WORD port, DWORD acceptTimeoutMs);
  // Adopts an accepted socket, or closes it at once when its address holds
  // its share of connections already or the table is full.
  void take(SOCKET accepted, DWORD address);
  bool m_winsock = false;
  bool m_listening = false;  // accept-loop thread only
  // Held while the listening socket is replaced or closed, so close() on
  // another thread never shuts down a descriptor number reused elsewhere.
  std::mutex m_socketMutex;
  std::atomic<WORD> m_boundPort{0};
  std::atomic<std::size_t> m_maxPerAddress{8};
  std::mutex m_connectionsMutex;
  std::vector<std::unique_ptr<NetServerConnection>> m_connections;
};

class NetClient : public Net {
 public:
  NetClient();
  ~NetClient() override;
  // From the receive thread: onDisconnect, shutdown, not connected, and the
  // receive loop ends.
  void close() override;

 protected:
  // Makes `s` (a connected socket) this client's socket and starts the
  // receive thread. A previous connection's thread is joined and its socket
  // closed first. Must not be called on the receive thread.
  bool attach(SOCKET s);
  // Ends the current connection (if any), joins its thread and closes its
  // socket. Must not be called on the receive thread.
  void detach();

 private:
  bool m_winsock = false;
};

class NetServerConnection : public Net {
 public:
  // Takes an accepted socket; connected from here on. The receive thread
  // starts when the server adopts the connection.
  explicit NetServerConnection(SOCKET s);
  ~NetServerConnection() override;
  // From the receive thread: onDisconnect, shutdown, not connected, and the
  // receive loop ends; the server frees the object afterwards.
  void close() override;
  virtual void onConnect(DWORD address);
  // The peer's IPv4 address (network byte order), known from adoption on.
  DWORD peerAddress() const { return m_peerAddress.load(); }
  // For a connection on a socket no listening socket accepted (one end of a
  // socket pair): the address it counts as coming from.
  void setPeerAddress(DWORD address) { m_peerAddress = address; }

 private:
  friend class NetServer;
  std::atomic<DWORD> m_peerAddress{0};
  bool start() { return startReceiveThread(); }
  bool finished() const { return receiveThreadFinished(); }
  void join() { joinReceiveThread(); }
};

// Connections a server keeps open at once (five players and a margin for
// joins in progress); beyond that a newcomer takes the place of one the
// server can spare (makeRoom), or is closed as soon as it is accepted.
inline constexpr std::size_t kMaxServerConnections = 32;

// One pass of the server thread: creates, binds and listens on the
// listening socket when it has none, then waits up to `acceptTimeoutMs` for
// a connection and takes every one already queued behind it. A failed
// socket, bind or listen closes and forgets the socket, so the next pass
// starts afresh on the same port.
AcceptPass acceptLoop(NetServer& server, WORD port, DWORD acceptTimeoutMs = 100);
