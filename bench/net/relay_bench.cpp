// The relay under load, in one process on loopback: a relay with its host
// and four clients (the five seats), each player updating a 64-byte value.
// Prints updates relayed per second, latency from one player's update to
// another's receipt (median, p99), bytes per update, and the floor: a plain
// TCP echo measured the same way.
//
// The floor and the relay are measured alike: five players at 60 Hz each,
// the same 68-byte message sent by NetControl::update and timed when the
// value is decoded on the receiving control's receive thread, so both cross
// loopback twice and wake two threads (the server's and the receiver's).
// The only difference is the server: a plain echo or the relay. Both run in
// the same session with their sends interleaved in time (each echo player
// updates between two relay players), so a noisy moment on the machine
// falls on both alike; the first second is a warm-up and not counted; the
// comparison is repeated and pooled.
//
//   relay_bench [seconds]        60 Hz comparison (three runs of `seconds`,
//                                default 5), lockstep and full-speed runs,
//                                then the 60 Hz and full-speed runs with
//                                three players, quiet and under attack (see
//                                Attackers; full speed lifts the rate a
//                                seat is held to); each prints relayed updates/s,
//                                the longest wait for the server's lock and
//                                the peak live heap
//   relay_bench --soak [seconds] 60 Hz with the fifth player leaving and
//                                rejoining every second; threads,
//                                descriptors and memory are sampled and
//                                must stay flat
#include <dirent.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/net_control.h"
#include "net/net_value.h"
#include "net/relay_server.h"
#include "platform/net/winsock.h"
#include "platform/system/system.h"
#include "tests/net/live_heap.h"
#include "tests/net/raw_peer.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPlayers = 5;
constexpr int kValueBase = 100;  // player p sends id kValueBase + p
constexpr int kRing = 1 << 16;   // send times kept per sender
// Senders 0 to 4 are the relay's players, 5 to 9 the echo's.
constexpr int kSenders = 2 * kPlayers;
constexpr int kEchoSender = kPlayers;
constexpr auto kFrame = std::chrono::microseconds(16667);
constexpr auto kWarmUp = std::chrono::seconds(1);
// Under attack the attackers take two seats.
constexpr int kHonestUnderAttack = 3;

std::int64_t nowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

struct Latencies {
  std::vector<double> us;
  double percentile(double p) {
    if (us.empty()) return 0;
    std::sort(us.begin(), us.end());
    return us[std::min(us.size() - 1, static_cast<std::size_t>(p * static_cast<double>(us.size())))];
  }
  void add(const Latencies& other) { us.insert(us.end(), other.us.begin(), other.us.end()); }
};

// When each sender sent each sequence number; 0 = not counted (warm-up).
std::atomic<std::int64_t> g_sentAt[kSenders][kRing];
// Send times before this are warm-up.
std::atomic<std::int64_t> g_countFrom{0};

// A value as a receiver decodes it: records the arrival on the receive
// thread, the moment the bytes are decoded, against the sender's clock.
class TimedValue final : public NetValueBase {
 public:
  TimedValue(NetControl& control, int id, int sender) : m_control(control), m_id(id), m_sender(sender) {
    m_samples.reserve(1 << 16);  // no allocation while timing
    control.addValue(this);
  }
  ~TimedValue() { m_control.removeValue(this); }
  const void* getData() const override { return m_bytes; }
  int size() const override { return 64; }
  bool isDirty() const override { return false; }
  bool setReceived(const std::uint8_t* data, int length) override {
    const std::int64_t arrived = nowNs();
    if (length != 64) return false;
    std::memcpy(m_bytes, data, 64);
    std::uint32_t seq;
    std::memcpy(&seq, data + 4, 4);
    const std::int64_t sent = g_sentAt[m_sender][seq % kRing].load(std::memory_order_relaxed);
    if (m_record.load(std::memory_order_relaxed) && sent > 0) {
      std::lock_guard lock(m_samplesMutex);
      m_samples.push_back(static_cast<double>(arrived - sent) / 1000.0);
      ++m_received;
    }
    return true;
  }
  void commit() override {}
  int getId() const override { return m_id; }
  std::uint32_t getFlags() const override { return kNetAcceptReceived; }
  const std::string& getName() const override { return m_name; }
  void setName(const char* name) override { m_name = name; }
  void writeWire(std::uint8_t* out) const override { std::memcpy(out, m_bytes, 64); }

