// The engine's plug-in blocks of scene files: model replacement, the ODE
// master with its collision spaces, rigid bodies, joints, collision geoms,
// the particle effects, and object sounds from comment lines.
#include <cmath>
#include <cstring>
#include <span>

#include "foundation/file.h"
#include "foundation/report.h"
#include "lightwave/lws_fields.h"
#include "lightwave/lws_load.h"
#include "render/render_pipeline.h"
#include "scene/contact_tables.h"
#include "scene/joint_object.h"
#include "scene/physics_object.h"
#include "scene/scene.h"
#include "sound/sound_buffer.h"
#include "sound/sound_channel.h"
#include "sound/sound_system.h"

namespace {

bool is(const char* token, const char* word) { return std::strcmp(token, word) == 0; }

// Reads one block of an effect by its field table.
template <typename Record>
void readFields(LwsTokens& tokens, Record& record, std::span<const LwsField<Record>> fields) {
  for (const LwsField<Record>& field : fields) {
    switch (field.step) {
      case LwsStep::SkipNumbers:
        tokens.step(field.count);
        break;
      case LwsStep::SkipToken:
        tokens.next();
        break;
      case LwsStep::OptionalPair:
        if (!is(tokens.next(), field.word)) tokens.next();
        break;
      case LwsStep::Int:
        *field.integer(record) = tokens.nextInt();
        break;
      case LwsStep::Truncated: {
        const double value = tokens.nextFloat();
        // Truncation of a value outside the integers is undefined: 0 then.
        *field.integer(record) =
            std::isfinite(value) && std::fabs(value) < 2147483647.0 ? static_cast<std::int32_t>(value) : 0;
        break;
      }
      case LwsStep::Float: {
        float* out = field.floats(record);
        for (int i = 0; i < field.count; ++i) out[i] = static_cast<float>(tokens.nextFloat()) * field.scale;
        break;
      }
    }
  }
}

void readModelReplacement(LwsLoad& load) {
  LwsTokens& tokens = load.tokens;
  tokens.nextInt();
  tokens.next();
  tokens.nextInt();
  const std::int32_t count = tokens.nextInt();
  ObjectItem* object = load.object();
  for (std::int32_t i = 0; i < count && !tokens.atEnd(); ++i) {
    const float frame = static_cast<float>(tokens.nextFloat());
    std::string name = tokens.next();
    if (name.empty()) continue;
    for (std::size_t at = name.find("\\\\"); at != std::string::npos; at = name.find("\\\\", at + 1)) {
      name.erase(at, 1);
    }
    SurfaceRenderObject* layer = load.scene.getModelLayer(load.file, name, 0);
    if (layer && object) object->addMesh(layer, frame);
  }
}

void createSpace(LwsLoad& load, const std::string& name, std::int32_t type) {
  Scene& scene = load.scene;
  // Every space but the top one hangs below the first space, so that the
  // scene's teardown of the top space reaches all of them.
  dSpaceID parent = scene.physics().space(0);
  if (type != 0 && type != 1) {
    reportError("loadLWS: space %s has type %d; a simple space is made\n", name.c_str(), type);
    type = 0;
  }
  if (scene.physics().spaceCount() >= kSpaceCount) {
    reportError("loadLWS: more than %d collision spaces; space %s is left out\n", kSpaceCount, name.c_str());
    return;
  }
  dSpaceID space = type == 1 ? dHashSpaceCreate(parent) : dSimpleSpaceCreate(parent);
  if (space && scene.physics().addCollisionSpace(space, name) < 0) dSpaceDestroy(space);
}

void readODEMaster(LwsLoad& load) {
  LwsTokens& tokens = load.tokens;
  tokens.nextInt();
  const int serverAt = tokens.cursor();
  const char* server = tokens.next();
  if (is(server, "MotionMixer")) {
    // Read after the main loop, when every item exists.
    load.motionMixerPosition = serverAt + 1;
    tokens.seek(tokens.pluginEnd(tokens.cursor()));
    return;
  }
  if (!is(server, "TessalineODEMaster")) return;
  while (!tokens.atEnd()) {
    const char* token = tokens.next();
    if (is(token, "}")) break;
    if (is(token, "Gravity")) {
      tokens.step(3);
    } else if (is(token, "Solver")) {
      tokens.nextInt();
    } else if (is(token, "{")) {
      const char* block = tokens.next();
      const bool space = is(block, "Space");
      if (!space && !is(block, "Surface")) {
        tokens.skipBlock();
        continue;
      }
      std::string name;
      std::int32_t type = 0;
      while (!tokens.atEnd()) {
        const char* entry = tokens.next();
        if (is(entry, "}")) break;
        if (is(entry, "Name")) {
          name = tokens.next();
        } else if (space && is(entry, "Type")) {
          type = tokens.nextInt();
        } else if (space && is(entry, "Parent")) {
          tokens.nextInt();
        }
      }
      if (space) createSpace(load, name, type);
    }
  }
}

// Size and mass of a rigid body as ODE's mass functions need them: finite
// and above zero (they abort on anything else).
bool usableForMass(double mass, const float size[3], int used) {
  if (!(mass > 0.0) || !std::isfinite(mass)) return false;
  for (int i = 0; i < used; ++i) {
    if (!(size[i] > 0.0f) || !std::isfinite(size[i])) return false;
  }
  return true;
}

void readBody(LwsLoad& load) {
  LwsTokens& tokens = load.tokens;
  double mass = 1.0;
  std::int32_t massType = 0;
  float size[3] = {1.0f, 1.0f, 1.0f};
  std::int32_t autoDisable = 0;
  while (!tokens.atEnd()) {
    const char* token = tokens.next();
    if (is(token, "}")) break;
    if (is(token, "MassType")) {
      massType = tokens.nextInt();
    } else if (is(token, "Mass")) {
      mass = tokens.nextFloat();
    } else if (is(token, "Scale")) {
      for (float& s : size) s = static_cast<float>(tokens.nextFloat());
    } else if (is(token, "AutoDisable")) {
      autoDisable = tokens.nextInt();
    }
  }
  ObjectItem* object = load.object();
  if (!object) return;
  load.refs(object).autoDisable = autoDisable;
  for (int i = 0; i < 3; ++i) size[i] *= object->scale[i].evaluate(0.0);
  const int used = massType == 0 ? 1 : massType == 1 ? 3 : 2;
  if (massType < 0 || massType > 3) return;  // the mass stays unset: no body
  if (!usableForMass(mass, size, used)) {
    reportError("loadLWS: %s has a rigid body of mass %g and size %g %g %g; it gets no body\n", object->name.c_str(),
                mass, size[0], size[1], size[2]);
    return;
  }
  dMass& m = object->mass;
  switch (massType) {
    case 0:
      dMassSetSphereTotal(&m, mass, size[0]);
      break;
    case 1:
      dMassSetBoxTotal(&m, mass, size[0], size[1], size[2]);
      break;
    case 2:
      dMassSetCapsuleTotal(&m, mass, 2, size[0], size[1]);
      break;
    case 3:
      dMassSetCylinderTotal(&m, mass, 2, size[0], size[1]);
      break;
  }
}

void readJoint(LwsLoad& load) {
  LwsTokens& tokens = load.tokens;
  tokens.step(2);
  auto* joint = dynamic_cast<ODEJointObject*>(load.object());
  while (!tokens.atEnd()) {
    const char* token = tokens.next();
    if (is(token, "}")) break;
    if (is(token, "Type")) {
      const std::int32_t type = tokens.nextInt();
      if (joint) joint->jointType = type;
    } else if (is(token, "Body1") || is(token, "Body2")) {
      const bool first = token[4] == '1';
      const std::uint32_t id = tokens.nextItemId();
      if (joint) (first ? load.refs(joint).body1 : load.refs(joint).body2) = id;
    } else if (is(token, "SpringForce") || is(token, "DamperForce")) {
      tokens.nextFloat();  // the joints are built without spring or damper
    }
  }
}

// Surface kinds and space numbers index the scene's 50 x 50 tables.
std::int32_t boundedIndex(std::int32_t value, const char* what, const std::string& objectName) {
  if (value >= 0 && value < kSurfaceKindCount) return value;
  reportError("loadLWS: %s has %s %d, outside 0..%d; 0 is used\n", objectName.c_str(), what, value,
              kSurfaceKindCount - 1);
  return 0;
}

// Sets only the fields the block names.
void readGeom(LwsLoad& load) {
  LwsTokens& tokens = load.tokens;
  tokens.step(2);
  auto* physics = dynamic_cast<PhysicsObject*>(load.object());
  const std::string name = physics ? physics->name : std::string("an object without geom");
  PhysicsObject* target = physics;
  std::int32_t unusedInt = 0;
  float unusedSize[3];
  while (!tokens.atEnd()) {
    const char* token = tokens.next();
    if (is(token, "}")) break;
    if (is(token, "Type")) {
      (target ? target->geomType : unusedInt) = tokens.nextInt();
    } else if (is(token, "Surface")) {
      (target ? target->surfaceKind : unusedInt) = boundedIndex(tokens.nextInt(), "surface kind", name);
    } else if (is(token, "Space")) {
      (target ? target->spaceIndex : unusedInt) = boundedIndex(tokens.nextInt(), "space", name);
    } else if (is(token, "Scale")) {
      float* size = target ? target->geomSize : unusedSize;
      for (int i = 0; i < 3; ++i) size[i] = static_cast<float>(tokens.nextFloat());
    } else if (is(token, "Transform")) {
      const std::uint32_t id = tokens.nextItemId();
      // Resolved with the other references, when every item (and bone) exists.
      if (target) load.refs(target).carrier = id;
    }
  }
}

// The "PluginEnabled" line after an effect block marks it switched off.
bool disabledAt(LwsTokens& tokens, int index) { return lwsEqualNoCase(tokens.at(index), "PluginEnabled"); }

void readEmitter(LwsLoad& load, ObjectItem* owner) {
  LwsTokens& tokens = load.tokens;
  auto emitter = std::make_unique<FXEmitter>(owner);
  readFields<FXEmitter>(tokens, *emitter, lws_fields::kEmitter);
  while (!tokens.atEnd()) {
    const char* entry = tokens.nextBlockToken();
    if (is(entry, "EndPlugin")) break;
    if (is(entry, "VariantParameter")) {
      // The birth rate, with an envelope whose block follows the integer
      // that stands where "(envelope)" would.
      tokens.step(2);
      tokens.nextBlockToken();
      emitter->birthRate.value = static_cast<float>(tokens.nextFloat());
      tokens.nextInt();
      tokens.step(-1);
      readLwsAnimatedFloat(tokens, emitter->birthRate, false);
      tokens.step(3);
    }
    tokens.next();
  }
  if (!disabledAt(tokens, tokens.cursor())) load.scene.emitters.push_back(std::move(emitter));
}

template <typename Force>
void readForce(LwsLoad& load, ObjectItem* owner, std::span<const LwsField<Force>> fields, bool canBeDisabled) {
  auto force = std::make_unique<Force>(owner);
  readFields<Force>(load.tokens, *force, fields);
  if (canBeDisabled && disabledAt(load.tokens, load.tokens.cursor() + 1)) return;
  load.scene.forces.push_back(std::move(force));
}

void readCustomObject(LwsLoad& load) {
  LwsTokens& tokens = load.tokens;
  tokens.nextInt();
  const char* name = tokens.next();
  if (is(name, "TessalineODEBody")) return readBody(load);
  if (is(name, "TessalineODEJoint")) return readJoint(load);
  if (is(name, "TessalineODEGeom")) return readGeom(load);
  const bool effect =
      is(name, "FX_Emitter") || is(name, "FX_Gravity") || is(name, "FX_Wind") || is(name, "FX_Collision");
  if (!effect) return;
  const std::string plugin = name;
  tokens.step(3);
  ObjectItem* owner = load.object();
  if (plugin == "FX_Emitter") {
    readEmitter(load, owner);
  } else if (plugin == "FX_Gravity") {
    readForce<FXGravity>(load, owner, lws_fields::kGravity, true);
  } else if (plugin == "FX_Wind") {
    readForce<FXWind>(load, owner, lws_fields::kWind, true);
  } else {
    readForce<FXCollision>(load, owner, lws_fields::kCollision, false);
  }
}

}  // namespace

