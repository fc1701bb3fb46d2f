// GUI files made to hurt, each from a generator: XML nested deeper than the
// parser's stack, a font and a picture whose few bytes ask for gigabytes,
// credits of many lines or one huge line. Each is refused with a report or
// read, within its size plus 64 MB (the largest allocation under the
// sanitizer; an address-space limit in a child process otherwise).
#include <CEGUI/CEGUI.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "content/bmp_writer.h"
#include "content/jpeg_writer.h"
#include "content/png_writer.h"
#include "game/saves/config.h"
#include "gui/branding.h"
#include "gui/credits_screen.h"
#include "gui/end_screen.h"
#include "gui/picture_codec.h"
#include "gui/screen_host.h"
#include "gui/text_table.h"
#include "gui/xml_nesting.h"
#include "tests/foundation/memory_bound.h"
#include "tests/gui/gui_fixture.h"

namespace {

const std::string kMenu = "D:\\Tamberlok\\menu\\";
constexpr std::size_t kHeadroom = std::size_t{64} << 20;

// `body` answers whether the file was handled as it should be; its memory
// may grow by the file's size and 64 MB.
void expectBounded(std::size_t fileBytes, const char* what, const std::function<bool()>& body) {
#ifdef TESSALINE_TEST_ASAN
  bool handled = false;
  const std::size_t largest = largestAllocationOf([&] { handled = body(); });
  EXPECT_TRUE(handled) << what;
  EXPECT_LE(largest, fileBytes + kHeadroom) << what;
#else
  const int status = exitStatusUnderMemoryLimit(fileBytes + kHeadroom, [&] { return body() ? 0 : 1; });
  EXPECT_TRUE(exitedWithZero(status)) << what << ": status " << status;
#endif
}

// ---- generators ---------------------------------------------------------------

// A document whose root holds `depth` nested elements, after `before`.
std::string deepXml(const std::string& root, int depth, const std::string& before = "") {
  std::string text = "<?xml version=\"1.0\" ?>\n<" + root + ">" + before;
  text.reserve(text.size() + static_cast<std::size_t>(depth) * 7);
  for (int i = 0; i < depth; ++i) text += "<Take>";
  return text;
}

std::string fontFile(const std::string& name, const std::string& size, const std::string& scaling = "") {
  return "<?xml version=\"1.0\" ?>\n<Font version=\"3\" name=\"" + name +
         "\" filename=\"DejaVuSans.ttf\" type=\"FreeType\" size=\"" + size + "\" " +
         (scaling.empty() ? "nativeHorzRes=\"1024\" nativeVertRes=\"768\" autoScaled=\"disabled\"" : scaling) +
         " antiAlias=\"true\"/>\n";
}

std::uint32_t crc32(const std::uint8_t* p, std::size_t n) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < n; ++i) {
    crc ^= p[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

// A one-pixel PNG whose header claims `width` x `height`: a decoder makes
// room for the claimed picture before it finds the data short.
std::vector<std::uint8_t> pngClaiming(std::uint32_t width, std::uint32_t height) {
  std::vector<std::uint8_t> png = writePng(1, 1, {0xFF000000});
  for (int i = 0; i < 4; ++i) {
    png[16 + i] = static_cast<std::uint8_t>(width >> (24 - 8 * i));
    png[20 + i] = static_cast<std::uint8_t>(height >> (24 - 8 * i));
  }
  const std::uint32_t crc = crc32(png.data() + 12, 17);  // "IHDR" and its 13 bytes
  for (int i = 0; i < 4; ++i) png[29 + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
  return png;
}

std::string imagesetOver(const std::string& name, const std::string& picture) {
  return "<?xml version=\"1.0\" ?>\n<Imageset version=\"2\" name=\"" + name + "\" imagefile=\"" + picture +
         "\" nativeHorzRes=\"1024\" nativeVertRes=\"768\" autoScaled=\"false\">"
         "<Image name=\"All\" xPos=\"0\" yPos=\"0\" width=\"1\" height=\"1\"/></Imageset>\n";
}

// The sample menu folder (scheme, looks, imagesets, fonts ...) with some
// files replaced or added.
std::unique_ptr<MemoryFile> guiFilesWith(
    const std::vector<std::pair<std::string, std::vector<std::uint8_t>>>& changed) {
  auto files = std::make_unique<MemoryFile>();
  ArchiveFile& archive = sampleArchive();
  auto reader = archive.cloneUnique();
  for (int i = 0; i < archive.entryCount(); ++i) {
    const std::string& name = archive.entryName(i);
    if (name.rfind(kMenu, 0) != 0 || !reader->open(name.c_str())) continue;
    std::vector<unsigned char> bytes(static_cast<std::size_t>(reader->size()));
    if (!bytes.empty()) reader->read(bytes.data(), reader->size());
    reader->close();
    files->put(name, std::move(bytes));
  }
  for (const auto& [name, bytes] : changed) files->put(name, std::vector<unsigned char>(bytes.begin(), bytes.end()));
  return files;
}

std::vector<std::uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

// ---- XML -------------------------------------------------------------------------

TEST(XmlNesting, CountsElementsAsTheParserReadsThem) {
  std::string within = "<a>", beyond = "<a>";
  for (int i = 1; i < 256; ++i) within += "<b x='1'>";
  beyond = within + "<c>";
  EXPECT_TRUE(xmlNestingWithin(within));
  EXPECT_FALSE(xmlNestingWithin(beyond));
  // Closed, empty and non-element markup take no level.
  std::string flat = "<?xml version=\"1.0\"?><!DOCTYPE x [<!ELEMENT y>]><root>";
  for (int i = 0; i < 1000; ++i) flat += "<e/><f a=\"<g>\"></f><!-- <h> --><![CDATA[<i>]]>text<?pi <j>?>";
  EXPECT_TRUE(xmlNestingWithin(flat + "</root>", 2));
  EXPECT_FALSE(xmlNestingWithin("<a><b><c/></b><b><c><d>", 3));
  EXPECT_TRUE(xmlNestingWithin("</x></x><a><b></b></a>", 2)) << "stray end tags give no credit";
  EXPECT_FALSE(xmlNestingWithin("</x></x><a><b><c>", 2));
  // Only a letter or "_" after the "<" starts an element (bytes from 127 up
  // count as letters); any other "<" is an unknown node up to its first
  // ">", whatever quotes it holds.
  for (const char* unknown : {"< \"", "<\"", "<'", "<1", "<-", "<=\"", "<\t'"}) {
    EXPECT_FALSE(xmlNestingWithin(std::string("<a>") + unknown + "><b><c>", 2)) << unknown;
    EXPECT_TRUE(xmlNestingWithin(std::string("<a>") + unknown + "><b/>", 2)) << unknown;
  }
  EXPECT_FALSE(xmlNestingWithin("<a><_b><\xC3\xA9><\x7F>", 3));
}

// Nested 60,000 deep, any of the GUI's XML files crashed the parser; now
// each is refused with a report, and a table of real depth still loads. So
// are 40,000 levels behind a "<" and a quote, which the parser takes as an
// unknown node up to its first ">".
TEST(HostileXml, DeepTablesAndBrandingAreRefusedWithAReport) {
  g_messageLevel = 1;
  g_logMessages = true;
  const std::pair<int, std::string> forms[] = {{60000, ""}, {40000, "< \"x\">"}, {40000, "<'>"}};
  for (const auto& [depth, before] : forms) {
    for (const char* table : {"Texts.xml", "IngameTexts.xml"}) {
      MemoryFile files;
      const std::string name = "D:\\Tamberlok/menu/" + std::string(table);
      const std::string text = deepXml("Texts", depth, before);
      files.put(name, text);
      expectBounded(text.size(), table, [&] {
        g_lastMessage.clear();
        TextTable texts(files, name.c_str());
        return texts.getText(1).empty() &&
               std::string(g_lastMessage.get().c_str()) == "\"" + name +
                                                               "\": elements nested deeper than 256 levels; the "
                                                               "text table is not read";
      });
    }
  }
  MemoryFile files;
  files.put("real.xml", "<Texts><Take id=\"7\"><En>Seven</En></Take></Texts>");
  TextTable real(files, "real.xml");
  real.m_language = 1;
  EXPECT_EQ(real.getText(7), "Seven");

  for (const auto& [depth, before] : forms) {
    std::string branding = "<Branding><Screen Lang=\"De\" Show=\"True\"/>" + before;
    for (int i = 0; i < depth; ++i) branding += "<Screen>";
    expectBounded(branding.size(), "Branding_Demo.xml", [&] {
      g_lastMessage.clear();
      BrandingScreen screens[kBrandingLanguages];
      readBranding(branding, screens);
      return !screens[0].m_show && std::string(g_lastMessage.get().c_str()) ==
                                       "\"Branding_Demo.xml\": elements nested deeper than 256 levels; the "
                                       "branding file is not read";
    });
  }
  g_messageLevel = 0;
  g_logMessages = false;
  g_lastMessage.clear();
}

// ---- fonts and pictures ------------------------------------------------------------

class HostileGuiTest : public ReportCapture {
 protected:
  void TearDown() override {
    gui.reset();
    ReportCapture::TearDown();
  }
  // A GUI started on `files`; false, with the library's message, when the
  // start was refused.
  bool start(File& files, std::string* refusal = nullptr) {
    try {
      gui = std::make_unique<Gui>(nullptr, nullptr, files, GuiRenderer::createNull(1024, 768));
      return true;
    } catch (const CEGUI::Exception& e) {
      if (refusal) *refusal = e.getMessage().c_str();
      return false;
    }
  }
  std::unique_ptr<Gui> gui;
};

// A 197-byte .font of 5000 points took 4.4 GB at its first text; fonts
// above 100 points, scaling to the display included, stop the GUI's start
// with a report before any glyph is drawn.
TEST_F(HostileGuiTest, OversizedFontsAreRefusedBeforeAnyGlyphIsDrawn) {
  const std::string huge = fontFile("VerdanaSmall", "5000");
  EXPECT_LT(huge.size(), 200u);
  const auto files = guiFilesWith({{kMenu + "VerdanaSmall.font", bytesOf(huge)}});
  ASSERT_NE(files->contents(kMenu + "Quillfen.scheme"), nullptr);
  expectBounded(huge.size(), "font of 5000 points", [&] {
    g_lastMessage.clear();
    std::string refusal;
    if (start(*files, &refusal)) {
      // Had it started, its first text draws the glyphs.
      CEGUI::FontManager::getSingleton().get("VerdanaSmall").getTextExtent("Tessaline");
      return false;
    }
    return refusal.find("VerdanaSmall") != std::string::npos &&
           std::string(g_lastMessage.get().c_str()) ==
               "GUI font \"VerdanaSmall\" of 5000 points refused: fonts may have at most 100 points";
  });

  struct Case {
    const char* what;
    std::string font;
    bool starts;
  };
  const Case cases[] = {
      {"100 points", fontFile("VerdanaLarge", "100"), true},
      {"10 points scaled from a 1-pixel layout",
       fontFile("VerdanaLarge", "10", "nativeHorzRes=\"1\" nativeVertRes=\"1\" autoScaled=\"vertical\""), false},
  };
  for (const Case& c : cases) {
    const auto changed = guiFilesWith({{kMenu + "VerdanaLarge.font", bytesOf(c.font)}});
    EXPECT_EQ(start(*changed), c.starts) << c.what;
    gui.reset();
  }
}

// A 1 MB PNG of 16384 x 16384 took 3.2 GB at menu start: a picture with a
// side above 4096 is refused from its header, before it is decoded.
TEST_F(HostileGuiTest, OversizedPicturesAreRefusedFromTheirHeader) {
  const std::vector<std::uint8_t> huge = pngClaiming(16384, 16384);
  const auto files = guiFilesWith({{kMenu + "Huge.png", huge},
                                   {kMenu + "Huge.imageset", bytesOf(imagesetOver("Huge", "Huge.png"))},
                                   {kMenu + "Wide.png", pngClaiming(4097, 1)},
                                   {kMenu + "Wide.imageset", bytesOf(imagesetOver("Wide", "Wide.png"))},
                                   {kMenu + "Edge.png", writePng(4096, 1, std::vector<std::uint32_t>(4096, 0))},
                                   {kMenu + "Edge.imageset", bytesOf(imagesetOver("Edge", "Edge.png"))},
                                   {kMenu + "Text.png", bytesOf("not a picture at all")},
                                   {kMenu + "Text.imageset", bytesOf(imagesetOver("Text", "Text.png"))}});
  ASSERT_TRUE(start(*files));
  // A refused picture shows as one clear pixel, so its imageset (and the
  // menu) still loads.
  auto refused = [&](const char* imageset, const std::string& message) {
    g_lastMessage.clear();
    gui->loadImageset(std::string(imageset) + ".imageset");
    const CEGUI::Sizef size = gui->m_system->getRenderer()->getTexture(imageset).getSize();
    return lastMessage() == message && size == CEGUI::Sizef(1, 1);
  };
  expectBounded(huge.size(), "PNG of 16384 x 16384", [&] {
    return refused("Huge", "GUI picture of 16384 x 16384 refused: its sides may be at most 4096; it shows blank");
  });
#ifndef TESSALINE_TEST_ASAN
  gui->loadImageset("Huge.imageset");  // the child loaded it; here it is loaded for the checks below
#endif
  EXPECT_TRUE(gui->isImagesetPresent("Huge"));
  EXPECT_TRUE(refused("Wide", "GUI picture of 4097 x 1 refused: its sides may be at most 4096; it shows blank"));
  EXPECT_TRUE(refused("Text", "GUI picture refused: not a PNG, JPEG, TGA, BMP or DDS picture; it shows blank"));
  g_lastMessage.clear();
  gui->loadImageset("Edge.imageset");
  EXPECT_EQ(gui->m_system->getRenderer()->getTexture("Edge").getSize(), CEGUI::Sizef(4096, 1)) << lastMessage();
  gui->loadImageset("Quillfen.imageset");
  EXPECT_TRUE(gui->isImagesetPresent("Quillfen"));
}

// A 68-byte PNG of 4096 x 4096 whose data is 100 zero bytes passes the
// header check, but the library's codec decodes nothing from it, and the
// texture load threw out of the menu's start: it is reported and shows
// blank like a refused picture.
TEST_F(HostileGuiTest, APictureWhoseDataDoesNotDecodeShowsBlank) {
  const std::vector<std::uint8_t> cut = writePngRows(4096, 4096, std::vector<std::uint8_t>(100, 0));
  EXPECT_LT(cut.size(), 80u);
  const auto files = guiFilesWith({{kMenu + "Cut.png", cut},
                                   {kMenu + "Cut.imageset", bytesOf(imagesetOver("Cut", "Cut.png"))},
                                   {kMenu + "Flat.png", writePngRows(2, 2, std::vector<std::uint8_t>(6, 0))},
                                   {kMenu + "Flat.imageset", bytesOf(imagesetOver("Flat", "Flat.png"))}});
  ASSERT_TRUE(start(*files));
  for (const char* name : {"Cut", "Flat"}) {
    SCOPED_TRACE(name);
    g_lastMessage.clear();
    expectBounded(cut.size(), name, [&] {
      gui->loadImageset(std::string(name) + ".imageset");
      return true;
    });
#ifndef TESSALINE_TEST_ASAN
    gui->loadImageset(std::string(name) + ".imageset");  // the child loaded it
#endif
    EXPECT_TRUE(gui->isImagesetPresent(name));
    EXPECT_EQ(gui->m_system->getRenderer()->getTexture(name).getSize(), CEGUI::Sizef(1, 1));
  }
  EXPECT_EQ(lastMessage(), "GUI picture of 2 x 2 refused: its data does not decode; it shows blank");
}

// The menu's pictures are decoded ahead while its scenes load, and again
// every time the menu comes back after a race: each picture is decoded
// once, ahead or at its first load, and what cannot be decoded ahead is
// loaded (or refused) as before.
TEST_F(HostileGuiTest, EachPictureIsDecodedOnceAheadOrAtItsFirstLoad) {
  const auto files =
      guiFilesWith({{kMenu + "One.png", writePng(64, 32, std::vector<std::uint32_t>(64 * 32, 0xFF102030))},
                    {kMenu + "One.imageset", bytesOf(imagesetOver("One", "One.png"))},
                    {kMenu + "Same.imageset", bytesOf(imagesetOver("Same", "One.png"))},
                    {kMenu + "Two.png", writePng(16, 8, std::vector<std::uint32_t>(16 * 8, 0xFF405060))},
                    {kMenu + "Two.imageset", bytesOf(imagesetOver("Two", "Two.png"))},
                    {kMenu + "Huge.png", pngClaiming(16384, 16384)},
                    {kMenu + "Huge.imageset", bytesOf(imagesetOver("Huge", "Huge.png"))},
                    {kMenu + "Lost.imageset", bytesOf(imagesetOver("Lost", "Nowhere.png"))}});
  ASSERT_TRUE(start(*files));
  const int atStart = gui->pictureCodec().decodeCount();
  auto size = [&](const char* imageset) { return gui->m_system->getRenderer()->getTexture(imageset).getSize(); };

  gui->decodePicturesAhead({"One.imageset", "Huge.imageset", "Lost.imageset", "Missing.imageset"});
  gui->loadImageset("One.imageset");
  EXPECT_EQ(size("One"), CEGUI::Sizef(64, 32));
  gui->unloadImageset("One");
  gui->loadImageset("One.imageset");
  gui->loadImageset("Same.imageset");
  EXPECT_EQ(size("One"), CEGUI::Sizef(64, 32));
  EXPECT_EQ(size("Same"), CEGUI::Sizef(64, 32));
  EXPECT_EQ(gui->pictureCodec().decodeCount(), atStart + 1);

  gui->loadImageset("Two.imageset");
  gui->unloadImageset("Two");
  gui->loadImageset("Two.imageset");
  EXPECT_EQ(size("Two"), CEGUI::Sizef(16, 8));
  EXPECT_EQ(gui->pictureCodec().decodeCount(), atStart + 2);

  g_lastMessage.clear();
  gui->loadImageset("Huge.imageset");
  EXPECT_EQ(size("Huge"), CEGUI::Sizef(1, 1));
  EXPECT_EQ(lastMessage(), "GUI picture of 16384 x 16384 refused: its sides may be at most 4096; it shows blank");
}

TEST(PictureSize, HeadersOfEveryKindTheCodecsRead) {
  auto sizeOf = [](const std::vector<std::uint8_t>& bytes) {
    const auto size = readPictureSize(bytes.data(), bytes.size());
    return size ? std::make_pair(size->width, size->height) : std::make_pair(0u, 0u);
  };
  EXPECT_EQ(sizeOf(pngClaiming(16384, 2)), std::make_pair(16384u, 2u));
  EXPECT_EQ(sizeOf(writeJpegGrey(6, 7, std::vector<std::uint8_t>(42, 9), {90, true})), std::make_pair(6u, 7u));
  EXPECT_EQ(sizeOf(writeBmp24(9, 4, std::vector<std::uint32_t>(36, 0), {true})), std::make_pair(9u, 4u))
      << "a top-down picture's height is negative";
  std::vector<std::uint8_t> tga(18, 0), dds(128, 0);
  tga[2] = 2, tga[13] = 0x20, tga[14] = 1;
  std::memcpy(dds.data(), "DDS ", 4);
  dds[12] = 0x10, dds[16] = 0x20;
  EXPECT_EQ(sizeOf(tga), std::make_pair(8192u, 1u));
  EXPECT_EQ(sizeOf(dds), std::make_pair(32u, 16u));
  // Cut or unknown headers say nothing.
  EXPECT_EQ(sizeOf({0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x01, 0xFF, 0xC0}), std::make_pair(0u, 0u)) << "a length below 2";
  EXPECT_EQ(sizeOf({0x89, 'P', 'N', 'G', 1, 2, 3, 4, 5}), std::make_pair(0u, 0u));
  EXPECT_EQ(sizeOf({1, 2, 3}), std::make_pair(0u, 0u));
}

// ---- credits ------------------------------------------------------------------

class HostileCreditsTest : public ReportCapture, public ScreenHost {
 protected:
  void SetUp() override {
    ReportCapture::SetUp();
    m_gui = std::make_unique<Gui>(nullptr, nullptr, sampleArchive(), GuiRenderer::createNull(1024, 768));
    m_gui->loadImageset("Credits.imageset");
    m_gui->loadImageset("Quillfen.imageset");
  }
  void TearDown() override {
    m_gui.reset();
    ReportCapture::TearDown();
  }
  Gui& gui() override { return *m_gui; }
  File& files() override { return m_files; }
  Config& config() override { return m_config; }
  TextTable& texts() override { return m_texts; }
  void playClickSound() override {}
  float frameDelta() override { return 1.0f / 60.0f; }

  std::unique_ptr<Gui> m_gui;
  MemoryFile m_files;
  Config m_config{nullptr, NetControl::getInstance(), Config::SavedFile::Ignore};
  TextTable m_texts{m_files, "none"};
};

// 5,000 short lines took 19 s and 1.9 GB, one line of 1 MiB never finished:
// the screen keeps 2,000 lines (with a report), a screenful of windows, and
// the shown part of a line.
TEST_F(HostileCreditsTest, ManyOrLongLinesCostAScreenfulOfWindows) {
  std::string many;
  for (int i = 0; i < 5000; ++i) many += "#line " + std::to_string(i) + "\r\n";
  std::string longLine(CreditsScreen::kMaxFileBytes - 2, 'x');
  longLine[0] = '!';
  longLine += "\r\n";
  for (const std::string* text : {&many, &longLine}) {
    m_files.put(CreditsScreen::kFileName, *text);
    g_lastMessage.clear();
    CreditsScreen credits(*this);
    EXPECT_LE(credits.m_root->getChildCount(), 1u + 2u * 2u) << "the back button and the lines above 788";
    if (text == &many) {
      ASSERT_EQ(credits.m_lines.size(), CreditsScreen::kMaxLines);
      EXPECT_EQ(lastMessage(), "\"D:\\Tamberlok/menu/Credits.txt\": more than 2000 lines; the rest is not shown");
      EXPECT_EQ(credits.m_lines[1999].m_shown, "line 1999");
    } else {
      ASSERT_EQ(credits.m_lines.size(), 1u);
      EXPECT_EQ(credits.m_lines[0].m_shown.length(), CreditsScreen::kMaxLineLength);
      EXPECT_EQ(credits.m_lines[0].m_text->getFont()->getName(), "VerdanaMedium");
    }
    // Ten minutes in steps of a second: lines hand their windows on as they
    // scroll, and no more are made than a screenful needs.
    for (int second = 0; second < 600; ++second) credits.update(1.0f);
    EXPECT_LE(credits.m_root->getChildCount(), 1u + 2u * 23u);
    std::size_t held = 0;
    for (const auto& line : credits.m_lines) {
      held += line.m_text != nullptr;
      if (line.m_text) {
        EXPECT_LT(line.m_y, CreditsScreen::kWindowsEnd);
        EXPECT_EQ(line.m_text->getText(), line.m_shown);
        EXPECT_EQ(line.m_shadow->getText(), line.m_shown);
      }
    }
    EXPECT_LE(held, 23u);
  }
}

// A credits or branding file past its size was dropped without a word.
TEST_F(HostileCreditsTest, OversizedCreditsAndBrandingFilesAreReported) {
  m_files.put(CreditsScreen::kFileName, std::string(CreditsScreen::kMaxFileBytes + 1, 'x'));
  {
    CreditsScreen credits(*this);
    EXPECT_TRUE(credits.m_lines.empty());
  }
  EXPECT_EQ(takeMessage(),
            "\"D:\\Tamberlok/menu/Credits.txt\": 1048577 bytes, more than the 1048576 it may have; it is not read");
  m_files.put(EndScreen::kFileName, std::string(EndScreen::kMaxFileBytes + 1, ' '));
  {
    EndScreen end(*this);
    EXPECT_FALSE(end.shouldShow());
  }
  EXPECT_EQ(takeMessage(),
            "\"D:\\Tamberlok/menu/Branding_Demo.xml\": 1048577 bytes, more than the 1048576 it may "
            "have; it is not read");
}

}  // namespace
