#include "game/kart/kart_tuning.h"

#include <cstdint>
#include <cstdio>
#include <memory>

#include "foundation/byte_fields.h"
#include "foundation/file.h"
#include "foundation/report.h"

std::string KartTuning::fileNameFor(int engineClass, int character) {
  static constexpr const char* kClasses[] = {"50", "100", "150"};
  const char* ccm = engineClass >= 0 && engineClass < 3 ? kClasses[engineClass] : kClasses[0];
  return std::string("carsettings_") + ccm + "_" + std::to_string(character) + ".dat";
}

namespace {

// What a field of the file may hold; a value outside (NaN and infinities
// too) keeps the default. Speeds are scene units per physics step.
struct FieldRange {
  const char* name;
  float low, high;
};

// In file order; the turbo limit (1) and the steering angle (3) are not
// read from the file.
constexpr FieldRange kRanges[KartTuning::kFileSize / 4] = {
    // Top speed: above 0, or the kart never moves (and the engine's pitch is
    // its speed over this); at most 1, three times the fastest sample kart,
    // since a kart moving further than its length in a step (the turbo adds
    // a quarter) passes through walls between two collision passes.
    {"top speed", 0.01f, 1.0f},
    {nullptr, 0.0f, 0.0f},
    // Speed gained per step: above 0, or the kart never gets going; a gain
    // past the largest top speed in one step means nothing more.
    {"acceleration", 1e-6f, 1.0f},
    {nullptr, 0.0f, 0.0f},
    // How much of its motion a kart keeps (weighed by its speed squared):
    // below 0 the kept motion points backwards and the kart shakes to and
    // fro; above 10000 (thirteen times the sample's skid) the squares of the
    // weighed motion run towards the end of float's range.
    {"drift inertia", 0.0f, 10000.0f},
    {"skid inertia", 0.0f, 10000.0f},
    // Speed lost per step braking and rolling: above 0 they would speed the
    // kart up; below -1 they stop any kart within a step, which means
    // nothing more.
    {"brake deceleration", -1.0f, 0.0f},
    {"roll deceleration", -1.0f, 0.0f},
    // Fall speed gained per step: 0 or above and a kart that leaves the
    // ground never comes down; below -0.02 (twelve times the sample) a short
    // jump falls further in one step than the wheel rays reach below the
    // wheels (1 unit) and the kart drops through the road.
    {"gravity", -0.02f, -1e-5f},
    // Share of the fall speed taken per step: at 0 or below an airborne kart
    // hangs or rises; above 2 (four times the sample) the fall outruns the
    // wheel rays as above.
    {"vertical gain", 0.05f, 2.0f},
};

}  // namespace

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
  std::string refused;
  for (int i = 0; i < 10; ++i) {
    const float v = reader.f32();
    if (i >= values || !fields[i]) continue;
    // Written so that NaN fails the test as well.
    if (v >= kRanges[i].low && v <= kRanges[i].high) {
      *fields[i] = v;
    } else {
      char note[80];
      std::snprintf(note, sizeof note, "%s%s %g (%g to %g)", refused.empty() ? "" : ", ", kRanges[i].name,
                    static_cast<double>(v), static_cast<double>(kRanges[i].low), static_cast<double>(kRanges[i].high));
      refused += note;
    }
  }
  turboMaxSpeed = maxSpeed * 1.25f;
  if (!refused.empty())
    reportRefusal("kart tuning \"%s\": %s out of range; the default stays\n", fileName.c_str(), refused.c_str());
  return true;
}
