#include "lightwave/lws_loader.h"

#include <cmath>
#include <cstring>
#include <string_view>
#include <unordered_map>

#include "foundation/file.h"
#include "foundation/report.h"
#include "lightwave/lws_load.h"
#include "render/texture.h"
#include "scene/bone_item.h"
#include "scene/camera_item.h"
#include "scene/culling_plane.h"
#include "scene/joint_object.h"
#include "scene/light_item.h"
#include "scene/loading_progress.h"
#include "scene/physics_object.h"
#include "scene/scene.h"
#include "scene/scene_root.h"
#include "scene/surface_render_object.h"

// ---------------------------------------------------------------------------
// The current items and the id scheme.

ObjectItem* LwsLoad::object() const {
  if (objectIndex < objectsBefore || objectIndex >= static_cast<int>(scene.objects.size())) return nullptr;
  return dynamic_cast<ObjectItem*>(scene.objects[static_cast<std::size_t>(objectIndex)].get());
}

LightItem* LwsLoad::light() const {
  if (lightIndex < 0 || lightIndex >= static_cast<int>(scene.lights.size())) return nullptr;
  return dynamic_cast<LightItem*>(scene.lights[static_cast<std::size_t>(lightIndex)].get());
}

CameraItem* LwsLoad::camera() const {
  if (cameraIndex < 0 || cameraIndex >= static_cast<int>(scene.cameras.size())) return nullptr;
  return dynamic_cast<CameraItem*>(scene.cameras[static_cast<std::size_t>(cameraIndex)].get());
}

BoneItem* LwsLoad::bone() const {
  if (!boneOwner || boneIndex < 0 || boneIndex >= static_cast<int>(boneOwner->bones.size())) return nullptr;
  return boneOwner->bones[static_cast<std::size_t>(boneIndex)].get();
}

SceneItem* LwsLoad::item() const {
  switch (kind) {
    case LwsItemKind::Object:
      return object();
    case LwsItemKind::Light:
      return light();
    case LwsItemKind::Camera:
      return camera();
    case LwsItemKind::Bone:
      return bone();
  }
  return nullptr;
}

namespace {

template <typename List>
SceneItem* itemAt(List& list, long long index) {
  return index >= 0 && index < static_cast<long long>(list.size()) ? list[static_cast<std::size_t>(index)].get()
                                                                   : nullptr;
}

SurfaceRenderObject* firstMeshOf(SceneItem* item) {
  auto* object = dynamic_cast<ObjectItem*>(item);
  return object && !object->meshes.empty() ? object->meshes.front().mesh : nullptr;
}

}  // namespace

SceneItem* LwsLoad::resolve(std::uint32_t id) const {
  const long long value = id;
  if (id >= 0x10000000u && id < 0x20000000u) return itemAt(scene.objects, value - 0x10000000 + objectsBefore);
  if (id >= 0x20000000u && id < 0x30000000u) return itemAt(scene.lights, value - 0x20000000);
  if (id >= 0x30000000u && id < 0x40000000u) return itemAt(scene.cameras, value - 0x30000000);
  if (id >= 0x40000000u && id < 0x50000000u) {
    const long long objectNumber = (value + objectsBefore) & 0xFFFF;
    SurfaceRenderObject* mesh = firstMeshOf(itemAt(scene.objects, objectNumber));
    return mesh ? itemAt(mesh->bones, (value - 0x40000000) >> 16) : nullptr;
  }
  return nullptr;
}

