// Meshes from solids: every solid is closed with all fronts outward (the
// engine draws fronts only), moving it keeps that, and the object file
// loads back with its layers, pivots, polygons and surfaces.
#include "content/lwo2_mesh.h"

#include <gtest/gtest.h>

#include <map>
#include <utility>

#include "lightwave/lwo2_loader.h"
#include "render/surface.h"
#include "scene/lwo_model.h"
#include "scene/scene.h"
#include "scene/scene_root.h"

namespace {

using lwo2::Mesh;
using lwo2::Vec3;

// Each edge is walked once each way (closed, fronts agree), and each front
// faces away from `inside`.
void expectClosedAndOutward(const Mesh& m, Vec3 inside, const char* what) {
  std::map<std::pair<std::uint32_t, std::uint32_t>, int> edges;
  for (const lwo2::MeshPolygon& p : m.polygons()) {
    ASSERT_GE(p.points.size(), 3u) << what;
    for (std::size_t i = 0; i < p.points.size(); ++i) ++edges[{p.points[i], p.points[(i + 1) % p.points.size()]}];
    Vec3 c{0, 0, 0};
    for (std::uint32_t i : p.points)
      for (int a = 0; a < 3; ++a) c[a] += m.points()[i][a] / static_cast<float>(p.points.size());
    const Vec3 n = lwo2::polygonNormal(m, p);
    EXPECT_GT(n[0] * (c[0] - inside[0]) + n[1] * (c[1] - inside[1]) + n[2] * (c[2] - inside[2]), 0.0f) << what;
  }
  for (const auto& [edge, count] : edges) {
    EXPECT_EQ(count, 1) << what << ": edge " << edge.first << "-" << edge.second;
    EXPECT_EQ(edges.count({edge.second, edge.first}), 1u) << what << ": open at " << edge.first;
  }
}

TEST(Lwo2Mesh, EverySolidIsClosedWithItsFrontsOutward) {
  Mesh box, wedge, cylinder, cone, downCone, ellipsoid, striped;
  box.box({1, 2, 3}, {0.5f, 0.2f, 0.3f}, 0);
  wedge.hexahedron({Vec3{-1, 0, -1},
                    {1, 0, -1},
                    {0.5f, 0, 1},
                    {-0.5f, 0, 1},
                    {-1, 1, -1},
                    {1, 1, -1},
                    {0.5f, 0.3f, 1},
                    {-0.5f, 0.3f, 1}},
                   0);
  cylinder.cylinder({0, 1, 0}, 0, 0.3f, 0.1f, 12, 0, 1);
  cone.cone({0, 0, 0}, 1, 0.2f, 0.5f, 6, 0, 0);
  downCone.cone({0, 0, 0}, 2, 0.2f, -0.5f, 3, 0, 0);
  ellipsoid.ellipsoid({0, 0.5f, 0}, {1, 0.5f, 2}, 10, 7, 0);
  striped.ellipsoid({0, 0, 0}, {1, 1, 1}, 6, 4, 0, {3, 4});
  expectClosedAndOutward(box, {1, 2, 3}, "box");
  expectClosedAndOutward(wedge, {0, 0.4f, -0.2f}, "wedge");
  expectClosedAndOutward(cylinder, {0, 1, 0}, "cylinder");
  expectClosedAndOutward(cone, {0, 0.1f, 0}, "cone");
  expectClosedAndOutward(downCone, {0, 0, -0.1f}, "downward cone");
  expectClosedAndOutward(ellipsoid, {0, 0.5f, 0}, "ellipsoid");
  EXPECT_EQ(cylinder.polygons().size(), 14u);
  EXPECT_EQ(ellipsoid.polygons().size(), 70u);
  EXPECT_FLOAT_EQ(box.low()[1], 1.8f);
  EXPECT_FLOAT_EQ(box.high()[2], 3.3f);
  EXPECT_FLOAT_EQ(ellipsoid.high()[1], 1.0f);
  // Bands take their surfaces in turn around the pole.
  EXPECT_EQ(striped.polygons()[0].surface, 3);
  EXPECT_EQ(striped.polygons()[striped.polygons().size() - 1].surface, 4);

  // A one-sided polygon turns to face the way asked, whatever its order.
  Mesh flat;
  const std::uint32_t a = flat.point({0, 0, 0}), b = flat.point({1, 0, 0}), c = flat.point({0, 0, 1});
  flat.polygon({a, b, c}, {0, 1, 0}, 0);
  flat.polygon({a, b, c}, {0, -1, 0}, 0);
  EXPECT_GT(lwo2::polygonNormal(flat, flat.polygons()[0])[1], 0.0f);
  EXPECT_LT(lwo2::polygonNormal(flat, flat.polygons()[1])[1], 0.0f);
}

TEST(Lwo2Mesh, MovingASolidKeepsItClosedAndOutward) {
  Mesh m;
  m.box({0, 0, 0}, {1, 1, 1}, 0);
  const std::uint32_t second = m.pointCount();
  m.cylinder({0, 0, 0}, 2, 0.5f, 1.0f, 8, 0, 0);
  m.rotate(second, 0, 0.7f, {0, 0, 0});
  m.rotate(second, 1, -2.0f, {0, 0, 0});
  m.scale(second, {2.0f, 0.5f, 1.0f}, {0, 0, 0});
  m.translate(second, {5, 0, 0});
  EXPECT_EQ(m.points()[0], (Vec3{-1, -1, -1})) << "points before `first` stay";
  Mesh moved;
  moved.cylinder({0, 0, 0}, 2, 0.5f, 1.0f, 8, 0, 0);
  moved.rotate(0, 0, 0.7f, {0, 0, 0});
  moved.rotate(0, 1, -2.0f, {0, 0, 0});
  moved.scale(0, {2.0f, 0.5f, 1.0f}, {0, 0, 0});
  moved.translate(0, {5, 0, 0});
  expectClosedAndOutward(moved, {5, 0, 0}, "moved cylinder");
  // A quarter turn about y takes +z to +x, about the given point.
  Mesh turn;
  turn.point({0, 0, 2});
  turn.rotate(0, 1, 1.5707964f, {0, 0, 1});
  EXPECT_NEAR(turn.points()[0][0], 1.0f, 1e-6f);
  EXPECT_NEAR(turn.points()[0][2], 1.0f, 1e-6f);
}

TEST(Lwo2Mesh, TheObjectFileLoadsWithItsLayersPivotsAndSurfaces) {
  std::vector<lwo2::Layer> layers(2);
  layers[0].mesh.box({0, 0.5f, 0}, {1, 0.5f, 1}, 1);
  layers[1].number = 3;
  layers[1].pivot = {0.5f, 0.25f, -1};
  layers[1].name = "Rad";
  layers[1].mesh.cylinder({0.5f, 0.25f, -1}, 0, 0.25f, 0.1f, 6, 0, 1);
  lwo2::Look tyre{"reifen", {0.1f, 0.1f, 0.1f}};
  tyre.smoothing = 0.8f;
  lwo2::Look glass{"glas", {0.2f, 0.6f, 1.0f}};
  glass.transparency = 0.5f;
  glass.doubleSided = true;

  installLightWaveLoaders();
  SceneRoot root(nullptr, "race");
  Scene scene(&root);
  auto model = loadLWO2(scene, nullptr, lwo2::objectFile(layers, {tyre, glass}), "thing.lwo");
  ASSERT_NE(model, nullptr);
  ASSERT_EQ(model->layers.size(), 4u);
  ASSERT_NE(model->layers[0], nullptr);
  EXPECT_EQ(model->layers[1], nullptr);
  ASSERT_NE(model->layers[3], nullptr);
  EXPECT_EQ(model->layers[3]->name, "thing.lwo:4 Rad");
  EXPECT_FLOAT_EQ(model->layers[3]->pivot.y, 0.25f);
  EXPECT_EQ(model->layers[0]->polygons.size(), 6u);
  EXPECT_EQ(model->layers[3]->points.size(), 12u);
  for (const auto& p : model->layers[0]->polygons) EXPECT_EQ(p.surface, 1u);
  EXPECT_EQ(model->layers[3]->polygons[0].surface, 0u);
  EXPECT_EQ(model->layers[3]->polygons.back().surface, 1u);

  Surface* loadedTyre = root.findSurface("thing.lwo@reifen");
  Surface* loadedGlass = root.findSurface("thing.lwo@glas");
  ASSERT_NE(loadedTyre, nullptr);
  ASSERT_NE(loadedGlass, nullptr);
  EXPECT_TRUE(loadedTyre->smoothing);
  EXPECT_FLOAT_EQ(loadedTyre->red.value, 0.1f);
  EXPECT_FLOAT_EQ(loadedGlass->blue.value, 1.0f);
  EXPECT_FLOAT_EQ(loadedGlass->transparency.value, 0.5f);
  EXPECT_TRUE(loadedGlass->doubleSided);
  EXPECT_FALSE(loadedTyre->doubleSided);
}

}  // namespace
