// TCP sockets in Winsock 2.2 terms: the calls, constants and error codes the
// network code speaks, on POSIX sockets. The calls live in namespace wsa so
// that they never collide with the C library's functions of the same names.
// A peer that closes never raises SIGPIPE, and calls interrupted by a signal
// are retried.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/win32_types.h"

using SOCKET = std::uintptr_t;
inline constexpr SOCKET INVALID_SOCKET = ~SOCKET(0);
inline constexpr int SOCKET_ERROR = -1;

inline constexpr int AF_INET_WS = 2;  // AF_INET
inline constexpr int SOCK_STREAM_WS = 1;
inline constexpr int IPPROTO_TCP_WS = 6;
inline constexpr DWORD INADDR_ANY_WS = 0;
inline constexpr DWORD INADDR_LOOPBACK_WS = 0x7F000001;  // host byte order
inline constexpr DWORD INADDR_NONE_WS = 0xFFFFFFFF;

// setsockopt levels and options with their Winsock numbers.
inline constexpr int SOL_SOCKET_WS = 0xFFFF;
inline constexpr int SO_REUSEADDR_WS = 0x0004;
inline constexpr int SO_SNDBUF_WS = 0x1001;    // int bytes
inline constexpr int SO_SNDTIMEO_WS = 0x1005;  // DWORD milliseconds, 0 = none
inline constexpr int SO_RCVTIMEO_WS = 0x1006;  // DWORD milliseconds, 0 = none
inline constexpr int TCP_NODELAY_WS = 0x0001;

// shutdown directions.
inline constexpr int SD_RECEIVE = 0;
inline constexpr int SD_SEND = 1;
inline constexpr int SD_BOTH = 2;

inline constexpr int SOMAXCONN_WS = 0x7FFFFFFF;

// WSAGetLastError codes.
inline constexpr int WSAEINTR = 10004;
inline constexpr int WSAEACCES = 10013;
inline constexpr int WSAEFAULT = 10014;
inline constexpr int WSAEINVAL = 10022;
inline constexpr int WSAEMFILE = 10024;
inline constexpr int WSAEWOULDBLOCK = 10035;
inline constexpr int WSAENOTSOCK = 10038;
inline constexpr int WSAEADDRINUSE = 10048;
inline constexpr int WSAEADDRNOTAVAIL = 10049;
inline constexpr int WSAENETUNREACH = 10051;
inline constexpr int WSAECONNABORTED = 10053;
inline constexpr int WSAECONNRESET = 10054;
inline constexpr int WSAENOBUFS = 10055;
inline constexpr int WSAEISCONN = 10056;
inline constexpr int WSAENOTCONN = 10057;
inline constexpr int WSAESHUTDOWN = 10058;
inline constexpr int WSAETIMEDOUT = 10060;
inline constexpr int WSAECONNREFUSED = 10061;
inline constexpr int WSAEHOSTUNREACH = 10065;
inline constexpr int WSAVERNOTSUPPORTED = 10092;
inline constexpr int WSANOTINITIALISED = 10093;

inline constexpr WORD MAKEWORD(BYTE low, BYTE high) { return static_cast<WORD>(low | (high << 8)); }

struct WSADATA {
  WORD wVersion = 0;
  WORD wHighVersion = 0;
  char szDescription[257] = {};
  char szSystemStatus[129] = {};
};

// An IPv4 address and port, both in network byte order, as in SOCKADDR_IN.
struct SOCKADDR_IN {
  std::int16_t sin_family = AF_INET_WS;
  WORD sin_port = 0;
  DWORD sin_addr = 0;  // S_un.S_addr
};

namespace wsa {

// Reference-counted start-up: every successful WSAStartup needs one
// WSACleanup. Versions below 1.1 are refused; anything above is granted 2.2.
// Socket calls made while no start-up is in force fail with
// WSANOTINITIALISED.
int WSAStartup(WORD versionRequested, WSADATA* data);
int WSACleanup();
// The error of the calling thread's last failed call.
int WSAGetLastError();

SOCKET socket(int family, int type, int protocol);
int bind(SOCKET s, const SOCKADDR_IN* address);
int listen(SOCKET s, int backlog);
// Blocks until a peer connects, the socket is shut down or closed. The
// peer's address goes to `address` when given.
SOCKET accept(SOCKET s, SOCKADDR_IN* address);
// Like accept, but gives up after `timeoutMs` with WSAETIMEDOUT.
SOCKET acceptTimeout(SOCKET s, SOCKADDR_IN* address, DWORD timeoutMs);
int connect(SOCKET s, const SOCKADDR_IN* address);
// Like connect, but gives up after `timeoutMs` with WSAETIMEDOUT (a host
// that never answers would otherwise hold the caller for minutes).
int connectTimeout(SOCKET s, const SOCKADDR_IN* address, DWORD timeoutMs);
// Receives at most `length` bytes; 0 when the peer closed.
int recv(SOCKET s, char* buffer, int length, int flags);
// Blocking sends go on until every byte is queued, as Winsock's do, unless a
// send timeout (SO_SNDTIMEO) expires first.
int send(SOCKET s, const char* buffer, int length, int flags);
// Sends every byte before `timeoutMs` has passed, however slowly the peer
// reads: the deadline holds for the whole buffer, not for each piece of it.
// Returns `length`, or SOCKET_ERROR (WSAETIMEDOUT when time ran out; bytes
// queued before then stay sent). A shut-down socket fails at once.
int sendTimeout(SOCKET s, const char* buffer, int length, DWORD timeoutMs);
// Queues what the socket takes at once, without waiting: the bytes queued
// (0 when its buffer is full), or SOCKET_ERROR.
int sendNow(SOCKET s, const char* buffer, int length);
// True when the peer has closed or reset the connection, or the socket was
// shut down or is not open; queued data is left unread.
bool peerClosed(SOCKET s);
// Two connected stream sockets within this process, for feeding a
// connection without a network (tests and fuzzing).
int socketPair(SOCKET out[2]);
int setsockopt(SOCKET s, int level, int option, const char* value, int length);
int shutdown(SOCKET s, int how);
int closesocket(SOCKET s);
// The address the socket is bound to (a port of 0 asked Linux for one).
int getsockname(SOCKET s, SOCKADDR_IN* address);

WORD htons(WORD value);
WORD ntohs(WORD value);
DWORD htonl(DWORD value);
DWORD ntohl(DWORD value);
// A dotted IPv4 address in network byte order; INADDR_NONE_WS (all ones) when
// the text is not one.
DWORD inet_addr(const char* text);

}  // namespace wsa
