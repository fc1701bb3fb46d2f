#include "game/kart/kart_tuning.h"

#include <cstdint>
#include <memory>

#include "foundation/byte_fields.h"
#include "foundation/file.h"

std::string KartTuning::fileNameFor(int engineClass, int character) {
  static constexpr const char* kClasses[] = {"50", "100", "150"};
  const char* ccm = engineClass >= 0 && engineClass < 3 ? kClasses[engineClass] : kClasses[0];
  return std::string("carsettings_") + ccm + "_" + std::to_string(character) + ".dat";
}

bool KartTuning::load(const File& prototype) {
  const std::unique_ptr<File> owned = prototype.cloneUnique();
  File& file = *owned;
  if (!file.open(fileName.c_str())) return false;
  std::uint8_t bytes[kFileSize] = {};
  const int got = file.read(bytes, kFileSize);
  file.close();
  const int values = got > 0 ? got / 4 : 0;
  FieldReader reader(bytes, sizeof bytes);
  // Fields in file order; value 1 (the turbo limit) and value 3 (the
  // steering angle) are stored but not used.
  float* fields[] = {&maxSpeed,          nullptr,           &acceleration, nullptr,      &driftInertia, &skidInertia,
                     &brakeDeceleration, &rollDeceleration, &gravity,      &verticalGain};
  for (int i = 0; i < 10; ++i) {
    const float v = reader.f32();
    if (i < values && fields[i]) *fields[i] = v;
  }
  turboMaxSpeed = maxSpeed * 1.25f;
  return true;
}
