// The sample tracks as a race reads them from the archive: the centre lines
// keep the layout's measures; every driving-line, respawn, rocket-path and
// start point lies on the road; the lines count up the position map once a
// lap; each scene loads cleanly into the race's spaces with its pieces apart
// from the walls; and the sounds, tunes and display images load.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <set>

#include "content/png_writer.h"
#include "foundation/envelope.h"
#include "foundation/pcx_image.h"
#include "game/track/point_file.h"
#include "sound/sound_channel.h"
#include "tests/track/track_fixture.h"
#include "tools/sample_data/track_pieces.h"

namespace {

std::vector<std::uint8_t> entryBytes(const std::string& name) {
  ArchiveFile entry(trackArchive());
  if (!entry.open(name.c_str())) return {};
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(entry.size()));
  if (!bytes.empty() && entry.read(bytes.data(), static_cast<int>(bytes.size())) != static_cast<int>(bytes.size()))
    return {};
  return bytes;
}

// The position map as the race reads it.
class PositionMap {
 public:
  explicit PositionMap(const SampleTrack& track) : m_track(track) {
    EXPECT_TRUE(m_map.decodePCX(trackArchive(), positionMapFile(track).c_str())) << track.number;
    EXPECT_EQ(m_map.pixelCount(), kMapSize * kMapSize);
  }
  int at(float x, float z) const {
    if (m_map.pixelCount() != kMapSize * kMapSize) return 0;
    const MapRect& r = m_track.rect;
    const float u = (x - r.minX) / (r.maxX - r.minX) * 512.0f;
    const float v = 512.0f - (z - r.minZ) / (r.maxZ - r.minZ) * 512.0f;
    const int column = std::clamp(static_cast<int>(u), 0, 511), row = std::clamp(static_cast<int>(v), 0, 511);
    return m_map.pixels()[row * 512 + column];
  }

 private:
  const SampleTrack& m_track;
  PcxImage m_map;
};

TEST(SampleTracks, KeepTheLayoutsMeasures) {
  ASSERT_EQ(sampleTracks().size(), 8u);
  for (const SampleTrack& track : sampleTracks()) {
    SCOPED_TRACE(track.number);
    EXPECT_EQ(&track, findSampleTrack(track.index));
    EXPECT_GE(2.0f * track.roadHalfWidth, 8.0f);
    const double lap = lapLength(track);
    EXPECT_GE(lap, 450.0);
    EXPECT_LE(lap, 1000.0);
    constexpr int kSamples = 2000;
    double previousAngle = 0.0, turned = 0.0;
    for (int i = 0; i < kSamples; ++i) {
      const double f = static_cast<double>(i) / kSamples;
      // The walls' outer faces stay inside the maps' rectangle.
      for (float side : {-1.0f, 1.0f}) {
        const Point2 p = besideCentre(track, f, side * (track.wallOffset + kWallThickness));
        EXPECT_GT(p.x, track.rect.minX);
        EXPECT_LT(p.x, track.rect.maxX);
        EXPECT_GT(p.z, track.rect.minZ);
        EXPECT_LT(p.z, track.rect.maxZ);
      }
      // Radius of the bend from three points 2 m apart.
      const Point2 a = centreAt(track, fractionAlong(track, f, -2.0)), b = centreAt(track, f),
                   c = centreAt(track, fractionAlong(track, f, 2.0));
      const double area2 = std::fabs((b.x - a.x) * (c.z - a.z) - (b.z - a.z) * (c.x - a.x));
      if (area2 > 1e-9) {
        const double radius = std::hypot(b.x - a.x, b.z - a.z) * std::hypot(c.x - b.x, c.z - b.z) *
                              std::hypot(c.x - a.x, c.z - a.z) / (2.0 * area2);
        ASSERT_GE(radius, 25.0) << "at " << f;
      }
      // Once round the hub, anticlockwise, never back.
      const Point2 e = besideCentre(track, f, -track.groundHalfWidth);
      const double angle = std::atan2(e.z - track.hub.z, e.x - track.hub.x);
      if (i > 0) {
        double step = angle - previousAngle;
        if (step < -std::numbers::pi) step += 2.0 * std::numbers::pi;
        ASSERT_GT(step, 0.0) << "at " << f;
        turned += step;
      }
      previousAngle = angle;
    }
    EXPECT_NEAR(turned, 2.0 * std::numbers::pi, 0.05);
    // Distances along the lap: a lap on is the same place a lap later, 10 m
    // on and back is where one started, and 5 m on is 5 m away.
    EXPECT_NEAR(fractionAlong(track, 0.25, lap), 1.25, 1e-6);
    EXPECT_NEAR(fractionAlong(track, fractionAlong(track, 0.6, 10.0), -10.0), 0.6, 1e-6);
    const Point2 from = centreAt(track, 0.1), to = centreAt(track, fractionAlong(track, 0.1, 5.0));
    EXPECT_NEAR(std::hypot(to.x - from.x, to.z - from.z), 5.0, 0.05);
  }
}

