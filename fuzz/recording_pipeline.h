// One render pipeline over the recording device for a whole fuzzing run, as
// the game has one, and a scene root with one scene on it: made once per
// process (a scene makes a font, a pipeline a window), emptied after every
// input so that no input sees what an earlier one loaded.
#pragma once

#include <cstdlib>
#include <memory>

#include "platform/graphics/d3d9_recording.h"
#include "platform/window/window.h"
#include "render/display_settings.h"
#include "render/render_pipeline.h"
#include "render/texture.h"
#include "scene/lwo_model.h"
#include "scene/scene.h"
#include "scene/scene_root.h"

class RecordingPipeline {
 public:
  // Made in the first call, so that the window system it starts is
  // finished first and so outlives it at exit.
  static RecordingPipeline& instance() {
    static RecordingPipeline harness;
    return harness;
  }

  // Null when the device could not be made.
  RenderPipeline* pipeline() { return m_pipeline.get(); }
  // A root named "fuzz" with one scene, both on the pipeline.
  SceneRoot& root() { return *m_root; }
  Scene& scene() { return *m_scene; }

  // Drops what the last input loaded into the root, in the order the
  // root's destructor does, and the scene's clip rate.
  void emptyRoot() {
    if (m_pipeline && m_pipeline->currentDevice)
      for (DWORD stage = 0; stage < m_pipeline->caps.MaxSimultaneousTextures; ++stage)
        m_pipeline->currentDevice->SetTexture(stage, nullptr);
    m_root->textures.clear();
    m_root->surfaces.clear();
    m_root->models.clear();
    m_scene->framesPerSecond = m_framesPerSecond;
  }

 private:
  static LRESULT windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
  }

  RecordingPipeline() {
    setenv("TESSALINE_REGISTRY", "/nonexistent/registry.ini", 1);
    WNDCLASSA wc{};
    wc.lpfnWndProc = windowProc;
    wc.lpszClassName = "Orbivane";
    RegisterClassA(&wc);
    FakeAdapter adapter;
    adapter.modes = {{640, 480, 60, D3DFMT_X8R8G8B8}};
    setDirect3DFactory([adapter](UINT) { return new RecordingDirect3D9({adapter}, nullptr); });
    m_manager = std::make_unique<DeviceManager>();
    m_manager->settings->windowed = true;
    if (m_manager->enumerateAdapters("Error", "no d3d", "no tnl")) {
      ::Setup setup(m_manager.get());
      setup.run();
      if (m_manager->createRenderWindow("Orbivane", nullptr)) m_pipeline = std::make_unique<RenderPipeline>(*m_manager);
    }
    m_root = std::make_unique<SceneRoot>(m_pipeline.get(), "fuzz");
    auto scene = std::make_unique<Scene>(m_root.get());
    m_scene = scene.get();
    m_framesPerSecond = m_scene->framesPerSecond;
    m_root->addScene(std::move(scene));
  }
  ~RecordingPipeline() {
    m_root.reset();
    m_pipeline.reset();
    m_manager.reset();
  }

  std::unique_ptr<DeviceManager> m_manager;
  std::unique_ptr<RenderPipeline> m_pipeline;
  std::unique_ptr<SceneRoot> m_root;
  Scene* m_scene = nullptr;
  double m_framesPerSecond = 0;
};
