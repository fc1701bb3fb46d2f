// The full-screen device on the DirectInput-shaped layer, driven by SDL
// events and a virtual game controller.
#include "input/direct_input_device.h"

#include <gtest/gtest.h>

#include "test_window.h"

namespace {

class DirectInputDeviceTest : public InputWindowTest {
 protected:
  void TearDown() override {
    device.reset();
    InputWindowTest::TearDown();
  }

  // init, then the activation the window gets once it is in front.
  void start(int width = 640, int height = 480) {
    device = std::make_unique<DirectInputDevice>(width, height);
    ASSERT_TRUE(device->init(window));
    injectFocus(window, true);
    device->reset();
  }

  std::unique_ptr<DirectInputDevice> device;
};

TEST_F(DirectInputDeviceTest, KeysSetAndClearTheirCodesAndEveryModifierHasItsOwn) {
  start();
  injectKey(window, DIK_W, true);
  ASSERT_TRUE(device->update());
  EXPECT_EQ(device->m_key[DIK_W], 1);
  injectKey(window, DIK_W, false);
  device->update();
  EXPECT_EQ(device->m_key[DIK_W], 0);
  EXPECT_EQ(device->m_lastKey, DIK_W) << "the last event, down or up";
  const BYTE modifiers[] = {DIK_LSHIFT, DIK_RSHIFT, DIK_LCONTROL, DIK_RCONTROL, DIK_LMENU, DIK_RMENU, DIK_NUMPADENTER};
  for (BYTE key : modifiers) injectKey(window, key, true);
  device->update();
  for (BYTE key : modifiers) EXPECT_EQ(device->m_key[key], 1) << int(key);
  EXPECT_EQ(device->m_key[DIK_RETURN], 0);
}

TEST_F(DirectInputDeviceTest, PressesWithinOneFrameAreAllSeen) {
  start();
  // Tapped between two frames: the press is kept until someone takes it.
  tap(DIK_BACK);
  injectKey(window, DIK_P, true);
  device->update();
  EXPECT_EQ(device->m_key[DIK_BACK], 0) << "released again within the frame";
  EXPECT_TRUE(device->wasKeyPressed(DIK_P));
  EXPECT_FALSE(device->wasKeyPressed(DIK_P));
  device->update();
  EXPECT_FALSE(device->wasKeyPressed(DIK_P)) << "no new event, still held: no second press";
}

TEST_F(DirectInputDeviceTest, MouseMovesAndWheelPerFrameWithAClampedPosition) {
  start(100, 50);
  injectMouseMotion(window, 0, 0, 30, 20);
  injectMouseMotion(window, 0, 0, 5, -4);
  injectMouseWheel(window, -1);
  injectMouseButton(window, 1, true, 0, 0);
  device->update();
  EXPECT_EQ(all(device->m_mouseDelta), (std::vector<int>{35, 16, -120}));
  EXPECT_EQ(all(device->m_mousePos), (std::vector<int>{35, 16}));
  EXPECT_EQ(device->m_mouseButton[1], 1);

  injectMouseMotion(window, 0, 0, -500, 500);
  device->update();
  EXPECT_EQ(all(device->m_mousePos), (std::vector<int>{0, 50}));
  EXPECT_EQ(device->m_mouseDelta[2], 0);
  injectMouseMotion(window, 0, 0, 1000, 0);
  device->update();
  EXPECT_EQ(device->m_mousePos[0], 100);
}

TEST_F(DirectInputDeviceTest, ReleaseAfterAFullBufferStillArrives) {
  start();
  injectMouseButton(window, 0, true, 0, 0);
  device->update();
  ASSERT_EQ(device->m_mouseButton[0], 1);
  // A long frame (a load) with the mouse moving fills the buffer; the oldest
  // items are dropped, but what was kept, the release among it, counts.
  for (int i = 0; i < 600; ++i) injectMouseMotion(window, 0, 0, 1, 1);
  injectMouseButton(window, 0, false, 0, 0);
  device->update();
  EXPECT_EQ(device->m_mouseButton[0], 0);
  EXPECT_EQ(device->m_mouseDelta[0], 511) << "1023 items kept: 511 moves in x and y, and the release";
}

TEST_F(DirectInputDeviceTest, JoystickAxesAndButtonsReadScaled) {
  VirtualJoystick joystick(6, 20, 0);
  ASSERT_TRUE(joystick.attached());
  start();
  ASSERT_TRUE(device->hasJoystick());
  joystick.setAxis(0, -32768);  // X full left
  joystick.setAxis(1, 32767);   // Y full back
  joystick.setAxis(5, 0);       // Rz centred
  joystick.setButton(0, true);
  joystick.setButton(19, true);
  ASSERT_TRUE(device->update());
  EXPECT_EQ(device->m_joyAxis[0], -1000);
  EXPECT_EQ(device->m_joyAxis[1], 1000);
  EXPECT_EQ(device->m_joyAxis[5], 0);
  EXPECT_EQ(device->m_joyAxis[6], -1000) << "the bindings read the second copy";
  EXPECT_EQ(device->m_joyAxis[7], 1000);
  EXPECT_TRUE(device->getJoystickButton(0));
  EXPECT_FALSE(device->getJoystickButton(1));
  EXPECT_TRUE(device->getJoystickButton(19));
  joystick.setButton(0, false);
  joystick.setAxis(0, 16384);
  device->update();
  EXPECT_FALSE(device->getJoystickButton(0));
  EXPECT_EQ(device->m_joyAxis[0], 500);
}

TEST_F(DirectInputDeviceTest, NoControllerLeavesAxesAndButtonsAtRest) {
  start();
  ASSERT_FALSE(device->hasJoystick());
  injectKey(window, DIK_A, true);
  EXPECT_TRUE(device->update());
  EXPECT_EQ(all(device->m_joyAxis), std::vector<int>(12, 0));
  EXPECT_EQ(all(device->m_joyButton), std::vector<int>(InputDevice::kJoystickButtons, 0));
}

TEST_F(DirectInputDeviceTest, UnpluggedControllerStopsSteering) {
  auto joystick = std::make_unique<VirtualJoystick>(6, 20, 0);
  start();
  joystick->setAxis(0, -32768);
  joystick->setButton(1, true);
  device->update();
  ASSERT_EQ(device->m_joyAxis[0], -1000);
  joystick.reset();
  EXPECT_TRUE(device->update());
  EXPECT_TRUE(device->update());
  EXPECT_EQ(device->m_joyAxis[0], 0);
  EXPECT_FALSE(device->getJoystickButton(1));
}

TEST_F(DirectInputDeviceTest, FocusLossSkipsFramesUntilActivationAndClearsHeldKeys) {
  start();
  injectKey(window, DIK_UP, true);
  device->update();
  ASSERT_EQ(device->m_key[DIK_UP], 1);

  injectFocus(window, false);
  injectKey(window, DIK_UP, false);  // released while in the background: never seen
  injectMouseMotion(window, 0, 0, 50, 0);
  EXPECT_TRUE(device->update()) << "the lost devices are re-acquired and update returns";
  EXPECT_TRUE(device->update()) << "and keeps returning while the window stays in the background";
  EXPECT_EQ(device->m_mouseDelta[0], 0);

  injectFocus(window, true);
  device->reset();  // the window procedure's answer to WM_ACTIVATE
  EXPECT_EQ(device->m_key[DIK_UP], 0);
  injectKey(window, DIK_DOWN, true);
  device->update();
  EXPECT_EQ(device->m_key[DIK_DOWN], 1);
}

}  // namespace
