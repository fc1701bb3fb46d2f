// The driving model of a simulated kart, one physics step (0.01 s) at a
// time: speed from the pedals, heading from the steering, the sliding
// direction of motion, the wall response, ground and height from the wheel
// rays, and the push between two karts. It works on the sensors the contact
// surfaces filled and leaves placing items and timed effects to the kart.
#pragma once

#include <cstdint>

#include "foundation/matrix.h"

struct KartSensors;
struct KartTuning;

// The commands read from the controller for one step.
struct KartCommands {
  bool left = false;
  bool right = false;
  bool accelerate = false;
  bool brake = false;
};

// What one step asks the kart to show or play.
struct KartDriveEvents {
  bool wallCrashSound = false;  // the wall crash sound
  bool bumpSound = false;       // a kart bumped
  bool crash = false;           // hold the "Crash" motion for 1.0 s
};

class KartDrive {
 public:
  static constexpr float kCrashHold = 1.0f;
  // Above this speed a knock against a wall or a kart is heard, and a
  // head-on wall hit plays the crash.
  static constexpr float kHardHitSpeed = 0.02f;
  // A head-on wall hit leaves the kart no faster than this, going back.
  static constexpr float kBounceSpeed = 0.02f;
  // A kart sliding along a wall keeps this far from its face, in units of
  // the chassis's x scale.
  static constexpr float kWallClearance = 0.601f;
  // A kart contact normal whose horizontal part is shorter than this
  // parts the karts along the line between them instead.
  static constexpr float kLeastSidewaysPush = 0.1f;

  // The speed change of this step from the pedals: may switch the sense of
  // travel when the kart stands.
  void chooseSpeed(const KartCommands& commands, const KartTuning& tuning, bool active, bool throttleLocked,
                   bool finished, bool frozen);
  // Turns the heading (only on the ground and moving).
  void steer(const KartCommands& commands, const KartTuning& tuning, bool active);
  // Direction of motion, free motion or the wall response, then ground and
  // height: sets m_pos and m_target. `chassis` is where the chassis stands;
  // `push` (wind and conveyor band) moves a kart in free motion.
  KartDriveEvents move(const Position3& chassis, float chassisScaleX, const KartTuning& tuning, KartSensors& sensors,
                       const Position3& push = {});
  // The push of another kart (where it stands and its speed given); a
  // shrunk kart is run over instead and answers true.
  bool pushByKart(KartSensors& sensors, const Position3& otherAt, float otherSpeed, bool shrunk,
                  KartDriveEvents& events);
  // Clears what the contact surfaces write anew in every collision pass.
  static void clearStepContacts(KartSensors& sensors);

  // Where the chassis stood at the start of the latest step.
  Position3 m_pos{};
  Position3 m_target{};
  float m_velocity = 0.0f;  // >= 0; m_reverse gives the sense
  float m_speedLimit = 0.29f;
  float m_accel = 0.0f;
  Normal3 m_heading{0.0f, 0.0f, 1.0f};
  float m_motion[3] = {0.0f, 0.0f, 1.0f};
  std::uint8_t m_reverse = 0;
  std::uint8_t m_bounced = 0;
  float m_verticalSpeed = 0.0f;
  std::uint8_t m_airborne = 1;
  float m_inertia = 187.0f;
  float m_netAngle = 0.0f;
  // 1 once the kart has touched a slide.
  std::uint8_t m_sliding = 0;

 private:
  // Free motion along `d`: sets m_pos and m_motion, answers the target.
  Position3 moveFreely(const Position3& chassis, const float (&d)[3], const Position3& push);
  // The wall response: the kart stops head-on or turns along the wall; a
  // kart moving away from it moves freely. Sets m_pos and answers the
  // target.
  Position3 meetWall(const Position3& chassis, float chassisScaleX, const float (&d)[3], const Position3& push,
                     const KartSensors& sensors, KartDriveEvents& events);
};
