// Named mappings as locked files under the user's runtime folder.
#include "platform/system/file_mapping.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/system/process.h"

struct KernelObject {
  int fd = -1;
  std::size_t size = 0;
};

namespace {

std::mutex g_viewMutex;
std::map<const void*, std::size_t>& views() {
  static std::map<const void*, std::size_t> mapped;
  return mapped;
}

// Closes a descriptor at scope end unless released.
class Descriptor {
 public:
  explicit Descriptor(int fd) : m_fd(fd) {}
  ~Descriptor() {
    if (m_fd >= 0) ::close(m_fd);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return m_fd; }
  int release() {
    const int fd = m_fd;
    m_fd = -1;
    return fd;
  }

 private:
  int m_fd;
};

bool validName(const char* name) {
  if (!name || !*name || std::strchr(name, '/')) return false;
  return std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0;
}

// The session's runtime folder when there is one; otherwise our own.
struct Folder {
  std::string path;
  bool own;
};
Folder runtimeFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && runtime[0] == '/') return {runtime, false};
  return {"/tmp/tessaline-" + std::to_string(::geteuid()), true};
}

// The folder, opened; our own /tmp folder is made first and must be ours
// alone. -1 with the last error set when it cannot be used.
int openFolder() {
  const auto [folder, own] = runtimeFolder();
  if (own && ::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    SetLastError(ERROR_ACCESS_DENIED);
    return -1;
  }
  Descriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat info {};
  if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return -1;
  }
  // Anyone may make /tmp/tessaline-<uid> before us: then it is not ours.
  if (own && (info.st_uid != ::geteuid() || (info.st_mode & 077) != 0)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return -1;
  }
  return fd.release();
}

// The lock file, opened for reading and writing; -1 with the last error set.
int openLockFile(const char* name) {
  Descriptor folder(openFolder());
  if (folder.get() < 0) return -1;
  const std::string file = std::string(name) + ".lock";
  Descriptor fd(::openat(folder.get(), file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
  struct stat info {};
  if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return -1;
  }
  if ((info.st_mode & 07777) != 0600 && ::fchmod(fd.get(), 0600) != 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return -1;
  }
  return fd.release();
}

}  // namespace

std::string fileMappingPath(const char* name) { return runtimeFolder().path + "/" + (name ? name : "") + ".lock"; }

HANDLE CreateFileMappingA(HANDLE file, void*, DWORD protect, DWORD sizeHigh, DWORD sizeLow, const char* name) {
  if (file != INVALID_HANDLE_VALUE || !validName(name) || (protect != PAGE_READWRITE && protect != PAGE_READONLY)) {
    SetLastError(ERROR_INVALID_NAME);
    return nullptr;
  }
  const std::uint64_t size = static_cast<std::uint64_t>(sizeHigh) << 32 | sizeLow;
  if (size == 0 || size > kMaxFileMappingSize) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  Descriptor fd(openLockFile(name));
  if (fd.get() < 0) return nullptr;

  bool creator = true;
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK) {
      SetLastError(ERROR_ACCESS_DENIED);
      return nullptr;
    }
    creator = false;
  }
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  // A later opener may come between the creator's lock and its resize: it
  // grows the file too, so that no view reaches past the end.
  const auto wanted = static_cast<off_t>(size);
  if ((creator ? info.st_size != wanted : info.st_size < wanted) && ::ftruncate(fd.get(), wanted) != 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  auto* mapping = new KernelObject{fd.release(), static_cast<std::size_t>(size)};
  SetLastError(creator ? 0 : ERROR_ALREADY_EXISTS);
  return mapping;
}

void* MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow, std::size_t bytes) {
  if (!mapping || mapping == INVALID_HANDLE_VALUE || offsetHigh || offsetLow || bytes > mapping->size) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  if (bytes == 0) bytes = mapping->size;
  const int protection = (access & FILE_MAP_WRITE) ? PROT_READ | PROT_WRITE : PROT_READ;
  void* view = ::mmap(nullptr, bytes, protection, MAP_SHARED, mapping->fd, 0);
  if (view == MAP_FAILED) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  std::lock_guard lock(g_viewMutex);
  views()[view] = bytes;
  return view;
}

BOOL UnmapViewOfFile(const void* view) {
  std::size_t bytes = 0;
  {
    std::lock_guard lock(g_viewMutex);
    const auto found = views().find(view);
    if (found == views().end()) return 0;
    bytes = found->second;
    views().erase(found);
  }
  return ::munmap(const_cast<void*>(view), bytes) == 0 ? 1 : 0;
}

BOOL CloseHandle(HANDLE handle) {
  if (!handle || handle == INVALID_HANDLE_VALUE) return 0;
  ::close(handle->fd);
  delete handle;
  return 1;
}
