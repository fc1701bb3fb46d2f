#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "content/bmp_writer.h"
#include "foundation/file_data.h"
#include "tests/foundation/fixture_files.h"
#include "tests/support/memory_file.h"
#include "tests/support/report_capture.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void putU32(Bytes& bytes, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Distinct colours, so a pixel read from the wrong place shows.
std::vector<std::uint32_t> pattern(int width, int height) {
  std::vector<std::uint32_t> pixels;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      pixels.push_back(static_cast<std::uint32_t>(0x10203 * (y * 31 + x * 7 + 1)) & 0xFFFFFF);
  return pixels;
}

class BmpTest : public ReportCapture {
 protected:
  RefPtr<Image> load(const Bytes& bytes, bool bottomUp, const char* name = "picture.bmp") {
    m_files.put(name, bytes);
    return RefPtr<Image>(loadBMP(name, m_files, bottomUp));
  }
  // Row 0 of a top-row-first load compared with the writer's input.
  static void expectPixels(const Image& image, const std::vector<std::uint32_t>& expected) {
    ASSERT_EQ(image.pixelCount(), static_cast<int>(expected.size()));
    for (int i = 0; i < image.pixelCount(); ++i)
      ASSERT_EQ(image.pixels()[i], 0xFF000000u | expected[i]) << "pixel " << i;
  }
  MemoryFile m_files;
};

// 2 x 2, 24 bits, bottom row first: top row 112233 445566, bottom row
// 778899 AABBCC. Each 6-byte row is padded to 8.
const Bytes kBmp24 = {
    0x42, 0x4D, 0x46, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x36, 0x00, 0x00, 0x00,  // file header
    0x28, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x00,
    0x18, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x13, 0x0B, 0x00, 0x00,
    0x13, 0x0B, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // information header
    0x99, 0x88, 0x77, 0xCC, 0xBB, 0xAA, 0x00, 0x00,                          // bottom row
    0x33, 0x22, 0x11, 0x66, 0x55, 0x44, 0x00, 0x00,                          // top row
};

// 3 x 2, 8 bits, top-down (height -2), two colours red and green:
// top row 0 1 1, bottom row 1 0 0, each row padded to 4 bytes.
const Bytes kBmp8TopDown = {
    0x42, 0x4D, 0x46, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x3E, 0x00, 0x00, 0x00,  // file header
    0x28, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0xFE, 0xFF, 0xFF, 0xFF, 0x01, 0x00,
    0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x13, 0x0B, 0x00, 0x00,
    0x13, 0x0B, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // information header, 2 colours
    0x00, 0x00, 0xFF, 0x00, 0x00, 0xFF, 0x00, 0x00,                          // palette: blue, green, red, 0
    0x00, 0x01, 0x01, 0x00,                                                  // top row
    0x01, 0x00, 0x00, 0x00,                                                  // bottom row
};

}  // namespace

TEST_F(BmpTest, HandWrittenLayoutsMatchTheWriterAndTheReader) {
  const std::vector<std::uint32_t> colours = {0x112233, 0x445566, 0x778899, 0xAABBCC};
  EXPECT_EQ(writeBmp24(2, 2, colours), kBmp24);
  RefPtr<Image> top = load(kBmp24, false);
  ASSERT_TRUE(top);
  EXPECT_EQ(top->width(), 2);
  EXPECT_EQ(top->height(), 2);
  expectPixels(*top, colours);
  RefPtr<Image> bottom = load(kBmp24, true);
  ASSERT_TRUE(bottom);
  expectPixels(*bottom, {0x778899, 0xAABBCC, 0x112233, 0x445566});

  EXPECT_EQ(writeBmp8(3, 2, {0, 1, 1, 1, 0, 0}, {0xFF0000, 0x00FF00}, {.topDown = true}), kBmp8TopDown);
  RefPtr<Image> indexed = load(kBmp8TopDown, false);
  ASSERT_TRUE(indexed);
  expectPixels(*indexed, {0xFF0000, 0x00FF00, 0x00FF00, 0x00FF00, 0xFF0000, 0xFF0000});
  RefPtr<Image> indexedBottomUp = load(kBmp8TopDown, true);
  ASSERT_TRUE(indexedBottomUp);
  expectPixels(*indexedBottomUp, {0x00FF00, 0xFF0000, 0xFF0000, 0xFF0000, 0x00FF00, 0x00FF00});
  EXPECT_TRUE(lastMessage().empty());
}

