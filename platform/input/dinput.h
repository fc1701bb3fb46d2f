// The DirectInput-shaped input service used in full-screen play: the system
// keyboard and mouse with buffered data in DirectInput key codes, and the
// first attached game controller. Implemented on SDL2 (platform/dinput_sdl.cpp):
// keyboard and mouse data come from SDL's events (an event watch, so they
// arrive whether or not the window message pump has run), an exclusive mouse
// is SDL's relative mouse mode, a game controller is an SDL joystick.
//
// Acquisition follows the cooperative level: a foreground device delivers data
// only while its window has the input focus. Losing the focus unacquires it
// (the next read answers DIERR_INPUTLOST, later ones DIERR_NOTACQUIRED), and
// Acquire is refused with DIERR_OTHERAPPHASPRIO until the focus is back, so a
// caller looping while Acquire answers "input lost" always ends.
#pragma once

#include "platform/com.h"
#include "platform/input/key_codes.h"
#include "platform/window/window.h"

// Results.
inline constexpr HRESULT DI_OK = S_OK;
inline constexpr HRESULT DI_BUFFEROVERFLOW = S_FALSE;  // oldest items dropped; data still returned
inline constexpr HRESULT DI_NOEFFECT = S_FALSE;
inline constexpr HRESULT DIERR_INPUTLOST = static_cast<HRESULT>(0x8007001Eu);
inline constexpr HRESULT DIERR_NOTACQUIRED = static_cast<HRESULT>(0x8007000Cu);
inline constexpr HRESULT DIERR_OTHERAPPHASPRIO = static_cast<HRESULT>(0x80070005u);
inline constexpr HRESULT DIERR_INVALIDPARAM = E_INVALIDARG;
inline constexpr HRESULT DIERR_NOTINITIALIZED = static_cast<HRESULT>(0x80070015u);
inline constexpr HRESULT DIERR_DEVICENOTREG = static_cast<HRESULT>(0x80040154u);
inline constexpr HRESULT DIERR_UNSUPPORTED = static_cast<HRESULT>(0x80004001u);
inline constexpr HRESULT DIERR_NOTBUFFERED = static_cast<HRESULT>(0x80040207u);
inline constexpr HRESULT DIERR_ACQUIRED = static_cast<HRESULT>(0x800700AAu);
inline constexpr HRESULT DIERR_NOTFOUND = static_cast<HRESULT>(0x80070002u);
inline constexpr HRESULT DIERR_UNPLUGGED = static_cast<HRESULT>(0x80040209u);
inline constexpr HRESULT DIERR_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
inline constexpr HRESULT DIERR_INVALIDHANDLE = static_cast<HRESULT>(0x80070006u);

inline constexpr DWORD DIRECTINPUT_VERSION = 0x0800;
inline constexpr DWORD DIGDD_PEEK = 0x1;  // GetDeviceData leaves the items in the buffer

// Cooperative levels.
inline constexpr DWORD DISCL_EXCLUSIVE = 0x1;
inline constexpr DWORD DISCL_NONEXCLUSIVE = 0x2;
inline constexpr DWORD DISCL_FOREGROUND = 0x4;
inline constexpr DWORD DISCL_BACKGROUND = 0x8;
inline constexpr DWORD DISCL_NOWINKEY = 0x10;

// Device enumeration.
inline constexpr DWORD DI8DEVCLASS_ALL = 0;
inline constexpr DWORD DI8DEVCLASS_DEVICE = 1;
inline constexpr DWORD DI8DEVCLASS_POINTER = 2;
inline constexpr DWORD DI8DEVCLASS_KEYBOARD = 3;
inline constexpr DWORD DI8DEVCLASS_GAMECTRL = 4;
inline constexpr DWORD DIEDFL_ALLDEVICES = 0;
inline constexpr DWORD DIEDFL_ATTACHEDONLY = 0x1;
inline constexpr BOOL DIENUM_STOP = 0;
inline constexpr BOOL DIENUM_CONTINUE = 1;

