// The sample archive against the names the menus and displays ask for:
// every entry opens once by its name, every tune decodes, every imageset
// is named as its file; the GUI on the null renderer and the menu with
// every screen shown ask only for names the archive holds; the race
// displays' imagesets hold the images they name; every track's road fills
// the rectangle its maps and minimap are drawn over. And the tool itself
// stops on a name added twice.
#include <CEGUI/CEGUI.h>
#include <gtest/gtest.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "foundation/archive_file.h"
#include "game/kart/kart_tuning.h"
#include "game/saves/config.h"
#include "game/track/track_maps.h"
#include "gui/gui.h"
#include "gui/ingame/hud_layout.h"
#include "gui/loading_window.h"
#include "gui/menu/menu.h"
#include "input/input_device.h"
#include "lightwave/lwo2_loader.h"
#include "net/net_control.h"
#include "platform/gui/gui_renderer.h"
#include "scene/scene.h"
#include "tests/render/pipeline_fixture.h"
#include "tests/support/sample_archive.h"
#include "tests/support/scratch_dir.h"
#include "tests/tools/recording_file.h"
#include "tools/sample_data/picture_imageset.h"
#include "tools/sample_data/sample_archive.h"
#include "tools/sample_data/track_samples.h"

namespace {

std::vector<std::uint8_t> entryBytes(const std::string& name) {
  ArchiveFile entry(builtSampleArchive());
  if (!entry.open(name.c_str())) return {};
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(entry.size()));
  if (!bytes.empty() && entry.read(bytes.data(), entry.size()) != entry.size()) bytes.clear();
  return bytes;
}

bool endsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// An Ogg Vorbis stream in memory, read through libvorbisfile's callbacks.
struct MemoryStream {
  const std::vector<std::uint8_t>* bytes;
  std::size_t at = 0;
};

double oggSeconds(const std::vector<std::uint8_t>& bytes) {
  MemoryStream stream{&bytes};
  ov_callbacks callbacks{};
  callbacks.read_func = [](void* out, std::size_t size, std::size_t count, void* source) -> std::size_t {
    auto* s = static_cast<MemoryStream*>(source);
    const std::size_t n = std::min(size * count, s->bytes->size() - s->at);
    std::memcpy(out, s->bytes->data() + s->at, n);
    s->at += n;
    return size ? n / size : 0;
  };
  // Seekable, so that the decoder knows the length.
  callbacks.seek_func = [](void* source, ogg_int64_t offset, int whence) -> int {
    auto* s = static_cast<MemoryStream*>(source);
    const ogg_int64_t base = whence == SEEK_SET   ? 0
                             : whence == SEEK_CUR ? static_cast<ogg_int64_t>(s->at)
                                                  : static_cast<ogg_int64_t>(s->bytes->size());
    if (base + offset < 0 || base + offset > static_cast<ogg_int64_t>(s->bytes->size())) return -1;
    s->at = static_cast<std::size_t>(base + offset);
    return 0;
  };
  callbacks.tell_func = [](void* source) -> long { return static_cast<long>(static_cast<MemoryStream*>(source)->at); };
  OggVorbis_File file;
  if (ov_open_callbacks(&stream, &file, nullptr, 0, callbacks) != 0) return -1.0;
  const double seconds = ov_time_total(&file, -1);
  ov_clear(&file);
  return seconds;
}

TEST(SampleArchive, EveryEntryOpensTunesDecodeAndImagesetsAreNamedAsTheirFiles) {
  ArchiveFile& archive = builtSampleArchive();
  ASSERT_TRUE(archive.mounted());
  std::set<std::string> folded;
  int tunes = 0;
  for (int i = 0; i < archive.entryCount(); ++i) {
    const std::string& name = archive.entryName(i);
    std::string lower = name;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_TRUE(folded.insert(lower).second) << name << " twice";
    const std::vector<std::uint8_t> bytes = entryBytes(name);
    ASSERT_FALSE(bytes.empty()) << name;
    if (endsWith(lower, ".ogg")) {
      ++tunes;
      EXPECT_GT(oggSeconds(bytes), 0.0) << name;
    }
    if (endsWith(lower, ".imageset")) {
      const std::string xml(bytes.begin(), bytes.end());
      const std::string stem = name.substr(name.rfind('\\') + 1, name.size() - name.rfind('\\') - 10);
      EXPECT_NE(xml.find("name=\"" + stem + "\""), std::string::npos) << name;
      const std::size_t file = xml.find("imagefile=\"");
      ASSERT_NE(file, std::string::npos) << name;
      const std::string picture = xml.substr(file + 11, xml.find('"', file + 11) - file - 11);
      EXPECT_FALSE(entryBytes("D:\\Tamberlok\\menu\\" + picture).empty()) << picture;
    }
  }
  EXPECT_EQ(tunes, 10) << "eight tracks, the menu and the highscores";
  // Bare tuning files of ten values for every class and driver.
  for (int engineClass = 0; engineClass < 3; ++engineClass)
    for (int character = 0; character < 6; ++character)
      EXPECT_EQ(entryBytes(KartTuning::fileNameFor(engineClass, character)).size(), 40u)
          << KartTuning::fileNameFor(engineClass, character);
  EXPECT_FALSE(entryBytes("D:\\Tamberlok\\menu\\DejaVu-LICENSE.txt").empty()) << "the fonts' licence";
}

