// Track 0 of the sample data from archive to physics: the archive mounts and
// every entry opens, the scene loads with what the race looks up, bodies
// rest on the road and stop at the walls, and the position map counts laps.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "foundation/pcx_image.h"
#include "scene/camera_item.h"
#include "scene/light_item.h"
#include "tests/track/track_fixture.h"

namespace {

TEST(TrackArchive, MountsAndOpensEveryEntry) {
  ArchiveFile& archive = trackArchive();
  ASSERT_TRUE(archive.mounted());
  std::set<std::string> names;
  for (int i = 0; i < archive.entryCount(); ++i) {
    names.insert(archive.entryName(i));
    ArchiveFile entry(archive);
    EXPECT_TRUE(entry.open(archive.entryName(i).c_str())) << archive.entryName(i);
    EXPECT_GT(entry.size(), 0) << archive.entryName(i);
  }
  for (const char* name :
       {"D:\\Tamberlok\\3dobjects_tracks\\track_01_steinzeit.lws", "D:\\Tamberlok\\mini_maps\\posmap_track_01.pcx",
        "D:\\Tamberlok\\mini_maps\\light_track_01.bmp", "D:\\Tamberlok\\mini_maps\\reset_map_track_01.pcx",
        "D:\\Tamberlok\\3dobjects_extras\\extra_addon.lwo"})
    EXPECT_EQ(names.count(name), 1u) << name;
  for (const std::string& name : names) EXPECT_EQ(name.find('/'), std::string::npos) << name;
}

// The map lookup as the race does it, written out here on its own.
int positionAt(const PcxImage& map, float x, float z) {
  const float u = (x - -204.0183f) / (223.616f - -204.0183f) * 512.0f;
  const float v = 512.0f - (z - -164.2901f) / (244.3623f - -164.2901f) * 512.0f;
  const int column = std::clamp(static_cast<int>(u), 0, 511), row = std::clamp(static_cast<int>(v), 0, 511);
  return map.pixels()[row * 512 + column];
}

TEST(TrackMaps, PositionsRiseAlongTheLapAndWrapOnceAtTheLine) {
  PcxImage map;
  ASSERT_TRUE(map.decodePCX(trackArchive(), track0::kPositionMapFile));
  ASSERT_EQ(map.pixelCount(), 512 * 512);
  EXPECT_EQ(positionAt(map, -204.0f, 244.0f), 0) << "a corner lies off the road";
  // Samples 2 m apart or more, so that two never share a pixel.
  constexpr int kSamples = 400;
  int drops = 0, previous = -1;
  std::set<int> groups;
  for (int i = 0; i <= kSamples; ++i) {
    const double f = 0.001 + static_cast<double>(i) / kSamples;
    const track0::Point2 p = track0::centreAt(f);
    const int value = positionAt(map, p.x, p.z);
    ASSERT_NE(value, 0) << "on the road at " << f;
    groups.insert(value / 16);
    if (previous >= 0 && value < previous) {
      ++drops;
      EXPECT_GT(previous, 245) << "drops only at the line";
      EXPECT_LT(value, 8);
    }
    previous = value;
  }
  EXPECT_EQ(drops, 1);
  EXPECT_EQ(groups.size(), 16u) << "a lap passes every sector group";
  // Beside the road, past the walls, there is no track.
  const track0::Point2 c = track0::centreAt(0.25), d = track0::directionAt(0.25);
  EXPECT_EQ(positionAt(map, c.x + d.z * 14.0f, c.z - d.x * 14.0f), 0);
}

class TrackScene : public PipelineTest {
 protected:
  void SetUp() override {
    PipelineTest::SetUp();
    build(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    root = std::make_unique<SceneRoot>(pipeline.get(), "race");
    scene = loader.load(*root);
  }
  void TearDown() override {
    root.reset();
    PipelineTest::TearDown();
  }
  std::vector<PhysicsObject*> physicsOfKind(int kind) const {
    std::vector<PhysicsObject*> found;
    for (const auto& item : scene->objects)
      if (auto* p = dynamic_cast<PhysicsObject*>(item.get()); p && p->surfaceKind == kind) found.push_back(p);
    return found;
  }

  TrackLoader loader;
  std::unique_ptr<SceneRoot> root;
  Scene* scene = nullptr;
  RaceTables tables;
};

TEST_F(TrackScene, LoadsWithWhatTheRaceLooksUp) {
  ASSERT_NE(scene, nullptr);
  EXPECT_EQ(lastMessage(), "");
  ASSERT_EQ(scene->cameras.size(), 1u);
  EXPECT_EQ(scene->followed, scene->cameras[0].get());
  ASSERT_EQ(scene->physics().spaceCount(), 12);
  EXPECT_EQ(scene->fogMode, 3) << "linear fog";
  ASSERT_EQ(scene->lights.size(), 2u);

  // Six start items behind the line, in grid order, facing it.
  const track0::Point2 line = track0::centreAt(0.0);
  std::vector<SceneItem*> starts;
  for (const auto& item : scene->objects)
    if (item->name == "start") starts.push_back(item.get());
  ASSERT_EQ(starts.size(), 6u);
  for (std::size_t i = 0; i < starts.size(); ++i) {
    const float x = starts[i]->position[0].evaluate(0), z = starts[i]->position[2].evaluate(0);
    const float heading = starts[i]->rotation[0].evaluate(0);
    const float toLine[2] = {line.x - x, line.z - z};
    const float distance = std::hypot(toLine[0], toLine[1]);
    EXPECT_GT((std::sin(heading) * toLine[0] + std::cos(heading) * toLine[1]) / distance, 0.8f) << "start " << i;
    if (i % 2 == 1) {
      EXPECT_NEAR(heading, starts[i - 1]->rotation[0].evaluate(0), 1e-5) << "a row faces one way";
    }
    EXPECT_NEAR(distance, 4.0f * static_cast<float>(i / 2 + 1), 3.0f) << "start " << i;
  }

  // Spaces and kinds of the race's layout.
  auto expectIn = [&](int kind, int space, std::size_t count) {
    const auto found = physicsOfKind(kind);
    EXPECT_EQ(found.size(), count) << "kind " << kind;
    for (PhysicsObject* p : found) {
      EXPECT_EQ(p->spaceIndex, space) << p->name;
      ASSERT_NE(p->geom, nullptr) << p->name;
      EXPECT_EQ(dGeomGetSpace(p->spaceGeom()), scene->physics().space(static_cast<std::size_t>(space))) << p->name;
    }
  };
  expectIn(kSurfaceRoad, 1, 1);
  expectIn(kSurfaceSlidingGround, 1, 1);
  expectIn(kSurfaceWall, 9, 1);
  expectIn(kSurfaceCheckpoint, 10, 1);
  expectIn(kSurfaceExtraBox, 10, 3);
  expectIn(kSurfaceFallZone, 11, 1);
  expectIn(kSurfaceObstacle, 5, 1);
  for (PhysicsObject* box : physicsOfKind(kSurfaceExtraBox)) EXPECT_EQ(box->name, track0::kExtraBoxObject);
  EXPECT_NE(physicsOfKind(kSurfaceObstacle)[0]->body, nullptr);

  // Walls and the pieces in space 10 never touch (the race tests that pair).
  dGeomID walls = physicsOfKind(kSurfaceWall)[0]->geom;
  for (int kind : {kSurfaceCheckpoint, kSurfaceExtraBox})
    for (PhysicsObject* p : physicsOfKind(kind)) {
      dContactGeom contacts[4];
      EXPECT_EQ(dCollide(walls, p->geom, 4, contacts, sizeof(dContactGeom)), 0) << "kind " << kind;
    }

  // The object sounds (camp fire and stamper) and the mirror floor.
  int sounds = 0, mirrors = 0;
  for (const auto& item : scene->objects)
    if (auto* o = dynamic_cast<ObjectItem*>(item.get()); o && o->sound) ++sounds;
  for (const auto& s : root->surfaces)
    if (s->reflection.value > 0) ++mirrors;
  EXPECT_EQ(sounds, 2);
  EXPECT_EQ(mirrors, 1);
}

// Records where the rays meet the road.
class RayRecorder : public ODEJointSurface {
 public:
  RayRecorder() { m_createJoint = false; }
  ODEJointSurface onContact(const dContactGeom& contact) override {
    hits.push_back(contact.pos[1]);
    return *this;
  }
  std::vector<double> hits;
};

TEST_F(TrackScene, BodiesRestOnTheRoadAndStopAtTheWalls) {
  ASSERT_NE(scene, nullptr);
  tables.install(*scene);
  RayRecorder rays;
  scene->physics().surfaceTable[kSurfaceKartRay][kSurfaceRoad] = &rays;
  scene->physics().surfaceTable[kSurfaceRoad][kSurfaceKartRay] = &rays;

  const track0::Point2 c = track0::centreAt(0.2), d = track0::directionAt(0.2);
  const float scale[3] = {1, 1, 1};
  PhysicsObject* ray = scene->createRay(kSurfaceKartRay, kSpaceKartRays, scale);
  dGeomRaySet(ray->geom, c.x, 10.0, c.z, 0.0, -1.0, 0.0);
  dGeomRaySetLength(ray->geom, 20.0);
  scene->physics().collide();
  ASSERT_EQ(rays.hits.size(), 1u);
  EXPECT_NEAR(rays.hits[0], 0.0, 1e-4);

  // The crate, dropped from 4 m onto the road, lies still after 3 s.
  PhysicsObject* crate = physicsOfKind(kSurfaceObstacle)[0];
  dBodySetPosition(crate->body, c.x, 4.0, c.z);
  for (int i = 0; i < 300; ++i) scene->physicsStep(0.01);
  const dReal* at = dBodyGetPosition(crate->body);
  EXPECT_NEAR(at[1], 0.6, 0.05);
  EXPECT_LT(std::hypot(at[0] - c.x, at[2] - c.z), 0.1);
  const dReal* v = dBodyGetLinearVel(crate->body);
  EXPECT_LT(std::fabs(v[0]) + std::fabs(v[1]) + std::fabs(v[2]), 0.05);

  // Pushed to the right, it slides as far as the wall and no further (on
  // less grip, so that it slides rather than tips over).
  tables.plain.m_surface.mu = tables.plain.m_surface.mu2 = 0.5;
  dBodyEnable(crate->body);
  double furthest = 0.0;
  for (int i = 0; i < 300; ++i) {
    dBodyAddForce(crate->body, d.z * 300.0, 0.0, -d.x * 300.0);
    scene->physicsStep(0.01);
    const dReal* p = dBodyGetPosition(crate->body);
    furthest = std::max(furthest, (p[0] - c.x) * d.z - (p[2] - c.z) * d.x);
  }
  EXPECT_GT(furthest, track0::kWallOffset - 1.0);
  EXPECT_LT(furthest, track0::kWallOffset);
  EXPECT_GT(dBodyGetPosition(crate->body)[1], 0.0) << "still on the road";
}

}  // namespace
