#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "content/jpeg_writer.h"
#include "foundation/file_data.h"
#include "tests/foundation/fixture_files.h"
#include "tests/foundation/memory_bound.h"
#include "tests/support/memory_file.h"
#include "tests/support/report_capture.h"

// The library's header needs <cstdio> first.
#include <jpeglib.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

// The smallest baseline JPEG: one 8 x 8 grey block whose only coefficient is
// DC 8 x quantiser 8 = 64, i.e. every sample 128 + 64 / 8 = 136. One-code
// Huffman tables: DC "0" = size 4, AC "0" = end of block. The scan is the
// bits 0 1000 0, padded with ones: 0x43.
Bytes handWrittenJpeg() {
  const Bytes head = {0xFF, 0xD8,                     // start of image
                      0xFF, 0xDB, 0x00, 0x43, 0x00};  // quantiser 0, all 8
  const Bytes rest = {
      0xFF, 0xC0, 0x00, 0x0B, 0x08, 0x00, 0x08, 0x00, 0x08, 0x01, 0x01, 0x11, 0x00,  // baseline 8 x 8, 1 component
      0xFF, 0xC4, 0x00, 0x14, 0x00, 0x01, 0,    0,    0,    0,    0,    0,    0,
      0,    0,    0,    0,    0,    0,    0,    0,    0x04,  // DC table 0
      0xFF, 0xC4, 0x00, 0x14, 0x10, 0x01, 0,    0,    0,    0,    0,    0,    0,
      0,    0,    0,    0,    0,    0,    0,    0,    0x00,        // AC table 0
      0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3F, 0x00,  // scan header
      0x43,                                                        // the block
      0xFF, 0xD9,                                                  // end of image
  };
  Bytes bytes(head.size() + 64 + rest.size(), 0x08);
  std::copy(head.begin(), head.end(), bytes.begin());
  std::copy(rest.begin(), rest.end(), bytes.end() - static_cast<std::ptrdiff_t>(rest.size()));
  return bytes;
}

// A smooth picture, which JPEG keeps close: red across, green down, blue
// constant.
std::vector<std::uint32_t> gradient(int width, int height) {
  std::vector<std::uint32_t> pixels;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      pixels.push_back(static_cast<std::uint32_t>(x * 255 / (width - 1)) << 16 |
                       static_cast<std::uint32_t>(y * 255 / (height - 1)) << 8 | 0x60);
  return pixels;
}

int channelError(std::uint32_t a, std::uint32_t b) {
  int worst = 0;
  for (int shift = 0; shift < 24; shift += 8)
    worst = std::max(worst, std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)));
  return worst;
}