  std::atomic<bool> m_record{true};
  std::atomic<std::uint64_t> m_received{0};
  std::mutex m_samplesMutex;
  std::vector<double> m_samples;

 private:
  NetControl& m_control;
  int m_id;
  int m_sender;
  std::string m_name = "timed";
  std::uint8_t m_bytes[64] = {};
};

// A player of either kind: its control, the value it updates each frame and
// the values it times on receipt.
struct Player {
  explicit Player(int sender) : sender(sender) {}
  const int sender;
  NetControl control;
  NetValue<Matrix4x3> own{control};
  std::vector<std::unique_ptr<TimedValue>> timed;
  std::uint32_t seq = 0;
  std::uint64_t updates = 0;  // counted ones only
  std::uint64_t sentAtStart = 0, receivedAtStart = 0;
};

struct RunResult {
  double seconds = 0;
  std::uint64_t updatesSent = 0, deliveries = 0, relayed = 0, bytesSent = 0, bytesReceived = 0;
  double lockWaitUs = 0;  // the longest any thread waited for the server's lock
  double heapMB = 0;      // peak live heap above the process before the relay started
  Latencies latency;
  Latencies byReceiver[kPlayers];  // the same samples by receiving player
};

// Takes the players' samples and counters.
void collect(std::vector<std::unique_ptr<Player>>& players, RunResult& result) {
  for (auto& player : players)
    for (auto& v : player->timed) v->m_record = false;
  Sleep(200);  // the last messages in flight arrive
  for (std::size_t i = 0; i < players.size(); ++i) {
    auto& player = players[i];
    result.updatesSent += player->updates;
    result.bytesSent += player->control.getBytesSent64() - player->sentAtStart;
    result.bytesReceived += player->control.getBytesReceived64() - player->receivedAtStart;
    for (auto& v : player->timed) {
      result.deliveries += v->m_received.load();
      std::lock_guard lock(v->m_samplesMutex);
      result.latency.us.insert(result.latency.us.end(), v->m_samples.begin(), v->m_samples.end());
      auto& mine = result.byReceiver[i % kPlayers].us;
      mine.insert(mine.end(), v->m_samples.begin(), v->m_samples.end());
    }
  }
}

bool seatPlayers(std::vector<std::unique_ptr<Player>>& players, WORD port, int count = kPlayers) {
  for (int p = 0; p < count; ++p) {
    auto player = std::make_unique<Player>(p);
    player->own.init(kValueBase + p);
    for (int q = 0; q < kPlayers; ++q)
      if (q != p) player->timed.push_back(std::make_unique<TimedValue>(player->control, kValueBase + q, q));
    const auto r =
        p == 0 ? player->control.hostGame("127.0.0.1", port, 3000) : player->control.joinGame("127.0.0.1", port, 3000);
    if (r != NetControl::JoinResult::Accepted || player->control.playerSlot() != p) {
      std::fprintf(stderr, "player %d could not be seated\n", p);
      return false;
    }
    players.push_back(std::move(player));
  }
  return true;
}

// One player's frame: a new sequence number in its value, then update.
void frame(Player& player) {
  ++player.seq;
  Matrix4x3 m = NetWire<Matrix4x3>::initial();
  std::memcpy(&m.m[0], &player.sender, 4);
  std::memcpy(&m.m[1], &player.seq, 4);
  const std::int64_t now = nowNs();
  const bool counted = now >= g_countFrom.load();
  g_sentAt[player.sender][player.seq % kRing].store(counted ? now : 0, std::memory_order_relaxed);
  player.own.set(m);
  player.control.update();
  if (counted) ++player.updates;
}

void clearSendTimes(int from, int to) {
  for (int sender = from; sender < to; ++sender)
    for (auto& t : g_sentAt[sender]) t.store(0);
}

