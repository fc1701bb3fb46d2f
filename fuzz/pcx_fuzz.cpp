// Feeds arbitrary bytes to the PCX decoder, twice on one picture so a second
// decode over the first is covered too, and touches every pixel it claims.
#include <cstdint>

#include "foundation/pcx_image.h"
#include "foundation/report.h"
#include "fuzz/byte_file.h"
#include "fuzz/picture_limit.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  g_messageLevel = 0;
  limitFuzzPictures();
  FuzzByteFile file(data, size);
  PcxImage image;
  for (int pass = 0; pass < 2; ++pass) {
    image.decodePCX(file, "fuzz.pcx");
    std::uint32_t sum = 0;
    for (int i = 0; i < image.pixelCount(); ++i) sum += image.pixels()[i];
    volatile std::uint32_t sink = sum + image.palette()[767];
    (void)sink;
  }
  image.release();
  return 0;
}
