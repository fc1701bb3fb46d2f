// Scenes drawn on the OpenGL device under Xvfb into a texture with a depth
// surface of their own, and at any distance from the camera.
#include <gtest/gtest.h>

#include "platform/testing/textured_quad.h"
#include "tests/scene/scene_gl_fixture.h"

namespace {

using SceneTargetGl = SceneGlTest;

TEST_F(SceneTargetGl, ASceneDrawnIntoATextureIsDepthTestedAgainstItsOwnSurface) {
  ComPtr<IDirect3DTexture9> texture;
  ComPtr<IDirect3DSurface9> colour, depth, backBuffer, deviceDepth;
  ASSERT_EQ(device->CreateTexture(256, 256, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, texture.put(),
                                  nullptr),
            D3D_OK);
  ASSERT_EQ(texture->GetSurfaceLevel(0, colour.put()), D3D_OK);
  ASSERT_EQ(device->CreateDepthStencilSurface(256, 256, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0, 1, depth.put(), nullptr),
            D3D_OK);
  ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, backBuffer.put()), D3D_OK);
  ASSERT_EQ(device->GetDepthStencilSurface(deviceDepth.put()), D3D_OK);

  // A red square at depth 4 is drawn first (near first), then a green wall
  // at 8 covering the view: the wall must stay behind the square.
  addObject(addSquare(addSurface("red", 1, 0, 0), 0.5f), 0, 0, 4);
  addObject(addSquare(addSurface("green", 0, 1, 0), 20.0f), 0, 0, 8);
  // The back buffer blue, its depth at 0: nothing drawn with it passes.
  device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0xFF0000FF, 0.0f, 0);

  scene->renderTarget = colour.get();
  scene->renderTargetDepth = depth.get();
  frame();
  ComPtr<IDirect3DSurface9> target, bound;
  device->GetRenderTarget(0, target.put());
  device->GetDepthStencilSurface(bound.put());
  EXPECT_EQ(target.get(), backBuffer.get()) << "render target 0 restored";
  EXPECT_EQ(bound.get(), deviceDepth.get()) << "the device's depth surface restored";

  // Drawn again into the back buffer without clearing: its depth, left at
  // 0, lets nothing through, also where the texture's pixels would share it.
  scene->renderTarget = scene->renderTargetDepth = nullptr;
  pipeline->restoreBackBuffer();
  scene->render(0.0, false);
  EXPECT_EQ(pixelAt(0, 0), 0x0000FFu);
  EXPECT_EQ(pixelAt(-0.95f, 0.95f), 0x0000FFu) << "top left, where a small target would share the depth";

  // The texture: the square in the middle, the wall around it.
  ASSERT_EQ(drawTexturedQuadForTest(device, texture.get()), D3D_OK);
  EXPECT_EQ(pixelAt(0, 0), 0xFF0000u);
  EXPECT_EQ(pixelAt(0.9f, 0.9f), 0x00FF00u);
}

TEST_F(SceneTargetGl, ALoneSquareFacingTheCameraIsDrawnNearAndFarAway) {
  // All that is in view lies at one depth: the fitted depth range is empty
  // but for its margin.
  Surface& red = addSurface("red", 1, 0, 0);
  for (float z : {10.0f, 2500.0f, 100000.0f}) {
    SCOPED_TRACE(z);
    addObject(addSquare(red, 0.25f * z), 0, 0, z);
    frame();
    EXPECT_EQ(pixelAt(0, 0), 0xFF0000u);
    EXPECT_EQ(pixelAt(0.9f, 0.9f), 0u) << "the square only";
    scene->objects.pop_back();
  }
}

}  // namespace
