// Windows and the message queue on SDL2. Everything here runs on the main
// thread, as the windows it stands for did.
#include <SDL.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/input/key_codes.h"
#include "platform/window/sdl_video.h"
#include "platform/window/window.h"

struct WindowHandle {
  SDL_Window* sdl = nullptr;
  Uint32 id = 0;
  WNDPROC proc = nullptr;
  bool shown = false;
  bool destroying = false;
};

namespace {

struct WindowClass {
  WNDCLASSEXA record{};  // lpszClassName is not kept
  ATOM atom = 0;
};

struct WindowSystem {
  std::map<std::string, WindowClass> classes;  // by lower-case name: class names ignore case
  std::vector<std::unique_ptr<WindowHandle>> windows;
  std::deque<MSG> queue;
  bool quitPosted = false;
  int quitCode = 0;
  unsigned displayChanges = 0;
  Uint32 mouseButtons = 0;  // MK_ button flags as the messages taken so far left them
  ATOM nextAtom = 0xC000;
};

WindowSystem& windowSystem() {
  static WindowSystem s;
  return s;
}

WindowHandle g_notTopmostMarker;

std::string lowerCase(const char* text) {
  std::string s = text ? text : "";
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The system's dialog class, which every process has.
const WindowClass& dialogClass() {
  static const WindowClass dialog = [] {
    WindowClass c;
    c.record.cbSize = sizeof(WNDCLASSEXA);
    c.record.lpfnWndProc = DefWindowProcA;
    c.record.cbWndExtra = 30;
    c.atom = kDialogClassAtom;
    return c;
  }();
  return dialog;
}

bool isAtom(const char* name) { return reinterpret_cast<std::uintptr_t>(name) < 0x10000; }

const WindowClass* findClass(const char* name) {
  if (!name) return nullptr;
  if (isAtom(name)) {
    const auto atom = static_cast<ATOM>(reinterpret_cast<std::uintptr_t>(name));
    if (atom == kDialogClassAtom) return &dialogClass();
    for (const auto& [key, c] : windowSystem().classes)
      if (c.atom == atom) return &c;
    return nullptr;
  }
  if (lowerCase(name) == "#32770") return &dialogClass();
  const auto found = windowSystem().classes.find(lowerCase(name));
  return found == windowSystem().classes.end() ? nullptr : &found->second;
}

WindowHandle* findWindow(HWND window) {
  for (auto& w : windowSystem().windows)
    if (w.get() == window) return w.get();
  return nullptr;
}

WindowHandle* windowFromId(Uint32 id) {
  for (auto& w : windowSystem().windows)
    if (w->id == id && !w->destroying) return w.get();
  return nullptr;
}

// The window keyboard and mouse events go to when SDL names none.
WindowHandle* focusWindow(Uint32 id) {
  if (WindowHandle* w = windowFromId(id)) return w;
  SDL_Window* focus = SDL_GetKeyboardFocus();
  if (focus) {
    if (WindowHandle* w = windowFromId(SDL_GetWindowID(focus))) return w;
  }
  for (auto& w : windowSystem().windows)
    if (!w->destroying) return w.get();
  return nullptr;
}

LRESULT send(WindowHandle* window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!window) return 0;
  if (window->proc) return window->proc(window, message, wParam, lParam);
  return DefWindowProcA(window, message, wParam, lParam);
}

void post(WindowHandle* window, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG msg{};
  msg.hwnd = window;
  msg.message = message;
  msg.wParam = wParam;
  msg.lParam = lParam;
  msg.time = SDL_GetTicks();
  // The cursor in screen coordinates, from SDL's cached state (no server
  // round trip per message).
  int x = 0, y = 0;
  if (SDL_WasInit(SDL_INIT_VIDEO)) {
    SDL_GetMouseState(&x, &y);
    if (window && window->sdl) {
      int wx = 0, wy = 0;
      SDL_GetWindowPosition(window->sdl, &wx, &wy);
      x += wx;
      y += wy;
    }
  }
  msg.pt = {x, y};
  windowSystem().queue.push_back(msg);
}

constexpr LPARAM pointLParam(int x, int y) {
  return static_cast<LPARAM>((static_cast<std::uint32_t>(static_cast<std::uint16_t>(y)) << 16) |
                             static_cast<std::uint16_t>(x));
}

constexpr WPARAM makeWParam(unsigned low, unsigned high) { return (high & 0xFFFF) << 16 | (low & 0xFFFF); }

WPARAM keyFlags() {
  const SDL_Keymod mod = SDL_GetModState();
  WPARAM flags = windowSystem().mouseButtons;
  if (mod & KMOD_SHIFT) flags |= MK_SHIFT;
  if (mod & KMOD_CTRL) flags |= MK_CONTROL;
  return flags;
}

void translateKey(const SDL_KeyboardEvent& key) {
  WindowHandle* window = focusWindow(key.windowID);
  if (!window) return;
  const KeyCodes codes = keyCodesForScancode(key.keysym.scancode);
  if (codes.virtualKey == 0) return;
  BYTE vk = messageVirtualKey(codes.virtualKey);
  if (!(key.keysym.mod & KMOD_NUM)) {
    if (const BYTE navigation = keypadNavigationKey(codes.dik)) vk = navigation;
  }
  const bool up = key.type == SDL_KEYUP;
  const bool alt = (key.keysym.mod & KMOD_ALT) != 0;
  // Alt combinations and F10 come as plain key messages, so the game's keys
  // (Alt as fire, F10) read like any other; the context bit still says Alt.
  const UINT message = up ? WM_KEYUP : WM_KEYDOWN;
  post(window, message, vk, keystrokeLParam(codes.dik, up, key.repeat != 0, alt));
}

// Characters reach an ANSI window in its code page; we deliver Latin-1 and
// drop what it cannot hold.
void translateText(const SDL_TextInputEvent& text) {
  WindowHandle* window = focusWindow(text.windowID);
  if (!window) return;
  const auto* p = reinterpret_cast<const unsigned char*>(text.text);
  const auto* end = p + strnlen(text.text, sizeof(text.text));
  while (p < end) {
    unsigned c = *p;
    int extra = 0;
    if (c >= 0xF0) {
      c &= 0x07;
      extra = 3;
    } else if (c >= 0xE0) {
      c &= 0x0F;
      extra = 2;
    } else if (c >= 0xC0) {
      c &= 0x1F;
      extra = 1;
    } else if (c >= 0x80) {
      ++p;  // stray continuation byte
      continue;
    }
    ++p;
    bool valid = true;
    for (int i = 0; i < extra; ++i, ++p) {
      if (p >= end || (*p & 0xC0) != 0x80) {
        valid = false;
        break;
      }
      c = (c << 6) | (*p & 0x3F);
    }
    if (valid && c <= 0xFF) post(window, WM_CHAR, c, 1);
  }
}

WPARAM buttonFlag(Uint8 button) {
  switch (button) {
    case SDL_BUTTON_LEFT:
      return MK_LBUTTON;
    case SDL_BUTTON_RIGHT:
      return MK_RBUTTON;
    case SDL_BUTTON_MIDDLE:
      return MK_MBUTTON;
    default:
      return 0;
  }
}

void translateButton(const SDL_MouseButtonEvent& button) {
  WindowHandle* window = focusWindow(button.windowID);
  const WPARAM flag = buttonFlag(button.button);
  if (!window || flag == 0) return;
  const bool down = button.type == SDL_MOUSEBUTTONDOWN;
  if (down)
    windowSystem().mouseButtons |= static_cast<Uint32>(flag);
  else
    windowSystem().mouseButtons &= ~static_cast<Uint32>(flag);
  UINT message = 0;
  if (flag == MK_LBUTTON) message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
  if (flag == MK_RBUTTON) message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
  if (flag == MK_MBUTTON) message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
  post(window, message, keyFlags(), pointLParam(button.x, button.y));
}

void translateWheel(const SDL_MouseWheelEvent& wheel) {
  WindowHandle* window = focusWindow(wheel.windowID);
  if (!window || wheel.y == 0) return;
  int delta = wheel.y * WHEEL_DELTA;
  if (wheel.direction == SDL_MOUSEWHEEL_FLIPPED) delta = -delta;
  int wx = 0, wy = 0;
  SDL_GetWindowPosition(window->sdl, &wx, &wy);
  // The wheel message carries screen coordinates.
  post(window, WM_MOUSEWHEEL, makeWParam(static_cast<unsigned>(keyFlags()), static_cast<unsigned>(delta)),
       pointLParam(wx + wheel.mouseX, wy + wheel.mouseY));
}

void translateWindowEvent(const SDL_WindowEvent& e) {
  WindowHandle* window = windowFromId(e.windowID);
  if (!window) return;
  const bool minimised = (SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_MINIMIZED) != 0;
  switch (e.event) {
    case SDL_WINDOWEVENT_FOCUS_GAINED:
      send(window, WM_ACTIVATE, makeWParam(WA_ACTIVE, minimised ? 1 : 0), 0);
      send(window, WM_SETFOCUS, 0, 0);
      break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
      send(window, WM_ACTIVATE, makeWParam(WA_INACTIVE, minimised ? 1 : 0), 0);
      send(window, WM_KILLFOCUS, 0, 0);
      break;
    case SDL_WINDOWEVENT_MINIMIZED:
      send(window, WM_ACTIVATE, makeWParam(WA_INACTIVE, 1), 0);
      send(window, WM_SIZE, SIZE_MINIMIZED, 0);
      break;
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_MAXIMIZED:
    case SDL_WINDOWEVENT_SIZE_CHANGED: {
      int w = 0, h = 0;
      SDL_GetWindowSize(window->sdl, &w, &h);
      const WPARAM kind = e.event == SDL_WINDOWEVENT_MAXIMIZED ? SIZE_MAXIMIZED : SIZE_RESTORED;
      send(window, WM_SIZE, kind, pointLParam(w, h));
      break;
    }
    case SDL_WINDOWEVENT_EXPOSED:
      post(window, WM_PAINT, 0, 0);
      break;
    case SDL_WINDOWEVENT_CLOSE:
      send(window, WM_CLOSE, 0, 0);
      break;
    default:
      break;
  }
}

void translate(const SDL_Event& event) {
  switch (event.type) {
    case SDL_WINDOWEVENT:
      translateWindowEvent(event.window);
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      translateKey(event.key);
      break;
    case SDL_TEXTINPUT:
      translateText(event.text);
      break;
    case SDL_MOUSEMOTION:
      if (WindowHandle* w = focusWindow(event.motion.windowID))
        post(w, WM_MOUSEMOVE, keyFlags(), pointLParam(event.motion.x, event.motion.y));
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      translateButton(event.button);
      break;
    case SDL_MOUSEWHEEL:
      translateWheel(event.wheel);
      break;
    case SDL_DISPLAYEVENT:
      ++windowSystem().displayChanges;
      break;
    case SDL_QUIT: {
      // A request to end from outside (signal, session end): every window
      // is asked to close, as the user closing it would.
      std::vector<WindowHandle*> open;
      for (auto& w : windowSystem().windows)
        if (!w->destroying) open.push_back(w.get());
      if (open.empty()) PostQuitMessage(0);
      for (WindowHandle* w : open)
        if (findWindow(w)) send(w, WM_CLOSE, 0, 0);
      break;
    }
    default:
      break;
  }
}

void pump() {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
  SDL_Event event;
  while (SDL_PollEvent(&event)) translate(event);
}

bool matches(const MSG& msg, HWND window, UINT filterMin, UINT filterMax) {
  if (window && msg.hwnd != window) return false;
  if (filterMin == 0 && filterMax == 0) return true;
  return msg.message >= filterMin && msg.message <= filterMax;
}

bool takeMessage(MSG* out, HWND window, UINT filterMin, UINT filterMax, bool remove) {
  auto& queue = windowSystem().queue;
  auto it =
      std::find_if(queue.begin(), queue.end(), [&](const MSG& m) { return matches(m, window, filterMin, filterMax); });
  if (it != queue.end()) {
    if (out) *out = *it;
    if (remove) queue.erase(it);
    return true;
  }
  const bool quitWanted = (filterMin == 0 && filterMax == 0) || (filterMin <= WM_QUIT && WM_QUIT <= filterMax);
  if (windowSystem().quitPosted && quitWanted) {
    if (out) {
      *out = MSG{};
      out->message = WM_QUIT;
      out->wParam = static_cast<WPARAM>(windowSystem().quitCode);
      out->time = SDL_GetTicks();
    }
    if (remove) windowSystem().quitPosted = false;
    return true;
  }
  return false;
}

}  // namespace

