#include "foundation/pcx_image.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <random>
#include <vector>

#include "content/pcx_writer.h"
#include "tests/foundation/fixture_files.h"
#include "tests/support/memory_file.h"
#include "tests/support/report_capture.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// 4 x 2 indices, 4 bytes per line: top row 7 7 7 5, bottom row C5 2 2 2.
// Index C5 reads as a run byte, so it is written as a run of one.
void place(Bytes& bytes, std::size_t offset, std::initializer_list<std::uint8_t> values) {
  for (std::uint8_t value : values) bytes[offset++] = value;
}

Bytes handWrittenPcx() {
  Bytes bytes(128 + 8 + 768, 0);
  place(bytes, 0, {0x0A, 0x05, 0x01, 0x08});   // manufacturer, version 5, run-length, 8 bits
  place(bytes, 4, {0x00, 0x00, 0x00, 0x00});   // xMin, yMin
  place(bytes, 8, {0x03, 0x00, 0x01, 0x00});   // xMax 3, yMax 1
  place(bytes, 12, {0x48, 0x00, 0x48, 0x00});  // 72 dpi; then the unused 16-colour palette
  place(bytes, 64,
        {0x00, 0x01,    // reserved, one plane
         0x04, 0x00,    // 4 bytes per line
         0x01, 0x00});  // colour palette; zeros up to 128
  place(bytes, 128,
        {0xC3, 0x07, 0x05,        // top row: three 7s, a 5
         0xC1, 0xC5, 0xC3, 0x02,  // bottom row: one C5, three 2s
         0x0C});                  // palette marker
  place(bytes, 136 + 2 * 3, {0xAA, 0xBB, 0xCC});
  place(bytes, 136 + 7 * 3, {0x11, 0x22, 0x33});
  return bytes;
}

const Bytes kPixels = {7, 7, 7, 5, 0xC5, 2, 2, 2};

std::vector<std::uint32_t> handPalette() {
  std::vector<std::uint32_t> palette(8, 0);
  palette[2] = 0xAABBCC;
  palette[7] = 0x112233;
  return palette;
}

Bytes pixelsOf(const PcxImage& image) { return Bytes(image.pixels(), image.pixels() + image.pixelCount()); }

class PcxTest : public ReportCapture {
 protected:
  bool decode(PcxImage& image, const Bytes& bytes, const char* name = "map.pcx") {
    m_files.put(name, bytes);
    return image.decodePCX(m_files, name);
  }
  MemoryFile m_files;
};

}  // namespace

TEST_F(PcxTest, HandWrittenLayoutMatchesTheWriterAndTheReader) {
  const Bytes bytes = handWrittenPcx();
  EXPECT_EQ(writePcx8(4, 2, kPixels, handPalette()), bytes);

  PcxImage image;
  ASSERT_TRUE(decode(image, bytes));
  EXPECT_EQ(image.xMax(), 3);
  EXPECT_EQ(image.yMax(), 1);
  EXPECT_EQ(image.bytesPerLine(), 4);
  EXPECT_EQ(pixelsOf(image), kPixels) << "C3 07 gives three 7s; C1 C5 one C5";
  EXPECT_EQ(image.palette()[7 * 3], 0x11);
  EXPECT_EQ(image.palette()[2 * 3 + 2], 0xCC);
  EXPECT_EQ(m_files.tell(), -1) << "decodes through a clone";
  EXPECT_TRUE(lastMessage().empty());

  image.release();
  EXPECT_EQ(image.pixelCount(), 0);
}

TEST_F(PcxTest, APictureWithoutPaletteKeepsThePreviousOne) {
  PcxImage image;
  ASSERT_TRUE(decode(image, handWrittenPcx()));
  const Bytes plain = writePcx8(4, 2, {1, 1, 1, 1, 9, 9, 9, 9}, {}, {.withPalette = false});
  ASSERT_TRUE(decode(image, plain, "plain.pcx"));
  EXPECT_EQ(pixelsOf(image), Bytes({1, 1, 1, 1, 9, 9, 9, 9}));
  EXPECT_EQ(image.palette()[7 * 3 + 1], 0x22);

  // A marker without all 768 bytes behind it is no palette either.
  Bytes cut = handWrittenPcx();
  cut[128 + 7 + 1 + 7 * 3] = 0x99;
  cut.resize(cut.size() - 1);
  ASSERT_TRUE(decode(image, cut, "cut.pcx"));
  EXPECT_EQ(image.palette()[7 * 3], 0x11);
}

TEST_F(PcxTest, TrackMapsRoundTripExactly) {
  // A position map: long runs, values that look like run bytes, noise.
  std::mt19937 random(7);
  Bytes map(512 * 512);
  for (std::size_t i = 0; i < map.size(); ++i)
    map[i] = (i / 512) % 3 == 0 ? static_cast<std::uint8_t>(i / 4096) : static_cast<std::uint8_t>(random());
  std::vector<std::uint32_t> palette(256);
  for (std::uint32_t i = 0; i < 256; ++i) palette[i] = i * 0x010101;
  PcxImage image;
  ASSERT_TRUE(decode(image, writePcx8(512, 512, map, palette)));
  ASSERT_EQ(image.pixelCount(), 512 * 512);
  EXPECT_EQ(pixelsOf(image), map);
  EXPECT_EQ(image.palette()[3 * 200 + 1], 200);

  // An odd width is stored with an even line length, padded with index 0.
  const Bytes odd = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  ASSERT_TRUE(decode(image, writePcx8(5, 3, odd, palette)));
  EXPECT_EQ(image.bytesPerLine(), 6);
  EXPECT_EQ(pixelsOf(image), Bytes({1, 2, 3, 4, 5, 0, 6, 7, 8, 9, 10, 0, 11, 12, 13, 14, 15, 0}));
}

