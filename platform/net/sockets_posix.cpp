// Winsock-shaped sockets on POSIX: a SOCKET is the file descriptor.
#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>

#include "platform/net/winsock.h"

namespace {

std::atomic<int> g_startups{0};
thread_local int t_lastError = 0;

int fail(int code) {
  t_lastError = code;
  return SOCKET_ERROR;
}

int fromErrno(int e) {
  switch (e) {
    case EINTR:
      return WSAEINTR;
    case EACCES:
    case EPERM:
      return WSAEACCES;
    case EFAULT:
      return WSAEFAULT;
    case EINVAL:
      return WSAEINVAL;
    case EMFILE:
    case ENFILE:
      return WSAEMFILE;
    case EAGAIN:
      return WSAEWOULDBLOCK;  // also a timed-out SO_RCVTIMEO/SO_SNDTIMEO
    case EBADF:
    case ENOTSOCK:
      return WSAENOTSOCK;
    case EADDRINUSE:
      return WSAEADDRINUSE;
    case EADDRNOTAVAIL:
      return WSAEADDRNOTAVAIL;
    case ENETUNREACH:
      return WSAENETUNREACH;
    case ECONNABORTED:
      return WSAECONNABORTED;
    case ECONNRESET:
      return WSAECONNRESET;
    case ENOBUFS:
    case ENOMEM:
      return WSAENOBUFS;
    case EISCONN:
      return WSAEISCONN;
    case ENOTCONN:
      return WSAENOTCONN;
    case EPIPE:
      return WSAESHUTDOWN;
    case ETIMEDOUT:
      return WSAETIMEDOUT;
    case ECONNREFUSED:
      return WSAECONNREFUSED;
    case EHOSTUNREACH:
      return WSAEHOSTUNREACH;
    default:
      return WSAEINVAL;
  }
}

int failErrno() { return fail(fromErrno(errno)); }

bool started() {
  if (g_startups.load() > 0) return true;
  t_lastError = WSANOTINITIALISED;
  return false;
}

bool validSocket(SOCKET s) {
  if (s == INVALID_SOCKET || s > static_cast<SOCKET>(0x7FFFFFFF)) {
    t_lastError = WSAENOTSOCK;
    return false;
  }
  return true;
}

int fd(SOCKET s) { return static_cast<int>(s); }

sockaddr_in toPosix(const SOCKADDR_IN& a) {
  sockaddr_in out{};
  out.sin_family = AF_INET;
  out.sin_port = a.sin_port;
  out.sin_addr.s_addr = a.sin_addr;
  return out;
}

void fromPosix(const sockaddr_in& a, SOCKADDR_IN* out) {
  if (!out) return;
  out->sin_family = AF_INET_WS;
  out->sin_port = a.sin_port;
  out->sin_addr = a.sin_addr.s_addr;
}

}  // namespace

namespace wsa {

int WSAStartup(WORD versionRequested, WSADATA* data) {
  const BYTE major = versionRequested & 0xFF;
  const BYTE minor = versionRequested >> 8;
  if (major < 1 || (major == 1 && minor < 1)) return WSAVERNOTSUPPORTED;
  if (!data) return WSAEFAULT;
  const bool above = major > 2 || (major == 2 && minor >= 2);
  data->wVersion = above ? MAKEWORD(2, 2) : versionRequested;
  data->wHighVersion = MAKEWORD(2, 2);
  std::strncpy(data->szDescription, "POSIX sockets", sizeof data->szDescription - 1);
  std::strncpy(data->szSystemStatus, "Running", sizeof data->szSystemStatus - 1);
  g_startups.fetch_add(1);
  return 0;
}

int WSACleanup() {
  int count = g_startups.load();
  while (count > 0 && !g_startups.compare_exchange_weak(count, count - 1)) {
  }
  if (count <= 0) return fail(WSANOTINITIALISED);
  return 0;
}

int WSAGetLastError() { return t_lastError; }

SOCKET socket(int family, int type, int protocol) {
  if (!started()) return INVALID_SOCKET;
  if (family != AF_INET_WS || type != SOCK_STREAM_WS || (protocol != IPPROTO_TCP_WS && protocol != 0)) {
    t_lastError = WSAEINVAL;
    return INVALID_SOCKET;
  }
  const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  if (s < 0) {
    failErrno();
    return INVALID_SOCKET;
  }
  return static_cast<SOCKET>(s);
}

int bind(SOCKET s, const SOCKADDR_IN* address) {
  if (!started() || !validSocket(s)) return SOCKET_ERROR;
  if (!address) return fail(WSAEFAULT);
  const sockaddr_in a = toPosix(*address);
  if (::bind(fd(s), reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) return failErrno();
  return 0;
}

int listen(SOCKET s, int backlog) {
  if (!started() || !validSocket(s)) return SOCKET_ERROR;
  if (backlog > SOMAXCONN || backlog < 0) backlog = SOMAXCONN;
  if (::listen(fd(s), backlog) != 0) return failErrno();
  return 0;
}

SOCKET acceptTimeout(SOCKET s, SOCKADDR_IN* address, DWORD timeoutMs) {
  if (!started() || !validSocket(s)) return INVALID_SOCKET;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    pollfd p{fd(s), POLLIN, 0};
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    const int r = ::poll(&p, 1, left > 0 ? static_cast<int>(left) : 0);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) {
      failErrno();
      return INVALID_SOCKET;
    }
    if (r == 0) {
      t_lastError = WSAETIMEDOUT;
      return INVALID_SOCKET;
    }
    if (p.revents & (POLLNVAL)) {
      t_lastError = WSAENOTSOCK;
      return INVALID_SOCKET;
    }
    // A shut-down listening socket reports POLLHUP; accept then fails too.
    return accept(s, address);
  }
}

