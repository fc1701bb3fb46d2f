// What a simulated kart carries besides its driving state: the timed
// effects that extras, hits and track surfaces start, the animation it is
// blending, and the weapons it has in flight. The race frame and the
// surfaces start these; the kart's step runs them down.
#pragma once

#include "foundation/matrix.h"

// Seconds. A timer that counts down holds the time left, one that counts up
// the time since it started; 0 is idle unless said otherwise.
struct KartStatusTimers {
  float shield = 0.0f;
  float turbo = 0.0f;
  float turboSound = -1.0f;  // up from the turbo's start until the boost comes; -1 off
  float frozen = 0.0f;
  float shrunk = 0.0f;
  float skid = 0.0f;
  float throttleLock = 0.0f;
  float mineHit = 0.0f;
  float weightHit = 0.0f;
  float magnet = 0.0f;
  Position3 magnetPosition{};  // where the pulling magnet lay when the pull began
  float rocketHit = 0.0f;
  float fall = 0.0f;       // up
  float crushed = 0.0f;    // up
  float flattened = 0.0f;  // up
  float explosion = 0.0f;  // the explosion's brightness, down to 0
};

// The driver and body motions being blended. Indices are motion indices in
// the actor, -1 none.
struct KartAnimation {
  enum State { kIdle = 0, kNewDrivingMotion = 1, kEventMotion = 2 };
  int state = kIdle;
  int driverMotion = -1;
  int previousDriverMotion = -1;
  int bodyMotion = -1;
  int previousBodyMotion = -1;
  float blend = 0.0f;  // weight of the current motions, 0..1
  float hold = 0.0f;   // seconds an event motion keeps the driving choice off
};

// The kart's own weapons after use. Directions are all 0 until launched.
struct KartProjectiles {
  static constexpr int kBubbles = 3;

  Normal3 soapDirection[kBubbles] = {};
  float soapSpeed[kBubbles] = {};
  float rocketLaunch = -1.0f;  // up from the use; -1 none
  int rocketPathIndex = -1;
  Normal3 rocketDirection{};
  int rocketTarget = -1;  // the kart chosen, -1 none
  int rocketLockCount = 0;
  Normal3 frosterDirection{};
  Normal3 shrinkerDirection{};
  float magnetDrop = -1.0f;  // up from the throw; -1 none
  float mineDrop = -1.0f;
  // The third row of the kart's latest matrix: where shots leave toward.
  Normal3 forwardAxis{0.0f, 0.0f, 1.0f};
};
