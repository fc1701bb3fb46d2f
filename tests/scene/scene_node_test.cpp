#include "scene/scene_node.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// A debug node stands in for every node: the base draws nothing itself.
class CountingNode : public DebugNode {
 public:
  CountingNode() : DebugNode(nullptr) {}
  void draw(double, SceneItem*, SceneItem*) override { drawnThisFrame = true; }
};

}  // namespace

TEST(SceneNode, SetBoxOrdersCornersByBits) {
  CountingNode node;
  node.setBox({-1.0f, -2.0f, -3.0f}, {3.0f, 2.0f, 1.0f});
  EXPECT_TRUE(node.hasBox);
  const float expected[8][3] = {{-1, -2, -3}, {-1, -2, 1}, {-1, 2, -3}, {-1, 2, 1},
                                {3, -2, -3},  {3, -2, 1},  {3, 2, -3},  {3, 2, 1}};
  for (int k = 0; k < 8; ++k) {
    EXPECT_EQ(node.corners[k].x, expected[k][0]) << k;
    EXPECT_EQ(node.corners[k].y, expected[k][1]) << k;
    EXPECT_EQ(node.corners[k].z, expected[k][2]) << k;
  }
  EXPECT_EQ(node.centre.x, 1.0f);
  EXPECT_EQ(node.centre.y, 0.0f);
  EXPECT_EQ(node.centre.z, -1.0f);
  EXPECT_FLOAT_EQ(node.radius, std::sqrt(12.0f));
}

TEST(SceneNode, DistanceToSphereFromOutsideInsideAndCentre) {
  CountingNode node;
  // Without a box the sphere is the zero centre with no radius.
  EXPECT_FLOAT_EQ(node.distanceToSphere({3.0f, 4.0f, 0.0f}), 5.0f);
  node.setBox({2.0f, 3.0f, 4.0f}, {2.0f, 3.0f, 4.0f});
  EXPECT_EQ(node.radius, 0.0f) << "a degenerate box";
  node.setBox({-2.0f, -2.0f, -2.0f}, {4.0f, 2.0f, 2.0f});  // centre (1,0,0), radius sqrt(17)
  const float r = std::sqrt(17.0f);
  EXPECT_NEAR(node.distanceToSphere({11.0f, 0.0f, 0.0f}), 10.0f - r, 1e-5);
  EXPECT_NEAR(node.distanceToSphere({1.0f, 1.0f, 0.0f}), r - 1.0f, 1e-5);
  EXPECT_EQ(node.distanceToSphere({1.0f, 0.0f, 0.0f}), 0.0f);
}

TEST(SceneNode, UnitBoundsOnlyOnce) {
  CountingNode node;
  EXPECT_TRUE(node.computeBounds(false));
  EXPECT_TRUE(node.boundsReady);
  EXPECT_EQ(node.corners[0].x, -1.0f);
  EXPECT_EQ(node.corners[7].z, 1.0f);
  EXPECT_FLOAT_EQ(node.radius, std::sqrt(3.0f));
  // A box set afterwards survives a second bounds call.
  node.setBox({0.0f, 0.0f, 0.0f}, {4.0f, 4.0f, 4.0f});
  EXPECT_TRUE(node.computeBounds(true));
  EXPECT_EQ(node.corners[7].x, 4.0f);
  EXPECT_EQ(node.centre.x, 2.0f);
}

TEST(SceneNode, TransformBoxKeepsTheHomogeneousCoordinate) {
  CountingNode node;
  node.setBox({-1.0f, -2.0f, -3.0f}, {1.0f, 2.0f, 3.0f});
  Vector4 out[8];
  node.transformBox(g_identityMatrix, out);
  EXPECT_EQ(out[6].y, 2.0f);
  EXPECT_EQ(out[6].w, 1.0f);
  // Scale x by 2, move by (10, 20, 30), and let w take z (a projection).
  const Matrix4x3 m = {{2, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 1, 10, 20, 30, 0}};
  node.transformBox(m, out);
  // Corner 5 is (max.x, min.y, max.z) = (1, -2, 3).
  EXPECT_EQ(out[5].x, 12.0f);
  EXPECT_EQ(out[5].y, 18.0f);
  EXPECT_EQ(out[5].z, 33.0f);
  EXPECT_EQ(out[5].w, 3.0f);
}