namespace {

bool is(const char* token, const char* word) { return std::strcmp(token, word) == 0; }

void report(const char* message) { reportError("%s", message); }

float nextF(LwsTokens& tokens) { return static_cast<float>(tokens.nextFloat()); }
float nextDegrees(LwsTokens& tokens) { return static_cast<float>(tokens.nextFloat() * kLwsDegrees); }

// An angle given in degrees, or an envelope (taken as it is).
void readAngle(LwsTokens& tokens, AnimatedFloat& out) {
  if (lwsEqualNoCase(tokens.at(tokens.cursor()), "(envelope)")) {
    readLwsAnimatedFloat(tokens, out, false);
  } else {
    out.value = nextDegrees(tokens);
  }
}

// Values read for an item that does not exist go here.
struct Discard {
  AnimatedFloat value;
};

// ---------------------------------------------------------------------------
// Objects.

struct LoadContext {
  LwsLoad& load;
  LoadingProgressDisplay* display;
  double progressStart, progressSpan;
  int objectCount;
};

void newObject(LoadContext& c) {
  LwsLoad& load = c.load;
  ++load.objectIndex;
  load.kind = LwsItemKind::Object;
  load.boneIndex = -1;
  load.boneOwner = nullptr;  // bones belong to the object that declares them
  if (c.display && c.objectCount > 0) {
    loadingProgress(*c.display, static_cast<float>(c.progressStart) + static_cast<float>(load.objectIndex) *
                                                                          static_cast<float>(c.progressSpan) /
                                                                          static_cast<float>(c.objectCount));
  }
}

bool endsWithLwo(const std::string& name) {
  return name.size() >= 4 && lwsEqualNoCase(name.c_str() + name.size() - 4, ".lwo");
}

// A model file name split at blanks by the tokeniser is joined again up to
// the token ending in ".lwo"; at most this many tokens are joined.
constexpr int kMaxNameTokens = 64;

std::string readModelName(LwsTokens& tokens) {
  const int first = tokens.cursor();
  std::string name = tokens.next();
  for (int joined = 1; !endsWithLwo(name) && joined < kMaxNameTokens && !tokens.atEnd(); ++joined) {
    name += ' ';
    name += tokens.next();
  }
  if (!endsWithLwo(name)) {
    // No ".lwo" close by: the first token alone is the name.
    tokens.seek(first + 1);
    name = tokens.at(first);
  }
  if (name.size() >= 2 && name[1] == ':' && (name.size() == 2 || name[2] != '\\')) name.insert(2, 1, '\\');
  return name;
}

// The layer's own name from the mesh name "<model>:<n> <layer name>".
std::string layerNameOf(const SurfaceRenderObject& mesh, const std::string& modelName) {
  if (mesh.name.compare(0, modelName.size() + 1, modelName + ":") != 0) return mesh.name;
  const std::size_t blank = mesh.name.find(' ', modelName.size() + 1);
  return blank == std::string::npos ? std::string() : mesh.name.substr(blank + 1);
}

void loadObjectLayer(LoadContext& c) {
  LwsLoad& load = c.load;
  LwsTokens& tokens = load.tokens;
  newObject(c);
  const std::int32_t layerNumber = tokens.nextInt() - 1;
  const std::string name = readModelName(tokens);
  SurfaceRenderObject* layer =
      layerNumber >= 0 ? load.scene.getModelLayer(load.file, name, static_cast<unsigned>(layerNumber)) : nullptr;
  if (layerNumber < 0) reportError("%d is not a valid layer number for %s!\n", layerNumber, name.c_str());
  const std::string layerName = layer ? layerNameOf(*layer, name) : std::string();
  ObjectItem* object = load.object();
  if (!object) return;
  if (name.find("AntiPortal.lwo") != std::string::npos || name.find("CullingPlane.lwo") != std::string::npos ||
      layerName.find("CullingPlane") != std::string::npos) {
    auto plane = std::make_unique<CullingPlaneObject>(&load.scene, load.objectIndex);
    auto old = load.pending.extract(object);
    if (!old.empty()) load.pending[plane.get()] = old.mapped();
    object = plane.get();
    load.scene.objects[static_cast<std::size_t>(load.objectIndex)] = std::move(plane);
    load.scene.cullingPlanes.push_back(object);
  }
  if (name.find("TL_CameraTarget.lwo") != std::string::npos || layerName.find("TL_CameraTarget") != std::string::npos) {
    load.scene.cameraTarget = object;
  }
  object->setName(name);
  if (layer) {
    object->addMesh(layer, 0.0f);
    object->pivot = object->meshes.front().mesh->pivot;
  }
}

void addNullObject(LoadContext& c) {
  newObject(c);
  const std::string name = c.load.tokens.next();
  if (ObjectItem* object = c.load.object()) {
    object->setName(name);
    if (name.find("TL_CameraTarget") != std::string::npos) c.load.scene.cameraTarget = object;
  }
}

// ---------------------------------------------------------------------------
// The keyword table.

using Handler = void (*)(LoadContext&);

struct Keyword {
  const char* word;
  Handler handler;
};

#define LOAD LwsLoad& load = c.load
#define TOKENS LwsTokens& tokens = c.load.tokens

// Each handler reads all of its arguments, whether or not its item exists.
// clang-format off
const Keyword kKeywords[] = {
  // Scene-wide settings.
  {"FirstFrame", [](LoadContext& c) { c.load.scene.firstFrame = c.load.tokens.nextInt(); }},
  {"LastFrame", [](LoadContext& c) { c.load.scene.lastFrame = c.load.tokens.nextInt(); }},
  {"PreviewFirstFrame", [](LoadContext& c) { c.load.scene.previewFirstFrame = c.load.tokens.nextInt(); }},
  {"PreviewLastFrame", [](LoadContext& c) { c.load.scene.previewLastFrame = c.load.tokens.nextInt(); }},
  {"FramesPerSecond", [](LoadContext& c) { c.load.scene.framesPerSecond = c.load.tokens.nextFloat(); }},
  {"AmbientColor", [](LoadContext& c) {
     LOAD;
     TOKENS;
     // The three envelopes follow one "(envelope)", each read from the end of the one before.
     const bool envelopes = lwsEqualNoCase(tokens.at(tokens.cursor()), "(envelope)");
     for (AnimatedFloat& colour : load.scene.ambientColor) {
       if (envelopes) {
         readLwsAnimatedFloat(tokens, colour, false);
       } else {
         colour.value = nextF(tokens);
       }
     }
   }},
  {"AmbientIntensity", [](LoadContext& c) { readLwsValue(c.load.tokens, c.load.scene.ambientIntensity); }},
  {"GlobalLightIntensity", [](LoadContext& c) { readLwsValue(c.load.tokens, c.load.scene.globalLightIntensity); }},
  {"GlobalFlareIntensity", [](LoadContext& c) { readLwsValue(c.load.tokens, c.load.scene.globalFlareIntensity); }},

  // Objects and any current item.
  {"LoadObjectLayer", loadObjectLayer},
  {"AddNullObject", addNullObject},
  {"UnseenByCamera", [](LoadContext&) {}},  // no such state in the engine; the value is left to the loop
  {"UnseenByRays", [](LoadContext&) {}},
  {"ObjectMotion", [](LoadContext& c) { readLwsMotion(c.load.tokens, c.load.object()); }},
  {"HController", [](LoadContext& c) {
     const std::int32_t v = c.load.tokens.nextInt();
     if (SceneItem* item = c.load.item()) item->headingController = v;
   }},
  {"PController", [](LoadContext& c) {
     const std::int32_t v = c.load.tokens.nextInt();
     if (SceneItem* item = c.load.item()) item->pitchController = v;
   }},
  {"BController", [](LoadContext& c) {
     const std::int32_t v = c.load.tokens.nextInt();
     if (SceneItem* item = c.load.item()) item->bankController = v;
   }},
  {"PathAlignLookAhead", [](LoadContext& c) {
     const float v = nextF(c.load.tokens);
     if (SceneItem* item = c.load.item()) item->pathLookAhead = v;
   }},
  {"GoalObject", [](LoadContext& c) {
     const std::uint32_t id = c.load.tokens.nextItemId();
     if (SceneItem* item = c.load.item()) c.load.refs(item).goal = id;
   }},
  {"MatchGoalOrientation", [](LoadContext& c) {
     const std::int32_t v = c.load.tokens.nextInt();
     if (SceneItem* item = c.load.item()) item->rotationLinked = v != 0;
   }},
  {"tls_RotationOrder", [](LoadContext& c) {
     std::int32_t order[3];
     for (std::int32_t& axis : order) axis = c.load.tokens.nextInt();
     if (SceneItem* item = c.load.item()) std::copy(order, order + 3, item->rotationOrder);
   }},
  {"tls_ObjectMaterial", [](LoadContext& c) {
     TOKENS;
     tokens.next();  // the surface: the engine keeps only the parameters
     float values[3];
     for (float& v : values) v = nextF(tokens);
     if (ObjectItem* object = c.load.object()) std::copy(values, values + 3, object->objectMaterialValues);
   }},
  {"UnaffectedByFog", [](LoadContext& c) {
     const std::int32_t v = c.load.tokens.nextInt();
     if (ObjectItem* object = c.load.object()) object->affectedByFog = v == 0;
   }},
  {"MatteColor", [](LoadContext& c) {
     TOKENS;
     const float r = nextF(tokens), g = nextF(tokens), b = nextF(tokens);
     if (ObjectItem* object = c.load.object()) object->objectColor = {r, g, b, 1.0f};
   }},
  {"ShadowOptions", [](LoadContext& c) {
     const std::int32_t v = c.load.tokens.nextInt();
     if (ObjectItem* object = c.load.object()) object->shadowOptions = v;
   }},
  {"PivotPosition", [](LoadContext& c) {
     TOKENS;
     const float p[3] = {nextF(tokens), nextF(tokens), nextF(tokens)};
     if (SceneItem* item = c.load.item()) item->setPivotPosition(p);
   }},
  {"PivotRotation", [](LoadContext& c) {
     TOKENS;
     const float heading = nextDegrees(tokens), pitch = nextDegrees(tokens), bank = nextDegrees(tokens);
     if (SceneItem* item = c.load.item()) {
       item->pivotRotation[0] = pitch;
       item->pivotRotation[1] = heading;
       item->pivotRotation[2] = bank;
     }
   }},
  {"ParentItem", [](LoadContext& c) {
     LOAD;
     const std::uint32_t id = load.tokens.nextItemId();
     SceneItem* item = load.item();
     if (!item) return;
     LwsPendingRefs& refs = load.refs(item);
     refs.parent = id;
     refs.parentGiven = true;
     if (load.kind == LwsItemKind::Bone && id >= 0x40000000u && id < 0x50000000u) refs.parentBone = id;
   }},
  {"BumpDisplacement", [](LoadContext& c) {
     if (ObjectItem* object = c.load.object()) object->bumpDisplacement = true;
   }},

  // Bones.
  {"BoneFalloffType", [](LoadContext& c) {
     LOAD;
     const std::int32_t v = load.tokens.nextInt();
     load.boneOwner = firstMeshOf(load.object());
     if (load.boneOwner) load.boneOwner->boneFalloffType = v;
   }},
  {"AddBone", [](LoadContext& c) {
     LOAD;
     ObjectItem* object = load.object();
     if (!object || !load.boneOwner) return;  // no mesh to carry the bone
     ++load.boneIndex;
     auto bone = std::make_unique<BoneItem>(&load.scene, load.objectIndex, load.boneIndex);
     bone->parent = object;
     load.boneOwner->bones.push_back(std::move(bone));
     load.kind = LwsItemKind::Bone;
   }},
  {"BoneName", [](LoadContext& c) {
     const std::string name = c.load.tokens.next();
     if (BoneItem* bone = c.load.bone()) bone->setName(name);
   }},
  {"BoneMotion", [](LoadContext& c) { readLwsMotion(c.load.tokens, c.load.bone()); }},
  {"BoneRestPosition", [](LoadContext& c) {
     TOKENS;
     const Position3 p{nextF(tokens), nextF(tokens), nextF(tokens)};
     if (BoneItem* bone = c.load.bone()) bone->restPosition = p;
   }},
  {"BoneRestDirection", [](LoadContext& c) {
     TOKENS;
     const float heading = nextDegrees(tokens), pitch = nextDegrees(tokens), bank = nextDegrees(tokens);
     if (BoneItem* bone = c.load.bone()) {
       bone->restPitch = pitch;
       bone->restHeading = heading;
       bone->restBank = bank;
     }
   }},
  {"BoneRestLength", [](LoadContext& c) {
     const float v = nextF(c.load.tokens);
     if (BoneItem* bone = c.load.bone()) bone->restLength = v;
   }},
  {"BoneStrength", [](LoadContext& c) {
     const float v = nextF(c.load.tokens);
     if (BoneItem* bone = c.load.bone()) bone->strength = v;
   }},
  {"ScaleBoneStrength", [](LoadContext& c) {
     const std::int32_t v = c.load.tokens.nextInt();
     if (BoneItem* bone = c.load.bone()) bone->scaleStrength = v == 1;
   }},
  {"BoneLimitedRange", [](LoadContext& c) {
     const std::int32_t v = c.load.tokens.nextInt();
     if (BoneItem* bone = c.load.bone()) bone->limitedRange = v == 1;
   }},
  {"BoneMinRange", [](LoadContext& c) {
     const float v = nextF(c.load.tokens);
     if (BoneItem* bone = c.load.bone()) bone->minRange = v;
   }},
  {"BoneMaxRange", [](LoadContext& c) {
     const float v = nextF(c.load.tokens);
     if (BoneItem* bone = c.load.bone()) bone->maxRange = v;
   }},
  {"BoneWeightMapName", [](LoadContext& c) {
     const std::string name = c.load.tokens.next();
     if (BoneItem* bone = c.load.bone()) bone->weightMapName = name;
   }},

  // Lights.
  {"AffectDiffuse", [](LoadContext& c) {
     const std::int32_t v = c.load.tokens.nextInt();
     if (LightItem* light = c.load.light()) light->noDiffuse = v == 0;
   }},
  {"AffectSpecular", [](LoadContext& c) {
     const std::int32_t v = c.load.tokens.nextInt();
     if (LightItem* light = c.load.light()) light->noSpecular = v == 0;
   }},
  {"LightType", [](LoadContext& c) {
     const std::int32_t v = c.load.tokens.nextInt();
     if (LightItem* light = c.load.light()) light->lightKind = v;
   }},
  {"LightQuality", [](LoadContext& c) { c.load.tokens.nextInt(); }},
  {"LightConeAngle", [](LoadContext& c) {
     Discard d;
     LightItem* light = c.load.light();
     readAngle(c.load.tokens, light ? light->coneAngle : d.value);
   }},
  {"LightEdgeAngle", [](LoadContext& c) {
     Discard d;
     LightItem* light = c.load.light();
     readAngle(c.load.tokens, light ? light->edgeAngle : d.value);
   }},
  {"AddLight", [](LoadContext& c) {
     ++c.load.lightIndex;
     c.load.kind = LwsItemKind::Light;
   }},
  {"LightName", [](LoadContext& c) {
     const std::string name = c.load.tokens.next();
     if (LightItem* light = c.load.light()) light->setName(name);
   }},
  {"ExcludeLight", [](LoadContext& c) {
     // 0x21000000 and 0x22000000 name no light of the scene.
     const std::uint32_t id = c.load.tokens.nextItemId();
     ObjectItem* object = c.load.object();
     if (object && id != 0x21000000u && id != 0x22000000u && id >= 0x20000000u && id < 0x30000000u) {
       object->excludedLights.push_back(static_cast<std::int32_t>(id - 0x20000000u));
     }
   }},
  {"LightMotion", [](LoadContext& c) { readLwsMotion(c.load.tokens, c.load.light()); }},
  {"LightColor", [](LoadContext& c) {
     TOKENS;
     Discard d[3];
     LightItem* light = c.load.light();
     AnimatedFloat* colour[3] = {light ? &light->red : &d[0].value, light ? &light->green : &d[1].value,
                                 light ? &light->blue : &d[2].value};
     // Each envelope has its own "(envelope)", one token after the end of the one before.
     const bool envelopes = lwsEqualNoCase(tokens.at(tokens.cursor()), "(envelope)");
     for (AnimatedFloat* value : colour) {
       if (envelopes) {
         readLwsAnimatedFloat(tokens, *value, false);
         tokens.next();
       } else {
         value->value = nextF(tokens);
       }
     }
   }},
  {"LightFalloffType", [](LoadContext& c) {
     const std::int32_t v = c.load.tokens.nextInt();
     if (LightItem* light = c.load.light()) light->falloff = v;
   }},
  {"LightRange", [](LoadContext& c) {
     Discard d;
     LightItem* light = c.load.light();
     readLwsValue(c.load.tokens, light ? light->range : d.value);
   }},
  {"LightIntensity", [](LoadContext& c) {
     Discard d;
     LightItem* light = c.load.light();
     readLwsValue(c.load.tokens, light ? light->intensity : d.value);
   }},
  {"AffectOpenGL", [](LoadContext& c) {
     const std::int32_t v = c.load.tokens.nextInt();
     if (LightItem* light = c.load.light()) light->affectOpenGL = v == 0;
   }},
  // The light draws its own spot image; the clip is registered with the root.
  {"LightProjImage", [](LoadContext& c) { loadLwsClip(c.load); }},
  {"ShadowType", [](LoadContext& c) {
     const std::int32_t v = c.load.tokens.nextInt();
     if (LightItem* light = c.load.light()) light->shadowType = v;
   }},
  {"ShadowMapSize", [](LoadContext& c) {
     const std::int32_t v = c.load.tokens.nextInt();
     if (LightItem* light = c.load.light()) light->shadowMapSize = v;
   }},
  {"ShadowFuzziness", [](LoadContext& c) {
     const double v = c.load.tokens.nextFloat();
     if (LightItem* light = c.load.light()) light->shadowBias = static_cast<float>(-std::pow(2.0, -v));
   }},
  {"LensFlare", [](LoadContext& c) {
     const std::int32_t v = c.load.tokens.nextInt();
     if (LightItem* light = c.load.light()) light->flareEnabled = v != 0;
   }},
  {"FlareIntensity", [](LoadContext& c) {
     Discard d;
     LightItem* light = c.load.light();
     readLwsValue(c.load.tokens, light ? light->flareIntensity : d.value);
   }},
  {"LensFlareOptions", [](LoadContext& c) {
     const std::int32_t v = c.load.tokens.nextInt();
     if (LightItem* light = c.load.light()) light->flareOptions = static_cast<std::uint32_t>(v);
   }},
  {"FlareNominalDistance", [](LoadContext& c) {
     const float v = nextF(c.load.tokens);
     if (LightItem* light = c.load.light()) light->flareNominalDistance = v;
   }},
  {"LensFlareFade", [](LoadContext& c) {
     const std::int32_t v = c.load.tokens.nextInt();
     if (LightItem* light = c.load.light()) light->flareFade = v;
   }},
  {"FlareRotationAngle", [](LoadContext& c) {
     Discard d;
     LightItem* light = c.load.light();
     readLwsValue(c.load.tokens, light ? light->flareRotationAngle : d.value);
   }},

  // Cameras.
  {"AddCamera", [](LoadContext& c) {
     ++c.load.cameraIndex;
     c.load.kind = LwsItemKind::Camera;
   }},
  {"CameraName", [](LoadContext& c) {
     const std::string name = c.load.tokens.next();
     if (CameraItem* camera = c.load.camera()) camera->setName(name);
   }},
  {"CameraMotion", [](LoadContext& c) { readLwsMotion(c.load.tokens, c.load.camera()); }},
  {"TargetItem", [](LoadContext& c) {
     const std::uint32_t id = c.load.tokens.nextItemId();
     if (SceneItem* item = c.load.item()) c.load.refs(item).target = id;
   }},
  {"tls_ViewAxis", [](LoadContext& c) {
     LOAD;
     const std::int32_t v = load.tokens.nextInt();
     if (load.kind == LwsItemKind::Light) {
       if (LightItem* light = load.light()) light->axisMode = v;
     } else if (load.kind == LwsItemKind::Camera) {
       if (CameraItem* camera = load.camera()) camera->axisMode = v;
     }
   }},
  {"ZoomFactor", [](LoadContext& c) {
     Discard d;
     CameraItem* camera = c.load.camera();
     readLwsValue(c.load.tokens, camera ? camera->zoomFactor : d.value);
   }},
  {"EyeSeparation", [](LoadContext& c) {
     const float v = nextF(c.load.tokens);
     if (CameraItem* camera = c.load.camera()) camera->eyeSeparation = v;
   }},
  {"tls_EnvMinDistance", [](LoadContext& c) { c.load.tokens.nextFloat(); }},  // environment maps are not drawn
  {"tls_EnvMaxDistance", [](LoadContext& c) { c.load.tokens.nextFloat(); }},

  // Backdrop, fog and grid.
  {"BGImage", [](LoadContext& c) {
     Texture* clip = loadLwsClip(c.load);
     if (!clip) return;
     // The scene keeps its own copy, drawn as a dynamic texture.
     c.load.scene.backgroundImage = clip->clone();
     if (c.load.scene.backgroundImage) c.load.scene.backgroundImage->setFlags(kTextureDynamic);
   }},
  {"BackdropColor", [](LoadContext& c) {
     TOKENS;
     float* colour = c.load.scene.backdropColor;
     for (int i = 0; i < 3; ++i) colour[i] = nextF(tokens);
     colour[3] = 0.0f;
   }},
  {"FogType", [](LoadContext& c) {
     // The file's none, linear, exponential, squared exponential as the device's fog modes.
     static constexpr std::int32_t kModes[4] = {0, 3, 1, 2};
     const std::int32_t v = c.load.tokens.nextInt();
     c.load.scene.fogMode = v >= 0 && v < 4 ? kModes[v] : 0;
   }},
  {"FogMinDistance", [](LoadContext& c) { c.load.scene.fogMinDistance = nextF(c.load.tokens); }},
  {"FogMaxDistance", [](LoadContext& c) { c.load.scene.fogMaxDistance = nextF(c.load.tokens); }},
  {"FogColor", [](LoadContext& c) {
     for (int i = 0; i < 3; ++i) c.load.scene.fogColor[i] = nextF(c.load.tokens);
   }},
  {"BackdropFog", [](LoadContext& c) {
     Scene& scene = c.load.scene;
     if (c.load.tokens.nextInt() != 0) std::copy(scene.backdropColor, scene.backdropColor + 3, scene.fogColor);
   }},
  {"tls_BackdropWithoutFog", [](LoadContext& c) { c.load.scene.backdropWithoutFog = c.load.tokens.nextInt() != 0; }},
  {"GridNumber", [](LoadContext& c) { c.load.scene.gridNumber = c.load.tokens.nextInt(); }},
  {"GridSize", [](LoadContext& c) { c.load.scene.gridSize = nextF(c.load.tokens); }},
  {"Plugin", [](LoadContext& c) { readLwsPlugin(c.load); }},
  {"//", [](LoadContext& c) { readLwsComment(c.load); }},
};
// clang-format on

#undef LOAD
#undef TOKENS

// The keywords are distinct, so a lookup finds the one the table's first
// match would.
const std::unordered_map<std::string_view, Handler>& keywordIndex() {
  static const auto index = [] {
    std::unordered_map<std::string_view, Handler> map;
    for (const Keyword& k : kKeywords) map.emplace(k.word, k.handler);
    return map;
  }();
  return index;
}

// ---------------------------------------------------------------------------
// The item pre-pass and the end of the load.

bool isObjectKeyword(const char* token) {
  return lwsEqualNoCase(token, "LoadObjectLayer") || lwsEqualNoCase(token, "AddNullObject");
}

// Every light draws its own 512 x 512 spot picture when the scene is
// prepared, over a megabyte each: a scene keeps at most this many, so a few
// bytes per "AddLight" cannot ask for gigabytes and minutes of work.
constexpr std::size_t kMaxSceneLights = 64;

// Creates every object, light and camera before a keyword is read.
void createItems(LwsLoad& load) {
  Scene& scene = load.scene;
  LwsTokens& tokens = load.tokens;
  bool tooManyLights = false;
  int i = 0;
  while (i < tokens.count()) {
    const char* token = tokens.at(i);
    if (isObjectKeyword(token)) {
      // The object's section ends at the next object, light or camera.
      int k = i + 1;
      bool physics = false;
      for (; k < tokens.count(); ++k) {
        const char* t = tokens.at(k);
        if (isObjectKeyword(t) || lwsEqualNoCase(t, "AddLight") || lwsEqualNoCase(t, "AddCamera") ||
            lwsEqualNoCase(t, "CameraMotion")) {
          break;
        }
        const auto index = static_cast<std::int32_t>(scene.objects.size());
        if (lwsEqualNoCase(t, "TessalineODEGeom")) {
          scene.objects.push_back(std::make_unique<PhysicsObject>(&scene, index));
          physics = true;
        } else if (lwsEqualNoCase(t, "TessalineODEJoint")) {
          scene.objects.push_back(std::make_unique<ODEJointObject>(&scene, index));
          physics = true;
        }
      }
      if (!physics) {
        scene.objects.push_back(std::make_unique<ObjectItem>(&scene, static_cast<std::int32_t>(scene.objects.size())));
      }
      i = k;
      continue;
    }
    if (lwsEqualNoCase(token, "AddLight") && load.objectsBefore == 0) {
      // Lights past the bound get no item: their keywords find no current
      // light and references to them resolve to nothing.
      if (scene.lights.size() < kMaxSceneLights) {
        scene.lights.push_back(std::make_unique<LightItem>(&scene, static_cast<std::int32_t>(scene.lights.size())));
      } else if (!tooManyLights) {
        tooManyLights = true;
        reportError("loadLWS: %s has more than %zu lights; the rest are ignored\n", scene.name.c_str(),
                    kMaxSceneLights);
      }
    } else if (lwsEqualNoCase(token, "CameraMotion")) {
      scene.cameras.push_back(std::make_unique<CameraItem>(&scene, static_cast<std::int32_t>(scene.cameras.size())));
    }
    ++i;
  }
}

void resolveReferences(LwsLoad& load, SceneItem& item) {
  auto found = load.pending.find(&item);
  if (found == load.pending.end()) return;
  const LwsPendingRefs& refs = found->second;
  if (refs.parent) item.parent = load.resolve(refs.parent);
  if (refs.target) item.target = load.resolve(refs.target);
  if (refs.goal) item.linkedItem = load.resolve(refs.goal);
}

// What ODE's body functions accept: finite values (ODE's own check lets
// some non-finite ones through and then stops the program).
bool massUsable(const dMass& m) {
  bool finite = std::isfinite(m.mass);
  for (dReal v : m.c) finite = finite && std::isfinite(v);
  for (dReal v : m.I) finite = finite && std::isfinite(v);
  return finite && dMassCheck(&m);
}

void finishObjects(LwsLoad& load) {
  Scene& scene = load.scene;
  for (std::size_t i = static_cast<std::size_t>(load.objectsBefore); i < scene.objects.size(); ++i) {
    SceneItem& item = *scene.objects[i];
    resolveReferences(load, item);
    const LwsPendingRefs refs = load.pending.count(&item) ? load.pending[&item] : LwsPendingRefs{};
    if (auto* physics = dynamic_cast<PhysicsObject*>(&item); physics && refs.carrier < 0x50000000u) {
      physics->carrier = load.resolve(refs.carrier);
    }
    if (auto* joint = dynamic_cast<ODEJointObject*>(&item)) {
      joint->item1 = load.resolve(refs.body1);
      joint->item2 = load.resolve(refs.body2);
    }
    if (SurfaceRenderObject* mesh = firstMeshOf(&item)) {
      for (auto& bone : mesh->bones) {
        auto found = load.pending.find(bone.get());
        if (found == load.pending.end()) continue;
        if (found->second.parentBone) {
          SceneItem* parent = load.resolve(found->second.parentBone);
          bone->parentBone = dynamic_cast<BoneItem*>(parent);
          bone->parent = parent;
        } else if (found->second.parentGiven) {
          bone->parent = load.resolve(found->second.parent);
        }
        if (found->second.target) bone->target = load.resolve(found->second.target);
        if (found->second.goal) bone->linkedItem = load.resolve(found->second.goal);
      }
    }
  }
  // Rigid bodies, now that every item is in place.
  for (std::size_t i = static_cast<std::size_t>(load.objectsBefore); i < scene.objects.size(); ++i) {
    SceneItem& item = *scene.objects[i];
    if (item.mass.mass == 0.0 || item.body) continue;
    dMatrix3 rotation;
    item.getODERotation(rotation, 0.0);
    dMassRotate(&item.mass, rotation);
    if (!massUsable(item.mass)) {
      // A rotation that is no rotation (say, from a non-finite channel).
      reportError("loadLWS: %s has no usable mass; it gets no body\n", item.name.c_str());
      dMassSetZero(&item.mass);
      continue;
    }
    item.body = dBodyCreate(scene.physics().world());
    dBodySetMass(item.body, &item.mass);
    const auto refs = load.pending.find(&item);
    dBodySetAutoDisableFlag(item.body, refs == load.pending.end() ? 0 : refs->second.autoDisable);
  }
}

}  // namespace

