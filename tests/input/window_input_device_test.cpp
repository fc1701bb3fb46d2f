// The window-message device driven by SDL events through the window's
// message pump, as in windowed play.
#include "input/window_input_device.h"

#include <gtest/gtest.h>

#include "foundation/report.h"
#include "platform/input/dinput.h"
#include "test_window.h"

namespace {

class WindowInputDeviceTest : public InputWindowTest {
 protected:
  void SetUp() override {
    InputWindowTest::SetUp();
    device = std::make_unique<WindowInputDevice>([this] { return now; });
    s_device = device.get();
    ASSERT_TRUE(device->init(window));
  }

  void pressAndPump(BYTE dik) {
    injectKey(window, dik, true);
    pumpMessages();
  }
  void releaseAndPump(BYTE dik) {
    injectKey(window, dik, false);
    pumpMessages();
  }

  std::uint32_t now = 1000;
  std::unique_ptr<WindowInputDevice> device;
};

TEST_F(WindowInputDeviceTest, HeldKeyRepeatsDoNotPressAgain) {
  pressAndPump(DIK_SPACE);
  EXPECT_TRUE(device->wasKeyPressed(DIK_SPACE));
  injectKey(window, DIK_SPACE, true, /*repeat=*/true);
  injectKey(window, DIK_SPACE, true, /*repeat=*/true);
  pumpMessages();
  EXPECT_FALSE(device->wasKeyPressed(DIK_SPACE)) << "one press counts once however long it is held";
  releaseAndPump(DIK_SPACE);
  pressAndPump(DIK_SPACE);
  EXPECT_TRUE(device->wasKeyPressed(DIK_SPACE));
}

TEST_F(WindowInputDeviceTest, KeysSetAndClearTheirCodeWithSidesAsWindowsTellsThem) {
  struct Case {
    BYTE key;
    BYTE expected;
  };
  // Windows tells the right Ctrl and Alt by the extended bit but not the
  // right Shift, so both Shifts read as the left one.
  const Case cases[] = {{DIK_A, DIK_A},
                        {DIK_F10, DIK_F10},
                        {DIK_LCONTROL, DIK_LCONTROL},
                        {DIK_RCONTROL, DIK_RCONTROL},
                        {DIK_LMENU, DIK_LMENU},
                        {DIK_RMENU, DIK_RMENU},
                        {DIK_LSHIFT, DIK_LSHIFT},
                        {DIK_RSHIFT, DIK_LSHIFT},
                        {DIK_NUMPADENTER, DIK_NUMPADENTER},
                        {DIK_RETURN, DIK_RETURN}};
  for (const Case& c : cases) {
    pressAndPump(c.key);
    EXPECT_EQ(device->m_key[c.expected], 1) << "key " << int(c.key);
    EXPECT_EQ(device->m_key[c.key == DIK_RETURN ? DIK_NUMPADENTER : DIK_RETURN], 0) << "key " << int(c.key);
    releaseAndPump(c.key);
    EXPECT_EQ(device->m_key[c.expected], 0) << "key " << int(c.key);
  }
  EXPECT_EQ(device->m_key[DIK_RSHIFT], 0);

  // A letter typed with Alt held is read too, and keypad digits with Num Lock.
  pressAndPump(DIK_LMENU);
  pressAndPump(DIK_X);
  EXPECT_EQ(device->m_key[DIK_X], 1);
  releaseAndPump(DIK_X);
  releaseAndPump(DIK_LMENU);
  setLockKeys(true, false);
  pressAndPump(DIK_NUMPAD7);
  EXPECT_EQ(device->m_key[DIK_NUMPAD7], 1);
}

TEST_F(WindowInputDeviceTest, MouseDeltasAndWheelAccumulateUntilUpdate) {
  injectMouseMotion(window, 10, 10, 0, 0);
  injectMouseMotion(window, 14, 7, 4, -3);
  injectMouseMotion(window, 20, 9, 6, 2);
  injectMouseWheel(window, 1);
  injectMouseWheel(window, 2);
  pumpMessages();
  EXPECT_EQ(all(device->m_mouseDelta), (std::vector<int>{20, 9, 360}));  // from the origin the device started at
  EXPECT_EQ(all(device->m_mousePos), (std::vector<int>{20, 9}));
  device->update();
  EXPECT_EQ(all(device->m_mouseDelta), (std::vector<int>{0, 0, 0}));
  injectMouseMotion(window, 15, 19, -5, 10);
  pumpMessages();
  EXPECT_EQ(all(device->m_mouseDelta), (std::vector<int>{-5, 10, 0}));
}

TEST_F(WindowInputDeviceTest, FirstMoveAfterAPauseOnlyTakesThePosition) {
  injectMouseMotion(window, 10, 10, 0, 0);
  pumpMessages();
  device->update();
  now += 249;  // still tracking just before the timer
  injectMouseMotion(window, 12, 10, 2, 0);
  pumpMessages();
  EXPECT_EQ(device->m_mouseDelta[0], 2);
  device->update();

  now += 300;  // a still pause: the cursor is not parked at the window centre
  injectMouseMotion(window, 40, 30, 28, 20);
  pumpMessages();
  EXPECT_EQ(all(device->m_mouseDelta), (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(device->m_mousePos[0], 40);
  injectMouseMotion(window, 43, 31, 3, 1);
  pumpMessages();
  EXPECT_EQ(all(device->m_mouseDelta), (std::vector<int>{3, 1, 0}));
}

TEST_F(WindowInputDeviceTest, ButtonsFollowTheMessageFlags) {
  injectMouseButton(window, 0, true, 5, 5);
  injectMouseButton(window, 2, true, 5, 5);
  pumpMessages();
  EXPECT_EQ(all(device->m_mouseButton), (std::vector<int>{1, 0, 1}));
  injectMouseButton(window, 0, false, 5, 5);
  injectMouseButton(window, 1, true, 5, 5);
  pumpMessages();
  EXPECT_EQ(all(device->m_mouseButton), (std::vector<int>{0, 1, 1}));
}

TEST_F(WindowInputDeviceTest, HeldKeysAreClearedWhenTheWindowBecomesActive) {
  pressAndPump(DIK_UP);
  injectMouseButton(window, 0, true, 5, 5);
  pumpMessages();
  ASSERT_EQ(device->m_key[DIK_UP], 1);
  // The release happens while another window has the focus, so it never
  // arrives here; activation must not leave the key held.
  injectFocus(window, false);
  injectFocus(window, true);
  pumpMessages();
  EXPECT_EQ(device->m_key[DIK_UP], 0);
  EXPECT_EQ(device->m_mouseButton[0], 0);
  EXPECT_EQ(device->m_lastKey, 255u);
}

// Messages the SDL pump never makes.
TEST_F(WindowInputDeviceTest, MessagesOutsideThePump) {
  device->handleMessage(window, WM_CHAR, 'q', 1);
  EXPECT_EQ(device->m_lastKey, static_cast<std::uint32_t>('q'));

  // A key without a DirectInput code lands on 255.
  device->handleMessage(window, WM_KEYDOWN, 0x07, 1);
  EXPECT_EQ(device->m_key[255], 1);
  device->handleMessage(window, WM_KEYUP, 0x07, 1);
  EXPECT_EQ(device->m_key[255], 0);

  g_messageLevel = 3;
  g_logMessages = true;
  g_lastMessage.clear();
  device->handleMessage(window, WM_KEYDOWN, 0x100 + 'A', 1);
  EXPECT_STREQ(g_lastMessage.get().c_str(), "wParam < 256");
  EXPECT_EQ(device->m_key[DIK_A], 1) << "the low byte is used";
  g_messageLevel = 0;
  g_logMessages = false;
  g_lastMessage.clear();
}

}  // namespace
