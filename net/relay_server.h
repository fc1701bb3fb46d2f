// The relay server every running game hosts: it seats up to five players
// (slot 0 the host), stores the last payload of every value id and forwards
// each value update to the other players. It also offers a lock against new
// joins, a dump of the stored values and a barrier that holds every player
// until all have reached the same token.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "net/message.h"
#include "net/net.h"
#include "net/relay_out_queue.h"
#include "net/value_store.h"
#include "platform/system/system.h"
#include "platform/system/threads.h"

namespace GameDaemon {

inline constexpr WORD kRelayPort = 12726;
inline constexpr int kMaxPlayers = net::kPlayerSlots;

// Who may send each value id in the game played on the relay: any seated
// player (kAnySeat), or only the seat that owns the value. A value owned by
// a seat nobody holds (an empty seat, or a seat number past the table, such
// as a computer driver's) is the host's: the host writes whatever no player
// does.
inline constexpr std::int8_t kAnySeat = -1;
using ValueOwners = std::array<std::int8_t, net::kValueIdCount>;

// Value bytes a seat may send per second, held to by reading it more
// slowly: a few times what a race sends (about 90 KB/s from the host, which
// drives the computer karts too), so no honest player waits for it, while a
// flooder can no longer make every machine handle far more than a race.
inline constexpr std::size_t kSeatBytesPerSecond = 256 * 1024;

class GameServer;
using Clock = std::chrono::steady_clock;

// The server's one lock: recursive, like the critical section it wraps, and
// noting the longest time any thread waited to take it.
class ServerLock {
 public:
  void lock();
  void unlock() { m_section.unlock(); }
  bool try_lock() { return m_section.try_lock(); }
  std::chrono::microseconds longestWait() const;
  void resetLongestWait() { m_longestWaitNs = 0; }

 private:
  CriticalSection m_section;
  std::atomic<std::int64_t> m_longestWaitNs{0};
};

// One peer of the relay. Its receive thread handles its messages under the
// server's lock; whatever is sent to it goes into its own outbound queue,
// handed to the socket at once when it takes it and otherwise by a writer
// thread of its own, so no peer can hold another's thread or the lock.
class GameServerConnection : public NetServerConnection {
 public:
  GameServerConnection(GameServer& server, SOCKET s);
  // Stops and joins the writer; the receive thread has ended before.
  ~GameServerConnection() override;

  int onReceive(const std::uint8_t* data, int length) override;
  void onDisconnect() override;
  void onConnect(DWORD address) override;

  // Bytes queued for this player and not yet handed to its socket that
  // count against its limit: all but its own value dump.
  std::size_t backlog() const { return m_backlog.load(); }

 private:
  friend class GameServer;
  enum class After { Continue, Close };