const HWND HWND_NOTOPMOST = &g_notTopmostMarker;

bool ensureSdlVideo() {
  static bool ok = [] {
    // Closing the last window must not end the program behind the game's
    // back: it gets WM_CLOSE and decides.
    SDL_SetHint("SDL_QUIT_ON_LAST_WINDOW_CLOSE", "0");
    return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
  }();
  return ok;
}

SDL_Window* sdlWindowOf(HWND window) {
  WindowHandle* w = findWindow(window);
  return w ? w->sdl : nullptr;
}

bool windowWasShown(HWND window) {
  WindowHandle* w = findWindow(window);
  return w && w->shown;
}

ATOM RegisterClassA(const WNDCLASSA* windowClass) {
  if (!windowClass) return 0;
  const WNDCLASSEXA extended{sizeof(WNDCLASSEXA),       windowClass->style,         windowClass->lpfnWndProc,
                             windowClass->cbClsExtra,   windowClass->cbWndExtra,    windowClass->hInstance,
                             windowClass->hIcon,        windowClass->hCursor,       windowClass->hbrBackground,
                             windowClass->lpszMenuName, windowClass->lpszClassName, nullptr};
  return RegisterClassExA(&extended);
}

ATOM RegisterClassExA(const WNDCLASSEXA* windowClass) {
  if (!windowClass || windowClass->cbSize != sizeof(WNDCLASSEXA)) return 0;
  const char* name = windowClass->lpszClassName;
  if (!name || isAtom(name) || !*name || findClass(name)) return 0;
  WindowSystem& system = windowSystem();
  if (system.nextAtom == 0xFFFF) return 0;
  WindowClass c;
  c.record = *windowClass;
  c.record.lpszClassName = nullptr;
  c.atom = system.nextAtom++;
  system.classes.emplace(lowerCase(name), c);
  return c.atom;
}

