// Feeds arbitrary bytes to the relay's message handling, as a hostile peer
// could. Three connections share one server, each on one end of a local
// socket pair, so replies and relays go through the writers and out on a
// real socket; the first byte of each chunk picks the connection and the
// chunk's length, so messages split, merge and interleave between players.
// They count as the game's own machine, so any of them may host.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "net/relay_server.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  WSADATA wsaData;
  wsa::WSAStartup(MAKEWORD(2, 2), &wsaData);
  {
    GameDaemon::GameServer server;
    // A barrier would wait for players that this single thread never
    // drives: it gives up at once, after the release check. Nobody reads
    // the far ends, so a full socket gives up at once too.
    server.setBarrierTimeout(0);
    server.setSendTimeout(0);
    SOCKET far[3] = {INVALID_SOCKET, INVALID_SOCKET, INVALID_SOCKET};
    std::unique_ptr<NetServerConnection> connections[3];
    for (int i = 0; i < 3; ++i) {
      SOCKET pair[2] = {INVALID_SOCKET, INVALID_SOCKET};
      wsa::socketPair(pair);
      far[i] = pair[1];
      connections[i] = server.createConnection(pair[0]);
      connections[i]->setPeerAddress(wsa::htonl(INADDR_LOOPBACK_WS));
    }
    std::size_t pos = 0;
    while (pos < size) {
      const std::uint8_t control = data[pos++];
      const std::size_t length = std::min<std::size_t>(size - pos, 1 + (control >> 2));
      connections[control % 3]->onReceive(data + pos, static_cast<int>(length));
      pos += length;
    }
    for (auto& c : connections) c->onDisconnect();
    for (auto& c : connections) c.reset();
    for (SOCKET s : far)
      if (s != INVALID_SOCKET) wsa::closesocket(s);
  }
  wsa::WSACleanup();
  return 0;
}