bool loadLWS(Scene& scene, LoadingProgressDisplay* display, File* file, const std::string& fileName,
             double progressStart, double progressSpan) {
  scene.name = fileName;
  std::vector<char> text;
  {
    std::unique_ptr<File> in = file ? file->cloneUnique() : nullptr;
    if (!in || !in->open(fileName.c_str())) {
      g_log.printf("File not found: %s\n", fileName.c_str());
      return false;
    }
    text.resize(static_cast<std::size_t>(std::max(in->size(), 0)));
    const int got = text.empty() ? 0 : in->read(text.data(), static_cast<int>(text.size()));
    in->close();
    if (got <= 0) return false;
    text.resize(static_cast<std::size_t>(got));
  }
  LwsTokens tokens(text.data(), text.size());
  if (!is(tokens.at(0), "LWSC") || parseLwsInt(tokens.at(1)) != 3) {
    report("Invalid scene file (wrong version or file type)!");
    return false;
  }
  LwsLoad load(scene, file, tokens, static_cast<int>(scene.objects.size()));
  int first = 2, end = tokens.count();
  if (load.objectsBefore != 0) {
    // A merge load reads the object section only.
    const int objects = tokens.findFrom(0, {"LoadObjectLayer", "AddNullObject"});
    if (objects < tokens.count()) {
      first = objects;
      end = tokens.findFrom(objects, {"CameraMotion", "AddLight"});
    }
  }
  const int mixer = tokens.findFrom(0, {"MotionMixer"});
  if (mixer < tokens.count()) load.motionMixerPosition = mixer + 1;

  createItems(load);
  if (scene.cameras.empty()) {
    report("There must be at least one camera in the scene.");
    return false;
  }
  if (scene.lights.empty()) {
    auto light = std::make_unique<LightItem>(&scene, 0);
    light->lightKind = 1;
    light->red.value = light->green.value = light->blue.value = 1.0f;
    light->intensity.value = 1.0f;
    light->parent = scene.cameras.front().get();
    scene.lights.push_back(std::move(light));
  }

  LoadContext context{load, display, progressStart, progressSpan, static_cast<int>(scene.objects.size())};
  const auto& keywords = keywordIndex();
  tokens.seek(first);
  while (tokens.cursor() < end) {
    const auto found = keywords.find(tokens.next());
    if (found != keywords.end()) found->second(context);
  }

  // The motion mixer last: its actors name items anywhere in the file.
  if (load.motionMixerPosition > 0) {
    tokens.seek(load.motionMixerPosition);
    readLwsMotionMixer(load);
  }
  scene.followed = scene.cameras.front().get();
  finishObjects(load);
  if (load.objectsBefore == 0) {
    for (auto& light : scene.lights) resolveReferences(load, *light);
    for (auto& camera : scene.cameras) resolveReferences(load, *camera);
  }
  return true;
}
