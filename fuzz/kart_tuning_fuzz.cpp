// Feeds arbitrary bytes to the reader of a kart's tuning file
// ("carsettings_<class>_<character>.dat"): values it holds in full are
// taken, the rest keep their defaults, and the turbo limit follows the top
// speed.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "fuzz/byte_file.h"
#include "game/kart/kart_tuning.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const FuzzByteFile file(data, size);
  KartTuning tuning;
  const KartTuning defaults;
  tuning.fileName = KartTuning::fileNameFor(static_cast<int>(size % 3), static_cast<int>(size % 6));
  if (!tuning.load(file)) std::abort();  // every name opens the input
  const float turbo = tuning.maxSpeed * 1.25f;
  if (std::memcmp(&tuning.turboMaxSpeed, &turbo, sizeof turbo) != 0) std::abort();
  if (size < 12 && std::memcmp(&tuning.acceleration, &defaults.acceleration, sizeof(float)) != 0) std::abort();
  if (std::memcmp(&tuning.steerAngle, &defaults.steerAngle, sizeof(float)) != 0) std::abort();
  return 0;
}
