#include "game/kart/vehicle_net_values.h"

#include <cmath>
#include <type_traits>

namespace {

using V = VehicleNetValues;

// Positions, angles, times and motion settings a kart sends stay far inside
// this on every track; a peer's number beyond it (or not a number at all)
// would reach the physics, the scene's matrices and the sound positions.
bool plausible(float v) { return std::isfinite(v) && std::fabs(v) <= V::kLargestReceived; }
bool plausibleFloat(const float& v) { return plausible(v); }
template <class P>
bool plausibleXyz(const P& p) {
  return plausible(p.x) && plausible(p.y) && plausible(p.z);
}
bool plausibleMatrix(const Matrix4x3& m) {
  for (float element : m.m)
    if (!plausible(element)) return false;
  return true;
}

// One row of the table. `initial` holds the initial value as up to three
// floats (a bool or int in the first); matrices keep their constructed value.
struct Row {
  const char* name;
  int offset;
  std::uint32_t clientFlags;
  std::uint32_t masterFlags;
  float initial[3];
  // Sets up entry j (0 for single values) of the row's member.
  void (*setUp)(V& values, const Row& row, int k, int j, V::Side side);
  // Entry j of the row's member.
  NetValueBase& (*entry)(V& values, int j);
  // Entries of the member: 1, 3 or 40.
  int count;
};

template <class T>
T initialOf(const float (&f)[3]) {
  if constexpr (std::is_same_v<T, Position3>) {
    return Position3{f[0], f[1], f[2]};
  } else if constexpr (std::is_same_v<T, Normal3>) {
    return Normal3{f[0], f[1], f[2]};
  } else if constexpr (std::is_same_v<T, bool>) {
    return f[0] != 0.0f;
  } else {
    return static_cast<T>(f[0]);
  }
}

template <class T>
void setUpValue(NetValue<T>& value, const Row& row, int id, V::Side side) {
  if constexpr (std::is_same_v<T, Matrix4x3>) {
    value.init(id);
  } else {
    value.init(id, initialOf<T>(row.initial));
  }
  value.setName(row.name);
  value.setFlags(side == V::Side::Master ? row.masterFlags : row.clientFlags);
  if constexpr (std::is_same_v<T, float>) value.setReceiveCheck(&plausibleFloat);
  if constexpr (std::is_same_v<T, Position3> || std::is_same_v<T, Normal3>) value.setReceiveCheck(&plausibleXyz<T>);
  if constexpr (std::is_same_v<T, Matrix4x3>) value.setReceiveCheck(&plausibleMatrix);
}

template <class M>
struct ArrayExtent : std::integral_constant<int, 1> {};
template <class T, std::size_t N>
struct ArrayExtent<NetValueArray<T, N>> : std::integral_constant<int, static_cast<int>(N)> {};

template <auto Member>
void setUp(V& values, const Row& row, int k, int j, V::Side side) {
  auto& member = values.*Member;
  constexpr int n = ArrayExtent<std::remove_reference_t<decltype(member)>>::value;
  if constexpr (n == 1) {
    setUpValue(member, row, row.offset + k, side);
  } else {
    setUpValue(member[static_cast<std::size_t>(j)], row, row.offset + n * k + j, side);
  }
}

template <auto Member>
NetValueBase& entry(V& values, int j) {
  auto& member = values.*Member;
  if constexpr (ArrayExtent<std::remove_reference_t<decltype(member)>>::value == 1) {
    return member;
  } else {
    return member[static_cast<std::size_t>(j)];
  }
}

template <auto Member>
constexpr int countOf() {
  return ArrayExtent<std::remove_reference_t<decltype(std::declval<V&>().*Member)>>::value;
}

// Client flags: 1 accept only, 3 accept and send. A master kart sends
// everything and accepts only what the machines following it send (3): the
// values only it produces it sends without accepting (2), so that no peer
// can set its laps, place, position or finish.
constexpr std::uint32_t A = kNetAcceptReceived, AS = kNetAcceptReceived | kNetSendChanges, S = kNetSendChanges;

#define ROW(member, name, offset, client, master, ...) \
  Row { name, offset, client, master, {__VA_ARGS__}, &setUp<&V::member>, &entry<&V::member>, countOf<&V::member>() }

const Row kRows[] = {
    ROW(m_netPos, "m_netPos[]", 32, A, S, 0, 0, 0),
    ROW(m_netDir, "m_netDir[]", 39, A, S, 0, 1, 0),
    ROW(m_lap, "m_lap[]", 46, A, S, -1),
    ROW(m_rank, "m_rank[]", 53, A, S, 0),
    ROW(m_trackTime, "m_trackTime[]", 74, A, S, 0),
    ROW(m_netAngle, "m_netAngle[]", 88, A, S, 0),
    ROW(m_extra, "m_extra[]", 95, A, S, 0),
    ROW(m_trackFinished, "m_trackFinished[]", 102, A, S, 0),
    ROW(m_cameraReset, "m_cameraReset[]", 144, A, S, 1),
    ROW(m_speed, "m_speed[]", 151, A, S, 0),
    ROW(m_effectMagnetPos, "m_effectMagnetPos[]", 221, AS, AS, 0, -100, 0),
    ROW(m_netMotionIntensity, "m_netMotionIntensity", 270, A, S, 0),
    ROW(m_netMotionSpeed, "m_netMotionSpeed", 550, A, S, 0),
    ROW(m_netMotionOffset, "m_netMotionOffset", 830, A, S, 0),
    ROW(m_rocketPos, "m_rocketPos[]", 1110, A, S, 0, -100, 0),
    ROW(m_soundStart, "m_soundStart", 1117, A, S, 0),
    ROW(m_soundStop, "m_soundStop", 1124, A, S, 0),
    ROW(m_soundPosition, "m_soundPosition", 1131, A, S, 0, -10000, 0),
    ROW(m_rocketFired, "m_rocketFired[]", 1138, AS, AS, 0),
    ROW(m_rocketAngle, "m_rocketAngle[]", 1145, A, S, 0),
    ROW(m_explosion, "m_explosion[]", 1152, A, S, 0, 0, 0),
    ROW(m_explosionBr, "m_explosionBr[]", 1159, A, S, 0),
    ROW(m_explosionType, "m_explosionType", 1166, A, S, 0),
    ROW(m_active, "m_active", 1173, AS, AS, 0),
    ROW(m_extraRocket, "m_extraRocket", 1208, AS, AS, 0),
    ROW(m_rocketIndex, "m_rocketIndex", 1215, AS, AS, 0),
    ROW(m_extraFlash, "m_extraFlash", 1222, A, S, 0),
    ROW(m_effectMagnetObjectIndex, "m_effectMagnetObjectIndex", 1229, AS, AS, -1),
    ROW(m_matrix, "m_matrix", 1236, A, S, 0),
    ROW(m_extraWeight, "m_extraWeight", 1243, A, S, 0),
    ROW(m_extraMinePos, "m_extraMinePos", 1250, AS, AS, 0, -100, 0),
    ROW(m_extraMineIndex, "m_extraMineIndex", 1257, AS, AS, -1),
    ROW(m_extraShrinker, "m_extraShrinker", 1264, A, S, 0),
    ROW(m_extraShrinkerPos, "m_extraShrinkerPos", 1271, A, S, 0, -100, 0),
    ROW(m_extraShrinkerIndex, "m_extraShrinkerIndex", 1278, AS, AS, -1),
    ROW(m_extraShrinkerAngle, "m_extraShrinkerAngle", 1285, A, S, 0),
    ROW(m_extraOil, "m_extraOil", 1292, A, S, 0),
    ROW(m_extraOilPos, "m_extraOilPos", 1299, A, S, 0, -100, 0),
    ROW(m_extraOilIndex, "m_extraOilIndex", 1306, AS, AS, -1),
    ROW(m_extraFroster, "m_extraFroster", 1313, A, S, 0),
    ROW(m_extraFrosterPos, "m_extraFrosterPos", 1320, A, S, 0, -100, 0),
    ROW(m_extraFrosterIndex, "m_extraFrosterIndex", 1327, AS, AS, -1),
    ROW(m_extraFrosterAngle, "m_extraFrosterAngle", 1334, A, S, 0),
    ROW(m_extraSoap, "m_extraSoap", 1341, A, S, 0),
    ROW(m_extraSoapPos, "m_extraSoapPos", 1362, A, S, 0, -100, 0),
    ROW(m_extraSoapIndex, "m_extraSoapIndex", 1383, AS, AS, -1),
    ROW(m_extraFrosterAngle2, "m_extraFrosterAngle2", 1404, A, S, 0),
    ROW(m_extraShrinkerAngle2, "m_extraShrinkerAngle2", 1411, A, S, 0),
    ROW(m_rocketAngle2, "m_rocketAngle2[]", 1418, A, S, 0),
    ROW(m_netShadowMatrix, "m_netShadowMatrix", 1425, A, S, 0),
    ROW(m_netColPos, "m_netColPos", 1432, A, S, 0, -100, 0),
    ROW(m_extraWeightPos, "m_extraWeightPos", 1439, A, S, 0, -100, 0),
    ROW(m_effectWeightObjectIndex, "m_effectWeightObjectIndex", 1446, AS, AS, -1),
    ROW(m_targetLocked, "m_targetLocked", 1453, AS, AS, -1),
};

#undef ROW

// Built in place: a NetValue registers itself and can be neither copied
// nor moved.
template <class T>
NetValue<T> makeValue(NetControl& control) {
  return NetValue<T>(control);
}
template <class T, std::size_t... I>
std::array<NetValue<T>, sizeof...(I)> makeArray(NetControl& control, std::index_sequence<I...>) {
  return {(static_cast<void>(I), makeValue<T>(control))...};
}
template <class T, std::size_t N>
NetValueArray<T, N> makeArray(NetControl& control) {
  return makeArray<T>(control, std::make_index_sequence<N>());
}

}  // namespace

