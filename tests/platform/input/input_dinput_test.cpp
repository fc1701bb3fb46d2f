// The DirectInput-shaped devices on SDL: acquisition by focus, buffered
// data, controller scaling and the checks on what callers pass.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include <utility>
#include <vector>

#include "platform/input/dinput.h"
#include "platform/input/input_injection.h"
#include "platform/window/window.h"
#include "tests/support/quiet_window.h"

namespace {

class DirectInputLayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // SDL's offscreen video: windows without a display server, so that no
    // other program's window (tests run in parallel on one X server) takes
    // the focus in the middle of a test. Decided when SDL's video starts.
    if (offscreen()) setenv("SDL_VIDEODRIVER", "offscreen", 1);
    resetWindowSystem();
    window = openQuietWindow("DirectInputLayerTest", 64, 48);
    ASSERT_NE(window, nullptr) << "no video: run under xvfb-run";
    ShowWindow(window, SW_SHOW);
    // Let the X server's own events about the new window (focus among them)
    // arrive before the test injects its own.
    MSG msg;
    for (int i = 0; i < 5; ++i) {
      WaitMessageTimeout(20);
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }
    void* created = nullptr;
    ASSERT_EQ(DirectInput8Create(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput8A, &created, nullptr), DI_OK);
    directInput = ComPtr<IDirectInput8A>(static_cast<IDirectInput8A*>(created));
  }
  virtual bool offscreen() const { return true; }

  void TearDown() override {
    keyboard.reset();
    directInput.reset();
    resetWindowSystem();
  }

  // A foreground keyboard holding `items` buffered items.
  void makeKeyboard(DWORD items) {
    ASSERT_EQ(directInput->CreateDevice(GUID_SysKeyboard, keyboard.put(), nullptr), DI_OK);
    ASSERT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DI_OK);
    ASSERT_EQ(keyboard->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DI_OK);
    DIPROPDWORD size{{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), 0, DIPH_DEVICE}, items};
    ASSERT_EQ(keyboard->SetProperty(DIPROP_BUFFERSIZE, &size.diph), DI_OK);
  }

  // An exclusive foreground mouse holding 32 buffered items.
  ComPtr<IDirectInputDevice8A> makeMouse() {
    ComPtr<IDirectInputDevice8A> mouse;
    EXPECT_EQ(directInput->CreateDevice(GUID_SysMouse, mouse.put(), nullptr), DI_OK);
    EXPECT_EQ(mouse->SetDataFormat(&c_dfDIMouse), DI_OK);
    EXPECT_EQ(mouse->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_FOREGROUND), DI_OK);
    DIPROPDWORD size{{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), 0, DIPH_DEVICE}, 32};
    EXPECT_EQ(mouse->SetProperty(DIPROP_BUFFERSIZE, &size.diph), DI_OK);
    return mouse;
  }

  void tap(BYTE dik) {
    injectKey(window, dik, true);
    injectKey(window, dik, false);
  }

  std::vector<DIDEVICEOBJECTDATA> read(IDirectInputDevice8A* device, HRESULT* result = nullptr) {
    std::vector<DIDEVICEOBJECTDATA> items(64);
    DWORD count = 64;
    const HRESULT hr = device->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), items.data(), &count, 0);
    if (result) *result = hr;
    items.resize(FAILED(hr) ? 0 : count);
    return items;
  }
  // Offset and data of each item, the data as signed.
  static std::vector<std::pair<DWORD, LONG>> offsetsAndData(const std::vector<DIDEVICEOBJECTDATA>& items) {
    std::vector<std::pair<DWORD, LONG>> out;
    for (const auto& item : items) out.emplace_back(item.dwOfs, static_cast<LONG>(item.dwData));
    return out;
  }

  HWND window = nullptr;
  ComPtr<IDirectInput8A> directInput;
  ComPtr<IDirectInputDevice8A> keyboard;
};

TEST_F(DirectInputLayerTest, ForegroundDeviceFollowsTheFocus) {
  makeKeyboard(16);
  injectFocus(window, false);
  EXPECT_EQ(keyboard->Acquire(), DIERR_OTHERAPPHASPRIO) << "refused in the background, never \"input lost\"";
  injectFocus(window, true);
  EXPECT_EQ(keyboard->Acquire(), DI_OK);
  EXPECT_EQ(keyboard->Acquire(), S_FALSE);

  injectKey(window, DIK_A, true);
  injectFocus(window, false);
  HRESULT hr = DI_OK;
  EXPECT_TRUE(read(keyboard.get(), &hr).empty());
  EXPECT_EQ(hr, DIERR_INPUTLOST) << "the loss is reported once";
  read(keyboard.get(), &hr);
  EXPECT_EQ(hr, DIERR_NOTACQUIRED);
  EXPECT_EQ(keyboard->Acquire(), DIERR_OTHERAPPHASPRIO);
  injectFocus(window, true);
  EXPECT_EQ(keyboard->Acquire(), DI_OK);
  EXPECT_TRUE(read(keyboard.get(), &hr).empty()) << "nothing from before the loss";
  EXPECT_EQ(hr, DI_OK);
}

