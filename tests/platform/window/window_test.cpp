// The event pump: SDL events injected with SDL_PushEvent come out as the
// Win32-style messages a window procedure sees.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/input/key_codes.h"
#include "platform/window/cursor.h"
#include "platform/window/sdl_video.h"
#include "platform/window/window.h"

namespace {

std::vector<MSG> g_seen;  // what the window procedure received, in order
bool g_quitOnDestroy = false;

LRESULT recordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG msg{};
  msg.hwnd = window;
  msg.message = message;
  msg.wParam = wParam;
  msg.lParam = lParam;
  g_seen.push_back(msg);
  if (message == WM_DESTROY && g_quitOnDestroy) PostQuitMessage(7);
  return DefWindowProcA(window, message, wParam, lParam);
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetWindowSystem();
    g_seen.clear();
    g_quitOnDestroy = false;
    WNDCLASSA wc{};
    wc.lpfnWndProc = recordingProc;
    wc.lpszClassName = "Orbivane";
    ASSERT_NE(RegisterClassA(&wc), 0);
    window =
        CreateWindowExA(0, "orbivane", "test", WS_OVERLAPPEDWINDOW, 0, 0, 320, 200, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr) << "no video driver: run under xvfb-run";
    windowId = SDL_GetWindowID(sdlWindowOf(window));
    pumpAll();
    g_seen.clear();
  }
  void TearDown() override { resetWindowSystem(); }

  // Takes every queued message and dispatches it, as the game's loop does.
  void pumpAll() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }

  void pushKey(Uint32 type, SDL_Scancode code, Uint16 mod = KMOD_NONE, Uint8 repeat = 0) {
    SDL_Event e{};
    e.type = type;
    e.key.windowID = windowId;
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.repeat = repeat;
    e.key.keysym.scancode = code;
    e.key.keysym.mod = mod;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
  }
  void pushWindowEvent(Uint8 event) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = windowId;
    e.window.event = event;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
  }
  void pushMouse(Uint32 type, Sint32 x, Sint32 y, Sint32 wheel = 0) {
    SDL_Event e{};
    e.type = type;
    if (type == SDL_MOUSEMOTION) {
      e.motion.windowID = windowId;
      e.motion.x = x;
      e.motion.y = y;
    } else if (type == SDL_MOUSEWHEEL) {
      e.wheel.windowID = windowId;
      e.wheel.y = wheel;
    } else {
      e.button.windowID = windowId;
      e.button.button = SDL_BUTTON_LEFT;
      e.button.x = x;
      e.button.y = y;
    }
    ASSERT_EQ(SDL_PushEvent(&e), 1);
  }
  std::vector<MSG> seen(UINT message) {
    std::vector<MSG> out;
    for (const MSG& m : g_seen)
      if (m.message == message) out.push_back(m);
    return out;
  }

  HWND window = nullptr;
  Uint32 windowId = 0;
};

TEST_F(WindowTest, KeysBecomeKeyMessagesWithVirtualKeysAndKeystrokeBits) {
  pushKey(SDL_KEYDOWN, SDL_SCANCODE_A, KMOD_NUM);
  pushKey(SDL_KEYDOWN, SDL_SCANCODE_A, KMOD_NUM, 1);
  pushKey(SDL_KEYUP, SDL_SCANCODE_A, KMOD_NUM);
  pushKey(SDL_KEYDOWN, SDL_SCANCODE_RCTRL, KMOD_NUM);
  pumpAll();
  const auto downs = seen(WM_KEYDOWN);
  ASSERT_EQ(downs.size(), 3u);
  EXPECT_EQ(downs[0].wParam, WPARAM{'A'});
  EXPECT_EQ(downs[0].lParam, LPARAM{0x001E0001});  // repeat 1, scan 0x1E
  EXPECT_EQ(downs[1].lParam, LPARAM{0x401E0001});  // auto-repeat: previous state set
  EXPECT_EQ(downs[2].wParam, WPARAM{VK_CONTROL});  // sides folded in messages
  EXPECT_EQ(downs[2].lParam, LPARAM{0x011D0001});  // extended key
  const auto ups = seen(WM_KEYUP);
  ASSERT_EQ(ups.size(), 1u);
  EXPECT_EQ(static_cast<std::uint32_t>(ups[0].lParam), 0xC01E0001u);
}

TEST_F(WindowTest, AltCombinationsAndF10ArePlainKeyMessages) {
  pushKey(SDL_KEYDOWN, SDL_SCANCODE_F4, KMOD_LALT);
  pushKey(SDL_KEYDOWN, SDL_SCANCODE_F10);
  pumpAll();
  const auto sys = seen(WM_KEYDOWN);
  ASSERT_EQ(sys.size(), 2u);
  EXPECT_EQ(sys[0].wParam, WPARAM{VK_F1 + 3});
  EXPECT_EQ(sys[0].lParam & (1 << 29), 1 << 29);  // context code: ALT held
  EXPECT_EQ(sys[1].wParam, WPARAM{VK_F1 + 9});
  EXPECT_EQ(sys[1].lParam & (1 << 29), 0);
}

