// Feeds arbitrary bytes to the JPEG decoder; the row order follows the size.
#include <cstdint>

#include "foundation/file_data.h"
#include "foundation/report.h"
#include "fuzz/byte_file.h"
#include "fuzz/picture_limit.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  g_messageLevel = 0;
  limitFuzzPictures();
  FuzzByteFile file(data, size);
  RefPtr<Image> image(loadJPEG(file, "fuzz.jpg", (size & 1) != 0));
  if (image && image->pixelCount() > 0) {
    volatile std::uint32_t sink = image->pixels()[image->pixelCount() - 1];
    (void)sink;
  }
  return 0;
}
