// The sample GUI data packed into an archive in memory and mounted, and a
// Gui started on it with CEGUI's null renderer (1024 x 768).
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "content/archive_writer.h"
#include "foundation/archive_file.h"
#include "gui/gui.h"
#include "gui/gui_helper.h"
#include "platform/gui/gui_renderer.h"
#include "tests/support/memory_file.h"
#include "tests/support/report_capture.h"
#include "tools/sample_data/sample_sources.h"

// The mounted sample archive, built once per test program.
inline ArchiveFile& sampleArchive() {
  static MemoryFile disk;
  static std::unique_ptr<ArchiveFile> archive = [] {
    ArchiveWriter writer;
    EXPECT_TRUE(addOptionsSamples(writer));
    EXPECT_TRUE(addGuiSamples(writer));
    EXPECT_TRUE(addMenuSamples(writer));
    EXPECT_TRUE(writer.write(disk, "data.sar"));
    auto mounted = std::make_unique<ArchiveFile>(disk);
    EXPECT_TRUE(mounted->mount("data.sar"));
    return mounted;
  }();
  return *archive;
}

class NullGuiTest : public ReportCapture {
 protected:
  void SetUp() override {
    ReportCapture::SetUp();
    gui = std::make_unique<Gui>(nullptr, nullptr, sampleArchive(), GuiRenderer::createNull(1024, 768));
  }
  void TearDown() override {
    gui.reset();
    ReportCapture::TearDown();
  }
  std::unique_ptr<Gui> gui;
};
