// The state of one scene-file load, shared by the keyword handlers, the
// plug-in block readers and the envelope readers.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "lightwave/lws_tokens.h"

class BoneItem;
class CameraItem;
class Envelope;
class File;
class LightItem;
class ObjectItem;
class Scene;
class SceneItem;
class SurfaceRenderObject;
class Texture;
struct AnimatedFloat;

// Item references as the file gives them (hexadecimal ids), kept until the
// end of the load when every item exists.
struct LwsPendingRefs {
  std::uint32_t parent = 0, target = 0, goal = 0, parentBone = 0;
  std::uint32_t body1 = 0, body2 = 0;
  bool parentGiven = false;
  std::int32_t autoDisable = 0;
  std::uint32_t carrier = 0x50000000u;  // ids from 0x50000000 leave the carrier as it is
};

enum class LwsItemKind { Object, Light, Camera, Bone };

struct LwsLoad {
  LwsLoad(Scene& scene, File* file, LwsTokens& tokens, int objectsBefore)
      : scene(scene), file(file), tokens(tokens), objectsBefore(objectsBefore), objectIndex(objectsBefore - 1) {}

  // The current item of each kind, or null when there is none yet.
  ObjectItem* object() const;
  LightItem* light() const;
  CameraItem* camera() const;
  BoneItem* bone() const;
  // The item the current kind names.
  SceneItem* item() const;
  // The id scheme of the file: 0 none, 0x1... objects (offset by the
  // objects loaded before), 0x2... lights, 0x3... cameras, 0x4... bones
  // (bone number in the high half, object in the low 16 bits); null for an
  // id naming no item.
  SceneItem* resolve(std::uint32_t id) const;
  LwsPendingRefs& refs(SceneItem* item) { return pending[item]; }

  Scene& scene;
  File* file;
  LwsTokens& tokens;
  int objectsBefore;
  LwsItemKind kind = LwsItemKind::Object;
  int objectIndex;
  int lightIndex = -1;
  int cameraIndex = -1;
  int boneIndex = -1;
  SurfaceRenderObject* boneOwner = nullptr;
  int motionMixerPosition = 0;  // one past the "MotionMixer" token; 0 none
  std::unordered_map<SceneItem*, LwsPendingRefs> pending;
};

// The envelope block at the cursor ("{", Envelope, key count, keys,
// Behaviors, pre, post, "}"); the cursor ends on its "}". Key values are
// turned from degrees to radians when asked.
std::unique_ptr<Envelope> readLwsEnvelope(LwsTokens& tokens, bool degrees);
// The envelope block at the cursor into `out`: a block of 0 or 1 keys sets
// the constant, more keys the envelope. The cursor ends after its "}".
void readLwsChannel(LwsTokens& tokens, AnimatedFloat& out, bool degrees);
// At an "(envelope)" token standing for a number, followed by its block.
// With 0 or 1 keys the cursor ends on the block's "}", else on the
// post-behaviour: callers step on from there.
void readLwsAnimatedFloat(LwsTokens& tokens, AnimatedFloat& out, bool degrees);
// A number, or an "(envelope)" and its block, into `out`.
void readLwsValue(LwsTokens& tokens, AnimatedFloat& out);
// After a motion keyword: channel count and channel blocks.
// A null item reads the blocks without keeping them.
void readLwsMotion(LwsTokens& tokens, SceneItem* item);
// The clip block at the cursor; its still image as a texture of the root,
// or null.
Texture* loadLwsClip(LwsLoad& load);

// "Plugin" and the "//" comment at the cursor after the keyword.
void readLwsPlugin(LwsLoad& load);
void readLwsComment(LwsLoad& load);

// The motion-mixer block, from one past its "MotionMixer" to its plug-in's
// end (see LwsTokens::pluginEnd): actors and their motions join the scene.
void readLwsMotionMixer(LwsLoad& load);
// After "VolumetricHandler": the hyper-voxel block gives the objects it
// names their particle renderers.
void readLwsHyperVoxels(LwsLoad& load);

// Degrees as the files give angles, to radians.
inline constexpr double kLwsDegrees = 0.017453292519943295;
