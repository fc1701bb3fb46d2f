// Hostile JPEG and PCX files: headers that claim far more than the data
// behind them holds are refused with a report before the memory is taken,
// and reading each stays within 64 MB of its size (measured as live heap
// under the sanitizer, as the peak resident set of a child elsewhere).
#include <gtest/gtest.h>

#include <string>

#include "content/hostile_media.h"
#include "foundation/file_data.h"
#include "foundation/pcx_image.h"
#include "tests/foundation/memory_bound.h"
#include "tests/support/memory_file.h"
#include "tests/support/report_capture.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr long long kAllowance = 64LL << 20;

class HostilePictures : public ReportCapture {
 protected:
  // Loads `bytes` as a JPEG: 0 when refused with `message`, 1 when it
  // loaded, 2 when refused with another message.
  int jpegOutcome(const Bytes& bytes, const std::string& message) {
    m_files.put("hostile.jpg", bytes);
    if (RefPtr<Image>(loadJPEG(m_files, "hostile.jpg", false))) return 1;
    return lastMessage() == message ? 0 : 2;
  }
  MemoryFile m_files;
};

}  // namespace

TEST_F(HostilePictures, JpegDataEndingAfterItsFirstBlockRowIsRefusedWithoutTheMemory) {
  const std::string endsEarly = "loadJPEG: Data ends early: too little coded data for 8192 x 1024 pixels\n";
  for (bool progressive : {false, true}) {
    SCOPED_TRACE(progressive ? "progressive" : "baseline");
    EXPECT_EQ(jpegOutcome(jpegEndingAfterFirstBlockRow(progressive), "loadJPEG: Picture too large: 8192 x 8192\n"), 0)
        << "past the picture limit: " << lastMessage();
    const Bytes bytes = jpegEndingAfterFirstBlockRow(progressive, 1024);
    ASSERT_FALSE(bytes.empty());
    EXPECT_LT(bytes.size(), 4096u) << "a small file";
    EXPECT_EQ(jpegOutcome(bytes, endsEarly), 0) << lastMessage();
    const MemoryUse use = measureMemory([&] { return jpegOutcome(bytes, endsEarly); });
    EXPECT_EQ(use.result, 0);
    EXPECT_GE(use.peakGrowth, 0);
    EXPECT_LE(use.peakGrowth, kAllowance + static_cast<long long>(bytes.size()));
  }
}

// At the coefficient bound exactly (2048 x 2048 in three components at
// full resolution, 24 MB), the library takes the picture and it fails only
// for its made-up second scan; a column of blocks more, past the bound,
// gets our message before the library allocates anything for it.
TEST_F(HostilePictures, ProgressivePicturesAtTheLibrarysBoundGetOurMessageOrDecode) {
  const Bytes atBound = progressiveJpegWithOneBitBlocks(2048, 2048, 3);
  EXPECT_EQ(jpegOutcome(atBound, "JPEG: Invalid progressive parameters Ss=5 Se=2 Ah=0 Al=0\n"), 0) << lastMessage();

  const Bytes pastBound = progressiveJpegWithOneBitBlocks(2056, 2048, 3);
  const std::string tooLarge = "loadJPEG: Progressive picture too large to decode: 2056 x 2048\n";
  EXPECT_EQ(jpegOutcome(pastBound, tooLarge), 0) << lastMessage();
  const MemoryUse use = measureMemory([&] { return jpegOutcome(pastBound, tooLarge); });
  EXPECT_EQ(use.result, 0);
  EXPECT_LE(use.peakGrowth, kAllowance + static_cast<long long>(pastBound.size()));

  // The same file without the data of its first scan: too short for it.
  Bytes cut = pastBound;
  cut.resize(cut.size() / 2);
  EXPECT_EQ(jpegOutcome(cut, "loadJPEG: Data ends early: too little coded data for 2056 x 2048 pixels\n"), 0)
      << lastMessage();
}

// An 8192 x 8192 picture whose data covers its first 64 rows loaded, flat
// below them, at 270 MB and without a word. Past the picture limit now, it
// is refused from its header; a picture within the limit cut as short
// loads within 64 MB of its size and says that it ends early.
TEST_F(HostilePictures, APictureCutShortIsRefusedPastTheLimitAndReportedWithinIt) {
  const Bytes huge = jpegCutShort(8192, 64, 8192);
  const std::string tooLarge = "loadJPEG: Picture too large: 8192 x 8192\n";
  const MemoryUse refused = measureMemory([&] { return jpegOutcome(huge, tooLarge); });
  EXPECT_EQ(refused.result, 0);
  EXPECT_LE(refused.peakGrowth, kAllowance + static_cast<long long>(huge.size()));

  const Bytes within = jpegCutShort(4096, 256, 2048);
  m_files.put("cut.jpg", within);
  const MemoryUse loaded = measureMemory([&] {
    const RefPtr<Image> image(loadJPEG(m_files, "cut.jpg", false));
    return image && image->width() == 4096 && image->height() == 2048 ? 0 : 1;
  });
  EXPECT_EQ(loaded.result, 0);
  EXPECT_LE(loaded.peakGrowth, kAllowance + static_cast<long long>(within.size()));
  g_lastMessage.clear();
  const RefPtr<Image> image(loadJPEG(m_files, "cut.jpg", false));
  ASSERT_TRUE(image);
  EXPECT_EQ(takeMessage(), "loadJPEG: \"cut.jpg\": its data ends early; what it lacks shows flat\n");
  EXPECT_EQ(image->pixel(2047, 100), image->pixel(2047, 101)) << "flat where the data is missing";
}

TEST_F(HostilePictures, APcxHeaderOverNoDataIsRefusedBeforeAnyPixelIsMade) {
  const Bytes header = pcxHeaderOnly(4096, 2048);
  ASSERT_EQ(header.size(), 128u);
  const auto outcome = [&] {
    m_files.put("map.pcx", header);
    PcxImage image;
    if (image.decodePCX(m_files, "map.pcx")) return 1;
    if (image.pixelCount() != 0) return 3;
    return lastMessage() == "decodePCX: \"map.pcx\" has 0 bytes of data, too few for 8388608 pixels\n" ? 0 : 2;
  };
  EXPECT_EQ(outcome(), 0) << lastMessage();
  const MemoryUse use = measureMemory(outcome);
  EXPECT_EQ(use.result, 0);
  EXPECT_LE(use.peakGrowth, 4LL << 20) << "nothing the size of the picture";

  // Runs give at most 63 pixels for two bytes: 127 pixels need five bytes.
  Bytes runs = pcxHeaderOnly(127, 1);
  runs.insert(runs.end(), {0xFF, 0x07, 0xFF, 0x07, 0x05});
  m_files.put("runs.pcx", runs);
  PcxImage image;
  ASSERT_TRUE(image.decodePCX(m_files, "runs.pcx")) << lastMessage();
  EXPECT_EQ(image.pixelCount(), 127);
  EXPECT_EQ(image.pixels()[126], 5);
  runs.pop_back();
  m_files.put("runs.pcx", runs);
  EXPECT_FALSE(image.decodePCX(m_files, "runs.pcx"));
  EXPECT_EQ(takeMessage(), "decodePCX: \"runs.pcx\" has 4 bytes of data, too few for 127 pixels\n");
}
