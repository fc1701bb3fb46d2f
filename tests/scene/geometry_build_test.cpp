// Triangulation, welding, smoothing and skin weights of the surface render
// object's build, checked against hand-worked geometry.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <numeric>

#include "render/surface.h"
#include "render/vertex_map.h"
#include "scene/lwo_model.h"
#include "scene/surface_render_object.h"
#include "scene/triangulate.h"
#include "tests/render/pipeline_fixture.h"

namespace {

double polygonArea(const std::vector<Position3>& p) {  // in the z = 0 plane
  double a = 0;
  for (std::size_t i = 0; i < p.size(); ++i) {
    const Position3 &u = p[i], &v = p[(i + 1) % p.size()];
    a += double{u.x} * v.y - double{v.x} * u.y;
  }
  return a / 2;
}

TEST(Triangulation, AConvexQuadSplitsAtItsFirstCornerWoundLikeThePolygon) {
  const auto t = triangulatePolygon({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}});
  ASSERT_EQ(t.size(), 2u);
  EXPECT_EQ(t[0], (std::array<int, 3>{0, 1, 2}));
  EXPECT_EQ(t[1], (std::array<int, 3>{2, 3, 0}));
}

TEST(Triangulation, ConcavePolygonsAreCoveredExactlyWithoutCrossingTheirNotch) {
  // An arrow head (reflex corner 2) and an L shape (reflex corner 4), both
  // counter-clockwise.
  const std::vector<std::vector<Position3>> shapes = {
      {{0, 0, 0}, {4, 2, 0}, {1, 2, 0}, {4, 4, 0}, {0, 4, 0}},
      {{0, 0, 0}, {3, 0, 0}, {3, 1, 0}, {1, 1, 0}, {1, 3, 0}, {0, 3, 0}},
  };
  for (const auto& shape : shapes) {
    const auto t = triangulatePolygon(shape);
    ASSERT_EQ(t.size(), shape.size() - 2);
    double covered = 0;
    for (const auto& [a, b, c] : t) {
      const double area = polygonArea({shape[a], shape[b], shape[c]});
      EXPECT_GT(area, 0.0) << "each triangle keeps the polygon's winding";
      covered += area;
    }
    EXPECT_NEAR(covered, polygonArea(shape), 1e-9);
  }
}

// Concave shapes started at every corner, reflex ones included, keep their
// whole area in n - 2 triangles wound like the polygon; the result must not
// depend on which corner the polygon happens to start at.
TEST(Triangulation, ConcavePolygonsKeepTheirAreaFromEveryStartingCorner) {
  std::vector<Position3> star;
  for (int i = 0; i < 10; ++i) {
    const double radius = i % 2 ? 1.0 : 3.0, angle = i * 3.14159265358979 / 5;
    star.push_back({static_cast<float>(radius * std::cos(angle)), static_cast<float>(radius * std::sin(angle)), 0});
  }
  const std::vector<std::pair<const char*, std::vector<Position3>>> shapes = {
      {"L", {{0, 0, 0}, {2, 0, 0}, {2, 1, 0}, {1, 1, 0}, {1, 2, 0}, {0, 2, 0}}},
      {"chevron", {{0, 0, 0}, {2, 1, 0}, {4, 0, 0}, {4, 2, 0}, {2, 3, 0}, {0, 2, 0}}},
      {"star", star},
      {"comb",
       {{0, 0, 0},
        {5, 0, 0},
        {5, 3, 0},
        {4, 3, 0},
        {4, 1, 0},
        {3, 1, 0},
        {3, 3, 0},
        {2, 3, 0},
        {2, 1, 0},
        {1, 1, 0},
        {1, 3, 0},
        {0, 3, 0}}},
  };
  for (const auto& [name, shape] : shapes) {
    for (std::size_t start = 0; start < shape.size(); ++start) {
      std::vector<Position3> p;
      for (std::size_t i = 0; i < shape.size(); ++i) p.push_back(shape[(start + i) % shape.size()]);
      const auto t = triangulatePolygon(p);
      ASSERT_EQ(t.size(), p.size() - 2) << name << " from corner " << start;
      double covered = 0;
      for (const auto& [a, b, c] : t) {
        const double area = polygonArea({p[a], p[b], p[c]});
        EXPECT_GE(area, 0.0) << name << " from corner " << start;  // straight ears give flat triangles
        covered += area;
      }
      EXPECT_NEAR(covered, polygonArea(p), 1e-5) << name << " from corner " << start;
    }
  }
}

// A convex polygon still splits as a fan from corner 0, in any plane and
// facing either way.
TEST(Triangulation, ConvexPolygonsInAnyPlaneSplitAsAFanFromCornerZero) {
  std::vector<Position3> hexagon;
  for (int i = 0; i < 6; ++i) {
    const float u = std::cos(1.0471976f * i), v = std::sin(1.0471976f * i);
    hexagon.push_back({u, 0.3f * u + v, 2 * v});  // in a tilted plane
  }
  const std::vector<std::array<int, 3>> fan = {{0, 1, 2}, {0, 2, 3}, {0, 3, 4}, {4, 5, 0}};
  EXPECT_EQ(triangulatePolygon(hexagon), fan);
  EXPECT_EQ(triangulatePolygon({hexagon.rbegin(), hexagon.rend()}), fan);
}