TEST_F(DirectInputLayerTest, KeyboardItemsCarryCodesAndTransitionsInOrder) {
  makeKeyboard(16);
  injectFocus(window, true);
  ASSERT_EQ(keyboard->Acquire(), DI_OK);
  injectKey(window, DIK_RCONTROL, true);
  injectKey(window, DIK_RCONTROL, true, /*repeat=*/true);  // not a transition
  injectKey(window, DIK_RMENU, true);
  injectKey(window, DIK_RCONTROL, false);
  const auto items = read(keyboard.get());
  EXPECT_EQ(offsetsAndData(items),
            (std::vector<std::pair<DWORD, LONG>>{{DIK_RCONTROL, 0x80}, {DIK_RMENU, 0x80}, {DIK_RCONTROL, 0}}));
  ASSERT_EQ(items.size(), 3u);
  EXPECT_LT(items[0].dwSequence, items[2].dwSequence);

  BYTE state[256];
  ASSERT_EQ(keyboard->GetDeviceState(sizeof state, state), DI_OK);
  EXPECT_EQ(state[DIK_RMENU], 0x80);
  EXPECT_EQ(state[DIK_RCONTROL], 0);
}

TEST_F(DirectInputLayerTest, FullBufferDropsTheOldestAndSaysSo) {
  makeKeyboard(2);
  injectFocus(window, true);
  ASSERT_EQ(keyboard->Acquire(), DI_OK);
  tap(DIK_1);
  injectKey(window, DIK_2, true);
  HRESULT hr = DI_OK;
  const auto items = read(keyboard.get(), &hr);
  EXPECT_EQ(hr, DI_BUFFEROVERFLOW);
  EXPECT_EQ(offsetsAndData(items), (std::vector<std::pair<DWORD, LONG>>{{DIK_1, 0}, {DIK_2, 0x80}}))
      << "the newest items are kept";
  read(keyboard.get(), &hr);
  EXPECT_EQ(hr, DI_OK);
}

TEST_F(DirectInputLayerTest, CallerMistakesAreRefused) {
  makeKeyboard(4);
  IDirectInputDevice8A* none = nullptr;
  EXPECT_EQ(directInput->CreateDevice(GUID{1, 2, 3, {}}, &none, nullptr), DIERR_DEVICENOTREG);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(keyboard->SetDataFormat(&c_dfDIMouse), DIERR_INVALIDPARAM);
  EXPECT_EQ(keyboard->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND),
            DIERR_INVALIDPARAM);
  EXPECT_EQ(keyboard->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DIERR_INVALIDHANDLE);
  injectFocus(window, true);
  ASSERT_EQ(keyboard->Acquire(), DI_OK);
  DIPROPDWORD size{{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), 0, DIPH_DEVICE}, 8};
  EXPECT_EQ(keyboard->SetProperty(DIPROP_BUFFERSIZE, &size.diph), DIERR_ACQUIRED);
  BYTE state[300];
  EXPECT_EQ(keyboard->GetDeviceState(300, state), DIERR_INVALIDPARAM) << "size of another state";
  DIDEVICEOBJECTDATA item;
  DWORD count = 1;
  EXPECT_EQ(keyboard->GetDeviceData(sizeof item - 4, &item, &count, 0), DIERR_INVALIDPARAM);
  EXPECT_EQ(DirectInput8Create(nullptr, 0x0700, IID_IDirectInput8A, reinterpret_cast<void**>(&none), nullptr),
            DIERR_INVALIDPARAM);
}

TEST_F(DirectInputLayerTest, MouseReportsRelativeMotionAndButtons) {
  ComPtr<IDirectInputDevice8A> mouse = makeMouse();
  ASSERT_TRUE(mouse);
  injectFocus(window, true);
  ASSERT_EQ(mouse->Acquire(), DI_OK);
  injectMouseMotion(window, 0, 0, -7, 3);
  injectMouseButton(window, 2, true, 0, 0);
  injectMouseWheel(window, 1);
  EXPECT_EQ(
      offsetsAndData(read(mouse.get())),
      (std::vector<std::pair<DWORD, LONG>>{{DIMOFS_X, -7}, {DIMOFS_Y, 3}, {DIMOFS_BUTTON2, 0x80}, {DIMOFS_Z, 120}}));
  DIMOUSESTATE state{};
  ASSERT_EQ(mouse->GetDeviceState(sizeof state, &state), DI_OK);
  EXPECT_EQ(state.lX, -7);
  EXPECT_EQ(state.rgbButtons[2], 0x80);
}

