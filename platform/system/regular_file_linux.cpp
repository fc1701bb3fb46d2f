#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/system/regular_file.h"

int openRegularFile(const char* path, long long* size) {
  if (!path) return -1;
  int fd;
  // Without O_NONBLOCK, opening a named pipe waits for a writer, for ever;
  // with it, the pipe opens at once and is refused below. Reads of a
  // regular file never wait either way.
  do {
    fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return -1;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return -1;
  }
  if (size) *size = static_cast<long long>(info.st_size);
  return fd;
}