BOOL GetClassInfoExA(HINSTANCE, const char* className, WNDCLASSEXA* windowClass) {
  const WindowClass* c = findClass(className);
  if (!c || !windowClass) return 0;
  *windowClass = c->record;
  windowClass->lpszClassName = className;
  return 1;
}

BOOL UnregisterClassA(const char* className, HINSTANCE) {
  if (!className || isAtom(className)) return 0;
  return windowSystem().classes.erase(lowerCase(className)) ? 1 : 0;
}

HWND CreateWindowExA(DWORD, const char* className, const char* windowName, DWORD style, int x, int y, int width,
                     int height, HWND, void*, HINSTANCE, void*) {
  const WindowClass* cls = findClass(className);
  if (!cls) return nullptr;
  const WNDPROC proc = cls->record.lpfnWndProc;
  if (!ensureSdlVideo()) return nullptr;
  if (width == CW_USEDEFAULT || width <= 0) width = 640;
  if (height == CW_USEDEFAULT || height <= 0) height = 480;
  const int px = x == CW_USEDEFAULT ? static_cast<int>(SDL_WINDOWPOS_UNDEFINED) : x;
  const int py = y == CW_USEDEFAULT ? static_cast<int>(SDL_WINDOWPOS_UNDEFINED) : y;
  Uint32 flags = (style & WS_VISIBLE) ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN;
  if (style & WS_THICKFRAME) flags |= SDL_WINDOW_RESIZABLE;
  if (style & WS_POPUP) flags |= SDL_WINDOW_BORDERLESS;

  // Every window can carry a GL context: the device renders into its own
  // framebuffer objects, so the window only needs a double-buffered RGB visual.
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_Window* sdl = SDL_CreateWindow(windowName ? windowName : "", px, py, width, height, flags | SDL_WINDOW_OPENGL);
  if (!sdl) sdl = SDL_CreateWindow(windowName ? windowName : "", px, py, width, height, flags);
  if (!sdl) return nullptr;

  auto window = std::make_unique<WindowHandle>();
  window->sdl = sdl;
  window->id = SDL_GetWindowID(sdl);
  window->proc = proc;
  window->shown = (style & WS_VISIBLE) != 0;
  WindowHandle* handle = window.get();
  windowSystem().windows.push_back(std::move(window));
  send(handle, WM_CREATE, 0, 0);
  return handle;
}

