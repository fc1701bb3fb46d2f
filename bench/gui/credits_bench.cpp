// credits_bench: the credits screen over a Credits.txt of 1,000 lines (and
// of the 2,000 the screen keeps at most), built, scrolled for 10 seconds of
// menu frames and torn down with the library's release of its windows.
// Prints the milliseconds of each part and their sum, which should stay
// under 100 ms for 1,000 lines, and what one drawn frame costs besides.
// Draws through the GL renderer under an X server (xvfb-run); with --null,
// through CEGUI's null renderer.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include <unistd.h>

#include <CEGUI/GUIContext.h>
#include <CEGUI/WindowManager.h>

#include "bench/support/bench_screen.h"
#include "content/archive_writer.h"
#include "foundation/archive_file.h"
#include "foundation/file.h"
#include "game/saves/config.h"
#include "gui/credits_screen.h"
#include "gui/gui.h"
#include "gui/screen_host.h"
#include "gui/text_table.h"
#include "platform/graphics/d3d9.h"
#include "platform/gui/gui_renderer.h"
#include "platform/window/window.h"
#include "tools/sample_data/sample_sources.h"

namespace {

constexpr int kScrollFrames = 600;  // 10 s at 60 frames a second
constexpr int kDrawnFrames = 30;
constexpr float kFrame = 1.0f / 60.0f;

// Credits as they are written: titles, headings, small print and names.
std::string creditsText(int lines) {
  static const char* const kMarkers[] = {"*", "!", "#", ""};
  std::string text;
  for (int i = 0; i < lines; ++i)
    text += std::string(kMarkers[i % 4]) + "Credits line " + std::to_string(i) + " of the Tessaline team\r\n";
  return text;
}

class Host : public ScreenHost {
 public:
  Host(Gui& gui, File& files) : m_gui(gui), m_files(files), m_texts(files, "D:\\Tamberlok/menu/Texts.xml") {}
  Gui& gui() override { return m_gui; }
  File& files() override { return m_files; }
  Config& config() override { return m_config; }
  TextTable& texts() override { return m_texts; }
  void playClickSound() override {}
  float frameDelta() override { return kFrame; }

 private:
  Gui& m_gui;
  File& m_files;
  Config m_config{nullptr, NetControl::getInstance(), Config::SavedFile::Ignore};
  TextTable m_texts;
};

double since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

struct Figures {
  double build, scroll, tearDown, frame;
};

// One pass over a credits file of `lines` lines; `frame` draws one menu frame.
template <typename Frame>
Figures measure(Gui& gui, int lines, Frame frame) {
  DiskFile disk;
  ArchiveWriter writer;
  // The bench's credits come first, so they are found before the sample's.
  writer.add("D:\\Tamberlok\\menu\\Credits.txt", creditsText(lines));
  addMenuSamples(writer);
  const std::string path = "/tmp/credits_bench_" + std::to_string(getpid()) + ".sar";
  writer.write(path.c_str());
  ArchiveFile archive(disk);
  archive.mount(path.c_str());
  Host host(gui, archive);

  Figures f{};
  auto start = std::chrono::steady_clock::now();
  auto screen = std::make_unique<CreditsScreen>(host);
  screen->activate();
  screen->update();
  f.build = since(start);

  start = std::chrono::steady_clock::now();
  for (int i = 0; i < kScrollFrames; ++i) screen->update();
  f.scroll = since(start);

  // Drawn frames are the renderer's cost, the same for any file: shown, not
  // counted.
  frame();
  start = std::chrono::steady_clock::now();
  for (int i = 0; i < kDrawnFrames; ++i) {
    screen->update();
    frame();
  }
  f.frame = since(start) / kDrawnFrames;

  start = std::chrono::steady_clock::now();
  gui.context().setRootWindow(nullptr);
  screen.reset();
  CEGUI::WindowManager::getSingleton().cleanDeadPool();  // what the next frame does first
  f.tearDown = since(start);
  std::remove(path.c_str());
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  const bool null = argc > 1 && std::strcmp(argv[1], "--null") == 0;
  DiskFile disk;
  ArchiveWriter writer;
  if (!addGuiSamples(writer) || !addMenuSamples(writer)) return 1;
  const std::string path = "/tmp/credits_bench_gui_" + std::to_string(getpid()) + ".sar";
  if (!writer.write(path.c_str())) return 1;
  ArchiveFile archive(disk);
  if (!archive.mount(path.c_str())) return 1;

  BenchScreen screen;
  if (!null && !screen.open("credits_bench", 1024, 768, false)) {
    std::fprintf(stderr, "credits_bench: no OpenGL device (run under xvfb-run, or pass --null)\n");
    return 1;
  }
  const ComPtr<IDirect3DDevice9>& device = screen.device;
  {
    Gui gui(nullptr, nullptr, archive,
            null ? GuiRenderer::createNull(1024, 768) : GuiRenderer::createOnDevice(device.get()));
    gui.loadImageset("Quillfen.imageset");
    gui.loadImageset("Credits.imageset");
    auto frame = [&] {
      if (device) {
        device->BeginScene();
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
      }
      gui.render();
      if (device) {
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
      }
    };
    std::printf("credits screen, %s renderer: built, scrolled %d frames (10 s), torn down\n", null ? "null" : "GL",
                kScrollFrames);
    for (int lines : {1000, 2000}) {
      const Figures f = measure(gui, lines, frame);
      const double together = f.build + f.scroll + f.tearDown;
      std::printf(
          "  %4d lines: build %.1f ms, scroll %.1f ms, tear down %.1f ms, together %.1f ms%s;"
          " a drawn frame %.2f ms\n",
          lines, f.build, f.scroll, f.tearDown, together,
          lines == 1000 ? (together < 100.0 ? " (under 100 ms)" : " (OVER 100 ms)") : "", f.frame);
    }
  }
  std::remove(path.c_str());
  return 0;
}
