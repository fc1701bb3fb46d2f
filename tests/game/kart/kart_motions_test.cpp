#include "game/kart/kart_motions.h"

#include <gtest/gtest.h>

#include "foundation/channel_group.h"
#include "game/kart/vehicle_net_values.h"
#include "scene/scene.h"

namespace {

class Constant : public AnimChannel {
 public:
  double evaluate(double) override { return 0.0; }
};

// Actors built as the scene loader leaves them: each motion one envelope
// of one shared channel group.
class KartMotionsTest : public ::testing::Test {
 protected:
  MixerActor& actor(const std::string& name, const std::vector<std::string>& motionNames) {
    scene.actors.push_back(std::make_unique<MixerActor>());
    MixerActor& a = *scene.actors.back();
    a.name = name;
    groups.push_back(std::make_unique<ChannelGroup>());
    for (const std::string& motionName : motionNames) {
      scene.motions.push_back(std::make_unique<MixerMotion>());
      MixerMotion& m = *scene.motions.back();
      m.name = motionName;
      m.addChannel(groups.back().get(), groups.back()->addEnvelope(std::make_unique<Constant>()));
      a.motions.push_back(&m);
    }
    return a;
  }

  Scene scene{nullptr};
  std::vector<std::unique_ptr<ChannelGroup>> groups;
};

TEST_F(KartMotionsTest, EachKartFindsItsOwnActorsAndMissingMotionsAreMinusOne) {
  actor("Character", {"Fahren"});
  actor("gfd", {"fahren_kart"});
  MixerActor& driver1 = actor("Character", {"Lenken_RE", "Fahren", "Crash"});
  MixerActor& body1 = actor("gfd", {"stampfer_kart", "fahren_kart"});
  KartMotions motions;
  motions.find(scene, 1);
  EXPECT_EQ(motions.m_driver, &driver1);
  EXPECT_EQ(motions.m_body, &body1);
  EXPECT_EQ(motions.m_driverIndex[KartMotions::kDrive], 1);
  EXPECT_EQ(motions.m_driverIndex[KartMotions::kCrash], 2);
  EXPECT_EQ(motions.m_driverIndex[KartMotions::kWinner], -1);  // not motion 0
  EXPECT_EQ(motions.driverMotion(KartMotions::kWinner), nullptr);
  KartMotions none;
  none.find(scene, 5);
  EXPECT_EQ(none.m_driver, nullptr);
  EXPECT_EQ(none.bodyMotion(KartMotions::kBodyDrive), nullptr);
  none.startDriving();  // nothing to play, nothing happens
}

TEST_F(KartMotionsTest, PublishesTheBodyFirstAndAtMostFortyMotions) {
  std::vector<std::string> many;
  for (int i = 0; i < 35; ++i) many.push_back(std::string("m") + std::to_string(i));
  many.push_back("Fahren");
  actor("Character", many);
  actor("gfd", {"stampfer_kart", "fahren_kart", "x", "y", "z", "w"});
  KartMotions motions;
  motions.find(scene, 0);
  motions.startDriving();
  NetControl control;
  VehicleNetValues values(control, 0, VehicleNetValues::Side::Master);
  motions.publish(values);
  // Body: stampfer 0, fahren_kart 1 (driving), then the driver from entry 6.
  EXPECT_EQ(values.m_netMotionIntensity[0].get(), 0.0f);
  EXPECT_EQ(values.m_netMotionIntensity[1].get(), 1.0f);
  EXPECT_EQ(values.m_netMotionSpeed[1].get(), 1.0f);
  // The driver's "Fahren" is its 36th motion: entry 6 + 35 = 41, past the
  // 40 entries, so it is not published and nothing overflows.
  for (int i = 2; i < 40; ++i) EXPECT_EQ(values.m_netMotionIntensity[static_cast<std::size_t>(i)].get(), 0.0f) << i;
}

}  // namespace