BOOL DestroyWindow(HWND window) {
  WindowHandle* w = findWindow(window);
  if (!w || w->destroying) return 0;
  w->destroying = true;
  send(w, WM_DESTROY, 0, 0);
  auto& queue = windowSystem().queue;
  queue.erase(std::remove_if(queue.begin(), queue.end(), [w](const MSG& m) { return m.hwnd == w; }), queue.end());
  SDL_DestroyWindow(w->sdl);
  auto& windows = windowSystem().windows;
  windows.erase(std::remove_if(windows.begin(), windows.end(), [w](const auto& p) { return p.get() == w; }),
                windows.end());
  return 1;
}

BOOL IsWindow(HWND window) {
  WindowHandle* w = findWindow(window);
  return w && !w->destroying;
}

BOOL ShowWindow(HWND window, int command) {
  WindowHandle* w = findWindow(window);
  if (!w) return 0;
  const BOOL wasVisible = (SDL_GetWindowFlags(w->sdl) & SDL_WINDOW_SHOWN) ? 1 : 0;
  switch (command) {
    case SW_HIDE:
      SDL_HideWindow(w->sdl);
      break;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
      SDL_ShowWindow(w->sdl);
      SDL_MinimizeWindow(w->sdl);
      w->shown = true;
      break;
    case SW_RESTORE:
      SDL_ShowWindow(w->sdl);
      SDL_RestoreWindow(w->sdl);
      w->shown = true;
      break;
    default:
      SDL_ShowWindow(w->sdl);
      w->shown = true;
      break;
  }
  return wasVisible;
}