// One layer over a model of the given surfaces; the test owns the surfaces.
class BuildTest : public PipelineTest {
 protected:
  void SetUp() override {
    PipelineTest::SetUp();
    build(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
  }
  Surface& addSurface(const std::string& name) {
    surfaces.push_back(std::make_unique<Surface>(nullptr, name));
    model.surfaces.push_back(surfaces.back().get());
    return *surfaces.back();
  }
  std::unique_ptr<SurfaceRenderObject> layer(std::vector<SurfacePolygon> polygons, std::vector<Position3> points,
                                             std::vector<VertexMap*> maps = {}) {
    return std::make_unique<SurfaceRenderObject>(pipeline.get(), &model, std::move(polygons), std::move(points), maps);
  }
  static SurfacePolygon polygon(std::vector<std::int32_t> points, std::uint32_t surface = 0) {
    SurfacePolygon p;
    p.points = std::move(points);
    p.surface = surface;
    return p;
  }

  std::vector<std::unique_ptr<Surface>> surfaces;
  LWOModel model{nullptr, "test.lwo"};
};

// Two unit squares side by side in z = 0 sharing the edge x = 1.
std::vector<Position3> twoSquares() { return {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {2, 0, 0}, {2, 1, 0}}; }

TEST_F(BuildTest, CoplanarPolygonsWeldAtSharedPointsAndDegenerateOnesAreDropped) {
  addSurface("floor");
  auto object =
      layer({polygon({0, 1, 2, 3}), polygon({1, 4, 5, 2}), polygon({0, 1}), polygon({0, 1, 99})}, twoSquares());
  ASSERT_TRUE(object->prepare(true));
  EXPECT_EQ(object->polygons.size(), 2u);
  EXPECT_EQ(object->cache.vertexCount, 6u);  // 8 corners, 2 shared points
  EXPECT_EQ(object->cache.indexCount, 12u);
  ASSERT_EQ(object->batches.size(), 1u);
  EXPECT_EQ(object->batches[0]->vertexCount, 6);
  EXPECT_EQ(object->batches[0]->indexCount, 12);
  for (const SourceVertex& v : object->cache.vertices) EXPECT_FLOAT_EQ(v.normal[2], 1.0f);
  EXPECT_NE(takeMessage().find("polygons refer to points or surfaces"), std::string::npos);
}

TEST_F(BuildTest, AFoldAboveTheSmoothingAngleKeepsSeparateNormals) {
  Surface& s = addSurface("fold");
  setSmoothingAngle(s, 0.5f);  // about 29 degrees
  // The second square folds up by 90 degrees along x = 1.
  std::vector<Position3> points = twoSquares();
  points[4] = {1, 0, -1};
  points[5] = {1, 1, -1};
  auto object = layer({polygon({0, 1, 2, 3}), polygon({1, 4, 5, 2})}, points);
  ASSERT_TRUE(object->prepare(true));
  EXPECT_EQ(object->cache.vertexCount, 8u);

  setSmoothingAngle(s, 1.6f);  // above 90 degrees: the fold is smoothed
  auto smooth = layer({polygon({0, 1, 2, 3}), polygon({1, 4, 5, 2})}, points);
  ASSERT_TRUE(smooth->prepare(true));
  EXPECT_EQ(smooth->cache.vertexCount, 6u);
  const float half = std::sqrt(0.5f);
  int shared = 0;
  for (const SourceVertex& v : smooth->cache.vertices) {
    if (v.position[0] == 1.0f && v.position[2] == 0.0f) {
      ++shared;
      EXPECT_NEAR(v.normal[0], half, 1e-6f);  // between (0,0,1) and (1,0,0)
      EXPECT_NEAR(v.normal[2], half, 1e-6f);
    }
  }
  EXPECT_EQ(shared, 2);
}

TEST_F(BuildTest, DoubleSidedSurfacesDoubleTrianglesAndBackSurfacesGetTheirOwnBatch) {
  Surface& front = addSurface("front");
  front.doubleSided = true;
  auto twoSided = layer({polygon({0, 1, 2, 3})}, twoSquares());
  ASSERT_TRUE(twoSided->prepare(false));
  EXPECT_EQ(twoSided->cache.indexCount, 12u);
  EXPECT_EQ(twoSided->cache.vertexCount, 4u) << "the reversed copies share the front's vertices";
  EXPECT_TRUE(twoSided->cache.vertices.empty()) << "geometry not kept";

  front.doubleSided = false;
  front.backSurfaceIndex = 1;
  addSurface("back");
  auto withBack = layer({polygon({0, 1, 2, 3})}, twoSquares());
  log->calls.clear();
  ASSERT_TRUE(withBack->prepare(true));
  ASSERT_EQ(withBack->batches.size(), 2u);
  EXPECT_EQ(withBack->cache.batchSurface, (std::vector<std::int32_t>{0, 1}));
  // Reversed: the back batch starts with the front's corner 2 at (1, 1).
  EXPECT_EQ(withBack->cache.batchLocalIndices[1], (std::vector<std::uint32_t>{0, 1, 2, 2, 3, 0}));
  const SourceVertex& backFirst = withBack->cache.vertices[withBack->cache.batchVertexStart[1]];
  EXPECT_EQ(backFirst.position[0], 1.0f);
  EXPECT_EQ(backFirst.position[1], 1.0f);
  EXPECT_EQ(withBack->stagePlans.size(), 2u);

  // Each batch holds its four vertices and six 16-bit indices.
  const int stride = withBack->batches[0]->layout->stride;
  EXPECT_EQ(log->count("CreateVertexBuffer(" + std::to_string(4 * stride) + ","), 2);
  EXPECT_EQ(log->count("CreateIndexBuffer(12,"), 2);
  log->calls.clear();
  EXPECT_TRUE(withBack->prepare(true));
  EXPECT_EQ(withBack->batches.size(), 2u);
  EXPECT_TRUE(log->calls.empty()) << "a second prepare builds nothing";
}

TEST_F(BuildTest, NormalsWithinAMillionthWeldAndCollapsedTrianglesVanish) {
  Surface& s = addSurface("unsmoothed");
  s.smoothingCosine = 2.0f;  // no smoothing: each vertex keeps its face normal
  // The second square rises by h over its width, so its normal is about
  // (-h, 0, 1): the shared points weld only while h is within 1e-6.
  auto sharedVertices = [&](float h) {
    std::vector<Position3> points = twoSquares();
    points[4].z = points[5].z = h;
    auto object = layer({polygon({0, 1, 2, 3}), polygon({1, 4, 5, 2}), polygon({0, 3, 3})}, points);
    EXPECT_TRUE(object->prepare(true));
    EXPECT_EQ(object->cache.indexCount, 12u) << "the triangle with a repeated corner is gone";
    return object->cache.vertexCount;
  };
  // Two more for the collapsed triangle: its vertices stay, welded to two.
  EXPECT_EQ(sharedVertices(5e-7f), 6u + 2u);
  EXPECT_EQ(sharedVertices(5e-6f), 8u + 2u);
}

// A bone along +z from `origin`.
std::unique_ptr<BoneItem> bone(float x, float y, float length = 1.0f) {
  auto b = std::make_unique<BoneItem>(nullptr, 0, 0);
  b->restPosition = {x, y, 0};
  b->restLength = length;
  return b;
}

TEST_F(BuildTest, FiveBonesLeaveTheFourStrongestWeightsNormalised) {
  addSurface("skin");
  auto object = layer({polygon({0, 1, 2})}, {{0, 0, 0.5f}, {1, 0, 0.5f}, {0, 1, 0.5f}});
  for (float x : {0.5f, 1.0f, 2.0f, 4.0f, 8.0f}) object->bones.push_back(bone(x, 0));
  object->boneFalloffType = 1;  // weight = 1 / distance
  SourceVertex v;
  v.position[2] = 0.5f;  // on the z axis, distances 0.5, 1, 2, 4, 8 from the bones
  object->computeSkinWeights(v, 0);
  const float expected[4] = {2.0f, 1.0f, 0.5f, 0.25f};
  const float sum = 3.75f;
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(v.blendIndices[i], i);
    EXPECT_NEAR(v.blendWeights[i], expected[i] / sum, 1e-6f);
  }
  EXPECT_NEAR(std::accumulate(v.blendWeights, v.blendWeights + 4, 0.0f), 1.0f, 1e-6f);
}

TEST_F(BuildTest, VerticesOnTwoBoneAxesShareTheirWeightAndAZeroRangeDividesNothing) {
  addSurface("skin");
  auto object = layer({polygon({0, 1, 2})}, {{0, 0, 0.5f}, {1, 0, 0.5f}, {0, 1, 0.5f}});
  object->bones.push_back(bone(0, 0));
  object->bones.push_back(bone(0, 0, 2.0f));
  object->bones.push_back(bone(5, 0));
  object->bones[2]->limitedRange = true;
  object->bones[2]->maxRange = 0.0f;
  SourceVertex v;
  v.position[2] = 0.5f;  // distance 0 from the first two bones: both weigh FLT_MAX
  object->computeSkinWeights(v, 0);
  EXPECT_FLOAT_EQ(v.blendWeights[0], 0.5f);
  EXPECT_FLOAT_EQ(v.blendWeights[1], 0.5f);
  EXPECT_FLOAT_EQ(v.blendWeights[2], 0.0f);
}

}  // namespace
