// Feeds arbitrary bytes to a kart's tuning file
// ("carsettings_<class>_<character>.dat") and drives a kart with what was
// read: 300 physics steps on flat ground of real ODE, falling at the start,
// on a speed-up pad and put back at the grid along the way. The values taken
// must lie in their ranges (the rest keep their defaults), the turbo limit
// follows the top speed, and the kart's place stays a number.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "foundation/report.h"
#include "fuzz/byte_file.h"
#include "fuzz/kart_ground.h"
#include "game/kart/kart_tuning.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

bool within(float v, float low, float high) { return v >= low && v <= high; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  g_messageLevel = 0;
  const FuzzByteFile file(data, size);
  auto tuning = std::make_unique<KartTuning>();
  const KartTuning defaults;
  tuning->fileName = KartTuning::fileNameFor(static_cast<int>(size % 3), static_cast<int>(size % 6));
  require(tuning->load(file));  // every name opens the input
  const float turbo = tuning->maxSpeed * 1.25f;
  require(std::memcmp(&tuning->turboMaxSpeed, &turbo, sizeof turbo) == 0);
  require(size >= 12 || std::memcmp(&tuning->acceleration, &defaults.acceleration, sizeof(float)) == 0);
  require(std::memcmp(&tuning->steerAngle, &defaults.steerAngle, sizeof(float)) == 0);
  require(within(tuning->maxSpeed, 0.01f, 1.0f) && within(tuning->acceleration, 1e-6f, 1.0f));
  require(within(tuning->driftInertia, 0.0f, 10000.0f) && within(tuning->skidInertia, 0.0f, 10000.0f));
  require(within(tuning->brakeDeceleration, -1.0f, 0.0f) && within(tuning->rollDeceleration, -1.0f, 0.0f));
  require(within(tuning->gravity, -0.02f, -1e-5f) && within(tuning->verticalGain, 0.05f, 2.0f));

  unsigned pattern = 0;
  for (std::size_t i = 0; i < size; ++i) pattern = pattern * 31u + data[i];
  KartGround ground;
  VehicleMaster& kart = ground.addKart(std::make_unique<PatternDriver>(pattern), std::move(tuning), nullptr, 0.0f);
  ground.joinKarts();
  for (int i = 0; i < 300; ++i) {
    if (i == 100) kart.startSpeedBoost(nullptr);
    if (i == 200) kart.respawn();
    ground.step();
  }
  return 0;
}