// Where a picture drawn over a track's rectangle shows road: the first and
// last column and row with any.
struct RoadExtent {
  int left = 1 << 30, right = -1, top = 1 << 30, bottom = -1;
  void see(int column, int row) {
    left = std::min(left, column), right = std::max(right, column);
    top = std::min(top, row), bottom = std::max(bottom, row);
  }
};

// The road lies wholly inside the picture, clear of its edge pixels, and
// spans a good part of the rectangle it is drawn over (width x depth
// metres): the larger of the road's width and depth at least half the
// rectangle's shorter side, the other at least a quarter of it. A smaller
// road is a dot or a sliver on the minimap, its markers on top of each
// other; one past the edge is cut off there and reads the edge pixels.
void expectRoadFills(const RoadExtent& road, int width, int height, float metresWide, float metresDeep,
                     const char* what) {
  ASSERT_GE(road.right, 0) << what << ": no road at all";
  EXPECT_GT(road.left, 0) << what;
  EXPECT_GT(road.top, 0) << what;
  EXPECT_LT(road.right, width - 1) << what;
  EXPECT_LT(road.bottom, height - 1) << what;
  const float across = static_cast<float>(road.right - road.left + 1) * metresWide / static_cast<float>(width);
  const float along = static_cast<float>(road.bottom - road.top + 1) * metresDeep / static_cast<float>(height);
  const float shorter = std::min(metresWide, metresDeep);
  EXPECT_GE(std::max(across, along), shorter / 2.0f) << what << ": " << across << " x " << along << " m";
  EXPECT_GE(std::min(across, along), shorter / 4.0f) << what << ": " << across << " x " << along << " m";
}

