#include "game/vehicle_net_values.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "game/config.h"

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
  const std::set<std::string> sentOnly = {"m_cameraReset[]",      "m_extraFlash",          "m_extraWeight",
                                          "m_extraWeightPos",     "m_extraShrinker",       "m_extraShrinkerPos",
                                          "m_extraShrinkerAngle", "m_extraShrinkerAngle2", "m_extraFroster",
                                          "m_extraFrosterPos",    "m_extraFrosterAngle",   "m_extraFrosterAngle2",
                                          "m_extraOil",           "m_extraOilPos",         "m_netShadowMatrix",
                                          "m_netColPos",          "m_extraSoap",           "m_extraSoapPos"};
  int sendOnlyCount = 0;
  master.forEach([&](NetValueBase& v) {
    const bool listed = sentOnly.count(v.getName()) > 0;
    EXPECT_EQ(v.getFlags(), listed ? 2u : 3u) << v.getName();
    sendOnlyCount += listed;
  });
  EXPECT_EQ(sendOnlyCount, 16 + 3 + 3);

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

}  // namespace
