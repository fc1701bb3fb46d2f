#include "game/kart/kart_extras.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "foundation/random.h"
#include "render/surface.h"
#include "render/texture.h"
#include "scene/particle_renderers.h"
#include "tests/game/kart/kart_extras_fixture.h"

namespace {

using namespace kart_test;

TEST(ExtraRoll, SeedOneGivesTheKnownSequenceWhateverTheCLibraryWasSeededWith) {
  std::srand(77);  // the game never draws from the C library's generator
  engineSrand(1);
  std::vector<int> rolled;
  for (int i = 0; i < 6; ++i) rolled.push_back(rollExtra(1, 0));
  EXPECT_EQ(rolled,
            (std::vector<int>{kExtraFroster, kExtraRocket, kExtraShrinker, kExtraShield, kExtraRocket, kExtraShield}));
}

TEST(ExtraRoll, BoundsOfTheLeadersRowAndTheRowOfEachRank) {
  EXPECT_EQ(extraForRoll(0, 94), kExtraSoap);
  for (int r = 95; r < 100; ++r) EXPECT_EQ(extraForRoll(0, r), kExtraFlash) << r;
  for (int r = 0; r < 25; ++r) EXPECT_EQ(extraForRoll(0, r), kExtraShield) << r;
  EXPECT_EQ(extraForRoll(0, 25), kExtraMagnet);
  EXPECT_EQ(extraForRoll(2, 30), kExtraTurbo);  // the back of the field: turbo from 30 to 59
  EXPECT_EQ(extraForRoll(2, 59), kExtraTurbo);
  EXPECT_EQ(extraForRoll(1, 89), kExtraSoap);

  const int six[6] = {0, 0, 1, 1, 2, 2};
  for (int rank = 0; rank < 6; ++rank) EXPECT_EQ(extraRollRow(6, rank), six[rank]) << rank;
  for (int rank = 0; rank < 6; ++rank) EXPECT_EQ(extraRollRow(1, rank), 0) << rank;  // time trial
  // Received ranks and counts outside the table read its nearest row.
  EXPECT_EQ(extraRollRow(6, 9), 2);
  EXPECT_EQ(extraRollRow(6, -4), 0);
  EXPECT_EQ(extraRollRow(3, 1000), extraRollRow(3, 5));
  EXPECT_EQ(extraRollRow(99, 3), extraRollRow(6, 3));
}

class PlainTexture : public Texture {
 public:
  PlainTexture() : Texture(nullptr, 0) {}
  std::unique_ptr<Texture> clone() const override { return nullptr; }
  void load() override {}
  int kind() const override { return 0; }
};

TEST(ExplosionType, ReceivedTypesAreHeldToTheThreePictures) {
  EXPECT_EQ(explosionTypeIndex(-7), 0);
  EXPECT_EQ(explosionTypeIndex(1), 1);
  EXPECT_EQ(explosionTypeIndex(3), 2);
  PlainTexture rocket, froster, shrinker;
  const ExplosionTextures table{&rocket, &froster, &shrinker};
  EXPECT_EQ(explosionTexture(&table, 1), &froster);
  EXPECT_EQ(explosionTexture(&table, 1 << 30), &shrinker);
  EXPECT_EQ(explosionTexture(nullptr, 1), nullptr);
}

TEST_F(KartWithExtras, ABoxRollsFromTheKartsRankAndReplacesWhatItHeld) {
  NotingBuffer* pickUp = giveSound(*kart, kSoundPickUp);
  kart->joinRace(slots, 6);
  kart->m_net.m_rank.set(9);  // as a peer might send it: read as the last rank
  kart->m_net.m_extra.set(kExtraMine);
  PhysicsObject box(scene.get(), 13);
  engineSrand(1);  // rolls 41 then 67: turbo, then rocket on the back row
  kart->giveRandomExtra(&box);
  EXPECT_EQ(kart->m_net.m_extra.get(), kExtraTurbo);
  EXPECT_EQ(kart->touchedBox(), &box);
  EXPECT_EQ(pickUp->plays, 1);
  EXPECT_EQ(kart->m_net.m_soundStart.get(), kSoundPickUp);
  kart->giveRandomExtra(&box);
  EXPECT_EQ(kart->m_net.m_extra.get(), kExtraRocket);
  EXPECT_EQ(pickUp->plays, 2);  // heard again
}

TEST_F(KartWithExtras, UsingAnExtraStartsItsTimersAndMotionsAndLetsItGo) {
  time = 3.0;
  Position3 at;
  kart->getPosition(at);

  use(kExtraRocket);
  const KartProjectiles& p = kart->m_projectiles;
  EXPECT_EQ(p.rocketLaunch, 0.0f);
  EXPECT_EQ(p.rocketPathIndex, -1);
  EXPECT_EQ(p.rocketTarget, -1);
  EXPECT_EQ(kart->m_net.m_extraRocket.get(), 1.0f);
  EXPECT_EQ(kart->m_net.m_rocketFired.get(), 0);
  EXPECT_FLOAT_EQ(kart->m_net.m_rocketPos.get().y, at.y + 1.2f);
  EXPECT_EQ(worldPosition(*rockets[0]).y, -100.0f);
  EXPECT_EQ(intensity(*body, "rocketlauncher_kart"), 1.0f);
  EXPECT_EQ(offset(*body, "rocketlauncher_kart"), 3.0f);
  EXPECT_EQ(kart->m_net.m_extra.get(), kExtraNone);

  use(kExtraFroster);
  EXPECT_EQ(kart->m_net.m_extraFroster.get(), 0.005f);
  EXPECT_EQ(kart->m_net.m_explosionType.get(), 1);
  use(kExtraShrinker);
  EXPECT_EQ(kart->m_net.m_extraShrinker.get(), 0.005f);
  EXPECT_EQ(kart->m_net.m_explosionType.get(), 2);
  EXPECT_EQ(intensity(*body, "shrinker_kart"), 1.0f);

  NotingBuffer* magnetSound = giveSound(*kart, kSoundMagnet);
  use(kExtraMagnet);
  EXPECT_EQ(p.magnetDrop, 0.005f);
  EXPECT_FLOAT_EQ(magnetSound->at.z, at.z - 1.0f);  // heard a unit behind, the kart faces +z
  EXPECT_FLOAT_EQ(kart->m_net.m_soundPosition.get().z, at.z);
  EXPECT_EQ(intensity(*body, "abwerfen_kart"), 1.0f);
  use(kExtraMine);
  EXPECT_EQ(p.mineDrop, 0.005f);
  EXPECT_EQ(kart->m_net.m_soundStart.get(), kSoundThrow);
  use(kExtraWeight);
  EXPECT_EQ(kart->m_net.m_extraWeight.get(), 1.0f);
  use(kExtraFlash);
  EXPECT_EQ(kart->m_net.m_extraFlash.get(), 1.0f);
  use(kExtraSoap);
  for (std::size_t j = 0; j < 3; ++j) EXPECT_EQ(kart->m_net.m_extraSoap[j].get(), 0.005f);

  // Codes that start nothing are let go all the same.
  for (int code : {int{kExtraSecondRocket}, int{kExtraOil}, 42, -1}) {
    use(code);
    EXPECT_EQ(kart->m_net.m_extra.get(), kExtraNone) << code;
  }
  EXPECT_EQ(kart->m_status.shield, 0.0f);
  EXPECT_EQ(kart->m_status.turbo, 0.0f);
}

TEST_F(KartWithExtras, AShrunkKartKeepsItsExtraAndASecondShieldStartsOver) {
  kart->m_status.shrunk = 4.0f;
  use(kExtraRocket);
  EXPECT_EQ(kart->m_net.m_extra.get(), kExtraRocket);
  EXPECT_EQ(kart->m_projectiles.rocketLaunch, -1.0f);
  kart->m_status.shrunk = 0.0f;

  NotingBuffer* shield = giveSound(*kart, kSoundShield);
  use(kExtraShield);
  EXPECT_EQ(kart->m_status.shield, 9.5f);
  EXPECT_TRUE(shield->looped);
  EXPECT_EQ(kart->m_net.m_soundStart.get(), kSoundShield);
  EXPECT_EQ(intensity(*body, "schutzschild_kart"), 1.0f);
  steps(300);
  EXPECT_NEAR(kart->m_status.shield, 6.5f, 1e-3);
  use(kExtraShield);
  EXPECT_EQ(kart->m_status.shield, 9.5f);
  // It runs out after 9.5 s: silent and shown no more.
  int left = 0;
  while (kart->m_status.shield != 0.0f && left < 2000) {
    step();
    ++left;
  }
  EXPECT_NEAR(left, 950, 1);
  EXPECT_FALSE(shield->isPlaying());
  EXPECT_EQ(kart->m_net.m_soundStop.get(), kSoundShield);
  EXPECT_EQ(intensity(*body, "schutzschild_kart"), 0.0f);
}

TEST_F(KartWithExtras, ATurboFromStandstillSoundsThenPushesForwardEvenWhenReversing) {
  settle();
  NotingBuffer* turbo = giveSound(*kart, kSoundTurbo);
  kart->m_drive.m_reverse = 1;
  use(kExtraTurbo);
  EXPECT_EQ(turbo->plays, 1);  // announced at the use
  turbo->stop();               // a short sample, over at once
  int n = 0;
  while (turbo->plays < 2 && n < 100) {
    step();
    ++n;
    EXPECT_EQ(kart->getSpeed(), 0.0f);
  }
  EXPECT_GE(n, 43);
  EXPECT_LE(n, 44);  // 0.43 s, within a step
  while (kart->m_drive.m_velocity < 0.4f && n < 200) {
    step();
    ++n;
  }
  EXPECT_GE(n, 83);
  EXPECT_LE(n, 84);  // 0.83 s
  EXPECT_EQ(kart->m_drive.m_reverse, 0);
  EXPECT_EQ(kart->m_drive.m_speedLimit, kart->tuning().turboMaxSpeed);
  EXPECT_GT(kart->m_drive.m_velocity, kart->tuning().maxSpeed);
  while (kart->m_status.turbo != 0.0f && n < 1000) {
    step();
    ++n;
  }
  EXPECT_NEAR(n, 500, 1);
  EXPECT_EQ(kart->m_drive.m_speedLimit, kart->tuning().maxSpeed);
  EXPECT_EQ(kart->m_net.m_soundStop.get(), kSoundTurbo);
  EXPECT_FALSE(turbo->isPlaying());
}

TEST_F(KartWithExtras, APadLaunchesAlongItsFlatUnitAxisAndSoundsOnce) {
  settle();
  NotingBuffer* speedUp = giveSound(*kart, kSoundSpeedUp);
  PhysicsObject* pad = addPhysicsObject(*scene, "pad", kGeomBox, 15, 0);
  pad->rotation[0].value = static_cast<float>(M_PI / 2);  // facing +x
  pad->rotation[1].value = 0.2f;                          // and tilted
  for (auto& s : pad->scale) s.value = 2.0f;
  kart->m_drive.m_reverse = 1;
  kart->startSpeedBoost(pad);
  EXPECT_EQ(kart->m_status.turbo, 3.0f);
  EXPECT_EQ(kart->m_drive.m_velocity, kart->tuning().turboMaxSpeed);
  EXPECT_EQ(kart->m_drive.m_speedLimit, kart->tuning().turboMaxSpeed);
  const Normal3& h = kart->m_drive.m_heading;
  EXPECT_NEAR(h.x, 1.0f, 1e-6);
  EXPECT_EQ(h.y, 0.0f);
  EXPECT_NEAR(h.z, 0.0f, 1e-6);
  EXPECT_EQ(kart->m_drive.m_motion[0], h.x);
  EXPECT_EQ(kart->m_drive.m_reverse, 0);
  EXPECT_EQ(speedUp->plays, 1);
  EXPECT_EQ(kart->m_net.m_soundStart.get(), kSoundSpeedUp);
  kart->startSpeedBoost(pad);  // still sounding
  EXPECT_EQ(speedUp->plays, 1);
  step();
  EXPECT_NEAR(kart->m_drive.m_netAngle, M_PI / 2, 1e-5);

  // A pad with no forward axis at all leaves the heading as it was.
  for (auto& s : pad->scale) s.value = 0.0f;
  pad->invalidate();
  kart->startSpeedBoost(pad);
  EXPECT_NEAR(kart->m_drive.m_heading.x, 1.0f, 1e-6);
  EXPECT_FALSE(std::isnan(kart->m_drive.m_heading.z));
}

}  // namespace
