#include "game/kart/controller.h"

#include <gtest/gtest.h>

#include "game/saves/config.h"
#include "input/input_device.h"

namespace {

struct ControllerTest : ::testing::Test {
  InputDevice input;
  NetControl control;
  Config config{&input, control, Config::SavedFile::Ignore};
};

TEST_F(ControllerTest, LookupReadsEachKindAndGuardsCodes) {
  input.m_mouseDelta[0] = -3;
  input.m_joyAxis[6 + 5] = 700;  // Rz of the second copy
  input.m_joyAxis[5] = 0;        // the first copy is not read
  input.m_key[200] = 0x80;
  input.m_joyButton[19] = 0x80;
  const std::uint32_t cases[][3] = {
      // kind, code, expected
      {0, 0, static_cast<std::uint32_t>(-3)},
      {7, 0, 700},
      {4, 200, 0x80},
      {9, 19, 1},
      {4, 256, 0},  // past the key array
      {3, 3, 0},    // past the mouse buttons
      {9, 20, 0},   // past the controller buttons
      {10, 0, 0},   // no such kind
  };
  for (const auto& c : cases) {
    config.m_bindingKind[0] = c[0];
    config.m_bindingCode[0] = c[1];
    EXPECT_EQ(lookupBinding(config, 0), static_cast<int>(c[2])) << "kind " << c[0] << " code " << c[1];
  }
  EXPECT_EQ(lookupBinding(config, 14), 0);
  EXPECT_EQ(lookupBinding(config, -1), 0);
  Config noDevice(nullptr, control, Config::SavedFile::Ignore);
  EXPECT_EQ(lookupBinding(noDevice, 0), 0);
}

TEST_F(ControllerTest, JoystickLeftSteersSingleAndFirstPlayerButNotSecond) {
  ControllerUserSingle single(&config);
  ControllerUser1 first(&config);
  ControllerUser2 second(&config);
  EXPECT_FALSE(single.left() || single.right() || single.accelerate() || single.brake());
  input.m_joyAxis[0] = -1000;
  EXPECT_TRUE(single.left());
  EXPECT_TRUE(first.left());
  EXPECT_FALSE(second.left());
  EXPECT_FALSE(single.right());
}

TEST_F(ControllerTest, SinglePlayerAnswersToBothPlayersPedals) {
  ControllerUserSingle single(&config);
  ControllerUser1 first(&config);
  ControllerUser2 second(&config);
  input.m_key[config.m_bindingCode[9]] = 0x80;  // player 2's accelerate
  EXPECT_TRUE(single.accelerate());
  EXPECT_FALSE(first.accelerate());
  EXPECT_TRUE(second.accelerate());
  // Binding 0 on the mouse's x movement: any movement steers left.
  config.m_bindingKind[0] = 0;
  input.m_mouseDelta[0] = 5;
  EXPECT_TRUE(first.left());
  EXPECT_FALSE(second.left());
}

}  // namespace