TEST_F(WindowTest, KeypadWithoutNumLockGivesNavigationKeys) {
  pushKey(SDL_KEYDOWN, SDL_SCANCODE_KP_8, KMOD_NONE);
  pushKey(SDL_KEYDOWN, SDL_SCANCODE_KP_8, KMOD_NUM);
  pumpAll();
  const auto downs = seen(WM_KEYDOWN);
  ASSERT_EQ(downs.size(), 2u);
  EXPECT_EQ(downs[0].wParam, WPARAM{VK_UP});
  EXPECT_EQ(downs[1].wParam, WPARAM{VK_NUMPAD0 + 8});
}

TEST_F(WindowTest, TextBecomesLatin1CharactersAndControlKeysAreTranslated) {
  SDL_Event e{};
  e.type = SDL_TEXTINPUT;
  e.text.windowID = windowId;
  std::strcpy(e.text.text, "a\xC3\xA9\xE2\x82\xAC");  // a, e-acute, euro sign (not in Latin-1)
  ASSERT_EQ(SDL_PushEvent(&e), 1);
  pushKey(SDL_KEYDOWN, SDL_SCANCODE_RETURN, KMOD_NUM);
  pumpAll();
  const auto chars = seen(WM_CHAR);
  ASSERT_EQ(chars.size(), 3u);
  EXPECT_EQ(chars[0].wParam, WPARAM{'a'});
  EXPECT_EQ(chars[1].wParam, WPARAM{0xE9});
  EXPECT_EQ(chars[2].wParam, WPARAM{VK_RETURN});
}

TEST_F(WindowTest, MouseButtonsMotionAndWheel) {
  pushMouse(SDL_MOUSEBUTTONDOWN, 17, 23);
  pushMouse(SDL_MOUSEMOTION, 40, 50);
  pushMouse(SDL_MOUSEBUTTONUP, 40, 50);
  pushMouse(SDL_MOUSEWHEEL, 0, 0, -2);
  pumpAll();

  // Button flags, then x and y in the low and high words; the wheel's
  // distance in the high word of wParam.
  std::vector<std::vector<std::uintptr_t>> mouse;
  for (const MSG& m : g_seen)
    if (m.message >= WM_MOUSEMOVE && m.message <= WM_MOUSEWHEEL)
      mouse.push_back({m.message, m.wParam, m.message == WM_MOUSEWHEEL ? 0 : static_cast<std::uintptr_t>(m.lParam)});
  const std::uintptr_t wheel = std::uintptr_t{0xFF10} << 16;  // -240
  EXPECT_EQ(mouse, (std::vector<std::vector<std::uintptr_t>>{{WM_LBUTTONDOWN, MK_LBUTTON, 23 << 16 | 17},
                                                             {WM_MOUSEMOVE, MK_LBUTTON, 50 << 16 | 40},
                                                             {WM_LBUTTONUP, 0, 50 << 16 | 40},
                                                             {WM_MOUSEWHEEL, wheel, 0}}));
}

TEST_F(WindowTest, StateChangesAreSentToTheProcedureDuringThePump) {
  pushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
  pushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
  MSG msg;
  // Peeking alone delivers them: they never sit in the queue.
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_ACTIVATE, WM_ACTIVATE, PM_REMOVE));
  const auto activations = seen(WM_ACTIVATE);
  ASSERT_EQ(activations.size(), 2u);
  EXPECT_EQ(LOWORD(activations[0].wParam), WA_INACTIVE);
  EXPECT_EQ(LOWORD(activations[1].wParam), WA_ACTIVE);
}

TEST_F(WindowTest, MinimisingDeactivatesWithTheMinimisedFlagAndSizes) {
  pushWindowEvent(SDL_WINDOWEVENT_MINIMIZED);
  pushWindowEvent(SDL_WINDOWEVENT_RESTORED);
  pumpAll();
  const auto activations = seen(WM_ACTIVATE);
  ASSERT_EQ(activations.size(), 1u);
  EXPECT_EQ(LOWORD(activations[0].wParam), WA_INACTIVE);
  EXPECT_NE(HIWORD(activations[0].wParam), 0);
  const auto sizes = seen(WM_SIZE);
  ASSERT_EQ(sizes.size(), 2u);
  EXPECT_EQ(sizes[0].wParam, SIZE_MINIMIZED);
  EXPECT_EQ(sizes[1].wParam, SIZE_RESTORED);
  EXPECT_EQ(LOWORD(static_cast<std::uintptr_t>(sizes[1].lParam)), 320);
  EXPECT_EQ(HIWORD(static_cast<std::uintptr_t>(sizes[1].lParam)), 200);
}

TEST_F(WindowTest, ClosingRunsCloseDestroyAndQuit) {
  g_quitOnDestroy = true;
  pushWindowEvent(SDL_WINDOWEVENT_CLOSE);
  MSG msg{};
  EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 0);
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_EQ(msg.wParam, WPARAM{7});
  ASSERT_EQ(g_seen.size(), 2u);
  EXPECT_EQ(g_seen[0].message, WM_CLOSE);
  EXPECT_EQ(g_seen[1].message, WM_DESTROY);
  EXPECT_FALSE(IsWindow(window));
  // The quit message is taken once.
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(WindowTest, QuitRequestFromOutsideAsksEveryWindowToClose) {
  SDL_Event e{};
  e.type = SDL_QUIT;
  ASSERT_EQ(SDL_PushEvent(&e), 1);
  pumpAll();
  EXPECT_EQ(seen(WM_CLOSE).size(), 1u);
  EXPECT_FALSE(IsWindow(window));
}

