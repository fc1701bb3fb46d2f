// Feeds arbitrary bytes to the LightWave object loader as "object.lwo" of a
// scene over the recording device, then prepares every layer it made, so
// the geometry build sees whatever polygons, points and maps got through.
// Pictures the file names do not exist.
#include <cstdint>
#include <memory>
#include <string>

#include "foundation/file_data.h"
#include "fuzz/byte_file.h"
#include "lightwave/lwo2_loader.h"
#include "platform/graphics/d3d9_recording.h"
#include "platform/window/window.h"
#include "render/display_settings.h"
#include "render/render_pipeline.h"
#include "scene/lwo_model.h"
#include "scene/scene.h"
#include "scene/scene_root.h"

namespace {

LRESULT windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

// One recording device for the whole run, as the game has one pipeline.
// Made in the constructor, so the window system it starts is finished
// first and so outlives it at exit.
struct Harness {
  Harness() {
    setenv("TESSALINE_REGISTRY", "/nonexistent/registry.ini", 1);
    WNDCLASSA wc{};
    wc.lpfnWndProc = windowProc;
    wc.lpszClassName = "Orbivane";
    RegisterClassA(&wc);
    FakeAdapter adapter;
    adapter.modes = {{640, 480, 60, D3DFMT_X8R8G8B8}};
    setDirect3DFactory([adapter](UINT) { return new RecordingDirect3D9({adapter}, nullptr); });
    manager = std::make_unique<DeviceManager>();
    manager->settings->windowed = true;
    if (!manager->enumerateAdapters("Error", "no d3d", "no tnl")) return;
    ::Setup setup(manager.get());
    setup.run();
    if (manager->createRenderWindow("Orbivane", nullptr)) pipeline = std::make_unique<RenderPipeline>(*manager);
  }
  ~Harness() {
    pipeline.reset();
    manager.reset();
  }
  std::unique_ptr<DeviceManager> manager;
  std::unique_ptr<RenderPipeline> pipeline;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Every picture name opens the input itself: keep such decodes small.
  setImagePixelLimit(256 * 256);
  static Harness harness;
  RenderPipeline* renderer = harness.pipeline.get();
  if (!renderer) return 0;
  SceneRoot root(renderer, "fuzz");
  auto scene = std::make_unique<Scene>(&root);
  FuzzByteFile file(data, size);
  std::unique_ptr<LWOModel> model = loadLWO2File(*scene, &file, "object.lwo");
  if (!model) return 0;
  for (auto& layer : model->layers) {
    if (layer) layer->prepare(true);
  }
  root.models.push_back(std::move(model));
  root.addScene(std::move(scene));
  return 0;
}
