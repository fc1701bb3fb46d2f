#include "game/kart/vehicle_net_values.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "foundation/byte_fields.h"
#include "game/saves/config.h"

namespace {

TEST(VehicleNetValues, SixKartsAndTheSettingsTakeEachIdOnce) {
  NetControl control;
  Config config(nullptr, control, Config::SavedFile::Ignore);
  std::vector<std::unique_ptr<VehicleNetValues>> karts;
  std::vector<int> ids = {config.m_game.getId(), config.m_ccm.getId(), config.m_track.getId(), config.m_laps.getId()};
  for (const auto& player : config.m_player) ids.push_back(player.getId());
  for (int k = 0; k < 6; ++k) {
    karts.push_back(std::make_unique<VehicleNetValues>(control, k, VehicleNetValues::Side::Master));
    karts.back()->forEach([&](NetValueBase& v) { ids.push_back(v.getId()); });
  }
  const std::set<int> distinct(ids.begin(), ids.end());
  EXPECT_EQ(distinct.size(), ids.size());
  for (int id : ids) EXPECT_TRUE(isSendableNetId(id)) << id;

  // Kart 5: single values on 37 + 7n, the motions in three blocks of 40,
  // the soap values in three blocks of 3.
  std::set<int> kart5;
  karts[5]->forEach([&](NetValueBase& v) { kart5.insert(v.getId()); });
  EXPECT_EQ(kart5.size(), 48u + 120u + 9u);
  EXPECT_EQ(*kart5.begin(), 37);
  EXPECT_EQ(*kart5.rbegin(), 1458);
  for (int base : {470, 750, 1030})
    for (int j = 0; j < 40; ++j) EXPECT_TRUE(kart5.count(base + j)) << base + j;
  for (int id : kart5) {
    const bool motion = (id >= 470 && id < 510) || (id >= 750 && id < 790) || (id >= 1030 && id < 1070);
    const bool soap = (id >= 1356 && id <= 1358) || (id >= 1377 && id <= 1379) || (id >= 1398 && id <= 1400);
    EXPECT_TRUE(motion || soap || (id - 37) % 7 == 0) << id;
  }
}

TEST(VehicleNetValues, FlagsAndInitialValuesBySide) {
  NetControl control;
  VehicleNetValues master(control, 0, VehicleNetValues::Side::Master);
  // What the machines following a kart send for it (hits, the start, the
  // weapons they took): the only values its master takes from peers.
  const std::set<std::string> fromFollowers = {"m_effectMagnetPos[]",
                                               "m_rocketFired[]",
                                               "m_active",
                                               "m_extraRocket",
                                               "m_rocketIndex",
                                               "m_effectMagnetObjectIndex",
                                               "m_extraMinePos",
                                               "m_extraMineIndex",
                                               "m_extraShrinkerIndex",
                                               "m_extraOilIndex",
                                               "m_extraFrosterIndex",
                                               "m_extraSoapIndex",
                                               "m_effectWeightObjectIndex",
                                               "m_targetLocked"};
  int acceptedCount = 0;
  master.forEach([&](NetValueBase& v) {
    const bool accepted = fromFollowers.count(v.getName()) > 0;
    EXPECT_EQ(v.getFlags(), accepted ? 3u : 2u) << v.getName();
    acceptedCount += accepted;
  });
  EXPECT_EQ(acceptedCount, 13 + 3);
  {
    // Side by side: a master accepts exactly what a follower sends.
    NetControl other;
    VehicleNetValues follower(other, 0, VehicleNetValues::Side::Client);
    std::vector<std::uint32_t> masterFlags, followerFlags;
    master.forEach([&](NetValueBase& v) { masterFlags.push_back(v.getFlags() & kNetAcceptReceived); });
    follower.forEach([&](NetValueBase& v) { followerFlags.push_back(v.getFlags() & kNetSendChanges ? 1u : 0u); });
    EXPECT_EQ(masterFlags, followerFlags);
  }

  VehicleNetValues client(control, 1, VehicleNetValues::Side::Client);
  EXPECT_EQ(client.m_active.getFlags(), 3u);
  EXPECT_EQ(client.m_netPos.getFlags(), 1u);
  EXPECT_EQ(client.m_extraSoapIndex[2].getFlags(), 3u);
  EXPECT_EQ(client.m_extraSoapIndex[2].getId(), 1383 + 3 + 2);
  EXPECT_EQ(client.m_lap.get(), -1);
  EXPECT_TRUE(client.m_cameraReset.get());
  EXPECT_EQ(client.m_netDir.get().y, 1.0f);
  EXPECT_EQ(client.m_soundPosition.get().y, -10000.0f);
  EXPECT_EQ(client.m_netMotionSpeed[39].getId(), 550 + 40 + 39);
}

TEST(VehicleNetValues, NumbersNoKartSendsAreDroppedOnArrival) {
  NetControl control;
  VehicleNetValues kart(control, 2, VehicleNetValues::Side::Client);
  auto floats = [](std::initializer_list<float> values) {
    std::vector<std::uint8_t> bytes(values.size() * 4);
    FieldWriter w(bytes.data(), bytes.size());
    for (float f : values) w.f32(f);
    return bytes;
  };
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  // Each value first takes a plausible number, then refuses the rest.
  const std::vector<std::uint8_t> goodSpeed = floats({12.5f}), goodAt = floats({-900.0f, 20.0f, 4000.0f});
  ASSERT_TRUE(kart.m_speed.setReceived(goodSpeed.data(), 4));
  ASSERT_TRUE(kart.m_netPos.setReceived(goodAt.data(), 12));
  kart.m_speed.commit();
  kart.m_netPos.commit();
  for (float bad : {nan, inf, -inf, 1.0e30f, -2.0e6f}) {
    const std::vector<std::uint8_t> one = floats({bad}), three = floats({0.0f, bad, 0.0f});
    EXPECT_FALSE(kart.m_speed.setReceived(one.data(), 4)) << bad;
    EXPECT_FALSE(kart.m_netMotionOffset[39].setReceived(one.data(), 4)) << bad;
    EXPECT_FALSE(kart.m_netPos.setReceived(three.data(), 12)) << bad;
    EXPECT_FALSE(kart.m_netDir.setReceived(three.data(), 12)) << bad;
    EXPECT_FALSE(kart.m_extraSoapPos[1].setReceived(three.data(), 12)) << bad;
    std::vector<std::uint8_t> matrix(64, 0);
    FieldWriter(matrix.data() + 4 * 13, 4).f32(bad);
    EXPECT_FALSE(kart.m_matrix.setReceived(matrix.data(), 64)) << bad;
    kart.forEach([](NetValueBase& v) { v.commit(); });
  }
  EXPECT_EQ(kart.m_speed.get(), 12.5f);
  EXPECT_EQ(kart.m_netPos.get().z, 4000.0f);
  EXPECT_EQ(kart.m_matrix.get().m[13], 0.0f);
  EXPECT_EQ(kart.m_extraSoapPos[1].get().y, -100.0f);
  // Integers are the users' to check: any arrives.
  const std::vector<std::uint8_t> huge = floats({nan});
  EXPECT_TRUE(kart.m_lap.setReceived(huge.data(), 4));
}

}  // namespace
