// Writes LightWave scene files (LWS, text, version 3) as the scene loader
// reads them: timing and scene-wide settings, objects with motions and
// envelopes, bones, lights, cameras, the ODE master with its collision
// spaces, geom, body and joint blocks, the particle-effect blocks (laid out
// by the same field tables the loader reads them with), object sounds,
// image clips, the motion mixer and hyper-voxel looks. Entries come out in
// the order they are asked for; a scene file lists the scene settings, then
// the objects (each followed by its plug-ins and bones), then the lights,
// then the cameras.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <vector>

class FXCollision;
class FXEmitter;
class FXGravity;
class FXWind;

namespace lws {

// Item ids as the files write them (objects counted from the file's first).
inline constexpr std::uint32_t objectId(int index) { return 0x10000000u + static_cast<std::uint32_t>(index); }
inline constexpr std::uint32_t lightId(int index) { return 0x20000000u + static_cast<std::uint32_t>(index); }
inline constexpr std::uint32_t cameraId(int index) { return 0x30000000u + static_cast<std::uint32_t>(index); }
inline constexpr std::uint32_t boneId(int object, int bone) {
  return 0x40000000u + (static_cast<std::uint32_t>(bone) << 16) + static_cast<std::uint32_t>(object);
}

struct Key {
  float value = 0.0f, time = 0.0f;
  std::int32_t shape = 0;  // 0 TCB, 1 Hermite, 2 Bezier, 3 linear, 4 stepped, 5 2D Bezier
  std::array<float, 6> p{};
};

struct Envelope {
  std::vector<Key> keys;
  std::int32_t pre = 1, post = 1;
};

// A number, or an envelope in its place.
struct Value {
  Value(float v = 0.0f) : value(v) {}  // NOLINT: a plain number is the common case
  Value(Envelope e) : envelope(std::move(e)) {}
  float value = 0.0f;
  std::optional<Envelope> envelope;
};

// Channels 0..8: position x, y, z, heading, pitch, bank (radians), scale x, y, z.
using Motion = std::array<Value, 9>;
Motion still(float x = 0, float y = 0, float z = 0);

struct Space {
  std::string name;       // "(default)" is the top space
  std::int32_t type = 0;  // 0 simple, 1 hash
};

struct Geom {
  std::int32_t type = 0, surface = 0, space = 0;
  std::array<float, 3> scale{1, 1, 1};
  std::uint32_t transform = 0;  // carrier item id; 0 none
};

struct Body {
  std::int32_t massType = 0;  // 0 sphere, 1 box, 2 capsule, 3 cylinder
  double mass = 1.0;
  std::array<float, 3> scale{1, 1, 1};
  std::int32_t autoDisable = 0;
};

struct Joint {
  std::int32_t type = 0;
  std::uint32_t body1 = 0, body2 = 0;
};

struct Bone {
  std::string name;
  Motion motion = still();
  std::array<float, 3> restPosition{0, 0, 0};
  std::array<float, 3> restDirectionDegrees{0, 0, 0};  // heading, pitch, bank
  float restLength = 1.0f, strength = 1.0f;
  bool scaleStrength = false, limitedRange = false;
  float minRange = 0.0f, maxRange = 1.0f;
  std::string weightMap;
  std::uint32_t parent = 0;  // 0: the object
};

struct Light {
  std::string name = "Light";
  Motion motion = still();
  std::int32_t type = 0;
  std::array<float, 3> colour{1, 1, 1};
  Value intensity = 1.0f;
  std::int32_t falloff = 0;
  Value range = 1.0f;
  float coneDegrees = 30.0f, edgeDegrees = 5.0f;
  std::int32_t axis = 2;
  std::int32_t shadowType = 0, shadowMapSize = 1024;
  float shadowFuzziness = 1.0f;
  bool flare = false;
  Value flareIntensity = 0.0f;
  std::uint32_t parent = 0, target = 0;
};

struct Camera {
  std::string name = "Camera";
  Motion motion = still();
  Value zoom = 3.2f;
  float eyeSeparation = 0.06f;
  std::int32_t axis = 2;
  std::uint32_t parent = 0, target = 0;
};

// The motion mixer: actors group items; each motion of an actor holds
// envelopes for channels of those items.
struct MotionChannel {
  std::string name;  // "Position.X" .. "Scale.Z", an item name and a dot in front allowed
  Envelope envelope;
};

struct MotionItem {
  std::string name;  // the name the item joined its actor under
  std::vector<MotionChannel> channels;
};

struct ActorMotion {
  std::string name;
  std::vector<MotionItem> items;
};

struct Actor {
  std::string name;
  std::vector<std::pair<std::string, std::uint32_t>> items;  // name and item id
  std::vector<ActorMotion> motions;
};

// One texture layer of a hyper-voxel object: an image map.
struct HyperVoxelTexture {
  std::string image;  // a still image; empty: none
  std::array<Value, 3> center{}, size{1.0f, 1.0f, 1.0f}, rotation{};
  std::int32_t projection = 0, axis = 0;
  std::int32_t widthWrap = 1, heightWrap = 1;  // 0 reset, 1 repeat, 2 mirror, 3 edge
  float widthRepeat = 1.0f, heightRepeat = 1.0f;
  bool antialiasing = false;
  float antialiasStrength = 1.0f;
  bool pixelBlending = false;
  std::int32_t opacityMode = 0;
  Value opacity = 1.0f;
  bool enable = true, negative = false;
};

// The hyper-voxel look of one object: type 1 volumetric particles, 2 a
// particle material.
struct HyperVoxelObject {
  std::string object;
  std::int32_t type = 1;
  Value dissolve = 0.0f, particleSize = 0.0f, sizeVariation = 0.0f;
  Value luminosity = 1.0f, opacity = 1.0f, density = 1.0f;
  std::array<Value, 3> colour{0.5f, 0.5f, 0.5f};
  Value nearClip = 0.0f, stretchAmount = 0.0f, textureAmplitude = 0.0f;
  std::int32_t blendingMode = 1, blendingGroup = 0, stretchDirection = 0, slices = 0;
  bool useAllLights = false, alignToPath = false, maintainVolume = false;
  std::vector<HyperVoxelTexture> textures;
};

class SceneWriter {
 public:
  SceneWriter();  // the header