  After dispatch(std::uint16_t id, std::unique_lock<ServerLock>& lock);
  // Tells the peer its request is refused and ends the connection.
  After refuse();
  After waitInBarrier(std::uint32_t token, std::unique_lock<ServerLock>& lock);
  // The barrier on `token` timed out for this waiter: the seated players
  // that have not reached it are dropped and lose their seats, so the
  // waiters go on. Only a seated waiter may do that, and only when the
  // waiters are more than the laggards, or as many with the host among
  // them: one peer alone in a barrier nobody else enters cannot have
  // everyone else dropped. The host is never dropped as a laggard: nothing
  // in the game sends a barrier, so players waiting in one must not be
  // able to end the host's game (and take its slot). False when it may not.
  bool dropLaggards(std::uint32_t token);
  // Queues the message in m_writeData for this connection's own peer.
  void sendToSelf();
  // Stores a value update and collects it for the other players.
  void relayValue(std::uint16_t id);
  // Queues the collected relays on every occupied slot but this one's.
  // `now`: the players are pinned and this thread tries the sends itself
  // once the server's lock is released (sendPending); otherwise their
  // writers are woken.
  void flushRelay(bool now);
  // Sends without the lock what flushRelay(true) and sendToSelf queued,
  // as far as the sockets take it at once, and unpins those players.
  void sendPending();
  // Appends whole messages to the outbound queue (under the server's lock,
  // so each socket carries its messages in the order they were handled).
  // Anything beyond the backlog limit drops the player instead, but for a
  // reply (a value dump may be large) to an empty queue. `from` is the slot
  // whose relays these are, -1 for the server's own messages.
  void queueOut(const std::uint8_t* data, std::size_t size, int from, bool wakeWriter);
  // Queues a value dump for this player. Its first unsent dump does not
  // count against its backlog limit, since the limit is there to protect
  // it from others' updates; one asked for while another is still unsent
  // counts like any other bytes.
  void queueDump(std::shared_ptr<ValueDump> dump);
  // Seated in the game now (the slot table points here).
  bool holdsSeat() const;
  // Hands the queue to the socket as far as it takes it without waiting;
  // the rest is left to the writer. Never waits for anything.
  void sendQueuedNow();
  // Takes `count` bytes, handed to the socket, off the front of `batch` and
  // off the backlog and its senders' shares.
  void accountSent(OutQueue& batch, std::size_t count);
  // The socket failed: the connection ends, the queue is dropped.
  void writeFailed();
  // The writer thread: sends the queue, each piece of it within the send
  // timeout; a peer that does not take it in time is dropped.
  void writeLoop();
  // Waits (bounded by the send timeout) until the writer has sent what is
  // queued, so a refusal reaches the peer before the connection ends.
  void drainOut();
  // Reads this sender more slowly while it has bytes in another player's
  // full backlog, when that player keeps reading (everyone sends faster
  // than it can take) or the backlog is mostly this sender's: back-pressure
  // on its socket before anyone has to be dropped. A player that has
  // stopped reading holds up nobody but a flooder. Without the server's
  // lock.
  void waitForRoom();
  // Holds this seat to the server's rate: once the value bytes it sent
  // pass what the rate allows (a second's worth may come at once), its
  // receive thread waits before reading on. Without the server's lock.
  void throttle();
  // Drops the connection for misbehaving (counted once).
  void drop(const char* why);
  // Ends a connection without a seat to make room in a full table; the
  // server marked it under its lock.
  void evict();
  bool peerGone() const;

  GameServer& m_server;
  // Guarded by the server's lock. The slot keeps its number after the seat
  // is lost; whether it is held is m_seated.
  int m_slot = 0;
  bool m_seated = false;
  std::chrono::steady_clock::time_point m_unseatedSince;
  std::uint32_t m_barrierToken = 0;
  bool m_barrierReleased = false;
  // Receive thread only.
  net::MessageQueue m_queue;
  net::MessageWriter m_writeData;
  std::vector<std::uint8_t> m_relay;
  std::vector<GameServerConnection*> m_pending;
  bool m_selfPending = false;
  bool m_relayedInChunk = false;
  std::size_t m_unseatedBytes = 0;
  // Value bytes of the chunk being handled, and what the rate still allows
  // (negative: owed) as of m_allowanceAt.
  std::size_t m_valueBytes = 0;
  double m_allowance = 0;
  Clock::time_point m_allowanceAt;

  // Held by whoever hands bytes to this socket: the writer, or another
  // connection's thread sending a relay at once.
  std::mutex m_sendMutex;
  // Other connections' threads about to send on this one without the
  // server's lock; taken under the lock while it is seated. onDisconnect
  // waits for them, so the connection is never freed under a sender.
  std::atomic<int> m_pins{0};
  std::mutex m_outMutex;
  std::condition_variable m_outChanged;
  OutQueue m_out;             // guarded by m_outMutex
  bool m_writerStop = false;  // guarded by m_outMutex
  bool m_writerDead = false;  // guarded by m_outMutex
  int m_uncountedDumps = 0;   // guarded by m_outMutex
  std::atomic<std::size_t> m_backlog{0};
  // Every byte queued and not yet handed to the socket, dumps included.
  std::atomic<std::size_t> m_unsent{0};
  // The backlog's bytes by the slot that relayed them.
  std::atomic<std::size_t> m_backlogFrom[kMaxPlayers] = {};
  // When the writer last handed a piece to the socket (steady clock ticks).
  std::atomic<Clock::rep> m_lastWrite{0};
  // The connection is being ended: dropped, or evicted (marked under the
  // server's lock then, so it takes no seat meanwhile).
  std::atomic<bool> m_dropped{false};
  Thread m_writer;
};

class GameServer : public NetServer {
 public:
  GameServer();
  // Connection threads use the state below: they end before it is freed.
  ~GameServer() override { closeConnections(); }
  std::unique_ptr<NetServerConnection> createConnection(SOCKET s) override;

