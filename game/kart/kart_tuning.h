// A kart's driving figures, one record per kart: defaults, or the tuning
// file of the engine class and character. Units are scene units, scene
// units per physics step (0.01 s) and degrees.
#pragma once

#include <string>

class File;

struct KartTuning {
  static constexpr int kFileSize = 40;  // ten little-endian f32

  float maxSpeed = 0.29f;
  float turboMaxSpeed = 0.435f;  // always maxSpeed x 1.25 once a file is read
  float acceleration = 0.000368f;
  float steerAngle = 1.16f;  // the file's value is not used
  float driftInertia = 187.0f;
  float skidInertia = 748.0f;
  float brakeDeceleration = -0.001216f;
  float rollDeceleration = -0.000504f;
  float gravity = -0.0016f;
  float verticalGain = 0.5f;

  std::string fileName;

  // "carsettings_<50|100|150>_<character>.dat" for engine class 0..2.
  static std::string fileNameFor(int engineClass, int character);

  // Reads `fileName` through a clone of `prototype`. A file that cannot be opened changes
  // nothing and answers false; a file shorter than 40 bytes sets only the
  // values it holds in full and keeps the rest. Each field has a range the
  // kart step works within; a value outside it (NaN and infinities too)
  // keeps the default, and one report names every such field.
  bool load(const File& prototype);
};
