#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "content/bmp_writer.h"
#include "content/jpeg_writer.h"
#include "content/pcx_writer.h"
#include "foundation/file_data.h"
#include "foundation/pcx_image.h"
#include "tests/support/memory_file.h"
#include "tests/support/report_capture.h"

namespace {

class ImageLimitTest : public ReportCapture {
 protected:
  void TearDown() override {
    setImagePixelLimit(kMaxImagePixels);
    ReportCapture::TearDown();
  }
  // Whether each loader takes a picture of width x height under the limit.
  void expectLoads(int width, int height, bool loads) {
    SCOPED_TRACE(testing::Message() << width << " x " << height);
    MemoryFile files;
    const std::vector<std::uint32_t> rgb(static_cast<std::size_t>(width) * height, 0x336699);
    const std::vector<std::uint8_t> indices(rgb.size(), 1);
    files.put("p.bmp", writeBmp24(width, height, rgb));
    files.put("p.jpg", writeJpegRgb(width, height, rgb));
    files.put("p.pcx", writePcx8(width, height, indices, {0xFFFFFF, 0x000000}));
    EXPECT_EQ(RefPtr<Image>(loadBMP("p.bmp", files, false)).get() != nullptr, loads);
    EXPECT_EQ(RefPtr<Image>(loadJPEG(files, "p.jpg", false)).get() != nullptr, loads);
    PcxImage pcx;
    EXPECT_EQ(pcx.decodePCX(files, "p.pcx"), loads);
    EXPECT_EQ(pcx.pixelCount(), loads ? width * height : 0);
    Image image("i");
    EXPECT_EQ(image.allocate(width, height), loads);
  }
};

// Every picture loader honours a lowered limit, counting pixels (PCX rows of
// an even width hold exactly width x height indices).
TEST_F(ImageLimitTest, LoweredLimitRefusesLargerPicturesInEveryLoader) {
  setImagePixelLimit(16 * 16);
  EXPECT_EQ(imagePixelLimit(), 256);
  expectLoads(16, 16, true);
  expectLoads(32, 8, true);
  expectLoads(18, 16, false);
  setImagePixelLimit(kMaxImagePixels);
  expectLoads(18, 16, true);
}

TEST_F(ImageLimitTest, LimitStaysWithinOneAndTheLargestPicture) {
  setImagePixelLimit(0);
  EXPECT_EQ(imagePixelLimit(), 1);
  setImagePixelLimit(-5);
  EXPECT_EQ(imagePixelLimit(), 1);
  setImagePixelLimit(kMaxImagePixels * 4);
  EXPECT_EQ(imagePixelLimit(), kMaxImagePixels);
}

}  // namespace
