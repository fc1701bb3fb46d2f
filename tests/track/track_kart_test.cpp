// A simulated kart on the sample tracks: on track 0 it settles on its
// ground rays at the first start item, gains speed with the throttle held,
// and the walls keep it on the track; on the test ring, the throttle alone
// takes it round along the outer wall.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "foundation/pcx_image.h"
#include "game/kart/controller.h"
#include "game/kart/kart_surfaces.h"
#include "game/kart/vehicle_master.h"
#include "game/saves/config.h"
#include "lightwave/lws_loader.h"
#include "tests/track/track_fixture.h"

namespace {

class Throttle : public Controller {
 public:
  bool left() override { return false; }
  bool right() override { return false; }
  bool accelerate() override { return true; }
  bool brake() override { return false; }
  bool secondaryAction() override { return false; }
  bool useExtra() override { return false; }
};

// Distance from a point to the centre line, sampled every few centimetres.
float offCentre(float x, float z) {
  float best = 1e9f;
  for (int i = 0; i < 20000; ++i) {
    const track0::Point2 c = track0::centreAt(i / 20000.0);
    best = std::min(best, std::hypot(c.x - x, c.z - z));
  }
  return best;
}

class TrackKart : public PipelineTest {
 protected:
  virtual const SampleTrack& track() const { return track0::track(); }
  virtual ArchiveFile& archive() const { return trackArchive(); }
  void SetUp() override {
    PipelineTest::SetUp();
    build(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    root = std::make_unique<SceneRoot>(pipeline.get(), "race");
    scene = loader.load(*root, track().sceneFile, archive());
    ASSERT_NE(scene, nullptr);
    tables.install(*scene);
    for (int ground : {kSurfaceRoad, kSurfaceSlidingGround, kSurfaceSlowGround})
      surfaces(kSurfaceKartRay, ground, &rays);
    surfaces(kSurfaceKartRay, kSurfaceFallZone, &fall);
    surfaces(kSurfaceKartBody, kSurfaceWall, &walls);
    // The kart's scene brings its chassis null and its collision box.
    ASSERT_TRUE(loadLWS(*scene, nullptr, &archive(), "D:\\Tamberlok\\3dobjects_cars\\kart_1.lws", 0.0, 0.7));
  }
  void TearDown() override {
    kart.reset();
    root.reset();
    PipelineTest::TearDown();
  }
  void surfaces(int a, int b, ODEJointSurface* s) {
    scene->physics().surfaceTable[a][b] = scene->physics().surfaceTable[b][a] = s;
  }
  void makeKart() {
    kart = std::make_unique<VehicleMaster>(*scene, std::make_unique<Throttle>(), 0, nullptr, nullptr, 0, "", config,
                                           control, readTrackPoints(archive(), config.m_track.get()).get());
    slots[0] = kart.get();
    auto* col = dynamic_cast<PhysicsObject*>(scene->findItem("col", -1, 1));
    ASSERT_NE(col, nullptr);
    EXPECT_EQ(col->surfaceKind, kSurfaceKartBody);
    EXPECT_EQ(col->spaceIndex, kSpaceKarts);
    col->prepareOnce();
    kart->m_net.m_active.set(true);
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
  std::unique_ptr<VehicleMaster> kart;
  double time = 0.0;
};

TEST(KartSampleData, TuningFilesGiveTheirSpeedButNotTheirTurboOrSteering) {
  for (int engineClass = 0; engineClass < 3; ++engineClass)
    for (int character = 0; character < 6; ++character) {
      KartTuning tuning;
      tuning.fileName = KartTuning::fileNameFor(engineClass, character);
      ASSERT_TRUE(tuning.load(trackArchive())) << tuning.fileName;
      EXPECT_GE(tuning.maxSpeed, 0.29f);
      EXPECT_FLOAT_EQ(tuning.turboMaxSpeed, tuning.maxSpeed * 1.25f);
      EXPECT_FLOAT_EQ(tuning.steerAngle, 1.16f);
    }
}

TEST_F(TrackKart, SettlesAtTheStartDrivesOffAndTheWallsKeepItOnTheTrack) {
  makeKart();
  Position3 start;
  kart->getPosition(start);
  int steps = 0;
  // The first step already has the throttle held; settling is measured
  // by the rays finding the road.
  while (kart->m_drive.m_airborne && steps < 100) {
    step();
    ++steps;
  }
  ASSERT_LT(steps, 100) << "never landed";
  EXPECT_NEAR(kart->m_drive.m_target.y, 0.0f, 0.05f);

  // Held on, the kart gains `acceleration` every step until the road
  // bends into the wall ahead; the wall turns it along the road, slower, and
  // it never leaves the track.
  float previous = kart->m_drive.m_velocity;
  bool gainedEveryStep = true, slowedAtTheWall = false;
  Position3 p;
  for (int i = 0; i < 1500; ++i) {
    step();
    const float v = kart->m_drive.m_velocity;
    if (!slowedAtTheWall && v < previous) {
      slowedAtTheWall = true;
      EXPECT_GT(previous, 0.15f) << "the first slowing is the wall, far down the road";
    }
    if (!slowedAtTheWall && i > 0) gainedEveryStep = gainedEveryStep && std::fabs(v - previous - 0.000368f) < 1e-6f;
    previous = v;
    kart->getPosition(p);
    ASSERT_GT(p.y, -1.0f) << "step " << i;
    if (i % 50 == 0) {
      ASSERT_LT(offCentre(p.x, p.z), track0::kWallOffset + 0.5f) << "step " << i;
    }
  }
  EXPECT_TRUE(gainedEveryStep);
  EXPECT_TRUE(slowedAtTheWall);
  // The track's point files came from the archive: respawn points 0.3 and
  // the rocket path 1.2 above the road, on the centre line.
  ASSERT_GE(kart->respawnPoints().size(), 40u);
  for (const Position3& point : kart->respawnPoints()) {
    EXPECT_FLOAT_EQ(point.y, 0.3f);
    EXPECT_LT(offCentre(point.x, point.z), 0.1f);
  }
  ASSERT_GT(kart->rocketPath().size(), kart->respawnPoints().size());
  EXPECT_FLOAT_EQ(kart->rocketPath()[0].y, 1.2f);
  EXPECT_GT(std::hypot(p.x - start.x, p.z - start.z), 100.0f);
  EXPECT_EQ(kart->m_drive.m_airborne, 0);
  EXPECT_NEAR(p.y, 0.0f, 0.05f);
}

// The test ring in place of track 1, from its first start item.
class RingKart : public TrackKart {
 protected:
  const SampleTrack& track() const override { return testRingTrack(); }
  ArchiveFile& archive() const override { return testRingArchive(); }
};

// Held throttle alone meets the outer wall at a glancing angle, and the
// wall then turns the kart round the ring lap after lap (slowly, the ring
// being tight); it never gets through a wall nor off the position map.
// (Steering into a wall from a standstill ends head-on, where the kart
// stops.)
TEST_F(RingKart, TheThrottleAloneGoesRoundAlongTheOuterWall) {
  const SampleTrack& ring = track();
  config.m_track.set(ring.index);
  makeKart();
  PcxImage map;
  ASSERT_TRUE(map.decodePCX(archive(), positionMapFile(ring).c_str()));
  ASSERT_EQ(map.pixelCount(), kMapSize * kMapSize);
  const auto hubDistance = [&](const Position3& p) {
    return std::hypot(p.x - static_cast<float>(ring.hub.x), p.z - static_cast<float>(ring.hub.z));
  };
  const Point2 line = centreAt(ring, 0.0);
  const float centreRadius = hubDistance({line.x, 0.0f, line.z});
  // A lap: every sector group passed, then the values wrap at the line.
  std::set<int> groups;
  int previous = -1, alongOuter = 0, samples = 0;
  double lapSeconds = 0.0;
  Position3 p;
  for (int steps = 0; steps < 7000 && lapSeconds == 0.0; ++steps) {
    step();
    kart->getPosition(p);
    ASSERT_GT(p.y, -1.0f) << "step " << steps;
    const float r = hubDistance(p);
    ASSERT_GT(r, centreRadius - ring.wallOffset) << "step " << steps;
    ASSERT_LT(r, centreRadius + ring.wallOffset) << "step " << steps;
    const int value = map.pixels()[mapRow(ring, p.z) * kMapSize + mapColumn(ring, p.x)];
    ASSERT_NE(value, 0) << "on the road at step " << steps;
    if (previous >= 0 && value + 128 < previous && groups.size() == 16) lapSeconds = time;
    if (previous >= 0 && value >= previous) groups.insert(value / 16);
    previous = value;
    if (steps > 800) {
      ++samples;
      if (r > centreRadius + ring.roadHalfWidth - 1.0f) ++alongOuter;
    }
  }
  ASSERT_GT(lapSeconds, 0.0) << "no lap in 70 s";
  EXPECT_GT(alongOuter, samples * 9 / 10);
  EXPECT_GT(kart->m_drive.m_velocity, 0.03f);
}

}  // namespace