BOOL IsWindowVisible(HWND window) {
  WindowHandle* w = findWindow(window);
  return w && (SDL_GetWindowFlags(w->sdl) & SDL_WINDOW_SHOWN) ? 1 : 0;
}

BOOL IsIconic(HWND window) {
  WindowHandle* w = findWindow(window);
  return w && (SDL_GetWindowFlags(w->sdl) & SDL_WINDOW_MINIMIZED) ? 1 : 0;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL) {
  return SetWindowPos(window, nullptr, x, y, width, height, SWP_NOZORDER);
}

BOOL SetWindowPos(HWND window, HWND, int x, int y, int width, int height, UINT flags) {
  WindowHandle* w = findWindow(window);
  if (!w) return 0;
  if (!(flags & SWP_NOMOVE)) SDL_SetWindowPosition(w->sdl, x, y);
  if (!(flags & SWP_NOSIZE) && width > 0 && height > 0) SDL_SetWindowSize(w->sdl, width, height);
  if (flags & SWP_SHOWWINDOW) ShowWindow(window, SW_SHOW);
  if (flags & SWP_HIDEWINDOW) ShowWindow(window, SW_HIDE);
  return 1;
}

BOOL GetClientRect(HWND window, RECT* rect) {
  WindowHandle* w = findWindow(window);
  if (!w || !rect) return 0;
  int width = 0, height = 0;
  SDL_GetWindowSize(w->sdl, &width, &height);
  *rect = {0, 0, width, height};
  return 1;
}

BOOL GetWindowRect(HWND window, RECT* rect) {
  WindowHandle* w = findWindow(window);
  if (!w || !rect) return 0;
  int x = 0, y = 0, width = 0, height = 0;
  SDL_GetWindowPosition(w->sdl, &x, &y);
  SDL_GetWindowSize(w->sdl, &width, &height);
  *rect = {x, y, x + width, y + height};
  return 1;
}

BOOL AdjustWindowRect(RECT* rect, DWORD, BOOL) { return rect ? 1 : 0; }

BOOL SetWindowTextA(HWND window, const char* text) {
  WindowHandle* w = findWindow(window);
  if (!w) return 0;
  SDL_SetWindowTitle(w->sdl, text ? text : "");
  return 1;
}

BOOL SetForegroundWindow(HWND window) {
  WindowHandle* w = findWindow(window);
  if (!w) return 0;
  SDL_RaiseWindow(w->sdl);
  return 1;
}

HWND GetActiveWindow() {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return nullptr;
  SDL_Window* focus = SDL_GetKeyboardFocus();
  return focus ? windowFromId(SDL_GetWindowID(focus)) : nullptr;
}

