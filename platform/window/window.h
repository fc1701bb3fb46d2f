// Windows and messages in Win32 terms: window classes with a window
// procedure, windows backed by SDL2, and a message queue fed by SDL's event
// pump. Input messages are queued (PeekMessageA/GetMessageA); state changes
// (activation, size, close, destroy) are sent straight to the window
// procedure while the pump runs, as Win32 sends them.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/win32_types.h"

// Instance handle: only compared and passed along.
struct InstanceHandle;
using HINSTANCE = InstanceHandle*;

// A display (monitor); our own record, one per SDL display.
struct MonitorHandle;
using HMONITOR = MonitorHandle*;

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};

struct POINT {
  LONG x;
  LONG y;
};

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};

struct WNDCLASSA {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  void* hIcon;
  void* hCursor;
  void* hbrBackground;
  const char* lpszMenuName;
  const char* lpszClassName;
};

// The extended class record: the same with its size first and a small icon
// last.
struct WNDCLASSEXA {
  UINT cbSize;
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  void* hIcon;
  void* hCursor;
  void* hbrBackground;
  const char* lpszMenuName;
  const char* lpszClassName;
  void* hIconSm;
};

using ATOM = WORD;

// A class or resource named by number instead of text.
inline const char* MAKEINTATOM(WORD atom) { return reinterpret_cast<const char*>(std::uintptr_t{atom}); }
inline const char* MAKEINTRESOURCEA(WORD id) { return MAKEINTATOM(id); }
// The system's dialog class, registered from the start.
inline constexpr WORD kDialogClassAtom = 32770;

// Class styles (kept with the class; windows here redraw whole anyway).
inline constexpr UINT CS_VREDRAW = 0x0001;
inline constexpr UINT CS_HREDRAW = 0x0002;
// A class background given as a system colour index + 1.
inline constexpr int COLOR_WINDOW = 5;

// Messages.
inline constexpr UINT WM_NULL = 0x0000;
inline constexpr UINT WM_CREATE = 0x0001;
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_MOVE = 0x0003;
inline constexpr UINT WM_SIZE = 0x0005;
inline constexpr UINT WM_ACTIVATE = 0x0006;
inline constexpr UINT WM_SETFOCUS = 0x0007;
inline constexpr UINT WM_KILLFOCUS = 0x0008;
inline constexpr UINT WM_PAINT = 0x000F;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_SHOWWINDOW = 0x0018;
inline constexpr UINT WM_SETCURSOR = 0x0020;
inline constexpr UINT WM_KEYDOWN = 0x0100;
inline constexpr UINT WM_KEYUP = 0x0101;
inline constexpr UINT WM_CHAR = 0x0102;
inline constexpr UINT WM_SYSCHAR = 0x0106;
inline constexpr UINT WM_SYSCOMMAND = 0x0112;
// WM_SYSCOMMAND: wParam & 0xFFF0.
inline constexpr WPARAM SC_SCREENSAVE = 0xF140;
inline constexpr WPARAM SC_MONITORPOWER = 0xF170;
inline constexpr UINT WM_MOUSEMOVE = 0x0200;
inline constexpr UINT WM_LBUTTONDOWN = 0x0201;
inline constexpr UINT WM_LBUTTONUP = 0x0202;
inline constexpr UINT WM_RBUTTONDOWN = 0x0204;
inline constexpr UINT WM_RBUTTONUP = 0x0205;
inline constexpr UINT WM_MBUTTONDOWN = 0x0207;
inline constexpr UINT WM_MBUTTONUP = 0x0208;
inline constexpr UINT WM_MOUSEWHEEL = 0x020A;
inline constexpr UINT WM_USER = 0x0400;

// WM_ACTIVATE: LOWORD(wParam); HIWORD(wParam) is non-zero when minimised.
inline constexpr WORD WA_INACTIVE = 0;
inline constexpr WORD WA_ACTIVE = 1;
inline constexpr WORD WA_CLICKACTIVE = 2;

// WM_SIZE wParam.
inline constexpr WPARAM SIZE_RESTORED = 0;
inline constexpr WPARAM SIZE_MINIMIZED = 1;
inline constexpr WPARAM SIZE_MAXIMIZED = 2;

// Mouse key flags in wParam of mouse messages.
inline constexpr WPARAM MK_LBUTTON = 0x1;
inline constexpr WPARAM MK_RBUTTON = 0x2;
inline constexpr WPARAM MK_SHIFT = 0x4;
inline constexpr WPARAM MK_CONTROL = 0x8;
inline constexpr WPARAM MK_MBUTTON = 0x10;
inline constexpr int WHEEL_DELTA = 120;