// The hostile peers of the attack mode, each on a thread of its own:
// - a seatless peer that keeps asking for the value dump and reads it a
//   little every half second;
// - a seatless flooder of large values that comes back whenever it is
//   dropped;
// - a seated peer that fills the value store (1 MB) and then just reads;
// - a seated peer that asks for the dump and never reads, back whenever it
//   is dropped;
// - 16 seatless peers from four addresses of their own that keep asking
//   for the dump and never read, back whenever they are closed;
// - one address flooding connections: it holds the eight it may and opens
//   (and at once closes) 600 more a second.
// The seated ones take the seats the three honest players leave free.
// Meanwhile a newcomer from an address of its own asks to join every
// 200 ms; how long its answer (a seat or a refusal) takes is noted.
class Attackers {
 public:
  explicit Attackers(WORD port) {
    m_threads.emplace_back([this, port] {
      while (!m_stop.load()) {
        RawPeer peer(port, "127.0.0.14");
        for (int i = 0; !m_stop.load() && peer.send(net::kRequestValues); ++i) {
          if (i % 10 == 0) peer.readSome(100);
          Sleep(50);
        }
      }
    });
    m_threads.emplace_back([this, port] {
      const std::vector<std::uint8_t> big(20000, 0x5A);
      while (!m_stop.load()) {
        RawPeer peer(port, "127.0.0.14");
        ++m_floods;
        while (!m_stop.load() && peer.send(kValueBase, big)) {
        }
        Sleep(20);
      }
    });
    m_threads.emplace_back([this, port] {
      RawPeer peer(port);
      if (seat(peer, net::kJoin) < 0) return;
      std::vector<std::uint8_t> bytes;
      for (int id = kStoredFrom; id < kStoredFrom + kStoredValues; ++id) {
        const auto m = ::frame(static_cast<std::uint16_t>(id), std::vector<std::uint8_t>(1000, 0x33));
        bytes.insert(bytes.end(), m.begin(), m.end());
      }
      if (!peer.sendRaw(bytes)) return;
      m_stored = true;
      while (!m_stop.load() && peer.readSome(4096)) {
      }
    });
    m_threads.emplace_back([this, port] {
      while (!m_stop.load() && !m_stored.load()) Sleep(5);
      while (!m_stop.load()) {
        RawPeer peer(port);
        if (seat(peer, net::kJoin) >= 0 && peer.send(net::kRequestValues)) {
          ++m_seatedRequests;
          // Its close waits behind the unread dump, so only a send tells it
          // that it was dropped: the one message the relay ignores.
          while (!m_stop.load() && peer.send(net::kReserved, {0})) Sleep(20);
        }
        Sleep(20);
      }
    });
    m_threads.emplace_back([this, port] {
      std::vector<std::unique_ptr<RawPeer>> held;
      for (int i = 0; i < 8; ++i) held.push_back(std::make_unique<RawPeer>(port, "127.0.0.15"));
      // 600 a second, as the attack that once kept newcomers out for
      // seconds; the sockets it leaves waiting to close bound it there.
      RawPeer peer;
      for (auto next = Clock::now(); !m_stop.load(); std::this_thread::sleep_until(next += kFloodPeriod))
        if (peer.connect(port, "127.0.0.15")) ++m_floodConnections;
    });
    m_threads.emplace_back([this, port] {
      while (!m_stop.load()) {
        RawPeer newcomer(port, "127.0.0.16");
        const auto asked = Clock::now();
        if (newcomer.send(net::kJoin)) {
          auto m = newcomer.next(5000);
          const bool answered = m && (m->id == net::kAccepted || m->id == net::kRefused);
          std::lock_guard lock(m_joinMutex);
          m_joinMs.push_back(answered ? std::chrono::duration<double, std::milli>(Clock::now() - asked).count()
                                      : 5000.0);
        }
        newcomer.close();
        Sleep(200);
      }
    });
    m_threads.emplace_back([this, port] {
      static const char* const kFrom[] = {"127.0.0.10", "127.0.0.11", "127.0.0.12", "127.0.0.13"};
      std::vector<std::unique_ptr<RawPeer>> peers;
      for (int i = 0; i < 16; ++i) peers.push_back(std::make_unique<RawPeer>(port, kFrom[i % 4]));
      while (!m_stop.load()) {
        for (std::size_t i = 0; i < peers.size(); ++i) {
          if (!peers[i]->send(net::kRequestValues)) peers[i]->connect(port, kFrom[i % 4]);
        }
        Sleep(50);
      }
    });
  }
  // Before the relay stops: a flooder's send ends when the relay drops it.
  ~Attackers() {
    m_stop = true;
    for (auto& t : m_threads) t.join();
  }
  std::uint64_t floods() const { return m_floods.load(); }
  std::uint64_t seatedRequests() const { return m_seatedRequests.load(); }
  std::uint64_t floodConnections() const { return m_floodConnections.load(); }
  // How long each newcomer's join took to be answered, in ms (5000: never).
  std::vector<double> joinTimes() {
    std::lock_guard lock(m_joinMutex);
    return m_joinMs;
  }

