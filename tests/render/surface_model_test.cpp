// Surfaces, texture layers and their mapping, and the texture-stage plan:
// the rules that decide which layers reach which stage and with which
// coordinates and colours.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <numbers>

#include "foundation/envelope.h"
#include "render/stage_plan.h"
#include "render/surface.h"
#include "render/vertex_layout.h"

namespace {

// Surfaces and plans never look inside a texture; any address serves.
alignas(8) char g_textureStandIn[8];
Texture* const kTexture = reinterpret_cast<Texture*>(g_textureStandIn);

std::unique_ptr<TextureLayer> layer(const char (&channel)[5], Texture* texture = kTexture) {
  auto l = std::make_unique<TextureLayer>();
  l->blockType = fourCC("IMAP");
  l->channel = fourCC(channel);
  l->texture = texture;
  return l;
}

std::unique_ptr<Envelope> constantEnvelope(float value) {
  auto e = std::make_unique<Envelope>();
  e->addKeyLinear(value, 0.0f);
  return e;
}

TEST(SurfaceTest, TransparencyComesFromValuesNaNOrATransparencyLayer) {
  Surface s(nullptr, "s");
  s.transparency.value = std::numeric_limits<float>::quiet_NaN();
  EXPECT_TRUE(s.isTransparentAt(0.0));
  s.transparency.value = 0.0f;
  s.additiveTransparency.channel = constantEnvelope(0.25f);
  EXPECT_TRUE(s.isTransparentAt(0.0));
  EXPECT_FLOAT_EQ(s.additiveTransparency.value, 0.25f);  // evaluation stores the value
  s.additiveTransparency.release();
  s.additiveTransparency.value = 0.0f;
  EXPECT_FALSE(s.isTransparentAt(0.0));
  s.addTextureLayer(layer("TRAN"));
  EXPECT_TRUE(s.isTransparentAt(0.0));
}

TEST(SurfaceTest, FindTextureLayerCountsOnlyEnabledLayersWithTextures) {
  Surface s(nullptr, "s");
  s.imageLayers.push_back(layer("COLR"));
  s.imageLayers.push_back(layer("COLR"));
  s.imageLayers.back()->enabled = false;
  s.imageLayers.push_back(layer("COLR", nullptr));
  s.imageLayers.push_back(layer("DIFF"));
  s.imageLayers.push_back(layer("COLR"));
  EXPECT_EQ(s.findTextureLayer(fourCC("COLR"), 1), s.imageLayers[0].get());
  EXPECT_EQ(s.findTextureLayer(fourCC("COLR"), 2), s.imageLayers[4].get());
  EXPECT_EQ(s.findTextureLayer(fourCC("COLR"), 3), nullptr);
  EXPECT_EQ(s.findTextureLayer(fourCC("COLR"), 0), nullptr);
  EXPECT_EQ(s.findTextureLayer(fourCC("DIFF"), 1), s.imageLayers[3].get());
}

TEST(SurfaceTest, AddTextureLayerKeepsUsableLayersAndDropsTheRest) {
  Surface s(nullptr, "s");
  auto vcol = std::make_unique<TextureLayer>();
  vcol->blockType = fourCC("vcol");
  vcol->channel = fourCC("COLR");
  s.addTextureLayer(std::move(vcol));
  auto disabledVcol = std::make_unique<TextureLayer>();
  disabledVcol->blockType = fourCC("vcol");
  disabledVcol->enabled = false;
  s.addTextureLayer(std::move(disabledVcol));
  s.addTextureLayer(layer("COLR", nullptr));
  s.addTextureLayer(layer("COLR"));
  s.addTextureLayer(nullptr);
  EXPECT_EQ(s.vertexColorLayers.size(), 1u);
  EXPECT_EQ(s.imageLayers.size(), 1u);
}

TEST(SurfaceTest, SmoothingStartsAboveTwoDegrees) {
  Surface s(nullptr, "s");
  setSmoothingAngle(s, 0.0349066f);
  EXPECT_FALSE(s.smoothing);
  setSmoothingAngle(s, 0.5f);
  EXPECT_TRUE(s.smoothing);
  EXPECT_FLOAT_EQ(s.smoothingCosine, std::cos(0.5f) - 1e-6f);
}

TEST(TextureLayerTest, DefaultMappingCentresTheUnitCube) {
  TextureLayer l;
  const MappingMatrix m = l.getMappingMatrixAt(0.0);
  const float p[3] = {0.5f, -0.5f, 0.0f};
  float q[3];
  for (int c = 0; c < 3; ++c) q[c] = p[0] * m.m[c] + p[1] * m.m[4 + c] + p[2] * m.m[8 + c] + m.m[12 + c];
  EXPECT_FLOAT_EQ(q[0], 1.0f);
  EXPECT_FLOAT_EQ(q[1], 0.0f);
  EXPECT_FLOAT_EQ(q[2], 0.5f);
  // A centre and a size move and scale: ((p - c) / s) + 0.5.
  l.centerX.value = 1.0f;
  l.sizeY.value = 2.0f;
  const MappingMatrix n = l.getMappingMatrixAt(0.0);
  EXPECT_FLOAT_EQ(2.0f * n.m[0] + n.m[12], 1.5f);  // x = 2: (2 - 1) + 0.5
  EXPECT_FLOAT_EQ(3.0f * n.m[5] + n.m[13], 2.0f);  // y = 3: 3 / 2 + 0.5
}

TEST(TextureLayerTest, MappingTurnsByHeadingThenPitchThenBank) {
  TextureLayer l;
  l.centerX.value = 1.0f, l.centerY.value = 2.0f, l.centerZ.value = 3.0f;
  l.sizeX.value = 2.0f, l.sizeY.value = 4.0f, l.sizeZ.value = 8.0f;
  auto map = [&](const float p[3], float q[3]) {
    const MappingMatrix m = l.getMappingMatrixAt(0.0);
    for (int c = 0; c < 3; ++c) q[c] = p[0] * m.m[c] + p[1] * m.m[4 + c] + p[2] * m.m[8 + c] + m.m[12 + c];
  };
  // Quarter turns, by hand: d = (2, 4, 7) - c = (1, 2, 4); heading about Y
  // takes (x, y, z) to (z, y, -x): (4, 2, -1); pitch about X to (x, z, -y):
  // (4, -1, -2); bank about Z to (y, -x, z): (-1, -4, -2); divided by the
  // size and moved by 0.5: (0, -0.5, 0.25).
  const float quarter = std::numbers::pi_v<float> / 2;
  l.heading.value = l.pitch.value = l.bank.value = quarter;
  const float p[3] = {2.0f, 4.0f, 7.0f};
  float q[3];
  map(p, q);
  EXPECT_NEAR(q[0], 0.0f, 1e-5);
  EXPECT_NEAR(q[1], -0.5f, 1e-5);
  EXPECT_NEAR(q[2], 0.25f, 1e-5);
}

class TextureCoordsTest : public ::testing::Test {
 protected:
  void SetUp() override { surface = std::make_unique<Surface>(nullptr, "s"); }
  TextureLayer& addLayer(std::int32_t projection, const char (&channel)[5] = "COLR") {
    auto l = layer(channel);
    l->projection = projection;
    TextureLayer& ref = *l;
    surface->addTextureLayer(std::move(l));
    return ref;
  }
  void map(int count, const float (*positions)[3], const float normal[3], const std::int32_t* points = nullptr,
           std::int32_t polygonIndex = -1) {
    for (int i = 0; i < count; ++i)
      for (int c = 0; c < 3; ++c) vertices[i].position[c] = positions[i][c];
    SurfaceStagePlan plan(*surface);
    generateTextureCoords(plan, vertices, 0, {polygonIndex, count, points}, normal, 0);
  }
  std::unique_ptr<Surface> surface;
  SourceVertex vertices[4];
};

TEST_F(TextureCoordsTest, AnimatedMappingTakesRawPositionsAndStopsTheWalk) {
  TextureLayer& first = addLayer(kProjectionPlanar);
  TextureLayer& second = addLayer(kProjectionPlanar);
  first.centerX.channel = constantEnvelope(3.0f);
  EXPECT_TRUE(first.hasAnimatedMapping());
  EXPECT_FALSE(second.hasAnimatedMapping());
  vertices[0].texcoord[1][0] = 42.0f;
  const float p[3][3] = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
  const float n[3] = {0, 0, 1};
  map(3, p, n);
  EXPECT_EQ(vertices[1].texcoord[0][0], 4.0f);
  EXPECT_EQ(vertices[1].texcoord[0][2], 6.0f);
  EXPECT_EQ(vertices[0].texcoord[1][0], 42.0f);
}

TEST_F(TextureCoordsTest, CylindricalSeamIsRepairedAcrossThePolygon) {
  TextureLayer& l = addLayer(kProjectionCylindrical);
  l.axis = 1;
  // Corners just either side of the seam behind the axis (atan2 jumps there).
  const float p[3][3] = {{-0.1f, 0.0f, -1.0f}, {0.1f, 0.0f, -1.0f}, {0.1f, 1.0f, -1.0f}};
  const float n[3] = {0, 0, -1};
  map(3, p, n);
  for (int i = 0; i < 3; ++i)
    EXPECT_LT(std::fabs(vertices[i].texcoord[0][0] - vertices[(i + 2) % 3].texcoord[0][0]), 0.5f) << i;
  EXPECT_FLOAT_EQ(vertices[2].texcoord[0][1], 1.5f);  // v = y / size + 0.5
}

TEST_F(TextureCoordsTest, CubicPicksTheAxisOfTheLargestNormalComponent) {
  addLayer(kProjectionCubic);
  const float p[1][3] = {{0.25f, 0.5f, 0.75f}};
  struct Case {
    float normal[3];
    float u, v;
  } cases[] = {{{1, 1, 0}, 1.25f, 1.0f},      // tie: X -> (z, y)
               {{0, 1, 0.5f}, 0.75f, 1.25f},  // Y -> (x, z)
               {{0, 1, 1}, 0.75f, 1.25f},     // tie between Y and Z: Y
               {{0, 1, 1.5f}, 0.75f, 1.0f}};  // Z beats Y -> (x, y)
  for (const Case& c : cases) {
    map(1, p, c.normal);
    EXPECT_FLOAT_EQ(vertices[0].texcoord[0][0], c.u);
    EXPECT_FLOAT_EQ(vertices[0].texcoord[0][1], c.v);
  }
}

TEST_F(TextureCoordsTest, UVProjectionReadsTheMapWithPolygonOverrides) {
  TextureLayer& l = addLayer(kProjectionUV);
  auto* uv = new UVMap("uv", 3);
  uv->values[1] = {0.25f, 0.75f, 0.0f};
  uv->values[2] = {0.5f, 0.5f, 0.0f};
  uv->polygons.resize(8);
  uv->polygons[7].points = {2};
  uv->polygons[7].values = {{0.9f, 0.1f, 0.0f}};
  l.setUVMap(0, uv);
  EXPECT_EQ(uv->refCount(), 1);
  const float p[3][3] = {};
  const float n[3] = {0, 0, 1};
  const std::int32_t points[3] = {0, 1, 2};
  map(3, p, n, points, 7);
  EXPECT_EQ(vertices[0].texcoord[0][0], 0.0f);  // point 0 not in the map
  EXPECT_EQ(vertices[1].texcoord[0][1], 0.75f);
  EXPECT_EQ(vertices[2].texcoord[0][0], 0.9f);  // polygon 7's own value
  map(3, p, n, points, 3);
  EXPECT_EQ(vertices[2].texcoord[0][0], 0.5f);
  // Releasing the layer drops its reference (the map goes with it here).
  uv->addRef();
  l.release();
  EXPECT_EQ(uv->refCount(), 1);
  uv->release();
}

TEST(StagePlanTest, SpecularAndTransparencyAlwaysFindAStage) {
  Surface s(nullptr, "s");
  for (int i = 0; i < 9; ++i) s.addTextureLayer(layer("COLR"));
  s.addTextureLayer(layer("SPEC"));
  SurfaceStagePlan plan(s);
  EXPECT_EQ(plan.colorCount, 7);
  EXPECT_EQ(plan.specularStart, 7);
  EXPECT_EQ(plan.specularCount, 1);
  EXPECT_EQ(plan.stageCount, 8);
  s.addTextureLayer(layer("TRAN"));
  SurfaceStagePlan withTransparency(s);
  EXPECT_EQ(withTransparency.colorCount, 6);
  EXPECT_EQ(withTransparency.specularStart, 6);
  EXPECT_EQ(withTransparency.transparencyStart, 7);
  EXPECT_EQ(withTransparency.transparencyCount, 1);
}

TEST(StagePlanTest, ColourLevelsPickModulateShifts) {
  Surface s(nullptr, "s");
  for (float level : {2.0f, -3.0f, 1.49f}) {
    s.addTextureLayer(layer("COLR"));
    s.imageLayers.back()->rgbLevel = level;
  }
  SurfaceStagePlan plan(s);
  EXPECT_EQ(plan.stageShift[0], 1);
  EXPECT_EQ(plan.stageShift[1], 2);
  EXPECT_EQ(plan.stageShift[2], 0);
  EXPECT_EQ(plan.totalShift, 3);
}

TEST(StagePlanTest, TransparencyDarkensTheMaterialUnlessALayerCarriesIt) {
  Surface s(nullptr, "s");
  s.transparency.value = 0.5f;
  SurfaceStagePlan plan(s);
  EXPECT_FLOAT_EQ(plan.materialColor[0], 100.0f / 255.0f);
  EXPECT_FLOAT_EQ(plan.materialColor[3], 0.5f);
  s.addTextureLayer(layer("TRAN"));
  SurfaceStagePlan layered(s);
  EXPECT_FLOAT_EQ(layered.materialColor[0], 200.0f / 255.0f);
  EXPECT_FLOAT_EQ(layered.materialColor[3], 1.0f);
  // A reflective surface with reflection options 0 takes its alpha from the reflection.
  Surface mirror(nullptr, "m");
  mirror.reflection.value = 0.25f;
  mirror.reflectionOptions = 0;
  EXPECT_FLOAT_EQ(SurfaceStagePlan(mirror).materialColor[3], 0.75f);
}

class VertexColourTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto l = std::make_unique<TextureLayer>();
    l->blockType = fourCC("vcol");
    l->channel = fourCC("COLR");
    map = new ColorMap("rgb", 2);
    l->setColorMap(0, map);
    surface.addTextureLayer(std::move(l));
  }
  Surface surface{nullptr, "s"};
  ColorMap* map = nullptr;
  SourceVertex vertices[2];
  const std::int32_t points[2] = {0, 1};
};

