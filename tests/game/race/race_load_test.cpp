// Loading and unloading a race from a small written archive: what a time
// trial and a six-kart race hold once loaded, what the load asks of the
// loading window and the displays, and what unload leaves.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <utility>

#include "foundation/timer.h"
#include "game/kart/vehicle_master.h"
#include "game/saves/highscore.h"
#include "scene/camera_item.h"
#include "scene/physics_object.h"
#include "scene/scene.h"
#include "scene/scene_root.h"
#include "tests/game/race/race_fixture.h"

namespace {

using namespace race_fixture;

std::vector<float> sixKartProgress() {
  std::vector<float> p = {0, 10, 30};
  for (int i = 1; i <= 6; ++i) p.push_back(30.0f + 40.0f * static_cast<float>(i) / 6.0f);
  for (float v : {70.0f, 75.0f, 80.0f, 85.0f, 88.0f, 89.0f, 90.0f, 95.0f, 100.0f}) p.push_back(v);
  return p;
}

void expectProgress(const std::vector<float>& got, const std::vector<float>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(got[i], want[i], 1e-4) << "report " << i;
}

dSpaceID spaceOf(Scene& scene, int kart) {
  auto* col = dynamic_cast<PhysicsObject*>(scene.findItem("col", -1, kart + 1));
  return col ? dGeomGetSpace(col->spaceGeom()) : nullptr;
}

TEST_F(RaceTest, ATimeTrialHasOneKartOneViewAndEveryBoxWaitsBelowTheTrack) {
  chooseRace(config, 0);
  ASSERT_TRUE(load());
  EXPECT_EQ(race->m_kartCount, 1);
  EXPECT_EQ(race->m_viewCount, 1);
  ASSERT_NE(race->m_karts[0], nullptr);
  EXPECT_NE(race->m_karts[0]->getMaster(), nullptr);
  for (int k = 1; k < Race::kMaxKarts; ++k) EXPECT_EQ(race->m_karts[k], nullptr);
  // The time trial's only record is the player's: nobody is added.
  EXPECT_EQ(config.m_player[1].get().character, -1);

  ASSERT_EQ(race->m_boxes.size(), 2u);
  for (std::size_t b = 0; b < race->m_boxes.size(); ++b) {
    Matrix4x3 world;
    race->m_boxes[b]->worldMatrix(world, 0.0, true);
    EXPECT_FLOAT_EQ(world.m[13], 0.8f - 100.0f);
    EXPECT_FLOAT_EQ(world.m[12], 3.0f * static_cast<float>(b));
    auto* box = dynamic_cast<PhysicsObject*>(race->m_boxes[b]);
    ASSERT_NE(box, nullptr);
    EXPECT_FLOAT_EQ(static_cast<float>(dGeomGetPosition(box->geom)[1]), 0.8f - 100.0f) << "the geom went along";
  }
  expectProgress(gui.progress, {0, 10, 30, 70, 70, 75, 80, 85, 88, 89, 90, 95, 100});
}

TEST_F(RaceTest, ASixKartRaceFillsTheEmptyRecordsWithComputerDriversAndSetsEveryPartUp) {
  chooseRace(config, 1);
  config.m_language = 7;  // out of range: the first language
  config.m_skipMenu = 1;
  ConfigPlayer* own = config.m_player[0].modify();
  own->raceReady[0] = own->raceReady[1] = 1;
  ASSERT_TRUE(load());
  EXPECT_EQ(Race::s_instance, race.get());
  EXPECT_EQ(gui.textFile, "D:\\Tamberlok/menu/IngameTexts.xml");
  EXPECT_EQ(gui.language, 0);
  EXPECT_EQ(config.m_skipMenu, 0);
  EXPECT_EQ(race->m_kartCount, 6);

  // The records: the player's untouched, the others computer drivers with
  // the free characters and karts in order, sent but never overwritten.
  EXPECT_EQ(config.m_controlType[0], 0);
  EXPECT_EQ(config.m_player[0].getFlags(), 3u);
  EXPECT_EQ(config.m_player[0].get().raceReady[0], 0);
  EXPECT_EQ(config.m_player[0].get().raceReady[1], 0);
  const char* names[] = {"", "Affe", "Alien", "Kroet", "Pumpkin", "Tod"};
  for (int i = 1; i < 6; ++i) {
    SCOPED_TRACE("record " + std::to_string(i));
    const ConfigPlayer& r = config.m_player[i].get();
    EXPECT_EQ(r.character, i);
    EXPECT_EQ(r.kart, i);
    EXPECT_EQ(config.m_controlType[i], 5);
    EXPECT_EQ(config.m_player[i].getFlags(), 2u);
    EXPECT_STREQ(r.name, names[i]);
    ASSERT_NE(race->m_karts[i], nullptr);
    EXPECT_TRUE(race->m_karts[i]->controller()->isAI());
  }

  // The computer drivers' collision boxes meet walls and stampers; the
  // player's stays with the karts.
  Scene& scene = *race->m_scene;
  EXPECT_EQ(spaceOf(scene, 0), scene.physics().space(kKartSpace));
  for (int k = 1; k < 6; ++k) EXPECT_EQ(spaceOf(scene, k), scene.physics().space(kComputerSpace)) << "kart " << k;

  // Sounds by slot, not in the order they are listed in.
  EXPECT_EQ(kartSound(0, 2)->file, "D:\\Tamberlok/soundfx/kart_hit_rakete.wav");
  EXPECT_TRUE(race->m_karts[0]->m_items.sounds[5].empty());
  EXPECT_EQ(kartSound(3, 22)->file, "D:\\Tamberlok/soundfx/raketeflug3.wav");
  EXPECT_FLOAT_EQ(kartSound(3, 22)->minDistance, 20.0f);
  RecordingSoundBuffer* engine = kartSound(5, 0);
  EXPECT_EQ(engine->file, "D:\\Tamberlok/soundfx/cart01.wav");
  EXPECT_EQ(engine->flags, 0x82u);
  EXPECT_FLOAT_EQ(engine->volume, 0.45f);
  EXPECT_FLOAT_EQ(engine->minDistance, 5.0f);
  EXPECT_FLOAT_EQ(engine->maxDistance, 100000.0f);
  EXPECT_TRUE(engine->isPlaying());
  EXPECT_TRUE(engine->loop);
  EXPECT_FLOAT_EQ(kartSound(5, 20)->volume, 1.0f);
  EXPECT_FALSE(kartSound(5, 20)->isPlaying());

  // Music and countdown, the scene's sounds.
  ASSERT_NE(race->m_music, nullptr);
  EXPECT_FLOAT_EQ(recorded(race->m_music.get())->volume, 0.6f);
  EXPECT_EQ(recorded(race->m_music.get())->flags, 2u);
  EXPECT_TRUE(race->m_music->isPlaying());
  EXPECT_FLOAT_EQ(recorded(race->m_beepSound.get())->volume, 0.9f);
  EXPECT_EQ(recorded(race->m_startSound.get())->file, "D:\\Tamberlok/soundfx/race_start01.wav");
  EXPECT_FALSE(race->m_startSound->isPlaying());
  EXPECT_FLOAT_EQ(scene.soundVolume, 0.75f);
  ASSERT_EQ(race->m_soundObjects.size(), 1u) << "the stamper, not the camp fire";
  RecordingSoundBuffer* stamper = recorded(race->m_soundObjects[0]->sound.get());
  EXPECT_EQ(race->m_soundObjects[0]->name, "stampfer");
  EXPECT_FALSE(stamper->isPlaying());
  EXPECT_FLOAT_EQ(stamper->minDistance, 4.0f);
  EXPECT_FLOAT_EQ(stamper->maxDistance, 1000000.0f);
  EXPECT_FLOAT_EQ(sound.factors[0], 1.0f);
  EXPECT_FLOAT_EQ(sound.factors[2], 2.0f);
  // The listener sits at the first view's camera.
  EXPECT_FLOAT_EQ(sound.listener[0], 1.0f);
  EXPECT_FLOAT_EQ(sound.listener[1], 3.0f);
  EXPECT_FLOAT_EQ(sound.listener[2], -20.0f);

  // The collision spaces that meet, both ways; no others.
  int installed = 0;
  for (int a = 0; a < kSpaceCount; ++a) {
    for (int b = 0; b < kSpaceCount; ++b) {
      if (scene.physics().spacePairTable[a][b] != race->m_spacePair.get()) continue;
      ++installed;
      EXPECT_EQ(scene.physics().spacePairTable[b][a], race->m_spacePair.get()) << a << ", " << b;
    }
  }
  EXPECT_EQ(installed, 15 * 2 + 3) << "18 pairs, three of them a space with itself";
  EXPECT_TRUE(race->m_spacePair->collide);
  EXPECT_EQ(scene.physics().spacePairTable[3][11], race->m_spacePair.get());

  // The rest of the set-up.
  auto* camera = dynamic_cast<CameraItem*>(scene.cameras[0].get());
  ASSERT_NE(camera, nullptr);
  EXPECT_FLOAT_EQ(camera->zoomFactor.value, 1.5f);
  EXPECT_EQ(scene.cameras.size(), 2u + 6u) << "the track's, the one made, one per kart";
  EXPECT_FLOAT_EQ(scene.findItem("Motor", -1, 4)->scale[0].value, 0.5f);
  EXPECT_EQ(race->m_countdownState, Race::kCountdownWaiting);
  ASSERT_NE(race->m_timer, nullptr);
  EXPECT_FALSE(race->m_timer->isRunning());
  EXPECT_EQ(pipeline->viewportX, 0);
  EXPECT_EQ(pipeline->targetWidth, 800);
  EXPECT_EQ(pipeline->targetHeight, 600);
  EXPECT_EQ(race->m_karts[0]->m_sectorHistory[3], 1);
  ASSERT_NE(gui.displays, nullptr);
  EXPECT_EQ(gui.race, race.get());
  EXPECT_EQ(gui.displays->calls, (std::vector<std::string>{"updateExtraIcon 0 0", "setMinimapMarkerColour 0 0 1"}));
  race->updateHudDisplays();
  EXPECT_EQ(gui.displays->updates, 1);
  EXPECT_TRUE(std::filesystem::exists(HighscoreTables::kFileName)) << "a missing score file is written at once";
  ASSERT_NE(race->m_highscores, nullptr);
  EXPECT_FLOAT_EQ(race->m_highscores->m_timeTrial[0].getEntry(0, 0)->time, 9999999.0f) << "reset rows";
  expectProgress(gui.progress, sixKartProgress());
}

// The race's files, counting how often each is opened (over every clone).
class OpenCountingFile : public MemoryFile {
 public:
  OpenCountingFile() { putRaceFiles(*this); }
  OpenCountingFile(std::shared_ptr<Store> store, std::shared_ptr<std::map<std::string, int>> opens)
      : MemoryFile(std::move(store)), m_opens(std::move(opens)) {}
  File* clone() const override { return new OpenCountingFile(storeForClone(), m_opens); }
  bool open(const char* name) override {
    ++(*m_opens)[name ? name : ""];
    return MemoryFile::open(name);
  }
  std::shared_ptr<std::map<std::string, int>> m_opens = std::make_shared<std::map<std::string, int>>();
};

TEST_F(RaceTest, SixKartsReadEachKartSoundFileOnceAndEachPlaysItsOwnCopy) {
  chooseRace(config, 1);
  OpenCountingFile files;
  ASSERT_TRUE(race->load(&files, &sound, config));
  ASSERT_EQ(race->m_kartCount, 6);
  int kartSounds = 0;
  for (int slot = 0; slot < KartItems::kSoundSlots; ++slot) {
    const std::string name = kartSoundFile(slot, 0);
    if (name.empty()) continue;
    ++kartSounds;
    EXPECT_EQ((*files.m_opens)[name], 1) << name;
    const KartSoundSlot& first = race->m_karts[0]->m_items.sounds[static_cast<std::size_t>(slot)];
    ASSERT_FALSE(first.empty()) << name;
    for (int k = 1; k < 6; ++k) {
      const KartSoundSlot& own = race->m_karts[k]->m_items.sounds[static_cast<std::size_t>(slot)];
      ASSERT_FALSE(own.empty()) << name << " of kart " << k;
      EXPECT_EQ(kartSound(k, slot)->file, name);
      EXPECT_NE(own.channel.get(), first.channel.get()) << "a read position of its own";
      EXPECT_NE(own.buffer.get(), first.buffer.get());
      EXPECT_EQ(own.channel->getByteSize(), first.channel->getByteSize());
      EXPECT_GT(own.channel->getByteSize(), 0);
    }
  }
  EXPECT_GT(kartSounds, 10);
  EXPECT_TRUE(race->m_kartSoundSources.empty()) << "the shared sources go once the karts hold their copies";
}

TEST_F(RaceTest, UnloadFreesEverythingAndIsSafeTwice) {
  chooseRace(config, 1);
  ASSERT_TRUE(load());
  gui.progress.clear();
  const int registered = [&] {
    int n = 0;
    for (int id = 32; id < 1460; ++id) n += control.getValueId(id) != nullptr;
    return n;
  }();
  EXPECT_GT(registered, 0);
  EXPECT_TRUE(race->unload());
  for (Vehicle* kart : race->m_karts) EXPECT_EQ(kart, nullptr);
  EXPECT_EQ(race->m_root, nullptr);
  EXPECT_EQ(race->m_scene, nullptr);
  EXPECT_EQ(race->m_music, nullptr);
  EXPECT_EQ(race->m_hud, nullptr);
  EXPECT_EQ(race->m_timer, nullptr);
  EXPECT_TRUE(race->m_boxes.empty());
  EXPECT_EQ(Race::s_instance, nullptr);
  for (int id = 32; id < 1460; ++id) ASSERT_EQ(control.getValueId(id), nullptr) << "kart value " << id;
  EXPECT_TRUE(sound.buffers().empty()) << "every sound the race made is gone";
  expectProgress(gui.progress, {0, 10, 20, 30, 30, 50, 55, 80, 82.5f, 85, 87.5f, 90, 92.5f, 95, 100});
  EXPECT_TRUE(race->unload());
  // And the race loads again over the same control.
  EXPECT_TRUE(load());
}

TEST_F(RaceTest, TheSurfaceKindsStandAtTheirPairsBothWaysAndNowhereElse) {
  chooseRace(config, 0);
  ASSERT_TRUE(load());
  Scene& scene = *race->m_scene;
  ASSERT_NE(scene.physics().surfaceTable[6][19], &scene.physics().defaultSurface)
      << "the race installs no surface kinds";
  const int pairs[][2] = {{5, 0},  {5, 25}, {5, 26},  {5, 8},   {6, 1},  {6, 6},   {6, 12},  {12, 0}, {12, 1},
                          {6, 13}, {6, 14}, {6, 15},  {6, 16},  {6, 19}, {6, 20},  {6, 21},  {6, 22}, {6, 23},
                          {6, 7},  {18, 0}, {18, 25}, {18, 26}, {18, 1}, {18, 12}, {18, 16}, {18, 14}};
  std::set<std::pair<int, int>> listed;
  std::set<ODEJointSurface*> kinds;
  for (const auto& [a, b] : pairs) {
    listed.insert({a, b});
    listed.insert({b, a});
    EXPECT_NE(scene.physics().surfaceTable[a][b], &scene.physics().defaultSurface) << a << ", " << b;
    EXPECT_EQ(scene.physics().surfaceTable[a][b], scene.physics().surfaceTable[b][a]) << a << ", " << b;
    kinds.insert(scene.physics().surfaceTable[a][b]);
  }
  EXPECT_EQ(kinds.size(), 17u) << "one object per kind and the obstacles' plain one";
  for (int a = 0; a < kSurfaceKindCount; ++a) {
    for (int b = 0; b < kSurfaceKindCount; ++b) {
      if (listed.count({a, b})) continue;
      ASSERT_EQ(scene.physics().surfaceTable[a][b], &scene.physics().defaultSurface) << a << ", " << b;
    }
  }
}

TEST_F(RaceTest, TheTracksFewMemberHashSpacesCollideAsSimpleSpacesInTheirOwnPlaces) {
  chooseRace(config, 1);
  ASSERT_TRUE(load());
  PhysicsWorld& physics = race->m_scene->physics();
  ASSERT_EQ(physics.spaceCount(), 12) << "the track lists twelve, three of them hash spaces";
  for (int i = 0; i < physics.spaceCount(); ++i) {
    const auto space = reinterpret_cast<dGeomID>(physics.space(i));
    EXPECT_EQ(dSpaceGetClass(physics.space(i)), dSimpleSpaceClass) << i;
    EXPECT_EQ(reinterpret_cast<std::intptr_t>(dGeomGetData(space)), i) << "the index the near callback reads";
    EXPECT_EQ(dGeomGetSpace(space), i == 0 ? nullptr : physics.space(0)) << i;
  }
  EXPECT_EQ(dSpaceGetNumGeoms(physics.space(0)), 11);
  for (int k = 1; k < 6; ++k) EXPECT_EQ(spaceOf(*race->m_scene, k), physics.space(kComputerSpace)) << "kart " << k;
}

TEST(RaceFactoryTable, EachControlTypeGetsItsKindOfKart) {
  using Kind = RaceFactory::KartKind;
  const std::pair<int, Kind> withAuthority[] = {{0, Kind::Simulated}, {1, Kind::Simulated}, {2, Kind::Simulated},
                                                {3, Kind::Followed},  {4, Kind::Followed},  {5, Kind::Simulated},
                                                {6, Kind::None},      {-1, Kind::None}};
  for (const auto& [type, kind] : withAuthority) EXPECT_EQ(RaceFactory::kindFor(type, true), kind) << type;
  const std::pair<int, Kind> without[] = {{0, Kind::None},      {1, Kind::None}, {2, Kind::None}, {3, Kind::Followed},
                                          {4, Kind::Simulated}, {5, Kind::None}, {99, Kind::None}};
  for (const auto& [type, kind] : without) EXPECT_EQ(RaceFactory::kindFor(type, false), kind) << type;
}

}  // namespace