 private:
  static constexpr auto kFloodPeriod = std::chrono::microseconds(1667);
  // 1045 values of 1000 bytes fill the store to just under 1 MB.
  static constexpr int kStoredFrom = 200, kStoredValues = 1045;
  std::atomic<bool> m_stop{false}, m_stored{false};
  std::atomic<std::uint64_t> m_floods{0}, m_seatedRequests{0}, m_floodConnections{0};
  std::mutex m_joinMutex;
  std::vector<double> m_joinMs;
  std::vector<std::thread> m_threads;
};

// A plain TCP echo server on loopback: one thread per connection sends back
// whatever arrives.
class EchoServer {
 public:
  EchoServer() {
    WSADATA data;
    wsa::WSAStartup(MAKEWORD(2, 2), &data);
    m_listener = wsa::socket(AF_INET_WS, SOCK_STREAM_WS, IPPROTO_TCP_WS);
    SOCKADDR_IN a;
    a.sin_addr = wsa::htonl(INADDR_LOOPBACK_WS);
    wsa::bind(m_listener, &a);
    wsa::listen(m_listener, kPlayers);
    SOCKADDR_IN bound;
    wsa::getsockname(m_listener, &bound);
    m_port = wsa::ntohs(bound.sin_port);
    m_acceptor = std::thread([this] {
      for (;;) {
        const SOCKET s = wsa::accept(m_listener, nullptr);
        if (s == INVALID_SOCKET) return;
        const int one = 1;
        wsa::setsockopt(s, IPPROTO_TCP_WS, TCP_NODELAY_WS, reinterpret_cast<const char*>(&one), sizeof one);
        std::lock_guard lock(m_mutex);
        m_sockets.push_back(s);
        m_echoes.emplace_back([s] {
          char buffer[4096];
          int n;
          while ((n = wsa::recv(s, buffer, sizeof buffer, 0)) > 0)
            if (wsa::send(s, buffer, n, 0) != n) break;
        });
      }
    });
  }
  ~EchoServer() {
    wsa::shutdown(m_listener, SD_BOTH);
    m_acceptor.join();
    for (SOCKET s : m_sockets) wsa::shutdown(s, SD_BOTH);
    for (auto& t : m_echoes) t.join();
    for (SOCKET s : m_sockets) wsa::closesocket(s);
    wsa::closesocket(m_listener);
    wsa::WSACleanup();
  }
  WORD port() const { return m_port; }

 private:
  SOCKET m_listener = INVALID_SOCKET;
  WORD m_port = 0;
  std::thread m_acceptor;
  std::mutex m_mutex;
  std::vector<SOCKET> m_sockets;
  std::vector<std::thread> m_echoes;
};

// Echo players send like relay players and receive their own value back,
// decoded by their control's receive thread as a relayed value is.
bool connectEchoPlayers(std::vector<std::unique_ptr<Player>>& players, WORD port, int count = kPlayers) {
  for (int p = 0; p < count; ++p) {
    auto player = std::make_unique<Player>(kEchoSender + p);
    player->timed.push_back(std::make_unique<TimedValue>(player->control, kValueBase + p, kEchoSender + p));
    // The echoed message goes to the first value with its id: the timer.
    player->control.removeValue(&player->own);
    player->control.addValue(&player->own);
    player->own.init(kValueBase + p);
    if (!player->control.connect("127.0.0.1", port, 3000)) {
      std::fprintf(stderr, "echo player %d could not connect\n", p);
      return false;
    }
    players.push_back(std::move(player));
  }
  return true;
}

// Frame clocks. Machines in a real game run their frames at unrelated
// moments, so each relay player gets its own phase within the 60 Hz frame
// (fixed, so runs compare) and each echo player updates halfway between two
// relay players; `lockstep` makes all five relay players update at the same
// instant, the worst case, which only one process can produce.
std::chrono::microseconds phaseOf(int sender, bool lockstep) {
  static const int phases[kSenders] = {0, 7411, 2930, 12703, 9874, 1465, 8642, 5170, 14685, 11288};
  return std::chrono::microseconds(lockstep ? 0 : phases[sender]);
}

