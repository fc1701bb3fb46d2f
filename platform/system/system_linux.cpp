// System services on POSIX and SDL2.
#include "platform/system/system.h"

#include <SDL.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace {

std::mutex g_hookMutex;
MessageBoxHook g_messageBoxHook;

bool displayAvailable() {
  const char* display = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (display && *display) || (wayland && *wayland);
}

std::int64_t monotonicNanoseconds() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// Function-local so that a hook installed during another library's static
// initialisation is not wiped by this one's.
LogHook& logHook() {
  static LogHook hook;
  return hook;
}

}  // namespace

LogHook setLogHook(LogHook hook) {
  std::lock_guard lock(g_hookMutex);
  std::swap(logHook(), hook);
  return hook;
}

void platformLog(const char* text) {
  text = text ? text : "";
  LogHook hook;
  {
    std::lock_guard lock(g_hookMutex);
    hook = logHook();
  }
  if (hook)
    hook(text);
  else
    std::fprintf(stderr, "%s\n", text);
}

MessageBoxHook setMessageBoxHook(MessageBoxHook hook) {
  std::lock_guard lock(g_hookMutex);
  std::swap(g_messageBoxHook, hook);
  return hook;
}

int MessageBoxA(HWND, const char* text, const char* caption, UINT type) {
  text = text ? text : "";
  caption = caption ? caption : "";
  MessageBoxHook hook;
  {
    std::lock_guard lock(g_hookMutex);
    hook = g_messageBoxHook;
  }
  if (hook) return hook(text, caption, type);

  // Headless runs (CI, servers) have nobody to click the box away.
  if (displayAvailable() && std::getenv("TESSALINE_NO_MESSAGE_BOX") == nullptr) {
    const Uint32 flags = (type & MB_ICONEXCLAMATION) ? SDL_MESSAGEBOX_WARNING : SDL_MESSAGEBOX_INFORMATION;
    if (SDL_ShowSimpleMessageBox(flags, caption, text, nullptr) == 0) return IDOK;
  }
  std::fprintf(stderr, "%s: %s\n", caption, text);
  return IDOK;
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* count) {
  if (!count) return 0;
  count->QuadPart = monotonicNanoseconds();
  return 1;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
  if (!frequency) return 0;
  frequency->QuadPart = 1000000000;
  return 1;
}

DWORD timeGetTime() { return static_cast<DWORD>(monotonicNanoseconds() / 1000000); }

UINT timeGetDevCaps(TIMECAPS* caps, UINT size) {
  if (!caps || size < sizeof(TIMECAPS)) return TIMERR_NOCANDO;
  caps->wPeriodMin = 1;
  caps->wPeriodMax = 1000000;
  return TIMERR_NOERROR;
}

UINT timeBeginPeriod(UINT period) { return period >= 1 ? TIMERR_NOERROR : TIMERR_NOCANDO; }
UINT timeEndPeriod(UINT period) { return period >= 1 ? TIMERR_NOERROR : TIMERR_NOCANDO; }

void Sleep(DWORD milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }
