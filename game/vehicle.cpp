#include "game/vehicle.h"

#include <algorithm>
#include <cmath>

KartSensors::KartSensors() {
  for (float& h : rayHeight) h = kNoHit;
}

void KartSensors::pushNormal(int ray, const Normal3& normal) {
  if (ray < 0 || ray >= kWheelRays) return;
  auto& queue = rayNormals[ray];
  queue.push_back(normal);
  while (queue.size() > kNormalQueue) queue.pop_front();
}

Vehicle::Vehicle(NetControl& control, int k, VehicleNetValues::Side side) : m_net(control, k, side), m_index(k) {}

float yawOfDirection(const Normal3& v) {
  const float angle = std::acos(std::clamp(v.z, -1.0f, 1.0f));
  return v.x < 0.0f ? -angle : angle;
}

float pitchOfDirection(const Normal3& v) { return std::asin(std::clamp(v.y, -1.0f, 1.0f)); }