void readLwsPlugin(LwsLoad& load) {
  LwsTokens& tokens = load.tokens;
  const char* pluginClass = tokens.next();
  if (is(pluginClass, "ObjReplacementHandler")) {
    readModelReplacement(load);
  } else if (is(pluginClass, "MasterHandler")) {
    readODEMaster(load);
  } else if (is(pluginClass, "DisplacementHandler")) {
    tokens.nextInt();
    tokens.next();
  } else if (is(pluginClass, "CustomObjHandler")) {
    readCustomObject(load);
  } else if (is(pluginClass, "VolumetricHandler")) {
    readLwsHyperVoxels(load);
  }
}

void readLwsComment(LwsLoad& load) {
  LwsTokens& tokens = load.tokens;
  if (!is(tokens.next(), "sound")) return;
  const std::string fileName = tokens.next();
  ObjectItem* object = load.object();
  if (!object) return;
  std::unique_ptr<SoundChannel> channel = loadSoundChannel(load.file, fileName.c_str());
  SoundDevice* device = load.scene.pipeline ? load.scene.pipeline->soundDevice : nullptr;
  std::unique_ptr<SoundBuffer> buffer = channel && device ? device->createSound(channel.get(), kSound3D | 2) : nullptr;
  if (!buffer) {
    g_log.printf("%s sound was not loaded\n", fileName.c_str());
    return;
  }
  buffer->setVolume(0.0f);
  if (object->sound) object->sound->stop();
  object->sound = std::move(buffer);
  object->soundSource = std::make_unique<ObjectSoundSource>();
  object->soundSource->fileName = fileName;
  object->soundSource->channel = std::move(channel);
}