HWND SetFocus(HWND window) {
  WindowHandle* w = findWindow(window);
  if (!w || w->destroying) return nullptr;
  HWND previous = GetActiveWindow();
  SDL_RaiseWindow(w->sdl);
  return previous;
}

BOOL UpdateWindow(HWND window) {
  WindowHandle* w = findWindow(window);
  if (!w || w->destroying) return 0;
  send(w, WM_PAINT, 0, 0);
  return 1;
}

BOOL ValidateRect(HWND window, const RECT*) {
  WindowHandle* w = findWindow(window);
  if (!w) return 0;
  auto& queue = windowSystem().queue;
  queue.erase(
      std::remove_if(queue.begin(), queue.end(), [w](const MSG& m) { return m.hwnd == w && m.message == WM_PAINT; }),
      queue.end());
  return 1;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM, LPARAM) {
  if (message == WM_CLOSE) DestroyWindow(window);
  return 0;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowHandle* w = findWindow(window);
  return w ? send(w, message, wParam, lParam) : 0;
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window && !IsWindow(window)) return 0;
  post(window, message, wParam, lParam);
  return 1;
}

void PostQuitMessage(int exitCode) {
  windowSystem().quitPosted = true;
  windowSystem().quitCode = exitCode;
}

UINT RegisterWindowMessageA(const char* name) {
  if (!name || !*name) return 0;
  static std::map<std::string, UINT> registered;  // survives resetWindowSystem, as names do for a run
  const std::string key = lowerCase(name);
  if (const auto found = registered.find(key); found != registered.end()) return found->second;
  if (registered.size() >= 0x4000) return 0;
  const UINT id = static_cast<UINT>(0xC000 + registered.size());
  registered.emplace(key, id);
  return id;
}

BOOL PostThreadMessageA(DWORD, UINT, WPARAM, LPARAM) { return 0; }

BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
  pump();
  return takeMessage(msg, window, filterMin, filterMax, (removeFlags & PM_REMOVE) != 0) ? 1 : 0;
}

BOOL WaitMessageTimeout(DWORD milliseconds) {
  const Uint32 start = SDL_GetTicks();
  for (;;) {
    pump();
    if (takeMessage(nullptr, nullptr, 0, 0, false)) return 1;
    const Uint32 elapsed = SDL_GetTicks() - start;
    if (elapsed >= milliseconds) return 0;
    if (SDL_WasInit(SDL_INIT_VIDEO))
      SDL_WaitEventTimeout(nullptr, static_cast<int>(std::min<Uint32>(milliseconds - elapsed, 100)));
    else
      SDL_Delay(std::min<Uint32>(milliseconds - elapsed, 10));
  }
}

BOOL WaitMessage() {
  while (!WaitMessageTimeout(1000)) {
  }
  return 1;
}

BOOL GetMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax) {
  MSG local{};
  for (;;) {
    if (PeekMessageA(&local, window, filterMin, filterMax, PM_REMOVE)) break;
    WaitMessageTimeout(50);
  }
  if (msg) *msg = local;
  return local.message == WM_QUIT ? 0 : 1;
}

BOOL TranslateMessage(const MSG* msg) {
  if (!msg || msg->message != WM_KEYDOWN) return 0;
  switch (msg->wParam) {
    case VK_RETURN:
    case VK_BACK:
    case VK_TAB:
    case VK_ESCAPE:
      post(msg->hwnd, WM_CHAR, msg->wParam, msg->lParam);
      return 1;
    default:
      return 0;
  }
}

LRESULT DispatchMessageA(const MSG* msg) {
  if (!msg || !msg->hwnd) return 0;
  WindowHandle* w = findWindow(msg->hwnd);
  if (!w || w->destroying) return 0;
  return send(w, msg->message, msg->wParam, msg->lParam);
}

void resetWindowSystem() {
  while (!windowSystem().windows.empty()) {
    WindowHandle* w = windowSystem().windows.back().get();
    if (!DestroyWindow(w)) windowSystem().windows.pop_back();
  }
  windowSystem().classes.clear();
  windowSystem().queue.clear();
  windowSystem().quitPosted = false;
  windowSystem().mouseButtons = 0;
  resetCursor();
  if (SDL_WasInit(SDL_INIT_VIDEO)) {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
    }
  }
}

unsigned displayChangeCount() { return windowSystem().displayChanges; }
