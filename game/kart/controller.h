// Where a kart's driving commands come from: the local players' controllers
// read the input device through the key bindings of the settings object; a
// kart driven on another machine gets a network controller that reads
// nothing pressed (it follows replicated values instead).
#pragma once

#include <cstdint>

class Config;

// The value of binding `action` (0..13) on the settings object's input
// device; any non-zero value means active. Kinds above 9, codes past the
// device's arrays, a missing device or an action out of range give 0.
int lookupBinding(const Config& config, int action);

class Controller {
 public:
  virtual ~Controller() = default;

  virtual bool left() = 0;
  virtual bool right() = 0;
  virtual bool accelerate() = 0;
  virtual bool brake() = 0;
  virtual bool secondaryAction() = 0;
  virtual bool useExtra() = 0;
  // The computer driver's driving-line point; 0 and ignored elsewhere.
  virtual int getPointIndex() const { return 0; }
  virtual void setPointIndex(int) {}
  // Called by the kart once per step before the commands are read.
  virtual void update(bool /*bounced*/, bool /*inReverse*/) {}
  virtual bool isAI() const { return false; }
  virtual bool isNet() const { return false; }
};

// The base of the three local-player controllers: each command is a list of
// alternatives, the first active one decides. They keep no state.
class ControllerUser : public Controller {
 public:
  explicit ControllerUser(const Config* config) : m_config(config) {}

 protected:
  bool binding(int action) const;
  int joystickX() const;
  int joystickY() const;
  bool joystickButton(int button) const;

  const Config* m_config;
};

// The one local player: player 1's and player 2's pedals and steering, and
// the game controller.
class ControllerUserSingle final : public ControllerUser {
 public:
  using ControllerUser::ControllerUser;
  bool left() override { return binding(0) || binding(7) || joystickX() < 0; }
  bool right() override { return binding(1) || binding(8) || joystickX() > 0; }
  bool accelerate() override { return binding(2) || binding(9) || joystickY() < 0 || joystickButton(1); }
  bool brake() override { return binding(3) || binding(10) || joystickY() > 0 || joystickButton(2); }
  bool secondaryAction() override { return binding(5); }
  bool useExtra() override { return binding(6) || joystickButton(0); }
};

// First player of a split screen: player 1's bindings and the game controller.
class ControllerUser1 final : public ControllerUser {
 public:
  using ControllerUser::ControllerUser;
  bool left() override { return binding(0) || joystickX() < 0; }
  bool right() override { return binding(1) || joystickX() > 0; }
  bool accelerate() override { return binding(2) || joystickY() < 0 || joystickButton(1); }
  bool brake() override { return binding(3) || joystickY() > 0 || joystickButton(2); }
  bool secondaryAction() override { return binding(5) || joystickButton(0); }
  bool useExtra() override { return binding(6); }
};

// Second player of a split screen: player 2's bindings only.
class ControllerUser2 final : public ControllerUser {
 public:
  using ControllerUser::ControllerUser;
  bool left() override { return binding(7); }
  bool right() override { return binding(8); }
  bool accelerate() override { return binding(9); }
  bool brake() override { return binding(10); }
  bool secondaryAction() override { return binding(12); }
  bool useExtra() override { return binding(13); }
};

// A kart driven on another machine. Nothing writes the commands: the kart
// follows the replicated values, so they read as nothing pressed.
class ControllerNet final : public Controller {
 public:
  bool left() override { return m_left != 0; }
  bool right() override { return m_right != 0; }
  bool accelerate() override { return m_accelerate != 0; }
  bool brake() override { return m_brake != 0; }
  bool secondaryAction() override { return m_secondaryAction != 0; }
  bool useExtra() override { return m_useExtra != 0; }
  bool isNet() const override { return true; }

  std::int32_t m_left = 0;
  std::int32_t m_right = 0;
  std::int32_t m_accelerate = 0;
  std::int32_t m_brake = 0;
  std::uint8_t m_secondaryAction = 0;
  std::uint8_t m_useExtra = 0;
};
