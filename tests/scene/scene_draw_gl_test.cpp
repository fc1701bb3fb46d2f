// Whole scenes drawn through the render pass on the OpenGL device under
// Xvfb and read back: surfaces, skinning, lights, fog, flares, mirrors and
// culling planes. Every expected colour is worked out in the comment beside
// its check.
#include <gtest/gtest.h>

#include "render/vertex_map.h"
#include "scene/bone_item.h"
#include "scene/culling_plane.h"
#include "scene/lens_flare.h"
#include "tests/scene/scene_gl_fixture.h"

namespace {

using SceneDrawGl = SceneGlTest;

TEST_F(SceneDrawGl, ASurfaceOfEachKindIsDrawnThroughTheFixedFunctionPass) {
  // A white wall behind; in front, one object of three squares side by
  // side: a green texture on white, red vertex colours, half-transparent blue.
  Surface& wall = addSurface("wall", 1, 1, 1);
  addObject(addSquare(wall, 4.0f), 0, 0, 8);

  Surface& textured = addSurface("textured", 1, 1, 1);
  FlatTexture texture(pipeline.get(), 0xFF00FF00);
  auto layer = std::make_unique<TextureLayer>();
  layer->blockType = fourCC("IMAP");
  layer->channel = fourCC("COLR");
  layer->texture = &texture;
  textured.addTextureLayer(std::move(layer));

  Surface& coloured = addSurface("coloured", 1, 1, 1);
  auto* map = new ColorMap("rgb", 12);
  for (int p = 4; p < 8; ++p) map->values[p] = {1, 0, 0, 1};
  auto vertexLayer = std::make_unique<TextureLayer>();
  vertexLayer->channel = fourCC("COLR");
  vertexLayer->setColorMap(0, map);
  coloured.vertexColorLayers.push_back(std::move(vertexLayer));

  Surface& glass = addSurface("glass", 0, 0, 1);
  glass.transparency.value = 0.5f;

  std::vector<Position3> points;
  for (float x : {-1.5f, -0.5f, 0.5f}) {
    for (const auto& [dx, dy] : {std::pair{0.0f, -0.4f}, {0.0f, 0.4f}, {0.8f, 0.4f}, {0.8f, -0.4f}})
      points.push_back({x + dx, dy, 0});
  }
  SurfaceRenderObject* mesh =
      addModel({&textured, &coloured, &glass}, points, {{0, 1, 2, 3}, {4, 5, 6, 7}, {8, 9, 10, 11}}, {0, 1, 2});
  mesh->flagA = 1;  // drawn far-first, after the wall
  addObject(mesh, 0, 0, 5);
  frame();

  EXPECT_TRUE(near(pixelOf(-1.1f, 0, 5), 0x00FF00)) << std::hex << pixelOf(-1.1f, 0, 5);
  EXPECT_TRUE(near(pixelOf(-0.1f, 0, 5), 0xFF0000)) << std::hex << pixelOf(-0.1f, 0, 5);
  // Blue at half strength, blended by its alpha 0.5 over white:
  // (0, 0, 0.5) x 0.5 + (1, 1, 1) x 0.5 = (0.5, 0.5, 0.75).
  EXPECT_TRUE(near(pixelOf(0.9f, 0, 5), 0x8080BF)) << std::hex << pixelOf(0.9f, 0, 5);
  EXPECT_TRUE(near(pixelOf(1.7f, 0, 5), 0xFFFFFF)) << std::hex << pixelOf(1.7f, 0, 5);
}

TEST_F(SceneDrawGl, ASkinnedObjectIsBentByItsBones) {
  // A red strip standing on the origin: its lower half follows bone 0
  // (left at rest), its upper half bone 1, turned a quarter about z.
  Surface& skin = addSurface("skin", 1, 0, 0);
  SurfaceRenderObject* mesh = addModel({&skin},
                                       {{-0.1f, -1, 0},
                                        {-0.1f, 0, 0},
                                        {0.1f, 0, 0},
                                        {0.1f, -1, 0},
                                        {-0.1f, 0, 0},
                                        {-0.1f, 1, 0},
                                        {0.1f, 1, 0},
                                        {0.1f, 0, 0}},
                                       {{0, 1, 2, 3}, {4, 5, 6, 7}}, {0, 0});
  for (int b = 0; b < 2; ++b) mesh->bones.push_back(std::make_unique<BoneItem>(scene, 0, b));
  addObject(mesh, 0, 0, 5);
  for (SourceVertex& v : mesh->cache.vertices) {
    v.blendIndices[0] = v.position[1] > 0.01f ? 1 : 0;
    v.blendWeights[0] = 1.0f;
    v.blendWeights[1] = v.blendWeights[2] = v.blendWeights[3] = 0.0f;
  }
  frame();
  EXPECT_EQ(pixelOf(0, 0.6f, 5), 0xFF0000u) << "at rest both halves stand";

  mesh->bones[1]->rotation[2].value = 1.5707964f;
  scene->invalidateTransforms(nullptr);
  frame();
  EXPECT_EQ(pixelOf(0, -0.6f, 5), 0xFF0000u) << "the lower half stays";
  EXPECT_EQ(pixelOf(0, 0.6f, 5), 0u) << "the upper half has left";
  const bool left = pixelOf(-0.6f, 0, 5) == 0xFF0000u, right = pixelOf(0.6f, 0, 5) == 0xFF0000u;
  EXPECT_NE(left, right) << "and lies along x on one side";
}

TEST_F(SceneDrawGl, DirectionalPointAndSpotLightsLightWhatTheyReach) {
  // Three grey (0.8) lit squares facing the camera at x = -2, 0, 2; the
  // device lights per vertex, so a square shows the mean of its corners.
  scene->ambientIntensity.value = 0.0f;
  Surface& grey = addSurface("grey", 0.8f, 0.8f, 0.8f, true);
  for (float x : {-2.0f, 0.0f, 2.0f}) addObject(addSquare(grey, 0.5f), x, 0, 5);
  LightItem* directional = addLight(kLightDistant, 1.0f);  // along +z, onto the squares' fronts
  LightItem* point = addLight(kLightPoint, 1.0f);
  point->position[0].value = 2.0f, point->position[2].value = 4.5f;
  LightItem* spot = addLight(kLightSpot, 1.0f);  // at the eye, along +z
  spot->coneAngle.value = 0.2617994f;            // 15 degrees, full inside 14
  spot->edgeAngle.value = 0.01745329f;
  scene->prepare(nullptr, 0, 0);
  auto only = [&](LightItem* on) {
    for (LightItem* light : {directional, point, spot}) light->disabled = light != on;
    frame();
  };

  only(directional);  // N.L = 1 everywhere: 0.8 x 255 = 204
  for (float x : {-2.0f, 0.0f, 2.0f}) EXPECT_NEAR(red(pixelOf(x, 0, 5)), 204, 3) << x;
  only(point);
  // Half a unit before the right square: N.L = 0.5 / 0.866 at every corner.
  EXPECT_NEAR(red(pixelOf(2.0f, 0, 5)), 118, 3);
  // Grazing the left one: N.L 0.140 and 0.110 at its near and far corners.
  EXPECT_NEAR(red(pixelOf(-2.0f, 0, 5)), 25, 4);
  only(spot);  // the middle square's corners 8 degrees off the axis, the others' 17.5 and more
  EXPECT_NEAR(red(pixelOf(0, 0, 5)), 204, 3);
  EXPECT_EQ(red(pixelOf(-2.0f, 0, 5)), 0);
  EXPECT_EQ(red(pixelOf(2.0f, 0, 5)), 0);
  only(nullptr);
  EXPECT_EQ(red(pixelOf(0, 0, 5)), 0) << "no light, no ambient: black";
}

TEST_F(SceneDrawGl, LinearFogMixesTheFogColourByDepth) {
  Surface& white = addSurface("white", 1, 1, 1);
  addObject(addSquare(white, 1.0f), 0, 0, 6)->affectedByFog = true;
  scene->fogColor[0] = 1, scene->fogColor[1] = 0, scene->fogColor[2] = 0;
  scene->fogMinDistance = 4.0f, scene->fogMaxDistance = 8.0f;
  scene->fogMode = D3DFOG_EXP;
  frame();
  EXPECT_EQ(pixelOf(0, 0, 6), 0xFFFFFFu) << "exponential fog draws no fog";
  scene->fogMode = D3DFOG_LINEAR;
  frame();
  // Halfway between start and end: half white, half red.
  const DWORD c = pixelOf(0, 0, 6);
  EXPECT_TRUE(near(c, 0xFF8080, 8)) << std::hex << c;
}

TEST_F(SceneDrawGl, AFlareIsHiddenBehindAnOccluderAndShownWithout) {
  LightItem* light = addLight(kLightPoint, 1.0f);
  light->position[2].value = 10.0f;
  light->flareEnabled = true;
  light->flareOptions = kFlareGreyGlow;
  light->flareIntensity.value = 1.0f;
  light->disabled = false;
  Surface& navy = addSurface("blue", 0, 0, 0.5f);
  ObjectItem* wall = addObject(addSquare(navy, 1.0f), 0, 0, 5);
  scene->prepare(nullptr, 0, 0);
  ASSERT_TRUE(light->flareSet);

  // A query is read in a later frame, once the driver has its answer: on a
  // busy machine that may take more than the next one.
  auto drawUntil = [&](auto seen) {
    for (int i = 0; i < 200; ++i) {
      frame(0.0);
      if (seen()) return true;
    }
    return false;
  };
  frame(0.0);  // the query is issued
  frame(0.0);  // and read: nothing of the light is seen
  EXPECT_EQ(pixelOf(0, 0, 5), 0x000080u) << "hidden behind the wall";

  wall->scale[0].value = wall->scale[1].value = wall->scale[2].value = 0.0f;  // gone
  frame(0.0);
  EXPECT_TRUE(drawUntil([&] { return red(pixelOf(0, 0, 10)) > 60; })) << "no glow after 200 frames";
  const DWORD glow = pixelOf(0, 0, 10);
  EXPECT_GT(red(glow), 60) << std::hex << glow;
  EXPECT_EQ(red(glow), blue(glow)) << "a grey glow";
  EXPECT_EQ(pixelOf(0.8f, 0.8f, 10), 0u) << "only around the light";
}

TEST_F(SceneDrawGl, AMirrorFloorShowsTheReflectedObject) {
  ASSERT_TRUE(pipeline->stencilAvailable);
  // A floor at y = -1 from z = 3.5 to 12, half mirror, half blue; a red
  // square standing on it at z = 6.
  Surface& floor = addSurface("floor", 0, 0, 1);
  floor.reflection.value = 0.5f;
  floor.reflectionOptions = 0;
  addObject(addModel({&floor}, {{-2, 0, 3.5f}, {-2, 0, 12}, {2, 0, 12}, {2, 0, 3.5f}}, {{0, 1, 2, 3}}, {0}), 0, -1, 0);
  Surface& crimson = addSurface("red", 1, 0, 0);
  addObject(addModel({&crimson}, {{-0.5f, -0.9f, 0}, {-0.5f, -0.2f, 0}, {0.5f, -0.2f, 0}, {0.5f, -0.9f, 0}},
                     {{0, 1, 2, 3}}, {0}),
            0, 0, 6);
  frame();
  EXPECT_EQ(pixelOf(0, -0.5f, 6), 0xFF0000u) << "the square itself";
  // Its mirror image lies at y = -1.1 .. -1.8: half red over half blue.
  EXPECT_TRUE(near(pixelOf(0, -1.5f, 6), 0x800080, 3)) << std::hex << pixelOf(0, -1.5f, 6);
  // The floor beside it reflects the black background.
  EXPECT_TRUE(near(pixelOf(1.5f, -1.0f, 6), 0x000080, 3)) << std::hex << pixelOf(1.5f, -1.0f, 6);
  EXPECT_EQ(SurfaceRenderObject::reflectionDepth, 0);
  EXPECT_EQ(pipeline->cullMode, static_cast<std::uint32_t>(D3DCULL_CCW));
}

TEST_F(SceneDrawGl, ACullingPlaneHidesWhatLiesBehindIt) {
  Surface& crimson = addSurface("red", 1, 0, 0);
  addObject(addSquare(crimson, 0.5f), 0, 0, 8);
  Surface& clear = addSurface("occluder", 0, 1, 0);
  auto* plane = addObject<CullingPlaneObject>(addSquare(clear, 2.0f), 0, 0, 4);
  scene->cullingPlanes.push_back(plane);
  frame();
  EXPECT_EQ(pixelOf(0, 0, 8), 0u) << "hidden, and the plane itself is not drawn";
  plane->position[2].value = 10.0f;  // now behind the square
  scene->invalidateTransforms(nullptr);
  frame();
  EXPECT_EQ(pixelOf(0, 0, 8), 0xFF0000u);
}

}  // namespace