  void timing(int firstFrame, int lastFrame, double framesPerSecond);
  void ambient(const std::array<float, 3>& colour, const Value& intensity);
  // Keyword and numbers on one line; integers are written without a point.
  void entry(const std::string& keyword, std::initializer_list<double> numbers = {});
  // Keyword and one word (quoted when it holds blanks).
  void entry(const std::string& keyword, const std::string& word);
  void itemId(const std::string& keyword, std::uint32_t id);
  void value(const std::string& keyword, const Value& value);
  void clip(const std::string& keyword, const std::string& stillImage, float frameRate = 0.0f);
  void odeMaster(const std::vector<Space>& spaces, const std::array<float, 3>& gravity = {0, -9.81f, 0});

  // Objects and what follows each.
  void loadObjectLayer(int layerFromOne, const std::string& modelFile);
  void addNullObject(const std::string& name);
  void motion(const std::string& keyword, const Motion& motion);
  void geom(const Geom& geom);
  void body(const Body& body);
  void joint(const Joint& joint);
  // A birth-rate envelope of at least two keys rides along as a variant
  // parameter; any other birth rate is the emitter's constant.
  void emitter(const FXEmitter& emitter, const Envelope* birthRate = nullptr);
  void gravity(const FXGravity& gravity);
  void wind(const FXWind& wind);
  void collision(const FXCollision& collision);
  void sound(const std::string& soundFile);
  // The bones of the current object, after its falloff type.
  void bones(std::int32_t falloffType, const std::vector<Bone>& bones);

  // The motion-mixer plug-in; items are named by id, so it may come
  // anywhere in the file.
  void motionMixer(const std::vector<Actor>& actors);
  // The hyper-voxel plug-in for the objects of the file.
  void hyperVoxels(const std::vector<HyperVoxelObject>& objects);

  void light(const Light& light);
  void camera(const Camera& camera);

  const std::string& text() const { return m_text; }

 private:
  void envelope(const Envelope& envelope);
  // "Add<kind>", "<kind>Name", "<kind>Motion" and the references.
  void itemStart(const char* kind, const std::string& name, const Motion& motion, std::uint32_t parent,
                 std::uint32_t target);
  // Numbers and a flag: the count when envelope blocks follow, else 0.
  void animated(const std::string& keyword, std::span<const Value> values);
  void hyperVoxelTexture(const HyperVoxelTexture& texture);
  void number(double v);
  void word(const std::string& w);
  void newline() { m_text += '\n'; }

  std::string m_text;
  int m_pluginIndex = 1;
};

}  // namespace lws
