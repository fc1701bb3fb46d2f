// The client end of the relay protocol and the registry of every replicated
// value. Received messages are decoded on the connection's receive thread
// under the control's lock into the values' received copies; update, once
// per frame on the main thread, sends the values changed locally and commits
// every value.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "net/message.h"
#include "net/net.h"
#include "net/net_value_base.h"
#include "platform/system/threads.h"

class NetControl : public NetClient {
 public:
  // Why the connection is gone, for the texts the race and menus show.
  enum State : int { kStateInitial = 0, kStateHostLeft = 3, kStatePlayerLeft = 4, kStateLeft = 5 };
  enum class JoinResult { Accepted, Refused, ConnectFailed, TimedOut };

  // The game's one control, built on first use and destroyed at exit.
  static NetControl& getInstance();

  NetControl();
  ~NetControl() override;

  void addValue(NetValueBase* value);
  // Removes that very value; values sharing an id are told apart by identity.
  void removeValue(NetValueBase* value);
  // The first registered value with this id, or null. Main thread only.
  NetValueBase* getValueId(int id) const;
  // The lock under which the receive thread finds a value by its id and
  // hands it what arrived. A registered value takes it to change what that
  // reads: its id and its check.
  std::unique_lock<CriticalSection> lockValues() const { return std::unique_lock(m_lock); }
  // A registered value took its id (NetValue::init): received messages
  // find it by that id from now on.
  void valueIdChanged();

  // Sends every dirty value (one send for all) and commits every value.
  // Does nothing while not connected.
  void update();
  int getState() const { return m_state.load(); }
  // This machine's slot (0 to 4) as the relay gave it; 0 before, as the
  // race indexes the player table with it in every game mode.
  int playerSlot() const { return m_playerSlot.load(); }
  // Whether the relay has given this machine a seat in the current session.
  bool seated() const { return m_seated.load(); }
  // Tells the relay this machine leaves (message 6) and ends the connection.
  void leave();

  int onReceive(const std::uint8_t* data, int length) override;
  void onDisconnect() override;

  // Connecting. The address is a dotted IPv4 address; the relay listens on
  // 12726. Each call replaces any earlier connection.
  bool connect(const char* address, WORD port, DWORD timeoutMs = 5000);
  // Connects and asks to host (slot 0) or to join; waits up to `timeoutMs`
  // for the relay's answer. A refused or timed-out request ends the
  // connection.
  JoinResult hostGame(const char* address, WORD port, DWORD timeoutMs);
  JoinResult joinGame(const char* address, WORD port, DWORD timeoutMs);
  // Asks for the stored values and waits for the end of the dump. The values
  // are in the received copies; the next update commits them.
  bool requestValues(DWORD timeoutMs);
  // Locks (no more joins) or unlocks the game.
  bool setLocked(bool locked);
  // Waits until every seated player reached `token`.
  bool barrier(std::uint32_t token, DWORD timeoutMs);
  // Calls update until `ready` holds, the connection ends or the time is up.
  // For the race load, which waits for the other players' records.
  bool updateUntil(const std::function<bool()>& ready, DWORD timeoutMs);

  // A send that cannot hand its bytes over within this time ends the
  // connection: a peer that stops reading must not hold the game thread.
  static constexpr DWORD kSendTimeoutMs = 2000;
  // Messages dropped because their payload did not fit their id or because
  // nothing asked for them (a reply with no request pending), and
  // connections ended because a length could not be parsed.
  std::uint64_t droppedMessages() const { return m_droppedMessages.load(); }
  std::uint64_t droppedConnections() const { return m_droppedConnections.load(); }
  // Whole messages taken from the stream so far, whatever became of them.
  std::uint64_t messagesRead() const { return m_messagesRead.load(); }

 protected:
  // The state after asking the relay to host or join, so that its answer is
  // believed; for code that feeds the receive path without a relay (the
  // fuzz target).
  void expectJoinReply();

 private:
  JoinResult request(const char* address, WORD port, std::uint16_t id, DWORD timeoutMs);
  bool sendMessage(std::uint16_t id, const std::uint8_t* payload, std::size_t size);
  template <class Ready>
  bool waitFor(Ready ready, DWORD timeoutMs);
  void resetSession();
  // The value a received message with this id goes to, or null (under the
  // lock).
  NetValueBase* receiverOf(int id);

  // Gives up on a peer that does not take the bytes in time.
  bool sendBytes(const std::uint8_t* data, std::size_t size);

  std::atomic<int> m_playerSlot{0};
  std::atomic<bool> m_seated{false};
  mutable CriticalSection m_lock;
  std::condition_variable_any m_replied;
  std::vector<NetValueBase*> m_netValue;
  // The first registered value of each id, so a received message finds its
  // value at once however many are registered; rebuilt when stale.
  std::vector<NetValueBase*> m_byId;
  bool m_byIdStale = true;
  std::atomic<int> m_state{kStateInitial};
  net::MessageQueue m_queue;
  net::MessageWriter m_writeData;
  // Guarded by m_lock.
  bool m_accepted = false;
  bool m_refused = false;
  bool m_valuesEnded = false;
  // What this machine asked for and still waits for: replies that nothing
  // asked for are not believed.
  bool m_requestPending = false;
  bool m_dumpPending = false;
  std::uint32_t m_barrierToken = 0;
  std::uint64_t m_barrierReleases = 0;
  std::atomic<std::uint64_t> m_droppedMessages{0}, m_droppedConnections{0}, m_messagesRead{0};
};
