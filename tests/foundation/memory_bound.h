// Checking that a loader's memory stays bounded, in both kinds of build.
// Under AddressSanitizer an address-space limit cannot fail an allocation
// (the sanitizer reserves terabytes up front and ends the process when one
// fails), so there the allocator's hooks measure the largest allocation;
// elsewhere a child process runs under an address-space limit.
#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <fstream>
#include <functional>
#include <string>

#if defined(__SANITIZE_ADDRESS__)
#define TESSALINE_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TESSALINE_TEST_ASAN 1
#endif
#endif

#ifdef TESSALINE_TEST_ASAN
// The sanitizer runtime's allocation hooks (GCC ships no header for them).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, std::size_t),
                                                         void (*)(const volatile void*));

namespace memory_bound {

inline std::atomic<bool> watching{false};
inline std::atomic<std::size_t> largest{0};

inline void noteAllocation(const volatile void*, std::size_t size) {
  if (!watching.load(std::memory_order_relaxed)) return;
  std::size_t seen = largest.load(std::memory_order_relaxed);
  while (size > seen && !largest.compare_exchange_weak(seen, size)) {
  }
}
inline void noteFree(const volatile void*) {}

}  // namespace memory_bound

// The largest single allocation `body` makes.
inline std::size_t largestAllocationOf(const std::function<void()>& body) {
  static const int installed =
      __sanitizer_install_malloc_and_free_hooks(memory_bound::noteAllocation, memory_bound::noteFree);
  EXPECT_NE(installed, 0);
  memory_bound::largest = 0;
  memory_bound::watching = true;
  body();
  memory_bound::watching = false;
  return memory_bound::largest;
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
#endif