  // Wakes barrier and back-pressure waiters for good, so the receive threads
  // can end; used when the server stops.
  void beginStop();
  // Closes connections that have held no seat for the idle timeout. The
  // server thread calls it on every pass.
  void closeIdleConnections();
  // The table is full: the oldest connection without a seat gives its place
  // to the newcomer. A seated player is never evicted.
  bool makeRoom() override;

  // Waits, all in milliseconds. Idle: how long a connection may stay without
  // a seat (5 s). Barrier: how long one may wait in a barrier before the
  // players that never came are dropped, or it is (60 s; see dropLaggards).
  // Send: how long each piece of a player's queue may take to go out before
  // the player is dropped (2 s).
  void setIdleTimeout(DWORD ms) { m_idleTimeoutMs = ms; }
  void setBarrierTimeout(DWORD ms) { m_barrierTimeoutMs = ms; }
  void setSendTimeout(DWORD ms) { m_sendTimeoutMs = ms; }
  // The owners of the game's values; until set, every value is open to any
  // seated player.
  void setValueOwners(const ValueOwners& owners);
  // Value bytes per second each seat may send (kSeatBytesPerSecond); 0
  // lets every seat send as fast as it can.
  void setSeatRate(std::size_t bytesPerSecond) { m_seatRate = bytesPerSecond; }

  // Snapshots for tracing and tests, taken under the lock.
  int occupiedSlots();
  bool slotOccupied(int slot);
  bool isLocked();
  std::vector<std::uint8_t> storedValue(int id);
  std::size_t storedBytes();
  // Connections dropped for misbehaving (a broken length, a backlog or a
  // flood past its limit, a send or barrier timeout, idling without a seat),
  // and messages skipped because they were too short for their id.
  std::uint64_t droppedConnections() const { return m_droppedConnections.load(); }
  std::uint64_t droppedMessages() const { return m_droppedMessages.load(); }
  // Messages a peer had no right to send, dropped: replies 3, 4 and 9, a
  // lock from anyone but the host, a host request from another machine,
  // values from a connection without a seat or from a seat that does not
  // own them.
  std::uint64_t refusedMessages() const { return m_refusedMessages.load(); }
  // Updates relayed (one per value message received from a player).
  std::uint64_t relayedUpdates() const { return m_relayedUpdates.load(); }
  // Connections ended to make room for newcomers in a full table.
  std::uint64_t evictedConnections() const { return m_evictedConnections.load(); }
  // The longest any thread waited for the server's lock since the last
  // reset.
  std::chrono::microseconds longestLockWait() const { return m_lock.longestWait(); }
  void resetLongestLockWait() { m_lock.resetLongestWait(); }

 private:
  friend class GameServerConnection;
  int occupiedLocked() const;
  // Whether seat `slot` may send value `id` (under the lock).
  bool mayWrite(int slot, std::uint16_t id) const;

  // One lock serialises all message handling of all connections. Nothing
  // is sent while it is held: sends go through each connection's writer.
  ServerLock m_lock;
  std::condition_variable_any m_barrierChanged;
  GameServerConnection* m_players[kMaxPlayers] = {};
  bool m_locked = false;
  ValueStore m_store;
  ValueOwners m_owners;
  bool m_stopping = false;
  std::vector<GameServerConnection*> m_barrierWaiters;
  std::atomic<DWORD> m_idleTimeoutMs{5000}, m_barrierTimeoutMs{60000}, m_sendTimeoutMs{2000};
  std::atomic<std::size_t> m_seatRate{kSeatBytesPerSecond};
  std::atomic<std::uint64_t> m_droppedConnections{0}, m_droppedMessages{0}, m_refusedMessages{0}, m_relayedUpdates{0},
      m_evictedConnections{0};
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

  // Stops accepting, ends every connection and frees the server. Every
  // socket is shut down first, so no peer can hold the stop. Returns false
  // when the whole stop took longer than `timeoutMs` (everything is still
  // joined before anything is freed).
  bool stop(DWORD timeoutMs = 5000);
  // The port being listened on; 0 until listening (or after stop). Safe
  // from any thread, stop included.
  WORD port() const;
  // Waits until the server listens; false after `timeoutMs`.
  bool waitListening(DWORD timeoutMs = 5000) const;
  GameServer* server() { return m_server.get(); }

 private:
  mutable std::mutex m_serverMutex;  // guards m_server against stop
  std::unique_ptr<GameServer> m_server;
  std::atomic<bool> m_running{false};
  Thread m_thread;
};

}  // namespace GameDaemon