// Every track's road fills the rectangle that its maps and its minimap
// share: the position map as the race reads it from the archive, and the
// minimap picture over the rectangle and at the size the race displays
// place their markers by.
TEST(SampleArchive, EveryTracksRoadFillsTheRectangleOfItsMapsAndMinimap) {
  for (int index = 0; index < 8; ++index) {
    SCOPED_TRACE("track " + std::to_string(index));
    const TrackPositionMap map(&builtSampleArchive(), index);
    ASSERT_TRUE(map.loaded());
    const TrackRectangle& r = map.rectangle();
    const hud_layout::MinimapTrack* minimap = hud_layout::minimapTrack(index);
    ASSERT_NE(minimap, nullptr);
    EXPECT_EQ(minimap->xMin, r.minX);
    EXPECT_EQ(minimap->xMax, r.maxX);
    EXPECT_EQ(minimap->zMin, r.minZ);
    EXPECT_EQ(minimap->zMax, r.maxZ);
    const float wide = r.maxX - r.minX, deep = r.maxZ - r.minZ;

    RoadExtent onMap;
    for (int row = 0; row < 512; ++row)
      for (int column = 0; column < 512; ++column) {
        const Position3 p{r.minX + (static_cast<float>(column) + 0.5f) * wide / 512.0f, 0.0f,
                          r.maxZ - (static_cast<float>(row) + 0.5f) * deep / 512.0f};
        if (map.valueAt(p) != 0) onMap.see(column, row);
      }
    expectRoadFills(onMap, 512, 512, wide, deep, "position map");

    const SampleTrack& track = *findSampleTrack(index);
    EXPECT_EQ(track.rect.minX, r.minX);
    EXPECT_EQ(track.rect.maxX, r.maxX);
    EXPECT_EQ(track.rect.minZ, r.minZ);
    EXPECT_EQ(track.rect.maxZ, r.maxZ);
    const int width = static_cast<int>(minimap->width), height = static_cast<int>(minimap->height);
    EXPECT_EQ(track.minimapWidth, width);
    EXPECT_EQ(track.minimapHeight, height);
    const std::vector<std::uint32_t> pixels = minimapPixels(track, width, height);
    ASSERT_EQ(pixels.size(), static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    RoadExtent drawn;
    for (int row = 0; row < height; ++row)
      for (int column = 0; column < width; ++column)
        if (pixels[static_cast<std::size_t>(row) * static_cast<std::size_t>(width) + column] >> 24 != 0)
          drawn.see(column, row);
    expectRoadFills(drawn, width, height, wide, deep, "minimap");
  }
}

// The eight track pictures the menus show tell the tracks apart at a
// glance: over a coarse grid of the picture (16 x 8 cells, each cell's mean
// colour) any two differ by 20 levels a channel or more, root mean square.
TEST(SampleArchive, TheTrackPicturesDifferFromEachOtherAtAGlance) {
  constexpr int kColumns = 16, kRows = 8;
  std::vector<std::vector<double>> cells;
  for (const NamedPicture& p : drawTracks()) {
    if (p.name.rfind("Track", 0) != 0) continue;
    std::vector<double>& mean = cells.emplace_back();
    const int width = p.picture.width(), height = p.picture.height();
    for (int gy = 0; gy < kRows; ++gy)
      for (int gx = 0; gx < kColumns; ++gx) {
        const int x0 = gx * width / kColumns, x1 = (gx + 1) * width / kColumns;
        const int y0 = gy * height / kRows, y1 = (gy + 1) * height / kRows;
        double sum[3] = {};
        for (int y = y0; y < y1; ++y)
          for (int x = x0; x < x1; ++x)
            for (int c = 0; c < 3; ++c) sum[c] += static_cast<double>(p.picture.at(x, y) >> (16 - 8 * c) & 0xFF);
        for (double v : sum) mean.push_back(v / ((x1 - x0) * (y1 - y0)));
      }
  }
  ASSERT_EQ(cells.size(), 8u);
  for (std::size_t a = 0; a < cells.size(); ++a)
    for (std::size_t b = a + 1; b < cells.size(); ++b) {
      double squares = 0.0;
      for (std::size_t i = 0; i < cells[a].size(); ++i)
        squares += (cells[a][i] - cells[b][i]) * (cells[a][i] - cells[b][i]);
      EXPECT_GE(std::sqrt(squares / static_cast<double>(cells[a].size())), 20.0)
          << "Track" << a + 1 << " and Track" << b + 1;
    }
}

// Sources that add what they are given.
std::vector<std::pair<std::string, std::string>> g_adds;
bool addGiven(ArchiveWriter& writer) {
  for (const auto& [name, text] : g_adds)
    if (!writer.add(name, text)) return false;
  return true;
}
bool fail(ArchiveWriter&) { return false; }

TEST(SampleTool, StopsOnANameAddedTwiceIgnoringCaseOrOnASourceThatFails) {
  const SampleSource twice[] = {{"first", "GUI", addGiven}, {"second", "GUI", addGiven}};
  g_adds = {{"D:\\Tamberlok\\menu\\Texts.xml", "a"}};
  SampleRun run = runSampleSources(twice, 2);
  EXPECT_FALSE(run.ok);
  EXPECT_NE(run.error.find("Texts.xml"), std::string::npos) << run.error;
  EXPECT_TRUE(run.archive.empty());

  g_adds = {{"D:\\Tamberlok\\menu\\Texts.xml", "a"}, {"d:\\tamberlok\\MENU\\texts.XML", "b"}};
  EXPECT_FALSE(runSampleSources(std::span(twice, 1), 1).ok) << "the archive finds names in any case";

  const SampleSource failing[] = {{"first", "GUI", addGiven}, {"broken pictures", "GUI", fail}};
  g_adds = {{"a.txt", "a"}};
  run = runSampleSources(failing, 2);
  EXPECT_FALSE(run.ok);
  EXPECT_NE(run.error.find("broken pictures"), std::string::npos) << run.error;

  // Apart from that, the archive does not depend on the threads that made it.
  g_adds = {{"a.txt", std::string(5000, 'a')}, {"b.txt", "bb"}, {"c.txt", std::string(300, 'c')}};
  const SampleSource three[] = {{"one", "GUI", addGiven}};
  EXPECT_EQ(runSampleSources(three, 1).archive, runSampleSources(three, 8).archive);
}

// The GUI and the menu as the game starts them, over the sample archive.
class SampleMenu : public PipelineTest {
 protected:
  void SetUp() override {
    PipelineTest::SetUp();
    build(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    setenv("TESSALINE_TEXTURE_CACHE", (scratch.m_root / "cache").c_str(), 1);
    installLightWaveLoaders();
  }
  void TearDown() override {
    menu.reset();
    gui.reset();
    unsetenv("TESSALINE_TEXTURE_CACHE");
    PipelineTest::TearDown();
  }

  ScratchDir scratch;  // the menu's shutdown saves "config.dat"
  RecordingFile files{builtSampleArchive()};
  InputDevice input;
  Config config{nullptr, NetControl::getInstance(), Config::SavedFile::Ignore};
  std::unique_ptr<Gui> gui;
  std::unique_ptr<Menu> menu;
};

TEST_F(SampleMenu, EveryScreenAndDisplayFindsItsFilesAndImages) {
  gui = std::make_unique<Gui>(pipeline.get(), &input, files, GuiRenderer::createNull(1024, 768));
  for (const char* font : Gui::kFontNames) EXPECT_TRUE(CEGUI::FontManager::getSingleton().isDefined(font)) << font;
  menu = std::make_unique<Menu>(pipeline.get(), gui.get());
  ASSERT_TRUE(menu->init(&files, nullptr, &config));
  for (int slot = 0; slot < Menu::kScreenCount; ++slot) {
    GuiScreen* screen = menu->screen(static_cast<Menu::Slot>(slot));
    ASSERT_NE(screen, nullptr) << "slot " << slot;
    menu->setScreen(screen);
  }
  for (int k = 0; k < Menu::kKartCount; ++k) {
    ASSERT_NE(menu->m_kartScenes[k], nullptr);
    EXPECT_NE(menu->m_kartScenes[k]->findItem("motor", -1, 1), nullptr) << "kart " << k;
    EXPECT_EQ(menu->m_kartScenes[k]->cameras.size(), 1u);
  }
  for (int c = 0; c < Menu::kCharacterCount; ++c) {
    ASSERT_NE(menu->m_characterScenes[c], nullptr);
    EXPECT_EQ(menu->m_characterScenes[c]->cameras.size(), 1u);
  }

  // The race's displays: their imagesets by file, the images by name.
  const std::pair<const char*, std::vector<const char*>> displays[] = {
      {"Countdown", {"Count1", "Count2", "Count3", "Count4"}},
      {"Extras",
       {"Extra_None", "Extra_Shield", "Extra_Magnet", "Extra_Shrinker", "Extra_Froster", "Extra_Turbo", "Extra_Mine",
        "Extra_Rocket2", "Extra_Rocket1", "Extra_Oil", "Extra_Weight", "Extra_Soap", "Extra_Flash"}},
      {"Minimap_Objects", {"Red", "Green", "Blue"}},
      {"WrongDirection", {"FullImage"}},
  };
  for (const auto& [set, images] : displays) {
    gui->loadImageset(CEGUI::String(set) + ".imageset");
    for (const char* image : images)
      EXPECT_TRUE(gui->m_imageManager->isDefined(std::string(set) + "/" + image)) << set << "/" << image;
  }
  for (const char* number : {"01", "02", "03", "04", "05", "06", "07", "08"}) {
    const std::string set = std::string("Minimap_Track") + number;
    gui->loadImageset(set + ".imageset");
    EXPECT_TRUE(gui->m_imageManager->isDefined(set + "/Minimap")) << set;
  }
  // The loading window, and the picture a cup's end shows for each driver.
  {
    LoadingWindow loading(gui.get());
    EXPECT_TRUE(gui->m_imageManager->isDefined("LoadingScreen/Bar"));
  }
  for (const char* driver : {"Quorrel", "Affe", "Alien", "Kroet", "Pumpkin", "Tod"}) {
    const std::string set = std::string("Endscreen_") + driver;
    gui->loadImageset(set + ".imageset");
    EXPECT_TRUE(gui->m_imageManager->isDefined(set + "/Background")) << set;
  }
  EXPECT_TRUE(gui->m_imageManager->isDefined("Quillfen/GenericBrush"));
  EXPECT_TRUE(gui->m_imageManager->isDefined("Quillfen/MouseArrow"));
  menu->shutdown();

  EXPECT_EQ(lastMessage(), "");
  EXPECT_EQ(files.missing(), std::vector<std::string>{});
  std::set<std::string> asked;
  for (const auto& [name, found] : files.log()) asked.insert(name);
  EXPECT_GT(asked.size(), 60u) << "the walk asked for the GUI's, the menu's and the screens' files";
}

}  // namespace
