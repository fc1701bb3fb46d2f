// Checking that a loader's memory stays bounded, in both kinds of build.
// Under AddressSanitizer an address-space limit cannot fail an allocation
// (the sanitizer reserves terabytes up front and ends the process when one
// fails), so there the allocator's hooks measure the largest allocation;
// elsewhere a child process runs under an address-space limit.
// measureMemory gives how far memory rose while a loader ran: live heap
// bytes under the sanitizer (whose resident memory includes its shadow and
// quarantine), the peak resident set of a child process elsewhere.
#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <fstream>
#include <functional>
#include <string>

// What measureMemory saw: how many bytes memory rose above where it stood
// when the body began (-1 when it could not be measured), and the body's
// result.
struct MemoryUse {
  long long peakGrowth = -1;
  int result = -1;
};

#if defined(__SANITIZE_ADDRESS__)
#define TESSALINE_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TESSALINE_TEST_ASAN 1
#endif
#endif

#ifdef TESSALINE_TEST_ASAN
// The sanitizer runtime's allocation hooks and statistics (GCC ships no
// header for them).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, std::size_t),
                                                         void (*)(const volatile void*));
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();

namespace memory_bound {

inline std::atomic<bool> watching{false};
inline std::atomic<std::size_t> largest{0};
inline std::atomic<std::size_t> peakLive{0};
inline std::atomic<std::size_t> count{0};

inline void raise(std::atomic<std::size_t>& to, std::size_t value) {
  std::size_t seen = to.load(std::memory_order_relaxed);
  while (value > seen && !to.compare_exchange_weak(seen, value)) {
  }
}

inline void noteAllocation(const volatile void*, std::size_t size) {
  if (!watching.load(std::memory_order_relaxed)) return;
  count.fetch_add(1, std::memory_order_relaxed);
  raise(largest, size);
  raise(peakLive, __sanitizer_get_current_allocated_bytes());
}
inline void noteFree(const volatile void*) {}

inline void watch(const std::function<void()>& body) {
  static const int installed = __sanitizer_install_malloc_and_free_hooks(noteAllocation, noteFree);
  EXPECT_NE(installed, 0);
  largest = 0;
  peakLive = 0;
  count = 0;
  watching = true;
  body();
  watching = false;
}

}  // namespace memory_bound

// The largest single allocation `body` makes.
inline std::size_t largestAllocationOf(const std::function<void()>& body) {
  memory_bound::watch(body);
  return memory_bound::largest;
}

// How many allocations `body` makes: a loop that allocates once per byte
// of its input shows as many allocations as the input has bytes.
inline std::size_t allocationCountOf(const std::function<void()>& body) {
  memory_bound::watch(body);
  return memory_bound::count;
}

inline MemoryUse measureMemory(const std::function<int()>& body) {
  MemoryUse use;
  const std::size_t before = __sanitizer_get_current_allocated_bytes();
  memory_bound::watch([&] { use.result = body(); });
  use.peakGrowth = static_cast<long long>(std::max(memory_bound::peakLive.load(), before) - before);
  return use;
}
#else
// The child's exit code when an exception (std::bad_alloc) escaped body.
inline constexpr int kEscapedException = 99;

// Runs `body` in a child whose address space may grow by `headroom` bytes
// beyond what it maps now, and returns its wait status: body's result as
// the exit code, kEscapedException, or the signal that ended it.
inline int exitStatusUnderMemoryLimit(std::size_t headroom, const std::function<int()>& body) {
  std::ifstream status("/proc/self/status");
  std::string line;
  std::size_t mapped = 0;
  while (std::getline(status, line))
    if (line.rfind("VmSize:", 0) == 0) mapped = std::stoull(line.substr(7)) * 1024;
  EXPECT_GT(mapped, 0u);
  const pid_t child = ::fork();
  if (child == 0) {
    const rlimit limit{mapped + headroom, mapped + headroom};
    ::setrlimit(RLIMIT_AS, &limit);
    // An exception must not reach the test framework, which would carry on
    // running tests in this child too.
    int code = kEscapedException;
    try {
      code = body();
    } catch (...) {
    }
    ::_exit(code);
  }
  int result = 0;
  ::waitpid(child, &result, 0);
  return result;
}

inline bool exitedWithZero(int status) { return WIFEXITED(status) && WEXITSTATUS(status) == 0; }

// The peak resident set so far, in bytes. A child's starts at the resident
// set it was forked with.
inline long long peakResidentBytes() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<long long>(usage.ru_maxrss) * 1024;
}

inline MemoryUse measureMemory(const std::function<int()>& body) {
  int channel[2];
  if (::pipe(channel) != 0) return {};
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(channel[0]);
    MemoryUse use;
    const long long before = peakResidentBytes();
    try {
      use.result = body();
    } catch (...) {
      use.result = kEscapedException;
    }
    use.peakGrowth = peakResidentBytes() - before;
    const bool sent = ::write(channel[1], &use, sizeof use) == static_cast<ssize_t>(sizeof use);
    ::_exit(sent ? 0 : 1);
  }
  ::close(channel[1]);
  MemoryUse use;
  if (::read(channel[0], &use, sizeof use) != static_cast<ssize_t>(sizeof use)) use = {};
  ::close(channel[0]);
  ::waitpid(child, nullptr, 0);
  return use;
}
#endif
