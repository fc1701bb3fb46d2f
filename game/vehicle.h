// The kart base shared by the simulated kart and the one that follows a
// peer: its replicated values and what the contact surfaces found for it
// in the current collision pass.
#pragma once

#include <cstdint>
#include <deque>

#include "foundation/matrix.h"
#include "game/kart_items.h"
#include "game/vehicle_net_values.h"

class PhysicsObject;
class Vehicle;
class VehicleMaster;

// What the track's contact surfaces wrote into a kart during one collision
// pass. Every normal points toward the kart's own geom (or, for the
// obstacle contact, toward the obstacle), whichever geom ODE listed first.
struct KartSensors {
  static constexpr int kRays = 5;  // four wheel rays, then the centre ray
  static constexpr int kWheelRays = 4;
  static constexpr int kCentreRay = 4;
  static constexpr std::size_t kNormalQueue = 15;  // newest hit normals kept per wheel ray
  static constexpr float kNoHit = -100.0f;

  KartSensors();

  // The newest hit normal of a wheel ray; older ones beyond the queue's
  // length are dropped.
  void pushNormal(int ray, const Normal3& normal);

  float rayHeight[kRays];
  std::int32_t rayKind[kRays] = {};
  std::uint8_t rayFall[kWheelRays] = {};
  std::deque<Normal3> rayNormals[kWheelRays];

  bool wallTouched = false;
  Position3 wallPos{};
  Normal3 wallNormal{};
  float wallDepth = 0.0f;

  Position3 kartPos{};
  Normal3 kartNormal{};
  float kartDepth = 0.0f;
  Vehicle* otherKart = nullptr;  // not owned

  PhysicsObject* obstacle = nullptr;  // not owned
  Position3 obstaclePos{};
  Normal3 obstacleNormal{};
  float obstacleDepth = 0.0f;
};

class Vehicle {
 public:
  static constexpr int kMaxKarts = 6;

  // The kart index k (0..5) is the base of every replicated id.
  Vehicle(NetControl& control, int k, VehicleNetValues::Side side);
  virtual ~Vehicle() = default;
  Vehicle(const Vehicle&) = delete;
  Vehicle& operator=(const Vehicle&) = delete;

  // The simulated kart answers itself; a kart that follows a peer, null.
  virtual VehicleMaster* getMaster() { return nullptr; }
  // Whether this machine computes the kart's motion: only such a kart
  // records walls, rays and other karts.
  virtual bool isSimulated() { return getMaster() != nullptr; }
  virtual void getPosition(Position3& out) = 0;
  // The unit direction the kart points (or travels, for a followed kart).
  virtual const float* getVelocity() = 0;
  virtual float getSpeed() { return 0.0f; }
  virtual void step(double time, double dt) = 0;

  int index() const { return m_index; }

  VehicleNetValues m_net;
  KartSensors m_sensors;
  KartItems m_items;

 protected:
  int m_index;
};

// Heading angle of a unit direction: acos(z), negative toward -x, so that
// 0 faces +z. The input is clamped so a direction a rounding error longer
// than 1 gives an angle, not NaN.
float yawOfDirection(const Normal3& v);
// Pitch of a unit direction: asin(y), clamped the same way.
float pitchOfDirection(const Normal3& v);
