// The relay under load, in one process on loopback: a relay with its host
// and four clients (the five seats), each player updating a 64-byte value.
// Prints updates relayed per second, latency from one player's update to
// another's receipt (median, p99), bytes per update, and a plain TCP echo's
// round trip as the floor (both cross loopback twice).
//
//   relay_bench [seconds]        60 Hz and full-speed runs (default 5 s each)
//   relay_bench --soak [seconds] 60 Hz with a player leaving and rejoining
//                                every second; threads, descriptors and
//                                memory are sampled and must stay flat
#include <dirent.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/net_control.h"
#include "net/net_value.h"
#include "net/relay_server.h"
#include "platform/system.h"
#include "platform/winsock.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPlayers = 5;
constexpr int kValueBase = 100;  // player p sends id kValueBase + p
constexpr int kRing = 1 << 16;   // send times kept per player

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
};

// When each player sent each sequence number.
std::atomic<std::int64_t> g_sentAt[kPlayers][kRing];

// Another player's value as this player receives it: records the arrival
// on the receive thread, the moment the relay's bytes are decoded.
class TimedValue final : public NetValueBase {
 public:
  TimedValue(NetControl& control, int sender) : m_control(control), m_sender(sender) { control.addValue(this); }
  ~TimedValue() { m_control.removeValue(this); }
  const void* getData() const override { return m_bytes; }
  int size() const override { return 64; }
  bool isDirty() const override { return false; }
  bool setReceived(const std::uint8_t* data, int length) override {
    if (length != 64) return false;
    std::memcpy(m_bytes, data, 64);
    std::uint32_t seq;
    std::memcpy(&seq, data + 4, 4);
    const std::int64_t sent = g_sentAt[m_sender][seq % kRing].load(std::memory_order_relaxed);
    if (m_record.load(std::memory_order_relaxed) && sent > 0) {
      std::lock_guard lock(m_samplesMutex);
      m_samples.push_back(static_cast<double>(nowNs() - sent) / 1000.0);
    }
    ++m_received;
    return true;
  }
  void commit() override {}
  int getId() const override { return kValueBase + m_sender; }
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
  int m_sender;
  std::string m_name = "timed";
  std::uint8_t m_bytes[64] = {};
};

struct Player {
  NetControl control;
  NetValue<Matrix4x3> own{control};
  std::vector<std::unique_ptr<TimedValue>> others;
  std::uint32_t seq = 0;
  std::uint64_t updates = 0;
};

struct RunResult {
  double seconds = 0;
  std::uint64_t updatesSent = 0, deliveries = 0, relayed = 0, bytesSent = 0, bytesReceived = 0;
  Latencies latency;
};

