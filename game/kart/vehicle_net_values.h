// The replicated values of one kart, as one table: name, id offset, type,
// initial value and the flags each side sets. A kart's single values take
// the id offset + k (offsets step by 7, so karts 0..6 never meet), its
// 40-entry motion arrays offset + 40k + j and its 3-entry soap arrays
// offset + 3k + j.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <utility>

#include "foundation/matrix.h"
#include "net/net_value.h"

template <class T, std::size_t N>
using NetValueArray = std::array<NetValue<T>, N>;

class VehicleNetValues {
 public:
  static constexpr int kMotionCount = 40;
  static constexpr int kSoapCount = 3;
  static constexpr int kMaxKarts = 7;  // the id offsets step by 7
  // A received float (alone, in a position or in a matrix) larger than
  // this, infinite or NaN is dropped: the value keeps what it held.
  static constexpr float kLargestReceived = 1.0e6f;

  // Registers every value with `control` under the ids of kart `k` (0..6),
  // with its initial value and name, and the flags of a kart simulated on
  // this machine (master) or one that only follows the values (client).
  enum class Side { Master, Client };
  VehicleNetValues(NetControl& control, int k, Side side);
  VehicleNetValues(const VehicleNetValues&) = delete;
  VehicleNetValues& operator=(const VehicleNetValues&) = delete;

  // Every value of the kart, in table order.
  void forEach(const std::function<void(NetValueBase&)>& visit);

  NetValue<Position3> m_netPos;
  NetValue<Normal3> m_netDir;
  NetValue<int> m_lap;
  NetValue<int> m_rank;
  NetValue<float> m_trackTime;
  NetValue<float> m_netAngle;
  NetValue<int> m_extra;
  NetValue<bool> m_trackFinished;
  NetValue<bool> m_cameraReset;
  NetValue<float> m_speed;
  NetValue<Position3> m_effectMagnetPos;
  NetValueArray<float, kMotionCount> m_netMotionIntensity;
  NetValueArray<float, kMotionCount> m_netMotionSpeed;
  NetValueArray<float, kMotionCount> m_netMotionOffset;
  NetValue<Position3> m_rocketPos;
  NetValue<int> m_soundStart;
  NetValue<int> m_soundStop;
  NetValue<Position3> m_soundPosition;
  NetValue<int> m_rocketFired;
  NetValue<float> m_rocketAngle;
  NetValue<Position3> m_explosion;
  NetValue<float> m_explosionBr;
  NetValue<int> m_explosionType;
  NetValue<bool> m_active;
  NetValue<float> m_extraRocket;
  NetValue<int> m_rocketIndex;
  NetValue<float> m_extraFlash;
  NetValue<int> m_effectMagnetObjectIndex;
  NetValue<Matrix4x3> m_matrix;
  NetValue<float> m_extraWeight;
  NetValue<Position3> m_extraMinePos;
  NetValue<int> m_extraMineIndex;
  NetValue<float> m_extraShrinker;
  NetValue<Position3> m_extraShrinkerPos;
  NetValue<int> m_extraShrinkerIndex;
  NetValue<float> m_extraShrinkerAngle;
  NetValue<float> m_extraOil;
  NetValue<Position3> m_extraOilPos;
  NetValue<int> m_extraOilIndex;
  NetValue<float> m_extraFroster;
  NetValue<Position3> m_extraFrosterPos;
  NetValue<int> m_extraFrosterIndex;
  NetValue<float> m_extraFrosterAngle;
  NetValueArray<float, kSoapCount> m_extraSoap;
  NetValueArray<Position3, kSoapCount> m_extraSoapPos;
  NetValueArray<int, kSoapCount> m_extraSoapIndex;
  NetValue<float> m_extraFrosterAngle2;
  NetValue<float> m_extraShrinkerAngle2;
  NetValue<float> m_rocketAngle2;
  NetValue<Matrix4x3> m_netShadowMatrix;
  NetValue<Position3> m_netColPos;
  NetValue<Position3> m_extraWeightPos;
  NetValue<int> m_effectWeightObjectIndex;
  NetValue<int> m_targetLocked;
};
