// The keyboard-layout calls the GUI makes characters with, on the US layout
// the test display has.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/input/dinput.h"
#include "platform/input/input_injection.h"
#include "platform/input/keyboard_layout.h"
#include "platform/window/window.h"

namespace {

class KeyboardLayoutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    clearModifiers();
    std::memset(state, 0, sizeof state);
    layout = GetKeyboardLayout(0);
  }
  void TearDown() override { clearModifiers(); }

  // The character the GUI injects for a pending DirectInput code.
  int character(BYTE dik) {
    const UINT vk = MapVirtualKeyExA(dik, MAPVK_VSC_TO_VK, layout);
    WORD out = 0;
    const int n = ToAsciiEx(vk, dik, state, &out, 0, layout);
    return n > 0 ? out : (n == 0 ? 0 : -1);
  }

  BYTE state[256];
  HKL layout = nullptr;
};

TEST_F(KeyboardLayoutTest, CharactersFollowShiftCapsLockAltAndControl) {
  ASSERT_NE(layout, nullptr);
  enum : int { kShift = 1, kCaps = 2, kAlt = 4, kControl = 8 };
  const struct {
    BYTE dik;
    int held;
    int expected;  // 0: no character
  } cases[] = {
      {DIK_A, 0, 'a'},
      {DIK_A, kShift, 'A'},
      {DIK_A, kShift | kCaps, 'a'},  // Shift undoes Caps Lock
      {DIK_Z, kCaps, 'Z'},
      {DIK_1, kCaps, '1'},  // Caps Lock leaves digits alone
      {DIK_1, kShift, '!'},
      {DIK_0, kShift, ')'},
      {DIK_MINUS, kShift, '_'},
      {DIK_GRAVE, kShift, '~'},
      {DIK_SEMICOLON, 0, ';'},
      {DIK_SPACE, 0, ' '},
      {DIK_F1, 0, 0},
      {DIK_LSHIFT, 0, 0},
      // Keypad codes are navigation keys to the layout (no Num Lock).
      {DIK_NUMPAD5, kShift, 0},
      {DIK_A, kAlt, 0},  // Alt alone types nothing
      {DIK_C, kControl, 0x03},
      {DIK_1, kControl, 0},
  };
  for (const auto& c : cases) {
    state[VK_SHIFT] = c.held & kShift ? 0x80 : 0;
    state[VK_CAPITAL] = c.held & kCaps ? 0x01 : 0;
    state[VK_MENU] = c.held & kAlt ? 0x80 : 0;
    state[VK_CONTROL] = c.held & kControl ? 0x80 : 0;
    EXPECT_EQ(character(c.dik), c.expected) << "key " << int(c.dik) << " held " << c.held;
  }
}

TEST_F(KeyboardLayoutTest, ScanCodesToVirtualKeys) {
  EXPECT_EQ(MapVirtualKeyExA(DIK_LSHIFT, MAPVK_VSC_TO_VK, layout), VK_SHIFT);
  EXPECT_EQ(MapVirtualKeyExA(DIK_RSHIFT, MAPVK_VSC_TO_VK, layout), VK_SHIFT);
  EXPECT_EQ(MapVirtualKeyExA(DIK_RSHIFT, MAPVK_VSC_TO_VK_EX, layout), VK_RSHIFT);
  EXPECT_EQ(MapVirtualKeyExA(DIK_NUMPAD8, MAPVK_VSC_TO_VK, layout), VK_UP);
  EXPECT_EQ(MapVirtualKeyExA(DIK_NUMPAD5, MAPVK_VSC_TO_VK, layout), VK_CLEAR);
  // Extended keys, as 0xE0-prefixed scan codes or as DirectInput codes.
  EXPECT_EQ(MapVirtualKeyExA(0xE035, MAPVK_VSC_TO_VK, layout), VK_DIVIDE);
  EXPECT_EQ(MapVirtualKeyExA(DIK_DIVIDE, MAPVK_VSC_TO_VK, layout), VK_DIVIDE);
  EXPECT_EQ(MapVirtualKeyExA(DIK_RCONTROL, MAPVK_VSC_TO_VK, layout), VK_CONTROL);
  EXPECT_EQ(MapVirtualKeyExA(0x1234, MAPVK_VSC_TO_VK, layout), 0u);
  EXPECT_EQ(MapVirtualKeyExA('Q', MAPVK_VK_TO_VSC, layout), DIK_Q);
  EXPECT_EQ(MapVirtualKeyExA(VK_UP, MAPVK_VK_TO_VSC, layout), 0x48u);
  EXPECT_EQ(MapVirtualKeyExA('Q', MAPVK_VK_TO_CHAR, layout), static_cast<UINT>('Q'));
  EXPECT_EQ(character(DIK_DIVIDE), '/');
}

TEST_F(KeyboardLayoutTest, KeyboardStateShowsModifiersAndToggles) {
  injectKey(nullptr, DIK_RSHIFT, true);
  setLockKeys(false, true);
  BYTE keys[256];
  ASSERT_TRUE(GetKeyboardState(keys));
  EXPECT_EQ(keys[VK_SHIFT], 0x80);
  EXPECT_EQ(keys[VK_RSHIFT], 0x80);
  EXPECT_EQ(keys[VK_LSHIFT], 0);
  EXPECT_EQ(keys[VK_CAPITAL], 0x01);
  EXPECT_EQ(keys[VK_CONTROL], 0);
  WORD out = 0;
  EXPECT_EQ(ToAsciiEx('K', DIK_K, keys, &out, 0, layout), 1);
  EXPECT_EQ(out, 'k');
  injectKey(nullptr, DIK_RSHIFT, false);
  ASSERT_TRUE(GetKeyboardState(keys));
  EXPECT_EQ(keys[VK_SHIFT], 0);
  EXPECT_FALSE(GetKeyboardState(nullptr));
  EXPECT_EQ(ToAsciiEx('K', DIK_K, nullptr, &out, 0, layout), 0);
}

}  // namespace