bool seatPlayers(std::vector<std::unique_ptr<Player>>& players, WORD port) {
  for (int p = 0; p < kPlayers; ++p) {
    auto player = std::make_unique<Player>();
    player->own.init(kValueBase + p);
    for (int q = 0; q < kPlayers; ++q)
      if (q != p) player->others.push_back(std::make_unique<TimedValue>(player->control, q));
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
void frame(Player& player, int p) {
  ++player.seq;
  Matrix4x3 m = NetWire<Matrix4x3>::initial();
  std::memcpy(&m.m[0], &p, 4);
  std::memcpy(&m.m[1], &player.seq, 4);
  g_sentAt[p][player.seq % kRing].store(nowNs(), std::memory_order_relaxed);
  player.own.set(m);
  player.control.update();
  ++player.updates;
}

// Frame clocks of the players. Machines in a real game run their frames at
// unrelated moments, so each player gets its own phase within the 60 Hz
// frame (fixed, so runs compare); `lockstep` makes all five update at the
// same instant, the worst case, which only one process can produce.
std::chrono::microseconds phaseOf(int p, bool lockstep) {
  static const int phases[kPlayers] = {0, 7411, 2930, 12703, 9874};
  return std::chrono::microseconds(lockstep ? 0 : phases[p]);
}

RunResult runRelay(double seconds, bool paced, bool soak, bool lockstep = false) {
  RunResult result;
  for (auto& row : g_sentAt)
    for (auto& t : row) t.store(0);
  GameDaemon::ServerThread relay(0);
  if (!relay.waitListening()) return result;
  std::vector<std::unique_ptr<Player>> players;
  if (!seatPlayers(players, relay.port())) return result;
  // The soak measures memory: latency samples would grow it.
  if (soak)
    for (auto& player : players)
      for (auto& v : player->others) v->m_record = false;

  std::atomic<bool> running{true};
  std::vector<std::thread> threads;
  const auto start = Clock::now();
  for (int p = 0; p < kPlayers; ++p) {
    threads.emplace_back([&, p] {
      Player& player = *players[p];
      auto next = start + phaseOf(p, lockstep);
      if (paced) std::this_thread::sleep_until(next);
      while (running.load()) {
        frame(player, p);
        if (paced) {
          next += std::chrono::microseconds(16667);
          std::this_thread::sleep_until(next);
        }
      }
    });
  }

  if (soak) {
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
    long firstThreads = 0, firstFds = 0, firstRss = 0, lastThreads = 0, lastFds = 0, lastRss = 0;
    for (int second = 1; second <= static_cast<int>(seconds); ++second) {
      churn.joinGame("127.0.0.1", relay.port(), 1000);
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
    const bool flat = lastThreads <= firstThreads && lastFds <= firstFds && lastRss - firstRss < 16 * 1024;
    std::printf("soak %s: threads %ld -> %ld, descriptors %ld -> %ld, resident %+ld kB\n", flat ? "flat" : "GROWING",
                firstThreads, lastThreads, firstFds, lastFds, lastRss - firstRss);
  } else {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  }
  running = false;
  for (auto& t : threads) t.join();
  result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  for (auto& player : players)
    for (auto& v : player->others) v->m_record = false;
  Sleep(200);  // the last messages in flight arrive
  result.relayed = relay.server()->relayedUpdates();
  for (auto& player : players) {
    result.updatesSent += player->updates;
    result.bytesSent += player->control.getBytesSent64();
    result.bytesReceived += player->control.getBytesReceived64();
    for (auto& v : player->others) {
      result.deliveries += v->m_received.load();
      std::lock_guard lock(v->m_samplesMutex);
      result.latency.us.insert(result.latency.us.end(), v->m_samples.begin(), v->m_samples.end());
    }
  }
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
}

// The floor: five clients, each on the same frame clock as a player,
// bounce 68-byte messages (a 64-byte value with its header) off a plain
// echo server: two crossings of loopback per sample, as for a relayed
// update.
Latencies runEcho(double seconds) {
  WSADATA data;
  wsa::WSAStartup(MAKEWORD(2, 2), &data);
  const SOCKET listener = wsa::socket(AF_INET_WS, SOCK_STREAM_WS, IPPROTO_TCP_WS);
  SOCKADDR_IN a;
  a.sin_addr = wsa::htonl(INADDR_LOOPBACK_WS);
  wsa::bind(listener, &a);
  wsa::listen(listener, kPlayers);
  SOCKADDR_IN bound;
  wsa::getsockname(listener, &bound);
  const int one = 1;

  std::vector<std::thread> echoes;
  std::vector<SOCKET> clients;
  for (int p = 0; p < kPlayers; ++p) {
    const SOCKET c = wsa::socket(AF_INET_WS, SOCK_STREAM_WS, IPPROTO_TCP_WS);
    wsa::setsockopt(c, IPPROTO_TCP_WS, TCP_NODELAY_WS, reinterpret_cast<const char*>(&one), 4);
    SOCKADDR_IN to;
    to.sin_port = bound.sin_port;
    to.sin_addr = wsa::htonl(INADDR_LOOPBACK_WS);
    wsa::connect(c, &to);
    clients.push_back(c);
    const SOCKET s = wsa::accept(listener, nullptr);
    wsa::setsockopt(s, IPPROTO_TCP_WS, TCP_NODELAY_WS, reinterpret_cast<const char*>(&one), 4);
    echoes.emplace_back([s] {
      char buffer[4096];
      int n;
      while ((n = wsa::recv(s, buffer, sizeof buffer, 0)) > 0) wsa::send(s, buffer, n, 0);
      wsa::closesocket(s);
    });
  }

  std::vector<Latencies> perClient(kPlayers);
  std::vector<std::thread> senders;
  const auto start = Clock::now();
  for (int p = 0; p < kPlayers; ++p) {
    senders.emplace_back([&, p] {
      char message[68] = {68, 0, 100, 0};
      const auto end = start + std::chrono::duration<double>(seconds);
      auto next = start + phaseOf(p, false);
      std::this_thread::sleep_until(next);
      while (Clock::now() < end) {
        const auto t0 = Clock::now();
        wsa::send(clients[p], message, sizeof message, 0);
        int got = 0;
        char back[68];
        while (got < 68) {
          const int n = wsa::recv(clients[p], back + got, 68 - got, 0);
          if (n <= 0) break;
          got += n;
        }
        perClient[p].us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
        next += std::chrono::microseconds(16667);
        std::this_thread::sleep_until(next);
      }
    });
  }
  for (auto& t : senders) t.join();
  for (SOCKET c : clients) wsa::shutdown(c, SD_BOTH);
  for (auto& t : echoes) t.join();
  for (SOCKET c : clients) wsa::closesocket(c);
  wsa::closesocket(listener);
  wsa::WSACleanup();
  Latencies all;
  for (auto& l : perClient) all.us.insert(all.us.end(), l.us.begin(), l.us.end());
  return all;
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
  Latencies echo = runEcho(seconds);
  const double echoP50 = echo.percentile(0.5), echoP99 = echo.percentile(0.99);
  std::printf("echo floor (five clients at 60 Hz, 68-byte round trip): median %.1f us, p99 %.1f us\n", echoP50,
              echoP99);
  RunResult paced = runRelay(seconds, true, false);
  report("relay, five players at 60 Hz, each on its own frame clock", paced, echoP99);
  RunResult lockstep = runRelay(seconds, true, false, true);
  report("relay, five players at 60 Hz in lockstep (worst case, for information)", lockstep, echoP99);
  RunResult full = runRelay(seconds, false, false);
  report("relay, five players at full speed", full, echoP99);
  const double pacedP99 = paced.latency.percentile(0.99);
  const double delivered = static_cast<double>(full.deliveries) / full.seconds;
  std::printf("target p99 at 60 Hz under 2x echo p99: %s\n", pacedP99 < 2 * echoP99 ? "met" : "MISSED");
  std::printf("target over 200000 relayed updates/s at full speed (deliveries): %s\n",
              delivered > 200000 ? "met" : "MISSED");
  return 0;
}
