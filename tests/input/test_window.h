// A shown game window for input tests (runs under Xvfb). Its window
// procedure does what the game's does for input: WM_ACTIVATE with a state
// other than WA_INACTIVE resets the device, everything else goes to it.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "input/input_device.h"
#include "platform/input/input_injection.h"
#include "platform/window/window.h"

class InputWindowTest : public ::testing::Test {
 protected:
  static inline InputDevice* s_device = nullptr;

  static LRESULT windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!s_device) return DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE) {
      s_device->reset();
      return 0;
    }
    return s_device->handleMessage(window, message, wParam, lParam);
  }

  void SetUp() override {
    // SDL's offscreen video: windows without a display server, so that no
    // other program's window (tests run in parallel on one X server) takes
    // the focus in the middle of a test. Decided when SDL's video starts.
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    resetWindowSystem();
    clearModifiers();
    WNDCLASSA wc{};
    wc.lpfnWndProc = windowProc;
    wc.lpszClassName = "InputWindowTest";
    ASSERT_NE(RegisterClassA(&wc), 0);
    window = CreateWindowExA(0, "InputWindowTest", "input test", WS_OVERLAPPEDWINDOW, 0, 0, 64, 48, nullptr, nullptr,
                             nullptr, nullptr);
    ASSERT_NE(window, nullptr) << "no video: run under xvfb-run";
    ShowWindow(window, SW_SHOW);
    // Let the X server's own events about the new window (focus among them)
    // arrive before the test injects its own.
    for (int i = 0; i < 5; ++i) {
      WaitMessageTimeout(20);
      pumpMessages();
    }
  }

  void TearDown() override {
    s_device = nullptr;
    clearModifiers();
    resetWindowSystem();
  }

  // Delivers every queued message to the window procedure.
  static void pumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }

  // A key pressed and released, as the hardware sends it.
  void tap(BYTE dik) {
    injectKey(window, dik, true);
    injectKey(window, dik, false);
  }

  HWND window = nullptr;
};

// A device's array as a vector, so a test compares the whole at once.
template <class T, std::size_t N>
std::vector<int> all(const T (&values)[N]) {
  return std::vector<int>(values, values + N);
}
