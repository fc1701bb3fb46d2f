// The menu started on doctored archives, as a player's "data.sar" reaches
// it: a text table nested 40,000 deep behind a "<" and a quote (it crashed
// the parser), one of 16.5 MB of empty Takes (1.39 GB), a text of 4 MB
// (minutes), a picture whose data does not decode (it threw out of the
// start), credits and branding files past their size (dropped silently).
// Each menu starts, shows its screens and shuts down; what was refused is
// reported.
#include <CEGUI/CEGUI.h>
#include <gtest/gtest.h>

#include <string>

#include "content/png_writer.h"
#include "game/saves/config.h"
#include "gui/credits_screen.h"
#include "gui/end_screen.h"
#include "gui/menu/menu.h"
#include "gui/text_table.h"
#include "input/input_device.h"
#include "net/net_control.h"
#include "tests/foundation/memory_bound.h"
#include "tests/gui/gui_fixture.h"
#include "tests/support/doctored_archive.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/trace_capture.h"

namespace {

const std::string kMenu = "D:\\Tamberlok\\menu\\";

// The picture file an imageset of the sample archive names.
std::string pictureOf(const std::string& imageset) {
  const DoctoredArchive::Bytes bytes = DoctoredArchive::sampleEntry(kMenu + imageset + ".imageset");
  const std::string text(bytes.begin(), bytes.end());
  const std::size_t at = text.find("imagefile=\"");
  if (at == std::string::npos) return "";
  const std::size_t from = at + 11;
  return text.substr(from, text.find('"', from) - from);
}

struct Doctored {
  const char* what;
  DoctoredArchive::Changes changes;
  std::vector<std::string> refusals;  // each once in the trace
};

std::vector<Doctored> doctoredMenus() {
  std::string deep = "<?xml version=\"1.0\" ?>\n<Texts>< \"x\">";
  for (int i = 0; i < 40000; ++i) deep += "<Take>";
  std::string empty = "<Texts>";
  while (empty.size() < 16'500'000) empty += "<Take id=\"1\"/>";
  empty += "</Texts>";
  const std::string longText =
      "<Texts><Take id=\"2001\"><De>" + std::string(4 << 20, 'x') + "</De><En>y</En></Take></Texts>";
  const std::string splash = pictureOf("splash");
  EXPECT_FALSE(splash.empty());
  using B = DoctoredArchive;
  return {
      {"deep text table behind an unknown node",
       {{kMenu + "Texts.xml", B::text(deep)}},
       {"\"D:\\Tamberlok/menu/Texts.xml\": elements nested deeper than 256 levels; the text table is not read"}},
      {"text table of empty Takes",
       {{kMenu + "Texts.xml", B::text(empty)}},
       {"\"D:\\Tamberlok/menu/Texts.xml\": 1178572 elements, more than the 32768 a table of 4096 texts holds; "
        "the text table is not read"}},
      {"text of 4 MB",
       {{kMenu + "Texts.xml", B::text(longText)}},
       {"\"D:\\Tamberlok/menu/Texts.xml\": 1 texts longer than 8192 characters are cut there"}},
      {"splash picture whose data does not decode",
       {{kMenu + splash, writePngRows(4096, 4096, std::vector<std::uint8_t>(100, 0))}},
       {"GUI picture of 4096 x 4096 refused: its data does not decode; it shows blank"}},
      {"credits and branding past their size",
       {{kMenu + "Credits.txt", B::Bytes((1 << 20) + 1, 'x')},
        {kMenu + "Branding_Demo.xml", B::Bytes((1 << 20) + 2, ' ')}},
       {"\"D:\\Tamberlok/menu/Credits.txt\": 1048577 bytes, more than the 1048576 it may have; it is not read",
        "\"D:\\Tamberlok/menu/Branding_Demo.xml\": 1048578 bytes, more than the 1048576 it may have; it is not "
        "read"}},
  };
}

class HostileMenu : public ReportCapture {
 protected:
  // Starts the GUI and the menu on `files`, shows every screen the main
  // menu reaches for a few frames, and shuts the menu down.
  bool runMenu(File& files) {
    Config config(nullptr, NetControl::getInstance(), Config::SavedFile::Ignore);
    InputDevice input;
    Gui gui(nullptr, &input, files, GuiRenderer::createNull(1024, 768));
    Menu menu(nullptr, &gui);
    if (!menu.init(&files, nullptr, &config)) return false;
    for (Menu::Slot slot : {Menu::kMainMenu, Menu::kCredits, Menu::kHelp, Menu::kOptions, Menu::kHighscores}) {
      if (!menu.screen(slot)) return false;
      menu.setScreen(menu.screen(slot));
      for (int frame = 0; frame < 5; ++frame) menu.update();
    }
    return menu.shutdown();
  }
  ScratchDir scratch;
};

TEST_F(HostileMenu, TheMenuStartsOnEachDoctoredArchiveAndSaysWhatItRefused) {
  for (const Doctored& d : doctoredMenus()) {
    SCOPED_TRACE(d.what);
    DoctoredArchive doctored(d.changes);
    std::size_t largestChange = 0;
    for (const auto& [name, bytes] : d.changes) largestChange = std::max(largestChange, bytes.size());
    const MemoryUse use = measureMemory([&] { return runMenu(doctored.archive()) ? 0 : 1; });
    EXPECT_EQ(use.result, 0);
    // 96 MB for the menu itself and 32 MB for the decoded pictures it keeps
    // for later textures, which a decode ahead may hold while a refused
    // picture's rows are still allocated.
    EXPECT_LE(use.peakGrowth, static_cast<long long>(3 * largestChange) + (128LL << 20));
    // Once more with the trace caught (a child process ran the measured start
    // outside the sanitizer).
    TraceCapture trace;
    EXPECT_TRUE(runMenu(doctored.archive()));
    for (const std::string& refusal : d.refusals) EXPECT_EQ(trace.count(refusal), 1u) << refusal;
  }
}

}  // namespace
