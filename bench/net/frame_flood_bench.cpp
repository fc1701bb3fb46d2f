// A machine's frame while a seated peer floods valid updates: two machines
// (the host and a player) on a relay on loopback, each with as many
// replicated values as a network race registers (the settings and six
// karts), run frames at 60 Hz: a fixed piece of work standing for the
// race, then NetControl::update. A third seat sends updates of the value
// registered last as fast as the relay takes them. Prints each machine's
// frame time (median, p99) quiet and under the flood, and the ratio.
//
//   frame_flood_bench [seconds]   each run (default 5), quiet and flooded
//                                 alternately, three times each
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "net/net_control.h"
#include "net/net_value.h"
#include "net/relay_server.h"
#include "platform/system/system.h"
#include "tests/net/raw_peer.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kFrame = std::chrono::microseconds(16667);
// The settings' ten values and six karts of about 210 each.
constexpr int kValues = 1270;
constexpr int kFirstId = 32;
// What stands for the race's own work in a frame.
constexpr auto kWork = std::chrono::microseconds(3000);

struct Machine {
  NetControl control;
  std::vector<std::unique_ptr<NetValue<float>>> values;
  std::vector<double> frameUs;
  explicit Machine() {
    for (int i = 0; i < kValues; ++i) {
      values.push_back(std::make_unique<NetValue<float>>(control));
      values.back()->init(kFirstId + i, 0.0f);
    }
  }
  // The race's work: busy for kWork, changing a few values as karts do.
  void frame(int n) {
    const auto start = Clock::now();
    volatile double sink = 0;
    while (Clock::now() - start < kWork) sink = sink + 1.0;
    for (int i = 0; i < 60; ++i) values[static_cast<std::size_t>((n * 61 + i) % kValues)]->set(static_cast<float>(n));
    control.update();
    frameUs.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
};

double percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())))];
}

struct Run {
  std::vector<double> frameUs;  // both machines' frames
  unsigned long long flooded = 0;
};

Run run(double seconds, bool flood) {
  Run result;
  GameDaemon::ServerThread relay(0);
  if (!relay.waitListening()) return result;
  Machine host, player;
  RawPeer flooder;
  if (host.control.hostGame("127.0.0.1", relay.port(), 3000) != NetControl::JoinResult::Accepted ||
      player.control.joinGame("127.0.0.1", relay.port(), 3000) != NetControl::JoinResult::Accepted ||
      !flooder.connect(relay.port()) || seat(flooder, net::kJoin) != 2) {
    std::fprintf(stderr, "could not seat the machines\n");
    return result;
  }
  std::atomic<bool> stop{false};
  std::thread flooding, reading;
  if (flood) {
    std::vector<std::uint8_t> burst;
    for (int i = 0; i < 512; ++i) {
      const auto m = frame(kFirstId + kValues - 1, u32(static_cast<std::uint32_t>(i)));
      burst.insert(burst.end(), m.begin(), m.end());
    }
    flooding = std::thread([&, burst] {
      while (!stop.load() && flooder.sendRaw(burst)) ++result.flooded;
    });
    reading = std::thread([&] {
      while (!stop.load() && flooder.readSome(4096)) {
      }
    });
  }
  std::thread other([&] {
    auto next = Clock::now() + kFrame / 2;
    for (int n = 0; !stop.load(); ++n) {
      player.frame(n);
      std::this_thread::sleep_until(next += kFrame);
    }
  });
  const auto end = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  auto next = Clock::now();
  for (int n = 0; Clock::now() < end; ++n) {
    host.frame(n);
    std::this_thread::sleep_until(next += kFrame);
  }
  stop = true;
  other.join();
  wsa::shutdown(flooder.socket(), SD_BOTH);
  if (flooding.joinable()) flooding.join();
  if (reading.joinable()) reading.join();
  // The first second warms up.
  for (Machine* m : {&host, &player})
    result.frameUs.insert(result.frameUs.end(), m->frameUs.begin() + std::min<std::size_t>(60, m->frameUs.size()),
                          m->frameUs.end());
  host.control.leave();
  player.control.leave();
  relay.stop();
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 5.0;
  std::vector<double> quiet, flooded;
  unsigned long long bursts = 0;
  for (int i = 0; i < 3; ++i) {
    Run q = run(seconds, false);
    Run f = run(seconds, true);
    std::printf("run %d: quiet p99 %.0f us, flooded p99 %.0f us (%llu bursts of 512 updates sent)\n", i + 1,
                percentile(q.frameUs, 0.99), percentile(f.frameUs, 0.99), f.flooded);
    std::fflush(stdout);
    quiet.insert(quiet.end(), q.frameUs.begin(), q.frameUs.end());
    flooded.insert(flooded.end(), f.frameUs.begin(), f.frameUs.end());
    bursts += f.flooded;
  }
  const double q50 = percentile(quiet, 0.5), q99 = percentile(quiet, 0.99);
  const double f50 = percentile(flooded, 0.5), f99 = percentile(flooded, 0.99);
  std::printf("frame of a machine with %d values (work %lld us + update), pooled over three runs:\n", kValues,
              static_cast<long long>(kWork.count()));
  std::printf("  quiet: median %.0f us, p99 %.0f us\n", q50, q99);
  std::printf(
      "  a seated peer flooding valid updates: median %.0f us (%.2fx), p99 %.0f us (%.2fx); %llu updates sent\n", f50,
      q50 > 0 ? f50 / q50 : 0.0, f99, q99 > 0 ? f99 / q99 : 0.0, bursts * 512);
  return 0;
}