SOCKET accept(SOCKET s, SOCKADDR_IN* address) {
  if (!started() || !validSocket(s)) return INVALID_SOCKET;
  for (;;) {
    sockaddr_in a{};
    socklen_t len = sizeof a;
    const int c = ::accept4(fd(s), reinterpret_cast<sockaddr*>(&a), &len, SOCK_CLOEXEC);
    if (c < 0 && errno == EINTR) continue;
    if (c < 0) {
      failErrno();
      return INVALID_SOCKET;
    }
    fromPosix(a, address);
    return static_cast<SOCKET>(c);
  }
}

int connect(SOCKET s, const SOCKADDR_IN* address) {
  if (!started() || !validSocket(s)) return SOCKET_ERROR;
  if (!address) return fail(WSAEFAULT);
  const sockaddr_in a = toPosix(*address);
  int r = ::connect(fd(s), reinterpret_cast<const sockaddr*>(&a), sizeof a);
  if (r != 0 && errno == EINTR) {
    // The connection goes on in the background; wait for its outcome.
    pollfd p{fd(s), POLLOUT, 0};
    while ((r = ::poll(&p, 1, -1)) < 0 && errno == EINTR) {
    }
    int error = 0;
    socklen_t len = sizeof error;
    ::getsockopt(fd(s), SOL_SOCKET, SO_ERROR, &error, &len);
    if (error != 0) return fail(fromErrno(error));
    return 0;
  }
  if (r != 0) return failErrno();
  return 0;
}

int connectTimeout(SOCKET s, const SOCKADDR_IN* address, DWORD timeoutMs) {
  if (!started() || !validSocket(s)) return SOCKET_ERROR;
  if (!address) return fail(WSAEFAULT);
  const int flags = ::fcntl(fd(s), F_GETFL);
  if (flags < 0 || ::fcntl(fd(s), F_SETFL, flags | O_NONBLOCK) != 0) return failErrno();
  const sockaddr_in a = toPosix(*address);
  int result = 0;
  if (::connect(fd(s), reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
    if (errno != EINPROGRESS && errno != EINTR) {
      result = failErrno();
    } else {
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
      for (;;) {
        pollfd p{fd(s), POLLOUT, 0};
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        const int r = ::poll(&p, 1, left > 0 ? static_cast<int>(left) : 0);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) {
          result = failErrno();
        } else if (r == 0) {
          result = fail(WSAETIMEDOUT);
        } else {
          int error = 0;
          socklen_t len = sizeof error;
          ::getsockopt(fd(s), SOL_SOCKET, SO_ERROR, &error, &len);
          if (error != 0) result = fail(fromErrno(error));
        }
        break;
      }
    }
  }
  ::fcntl(fd(s), F_SETFL, flags);
  return result;
}

int recv(SOCKET s, char* buffer, int length, int flags) {
  if (!started() || !validSocket(s)) return SOCKET_ERROR;
  if (length < 0 || (!buffer && length > 0)) return fail(WSAEFAULT);
  for (;;) {
    const ssize_t n = ::recv(fd(s), buffer, static_cast<size_t>(length), flags);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return failErrno();
    return static_cast<int>(n);
  }
}

int send(SOCKET s, const char* buffer, int length, int flags) {
  if (!started() || !validSocket(s)) return SOCKET_ERROR;
  if (length < 0 || (!buffer && length > 0)) return fail(WSAEFAULT);
  int sent = 0;
  while (sent < length) {
    const ssize_t n = ::send(fd(s), buffer + sent, static_cast<size_t>(length - sent), flags | MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      // Bytes already queued stay sent; the caller learns of the failure.
      return failErrno();
    }
    sent += static_cast<int>(n);
  }
  return sent;
}

int sendTimeout(SOCKET s, const char* buffer, int length, DWORD timeoutMs) {
  if (!started() || !validSocket(s)) return SOCKET_ERROR;
  if (length < 0 || (!buffer && length > 0)) return fail(WSAEFAULT);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  int sent = 0;
  while (sent < length) {
    const ssize_t n = ::send(fd(s), buffer + sent, static_cast<size_t>(length - sent), MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<int>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return failErrno();
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) return fail(WSAETIMEDOUT);
    // A shutdown on another thread wakes the wait; the next send then fails.
    pollfd p{fd(s), POLLOUT, 0};
    if (::poll(&p, 1, static_cast<int>(left)) < 0 && errno != EINTR) return failErrno();
  }
  return sent;
}

