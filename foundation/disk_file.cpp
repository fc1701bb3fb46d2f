#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>

#include "foundation/file.h"
#include "platform/system/regular_file.h"

namespace {

int retryRead(int fd, void* buffer, std::size_t count) {
  for (;;) {
    const ssize_t n = ::read(fd, buffer, count);
    if (n >= 0 || errno != EINTR) return static_cast<int>(n);
  }
}

int retryWrite(int fd, const void* buffer, std::size_t count) {
  for (;;) {
    const ssize_t n = ::write(fd, buffer, count);
    if (n >= 0 || errno != EINTR) return static_cast<int>(n);
  }
}

}  // namespace

std::string toNativePath(const std::string& name) {
  std::string path = name;
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

bool syncDirectoryEntry(const std::string& name) {
  const std::string path = toNativePath(name);
  const std::size_t slash = path.rfind('/');
  const std::string directory = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  int fd;
  do {
    fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  const bool synced = ::fsync(fd) == 0;
  ::close(fd);
  return synced;
}

DiskFile::DiskFile(const char* searchPath) : m_searchPath(searchPath ? searchPath : "") {}

DiskFile::DiskFile(const DiskFile& other) : File(), m_searchPath(other.m_searchPath) {}

DiskFile::~DiskFile() { close(); }

File* DiskFile::clone() const { return new DiskFile(*this); }

bool DiskFile::exists(const char* name) {
  DiskFile probe(".\\;..\\");
  return probe.open(name);
}

bool DiskFile::tryOpen(const std::string& name) {
  long long size = 0;
  const int fd = openRegularFile(toNativePath(name).c_str(), &size);
  if (fd < 0) return false;
  if (size > INT_MAX) {
    ::close(fd);
    return false;
  }
  m_handle = fd;
  m_size = static_cast<int>(size);
  return true;
}

bool DiskFile::open(const char* name) {
  if (isOpen() || !name) return false;
  const std::string given = name;
  if (tryOpen(given)) return true;

  const std::size_t colon = given.rfind(':');
  const std::string rest = colon == std::string::npos ? given : given.substr(colon + 1);
  std::size_t start = 0;
  while (start < m_searchPath.size()) {
    const std::size_t end = std::min(m_searchPath.find(';', start), m_searchPath.size());
    if (tryOpen(m_searchPath.substr(start, end - start) + rest)) return true;
    start = end + 1;
  }
  return false;
}

bool DiskFile::create(const char* name) {
  if (isOpen() || !name) return false;
  const std::string path = toNativePath(name);
  int fd;
  do {
    fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, S_IRUSR | S_IWUSR);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  m_handle = fd;
  m_size = 0;
  return true;
}

bool DiskFile::close() {
  if (!isOpen()) return false;
  // close() is not retried on EINTR: the descriptor is released already.
  const bool closed = ::close(m_handle) == 0;
  m_handle = -1;
  m_size = 0;
  return closed;
}

bool DiskFile::sync() {
  if (!isOpen()) return false;
  int result;
  do {
    result = ::fsync(m_handle);
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

int DiskFile::read(void* buffer, int count) {
  if (!isOpen() || !buffer || count <= 0) return 0;
  const int n = retryRead(m_handle, buffer, static_cast<std::size_t>(count));
  return n > 0 ? n : 0;
}

int DiskFile::write(const void* buffer, int count) {
  if (!isOpen() || !buffer || count <= 0) return 0;
  const int n = retryWrite(m_handle, buffer, static_cast<std::size_t>(count));
  if (n <= 0) return 0;
  m_size += n;
  return n;
}

bool DiskFile::seek(int position) { return isOpen() && ::lseek(m_handle, position, SEEK_SET) >= 0; }

bool DiskFile::skip(int delta) { return isOpen() && ::lseek(m_handle, delta, SEEK_CUR) >= 0; }

int DiskFile::tell() {
  if (!isOpen()) return -1;
  const off_t position = ::lseek(m_handle, 0, SEEK_CUR);
  return position < 0 ? -1 : static_cast<int>(position);
}