// A CMYK JPEG, which the loader must refuse: it has four components.
Bytes cmykJpeg() {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr error;
  cinfo.err = jpeg_std_error(&error);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = 8;
  cinfo.image_height = 8;
  cinfo.input_components = 4;
  cinfo.in_color_space = JCS_CMYK;
  jpeg_set_defaults(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<JSAMPLE> row(8 * 4, 100);
  for (int y = 0; y < 8; ++y) {
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  Bytes bytes(buffer, buffer + size);
  std::free(buffer);
  return bytes;
}

// The file with its frame header claiming width x height pixels.
Bytes claimingSize(Bytes bytes, int width, int height) {
  std::size_t at = 2;
  while (at + 9 < bytes.size() && bytes[at] == 0xFF) {
    const int marker = bytes[at + 1];
    if (marker == 0xC0 || marker == 0xC2) {
      bytes[at + 5] = static_cast<std::uint8_t>(height >> 8);
      bytes[at + 6] = static_cast<std::uint8_t>(height);
      bytes[at + 7] = static_cast<std::uint8_t>(width >> 8);
      bytes[at + 8] = static_cast<std::uint8_t>(width);
      return bytes;
    }
    at += 2 + (bytes[at + 2] << 8 | bytes[at + 3]);
  }
  ADD_FAILURE() << "no frame header";
  return bytes;
}

class JpegTest : public ReportCapture {
 protected:
  RefPtr<Image> load(const Bytes& bytes, bool bottomUp) {
    m_files.put("picture.jpg", bytes);
    return RefPtr<Image>(loadJPEG(m_files, "picture.jpg", bottomUp));
  }
  // Largest channel error against the writer's input, top row first.
  static int worstError(const Image& image, const std::vector<std::uint32_t>& expected) {
    int worst = 0;
    for (int i = 0; i < image.pixelCount(); ++i) {
      EXPECT_EQ(image.pixels()[i] >> 24, 0xFFu) << "opaque";
      worst = std::max(worst, channelError(image.pixels()[i], expected[static_cast<std::size_t>(i)]));
    }
    return worst;
  }
  MemoryFile m_files;
};

}  // namespace

TEST_F(JpegTest, AHandWrittenBlockDecodesToItsExactGrey) {
  RefPtr<Image> image = load(handWrittenJpeg(), false);
  ASSERT_TRUE(image) << lastMessage();
  ASSERT_EQ(image->width(), 8);
  ASSERT_EQ(image->height(), 8);
  for (int i = 0; i < 64; ++i) ASSERT_EQ(image->pixels()[i], 0xFF888888u) << i;
  EXPECT_EQ(m_files.tell(), -1) << "the file is closed again";
  EXPECT_TRUE(lastMessage().empty());
}

TEST_F(JpegTest, GreyPicturesHaveEqualChannels) {
  std::vector<std::uint8_t> values;
  std::vector<std::uint32_t> expected;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 24; ++x) {
      values.push_back(static_cast<std::uint8_t>(x * 10 + y));
      expected.push_back(values.back() * 0x010101u);
    }
  RefPtr<Image> image = load(writeJpegGrey(24, 16, values, {.quality = 95}), false);
  ASSERT_TRUE(image) << lastMessage();
  ASSERT_EQ(image->pixelCount(), 24 * 16);
  for (int i = 0; i < image->pixelCount(); ++i) {
    const std::uint32_t p = image->pixels()[i];
    ASSERT_EQ(p & 0xFF, (p >> 8) & 0xFF) << i;
    ASSERT_EQ(p & 0xFF, (p >> 16) & 0xFF) << i;
  }
  EXPECT_LE(worstError(*image, expected), 4);
}

TEST_F(JpegTest, ColourPicturesComeBackCloseInBothRowOrders) {
  const std::vector<std::uint32_t> pixels = gradient(40, 24);
  for (bool progressive : {false, true}) {
    const Bytes bytes = writeJpegRgb(40, 24, pixels, {.quality = 95, .progressive = progressive});
    RefPtr<Image> top = load(bytes, false);
    ASSERT_TRUE(top) << lastMessage();
    ASSERT_EQ(top->width(), 40);
    ASSERT_EQ(top->height(), 24);
    EXPECT_LE(worstError(*top, pixels), 10) << "progressive " << progressive;

    RefPtr<Image> bottom = load(bytes, true);
    ASSERT_TRUE(bottom);
    for (int row = 0; row < 24; ++row)
      for (int column = 0; column < 40; ++column)
        ASSERT_EQ(bottom->pixel(row, column), top->pixel(23 - row, column)) << row << "," << column;
  }
}

TEST_F(JpegTest, ATruncatedPictureStillDecodes) {
  // Half of this file holds the tables and several rows of blocks.
  const std::vector<std::uint32_t> pixels = gradient(64, 256);
  const Bytes whole = writeJpegRgb(64, 256, pixels, {.quality = 95});
  RefPtr<Image> image =
      load(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(whole.size() / 2)), false);
  ASSERT_TRUE(image) << lastMessage();
  EXPECT_EQ(image->width(), 64);
  EXPECT_EQ(image->height(), 256);
  EXPECT_EQ(takeMessage(), "loadJPEG: \"picture.jpg\": its data ends early; what it lacks shows flat\n")
      << "the early end is reported, and the picture loads";
  EXPECT_LE(channelError(image->pixel(0, 0), pixels[0]), 10) << "what was there decodes as before";
}

TEST_F(JpegTest, LibraryErrorsAreReportedAndFailTheLoad) {
  EXPECT_FALSE(load({}, false));
  EXPECT_EQ(takeMessage(), "JPEG: Empty input file\n");
  EXPECT_FALSE(load({'h', 'e', 'l', 'l', 'o'}, false));
  EXPECT_EQ(takeMessage(), "JPEG: Not a JPEG file: starts with 0x68 0x65\n");
  EXPECT_EQ(m_files.tell(), -1) << "closed after a failure too";

  EXPECT_FALSE(load(cmykJpeg(), false));
  EXPECT_EQ(takeMessage(), "Wrong non-grayscale JPEG color depth: 32 bit");

  Bytes huge = handWrittenJpeg();
  huge[71 + 5] = huge[71 + 7] = 0xFD;  // 64776 x 64776 in the frame header
  EXPECT_FALSE(load(huge, false));
  EXPECT_EQ(takeMessage(), "loadJPEG: Picture too large: 64776 x 64776\n");

  EXPECT_EQ(loadJPEG(m_files, "missing.jpg", false), nullptr);
  EXPECT_TRUE(lastMessage().empty());
}

