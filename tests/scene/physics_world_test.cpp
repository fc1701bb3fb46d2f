// Swapping a world's few-member hash spaces for simple ones: the spaces keep
// their places, members and settings, and collision finds the same contacts.
#include "scene/physics_world.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "scene/scene.h"
#include "tests/scene/physics_world.h"

namespace {

std::vector<dGeomID> membersOf(dSpaceID space) {
  std::vector<dGeomID> members;
  for (int i = 0; i < dSpaceGetNumGeoms(space); ++i) members.push_back(dSpaceGetGeom(space, i));
  return members;
}

std::intptr_t dataOf(dSpaceID space) {
  return reinterpret_cast<std::intptr_t>(dGeomGetData(reinterpret_cast<dGeomID>(space)));
}

// One contact as the surface saw it, by the ids of the two items.
struct SeenContact {
  std::int64_t step, first, second;
  std::array<dReal, 4> where;  // position and depth
  auto operator<=>(const SeenContact&) const = default;
};

// Notes every contact and makes no joint: the bodies fall through each
// other alike in both worlds, so that every step's contacts compare, not
// only those before the first difference.
class NotingSurface : public ODEJointSurface {
 public:
  NotingSurface() { m_createJoint = false; }
  ODEJointSurface onContact(const dContactGeom& c) override {
    const int a = static_cast<SceneItem*>(dGeomGetData(c.g1))->id;
    const int b = static_cast<SceneItem*>(dGeomGetData(c.g2))->id;
    seen.push_back({step, std::min(a, b), std::max(a, b), {c.pos[0], c.pos[1], c.pos[2], c.depth}});
    return *this;
  }
  int step = 0;
  std::vector<SeenContact> seen;
};

// Boxes tumbling onto a ground and into each other across four spaces: the
// top (hash), one hash space with the ground and three boxes, one simple
// space with two boxes, and a hash space of twenty spheres, too many to
// swap.
struct Tumble {
  explicit Tumble(bool simplify) {
    PhysicsWorld& world = scene.physics();
    world.addCollisionSpace(dHashSpaceCreate(nullptr), "top");
    const int crowded = world.addCollisionSpace(dHashSpaceCreate(world.space(0)), "crowded");
    const int mixed = world.addCollisionSpace(dHashSpaceCreate(world.space(0)), "mixed");
    const int simple = world.addCollisionSpace(dSimpleSpaceCreate(world.space(0)), "simple");
    for (auto [a, b] : {std::array{mixed, mixed}, {mixed, simple}, {simple, simple}, {crowded, mixed}}) {
      world.spacePairTable[a][b] = world.spacePairTable[b][a] = &meet;
    }
    for (auto& row : world.surfaceTable) row.fill(&surface);
    mesh = makeGroundMesh(8, 2.0f, [](float x, float z) { return 0.1f * x + 0.05f * z; });
    PhysicsObject* ground = add(kGeomTriMesh, mixed, 0, 0, 0, false);
    ground->addMesh(mesh.get(), 0.0f);
    ground->prepareOnce();
    for (int i = 0; i < 3; ++i) add(kGeomBox, mixed, 0.4f * i, 1.0f + 1.1f * i, 0.3f * i, true);
    for (int i = 0; i < 2; ++i) add(kGeomBox, simple, 0.5f - 0.6f * i, 4.5f + 1.2f * i, 0.2f, true);
    for (int i = 0; i < 20; ++i) add(kGeomSphere, crowded, 3.0f * (i % 5) - 6.0f, 0.8f, 3.0f * (i / 5) - 6.0f, false);
    if (simplify) swapped = world.useSimpleSpacesUpTo(16);
  }
  PhysicsObject* add(std::int32_t type, int space, float x, float y, float z, bool withBody) {
    PhysicsObject* item = addPhysicsObject(scene, "thing", type, 0, space);
    item->id = static_cast<std::int32_t>(scene.objects.size());
    placeAt(*item, x, y, z);
    if (withBody) addBoxBody(scene, *item, 1.0, 1.0, 1.0, 1.0);
    if (type != kGeomTriMesh) item->prepareOnce();
    return item;
  }
  void run(int steps) {
    for (surface.step = 0; surface.step < steps; ++surface.step) scene.physics().step(0.01);
  }

  ODESpacePair meet{true};
  NotingSurface surface;
  std::unique_ptr<SurfaceRenderObject> mesh;  // outlives the scene's geoms
  Scene scene{nullptr};
  int swapped = 0;
};

TEST(PhysicsWorldSpaces, FewMemberHashSpacesBecomeSimpleInTheSamePlaceWithTheSameMembersAndSettings) {
  Tumble tumble(false);
  PhysicsWorld& world = tumble.scene.physics();
  const auto oldMixed = reinterpret_cast<dGeomID>(world.space(2));
  dGeomSetCategoryBits(oldMixed, 0x5);
  dGeomSetCollideBits(oldMixed, 0x6);
  dSpaceSetCleanup(world.space(2), 0);
  std::vector<std::vector<dGeomID>> before;
  for (int i = 0; i < world.spaceCount(); ++i) before.push_back(membersOf(world.space(i)));
  const dSpaceID crowded = world.space(1), simple = world.space(3);

  EXPECT_EQ(world.useSimpleSpacesUpTo(16), 2) << "the top and the mixed space";
  EXPECT_EQ(world.space(1), crowded);
  EXPECT_EQ(world.space(3), simple);
  const auto mixed = reinterpret_cast<dGeomID>(world.space(2));
  std::replace(before[0].begin(), before[0].end(), oldMixed, mixed);
  for (int i = 0; i < world.spaceCount(); ++i) {
    const dSpaceID s = world.space(i);
    EXPECT_EQ(dSpaceGetClass(s), i == 1 ? dHashSpaceClass : dSimpleSpaceClass) << i;
    EXPECT_EQ(dataOf(s), i) << "the index the near callback reads";
    EXPECT_EQ(dGeomGetSpace(reinterpret_cast<dGeomID>(s)), i == 0 ? nullptr : world.space(0)) << i;
    EXPECT_EQ(membersOf(s), before[static_cast<std::size_t>(i)]) << "members and their order, space " << i;
  }
  EXPECT_EQ(dGeomGetCategoryBits(mixed), 0x5u);
  EXPECT_EQ(dGeomGetCollideBits(mixed), 0x6u);
  EXPECT_EQ(dSpaceGetCleanup(world.space(2)), 0);
  EXPECT_EQ(world.useSimpleSpacesUpTo(16), 0) << "nothing left to swap";
}

TEST(PhysicsWorldSpaces, SimpleSpacesFindTheContactsTheHashSpacesFound) {
  Tumble hashed(false), simplified(true);
  ASSERT_EQ(simplified.swapped, 2);
  hashed.run(150);
  simplified.run(150);
  // The order in which pairs are met is the space's own; which pairs meet
  // and where they touch is not.
  std::vector<SeenContact> a = hashed.surface.seen, b = simplified.surface.seen;
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  ASSERT_GT(a.size(), 100u);
  EXPECT_EQ(a, b);
  int meetingSpaces = 0;
  for (const SeenContact& c : a) meetingSpaces += c.first <= 4 && c.second >= 7 ? 1 : 0;
  EXPECT_GT(meetingSpaces, 0) << "the crowded space met the mixed one";
}

}  // namespace
