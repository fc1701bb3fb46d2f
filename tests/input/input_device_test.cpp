// What both devices share: one-shot key reads and controller buttons.
#include "input/input_device.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/report_capture.h"

namespace {

class InputDeviceTest : public ReportCapture {
 protected:
  InputDeviceTest() : ReportCapture(3) {}
  InputDevice device;
};

TEST_F(InputDeviceTest, WasKeyPressedConsumesThePress) {
  device.m_key[0x19] = 1;
  EXPECT_TRUE(device.wasKeyPressed(0x19));
  EXPECT_FALSE(device.wasKeyPressed(0x19));
  EXPECT_FALSE(device.wasKeyPressed(-1));
  EXPECT_FALSE(device.wasKeyPressed(256));
}

TEST_F(InputDeviceTest, JoystickButtonIndicesFromBindingsAreChecked) {
  device.m_joyButton[0] = 1;
  device.m_joyButton[19] = 1;
  EXPECT_TRUE(device.getJoystickButton(0));
  EXPECT_TRUE(device.getJoystickButton(19));
  EXPECT_TRUE(g_lastMessage.empty());
  for (int bad : {20, 255, -1, -20}) {
    g_lastMessage.clear();
    EXPECT_FALSE(device.getJoystickButton(bad)) << bad;
    EXPECT_STREQ(g_lastMessage.get().c_str(), "button<20") << bad;
  }
}

TEST_F(InputDeviceTest, ResetClearsTheWholeBlock) {
  device.m_mouseDelta[2] = 120;
  device.m_mousePos[0] = 5;
  device.m_mouseButton[1] = 1;
  device.m_key[0x2A] = 1;
  device.m_lastKey = 'x';
  device.m_joyAxis[11] = -1000;
  device.m_joyButton[4] = 1;
  device.reset();
  InputDevice fresh;
  EXPECT_EQ(std::memcmp(device.m_key, fresh.m_key, sizeof device.m_key), 0);
  EXPECT_EQ(device.m_mouseDelta[2] | device.m_mousePos[0] | device.m_mouseButton[1], 0);
  EXPECT_EQ(device.m_joyAxis[11] | device.m_joyButton[4], 0);
  EXPECT_EQ(device.m_lastKey, 255u);
}

}  // namespace