int sendNow(SOCKET s, const char* buffer, int length) {
  if (!started() || !validSocket(s)) return SOCKET_ERROR;
  if (length < 0 || (!buffer && length > 0)) return fail(WSAEFAULT);
  for (;;) {
    const ssize_t n = ::send(fd(s), buffer, static_cast<size_t>(length), MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n >= 0) return static_cast<int>(n);
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
    return failErrno();
  }
}

bool peerClosed(SOCKET s) {
  if (!validSocket(s)) return true;
  pollfd p{fd(s), POLLRDHUP, 0};
  int r;
  while ((r = ::poll(&p, 1, 0)) < 0 && errno == EINTR) {
  }
  if (r < 0) return true;
  return (p.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL)) != 0;
}

int socketPair(SOCKET out[2]) {
  if (!started()) return SOCKET_ERROR;
  if (!out) return fail(WSAEFAULT);
  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return failErrno();
  out[0] = static_cast<SOCKET>(fds[0]);
  out[1] = static_cast<SOCKET>(fds[1]);
  return 0;
}

int setsockopt(SOCKET s, int level, int option, const char* value, int length) {
  if (!started() || !validSocket(s)) return SOCKET_ERROR;
  if (!value) return fail(WSAEFAULT);
  auto readInt = [&](int* out) {
    if (length < static_cast<int>(sizeof(int))) return false;
    std::memcpy(out, value, sizeof(int));
    return true;
  };
  int v = 0;
  if (level == IPPROTO_TCP_WS && option == TCP_NODELAY_WS) {
    if (length < 1) return fail(WSAEFAULT);
    // Winsock takes a BOOL; a single byte is accepted as well.
    v = length >= static_cast<int>(sizeof(int)) ? (readInt(&v), v) : value[0];
    v = v != 0;
    if (::setsockopt(fd(s), IPPROTO_TCP, TCP_NODELAY, &v, sizeof v) != 0) return failErrno();
    return 0;
  }
  if (level == SOL_SOCKET_WS && option == SO_REUSEADDR_WS) {
    if (!readInt(&v)) return fail(WSAEFAULT);
    v = v != 0;
    if (::setsockopt(fd(s), SOL_SOCKET, SO_REUSEADDR, &v, sizeof v) != 0) return failErrno();
    return 0;
  }
  if (level == SOL_SOCKET_WS && option == SO_SNDBUF_WS) {
    if (!readInt(&v)) return fail(WSAEFAULT);
    if (::setsockopt(fd(s), SOL_SOCKET, SO_SNDBUF, &v, sizeof v) != 0) return failErrno();
    return 0;
  }
  if (level == SOL_SOCKET_WS && (option == SO_SNDTIMEO_WS || option == SO_RCVTIMEO_WS)) {
    if (!readInt(&v)) return fail(WSAEFAULT);
    const DWORD ms = static_cast<DWORD>(v);
    timeval tv{};
    tv.tv_sec = ms / 1000;
    tv.tv_usec = (ms % 1000) * 1000;
    const int name = option == SO_SNDTIMEO_WS ? SO_SNDTIMEO : SO_RCVTIMEO;
    if (::setsockopt(fd(s), SOL_SOCKET, name, &tv, sizeof tv) != 0) return failErrno();
    return 0;
  }
  return fail(WSAEINVAL);
}

int shutdown(SOCKET s, int how) {
  if (!started() || !validSocket(s)) return SOCKET_ERROR;
  const int h = how == SD_RECEIVE ? SHUT_RD : how == SD_SEND ? SHUT_WR : how == SD_BOTH ? SHUT_RDWR : -1;
  if (h < 0) return fail(WSAEINVAL);
  if (::shutdown(fd(s), h) != 0) return failErrno();
  return 0;
}

int closesocket(SOCKET s) {
  if (!started() || !validSocket(s)) return SOCKET_ERROR;
  // close() is not retried on EINTR: Linux has released the descriptor.
  if (::close(fd(s)) != 0 && errno != EINTR) return failErrno();
  return 0;
}

int getsockname(SOCKET s, SOCKADDR_IN* address) {
  if (!started() || !validSocket(s)) return SOCKET_ERROR;
  if (!address) return fail(WSAEFAULT);
  sockaddr_in a{};
  socklen_t len = sizeof a;
  if (::getsockname(fd(s), reinterpret_cast<sockaddr*>(&a), &len) != 0) return failErrno();
  fromPosix(a, address);
  return 0;
}

// glibc may define the byte-order calls as macros when optimising.
#undef htons
#undef ntohs
#undef htonl
#undef ntohl
WORD htons(WORD value) { return ::htons(value); }
WORD ntohs(WORD value) { return ::ntohs(value); }
DWORD htonl(DWORD value) { return ::htonl(value); }
DWORD ntohl(DWORD value) { return ::ntohl(value); }

DWORD inet_addr(const char* text) {
  if (!text) return INADDR_NONE_WS;
  in_addr a{};
  if (::inet_pton(AF_INET, text, &a) != 1) return INADDR_NONE_WS;
  return a.s_addr;
}

}  // namespace wsa