VehicleNetValues::VehicleNetValues(NetControl& c, int k, Side side)
    : m_netPos(c),
      m_netDir(c),
      m_lap(c),
      m_rank(c),
      m_trackTime(c),
      m_netAngle(c),
      m_extra(c),
      m_trackFinished(c),
      m_cameraReset(c),
      m_speed(c),
      m_effectMagnetPos(c),
      m_netMotionIntensity(makeArray<float, kMotionCount>(c)),
      m_netMotionSpeed(makeArray<float, kMotionCount>(c)),
      m_netMotionOffset(makeArray<float, kMotionCount>(c)),
      m_rocketPos(c),
      m_soundStart(c),
      m_soundStop(c),
      m_soundPosition(c),
      m_rocketFired(c),
      m_rocketAngle(c),
      m_explosion(c),
      m_explosionBr(c),
      m_explosionType(c),
      m_active(c),
      m_extraRocket(c),
      m_rocketIndex(c),
      m_extraFlash(c),
      m_effectMagnetObjectIndex(c),
      m_matrix(c),
      m_extraWeight(c),
      m_extraMinePos(c),
      m_extraMineIndex(c),
      m_extraShrinker(c),
      m_extraShrinkerPos(c),
      m_extraShrinkerIndex(c),
      m_extraShrinkerAngle(c),
      m_extraOil(c),
      m_extraOilPos(c),
      m_extraOilIndex(c),
      m_extraFroster(c),
      m_extraFrosterPos(c),
      m_extraFrosterIndex(c),
      m_extraFrosterAngle(c),
      m_extraSoap(makeArray<float, kSoapCount>(c)),
      m_extraSoapPos(makeArray<Position3, kSoapCount>(c)),
      m_extraSoapIndex(makeArray<int, kSoapCount>(c)),
      m_extraFrosterAngle2(c),
      m_extraShrinkerAngle2(c),
      m_rocketAngle2(c),
      m_netShadowMatrix(c),
      m_netColPos(c),
      m_extraWeightPos(c),
      m_effectWeightObjectIndex(c),
      m_targetLocked(c) {
  // Out of 0..6 the ids would meet another kart's or the next kind of
  // value: such a kart registers no ids and is never sent.
  ENGINE_ASSERT(k >= 0 && k < kMaxKarts);
  if (k < 0 || k >= kMaxKarts) return;
  for (const Row& row : kRows) {
    for (int j = 0; j < row.count; ++j) row.setUp(*this, row, k, j, side);
  }
}

void VehicleNetValues::forEach(const std::function<void(NetValueBase&)>& visit) {
  for (const Row& row : kRows) {
    for (int j = 0; j < row.count; ++j) visit(row.entry(*this, j));
  }
}