std::vector<PointRecord> pointFile(const SampleTrack& track, const std::string& leaf) {
  return readPointFile(trackArchive(), aiFile(track, leaf).c_str(), TrackExtent::ofTrack(-1));
}

TEST(SampleTracks, PointsLieOnTheRoadAndTheLinesCountUpOnceALap) {
  for (const SampleTrack& track : sampleTracks()) {
    SCOPED_TRACE(track.number);
    const PositionMap map(track);
    const double lap = lapLength(track);
    const std::vector<PointRecord> respawn = pointFile(track, "ai_respawn.dat");
    const std::vector<PointRecord> rockets = pointFile(track, "ai_rakete.dat");
    EXPECT_GE(respawn.size(), 40u);
    EXPECT_GE(rockets.size(), static_cast<std::size_t>(lap / 6.0));
    for (const auto* points : {&respawn, &rockets})
      for (const PointRecord& p : *points) EXPECT_NE(map.at(p.position.x, p.position.z), 0);

    for (int line = 0; line < kAiLineCount; ++line) {
      SCOPED_TRACE(line);
      const std::vector<PointRecord> points = pointFile(track, "ai" + std::to_string(line + 2) + ".dat");
      ASSERT_NEAR(static_cast<double>(points.size()), lap / kAiLineSpacing, 1.0);
      // Across the road, 1.5 m left of the centre to 1.5 m right of it.
      const Point2 first = besideCentre(track, 0.0, -1.5f + 0.5f * static_cast<float>(line));
      EXPECT_NEAR(points[0].position.x, first.x, 1e-3);
      EXPECT_NEAR(points[0].position.z, first.z, 1e-3);
      int drops = 0;
      std::set<int> groups;
      for (std::size_t i = 0; i < points.size(); ++i) {
        const PointRecord& p = points[i];
        EXPECT_FLOAT_EQ(p.w, kAiLineSpeed);
        const int value = map.at(p.position.x, p.position.z);
        ASSERT_NE(value, 0) << "point " << i;
        groups.insert(value / 16);
        const PointRecord& next = points[(i + 1) % points.size()];
        // 2 m apart along the centre (less inside a bend, more outside);
        // the last point lies up to 2 m short of the first.
        const double gap = std::hypot(next.position.x - p.position.x, next.position.z - p.position.z);
        const double slack = 0.15;
        if (i + 1 < points.size())
          EXPECT_NEAR(gap, 2.0, slack);
        else
          EXPECT_LE(gap, 2.0 + slack);
        const int following = map.at(next.position.x, next.position.z);
        if (following < value) {
          ++drops;
          EXPECT_GT(value, 240) << "drops only at the line";
          EXPECT_LT(following, 16);
        }
      }
      EXPECT_EQ(drops, 1);
      EXPECT_EQ(groups.size(), 16u);
    }
  }
}

