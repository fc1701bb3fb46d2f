#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "platform/net/winsock.h"
#include "platform/system/system.h"
#include "platform/system/threads.h"

namespace {

// Winsock started for the test's duration.
class Sockets : public ::testing::Test {
 protected:
  void SetUp() override {
    WSADATA data;
    ASSERT_EQ(wsa::WSAStartup(MAKEWORD(2, 2), &data), 0);
    ASSERT_EQ(data.wVersion, MAKEWORD(2, 2));
  }
  void TearDown() override {
    for (SOCKET s : m_open) wsa::closesocket(s);
    wsa::WSACleanup();
  }
  SOCKET track(SOCKET s) {
    m_open.push_back(s);
    return s;
  }
  // A listening socket on a free loopback port.
  SOCKET listener(WORD* port) {
    SOCKET s = track(wsa::socket(AF_INET_WS, SOCK_STREAM_WS, IPPROTO_TCP_WS));
    SOCKADDR_IN a;
    a.sin_addr = wsa::htonl(INADDR_LOOPBACK_WS);
    EXPECT_EQ(wsa::bind(s, &a), 0);
    EXPECT_EQ(wsa::listen(s, SOMAXCONN_WS), 0);
    SOCKADDR_IN bound;
    wsa::getsockname(s, &bound);
    *port = wsa::ntohs(bound.sin_port);
    return s;
  }
  SOCKET connectTo(WORD port) {
    SOCKET s = track(wsa::socket(AF_INET_WS, SOCK_STREAM_WS, IPPROTO_TCP_WS));
    SOCKADDR_IN a;
    a.sin_port = wsa::htons(port);
    a.sin_addr = wsa::inet_addr("127.0.0.1");
    EXPECT_EQ(wsa::connect(s, &a), 0);
    return s;
  }
  std::vector<SOCKET> m_open;
};

TEST(SocketStartup, CallsFailUntilStartedAndStartupsAreCounted) {
  EXPECT_EQ(wsa::socket(AF_INET_WS, SOCK_STREAM_WS, IPPROTO_TCP_WS), INVALID_SOCKET);
  EXPECT_EQ(wsa::WSAGetLastError(), WSANOTINITIALISED);
  WSADATA data;
  EXPECT_EQ(wsa::WSAStartup(MAKEWORD(1, 0), &data), WSAVERNOTSUPPORTED);
  ASSERT_EQ(wsa::WSAStartup(MAKEWORD(3, 0), &data), 0);
  EXPECT_EQ(data.wVersion, MAKEWORD(2, 2));
  ASSERT_EQ(wsa::WSAStartup(MAKEWORD(2, 2), &data), 0);
  EXPECT_EQ(wsa::WSACleanup(), 0);
  const SOCKET s = wsa::socket(AF_INET_WS, SOCK_STREAM_WS, IPPROTO_TCP_WS);
  EXPECT_NE(s, INVALID_SOCKET);  // one start-up still in force
  wsa::closesocket(s);
  EXPECT_EQ(wsa::WSACleanup(), 0);
  EXPECT_EQ(wsa::WSACleanup(), SOCKET_ERROR);  // an extra clean-up is refused
  EXPECT_EQ(wsa::WSAGetLastError(), WSANOTINITIALISED);
}

TEST_F(Sockets, BytesCrossLoopbackAndAClosedPeerReadsAsZero) {
  WORD port;
  const SOCKET l = listener(&port);
  const SOCKET c = connectTo(port);
  SOCKADDR_IN peer;
  const SOCKET a = track(wsa::accept(l, &peer));
  ASSERT_NE(a, INVALID_SOCKET);
  EXPECT_EQ(peer.sin_addr, wsa::htonl(INADDR_LOOPBACK_WS));
  const int one = 1;
  EXPECT_EQ(wsa::setsockopt(c, IPPROTO_TCP_WS, TCP_NODELAY_WS, reinterpret_cast<const char*>(&one), 4), 0);
  EXPECT_EQ(wsa::send(c, "hello", 5, 0), 5);
  char buffer[16] = {};
  EXPECT_EQ(wsa::recv(a, buffer, sizeof buffer, 0), 5);
  EXPECT_STREQ(buffer, "hello");
  EXPECT_EQ(wsa::shutdown(c, SD_BOTH), 0);
  EXPECT_EQ(wsa::recv(a, buffer, sizeof buffer, 0), 0);
}

TEST_F(Sockets, SendingToAClosedPeerFailsWithoutKillingTheProcess) {
  WORD port;
  const SOCKET l = listener(&port);
  const SOCKET c = connectTo(port);
  SOCKET a = wsa::accept(l, nullptr);
  wsa::closesocket(a);
  std::vector<char> block(64 * 1024, 'x');
  int result = 0;
  // The first sends may still be queued; a reset follows soon after.
  for (int i = 0; i < 50 && result != SOCKET_ERROR; ++i) {
    result = wsa::send(c, block.data(), static_cast<int>(block.size()), 0);
    Sleep(2);
  }
  EXPECT_EQ(result, SOCKET_ERROR);
  const int error = wsa::WSAGetLastError();
  EXPECT_TRUE(error == WSAECONNRESET || error == WSAESHUTDOWN) << error;
}

TEST_F(Sockets, ShuttingDownAListeningSocketWakesABlockedAccept) {
  WORD port;
  const SOCKET l = listener(&port);
  std::atomic<bool> returned{false};
  SOCKET accepted = 0;
  std::thread t([&] {
    accepted = wsa::accept(l, nullptr);
    returned = true;
  });
  Sleep(50);
  EXPECT_FALSE(returned.load());
  wsa::shutdown(l, SD_BOTH);
  t.join();
  EXPECT_EQ(accepted, INVALID_SOCKET);
  EXPECT_EQ(wsa::acceptTimeout(l, nullptr, 10), INVALID_SOCKET);
}

TEST_F(Sockets, AcceptTimeoutGivesUpAndBindingATakenPortFails) {
  WORD port;
  const SOCKET l = listener(&port);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(wsa::acceptTimeout(l, nullptr, 30), INVALID_SOCKET);
  EXPECT_EQ(wsa::WSAGetLastError(), WSAETIMEDOUT);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(25));