TEST_F(WindowTest, PeekFiltersKeepsOrRemovesAndDropsMessagesOfDestroyedWindows) {
  PostMessageA(window, WM_USER + 1, 1, 0);
  PostMessageA(window, WM_USER + 2, 2, 0);
  MSG msg{};
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_USER + 2, WM_USER + 2, PM_NOREMOVE));
  EXPECT_EQ(msg.wParam, WPARAM{2});
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_USER + 1);
  DestroyWindow(window);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_USER, WM_USER + 10, PM_REMOVE));
  EXPECT_FALSE(PostMessageA(window, WM_USER, 0, 0));
  EXPECT_EQ(DispatchMessageA(&msg), 0);  // a message for a gone window goes nowhere
}

TEST_F(WindowTest, ClassesAndWindowGeometry) {
  WNDCLASSA wc{};
  wc.lpszClassName = "ORBIVANE";
  EXPECT_EQ(RegisterClassA(&wc), 0) << "class names ignore case";
  EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr), nullptr);
  RECT rect{};
  ASSERT_TRUE(GetClientRect(window, &rect));
  EXPECT_EQ(rect.right, 320);
  EXPECT_EQ(rect.bottom, 200);
  RECT frame{0, 0, 960, 720};
  AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, 0);
  EXPECT_EQ(frame.right, 960);  // no frame of our own
  MoveWindow(window, 10, 10, 400, 300, 1);
  GetClientRect(window, &rect);
  EXPECT_EQ(rect.right, 400);
  EXPECT_EQ(rect.bottom, 300);
}

TEST_F(WindowTest, TheSystemCursorShowsWithAShapeAndADisplayCountOfZeroOrMore) {
  HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
  ASSERT_NE(arrow, nullptr);
  EXPECT_EQ(LoadCursorA(nullptr, "Hand"), nullptr);
  EXPECT_TRUE(systemCursorShown());
  EXPECT_EQ(SetCursor(nullptr), arrow);
  EXPECT_FALSE(systemCursorShown()) << "no shape, no cursor";
  EXPECT_EQ(SetCursor(nullptr), nullptr);
  EXPECT_EQ(SetCursor(arrow), nullptr);
  EXPECT_TRUE(systemCursorShown());
  EXPECT_EQ(ShowCursor(0), -1);
  EXPECT_FALSE(systemCursorShown());
  EXPECT_EQ(ShowCursor(1), 0);
  EXPECT_TRUE(systemCursorShown());
  EXPECT_EQ(ShowCursor(1), 1);
  EXPECT_EQ(ShowCursor(0), 0);
  EXPECT_TRUE(systemCursorShown());
}

TEST(KeyCodes, TableFollowsSetOneScanCodesAndVirtualKeys) {
  const struct {
    SDL_Scancode scancode;
    int dik, virtualKey;
  } table[] = {
      {SDL_SCANCODE_ESCAPE, 0x01, VK_ESCAPE},
      {SDL_SCANCODE_Q, 0x10, 'Q'},
      {SDL_SCANCODE_0, 0x0B, '0'},
      {SDL_SCANCODE_SEMICOLON, 0x27, VK_OEM_1},
      {SDL_SCANCODE_F12, 0x58, 0x7B},
      {SDL_SCANCODE_KP_ENTER, DIK_NUMPADENTER, VK_RETURN},
      {SDL_SCANCODE_RALT, DIK_RMENU, VK_RMENU},
      {SDL_SCANCODE_PRINTSCREEN, 0xB7, VK_SNAPSHOT},
      {SDL_SCANCODE_UP, DIK_UP, VK_UP},
  };
  for (const auto& k : table) {
    EXPECT_EQ(keyCodesForScancode(k.scancode).dik, k.dik) << k.scancode;
    EXPECT_EQ(keyCodesForScancode(k.scancode).virtualKey, k.virtualKey) << k.scancode;
  }
  EXPECT_EQ(keyCodesForScancode(-1).dik, 0);
  EXPECT_EQ(keyCodesForScancode(100000).virtualKey, 0);
  // The crossed pair: NUM LOCK is extended with DIK 0x45, PAUSE is not with 0xC5.
  EXPECT_TRUE(keyScanForDik(DIK_NUMLOCK).extended);
  EXPECT_EQ(keyScanForDik(DIK_PAUSE).scanCode, 0x45);
  EXPECT_FALSE(keyScanForDik(DIK_PAUSE).extended);
  EXPECT_TRUE(keyScanForDik(DIK_DELETE).extended);
  EXPECT_EQ(keyScanForDik(DIK_DELETE).scanCode, 0x53);
  EXPECT_FALSE(keyScanForDik(DIK_RSHIFT).extended);
}

}  // namespace