// Runs every player's frame loop (paced at 60 Hz or as fast as it can) for
// the warm-up and `seconds` more; returns the counted seconds. `counting`
// runs when the warm-up ends.
double play(
    std::vector<Player*> players, double seconds, bool paced, bool lockstep,
    const std::function<void()>& counting = [] {}, const std::function<void()>& sample = [] {}) {
  std::atomic<bool> running{true};
  std::vector<std::thread> threads;
  const auto start = Clock::now();
  const auto countFrom = start + kWarmUp;
  g_countFrom = std::chrono::duration_cast<std::chrono::nanoseconds>(countFrom.time_since_epoch()).count();
  for (Player* player : players) {
    threads.emplace_back([&, player] {
      auto next = start + phaseOf(player->sender, lockstep);
      if (paced) std::this_thread::sleep_until(next);
      while (running.load()) {
        frame(*player);
        if (paced) {
          next += kFrame;
          std::this_thread::sleep_until(next);
        }
      }
    });
  }
  std::this_thread::sleep_until(countFrom);
  for (Player* player : players) {
    player->sentAtStart = player->control.getBytesSent64();
    player->receivedAtStart = player->control.getBytesReceived64();
  }
  counting();
  const auto end = countFrom + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  while (Clock::now() < end) {
    sample();
    std::this_thread::sleep_until(std::min(end, Clock::now() + std::chrono::milliseconds(20)));
  }
  running = false;
  for (auto& t : threads) t.join();
  return std::chrono::duration<double>(Clock::now() - countFrom).count();
}

// The 60 Hz comparison: relay and echo players on one interleaved frame
// schedule.
struct Comparison {
  RunResult relay, echo;
  std::vector<double> joinMs;  // under attack: each newcomer's wait for an answer
  std::uint64_t floodConnections = 0;
};

// The heap the players' latency samples take: the benchmark's own, not the
// relay's.
std::size_t sampleBytes(const std::vector<Player*>& players) {
  std::size_t bytes = 0;
  for (const Player* player : players)
    for (const auto& v : player->timed) {
      std::lock_guard lock(v->m_samplesMutex);
      bytes += v->m_samples.capacity() * sizeof(double);
    }
  return bytes;
}

// What a run measures of the relay besides latency: relayed updates, the
// longest wait for its lock and the peak live heap, without the latency
// samples.
class RelayGauge {
 public:
  RelayGauge() : m_heapBefore(liveHeapBytes()) {}
  void start(GameDaemon::GameServer& server) {
    m_relayedBefore = server.relayedUpdates();
    server.resetLongestLockWait();
  }
  void sample(const std::vector<Player*>& players) {
    const std::size_t live = liveHeapBytes(), samples = sampleBytes(players);
    m_heapPeak = std::max(m_heapPeak, live > samples ? live - samples : 0);
  }
  void finish(GameDaemon::GameServer& server, RunResult& r) {
    r.relayed = server.relayedUpdates() - m_relayedBefore;
    r.lockWaitUs = static_cast<double>(server.longestLockWait().count());
    r.heapMB = m_heapPeak > m_heapBefore ? static_cast<double>(m_heapPeak - m_heapBefore) / (1 << 20) : 0.0;
  }

 private:
  std::size_t m_heapBefore, m_heapPeak = 0;
  std::uint64_t m_relayedBefore = 0;
};

Comparison runComparison(double seconds, int count, bool attack) {
  Comparison c;
  clearSendTimes(0, kSenders);
  RelayGauge gauge;
  GameDaemon::ServerThread relay(0);
  if (!relay.waitListening()) return c;
  EchoServer echoServer;
  std::vector<std::unique_ptr<Player>> relayPlayers, echoPlayers;
  if (!seatPlayers(relayPlayers, relay.port(), count) || !connectEchoPlayers(echoPlayers, echoServer.port(), count))
    return c;
  std::unique_ptr<Attackers> attackers;
  if (attack) attackers = std::make_unique<Attackers>(relay.port());
  std::vector<Player*> all;
  for (auto& p : relayPlayers) all.push_back(p.get());
  for (auto& p : echoPlayers) all.push_back(p.get());
  c.relay.seconds = c.echo.seconds = play(
      all, seconds, true, false, [&] { gauge.start(*relay.server()); }, [&] { gauge.sample(all); });
  gauge.finish(*relay.server(), c.relay);
  collect(relayPlayers, c.relay);
  collect(echoPlayers, c.echo);
  if (attackers) {
    c.joinMs = attackers->joinTimes();
    c.floodConnections = attackers->floodConnections();
  }
  attackers.reset();
  for (auto& player : relayPlayers) player->control.leave();
  for (auto& player : echoPlayers) player->control.leave();
  relay.stop();
  relayPlayers.clear();  // controls join their receive threads
  echoPlayers.clear();
  return c;
}