  const SOCKET second = track(wsa::socket(AF_INET_WS, SOCK_STREAM_WS, IPPROTO_TCP_WS));
  const int one = 1;
  wsa::setsockopt(second, SOL_SOCKET_WS, SO_REUSEADDR_WS, reinterpret_cast<const char*>(&one), 4);
  SOCKADDR_IN a;
  a.sin_port = wsa::htons(port);
  a.sin_addr = wsa::htonl(INADDR_LOOPBACK_WS);
  EXPECT_EQ(wsa::bind(second, &a), SOCKET_ERROR);
  EXPECT_EQ(wsa::WSAGetLastError(), WSAEADDRINUSE);
}

TEST_F(Sockets, AReceiveTimeoutEndsAWaitingRecv) {
  WORD port;
  const SOCKET l = listener(&port);
  const SOCKET c = connectTo(port);
  track(wsa::accept(l, nullptr));
  const int ms = 20;
  ASSERT_EQ(wsa::setsockopt(c, SOL_SOCKET_WS, SO_RCVTIMEO_WS, reinterpret_cast<const char*>(&ms), 4), 0);
  char b;
  EXPECT_EQ(wsa::recv(c, &b, 1, 0), SOCKET_ERROR);
  EXPECT_EQ(wsa::WSAGetLastError(), WSAEWOULDBLOCK);
  EXPECT_EQ(wsa::inet_addr("300.1.1.1"), INADDR_NONE_WS);
  EXPECT_EQ(wsa::closesocket(INVALID_SOCKET), SOCKET_ERROR);
}

}  // namespace

