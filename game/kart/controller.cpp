#include "game/kart/controller.h"

#include "game/saves/config.h"
#include "input/input_device.h"

namespace {

// The second copy of the axes: X, Y, Z, Rx, Ry, Rz at 6..11.
constexpr int kSecondAxes = 6;
constexpr int kAxisX = 0, kAxisY = 1, kAxisZ = 2, kAxisRz = 5;

}  // namespace

int lookupBinding(const Config& config, int action) {
  const InputDevice* input = config.m_input;
  if (!input || action < 0 || action >= Config::kBindingCount) return 0;
  const std::uint32_t code = config.m_bindingCode[action];
  switch (config.m_bindingKind[action]) {
    case 0:
      return input->m_mouseDelta[0];
    case 1:
      return input->m_mouseDelta[1];
    case 2:
      return input->m_mouseDelta[2];
    case 3:
      return code < Config::kMouseButtons ? input->m_mouseButton[code] : 0;
    case 4:
      return code < Config::kKeys ? input->m_key[code] : 0;
    case 5:
      return input->m_joyAxis[kSecondAxes + kAxisX];
    case 6:
      return input->m_joyAxis[kSecondAxes + kAxisY];
    case 7:
      return input->m_joyAxis[kSecondAxes + kAxisRz];
    case 8:
      return input->m_joyAxis[kSecondAxes + kAxisZ];
    case 9:
      return code < static_cast<std::uint32_t>(InputDevice::kJoystickButtons) &&
                     input->getJoystickButton(static_cast<int>(code))
                 ? 1
                 : 0;
    default:
      return 0;
  }
}

bool ControllerUser::binding(int action) const { return lookupBinding(*m_config, action) != 0; }

int ControllerUser::joystickX() const { return m_config->m_input ? m_config->m_input->m_joyAxis[kAxisX] : 0; }

int ControllerUser::joystickY() const { return m_config->m_input ? m_config->m_input->m_joyAxis[kAxisY] : 0; }

bool ControllerUser::joystickButton(int button) const {
  return m_config->m_input && m_config->m_input->getJoystickButton(button);
}
