// The sample archive the build wrote, mounted, and a Gui started on it with
// CEGUI's null renderer (1024 x 768).
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
#include "tests/support/sample_archive.h"
#include "tools/sample_data/sample_sources.h"

// The sample archive the build wrote, mounted once per test program.
inline ArchiveFile& sampleArchive() { return builtSampleArchive(); }

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