TEST_F(VertexColourTest, OverbrightColoursRaiseTheVertexShift) {
  map->values[0] = {1.5f, 0.5f, 0.0f, 1.0f};
  SurfaceStagePlan plan(surface);
  ASSERT_EQ(plan.vertexColorLayer, surface.vertexColorLayers[0].get());
  fillVertexColors(plan, vertices, 0, 2, points, 0);
  EXPECT_FLOAT_EQ(vertices[0].color[0], 1.5f);
  EXPECT_FLOAT_EQ(vertices[0].color[3], plan.materialColor[3]);  // RGB map: material alpha
  EXPECT_EQ(plan.vertexColorShift, 1);
  EXPECT_EQ(plan.colorScale, 2);
  // Clamped layers never raise shifts.
  surface.vertexColorLayers[0]->clamp = true;
  SurfaceStagePlan clamped(surface);
  fillVertexColors(clamped, vertices, 0, 2, points, 0);
  EXPECT_EQ(clamped.colorScale, 1);
}

TEST_F(VertexColourTest, LevelOffsetNegativeAndOpacityShapeTheColour) {
  TextureLayer& l = *surface.vertexColorLayers[0];
  l.rgbLevel = 0.5f;
  l.rgbOffset = 0.25f;
  l.negative = true;
  l.opacity.value = 0.5f;
  map->values[1] = {0.5f, 0.0f, 1.0f, 1.0f};
  SurfaceStagePlan plan(surface);
  fillVertexColors(plan, vertices, 0, 2, points, 0);
  // k = -0.5, b = 0.75: (m k + b) o + material (1 - o).
  const float material = 200.0f / 255.0f * 0.5f;
  EXPECT_FLOAT_EQ(vertices[1].color[0], 0.5f * 0.5f + material);
  EXPECT_FLOAT_EQ(vertices[1].color[2], 0.25f * 0.5f + material);
  // No map for this object layer: black, opaque.
  fillVertexColors(plan, vertices, 0, 2, points, 1);
  EXPECT_EQ(vertices[0].color[0], 0.0f);
  EXPECT_EQ(vertices[0].color[3], 1.0f);
}

}  // namespace
