#include "net/relay_out_queue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/value_store.h"
#include "tests/net/raw_peer.h"

namespace {

using GameDaemon::OutQueue;

std::vector<std::uint8_t> text(const std::string& s) { return std::vector<std::uint8_t>(s.begin(), s.end()); }

// Sends everything `queue` holds in pieces of at most `piece` bytes and
// notes, per run part, where it came from.
struct Drain {
  std::string bytes;
  std::string parts;  // "from:bytes[c][d][f] " per part: counted, dump, finished
  void run(OutQueue& queue, std::size_t piece) {
    while (!queue.empty()) {
      const auto [data, size] = queue.next(piece);
      ASSERT_GT(size, 0u);
      bytes.append(reinterpret_cast<const char*>(data), size);
      queue.consume(size, [&](const OutQueue::Run& run, std::size_t n, bool finished) {
        parts += std::to_string(run.from) + ":" + std::to_string(n) + (run.counted ? "c" : "") + (run.dump ? "d" : "") +
                 (finished ? "f" : "") + " ";
      });
    }
  }
};

TEST(OutQueue, RunsAndSharedDumpsGoOutInOrderWithTheirSendersAndCounts) {
  GameDaemon::ValueStore store;
  const std::vector<std::uint8_t> value = {'V'};
  store.store(7, value.data(), 1);
  auto dump = store.dump();  // 5 + 4 bytes
  const std::string dumpBytes(reinterpret_cast<const char*>(dump->data()), dump->size());

  OutQueue q;
  const auto ab = text("ab"), cd = text("cd"), ef = text("ef");
  q.append(ab.data(), 2, 1);
  q.append(cd.data(), 2, 1);  // merges with the run before
  q.append(ef.data(), 2, -1);
  q.appendDump(dump, false);
  q.append(ab.data(), 2, 2);
  q.appendDump(dump, true);

  Drain d;
  d.run(q, 3);
  EXPECT_EQ(d.bytes, "abcdef" + dumpBytes + "ab" + dumpBytes);
  EXPECT_EQ(d.parts, "1:3c 1:1cf -1:2cf -1:3d -1:3d -1:3df 2:2cf -1:3cd -1:3cd -1:3cdf ");
}

}  // namespace
