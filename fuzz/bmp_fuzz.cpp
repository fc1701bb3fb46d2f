// Feeds arbitrary bytes to the BMP decoder in both row orders.
#include <cstdint>

#include "foundation/file_data.h"
#include "foundation/report.h"
#include "fuzz/byte_file.h"
#include "fuzz/picture_limit.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  g_messageLevel = 0;
  limitFuzzPictures();
  FuzzByteFile file(data, size);
  for (bool bottomUp : {false, true}) {
    RefPtr<Image> image(loadBMP("fuzz.bmp", file, bottomUp));
    if (image && image->pixelCount() > 0) {
      volatile std::uint32_t sink = image->pixels()[0] ^ image->pixels()[image->pixelCount() - 1];
      (void)sink;
    }
  }
  return 0;
}