// Relative mouse mode needs a real display: this one runs on the X server.
class ExclusiveMouseTest : public DirectInputLayerTest {
 protected:
  bool offscreen() const override { return false; }
};

TEST_F(ExclusiveMouseTest, HoldsTheCursorUntilUnacquiredOrLost) {
  if (SDL_strcmp(SDL_GetCurrentVideoDriver(), "x11") != 0) GTEST_SKIP() << "no X server in this process";
  ComPtr<IDirectInputDevice8A> mouse = makeMouse();
  ASSERT_TRUE(mouse);
  injectFocus(window, true);
  ASSERT_EQ(mouse->Acquire(), DI_OK);
  EXPECT_TRUE(SDL_GetRelativeMouseMode());
  EXPECT_EQ(mouse->Unacquire(), DI_OK);
  EXPECT_FALSE(SDL_GetRelativeMouseMode());

  // Losing the focus gives the cursor back by the next read.
  ASSERT_EQ(mouse->Acquire(), DI_OK);
  ASSERT_TRUE(SDL_GetRelativeMouseMode());
  injectFocus(window, false);
  HRESULT hr = DI_OK;
  read(mouse.get(), &hr);
  EXPECT_EQ(hr, DIERR_INPUTLOST);
  EXPECT_FALSE(SDL_GetRelativeMouseMode());
}

struct ControllerFound {
  int count = 0;
  GUID first{};
};

BOOL countControllers(const DIDEVICEINSTANCEA* instance, void* context) {
  auto* found = static_cast<ControllerFound*>(context);
  if (found->count++ == 0) found->first = instance->guidInstance;
  return DIENUM_CONTINUE;
}

TEST_F(DirectInputLayerTest, ControllerAxesScaleToTheRangeSetPerAxis) {
  VirtualJoystick stick(6, 4, 1);
  ASSERT_TRUE(stick.attached());
  ControllerFound found;
  directInput->EnumDevices(DI8DEVCLASS_GAMECTRL, countControllers, &found, DIEDFL_ATTACHEDONLY);
  ASSERT_GE(found.count, 1);
  ComPtr<IDirectInputDevice8A> pad;
  ASSERT_EQ(directInput->CreateDevice(found.first, pad.put(), nullptr), DI_OK);
  ASSERT_EQ(pad->SetDataFormat(&c_dfDIJoystick), DI_OK);
  ASSERT_EQ(pad->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_FOREGROUND), DI_OK);

  DIPROPRANGE range{
      {sizeof(DIPROPRANGE), sizeof(DIPROPHEADER), DIDFT_ABSAXIS | DIDFT_MAKEINSTANCE(0), DIPH_BYID}, -1000, 1000};
  ASSERT_EQ(pad->SetProperty(DIPROP_RANGE, &range.diph), DI_OK);
  range.diph.dwObj = DIDFT_ABSAXIS | DIDFT_MAKEINSTANCE(6);  // no seventh axis
  EXPECT_EQ(pad->SetProperty(DIPROP_RANGE, &range.diph), DIERR_NOTFOUND);
  range.diph.dwObj = DIDFT_PSHBUTTON | DIDFT_MAKEINSTANCE(0);
  EXPECT_EQ(pad->SetProperty(DIPROP_RANGE, &range.diph), DIERR_NOTFOUND);
  range.diph.dwObj = DIDFT_ABSAXIS | DIDFT_MAKEINSTANCE(1);
  range.lMin = range.lMax = 5;
  EXPECT_EQ(pad->SetProperty(DIPROP_RANGE, &range.diph), DIERR_INVALIDPARAM);

  injectFocus(window, true);
  ASSERT_EQ(pad->Acquire(), DI_OK);
  stick.setAxis(0, 0);
  stick.setAxis(1, 32767);
  stick.setHat(0, 2);  // right
  stick.setButton(3, true);
  ASSERT_EQ(pad->Poll(), DI_OK);
  DIJOYSTATE state{};
  ASSERT_EQ(pad->GetDeviceState(sizeof state, &state), DI_OK);
  EXPECT_EQ(state.lX, 0) << "a centred stick reads exactly the middle";
  EXPECT_EQ(state.lY, 65535) << "axes without a range set keep 0..65535";
  EXPECT_EQ(state.rgdwPOV[0], 9000u);
  EXPECT_EQ(state.rgdwPOV[1], 0xFFFFFFFFu);
  EXPECT_EQ(state.rgbButtons[3], 0x80);
  stick.setAxis(0, -32768);
  pad->Poll();
  pad->GetDeviceState(sizeof state, &state);
  EXPECT_EQ(state.lX, -1000);

  // The 272-byte extended state is another format: refused, never overrun.
  std::vector<BYTE> big(272);
  EXPECT_EQ(pad->GetDeviceState(272, big.data()), DIERR_INVALIDPARAM);
}

}  // namespace