TEST_F(PcxTest, ARunPastTheLastPixelIsCut) {
  Bytes bytes = handWrittenPcx();
  bytes[128 + 5] = 0xFF;  // the last run now asks for 63 pixels
  PcxImage image;
  ASSERT_TRUE(decode(image, bytes));
  EXPECT_EQ(pixelsOf(image), kPixels);
  EXPECT_EQ(image.palette()[7 * 3 + 2], 0x33) << "the palette after the cut run is still found";
}

TEST_F(PcxTest, BadFilesFailWithAMessageAndNeverOverrunThePixels) {
  PcxImage image;
  EXPECT_FALSE(image.decodePCX(m_files, "missing.pcx"));
  EXPECT_EQ(image.pixelCount(), 0);
  EXPECT_EQ(takeMessage(), "decodePCX: cannot open \"missing.pcx\"\n");

  const Bytes whole = handWrittenPcx();
  EXPECT_FALSE(decode(image, Bytes(whole.begin(), whole.begin() + 100)));
  EXPECT_EQ(image.pixelCount(), 0);
  EXPECT_EQ(image.yMax(), 0) << "a partial header is not kept";
  EXPECT_EQ(takeMessage(), "decodePCX: \"map.pcx\" is shorter than a PCX header\n");

  Bytes upsideDown = whole;
  upsideDown[6] = 5;  // yMin 5 above yMax 1
  EXPECT_FALSE(decode(image, upsideDown));
  EXPECT_EQ(image.pixelCount(), 0);
  EXPECT_EQ(takeMessage(), "decodePCX: \"map.pcx\" has yMax 1 below yMin 5\n");

  Bytes huge = whole;
  huge[10] = huge[11] = huge[66] = huge[67] = 0xFF;
  EXPECT_FALSE(decode(image, huge));
  EXPECT_EQ(image.pixelCount(), 0) << "nothing allocated for a header that claims 4 G pixels";
  EXPECT_EQ(takeMessage(), "decodePCX: \"map.pcx\" is too large: 65535 bytes per line, 65536 rows\n");
}

TEST_F(PcxTest, AShortFileGivesZeroFilledPixelsOfTheHeadersSize) {
  const Bytes whole = handWrittenPcx();
  // Cut after "C3 07 05 C1": the top row and a dangling run byte.
  PcxImage image;
  EXPECT_FALSE(decode(image, Bytes(whole.begin(), whole.begin() + 132)));
  EXPECT_EQ(image.pixelCount(), 8) << "the map reader can rely on the header's size";
  EXPECT_EQ(pixelsOf(image), Bytes({7, 7, 7, 5, 0, 0, 0, 0}));
  EXPECT_EQ(takeMessage(), "decodePCX: \"map.pcx\" ends after 4 of 8 pixels\n");

  // Every length: no read past the data or the pixels (the sanitizers watch).
  // Up to one byte of data cannot hold 8 pixels, and nothing is made for it.
  for (std::size_t length = 128; length < 135; ++length) {
    EXPECT_FALSE(decode(image, Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length)))) << length;
    EXPECT_EQ(image.pixelCount(), length < 130 ? 0 : 8) << length;
  }
  for (std::size_t length = 135; length <= whole.size(); ++length)
    EXPECT_TRUE(decode(image, Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length)))) << length;
}

TEST_F(PcxTest, OnlyOnePlaneOfEightBitIndicesIsRead) {
  // Paint programs save colour pictures as three planes of 8 bits; read as
  // indices they would be noise.
  PcxImage image;
  EXPECT_FALSE(decode(image, readFixture("colours_rgb.pcx"), "rgb.pcx"));
  EXPECT_EQ(image.pixelCount(), 0);
  EXPECT_EQ(takeMessage(),
            "decodePCX: \"rgb.pcx\" has 3 plane(s) of 8 bit(s); only one plane of 8-bit indices is read\n");

  Bytes ours = handWrittenPcx();
  ours[3] = 4;  // 16 colours in one plane
  EXPECT_FALSE(decode(image, ours));
  EXPECT_EQ(takeMessage(),
            "decodePCX: \"map.pcx\" has 1 plane(s) of 4 bit(s); only one plane of 8-bit indices is read\n");
  ours[3] = 8;
  ours[65] = 4;
  EXPECT_FALSE(decode(image, ours));
  EXPECT_EQ(takeMessage(),
            "decodePCX: \"map.pcx\" has 4 plane(s) of 8 bit(s); only one plane of 8-bit indices is read\n");
}

TEST_F(PcxTest, AnotherProgramsPaletteFileReadsExactly) {
  PcxImage image;
  ASSERT_TRUE(decode(image, readFixture("colours_palette.pcx"), "palette.pcx")) << lastMessage();
  ASSERT_EQ(image.xMax() - image.xMin() + 1, 4);
  ASSERT_EQ(image.yMax() - image.yMin() + 1, 3);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) {
      const int index = image.pixels()[y * image.bytesPerLine() + x];
      const std::uint32_t colour = static_cast<std::uint32_t>(image.palette()[index * 3]) << 16 |
                                   image.palette()[index * 3 + 1] << 8 | image.palette()[index * 3 + 2];
      EXPECT_EQ(colour, kFixtureColours[static_cast<std::size_t>(y * 4 + x)]) << x << "," << y;
    }
  }
}
