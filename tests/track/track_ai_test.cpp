// A computer driver on sample track 0 with real ODE: from the first start
// item it follows its driving line round the whole lap, on the road, in
// well under twice the time a kart at top speed needs, without being
// taken for stuck more than once.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "foundation/pcx_image.h"
#include "game/kart/controller_ai.h"
#include "game/kart/kart_surfaces.h"
#include "game/kart/vehicle_master.h"
#include "game/saves/config.h"
#include "lightwave/lws_loader.h"
#include "tests/track/track_fixture.h"

namespace {

// Respawns are counted; where the kart comes back is the respawn's own
// business.
class CountingKart : public VehicleMaster {
 public:
  using VehicleMaster::VehicleMaster;
  void respawn() override { ++respawns; }
  int respawns = 0;
};

class TrackAI : public PipelineTest {
 protected:
  void SetUp() override {
    PipelineTest::SetUp();
    build(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    root = std::make_unique<SceneRoot>(pipeline.get(), "race");
    scene = loader.load(*root, track0::track().sceneFile);
    ASSERT_NE(scene, nullptr);
    tables.install(*scene);
    for (int ground : {kSurfaceRoad, kSurfaceSlidingGround, kSurfaceSlowGround})
      surfaces(kSurfaceKartRay, ground, &rays);
    surfaces(kSurfaceKartRay, kSurfaceFallZone, &fall);
    surfaces(kSurfaceKartBody, kSurfaceWall, &walls);
    ASSERT_TRUE(loadLWS(*scene, nullptr, &trackArchive(), "D:\\Tamberlok\\3dobjects_cars\\kart_1.lws", 0.0, 0.7));
    // Kart 1 of a race drives the first line; its items here are the first.
    auto driver = std::make_unique<ControllerAI>(&trackArchive(), 0, config, 1);
    ai = driver.get();
    kart = std::make_unique<CountingKart>(*scene, std::move(driver), 0, nullptr, nullptr, 0, "", config, control,
                                          readTrackPoints(trackArchive(), config.m_track.get()).get());
    slots[0] = kart.get();
    ai->setKart(kart.get());
    ai->setClock(&time);
    auto* col = dynamic_cast<PhysicsObject*>(scene->findItem("col", -1, 1));
    ASSERT_NE(col, nullptr);
    col->prepareOnce();
    kart->m_net.m_active.set(true);
  }
  void TearDown() override {
    kart.reset();
    root.reset();
    PipelineTest::TearDown();
  }
  void surfaces(int a, int b, ODEJointSurface* s) {
    scene->physics().surfaceTable[a][b] = scene->physics().surfaceTable[b][a] = s;
  }
  void step() {
    scene->physics().collide();
    scene->physics().emptyContacts();
    kart->step(time, 0.01);
    time += 0.01;
  }

  TrackLoader loader;
  std::unique_ptr<SceneRoot> root;
  Scene* scene = nullptr;
  RaceTables tables;
  NetControl control;
  Config config{nullptr, control, Config::SavedFile::Ignore};
  Vehicle* slots[6] = {};
  ODEJointSurfaceRay rays{slots};
  ODEJointSurfaceFall fall{slots};
  ODEJointSurfaceCollision walls{slots};
  ControllerAI* ai = nullptr;
  std::unique_ptr<CountingKart> kart;
  double time = 0.0;
};

TEST_F(TrackAI, FollowsItsLineRoundTheLapOnTheRoad) {
  const SampleTrack& track = track0::track();
  // The line came from the archive: a point every 2 m round the lap.
  ASSERT_NEAR(static_cast<double>(ai->line(0).size()), lapLength(track) / kAiLineSpacing, 1.0);
  PcxImage map;
  ASSERT_TRUE(map.decodePCX(trackArchive(), positionMapFile(track).c_str()));
  ASSERT_EQ(map.pixelCount(), kMapSize * kMapSize);
  // Top speed is maxSpeed a step, a hundred steps a second.
  const double fastLap = lapLength(track) / (kart->tuning().maxSpeed * 100.0);
  std::set<int> groups;
  int previous = -1;
  double lapSeconds = 0.0;
  Position3 p;
  for (int steps = 0; time < 3.0 * fastLap && lapSeconds == 0.0; ++steps) {
    step();
    kart->getPosition(p);
    ASSERT_GT(p.y, -1.0f) << "step " << steps;
    const int value = map.pixels()[mapRow(track, p.z) * kMapSize + mapColumn(track, p.x)];
    ASSERT_NE(value, 0) << "off the road at step " << steps;
    // A lap: every sector group passed, then the values wrap at the line.
    if (previous >= 0 && value + 128 < previous && groups.size() == 16) lapSeconds = time;
    if (previous >= 0 && value >= previous) groups.insert(value / 16);
    previous = value;
  }
  ASSERT_GT(lapSeconds, 0.0) << "no lap; reached " << groups.size() << " of 16 sector groups";
  EXPECT_LT(lapSeconds, 2.0 * fastLap);
  EXPECT_LE(kart->respawns, 1);
}

}  // namespace