namespace {

TEST_F(Sockets, ATimedConnectReachesAListenerAndReportsARefusal) {
  WORD port;
  const SOCKET l = listener(&port);
  SOCKADDR_IN to;
  to.sin_port = wsa::htons(port);
  to.sin_addr = wsa::htonl(INADDR_LOOPBACK_WS);
  const SOCKET c = track(wsa::socket(AF_INET_WS, SOCK_STREAM_WS, IPPROTO_TCP_WS));
  ASSERT_EQ(wsa::connectTimeout(c, &to, 1000), 0);
  const SOCKET a = track(wsa::accept(l, nullptr));
  // Blocking again afterwards: this recv waits for the byte.
  std::thread later([a] {
    Sleep(20);
    wsa::send(a, "x", 1, 0);
  });
  char b = 0;
  EXPECT_EQ(wsa::recv(c, &b, 1, 0), 1);
  later.join();

  wsa::closesocket(l);
  m_open.erase(std::find(m_open.begin(), m_open.end(), l));
  const SOCKET refused = track(wsa::socket(AF_INET_WS, SOCK_STREAM_WS, IPPROTO_TCP_WS));
  EXPECT_EQ(wsa::connectTimeout(refused, &to, 1000), SOCKET_ERROR);
  EXPECT_EQ(wsa::WSAGetLastError(), WSAECONNREFUSED);
}

}  // namespace

TEST_F(Sockets, ATimedSendGivesUpOnATricklingReaderWithinItsTimeForTheWholeBuffer) {
  WORD port;
  const SOCKET l = listener(&port);
  const SOCKET c = connectTo(port);
  const SOCKET a = track(wsa::accept(l, nullptr));
  std::atomic<bool> stop{false};
  // Every read lets the sender go on a little: a timeout per piece would
  // never end this send.
  std::thread reader([&] {
    char b[1000];
    while (!stop.load() && wsa::recv(a, b, sizeof b, 0) > 0) Sleep(20);
  });
  std::vector<char> block(16 << 20, 'x');
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(wsa::sendTimeout(c, block.data(), static_cast<int>(block.size()), 500), SOCKET_ERROR);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(wsa::WSAGetLastError(), WSAETIMEDOUT);
  EXPECT_GE(took, std::chrono::milliseconds(450));
  EXPECT_LT(took, std::chrono::milliseconds(1500));
  stop = true;
  wsa::shutdown(a, SD_BOTH);
  reader.join();
  // A small buffer goes out whole.
  SOCKET pair[2];
  ASSERT_EQ(wsa::socketPair(pair), 0);
  track(pair[0]);
  track(pair[1]);
  EXPECT_EQ(wsa::sendTimeout(pair[0], "abc", 3, 500), 3);
  char got[3];
  EXPECT_EQ(wsa::recv(pair[1], got, 3, 0), 3);
}

TEST_F(Sockets, APeerThatClosesOrASocketShutDownReadsAsClosedWithoutConsumingData) {
  WORD port;
  const SOCKET l = listener(&port);
  const SOCKET c = connectTo(port);
  SOCKET a = wsa::accept(l, nullptr);
  EXPECT_EQ(wsa::send(a, "hi", 2, 0), 2);
  Sleep(20);
  EXPECT_FALSE(wsa::peerClosed(c));  // data waiting is not a close
  wsa::closesocket(a);
  EXPECT_TRUE(wsa::peerClosed(c) || (Sleep(50), wsa::peerClosed(c)));
  char got[2];
  EXPECT_EQ(wsa::recv(c, got, 2, 0), 2);
  const SOCKET d = connectTo(port);
  track(wsa::accept(l, nullptr));
  EXPECT_FALSE(wsa::peerClosed(d));
  wsa::shutdown(d, SD_BOTH);
  EXPECT_TRUE(wsa::peerClosed(d));
  EXPECT_TRUE(wsa::peerClosed(INVALID_SOCKET));
}