// Window styles; our windows have no frame of their own (the window manager
// draws it), so styles only matter for AdjustWindowRect, which then leaves
// the rectangle as it is.
inline constexpr DWORD WS_OVERLAPPED = 0x00000000;
inline constexpr DWORD WS_CAPTION = 0x00C00000;
inline constexpr DWORD WS_SYSMENU = 0x00080000;
inline constexpr DWORD WS_THICKFRAME = 0x00040000;
inline constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
inline constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;
inline constexpr DWORD WS_OVERLAPPEDWINDOW =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
inline constexpr DWORD WS_POPUP = 0x80000000;
inline constexpr DWORD WS_VISIBLE = 0x10000000;

// ShowWindow commands.
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOWMINIMIZED = 2;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_MINIMIZE = 6;
inline constexpr int SW_RESTORE = 9;

// SetWindowPos.
inline const HWND HWND_TOP = nullptr;
extern const HWND HWND_NOTOPMOST;  // a marker address; z-order requests are ignored
inline constexpr UINT SWP_NOSIZE = 0x0001;
inline constexpr UINT SWP_NOMOVE = 0x0002;
inline constexpr UINT SWP_NOZORDER = 0x0004;
inline constexpr UINT SWP_SHOWWINDOW = 0x0040;
inline constexpr UINT SWP_HIDEWINDOW = 0x0080;

// PeekMessage.
inline constexpr UINT PM_NOREMOVE = 0x0000;
inline constexpr UINT PM_REMOVE = 0x0001;

inline constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000u);

// Window classes. Registering a name twice fails (returns 0); names ignore
// case, and MAKEINTATOM(kDialogClassAtom) or "#32770" is the dialog class.
ATOM RegisterClassA(const WNDCLASSA* windowClass);
// 0 also when cbSize is not the structure's size.
ATOM RegisterClassExA(const WNDCLASSEXA* windowClass);
// The class record as registered (its name pointer is the caller's
// `className`); FALSE for an unknown class. The instance is not compared.
BOOL GetClassInfoExA(HINSTANCE instance, const char* className, WNDCLASSEXA* windowClass);
BOOL UnregisterClassA(const char* className, HINSTANCE instance);

// Creates a hidden or (WS_VISIBLE) shown SDL window able to carry an OpenGL
// context; width and height are the client size (CW_USEDEFAULT: 640x480).
// Sends WM_CREATE. Returns null when the class is unknown or SDL fails.
HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, void* menu, HINSTANCE instance, void* param);
// Sends WM_DESTROY, then closes the SDL window. Messages still queued for it
// are dropped.
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
BOOL ShowWindow(HWND window, int command);
BOOL IsWindowVisible(HWND window);
BOOL IsIconic(HWND window);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags);
BOOL GetClientRect(HWND window, RECT* rect);
BOOL GetWindowRect(HWND window, RECT* rect);
BOOL AdjustWindowRect(RECT* rect, DWORD style, BOOL menu);
BOOL SetWindowTextA(HWND window, const char* text);
BOOL SetForegroundWindow(HWND window);
HWND GetActiveWindow();
// Raises the window to take the keyboard; returns the window that had it
// (null for none, or for an unknown window, which changes nothing).
HWND SetFocus(HWND window);
// Sends WM_PAINT to the window now. FALSE for an unknown window.
BOOL UpdateWindow(HWND window);
// Drops the window's queued WM_PAINT: the whole client area counts as
// drawn (windows here have no partial update regions).
BOOL ValidateRect(HWND window, const RECT* rect);

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
// A message number of its own for each name (ignoring case), 0xC000 to
// 0xFFFF, the same for the whole run; 0 for an empty name.
UINT RegisterWindowMessageA(const char* name);
// The one message queue here is the windows' own, so thread messages go
// nowhere, least of all to another process's thread: FALSE.
BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);

// Pumps SDL events, then takes the first queued message for the window (null:
// any window) within [filterMin, filterMax] (both 0: no filter).
BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags);
// Blocks until a message is available; returns 0 for WM_QUIT, else non-zero.
BOOL GetMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax);
// Blocks until a message is available or the timeout (milliseconds) passes.
BOOL WaitMessageTimeout(DWORD milliseconds);
BOOL WaitMessage();
// Makes WM_CHAR from WM_KEYDOWN of Return, Backspace, Tab and Escape (the
// keys SDL gives no text for); printable characters come from the pump.
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageA(const MSG* msg);

// Closes every window still open and forgets classes and queued messages.
// For tests and shutdown.
void resetWindowSystem();

// How often a display was added, removed or changed since start; devices
// compare it with what they saw to know that they need a reset.
unsigned displayChangeCount();

// Windows are owned by their creator; this destroys one at scope end.
struct WindowDestroyer {
  void operator()(WindowHandle* window) const { DestroyWindow(window); }
};
using UniqueWindow = std::unique_ptr<WindowHandle, WindowDestroyer>;