RunResult runRelay(double seconds, bool paced, bool soak, bool lockstep = false, bool attack = false,
                   int count = kPlayers) {
  RunResult result;
  clearSendTimes(0, kPlayers);
  RelayGauge gauge;
  GameDaemon::ServerThread relay(0);
  if (!relay.waitListening()) return result;
  // Full speed measures what the relay can carry: every seat sends far
  // beyond the rate a seat is held to in a game.
  if (!paced) relay.server()->setSeatRate(0);
  std::vector<std::unique_ptr<Player>> players;
  // The soak leaves the fifth seat to the player that leaves and rejoins.
  if (!seatPlayers(players, relay.port(), soak ? kPlayers - 1 : count)) return result;
  std::unique_ptr<Attackers> attackers;
  if (attack) attackers = std::make_unique<Attackers>(relay.port());
  // The soak measures memory: latency samples would grow it.
  if (soak)
    for (auto& player : players)
      for (auto& v : player->timed) v->m_record = false;
  std::vector<Player*> all;
  for (auto& p : players) all.push_back(p.get());

  if (soak) {
    std::thread game([&] { play(all, seconds, true, false); });
    // Player 4 leaves and rejoins every second while the others play on;
    // resources are sampled every five seconds.
    auto status = [](const char* key) {
      std::ifstream in("/proc/self/status");
      std::string line;
      while (std::getline(in, line))
        if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::strlen(key));
      return 0L;
    };
    auto fds = [] {
      long n = 0;
      if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d)) ++n;
        closedir(d);
      }
      return n - 2;
    };
    NetControl churn;
    int rejoined = 0;
    long firstThreads = 0, firstFds = 0, firstRss = 0, lastThreads = 0, lastFds = 0, lastRss = 0;
    for (int second = 1; second <= static_cast<int>(seconds); ++second) {
      if (churn.joinGame("127.0.0.1", relay.port(), 1000) == NetControl::JoinResult::Accepted &&
          churn.playerSlot() == kPlayers - 1)
        ++rejoined;
      Sleep(500);
      churn.leave();
      Sleep(500);
      if (second % 5 == 0 || second == 1) {
        lastThreads = status("Threads:");
        lastFds = fds();
        lastRss = status("VmRSS:");
        if (second == 1) firstThreads = lastThreads, firstFds = lastFds, firstRss = lastRss;
        std::printf("soak %4d s: threads %ld, descriptors %ld, resident %ld kB, relay connections %zu\n", second,
                    lastThreads, lastFds, lastRss, relay.server()->connectionCount());
        std::fflush(stdout);
      }
    }
    game.join();
    const bool flat = lastThreads <= firstThreads && lastFds <= firstFds && lastRss - firstRss < 16 * 1024;
    std::printf("soak %s: threads %ld -> %ld, descriptors %ld -> %ld, resident %+ld kB\n", flat ? "flat" : "GROWING",
                firstThreads, lastThreads, firstFds, lastFds, lastRss - firstRss);
    std::printf("soak rejoins: %d of %d seated again in slot %d\n", rejoined, static_cast<int>(seconds), kPlayers - 1);
  } else {
    result.seconds = play(
        all, seconds, paced, lockstep, [&] { gauge.start(*relay.server()); }, [&] { gauge.sample(all); });
    gauge.finish(*relay.server(), result);
  }
  collect(players, result);
  if (attackers)
    std::printf("  (%llu flooder connections, %llu dump requests from a seat, %llu connections dropped)\n",
                static_cast<unsigned long long>(attackers->floods()),
                static_cast<unsigned long long>(attackers->seatedRequests()),
                static_cast<unsigned long long>(relay.server()->droppedConnections()));
  attackers.reset();
  for (auto& player : players) player->control.leave();
  relay.stop();
  players.clear();  // controls join their receive threads
  return result;
}

