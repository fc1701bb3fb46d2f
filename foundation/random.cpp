#include "foundation/random.h"

#include <cstdint>

namespace {
thread_local std::uint32_t t_state = 1;
}

int engineRand() {
  t_state = t_state * 214013u + 2531011u;
  return static_cast<int>((t_state >> 16) & 0x7FFF);
}

void engineSrand(unsigned seed) { t_state = seed; }
