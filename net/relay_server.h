// The relay server every running game hosts: it seats up to five players
// (slot 0 the host), stores the last payload of every value id and forwards
// each value update to the other players. It also offers a lock against new
// joins, a dump of the stored values and a barrier that holds every player
// until all have reached the same token.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "net/message.h"
#include "net/net.h"
#include "platform/system/system.h"
#include "platform/system/threads.h"

namespace GameDaemon {

inline constexpr WORD kRelayPort = 12726;
inline constexpr int kMaxPlayers = 5;

class GameServer;

class GameServerConnection : public NetServerConnection {
 public:
  GameServerConnection(GameServer& server, SOCKET s);

  int onReceive(const std::uint8_t* data, int length) override;
  void onDisconnect() override;
  void onConnect(DWORD address) override;

  DWORD peerAddress() const { return m_address.load(); }

 private:
  friend class GameServer;
  enum class After { Continue, Close };

  After dispatch(std::uint16_t id, std::unique_lock<CriticalSection>& lock);
  After waitInBarrier(std::uint32_t token, std::unique_lock<CriticalSection>& lock);
  void sendToSelf();
  // Stores a value update and collects it for the other players.
  void relayValue(std::uint16_t id);
  // Queues the collected relays on every occupied slot but this
  // connection's (under the server's lock); those players are pinned until
  // sendPending has sent to them.
  void flushRelay();
  // Sends what flushRelay queued and unpins its players. Needs no lock, so
  // the server's lock is not held across the sends.
  void sendPending();
  // Appends whole messages to this connection's outgoing bytes. Under the
  // server's lock, so each socket carries its messages in the order they
  // were handled.
  void queueOut(const std::uint8_t* data, std::size_t size);
  // Sends the queued bytes, unless another thread is sending on this socket:
  // that one then sends them after its own. Callable with or without the
  // server's lock.
  void sendOut();

  GameServer& m_server;
  // Guarded by the server's lock.
  int m_slot = -1;
  std::uint32_t m_barrierToken = 0;
  bool m_barrierReleased = false;
  std::atomic<DWORD> m_address{0};
  // Receive thread only.
  net::MessageQueue m_queue;
  net::MessageWriter m_writeData;
  std::vector<std::uint8_t> m_relay;
  std::vector<GameServerConnection*> m_pending;

  std::mutex m_outMutex;
  std::vector<std::uint8_t> m_out;  // guarded by m_outMutex
  std::mutex m_sendMutex;
  std::vector<std::uint8_t> m_sending;  // guarded by m_sendMutex
  // Other connections' threads about to send on this one without the
  // server's lock; taken under the lock while this connection is seated.
  // onDisconnect waits for them, so the connection is never freed under a
  // sender.
  std::atomic<int> m_pins{0};
};

class GameServer : public NetServer {
 public:
  GameServer();
  // Connection threads use the state below: they end before it is freed.
  ~GameServer() override { closeConnections(); }
  std::unique_ptr<NetServerConnection> createConnection(SOCKET s) override;

  // Wakes barrier waiters for good and shuts every connection down, so the
  // receive threads end; used when the server stops.
  void beginStop();

  // Snapshots for tracing and tests, taken under the lock.
  int occupiedSlots();
  bool slotOccupied(int slot);
  bool isLocked();
  std::vector<std::uint8_t> storedValue(int id);
  // Connections dropped because their stream could not be parsed, and
  // messages skipped because they were too short for their id.
  std::uint64_t droppedConnections() const { return m_droppedConnections.load(); }
  std::uint64_t droppedMessages() const { return m_droppedMessages.load(); }
  // Updates relayed (one per value message received from a player).
  std::uint64_t relayedUpdates() const { return m_relayedUpdates.load(); }

 private:
  friend class GameServerConnection;
  int occupiedLocked() const;

  // One lock serialises all message handling of all connections.
  CriticalSection m_lock;
  std::condition_variable_any m_barrierChanged;
  GameServerConnection* m_players[kMaxPlayers] = {};
  bool m_locked = false;
  std::vector<std::vector<std::uint8_t>> m_stored;
  bool m_stopping = false;
  std::vector<GameServerConnection*> m_barrierWaiters;
  // The slot that gets the next relay first, so no player is always last.
  int m_firstRelaySlot = 0;
  std::atomic<std::uint64_t> m_droppedConnections{0}, m_droppedMessages{0}, m_relayedUpdates{0};
};

// Accepts connections for `server` on `port` while `running` holds, backing
// off briefly after a failed bind or listen.
DWORD serverThreadProc(GameServer& server, WORD port, const std::atomic<bool>& running);

// Owns the relay server and its thread for the run of the game.
class ServerThread {
 public:
  // Starts listening on `port` (12726 in the game; tests pass 0 for a free
  // port and read it from port()).
  explicit ServerThread(WORD port = kRelayPort);
  ~ServerThread() { stop(); }
  ServerThread(const ServerThread&) = delete;
  ServerThread& operator=(const ServerThread&) = delete;

  // Stops accepting, ends every connection and frees the server. Waits up
  // to `timeoutMs` for the server thread; returns false when it took longer
  // (everything is still joined before anything is freed).
  bool stop(DWORD timeoutMs = 5000);
  // The port being listened on; 0 until listening (or after stop).
  WORD port() const { return m_server ? m_server->boundPort() : 0; }
  // Waits until the server listens; false after `timeoutMs`.
  bool waitListening(DWORD timeoutMs = 5000) const;
  GameServer* server() { return m_server.get(); }

 private:
  std::unique_ptr<GameServer> m_server;
  std::atomic<bool> m_running{false};
  Thread m_thread;
};

}  // namespace GameDaemon
