// Loads that cannot make a race: a view without a kart, a choice outside
// the file tables, a network race without a seat, a record nobody will
// fill. Each ends false at once with the reason on the loading window and
// leaves nothing behind.
#include <gtest/gtest.h>

#include <chrono>

#include "scene/scene_root.h"
#include "tests/game/race/race_fixture.h"

namespace {

using namespace race_fixture;

class RaceRefusal : public RaceTest {
 protected:
  void expectNothingLeft() {
    EXPECT_EQ(race->m_root, nullptr);
    EXPECT_EQ(race->m_scene, nullptr);
    for (Vehicle* kart : race->m_karts) EXPECT_EQ(kart, nullptr);
    EXPECT_EQ(race->m_timer, nullptr);
    EXPECT_EQ(race->m_texts, nullptr);
    EXPECT_EQ(Race::s_instance, nullptr);
    EXPECT_TRUE(sound.buffers().empty());
    EXPECT_EQ(control.getState(), NetControl::kStateLeft);
    EXPECT_TRUE(race->unload());
  }
};

TEST_F(RaceRefusal, AControlTypeOutsideTheTableBuildsNoKartAndEveryLoopSkipsTheGap) {
  chooseRace(config, 1);
  ConfigPlayer* r = config.m_player[3].modify();
  r->character = 3;
  r->kart = 3;
  config.m_controlType[3] = 7;
  ASSERT_TRUE(load());
  EXPECT_EQ(race->m_karts[3], nullptr);
  EXPECT_NE(race->m_karts[4], nullptr);
  EXPECT_EQ(race->m_karts[4]->index(), 4);
  race->setPaused(true);
  race->setPaused(false);
  EXPECT_TRUE(race->stopSounds());
  EXPECT_TRUE(race->resumeSounds());
  race->resetProgress();
  EXPECT_TRUE(race->unload());
}

TEST_F(RaceRefusal, AViewWhoseKartWasNotBuiltEndsTheLoad) {
  chooseRace(config, 1);
  config.m_controlType[0] = 6;
  EXPECT_FALSE(load());
  EXPECT_EQ(gui.loadingTexts, std::vector<std::string>{"Verbindung weg"});
  expectNothingLeft();
}

TEST_F(RaceRefusal, ATrackOrEngineClassOutsideTheFileTablesEndsTheLoad) {
  for (auto [track, engineClass] : {std::pair{8, 0}, std::pair{-1, 0}, std::pair{0, 3}, std::pair{0, -1}}) {
    SCOPED_TRACE(std::to_string(track) + ", " + std::to_string(engineClass));
    chooseRace(config, 1, track);
    config.m_ccm.set(engineClass);
    gui.loadingTexts.clear();
    EXPECT_FALSE(load());
    EXPECT_EQ(gui.loadingTexts, std::vector<std::string>{"Verbindung weg"});
    expectNothingLeft();
  }
}

TEST_F(RaceRefusal, ANetworkRaceWithoutASeatEndsBeforeBuildingAnything) {
  chooseRace(config, 1);
  config.m_playType = 2;
  EXPECT_FALSE(load());
  EXPECT_EQ(gui.loadingTexts, std::vector<std::string>{"Verbindung weg"});
  EXPECT_EQ(gui.progress, std::vector<float>{0.0f}) << "nothing was loaded";
  expectNothingLeft();
}

TEST_F(RaceRefusal, ARecordNobodyFillsDoesNotHangALoadWithoutAConnection) {
  chooseRace(config, 1);
  config.m_isAuthority = 0;
  for (int i = 0; i < 6; ++i) {
    ConfigPlayer* r = config.m_player[i].modify();
    r->character = r->kart = i;
    config.m_controlType[i] = i == 0 ? 4 : 3;
  }
  config.m_player[2].modify()->kart = -1;  // a kart of -1 indexes the file tables
  config.m_player[4].modify()->character = 9;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(load());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(gui.loadingTexts, std::vector<std::string>{"Verbindung weg"});
  expectNothingLeft();
}

}  // namespace
