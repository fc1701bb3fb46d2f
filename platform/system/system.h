// System services: message boxes, the high-resolution counter and the
// millisecond clock. The engine calls these by their Win32 names.
#pragma once

#include <functional>

#include "platform/win32_types.h"

inline constexpr UINT MB_OK = 0x0;
inline constexpr UINT MB_ICONEXCLAMATION = 0x30;
inline constexpr int IDOK = 1;

// Shows a modal message box: an SDL message box when a display exists,
// otherwise the caption and text on stderr. Returns IDOK.
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);

// Replaces what MessageBoxA does, so that tests never block on a modal box.
// An empty function restores the default. Returns the previous hook.
using MessageBoxHook = std::function<int(const char* text, const char* caption, UINT type)>;
MessageBoxHook setMessageBoxHook(MessageBoxHook hook);

// One line for the engine's log (shader compile logs, GL errors): the
// platform layer sits below the engine's reporting, which installs itself
// here. Without a hook the line goes to stderr.
void platformLog(const char* text);
using LogHook = std::function<void(const char* text)>;
LogHook setLogHook(LogHook hook);

// CLOCK_MONOTONIC in nanoseconds: frequency 1,000,000,000.
BOOL QueryPerformanceCounter(LARGE_INTEGER* count);
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);

// Milliseconds since an arbitrary start, wrapping at 2^32.
DWORD timeGetTime();

// Timer resolution. Sleeps and waits here are as fine as the kernel makes
// them whatever is asked, so the periods are only reported and accepted.
inline constexpr UINT TIMERR_NOERROR = 0;
inline constexpr UINT TIMERR_NOCANDO = 97;
struct TIMECAPS {
  UINT wPeriodMin;
  UINT wPeriodMax;
};
// 1 ms to 1,000,000 ms; TIMERR_NOCANDO without a whole structure.
UINT timeGetDevCaps(TIMECAPS* caps, UINT size);
// TIMERR_NOERROR for a period of 1 ms or more, TIMERR_NOCANDO for 0.
UINT timeBeginPeriod(UINT period);
UINT timeEndPeriod(UINT period);

// Suspends the calling thread.
void Sleep(DWORD milliseconds);
