// A test driver that takes a simulated kart round a track the way a person
// would: it steers for the respawn point a few beyond the nearest one and
// holds the throttle, or the brake to back up. ScriptedDriver presses the
// keys of the settings' bindings on the input device, so that the kart's own
// user controller reads them; ScriptedController gives the same commands as
// a controller of its own, for karts that no keyboard can tell apart.
//
//   ScriptedDriver driver(input, config, *race->m_karts[0]->getMaster());
//   for (...) { driver.press(); /* physics step or race frame */ }
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "game/kart/controller.h"
#include "game/kart/vehicle_master.h"
#include "game/saves/config.h"
#include "input/input_device.h"

// Which way to steer for the respawn point `lookAhead` beyond the one
// nearest the kart: left, right or neither while the point lies within
// `deadZone` (the sine of the angle off the kart's heading). A kart
// without respawn points is never steered.
struct ScriptedSteering {
  bool left = false;
  bool right = false;

  static ScriptedSteering toward(VehicleMaster& kart, int lookAhead, float deadZone = 0.05f) {
    ScriptedSteering steering;
    const std::vector<Position3>& points = kart.respawnPoints();
    if (points.empty()) return steering;
    Position3 at;
    kart.getPosition(at);
    std::size_t nearest = 0;
    float best = INFINITY;
    for (std::size_t i = 0; i < points.size(); ++i) {
      const float d = std::hypot(points[i].x - at.x, points[i].z - at.z);
      if (d < best) {
        best = d;
        nearest = i;
      }
    }
    const Position3& target = points[(nearest + static_cast<std::size_t>(lookAhead)) % points.size()];
    const float dx = target.x - at.x, dz = target.z - at.z;
    const float length = std::hypot(dx, dz);
    if (length == 0.0f) return steering;
    const float* heading = kart.getVelocity();
    // Positive: the target lies to the left of the heading.
    const float side = (dx * -heading[2] + dz * heading[0]) / length;
    const bool behind = dx * heading[0] + dz * heading[2] < 0.0f;
    steering.left = side > deadZone || (behind && side >= 0.0f);
    steering.right = side < -deadZone || (behind && side < 0.0f);
    return steering;
  }
};

class ScriptedDriver {
 public:
  enum class Pedal { None, Throttle, Brake };

  // `player` 0 presses player 1's keys (read by ControllerUserSingle and
  // ControllerUser1), 1 player 2's (ControllerUserSingle and
  // ControllerUser2). An action bound to anything but a key is never pressed.
  ScriptedDriver(InputDevice& input, const Config& config, VehicleMaster& kart, int player = 0)
      : m_input(input), m_kart(kart) {
    for (int action = 0; action < kActions; ++action) {
      const int binding = player * 7 + action;
      const bool key =
          config.m_bindingKind[binding] == Config::kBindKey && config.m_bindingCode[binding] < Config::kKeys;
      m_keys[action] = key ? static_cast<int>(config.m_bindingCode[binding]) : -1;
    }
  }

  // Before each physics step (or race frame): the keys for where the kart
  // is now. Steering only while driving forward.
  void press() {
    const ScriptedSteering steering =
        pedal == Pedal::Throttle ? ScriptedSteering::toward(m_kart, lookAhead, deadZone) : ScriptedSteering{};
    hold(kLeft, steering.left);
    hold(kRight, steering.right);
    hold(kAccelerate, pedal == Pedal::Throttle);
    hold(kBrake, pedal == Pedal::Brake);
  }
  // Every key of this driver up.
  void release() {
    for (int action = 0; action < kActions; ++action) hold(action, false);
  }

  Pedal pedal = Pedal::Throttle;
  int lookAhead = 2;  // respawn points beyond the nearest
  float deadZone = 0.05f;

 private:
  enum Action { kLeft, kRight, kAccelerate, kBrake, kActions };
  static constexpr std::uint8_t kDown = 0x80;

  void hold(int action, bool down) {
    if (m_keys[action] >= 0) m_input.m_key[m_keys[action]] = down ? kDown : 0;
  }

  InputDevice& m_input;
  VehicleMaster& m_kart;
  int m_keys[kActions];
};

// The driver's steering and full throttle as a controller: it steers for
// its kart, which the race learns only once it has built the kart.
class ScriptedController : public Controller {
 public:
  void update(bool, bool) override {
    m_steering = kart ? ScriptedSteering::toward(*kart, lookAhead) : ScriptedSteering{};
  }
  bool left() override { return m_steering.left; }
  bool right() override { return m_steering.right; }
  bool accelerate() override { return true; }
  bool brake() override { return false; }
  bool secondaryAction() override { return false; }
  bool useExtra() override { return false; }

  VehicleMaster* kart = nullptr;
  int lookAhead = 2;

 private:
  ScriptedSteering m_steering;
};
