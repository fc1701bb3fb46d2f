// Every track of the sample archive loaded by the race twice, with karts 0
// to 5 and then 2 to 7 under drivers 0 to 5, as a race merges them into the
// track scene: every name the load asks for opens, nothing is reported, and
// the merged scene holds what the karts, the surfaces and the frame look
// up. One load per kart set serves every check of a track.
#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <set>
#include <utility>

#include "foundation/archive_file.h"
#include "foundation/channel_group.h"
#include "game/kart/kart_items.h"
#include "game/kart/kart_load.h"
#include "game/race/race.h"
#include "game/saves/config.h"
#include "net/net_control.h"
#include "scene/object_item.h"
#include "scene/physics_object.h"
#include "scene/scene.h"
#include "scene/scene_root.h"
#include "sound/sound_channel.h"
#include "tests/support/sample_archive.h"
#include "tests/tools/recording_file.h"
#include "tests/tools/sample_race_rig.h"
#include "tools/sample_data/track_samples.h"

namespace {

constexpr int kKarts = 6;

// A name as the archive finds it: backslashes, any case.
std::string archiveName(std::string name) {
  for (char& c : name) c = c == '/' ? '\\' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

// The pairs of surface kinds the race gives a contact surface; geoms of
// such a pair must be able to meet.
constexpr std::pair<int, int> kSurfacePairs[] = {
    {5, 0},  {5, 25}, {5, 26},  {5, 8},   {6, 1},  {6, 6},   {6, 12},  {12, 0},  {12, 1},
    {6, 13}, {6, 14}, {6, 15},  {6, 16},  {6, 19}, {6, 20},  {6, 21},  {6, 22},  {6, 23},
    {6, 7},  {18, 0}, {18, 25}, {18, 26}, {18, 1}, {18, 12}, {18, 16}, {18, 14},
};

// Kart 0 pushes nothing; the others are the race's own computer drivers.
class StandingFirst : public RaceFactory {
 protected:
  std::unique_ptr<Controller> makeController(const KartOrder& order) override {
    if (order.index == 0) return std::make_unique<StandingController>();
    return RaceFactory::makeController(order);
  }

 private:
  class StandingController : public Controller {
   public:
    bool left() override { return false; }
    bool right() override { return false; }
    bool accelerate() override { return false; }
    bool brake() override { return false; }
    bool secondaryAction() override { return false; }
    bool useExtra() override { return false; }
  };
};

class SampleRace : public SampleRaceRig {
 protected:
  // A six-kart race on the test's track: record i drives kart firstKart + i
  // with character i from grid slot i.
  bool load(int firstKart) {
    race = std::make_unique<Race>(pipeline.get(), &gui, control);
    config.m_game.set(1);
    config.m_track.set(GetParam());
    config.m_ccm.set(1);
    config.m_playType = 0;
    for (int i = 0; i < Config::kPlayerCount; ++i) {
      ConfigPlayer* r = config.m_player[i].modify();
      r->character = i;
      r->kart = firstKart + i;
      r->startPosition = i;
      config.m_controlType[i] = i == 0 ? kControlUserSingle : kControlAI;
    }
    race->setFactory(std::make_unique<StandingFirst>());
    return race->load(&files, &sound, config);
  }
  void checkMerge(int firstKart);

  // Every file the load asks for, and whether the archive had it.
  RecordingFile files{builtSampleArchive()};
};

void SampleRace::checkMerge(int firstKart) {
  SCOPED_TRACE("karts from " + std::to_string(firstKart));
  ASSERT_TRUE(load(firstKart));
  EXPECT_EQ(lastMessage(), "");
  EXPECT_EQ(files.missing(), std::vector<std::string>{});
  // What the load asked for: the track, its maps, lines, points and tune,
  // and every kart's and driver's files.
  std::set<std::string> asked;
  for (const auto& [name, found] : files.log()) asked.insert(archiveName(name));
  const SampleTrack& track = *findSampleTrack(GetParam());
  for (const std::string& name :
       {std::string(track.sceneFile), musicFile(track), positionMapFile(track), lightMapFile(track),
        resetMapFile(track), aiFile(track, "ai_respawn.dat"), aiFile(track, "ai_rakete.dat"), aiLineFile(track, 0),
        aiLineFile(track, 4), kartSceneFile(firstKart + 5), characterSceneFile(5), kartSoundFile(0, 1)})
    EXPECT_EQ(asked.count(archiveName(name)), 1u) << name;
  Scene& scene = *race->m_scene;

  // The track's camera and the race's own, then one per kart; the drivers
  // bring none.
  EXPECT_EQ(scene.cameras.size(), 2u + kKarts);
  EXPECT_EQ(scene.countItems("start", -1), kKarts);
  for (const char* name : {"Vehicle", "col", "Motor", "Character", "CameraTarget"})
    EXPECT_EQ(scene.countItems(name, -1), kKarts) << name;
  const std::string extras = "D:\\Tamberlok/3dobjects_extras/";
  EXPECT_EQ(scene.countItems(extras + "bubble.lwo", 0), 4 * kKarts) << "one in each kart, three the race adds";

  for (int k = 0; k < kKarts; ++k) {
    SCOPED_TRACE("kart " + std::to_string(k));
    Vehicle* kart = race->m_karts[k];
    ASSERT_NE(kart, nullptr);
    // Its own instance of everything it looks up.
    for (const char* name : {"Vehicle", "col", "Motor", "Character"})
      EXPECT_NE(scene.findItem(name, -1, k + 1), nullptr) << name;
    const KartMotions& motions = kart->m_motions;
    ASSERT_NE(motions.m_driver, nullptr);
    ASSERT_NE(motions.m_body, nullptr);
    EXPECT_EQ(motions.m_driver->motions.size() + motions.m_body->motions.size(), 24u);
    for (int index : motions.m_driverIndex) EXPECT_GE(index, 0);
    for (int index : motions.m_bodyIndex) EXPECT_GE(index, 0);
    for (int layer = 2; layer <= 5; ++layer)
      EXPECT_NE(scene.findItem(kartObjectFile(firstKart + k), layer, 1), nullptr) << "wheel layer " << layer;
    for (const Surface* surface : kart->m_characterModel) EXPECT_NE(surface, nullptr);
    // Every object it finds at layer 0 (its mesh in LAYR 0), and the rest.
    const KartItems& items = kart->m_items;
    for (const SceneItem* item : {items.cameraTarget, items.shadow, items.magnet, items.mine, items.weight,
                                  items.rockets[0], items.rockets[1], items.lasers[0], items.lasers[1]})
      EXPECT_NE(item, nullptr);
    for (const SceneItem* bubble : items.bubbles) EXPECT_NE(bubble, nullptr);
    for (const SceneItem* part : items.explosionParts) EXPECT_NE(part, nullptr);
    for (const SceneItem* puff : items.smoke) EXPECT_NE(puff, nullptr);
    // Every sound the race plays in 3D is mono.
    for (int slot = 0; slot < KartItems::kSoundSlots; ++slot) {
      const KartSoundSlot& s = kart->m_items.sounds[static_cast<std::size_t>(slot)];
      EXPECT_EQ(s.empty(), slot == 5) << "slot " << slot;
      if (!s.empty()) {
        EXPECT_EQ(s.channel->getChannelCount(), 1) << "slot " << slot;
      }
    }
  }

  // Geoms whose kinds the race gives a contact surface meet: their spaces
  // are a pair the race lets collide.
  std::set<std::pair<int, int>> present;  // (kind, space)
  for (const auto& item : scene.objects) {
    const auto* p = dynamic_cast<const PhysicsObject*>(item.get());
    if (!p || !p->geom) continue;
    present.insert({p->surfaceKind, p->spaceIndex});
    EXPECT_GT(p->spaceIndex, 0) << p->name << " lies in the top space";
    EXPECT_LT(p->spaceIndex, scene.physics().spaceCount()) << p->name;
  }
  std::set<int> kinds;
  for (const auto& [kind, space] : present) kinds.insert(kind);
  for (int kind : {1, 5, 6, 13, 18, 19}) EXPECT_EQ(kinds.count(kind), 1u) << "kind " << kind;
  EXPECT_GE(kinds.count(0) + kinds.count(25) + kinds.count(26), 1u) << "ground";
  for (const auto& [kindA, spaceA] : present)
    for (const auto& [kindB, spaceB] : present)
      for (const auto& [a, b] : kSurfacePairs)
        if (a == kindA && b == kindB) {
          EXPECT_TRUE(scene.physics().spacePairTable[spaceA][spaceB]->collide)
              << "kinds " << a << " (space " << spaceA << ") and " << b << " (space " << spaceB << ")";
        }

  EXPECT_GE(race->m_boxes.size(), 3u) << "extra boxes";
  for (const auto& item : scene.objects) {
    const auto* o = dynamic_cast<const ObjectItem*>(item.get());
    if (o && o->soundSource && o->soundSource->channel) {
      EXPECT_EQ(o->soundSource->channel->getChannelCount(), 1) << o->soundSource->fileName;
    }
  }
  race.reset();
}

TEST_P(SampleRace, MergesKartsAndDriversAsTheRaceDoes) {
  checkMerge(0);
  checkMerge(2);
}

INSTANTIATE_TEST_SUITE_P(EveryTrack, SampleRace, ::testing::Range(0, 8));

}  // namespace
