// Feeds arbitrary bytes to the relay's message handling, as a hostile peer
// could. Three connections without sockets share one server; the first
// byte of each chunk picks the connection and the chunk's length, so
// messages split, merge and interleave between players.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "net/relay_server.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  GameDaemon::GameServer server;
  // A barrier would wait for players that this single thread never drives:
  // with the server stopping, a barrier ends its connection instead.
  server.beginStop();
  std::unique_ptr<NetServerConnection> connections[3];
  for (auto& c : connections) c = server.createConnection(INVALID_SOCKET);
  std::size_t pos = 0;
  while (pos < size) {
    const std::uint8_t control = data[pos++];
    const std::size_t length = std::min<std::size_t>(size - pos, 1 + (control >> 2));
    connections[control % 3]->onReceive(data + pos, static_cast<int>(length));
    pos += length;
  }
  for (auto& c : connections) c->onDisconnect();
  return 0;
}
