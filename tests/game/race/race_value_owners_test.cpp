// The relay with the race's value owners, against a player that speaks for
// others: a host, the player in seat 1 and a forger in seat 2, each a bare
// protocol peer, with seats 3 and 4 empty.
#include "game/race/race_value_owners.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "tests/net/raw_peer.h"

namespace {

// Ids of the race: the choice, player record 25 + s, and kart k's values
// at their offset + k.
constexpr int kLaps = 21, kRecord = 25, kLap = 46, kFinished = 102, kPosition = 32, kActive = 1173, kMineHit = 1257,
              kMagnetPull = 1229;
constexpr int kDone = 1999;  // no race value: ends each sender's list

class RaceOwners : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(relay.waitListening());
    relay.server()->setValueOwners(raceValueOwners());
    for (RawPeer* peer : {&host, &player, &forger}) ASSERT_TRUE(peer->connect(relay.port()));
    ASSERT_EQ(seat(host, net::kHost), 0);
    ASSERT_EQ(seat(player, net::kJoin), 1);
    ASSERT_EQ(seat(forger, net::kJoin), 2);
  }
  // Sends each id with a payload of its size in the race, then kDone.
  static bool sendEach(RawPeer& from, std::initializer_list<int> ids) {
    for (int id : ids) {
      const std::size_t size = id >= kRecord && id < kRecord + 6 ? 156 : id < kPosition + 7 ? 12 : 4;
      if (!from.send(static_cast<std::uint16_t>(id), std::vector<std::uint8_t>(size, 1))) return false;
    }
    return from.send(kDone, {1});
  }
  // The ids `to` receives up to kDone.
  static std::vector<int> received(RawPeer& to) {
    std::vector<int> ids;
    while (auto m = to.next()) {
      if (m->id == kDone) return ids;
      ids.push_back(m->id);
    }
    ADD_FAILURE() << "the list never ended";
    return ids;
  }

  GameDaemon::ServerThread relay{0};
  RawPeer host, player, forger;
};

TEST_F(RaceOwners, APlayerSendsOnlyItsOwnRecordAndKartAndWhatFollowersSendOfOthers) {
  // The forger's "ready" in seat 1's record, seat 1's lap, finish and
  // place, the host kart's finish, an empty seat's record and the laps;
  // then its own record and kart, and what it may say of others: the mine
  // that hit seat 1's kart, the magnet pulling the host's, seat 1 out.
  ASSERT_TRUE(sendEach(forger, {kRecord + 1, kLap + 1, kFinished + 1, kPosition + 1, kFinished + 0, kRecord + 3, kLaps,
                                kRecord + 2, kLap + 2, kFinished + 2, kMineHit + 1, kMagnetPull + 0, kActive + 1}));
  const std::vector<int> passed = {kRecord + 2, kLap + 2, kFinished + 2, kMineHit + 1, kMagnetPull + 0, kActive + 1};
  EXPECT_EQ(received(player), passed);
  EXPECT_EQ(received(host), passed);
  EXPECT_EQ(relay.server()->refusedMessages(), 7u);
  EXPECT_TRUE(relay.server()->storedValue(kRecord + 1).empty());
}

TEST_F(RaceOwners, TheHostSendsTheChoiceAndWhatNoPlayerDrivesButNoSeatedPlayersRecordOrKart) {
  ASSERT_TRUE(sendEach(host, {kLaps, kRecord + 0, kRecord + 3, kRecord + 5, kLap + 0, kLap + 3, kLap + 5, kFinished + 6,
                              kRecord + 1, kLap + 1, kPosition + 2}));
  EXPECT_EQ(received(player), (std::vector<int>{kLaps, kRecord + 0, kRecord + 3, kRecord + 5, kLap + 0, kLap + 3,
                                                kLap + 5, kFinished + 6}));
  // Nor may a player set the race choice.
  ASSERT_TRUE(sendEach(player, {kLaps, kRecord + 1}));
  EXPECT_EQ(received(host), std::vector<int>{kRecord + 1});
  EXPECT_EQ(relay.server()->refusedMessages(), 4u);
}

}  // namespace
