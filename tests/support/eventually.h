// Waiting in a test for something another thread brings about: a relay
// passing a message on, a receive thread reading it.
#pragma once

#include <chrono>
#include <thread>

// Polls `f` until it holds or `ms` milliseconds of real time have gone.
template <class F>
bool eventually(F f, int ms = 3000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!f()) {
    if (std::chrono::steady_clock::now() >= end) return f();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}