// Object types; an object's id is its type bits plus DIDFT_MAKEINSTANCE(n).
inline constexpr DWORD DIDFT_ALL = 0;
inline constexpr DWORD DIDFT_RELAXIS = 0x1;
inline constexpr DWORD DIDFT_ABSAXIS = 0x2;
inline constexpr DWORD DIDFT_AXIS = 0x3;
inline constexpr DWORD DIDFT_PSHBUTTON = 0x4;
inline constexpr DWORD DIDFT_TGLBUTTON = 0x8;
inline constexpr DWORD DIDFT_BUTTON = 0xC;
inline constexpr DWORD DIDFT_POV = 0x10;
inline constexpr DWORD DIDFT_MAKEINSTANCE(DWORD n) { return (n & 0xFFFF) << 8; }
inline constexpr DWORD DIDFT_GETINSTANCE(DWORD id) { return (id >> 8) & 0xFFFF; }

// Properties (DirectInput passes them as small integers in a GUID argument).
using DIPROPID = DWORD;
inline constexpr DIPROPID DIPROP_BUFFERSIZE = 1;
inline constexpr DIPROPID DIPROP_AXISMODE = 2;
inline constexpr DIPROPID DIPROP_GRANULARITY = 3;
inline constexpr DIPROPID DIPROP_RANGE = 4;
inline constexpr DIPROPID DIPROP_DEADZONE = 5;
inline constexpr DIPROPID DIPROP_SATURATION = 6;
inline constexpr DWORD DIPH_DEVICE = 0;
inline constexpr DWORD DIPH_BYOFFSET = 1;
inline constexpr DWORD DIPH_BYID = 2;

struct DIPROPHEADER {
  DWORD dwSize;
  DWORD dwHeaderSize;
  DWORD dwObj;
  DWORD dwHow;
};
struct DIPROPDWORD {
  DIPROPHEADER diph;
  DWORD dwData;
};
struct DIPROPRANGE {
  DIPROPHEADER diph;
  LONG lMin;
  LONG lMax;
};

// Buffered data: keyboard dwOfs = DirectInput key code, dwData & 0x80 =
// pressed; mouse dwOfs = DIMOFS_*, dwData = signed motion or 0x80 for a
// pressed button.
struct DIDEVICEOBJECTDATA {
  DWORD dwOfs;
  DWORD dwData;
  DWORD dwTimeStamp;  // milliseconds
  DWORD dwSequence;
  std::uintptr_t uAppData;
};

inline constexpr DWORD DIMOFS_X = 0;
inline constexpr DWORD DIMOFS_Y = 4;
inline constexpr DWORD DIMOFS_Z = 8;
inline constexpr DWORD DIMOFS_BUTTON0 = 12;
inline constexpr DWORD DIMOFS_BUTTON1 = 13;
inline constexpr DWORD DIMOFS_BUTTON2 = 14;
inline constexpr DWORD DIMOFS_BUTTON3 = 15;

struct DIMOUSESTATE {
  LONG lX;
  LONG lY;
  LONG lZ;
  BYTE rgbButtons[4];
};
static_assert(sizeof(DIMOUSESTATE) == 16);

struct DIJOYSTATE {
  LONG lX;
  LONG lY;
  LONG lZ;
  LONG lRx;
  LONG lRy;
  LONG lRz;
  LONG rglSlider[2];
  DWORD rgdwPOV[4];  // hundredths of a degree clockwise from forward; centred 0xFFFFFFFF
  BYTE rgbButtons[32];
};
static_assert(sizeof(DIJOYSTATE) == 80);

// Data formats: which state a device reports. Only the three predefined ones
// exist; a device compares the pointer.
struct DIDATAFORMAT {
  DWORD dwSize;
  DWORD dwObjSize;
  DWORD dwFlags;
  DWORD dwDataSize;  // size of the state GetDeviceState fills
};
extern const DIDATAFORMAT c_dfDIMouse;
extern const DIDATAFORMAT c_dfDIKeyboard;
extern const DIDATAFORMAT c_dfDIJoystick;