TEST_F(BmpTest, RowsArePaddedToWholeWordsInBothDepths) {
  const int stride24[] = {4, 8, 12, 12};
  for (int width = 1; width <= 4; ++width) {
    const int height = 3;
    const std::vector<std::uint32_t> colours = pattern(width, height);
    const Bytes file24 = writeBmp24(width, height, colours);
    EXPECT_EQ(file24.size(), 54u + stride24[width - 1] * height) << "width " << width;
    RefPtr<Image> image24 = load(file24, false);
    ASSERT_TRUE(image24) << "width " << width;
    expectPixels(*image24, colours);

    std::vector<std::uint8_t> indices;
    std::vector<std::uint32_t> palette;
    for (int i = 0; i < width * height; ++i) {
      indices.push_back(static_cast<std::uint8_t>(i));
      palette.push_back(colours[i]);
    }
    const Bytes file8 = writeBmp8(width, height, indices, palette);
    EXPECT_EQ(file8.size(), 54u + palette.size() * 4 + 4 * height) << "width " << width;
    RefPtr<Image> image8 = load(file8, false);
    ASSERT_TRUE(image8) << "width " << width;
    expectPixels(*image8, colours);
  }
}

TEST_F(BmpTest, BottomUpAndTopDownFilesGiveTheSamePicture) {
  const std::vector<std::uint32_t> colours = pattern(5, 4);
  const Bytes bottomFirst = writeBmp24(5, 4, colours);
  const Bytes topFirst = writeBmp24(5, 4, colours, {.topDown = true});
  for (bool bottomUp : {false, true}) {
    RefPtr<Image> a = load(bottomFirst, bottomUp, "a.bmp");
    RefPtr<Image> b = load(topFirst, bottomUp, "b.bmp");
    ASSERT_TRUE(a && b);
    EXPECT_EQ(std::vector<std::uint32_t>(a->pixels(), a->pixels() + 20),
              std::vector<std::uint32_t>(b->pixels(), b->pixels() + 20));
    // Loaded bottom-up, row 0 is the picture's bottom row.
    EXPECT_EQ(a->pixel(0, 0), 0xFF000000u | colours[bottomUp ? 15 : 0]);
  }
}

TEST_F(BmpTest, PaletteCountZeroMeansAllAndLargeCountsAreClamped) {
  std::vector<std::uint32_t> palette;
  for (std::uint32_t i = 0; i < 256; ++i) palette.push_back(i << 16 | (255 - i) << 8 | (i ^ 0x5A));
  const std::vector<std::uint8_t> indices = {0, 255, 128, 7};
  Bytes bytes = writeBmp8(2, 2, indices, palette);
  ASSERT_EQ(bytes.size(), 54u + 1024 + 8);
  EXPECT_EQ(bytes[46] | bytes[47] | bytes[48] | bytes[49], 0) << "a full palette is written with count 0";
  const std::vector<std::uint32_t> expected = {palette[0], palette[255], palette[128], palette[7]};
  RefPtr<Image> image = load(bytes, false);
  ASSERT_TRUE(image);
  expectPixels(*image, expected);

  putU32(bytes, 46, 1000);
  RefPtr<Image> clamped = load(bytes, false);
  ASSERT_TRUE(clamped) << "a count past 256 reads the 256 entries a byte can address";
  expectPixels(*clamped, expected);

  // Indices past the colours in use come out opaque black.
  Bytes few = writeBmp8(2, 1, {1, 9}, {0x123456, 0x654321});
  RefPtr<Image> small = load(few, false);
  ASSERT_TRUE(small);
  expectPixels(*small, {0x654321, 0});
}

