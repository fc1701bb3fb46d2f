// The bytes the allocator has handed out and not had back, for tests and
// benchmarks that run a relay in their own process: under AddressSanitizer
// its allocator's count, otherwise glibc's.
#pragma once

#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer runtime's own count; g++ ships the runtime without the
// header that declares it.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

inline std::size_t liveHeapBytes() {
#if defined(__SANITIZE_ADDRESS__)
  return __sanitizer_get_current_allocated_bytes();
#else
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;  // arenas and blocks mapped on their own
#endif
}