// Devices and interfaces are named by GUIDs.
extern const GUID GUID_SysMouse;
extern const GUID GUID_SysKeyboard;
extern const GUID IID_IDirectInput8A;
inline bool IsEqualGUID(const GUID& a, const GUID& b) { return a == b; }

struct DIDEVICEINSTANCEA {
  DWORD dwSize;
  GUID guidInstance;
  GUID guidProduct;
  DWORD dwDevType;  // low byte: the device class's type
  char tszInstanceName[260];
  char tszProductName[260];
};

struct DIDEVICEOBJECTINSTANCEA {
  DWORD dwSize;
  DWORD dwOfs;   // offset in the data format's state
  DWORD dwType;  // type bits and instance: the object's id
  char tszName[260];
};

using LPDIENUMDEVICESCALLBACKA = BOOL (*)(const DIDEVICEINSTANCEA* instance, void* context);
using LPDIENUMDEVICEOBJECTSCALLBACKA = BOOL (*)(const DIDEVICEOBJECTINSTANCEA* object, void* context);

class IDirectInputDevice8A : public D3DUnknown {
 public:
  // The state GetDeviceState reports: c_dfDIMouse, c_dfDIKeyboard or
  // c_dfDIJoystick, matching the kind of device. Refused while acquired.
  virtual HRESULT SetDataFormat(const DIDATAFORMAT* format) = 0;
  // window must be one of ours; exactly one of EXCLUSIVE and NONEXCLUSIVE and
  // one of FOREGROUND and BACKGROUND. Refused while acquired.
  virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
  // DIPROP_BUFFERSIZE (DIPROPDWORD, whole device; set before Acquire) and
  // DIPROP_RANGE (DIPROPRANGE, whole device or one axis by id).
  virtual HRESULT SetProperty(DIPROPID property, const DIPROPHEADER* header) = 0;
  virtual HRESULT GetProperty(DIPROPID property, DIPROPHEADER* header) = 0;
  // DI_OK, or S_FALSE when already acquired; DIERR_OTHERAPPHASPRIO for a
  // foreground device whose window lacks the focus.
  virtual HRESULT Acquire() = 0;
  virtual HRESULT Unacquire() = 0;
  // Takes up to *count buffered items, oldest first (data may be null to
  // discard them); *count becomes the number taken. DI_BUFFEROVERFLOW when
  // items were dropped since the last read.
  virtual HRESULT GetDeviceData(DWORD itemSize, DIDEVICEOBJECTDATA* data, DWORD* count, DWORD flags) = 0;
  // size must be the data format's state size.
  virtual HRESULT GetDeviceState(DWORD size, void* state) = 0;
  // Game controllers read their hardware here; others answer DI_NOEFFECT.
  // An unplugged controller answers DIERR_INPUTLOST once, then
  // DIERR_NOTACQUIRED, and Acquire answers DIERR_UNPLUGGED.
  virtual HRESULT Poll() = 0;
  virtual HRESULT EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACKA callback, void* context, DWORD flags) = 0;
};

class IDirectInput8A : public D3DUnknown {
 public:
  // GUID_SysMouse, GUID_SysKeyboard or a game controller's instance GUID from
  // EnumDevices; outer must be null.
  virtual HRESULT CreateDevice(const GUID& device, IDirectInputDevice8A** out, void* outer) = 0;
  // Reports the attached devices of a class (DI8DEVCLASS_GAMECTRL: SDL
  // joysticks, in SDL's order) until the callback answers DIENUM_STOP.
  virtual HRESULT EnumDevices(DWORD deviceClass, LPDIENUMDEVICESCALLBACKA callback, void* context, DWORD flags) = 0;
};

// Starts SDL's event and joystick subsystems for the object's lifetime.
// version must be DIRECTINPUT_VERSION and iid IID_IDirectInput8A; instance
// is ignored (may be null).
HRESULT DirectInput8Create(HINSTANCE instance, DWORD version, const GUID& iid, void** out, void* outer);