TEST_F(BmpTest, BadHeadersFailWithAMessage) {
  struct Case {
    std::size_t offset;
    std::uint32_t value;
    const char* message;
  };
  const Case cases[] = {
      {0, 0x504D, "loadBMP: Unknown file type: 504d\n"},
      {28, 16, "loadBMP: Wrong BMP color depth: 16 bit\n"},
      {18, 0, "loadBMP: Wrong BMP size: 0 x 2\n"},
      {18, 0xFFFFFFFD, "loadBMP: Wrong BMP size: -3 x 2\n"},
      {22, 0, "loadBMP: Wrong BMP size: 2 x 0\n"},
      {18, 0x7FFFFFFF, "loadBMP: Wrong BMP size: 2147483647 x 2\n"},
      {30, 1, "loadBMP: Unsupported BMP compression: 1\n"},
      {14, 12, "loadBMP: OS/2 BMP (12-byte header) is not supported: picture.bmp\n"},
      {14, 16, "loadBMP: Unsupported BMP header size: 16\n"},
  };
  for (const Case& c : cases) {
    Bytes bytes = kBmp24;
    if (c.offset == 0) {
      bytes[0] = c.value & 0xFF;
      bytes[1] = c.value >> 8;
    } else if (c.offset == 28) {
      bytes[28] = static_cast<std::uint8_t>(c.value);
    } else {
      putU32(bytes, c.offset, c.value);
    }
    EXPECT_FALSE(load(bytes, true)) << c.message;
    EXPECT_EQ(takeMessage(), c.message);
  }
  // A huge height is caught by the size check before the file is read.
  Bytes tall = kBmp24;
  putU32(tall, 22, 0x80000000u);
  EXPECT_FALSE(load(tall, true));
  EXPECT_EQ(takeMessage(), "loadBMP: Wrong BMP size: 2 x -2147483648\n");

  EXPECT_FALSE(load({}, true)) << "an empty file";
  EXPECT_EQ(takeMessage(), "loadBMP: Truncated BMP file: picture.bmp\n");
  EXPECT_EQ(loadBMP("missing.bmp", m_files, true), nullptr);
  EXPECT_TRUE(lastMessage().empty()) << "a file that does not open fails quietly";
}

TEST_F(BmpTest, EveryTruncationFailsWithoutReadingPastTheFile) {
  const Bytes indexed = writeBmp8(3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9}, pattern(10, 1));
  for (const Bytes* whole : {&kBmp24, &indexed}) {
    // The last row's padding may go; a pixel may not.
    const std::size_t complete = whole->size() - (whole == &kBmp24 ? 2 : 1);
    for (std::size_t length = 2; length < whole->size(); ++length) {
      const Bytes cut(whole->begin(), whole->begin() + static_cast<std::ptrdiff_t>(length));
      RefPtr<Image> image = load(cut, false);
      if (length >= complete) {
        EXPECT_TRUE(image) << length;
      } else {
        EXPECT_FALSE(image) << length;
        EXPECT_EQ(takeMessage(), "loadBMP: Truncated BMP file: picture.bmp\n") << length;
      }
    }
  }
}

TEST_F(BmpTest, ALongerInformationHeaderIsPassedOver) {
  // The later 108-byte header: the same first 40 bytes, then colour-space
  // fields that carry no pixels.
  Bytes bytes(kBmp24.size() + 68, 0xEE);
  std::copy(kBmp24.begin(), kBmp24.begin() + 54, bytes.begin());
  std::copy(kBmp24.begin() + 54, kBmp24.end(), bytes.begin() + 54 + 68);
  putU32(bytes, 14, 108);
  RefPtr<Image> image = load(bytes, false);
  ASSERT_TRUE(image);
  expectPixels(*image, {0x112233, 0x445566, 0x778899, 0xAABBCC});
}

TEST_F(BmpTest, AnotherProgramsFilesLoadOrAreRefusedByName) {
  RefPtr<Image> image = load(readFixture("colours_windows.bmp"), false, "windows.bmp");
  ASSERT_TRUE(image) << lastMessage();
  ASSERT_EQ(image->width(), 4);
  ASSERT_EQ(image->height(), 3);
  expectPixels(*image, kFixtureColours);

  // The 12-byte header has no depth field at offset 28: what lies there is
  // pixel data, which must not come back as a "colour depth".
  EXPECT_FALSE(load(readFixture("colours_os2.bmp"), false, "os2.bmp"));
  EXPECT_EQ(takeMessage(), "loadBMP: OS/2 BMP (12-byte header) is not supported: os2.bmp\n");
}