void report(const char* title, RunResult& r, double echoP99) {
  const double p50 = r.latency.percentile(0.5), p99 = r.latency.percentile(0.99);
  std::printf("%s:\n", title);
  std::printf("  updates sent %llu (%.0f/s), relayed by the server %.0f/s, delivered to players %.0f/s\n",
              static_cast<unsigned long long>(r.updatesSent), static_cast<double>(r.updatesSent) / r.seconds,
              static_cast<double>(r.relayed) / r.seconds, static_cast<double>(r.deliveries) / r.seconds);
  std::printf("  bytes per update: %.1f sent, %.1f received per delivery\n",
              r.updatesSent ? static_cast<double>(r.bytesSent) / static_cast<double>(r.updatesSent) : 0.0,
              r.deliveries ? static_cast<double>(r.bytesReceived) / static_cast<double>(r.deliveries) : 0.0);
  std::printf("  latency update -> other player's receipt: median %.1f us, p99 %.1f us (%.2fx echo p99)\n", p50, p99,
              echoP99 > 0 ? p99 / echoP99 : 0.0);
  std::printf("  longest wait for the server's lock %.0f us, peak live heap %.1f MB above the process before\n",
              r.lockWaitUs, r.heapMB);
}

}  // namespace

int main(int argc, char** argv) {
  bool soak = false;
  double seconds = 5;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--soak") == 0) {
      soak = true;
      seconds = 60;
    } else {
      seconds = std::max(1.0, std::atof(argv[i]));
    }
  }
  if (soak) {
    runRelay(seconds, true, true);
    return 0;
  }

  constexpr int kRuns = 3;
  // The 60 Hz comparisons: five players against the echo floor, and three
  // players quiet and under attack (the attackers take the other two
  // seats). The kinds alternate run by run so that a noisy moment of the
  // machine is shared out between them; each is pooled over kRuns runs.
  struct Kind {
    const char* name;
    int players;
    bool attack;
  };
  const Kind kinds[] = {{"five players", kPlayers, false},
                        {"three players", kHonestUnderAttack, false},
                        {"three players under attack", kHonestUnderAttack, true}};
  struct Pool {
    Latencies echo, relay, byReceiver[kPlayers];
    std::vector<double> ratios;
    double relayedPerSecond = 0, lockWaitUs = 0, heapMB = 0;
    Latencies joinMs;
    std::uint64_t floodConnections = 0;
  } pools[3];
  for (int run = 1; run <= kRuns; ++run) {
    for (int k = 0; k < 3; ++k) {
      Pool& pool = pools[k];
      Comparison c = runComparison(seconds, kinds[k].players, kinds[k].attack);
      const double e50 = c.echo.latency.percentile(0.5), e99 = c.echo.latency.percentile(0.99);
      const double r50 = c.relay.latency.percentile(0.5), r99 = c.relay.latency.percentile(0.99);
      pool.ratios.push_back(e99 > 0 ? r99 / e99 : 0);
      std::printf(
          "60 Hz run %d, %s: echo median %.1f us, p99 %.1f us (%zu samples); relay median %.1f us, p99 %.1f us (%zu "
          "samples); %.2fx; lock wait %.0f us, heap %.1f MB\n",
          run, kinds[k].name, e50, e99, c.echo.latency.us.size(), r50, r99, c.relay.latency.us.size(),
          pool.ratios.back(), c.relay.lockWaitUs, c.relay.heapMB);
      std::fflush(stdout);
      pool.echo.add(c.echo.latency);
      pool.relay.add(c.relay.latency);
      for (int p = 0; p < kPlayers; ++p) pool.byReceiver[p].add(c.relay.byReceiver[p]);
      pool.relayedPerSecond += c.relay.seconds > 0 ? static_cast<double>(c.relay.relayed) / c.relay.seconds / kRuns : 0;
      pool.lockWaitUs = std::max(pool.lockWaitUs, c.relay.lockWaitUs);
      pool.joinMs.us.insert(pool.joinMs.us.end(), c.joinMs.begin(), c.joinMs.end());
      pool.floodConnections += c.floodConnections;
      pool.heapMB = std::max(pool.heapMB, c.relay.heapMB);
    }
  }
  double poolP99[3][2];  // [kind][relay, echo]
  for (int k = 0; k < 3; ++k) {
    Pool& pool = pools[k];
    const double echoP99 = pool.echo.percentile(0.99), relayP99 = pool.relay.percentile(0.99);
    poolP99[k][0] = relayP99;
    poolP99[k][1] = echoP99;
    std::sort(pool.ratios.begin(), pool.ratios.end());
    std::printf("%s at 60 Hz, each on its own frame clock:\n", kinds[k].name);
    std::printf("  echo floor (68-byte update echoed to the sender): median %.1f us, p99 %.1f us\n",
                pool.echo.percentile(0.5), echoP99);
    std::printf("  relay: median %.1f us, p99 %.1f us\n", pool.relay.percentile(0.5), relayP99);
    double best = 1e30, worst = 0;
    for (int p = 0; p < kinds[k].players; ++p) {
      best = std::min(best, pool.byReceiver[p].percentile(0.99));
      worst = std::max(worst, pool.byReceiver[p].percentile(0.99));
    }
    std::printf("  p99 by receiving player from %.1f us to %.1f us\n", best, worst);
    std::printf("  p99 ratio pooled over %d runs %.2fx (per run %.2fx to %.2fx)\n", kRuns,
                echoP99 > 0 ? relayP99 / echoP99 : 0.0, pool.ratios.front(), pool.ratios.back());
    std::printf("  relayed updates %.0f/s, longest wait for the server's lock %.0f us, peak live heap %.1f MB\n",
                pool.relayedPerSecond, pool.lockWaitUs, pool.heapMB);
    if (!pool.joinMs.us.empty())
      std::printf(
          "  a newcomer's join answered in median %.1f ms, p99 %.1f ms, at worst %.1f ms (%zu joins; %llu "
          "connections opened by the flooding address)\n",
          pool.joinMs.percentile(0.5), pool.joinMs.percentile(0.99), pool.joinMs.percentile(1.0), pool.joinMs.us.size(),
          static_cast<unsigned long long>(pool.floodConnections));
  }
  const double relayP99 = poolP99[0][0], echoP99 = poolP99[0][1];
  const double quietP99 = poolP99[1][0], attackP99 = poolP99[2][0];
  RunResult lockstep = runRelay(seconds, true, false, true);
  report("relay, five players at 60 Hz in lockstep (worst case, for information)", lockstep, echoP99);
  RunResult full = runRelay(seconds, false, false);
  report("relay, five players at full speed", full, echoP99);
  const double delivered = static_cast<double>(full.deliveries) / full.seconds;

  RunResult fullQuiet = runRelay(seconds, false, false, false, false, kHonestUnderAttack);
  report("relay, three players at full speed", fullQuiet, echoP99);
  RunResult fullAttack = runRelay(seconds, false, false, false, true, kHonestUnderAttack);
  report("relay, three players at full speed under attack", fullAttack, echoP99);
  const double quietRelayed = static_cast<double>(fullQuiet.relayed) / fullQuiet.seconds;
  const double attackRelayed = static_cast<double>(fullAttack.relayed) / fullAttack.seconds;
  // At full speed every core is busy and a thread holding the lock is
  // often preempted, under attack or not: the lock target is the game's
  // 60 Hz, full speed is printed beside it.
  const double attackLockWaitUs = pools[2].lockWaitUs;
  const double heapAboveQuiet = std::max(pools[2].heapMB - pools[1].heapMB, fullAttack.heapMB - fullQuiet.heapMB);

  std::printf("target p99 at 60 Hz under 2x echo p99: %s\n", relayP99 < 2 * echoP99 ? "met" : "MISSED");
  std::printf("target over 200000 relayed updates/s at full speed (deliveries): %s\n",
              delivered > 200000 ? "met" : "MISSED");
  std::printf("target p99 at 60 Hz under attack at most 2x without (%.1f us vs %.1f us, %.2fx): %s\n", attackP99,
              quietP99, quietP99 > 0 ? attackP99 / quietP99 : 0.0, attackP99 <= 2 * quietP99 ? "met" : "MISSED");
  std::printf("target relayed updates/s under attack at least 80%% of without (%.0f vs %.0f, %.0f%%): %s\n",
              attackRelayed, quietRelayed, quietRelayed > 0 ? 100 * attackRelayed / quietRelayed : 0.0,
              attackRelayed >= 0.8 * quietRelayed ? "met" : "MISSED");
  std::printf(
      "target longest wait for the server's lock at 60 Hz under attack under 5 ms (%.0f us; at full speed %.0f us, "
      "quiet %.0f us): %s\n",
      attackLockWaitUs, fullAttack.lockWaitUs, fullQuiet.lockWaitUs, attackLockWaitUs < 5000 ? "met" : "MISSED");
  std::printf("target live heap under attack under 64 MB above the quiet relay (%+.1f MB): %s\n", heapAboveQuiet,
              heapAboveQuiet < 64 ? "met" : "MISSED");
  const double worstJoinMs = pools[2].joinMs.percentile(1.0);
  std::printf(
      "target a newcomer's join answered under attack and a connection flood within 100 ms (at worst %.1f ms): "
      "%s\n",
      worstJoinMs, worstJoinMs < 100 ? "met" : "MISSED");
  return 0;
}