// DirectInput key codes beyond those platform/key_codes.h names.
inline constexpr BYTE DIK_1 = 0x02, DIK_2 = 0x03, DIK_3 = 0x04, DIK_4 = 0x05, DIK_5 = 0x06;
inline constexpr BYTE DIK_6 = 0x07, DIK_7 = 0x08, DIK_8 = 0x09, DIK_9 = 0x0A, DIK_0 = 0x0B;
inline constexpr BYTE DIK_MINUS = 0x0C, DIK_EQUALS = 0x0D, DIK_BACK = 0x0E, DIK_TAB = 0x0F;
inline constexpr BYTE DIK_Q = 0x10, DIK_W = 0x11, DIK_E = 0x12, DIK_R = 0x13, DIK_T = 0x14;
inline constexpr BYTE DIK_Y = 0x15, DIK_U = 0x16, DIK_I = 0x17, DIK_O = 0x18, DIK_P = 0x19;
inline constexpr BYTE DIK_LBRACKET = 0x1A, DIK_RBRACKET = 0x1B;
inline constexpr BYTE DIK_A = 0x1E, DIK_S = 0x1F, DIK_D = 0x20, DIK_F = 0x21, DIK_G = 0x22;
inline constexpr BYTE DIK_H = 0x23, DIK_J = 0x24, DIK_K = 0x25, DIK_L = 0x26;
inline constexpr BYTE DIK_SEMICOLON = 0x27, DIK_APOSTROPHE = 0x28, DIK_GRAVE = 0x29, DIK_BACKSLASH = 0x2B;
inline constexpr BYTE DIK_Z = 0x2C, DIK_X = 0x2D, DIK_C = 0x2E, DIK_V = 0x2F, DIK_B = 0x30;
inline constexpr BYTE DIK_N = 0x31, DIK_M = 0x32, DIK_COMMA = 0x33, DIK_PERIOD = 0x34, DIK_SLASH = 0x35;
inline constexpr BYTE DIK_MULTIPLY = 0x37, DIK_CAPITAL = 0x3A;
inline constexpr BYTE DIK_F1 = 0x3B, DIK_F2 = 0x3C, DIK_F3 = 0x3D, DIK_F4 = 0x3E, DIK_F5 = 0x3F;
inline constexpr BYTE DIK_F6 = 0x40, DIK_F7 = 0x41, DIK_F8 = 0x42, DIK_F9 = 0x43, DIK_F10 = 0x44;
inline constexpr BYTE DIK_F11 = 0x57, DIK_F12 = 0x58, DIK_F13 = 0x64, DIK_F14 = 0x65, DIK_F15 = 0x66;
inline constexpr BYTE DIK_SCROLL = 0x46, DIK_SUBTRACT = 0x4A, DIK_ADD = 0x4E, DIK_DECIMAL = 0x53;
inline constexpr BYTE DIK_NUMPAD7 = 0x47, DIK_NUMPAD8 = 0x48, DIK_NUMPAD9 = 0x49, DIK_NUMPAD4 = 0x4B;
inline constexpr BYTE DIK_NUMPAD5 = 0x4C, DIK_NUMPAD6 = 0x4D, DIK_NUMPAD1 = 0x4F, DIK_NUMPAD2 = 0x50;
inline constexpr BYTE DIK_NUMPAD3 = 0x51, DIK_NUMPAD0 = 0x52, DIK_OEM_102 = 0x56;
inline constexpr BYTE DIK_KANA = 0x70, DIK_CONVERT = 0x79, DIK_NOCONVERT = 0x7B, DIK_KANJI = 0x94, DIK_AX = 0x96;
inline constexpr BYTE DIK_DIVIDE = 0xB5, DIK_SYSRQ = 0xB7;
inline constexpr BYTE DIK_LWIN = 0xDB, DIK_RWIN = 0xDC, DIK_APPS = 0xDD, DIK_SLEEP = 0xDF;
