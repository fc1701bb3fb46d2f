// Feeds arbitrary bytes to the credits screen as "Credits.txt": the screen
// builds its lines on CEGUI's null renderer, scrolls them for a few frames
// and is torn down. The GUI and its data (the sample archive's scheme,
// fonts and imagesets) are made once per process.
#include <CEGUI/Exceptions.h>
#include <CEGUI/WindowManager.h>

#include <cstdint>
#include <memory>

#include "content/archive_writer.h"
#include "foundation/archive_file.h"
#include "foundation/report.h"
#include "fuzz/byte_file.h"
#include "game/saves/config.h"
#include "gui/credits_screen.h"
#include "gui/gui.h"
#include "gui/screen_host.h"
#include "gui/text_table.h"
#include "platform/gui/gui_renderer.h"
#include "tools/sample_data/sample_sources.h"

namespace {

class Host : public ScreenHost {
 public:
  Host()
      : m_archiveBytes(sampleArchiveBytes()),
        m_disk(m_archiveBytes.data(), m_archiveBytes.size()),
        m_archive(m_disk),
        m_mounted(m_archive.mount("data.sar")),
        m_gui(nullptr, nullptr, m_archive, GuiRenderer::createNull(1024, 768)),
        m_texts(m_archive, "D:\\Tamberlok/menu/Texts.xml") {
    // The imagesets the menu loads before it shows the screen: without
    // them every run would throw and log CEGUI's exceptions.
    try {
      m_gui.loadImageset("Quillfen.imageset");
      m_gui.loadImageset("Credits.imageset");
    } catch (const CEGUI::Exception&) {
      m_mounted = false;
    }
  }

  bool ready() const { return m_mounted; }
  void setCredits(const std::uint8_t* data, std::size_t size) {
    m_credits = std::make_unique<FuzzByteFile>(data, size);
  }

  Gui& gui() override { return m_gui; }
  File& files() override { return *m_credits; }
  Config& config() override { return m_config; }
  TextTable& texts() override { return m_texts; }
  void playClickSound() override {}
  float frameDelta() override { return 1.0f / 60.0f; }

 private:
  static std::vector<std::uint8_t> sampleArchiveBytes() {
    ArchiveWriter writer;
    addOptionsSamples(writer);
    addGuiSamples(writer);
    addMenuSamples(writer);
    return writer.build();
  }

  std::vector<std::uint8_t> m_archiveBytes;
  FuzzByteFile m_disk;
  ArchiveFile m_archive;
  bool m_mounted;
  Gui m_gui;
  TextTable m_texts;
  Config m_config{nullptr, NetControl::getInstance(), Config::SavedFile::Ignore};
  std::unique_ptr<FuzzByteFile> m_credits;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  g_messageLevel = 0;
  static Host host;
  if (!host.ready()) return 0;
  host.setCredits(data, size);
  {
    CreditsScreen credits(host);
    for (int frame = 0; frame < 3; ++frame) credits.update(frame == 2 ? 40.0f : 0.5f);
  }
  // Destroyed windows wait in CEGUI's dead pool until a frame is drawn.
  CEGUI::WindowManager::getSingleton().cleanDeadPool();
  return 0;
}
