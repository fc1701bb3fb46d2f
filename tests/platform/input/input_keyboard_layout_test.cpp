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

TEST_F(KeyboardLayoutTest, LettersFollowShiftAndCapsLock) {
  ASSERT_NE(layout, nullptr);
  EXPECT_EQ(character(DIK_A), 'a');
  state[VK_SHIFT] = 0x80;
  EXPECT_EQ(character(DIK_A), 'A');
  state[VK_CAPITAL] = 0x01;
  EXPECT_EQ(character(DIK_A), 'a') << "Shift undoes Caps Lock";
  state[VK_SHIFT] = 0;
  EXPECT_EQ(character(DIK_Z), 'Z');
  EXPECT_EQ(character(DIK_1), '1') << "Caps Lock leaves digits alone";
}

TEST_F(KeyboardLayoutTest, ShiftedDigitsAndPunctuation) {
  state[VK_SHIFT] = 0x80;
  EXPECT_EQ(character(DIK_1), '!');
  EXPECT_EQ(character(DIK_0), ')');
  EXPECT_EQ(character(DIK_MINUS), '_');
  EXPECT_EQ(character(DIK_SLASH), '?');
  EXPECT_EQ(character(DIK_GRAVE), '~');
  state[VK_SHIFT] = 0;
  EXPECT_EQ(character(DIK_SEMICOLON), ';');
  EXPECT_EQ(character(DIK_SPACE), ' ');
}

TEST_F(KeyboardLayoutTest, KeysWithoutCharacters) {
  EXPECT_EQ(character(DIK_F1), 0);
  EXPECT_EQ(character(DIK_LSHIFT), 0);
  // Keypad codes are navigation keys to the layout (no Num Lock), so a
  // keypad digit typed with Shift held makes nothing.
  state[VK_SHIFT] = 0x80;
  EXPECT_EQ(character(DIK_NUMPAD5), 0);
  state[VK_SHIFT] = 0;
  state[VK_MENU] = 0x80;
  EXPECT_EQ(character(DIK_A), 0) << "Alt alone types nothing";
  state[VK_MENU] = 0;
  state[VK_CONTROL] = 0x80;
  EXPECT_EQ(character(DIK_C), 0x03);
  EXPECT_EQ(character(DIK_1), 0);
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