TEST_F(JpegTest, EveryTruncationOrDamagedByteIsSurvived) {
  const Bytes whole = writeJpegRgb(16, 16, gradient(16, 16), {.progressive = true});
  for (std::size_t length = 0; length < whole.size(); ++length) {
    g_lastMessage.clear();
    RefPtr<Image> image = load(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length)), false);
    if (!image) {
      const std::string message = lastMessage();
      EXPECT_TRUE(message.rfind("JPEG: ", 0) == 0 || message.rfind("loadJPEG: Data ends early: ", 0) == 0)
          << length << ": " << message;
    }
  }
  for (std::size_t at = 2; at < whole.size(); at += 3) {
    Bytes damaged = whole;
    damaged[at] ^= 0xA5;
    g_lastMessage.clear();
    RefPtr<Image> image = load(damaged, at % 2 == 0);
    if (image) {
      EXPECT_EQ(image->pixelCount(), image->width() * image->height());
    }
  }
}

TEST_F(JpegTest, AHugeFrameOverAFewHundredBytesFailsBeforeTakingTheMemory) {
  // Files of a few hundred bytes whose frame header claims far more than
  // their data holds: a baseline one ends inside the first row of blocks, a
  // progressive one would have the library hold every coefficient first.
  const Bytes ours = writeJpegRgb(48, 48, gradient(48, 48), {.quality = 60});
  const Bytes oursProgressive = writeJpegRgb(48, 48, gradient(48, 48), {.quality = 60, .progressive = true});
  const Bytes theirs = readFixture("gradient_baseline.jpg");
  const Bytes theirsProgressive = readFixture("gradient_progressive.jpg");
  const auto endsEarly = [](int side) {
    std::string text = "loadJPEG: Data ends early: too little coded data for ";
    text += std::to_string(side);
    text += " x ";
    text += std::to_string(side);
    text += " pixels\n";
    return text;
  };
  const struct {
    const char* what;
    Bytes bytes;
    std::string message;
  } cases[] = {
      {"ImageMagick baseline", claimingSize(theirs, 2896, 2896), endsEarly(2896)},
      {"our baseline", claimingSize(ours, 2896, 2896), endsEarly(2896)},
      {"ImageMagick progressive", claimingSize(theirsProgressive, 2896, 2896), endsEarly(2896)},
      {"our progressive", claimingSize(oursProgressive, 2896, 2896), endsEarly(2896)},
      {"ImageMagick progressive, 2048 x 2048", claimingSize(theirsProgressive, 2048, 2048), endsEarly(2048)},
      {"our progressive, 2048 x 2048", claimingSize(oursProgressive, 2048, 2048), endsEarly(2048)},
  };
  for (const auto& c : cases) {
    EXPECT_LT(c.bytes.size(), 1000u) << c.what;
#ifdef TESSALINE_TEST_ASAN
    bool loaded = true;
    const std::size_t largest = largestAllocationOf([&] { loaded = static_cast<bool>(load(c.bytes, false)); });
    EXPECT_FALSE(loaded) << c.what;
    EXPECT_EQ(takeMessage(), c.message) << c.what;
    EXPECT_LE(largest, std::size_t{1} << 20) << c.what;
#else
    const int status = exitStatusUnderMemoryLimit(std::size_t{64} << 20, [&] {
      if (load(c.bytes, false)) return 1;
      return lastMessage() == c.message ? 0 : 2;
    });
    EXPECT_TRUE(exitedWithZero(status)) << c.what << ": status " << status;
#endif
  }

  // The files as written decode: red at the top, blue at the bottom.
  for (const Bytes* bytes : {&theirs, &theirsProgressive}) {
    RefPtr<Image> image = load(*bytes, false);
    ASSERT_TRUE(image) << lastMessage();
    ASSERT_EQ(image->width(), 48);
    ASSERT_EQ(image->height(), 48);
    EXPECT_LE(channelError(image->pixel(0, 24), 0xFF0000), 16);
    EXPECT_LE(channelError(image->pixel(47, 24), 0x0000FF), 16);
  }
}
