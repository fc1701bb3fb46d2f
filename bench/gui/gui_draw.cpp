// gui_draw: the loading window at 1024 x 768 drawn 300 times through the
// upright layer (clear, CEGUI, composite) and 300 times straight into the
// bound GL-order target, with the cost of each and their ratio. Needs an X
// server (xvfb-run).
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include <unistd.h>

#include <CEGUI/GUIContext.h>
#include "bench/support/bench_screen.h"
#include "content/archive_writer.h"
#include "foundation/archive_file.h"
#include "foundation/file.h"

#include "gui/gui.h"
#include "gui/loading_window.h"
#include "platform/graphics/d3d9.h"
#include "platform/gui/gui_renderer.h"
#include "platform/window/window.h"
#include "tools/sample_data/sample_sources.h"

namespace {

constexpr int kFrames = 300;

// Milliseconds per presented frame of `draw`, the GPU's work included.
template <typename Draw>
double timeFrames(IDirect3DDevice9* device, Draw draw) {
  DWORD pixel = 0;
  auto frame = [&] {
    device->BeginScene();
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    draw();
    device->EndScene();
    // Presented, as every real frame is: Mesa's software renderer would
    // otherwise drop whatever the next frame's clear covers.
    device->Present(nullptr, nullptr, nullptr, nullptr);
  };
  frame();
  device->ReadBackBuffer(0, 0, 1, 1, &pixel);
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kFrames; ++i) frame();
  device->ReadBackBuffer(0, 0, 1, 1, &pixel);  // waits for the last frame
  const std::chrono::duration<double, std::milli> spent = std::chrono::steady_clock::now() - start;
  return spent.count() / kFrames;
}

}  // namespace

int main() {
  BenchScreen screen;
  if (!screen.open("gui_draw", 1024, 768, true)) {
    std::fprintf(stderr, "gui_draw: no OpenGL device (run under xvfb-run)\n");
    return 1;
  }
  const ComPtr<IDirect3DDevice9>& device = screen.device;

  DiskFile disk;
  ArchiveWriter writer;
  if (!addGuiSamples(writer)) return 1;
  const std::string path = "/tmp/gui_draw_bench_" + std::to_string(getpid()) + ".sar";
  if (!writer.write(path.c_str())) return 1;
  ArchiveFile archive(disk);
  if (!archive.mount(path.c_str())) return 1;

  {
    Gui gui(nullptr, nullptr, archive, GuiRenderer::createOnDevice(device.get()));
    LoadingWindow loading(&gui);
    loading.setProgress(50);
    const double redrawn = timeFrames(device.get(), [&] {
      gui.context().markAsDirty();  // as if a window changed every frame
      gui.render();
    });
    const double layered = timeFrames(device.get(), [&] { gui.render(); });
    const double straight = timeFrames(device.get(), [&] { gui.m_renderer->renderWithoutLayer(); });
    std::printf("loading window, 1024 x 768, %d frames\n", kFrames);
    std::printf("  through the layer, redrawn each frame: %.3f ms per frame\n", redrawn);
    std::printf("  through the layer, unchanged GUI:      %.3f ms per frame\n", layered);
    std::printf("  straight into the target:              %.3f ms per frame\n", straight);
    std::printf("  ratio, redrawn: %.2f; unchanged: %.2f\n", redrawn / straight, layered / straight);
  }
  std::remove(path.c_str());
  return 0;
}