// Records what a ray meets: heights and the kinds of what it hit.
class RayRecorder : public ODEJointSurface {
 public:
  RayRecorder() { m_createJoint = false; }
  ODEJointSurface onContact(const dContactGeom& contact) override {
    heights.push_back(contact.pos[1]);
    for (dGeomID g : {contact.g1, contact.g2})
      if (auto* p = static_cast<PhysicsObject*>(dGeomGetData(g)); p && p->surfaceKind != kSurfaceKartRay)
        kinds.push_back(p->surfaceKind);
    return *this;
  }
  std::vector<double> heights;
  std::vector<int> kinds;
};

// Where each kind belongs in the race's layout.
int spaceOfKind(int kind) {
  switch (kind) {
    case kSurfaceRoad:
    case kSurfaceSlidingGround:
    case kSurfaceSlowGround:
      return kSpaceGround;
    case kSurfaceObstacle:
      return kSpaceObstacles;
    case kSurfaceWall:
    case kSurfaceStamper:
    case kSurfaceCrusher:
      return kSpaceWalls;
    case kSurfaceFallZone:
      return kSpaceFallZones;
    default:
      return kSpaceMarkers;  // line, boxes, pads, reset zones, 20..23
  }
}

class TrackScenes : public PipelineTest, public ::testing::WithParamInterface<int> {
 protected:
  void SetUp() override {
    PipelineTest::SetUp();
    build(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    track = findSampleTrack(GetParam());
    ASSERT_NE(track, nullptr);
    root = std::make_unique<SceneRoot>(pipeline.get(), "race");
    scene = loader.load(*root, track->sceneFile);
    ASSERT_NE(scene, nullptr);
  }
  void TearDown() override {
    root.reset();
    PipelineTest::TearDown();
  }
  std::vector<PhysicsObject*> physics() const {
    std::vector<PhysicsObject*> found;
    for (const auto& item : scene->objects)
      if (auto* p = dynamic_cast<PhysicsObject*>(item.get()); p && p->geom) found.push_back(p);
    return found;
  }
  std::vector<PhysicsObject*> ofKind(int kind) const {
    std::vector<PhysicsObject*> found;
    for (PhysicsObject* p : physics())
      if (p->surfaceKind == kind) found.push_back(p);
    return found;
  }
  // What a ray from (x, y, z) straight down over `length` meets on the
  // ground.
  RayRecorder rayDown(float x, float y, float z, float length) {
    RayRecorder recorder;
    for (int kind : {kSurfaceRoad, kSurfaceSlidingGround, kSurfaceSlowGround})
      scene->physics().surfaceTable[kSurfaceKartRay][kind] = scene->physics().surfaceTable[kind][kSurfaceKartRay] =
          &recorder;
    scene->physics().spacePairTable[kSpaceGround][kSpaceKartRays] =
        scene->physics().spacePairTable[kSpaceKartRays][kSpaceGround] = &pair;
    dGeomRaySet(ray->geom, x, y, z, 0.0, -1.0, 0.0);
    dGeomRaySetLength(ray->geom, length);
    scene->physics().collide();
    scene->physics().emptyContacts();
    for (int kind : {kSurfaceRoad, kSurfaceSlidingGround, kSurfaceSlowGround})
      scene->physics().surfaceTable[kSurfaceKartRay][kind] = scene->physics().surfaceTable[kind][kSurfaceKartRay] =
          nullptr;
    return recorder;
  }
  // One contact per geom met: the nearest.
  void makeRay() {
    const float scale[3] = {1, 1, 1};
    ray = scene->createRay(kSurfaceKartRay, kSpaceKartRays, scale);
    dGeomRaySetClosestHit(ray->geom, 1);
  }

  const SampleTrack* track = nullptr;
  TrackLoader loader;
  std::unique_ptr<SceneRoot> root;
  Scene* scene = nullptr;
  ODESpacePair pair{true};
  PhysicsObject* ray = nullptr;
};

TEST_P(TrackScenes, LoadIntoTheRaceLayoutWithStartsOnTheRoad) {
  EXPECT_EQ(lastMessage(), "");
  EXPECT_EQ(scene->cameras.size(), 1u);
  EXPECT_EQ(scene->physics().spaceCount(), 12);
  EXPECT_GE(scene->lights.size(), 1u);
  EXPECT_EQ(scene->fogMode, 3) << "linear fog";
  for (const char* looked : {"Vehicle", "col", "Motor", "CameraTarget", "Character", "rocketParticles"})
    EXPECT_EQ(scene->findItem(looked, -1, 1), nullptr) << looked << " would shift the karts' instances";

  std::map<int, int> kinds;
  for (PhysicsObject* p : physics()) {
    ++kinds[p->surfaceKind];
    EXPECT_EQ(p->spaceIndex, spaceOfKind(p->surfaceKind)) << p->name << " of kind " << p->surfaceKind;
    EXPECT_EQ(dGeomGetSpace(p->spaceGeom()), scene->physics().space(static_cast<std::size_t>(p->spaceIndex)))
        << p->name;
  }
  EXPECT_GE(kinds[kSurfaceRoad] + kinds[kSurfaceSlidingGround] + kinds[kSurfaceSlowGround], 2)
      << "road and open ground";
  EXPECT_EQ(kinds[kSurfaceWall], 1);
  EXPECT_EQ(kinds[kSurfaceCheckpoint], 1);
  EXPECT_GE(kinds[kSurfaceExtraBox], 3);
  EXPECT_EQ(kinds[kSurfaceExtraBox] % 3, 0) << "boxes in rows of three";
  for (PhysicsObject* box : ofKind(kSurfaceExtraBox)) EXPECT_EQ(box->name, kExtraBoxObject);

  // Six starts behind the line in grid order, on the road, ground below,
  // apart from each other and from the walls.
  const PositionMap map(*track);
  makeRay();
  std::vector<SceneItem*> starts;
  for (const auto& item : scene->objects)
    if (item->name == "start") starts.push_back(item.get());
  ASSERT_EQ(starts.size(), static_cast<std::size_t>(kStartCount));
  const double lap = lapLength(*track);
  double previousBehind = 0.0;
  for (std::size_t i = 0; i < starts.size(); ++i) {
    const float x = starts[i]->position[0].evaluate(0), y = starts[i]->position[1].evaluate(0),
                z = starts[i]->position[2].evaluate(0);
    EXPECT_NE(map.at(x, z), 0) << "start " << i;
    EXPECT_FALSE(rayDown(x, y, z, 4.0f).heights.empty()) << "start " << i;
    // Where along the lap it stands, and how far off the centre.
    double nearest = 0.0;
    float off = 1e9f;
    for (int s = 0; s < 4000; ++s) {
      const Point2 c = centreAt(*track, s / 4000.0);
      const float d = std::hypot(c.x - x, c.z - z);
      if (d < off) off = d, nearest = s / 4000.0;
    }
    const double behind = (1.0 - nearest) * lap;
    EXPECT_GE(behind, 2.5) << "start " << i;
    EXPECT_LE(behind, 25.0) << "start " << i;
    EXPECT_GE(behind, previousBehind - 0.5) << "start " << i << " lies ahead of the slot before it";
    previousBehind = behind;
    EXPECT_LT(off, track->wallOffset - 2.5f) << "start " << i;
    for (std::size_t j = 0; j < i; ++j) {
      const float dx = starts[j]->position[0].evaluate(0) - x, dz = starts[j]->position[2].evaluate(0) - z;
      EXPECT_GT(std::hypot(dx, dz), 1.8f) << "starts " << j << " and " << i << ": karts are 1.5 m long";
    }
  }

  // A kart put back at a respawn point lands on the ground.
  for (const PointRecord& p : pointFile(*track, "ai_respawn.dat")) {
    const RayRecorder hit = rayDown(p.position.x, p.position.y + 0.5f, p.position.z, 4.0f);
    ASSERT_FALSE(hit.heights.empty()) << p.position.x << ", " << p.position.z;
    for (double height : hit.heights) EXPECT_NEAR(height, p.position.y, 0.05);
  }
}

// Pieces in spaces 9 and 10 collide with the walls and each other (9 with
// 9, 9 with 10): grown by half a metre on every side (less 5 cm, for the
// finish line that keeps exactly that), none touches another.
TEST_P(TrackScenes, PiecesKeepHalfAMetreFromTheWallsAndEachOther) {
  std::vector<PhysicsObject*> pieces;
  for (PhysicsObject* p : physics())
    if (p->spaceIndex == kSpaceWalls || p->spaceIndex == kSpaceMarkers) pieces.push_back(p);
  PhysicsObject* walls = ofKind(kSurfaceWall).at(0);
  for (PhysicsObject* p : pieces) {
    if (p == walls) continue;
    ASSERT_EQ(dGeomGetClass(p->geom), dBoxClass) << p->name;
    dVector3 lengths;
    dGeomBoxGetLengths(p->geom, lengths);
    dGeomID grown = dCreateBox(nullptr, lengths[0] + 0.9, lengths[1] + 0.9, lengths[2] + 0.9);
    dGeomSetPosition(grown, dGeomGetPosition(p->geom)[0], dGeomGetPosition(p->geom)[1], dGeomGetPosition(p->geom)[2]);
    dGeomSetRotation(grown, dGeomGetRotation(p->geom));
    for (PhysicsObject* other : pieces) {
      if (other == p || (p->spaceIndex == kSpaceMarkers && other->spaceIndex == kSpaceMarkers)) continue;
      dContactGeom contacts[4];
      EXPECT_EQ(dCollide(grown, other->geom, 4, contacts, sizeof(dContactGeom)), 0)
          << p->name << " (kind " << p->surfaceKind << ") and " << other->name << " (kind " << other->surfaceKind
          << ")";
    }
    dGeomDestroy(grown);
  }
}

// Hazards lie off every driving line, in their spaces; a stamper drops and
// climbs on a three-key envelope and plays one of the stamper sounds the
// race looks for.
TEST_P(TrackScenes, HazardsLieOffTheRacingLine) {
  for (int kind :
       {kSurfaceStamper, kSurfaceCrusher, kSurfaceSpeedUp, kSurfaceResetZone, kSurfaceFallZone, kSurfaceObstacle}) {
    for (PhysicsObject* piece : ofKind(kind)) {
      dVector3 lengths;
      dGeomBoxGetLengths(piece->geom, lengths);
      const dReal* at = dGeomGetPosition(piece->geom);
      const dReal* axes = dGeomGetRotation(piece->geom);  // rows; columns are the box's axes
      // Every line point lies outside the piece's footprint grown by 0.5 m.
      for (int line = 0; line < kAiLineCount; ++line)
        for (const PointRecord& p : pointFile(*track, "ai" + std::to_string(line + 2) + ".dat")) {
          const dReal d[3] = {p.position.x - at[0], 0.0, p.position.z - at[2]};
          const dReal across = d[0] * axes[0] + d[1] * axes[4] + d[2] * axes[8];
          const dReal along = d[0] * axes[2] + d[1] * axes[6] + d[2] * axes[10];
          ASSERT_TRUE(std::fabs(across) > lengths[0] / 2 + 0.5 || std::fabs(along) > lengths[2] / 2 + 0.5)
              << "kind " << kind << " over line " << line;
        }
    }
  }
  for (PhysicsObject* stamper : ofKind(kSurfaceStamper)) {
    ASSERT_NE(stamper->position[1].channel, nullptr);
    const Envelope* height = stamper->position[1].channel->asEnvelope();
    ASSERT_NE(height, nullptr);
    EXPECT_EQ(height->keys().size(), 3u);
    const float up = stamper->position[1].evaluate(0.0), down = stamper->position[1].evaluate(0.4);
    EXPECT_GT(up - down, 2.5f);
    EXPECT_NEAR(stamper->position[1].evaluate(2.4), down, 1e-3) << "over and over";
    ASSERT_NE(stamper->soundSource, nullptr);
    EXPECT_TRUE(stamper->soundSource->fileName == kStamperSound || stamper->soundSource->fileName == kStamperSound2);
    EXPECT_NE(stamper->sound, nullptr);
  }
}

// A reset zone puts back whoever touches it: none reaches onto the paved
// road, where karts race (every corner of its footprint lies at least the
// road's half-width from the centre line).
TEST_P(TrackScenes, ResetZonesLieBeyondTheRoadsEdge) {
  std::vector<Point2> centre;
  for (int i = 0; i < 4000; ++i) centre.push_back(centreAt(*track, i / 4000.0));
  auto fromCentre = [&](double x, double z) {
    double best = 1e30;
    for (std::size_t i = 0; i < centre.size(); ++i) {
      const Point2& a = centre[i];
      const Point2& b = centre[(i + 1) % centre.size()];
      const double ex = b.x - a.x, ez = b.z - a.z, l2 = ex * ex + ez * ez;
      const double t = l2 > 0 ? std::clamp(((x - a.x) * ex + (z - a.z) * ez) / l2, 0.0, 1.0) : 0.0;
      best = std::min(best, std::hypot(x - (a.x + t * ex), z - (a.z + t * ez)));
    }
    return best;
  };
  for (PhysicsObject* zone : ofKind(kSurfaceResetZone)) {
    dVector3 lengths;
    dGeomBoxGetLengths(zone->geom, lengths);
    const dReal* at = dGeomGetPosition(zone->geom);
    const dReal* axes = dGeomGetRotation(zone->geom);  // rows; columns are the box's axes
    for (int sx : {-1, 1})
      for (int sz : {-1, 1}) {
        const dReal across = sx * lengths[0] / 2, along = sz * lengths[2] / 2;
        const double x = at[0] + across * axes[0] + along * axes[2];
        const double z = at[2] + across * axes[8] + along * axes[10];
        EXPECT_GE(fromCentre(x, z), track->roadHalfWidth - 0.01) << zone->name << " corner " << sx << ", " << sz;
      }
  }
}

INSTANTIATE_TEST_SUITE_P(SampleTracks, TrackScenes, ::testing::Range(0, 8));

// Across the tracks every kind of track surface occurs, and both stamper
// sounds play somewhere.
class AllTrackScenes : public PipelineTest {};

TEST_F(AllTrackScenes, HoldEveryKindOfSurfaceAndBothStamperSounds) {
  build(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
  TrackLoader loader;
  std::set<int> kinds;
  std::set<std::string> stamperSounds;
  for (const SampleTrack& track : sampleTracks()) {
    SceneRoot root(pipeline.get(), "race");
    Scene* scene = loader.load(root, track.sceneFile);
    ASSERT_NE(scene, nullptr) << track.number;
    for (const auto& item : scene->objects)
      if (auto* p = dynamic_cast<PhysicsObject*>(item.get()); p && p->geom) {
        kinds.insert(p->surfaceKind);
        if (p->surfaceKind == kSurfaceStamper && p->soundSource) stamperSounds.insert(p->soundSource->fileName);
      }
  }
  EXPECT_EQ(kinds, (std::set<int>{0, 1, 7, 8, 12, 13, 14, 15, 16, 19, 20, 21, 22, 23, 25, 26}));
  EXPECT_EQ(stamperSounds, (std::set<std::string>{kStamperSound, kStamperSound2}));
}

using ForestScene = TrackScenes;

// Track 3: a ray onto each soft stretch meets that ground alone; pad and
// reset zone lie in the markers' space.
TEST_P(ForestScene, SoftGroundLiesAcrossTheRoad) {
  makeRay();
  for (const auto& [f, kind] : {std::pair{0.21, kSurfaceSlidingGround}, std::pair{0.53, kSurfaceSlowGround}})
    for (float lateral : {-5.0f, 0.0f, 5.0f}) {
      const Point2 p = besideCentre(*track, f, lateral);
      const RayRecorder hit = rayDown(p.x, 1.0f, p.z, 4.0f);
      ASSERT_EQ(hit.kinds.size(), 1u);
      EXPECT_EQ(hit.kinds[0], kind);
    }
  const Point2 road = besideCentre(*track, 0.4, 0.0f);
  EXPECT_EQ(rayDown(road.x, 1.0f, road.z, 4.0f).kinds, std::vector<int>{kSurfaceRoad});
  EXPECT_EQ(ofKind(kSurfaceSpeedUp).size(), 1u);
  EXPECT_EQ(ofKind(kSurfaceResetZone).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Robinhood, ForestScene, ::testing::Values(3));

// ---- sounds, music and display images ------------------------------------------

// Zero crossings per second of a 16-bit mono channel's samples.
std::vector<std::int16_t> samplesOf(SoundChannel& channel) {
  std::vector<std::int16_t> samples(static_cast<std::size_t>(channel.getByteSize() / 2));
  channel.Fill(reinterpret_cast<std::uint8_t*>(samples.data()), static_cast<int>(samples.size() * 2));
  return samples;
}

TEST(RaceSounds, AreShortMonoAndTheEnginesLoopRisingInPitch) {
  const char* const names[] = {"cart01",
                               "cart02",
                               "cart03",
                               "kart_extra",
                               "fallen01",
                               "kart_repos",
                               "kanone_schrumpfen01",
                               "grenade02",
                               "turbooil",
                               "shield04",
                               "rakete",
                               "raketeflug3",
                               "kart_hit_rakete",
                               "lachen04",
                               "kart_speedup",
                               "kart_hit_objekt",
                               "kanone_seife01",
                               "laser_shot",
                               "werfen01",
                               "magnet",
                               "gewicht",
                               "carhit06",
                               "kart_hit_wand",
                               "shrink1",
                               "race_count01",
                               "race_start01",
                               "stampfer",
                               "stampfer02"};
  double crossings[3] = {};
  for (const char* name : names) {
    const std::string file = std::string("D:\\Tamberlok\\soundfx\\") + name + ".wav";
    std::unique_ptr<SoundChannel> channel = loadSoundChannel(&trackArchive(), file.c_str());
    ASSERT_NE(channel, nullptr) << name;
    EXPECT_EQ(channel->getChannelCount(), 1) << name;
    EXPECT_EQ(channel->getBitsPerSample(), 16) << name;
    EXPECT_GT(channel->getLength(), 0.05) << name;
    EXPECT_LT(channel->getLength(), 1.5) << name;
    const std::vector<std::int16_t> samples = samplesOf(*channel);
    ASSERT_FALSE(samples.empty());
    int loudest = 0;
    for (std::int16_t v : samples) loudest = std::max(loudest, std::abs(static_cast<int>(v)));
    EXPECT_GT(loudest, 20000) << name << " is audible";
    const std::string n = name;
    if (n.rfind("cart0", 0) == 0 || n == "raketeflug3") {
      // The loop's seam is no louder a step than the sound itself takes.
      int largest = 0;
      for (std::size_t i = 1; i < samples.size(); ++i)
        largest = std::max(largest, std::abs(samples[i] - samples[i - 1]));
      EXPECT_LE(std::abs(samples.front() - samples.back()), largest) << name;
    }
    if (n.rfind("cart0", 0) == 0) {
      int count = 0;
      for (std::size_t i = 1; i < samples.size(); ++i) count += (samples[i - 1] < 0) != (samples[i] < 0);
      crossings[n[5] - '1'] = count / channel->getLength();
    }
  }
  EXPECT_LT(crossings[0], crossings[1]);
  EXPECT_LT(crossings[1], crossings[2]);
}

TEST(TrackMusic, EachTrackHasATuneThatDecodes) {
  for (const SampleTrack& track : sampleTracks()) {
    std::unique_ptr<SoundChannel> tune = loadSoundChannel(&trackArchive(), musicFile(track).c_str());
    ASSERT_NE(tune, nullptr) << track.number;
    EXPECT_GT(tune->getLength(), 4.0) << track.number;
    EXPECT_LT(tune->getLength(), 15.0) << track.number;
    const std::vector<std::int16_t> samples = samplesOf(*tune);
    EXPECT_GT(*std::max_element(samples.begin(), samples.end()), 8000) << track.number;
  }
}

TEST(RaceDisplayImages, ImagesetsNameTheirImagesAndTheMinimapsShowTheRoad) {
  const std::pair<const char*, std::vector<const char*>> sets[] = {
      {"Countdown", {"Count1", "Count2", "Count3", "Count4"}},
      {"Minimap_Objects", {"Red", "Green", "Blue"}},
      {"WrongDirection", {"FullImage"}},
      {"Minimap_Track01", {"Minimap"}},
      {"Minimap_Track02", {"Minimap"}},
      {"Minimap_Track03", {"Minimap"}},
      {"Minimap_Track04", {"Minimap"}},
      {"Minimap_Track05", {"Minimap"}},
      {"Minimap_Track06", {"Minimap"}},
      {"Minimap_Track07", {"Minimap"}},
      {"Minimap_Track08", {"Minimap"}}};
  for (const auto& [set, images] : sets) {
    const std::vector<std::uint8_t> xmlBytes = entryBytes(std::string("D:\\Tamberlok\\menu\\") + set + ".imageset");
    const std::string xml(xmlBytes.begin(), xmlBytes.end());
    EXPECT_NE(xml.find(std::string("name=\"") + set + "\""), std::string::npos) << set;
    EXPECT_NE(xml.find(std::string("imagefile=\"") + set + ".png\""), std::string::npos) << set;
    EXPECT_FALSE(entryBytes(std::string("D:\\Tamberlok\\menu\\") + set + ".png").empty()) << set;
    for (const char* image : images) EXPECT_NE(xml.find(std::string("\"") + image + "\""), std::string::npos) << image;
  }
  // The sizes the displays lay the minimap out with.
  const std::map<int, std::pair<int, int>> sizes = {{0, {512, 489}}, {1, {512, 512}}, {2, {512, 324}}, {3, {512, 512}},
                                                    {4, {512, 512}}, {5, {512, 431}}, {6, {473, 512}}, {7, {512, 409}}};
  for (const SampleTrack& track : sampleTracks()) {
    SCOPED_TRACE(track.number);
    const auto [width, height] = sizes.at(track.index);
    const std::vector<std::uint8_t> xmlBytes =
        entryBytes("D:\\Tamberlok\\menu\\" + minimapImageset(track) + ".imageset");
    const std::string xml(xmlBytes.begin(), xmlBytes.end());
    EXPECT_NE(xml.find("width=\"" + std::to_string(width) + "\" height=\"" + std::to_string(height) + "\""),
              std::string::npos);
    const std::vector<std::uint32_t> pixels = minimapPixels(track, width, height);
    const MapRect& r = track.rect;
    auto pixelAt = [&](float x, float z) {
      const int column = std::clamp(static_cast<int>((x - r.minX) / (r.maxX - r.minX) * width), 0, width - 1);
      const int row = std::clamp(static_cast<int>((r.maxZ - z) / (r.maxZ - r.minZ) * height), 0, height - 1);
      return pixels[static_cast<std::size_t>(row) * width + column];
    };
    for (int i = 0; i < 200; ++i) {
      const Point2 on = centreAt(track, i / 200.0);
      EXPECT_EQ(pixelAt(on.x, on.z) >> 24, 0xFFu) << "road at " << i;
      const Point2 off = besideCentre(track, i / 200.0, 25.0f);
      EXPECT_EQ(pixelAt(off.x, off.z) >> 24, 0u) << "clear beside the road at " << i;
    }
  }
}

}  // namespace
