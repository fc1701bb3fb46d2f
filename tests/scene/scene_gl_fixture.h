// Scenes drawn on the OpenGL device under Xvfb: a root, one scene, models
// made of quads in code, objects, a camera at the origin looking along +z,
// and the back buffer read back.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "render/surface.h"
#include "render/texture.h"
#include "scene/camera_item.h"
#include "scene/light_item.h"
#include "scene/lwo_model.h"
#include "scene/object_item.h"
#include "scene/scene.h"
#include "scene/scene_root.h"
#include "tests/render/pipeline_fixture.h"

// A one-level 2 x 2 texture of one colour.
class FlatTexture : public Texture {
 public:
  FlatTexture(RenderPipeline* p, D3DCOLOR texel) : Texture(p, 0) {
    p->devices[0]->CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, deviceTextures[0].put(), nullptr);
    D3DLOCKED_RECT locked{};
    if (deviceTextures[0] && SUCCEEDED(deviceTextures[0]->LockRect(0, &locked, nullptr, 0))) {
      for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
          reinterpret_cast<D3DCOLOR*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch)[x] = texel;
      deviceTextures[0]->UnlockRect(0);
    }
    shownTextures[0] = deviceTextures[0].get();
  }
  std::unique_ptr<Texture> clone() const override { return nullptr; }
  void load() override {}
  int kind() const override { return kTextureKindFile; }
};

class SceneGlTest : public PipelineTest {
 protected:
  void SetUp() override {
    PipelineTest::SetUp();
    buildOnGl();
    device = pipeline->currentDevice;
    ASSERT_NE(device, nullptr);
    D3DPRESENT_PARAMETERS p{};
    device->GetPresentParameters(&p);
    width = static_cast<int>(p.BackBufferWidth);
    height = static_cast<int>(p.BackBufferHeight);
    pipeline->requestedWidth = pipeline->targetWidth = width;
    pipeline->requestedHeight = pipeline->targetHeight = height;
    root = std::make_unique<SceneRoot>(pipeline.get(), "test");
    root->addScene(std::make_unique<Scene>(root.get()));
    scene = root->scenes.back().get();
    auto item = std::make_unique<CameraItem>(scene, 0);
    camera = item.get();
    scene->cameras.push_back(std::move(item));
    scene->followed = camera;
  }
  void TearDown() override {
    root.reset();
    PipelineTest::TearDown();
  }

  // A surface that shows `colour` by its own light (unlit) unless `lit`.
  Surface& addSurface(const std::string& name, float r, float g, float b, bool lit = false) {
    root->surfaces.push_back(std::make_unique<Surface>(root.get(), name));
    Surface& s = *root->surfaces.back();
    s.red.value = r, s.green.value = g, s.blue.value = b;
    s.diffuse.value = lit ? 1.0f : 0.0f;
    s.luminosity.value = lit ? 0.0f : 1.0f;
    s.loaded = true;
    return s;
  }

  // A model of one layer whose polygons use the model's surfaces by index.
  SurfaceRenderObject* addModel(const std::vector<Surface*>& surfaces, std::vector<Position3> points,
                                const std::vector<std::vector<std::int32_t>>& polygons,
                                const std::vector<std::uint32_t>& polygonSurfaces,
                                const std::vector<VertexMap*>& maps = {}) {
    root->models.push_back(std::make_unique<LWOModel>(root.get(), "model" + std::to_string(root->models.size())));
    LWOModel& model = *root->models.back();
    model.surfaces = surfaces;
    std::vector<SurfacePolygon> list;
    for (std::size_t i = 0; i < polygons.size(); ++i) {
      SurfacePolygon p;
      p.points = polygons[i];
      p.surface = polygonSurfaces[i];
      list.push_back(p);
    }
    model.layers.push_back(
        std::make_unique<SurfaceRenderObject>(pipeline.get(), &model, std::move(list), std::move(points), maps));
    model.layers.back()->index = 0;
    return model.layers.back().get();
  }

  // A square of half-size h facing the camera (-z) at depth z, centred at (x, y).
  SurfaceRenderObject* addSquare(Surface& surface, float h) {
    return addModel({&surface}, {{-h, -h, 0}, {-h, h, 0}, {h, h, 0}, {h, -h, 0}}, {{0, 1, 2, 3}}, {0});
  }

  template <class T = ObjectItem>
  T* addObject(SurfaceRenderObject* mesh, float x, float y, float z) {
    auto item = std::make_unique<T>(scene, static_cast<std::int32_t>(scene->objects.size()));
    T* object = item.get();
    if (mesh) object->addMesh(mesh, 0.0f);
    object->position[0].value = x, object->position[1].value = y, object->position[2].value = z;
    object->prepareOnce();
    scene->objects.push_back(std::move(item));
    return object;
  }

  LightItem* addLight(LightKind kind, float intensity) {
    auto item = std::make_unique<LightItem>(scene, static_cast<std::int32_t>(scene->lights.size()));
    LightItem* light = item.get();
    light->lightKind = kind;
    light->red.value = light->green.value = light->blue.value = 1.0f;
    light->intensity.value = intensity;
    scene->lights.push_back(std::move(item));
    return light;
  }

  void frame(double t = 0.0) { scene->render(t, true); }

  // The pixel at the camera's normalised screen position (x, y in -1..1, y up).
  DWORD pixelAt(float x, float y) {
    const int px = std::clamp(static_cast<int>((x + 1.0f) / 2.0f * static_cast<float>(width)), 0, width - 1);
    const int py = std::clamp(static_cast<int>((1.0f - y) / 2.0f * static_cast<float>(height)), 0, height - 1);
    DWORD pixel = 0;
    EXPECT_EQ(device->ReadBackBuffer(static_cast<UINT>(px), static_cast<UINT>(py), 1, 1, &pixel), D3D_OK);
    return pixel & 0xFFFFFF;
  }
  // Where a point in view space lands: x 2.4 / z, y 3.2 / z at zoom 3.2.
  DWORD pixelOf(float x, float y, float z) { return pixelAt(x * 2.4f / z, y * 3.2f / z); }

  static int channel(DWORD c, int shift) { return static_cast<int>((c >> shift) & 0xFF); }
  static int red(DWORD c) { return channel(c, 16); }
  static int green(DWORD c) { return channel(c, 8); }
  static int blue(DWORD c) { return channel(c, 0); }
  static bool near(DWORD actual, DWORD expected, int tolerance = 3) {
    for (int shift = 0; shift < 24; shift += 8)
      if (std::abs(channel(actual, shift) - channel(expected, shift)) > tolerance) return false;
    return true;
  }

  IDirect3DDevice9* device = nullptr;
  int width = 0, height = 0;
  std::unique_ptr<SceneRoot> root;
  Scene* scene = nullptr;
  CameraItem* camera = nullptr;
};
