// The karts, drivers and weapons of the sample data: their object files,
// where a kart's parts sit (the kart scenes place their items there), and
// the helpers their motion-mixer blocks are written with. Everything is
// made procedurally from fixed seeds, so two runs write the same bytes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "content/lwo2_mesh.h"
#include "content/lws_writer.h"

class ArchiveWriter;

namespace kart_samples {

// Folders as the scenes write them (the items take these names).
inline constexpr const char* kCarFolder = "D:\\Tamberlok/3dobjects_cars/";
inline constexpr const char* kExtraFolder = "D:\\Tamberlok/3dobjects_extras/";
inline constexpr const char* kTextureFolder = "D:\\Tamberlok/textures_props/";

inline constexpr int kKarts = 8;
inline constexpr int kCharacters = 6;

// Where every kart seats its driver (model units, the ground at y = 0, the
// nose toward +z): the driver's "Character" null sits here on "Vehicle".
inline constexpr lwo2::Vec3 kSeat{0.0f, 0.3f, 0.0f};

// The parts of kart model 0..7 that its scene places as items.
struct KartLayout {
  // Front left, front right, rear left, rear right: layers 2 to 5, each
  // wheel's pivot its hub, so that it spins and steers in place.
  std::array<lwo2::Vec3, 4> wheels;
  std::array<float, 4> wheelRadius;
  lwo2::Vec3 engine;         // layer 1's pivot, where "Motor" sits
  lwo2::Vec3 steeringWheel;  // layer 6's pivot, the hub
  float steeringTiltDegrees = 0.0f;
};

KartLayout kartLayout(int kart);
// The paint of kart 0..7 and the body colour of character 0..5, 0..1 each.
lwo2::Vec3 kartPaint(int kart);
lwo2::Vec3 characterColour(int character);
// Where a driver's head turns: its layer's pivot, from the seat.
inline constexpr lwo2::Vec3 kDriverNeck{0.0f, 0.44f, 0.0f};
// "kart_0N.lwo": body 0, engine 1, wheels 2-5, steering wheel 6.
std::vector<std::uint8_t> kartObject(int kart);
std::string kartObjectName(int kart);  // with its folder
// The shield and the ice block the kart's motions show around it.
std::vector<std::uint8_t> shieldObject();
std::vector<std::uint8_t> iceBlockObject();
inline constexpr const char* kShieldObject = "schutzschild.lwo";
inline constexpr const char* kIceBlockObject = "eisblock.lwo";

// Character 0..5: its scene and its object.
std::string characterScene(int character);
std::vector<std::uint8_t> characterObject(int character);
std::string characterObjectName(int character);  // with its folder
std::string characterSceneName(int character);   // as the race opens it

// Entries of the archive under the names the game asks for; false once an
// entry is empty or cannot be added.
struct Entries {
  ArchiveWriter& writer;
  bool ok = true;
  void add(const std::string& name, const std::vector<std::uint8_t>& bytes);
  void add(const std::string& name, const std::string& text);
};

// Rockets, bubble, magnet, mine, lasers, shadow, weight, explosion and smoke
// objects, and the three explosion textures.
void addWeaponSamples(Entries& out);

// A fixed pseudo-random sequence per seed.
struct Dice {
  std::uint32_t state;
  float next(float low, float high);
};

// Motion-mixer helpers: an envelope through (time, value) keys.
lws::Envelope curve(const std::vector<std::pair<float, float>>& keys, int post = 1, int shape = 0);
inline constexpr int kRepeat = 2, kOscillate = 3;  // after the last key
inline constexpr int kLinear = 3;                  // between keys
// An item of a motion with its channels ("Position.X" .. "Scale.Z").
lws::MotionItem motionItem(const std::string& item, std::vector<lws::MotionChannel> channels);
// Scale.X, Y and Z all along one curve.
std::vector<lws::MotionChannel> uniformScale(const lws::Envelope& e);

// A colour from 0..255 components.
constexpr lwo2::Vec3 rgb(int r, int g, int b) {
  return {static_cast<float>(r) / 255.0f, static_cast<float>(g) / 255.0f, static_cast<float>(b) / 255.0f};
}

}  // namespace kart_samples
