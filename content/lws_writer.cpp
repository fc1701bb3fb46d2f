#include "content/lws_writer.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <span>

#include "lightwave/lws_fields.h"

namespace lws {

Motion still(float x, float y, float z) {
  Motion m;
  m[0] = x, m[1] = y, m[2] = z;
  m[6] = 1.0f, m[7] = 1.0f, m[8] = 1.0f;
  return m;
}

namespace {

template <typename Record>
void writeFields(const Record& record, std::span<const LwsField<Record>> fields, std::string& out,
                 void (*number)(std::string&, double)) {
  // The accessors take a modifiable record; nothing is written through them here.
  auto& r = const_cast<Record&>(record);
  for (const LwsField<Record>& field : fields) {
    switch (field.step) {
      case LwsStep::SkipNumbers:
        for (int i = 0; i < field.count; ++i) number(out, 0.0);
        break;
      case LwsStep::SkipToken:
      case LwsStep::OptionalPair:
        out += std::string(field.word) + ' ';
        break;
      case LwsStep::Int:
      case LwsStep::Truncated:
        number(out, *field.integer(r));
        break;
      case LwsStep::Float: {
        const float* values = field.floats(r);
        for (int i = 0; i < field.count; ++i) number(out, static_cast<double>(values[i]) / field.scale);
        break;
      }
    }
  }
  out += '\n';
}

void appendNumber(std::string& out, double v) {
  char buffer[64];
  std::to_chars_result result;
  if (static_cast<double>(static_cast<float>(v)) == v) {
    // The shortest text that reads back as the same float.
    result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<float>(v));
  } else {
    result = std::to_chars(buffer, buffer + sizeof buffer, v);
  }
  out.append(buffer, result.ptr);
  out += ' ';
}

std::string hexId(std::uint32_t id) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%08X", id);
  return buffer;
}

}  // namespace

SceneWriter::SceneWriter() { m_text = "LWSC\n3\n\n"; }

void SceneWriter::number(double v) { appendNumber(m_text, v); }

void SceneWriter::word(const std::string& w) {
  std::string clean;
  for (char c : w) {
    if (c != '"') clean += c;
  }
  const bool quote = clean.empty() || clean.find_first_of(" \t\r\n") != std::string::npos;
  m_text += quote ? '"' + clean + '"' : clean;
  m_text += ' ';
}

void SceneWriter::timing(int firstFrame, int lastFrame, double framesPerSecond) {
  entry("FirstFrame", {static_cast<double>(firstFrame)});
  entry("LastFrame", {static_cast<double>(lastFrame)});
  entry("FrameStep", {1});
  entry("PreviewFirstFrame", {static_cast<double>(firstFrame)});
  entry("PreviewLastFrame", {static_cast<double>(lastFrame)});
  entry("FramesPerSecond", {framesPerSecond});
  newline();
}

void SceneWriter::ambient(const std::array<float, 3>& colour, const Value& intensity) {
  entry("AmbientColor", {colour[0], colour[1], colour[2]});
  value("AmbientIntensity", intensity);
}

void SceneWriter::entry(const std::string& keyword, std::initializer_list<double> numbers) {
  m_text += keyword + ' ';
  for (double v : numbers) number(v);
  newline();
}

void SceneWriter::entry(const std::string& keyword, const std::string& w) {
  m_text += keyword + ' ';
  word(w);
  newline();
}

void SceneWriter::itemId(const std::string& keyword, std::uint32_t id) { m_text += keyword + ' ' + hexId(id) + '\n'; }

void SceneWriter::envelope(const Envelope& e) {
  m_text += "{ Envelope\n  " + std::to_string(e.keys.size()) + '\n';
  for (const Key& k : e.keys) {
    m_text += "  Key ";
    number(k.value);
    number(k.time);
    number(k.shape);
    for (float p : k.p) number(p);
    newline();
  }
  m_text += "  Behaviors " + std::to_string(e.pre) + ' ' + std::to_string(e.post) + "\n}\n";
}

void SceneWriter::value(const std::string& keyword, const Value& v) {
  if (!v.envelope) return entry(keyword, {v.value});
  m_text += keyword + " (envelope)\n";
  envelope(*v.envelope);
}

void SceneWriter::clip(const std::string& keyword, const std::string& stillImage, float frameRate) {
  m_text += keyword + " { Clip\n  { Still ";
  word(stillImage);
  m_text += "}\n  Flags 0\n  Times 0 0 ";
  number(frameRate);
  m_text += "0 0\n}\n";
}

void SceneWriter::odeMaster(const std::vector<Space>& spaces, const std::array<float, 3>& gravity) {
  m_text += "Plugin MasterHandler " + std::to_string(m_pluginIndex++) + " TessalineODEMaster\n";
  entry("Gravity", {gravity[0], gravity[1], gravity[2]});
  entry("Solver", {0});
  for (const Space& s : spaces) {
    m_text += "{ Space\n  Name ";
    word(s.name);
    m_text += "\n  Type " + std::to_string(s.type) + "\n  Parent 0\n}\n";
  }
  m_text += "}\nEndPlugin\n";
}

void SceneWriter::loadObjectLayer(int layerFromOne, const std::string& modelFile) {
  // Written as it is: the loader joins a name split at blanks up to ".lwo".
  m_text += "\nLoadObjectLayer " + std::to_string(layerFromOne) + ' ' + modelFile + '\n';
}

void SceneWriter::addNullObject(const std::string& name) {
  m_text += "\nAddNullObject ";
  word(name);
  newline();
}

void SceneWriter::motion(const std::string& keyword, const Motion& m) {
  m_text += keyword + "\nNumChannels 9\n";
  for (int i = 0; i < 9; ++i) {
    m_text += "Channel " + std::to_string(i) + '\n';
    const Value& v = m[static_cast<std::size_t>(i)];
    envelope(v.envelope ? *v.envelope : Envelope{{Key{v.value}}});
  }
}

void SceneWriter::geom(const Geom& g) {
  m_text += "Plugin CustomObjHandler " + std::to_string(m_pluginIndex++) + " TessalineODEGeom\n1 {\n";
  entry("  Type", {static_cast<double>(g.type)});
  entry("  Surface", {static_cast<double>(g.surface)});
  entry("  Space", {static_cast<double>(g.space)});
  entry("  Scale", {g.scale[0], g.scale[1], g.scale[2]});
  if (g.transform) itemId("  Transform", g.transform);
  m_text += "}\nEndPlugin\n";
}

void SceneWriter::body(const Body& b) {
  m_text += "Plugin CustomObjHandler " + std::to_string(m_pluginIndex++) + " TessalineODEBody\n{\n";
  entry("  MassType", {static_cast<double>(b.massType)});
  entry("  Mass", {b.mass});
  entry("  Scale", {b.scale[0], b.scale[1], b.scale[2]});
  entry("  AutoDisable", {static_cast<double>(b.autoDisable)});
  m_text += "}\nEndPlugin\n";
}

void SceneWriter::joint(const Joint& j) {
  m_text += "Plugin CustomObjHandler " + std::to_string(m_pluginIndex++) + " TessalineODEJoint\n1 {\n";
  entry("  Type", {static_cast<double>(j.type)});
  itemId("  Body1", j.body1);
  itemId("  Body2", j.body2);
  m_text += "}\nEndPlugin\n";
}

namespace {

std::string effectHead(int index, const char* name) {
  std::string head = "Plugin CustomObjHandler " + std::to_string(index) + ' ' + name + '\n';
  for (const char* lead : kLwsEffectLead) head += std::string(lead) + ' ';
  return head + '\n';
}

}  // namespace

void SceneWriter::emitter(const FXEmitter& e, const Envelope* birthRate) {
  m_text += effectHead(m_pluginIndex++, "FX_Emitter");
  writeFields<FXEmitter>(e, lws_fields::kEmitter, m_text, appendNumber);
  if (birthRate && birthRate->keys.size() >= 2) {
    // The integer before the block stands where "(envelope)" would; after
    // the block the reader passes over two more tokens.
    m_text += "VariantParameter 0 0 BirthRate ";
    number(birthRate->keys.front().value);
    m_text += "1\n";
    envelope(*birthRate);
    m_text += "EndVariant 0\n";
  }
  m_text += "EndPlugin\n";
}

void SceneWriter::gravity(const FXGravity& g) {
  m_text += effectHead(m_pluginIndex++, "FX_Gravity");
  writeFields<FXGravity>(g, lws_fields::kGravity, m_text, appendNumber);
  m_text += "EndPlugin\n";
}

void SceneWriter::wind(const FXWind& w) {
  m_text += effectHead(m_pluginIndex++, "FX_Wind");
  writeFields<FXWind>(w, lws_fields::kWind, m_text, appendNumber);
  m_text += "EndPlugin\n";
}

void SceneWriter::collision(const FXCollision& c) {
  m_text += effectHead(m_pluginIndex++, "FX_Collision");
  writeFields<FXCollision>(c, lws_fields::kCollision, m_text, appendNumber);
  m_text += "EndPlugin\n";
}

void SceneWriter::sound(const std::string& soundFile) {
  m_text += "// sound ";
  word(soundFile);
  newline();
}

void SceneWriter::bones(std::int32_t falloffType, const std::vector<Bone>& list) {
  entry("BoneFalloffType", {static_cast<double>(falloffType)});
  for (const Bone& b : list) {
    m_text += "AddBone\n";
    entry("BoneName", b.name);
    motion("BoneMotion", b.motion);
    entry("BoneRestPosition", {b.restPosition[0], b.restPosition[1], b.restPosition[2]});
    entry("BoneRestDirection", {b.restDirectionDegrees[0], b.restDirectionDegrees[1], b.restDirectionDegrees[2]});
    entry("BoneRestLength", {b.restLength});
    entry("BoneStrength", {b.strength});
    entry("ScaleBoneStrength", {b.scaleStrength ? 1.0 : 0.0});
    entry("BoneLimitedRange", {b.limitedRange ? 1.0 : 0.0});
    entry("BoneMinRange", {b.minRange});
    entry("BoneMaxRange", {b.maxRange});
    if (!b.weightMap.empty()) entry("BoneWeightMapName", b.weightMap);
    if (b.parent) itemId("ParentItem", b.parent);
  }
}

void SceneWriter::motionMixer(const std::vector<Actor>& actors) {
  m_text += "Plugin MasterHandler " + std::to_string(m_pluginIndex++) + " MotionMixer\nPrefs 0\n";
  for (const Actor& actor : actors) {
    m_text += "{ Actor\n";
    entry("AddActor", actor.name);
    m_text += "ActorState 1\n{ ActorItems\n";
    for (const auto& [name, id] : actor.items) {
      entry("ItemName", name);
      itemId("ItemAdd", id);
      entry("ItemLock", {0});
    }
    m_text += "}\n{ ActorMotions\n";
    for (const ActorMotion& motion : actor.motions) {
      m_text += "{ AddMotion\n";
      entry("MotionName", motion.name);
      entry("MotionActor", actor.name);
      entry("MotionRange", {0, 1});
      entry("NumberOfItems", {static_cast<double>(motion.items.size())});
      for (const MotionItem& item : motion.items) {
        m_text += "{ Item\n";
        entry("ItemName", item.name);
        entry("ItemState", {1});
        entry("ItemChannels", {static_cast<double>(item.channels.size())});
        for (const MotionChannel& channel : item.channels) {
          m_text += "{ Channel\n";
          entry("ChannelName", channel.name);
          entry("ChannelType", {0});
          entry("ChannelState", {1});
          envelope(channel.envelope);
          m_text += "}\n";
        }
        m_text += "}\n";
      }
      m_text += "}\n";
    }
    m_text += "}\n}\n";
  }
  m_text += "}\nEndPlugin\n";
}

void SceneWriter::animated(const std::string& keyword, std::span<const Value> values) {
  m_text += keyword + ' ';
  bool envelopes = false;
  for (const Value& v : values) {
    number(v.envelope && !v.envelope->keys.empty() ? v.envelope->keys.front().value : v.value);
    envelopes = envelopes || v.envelope;
  }
  number(envelopes ? static_cast<double>(values.size()) : 0.0);
  newline();
  if (!envelopes) return;
  for (const Value& v : values) envelope(v.envelope ? *v.envelope : Envelope{{Key{v.value}}});
}

void SceneWriter::hyperVoxelTexture(const HyperVoxelTexture& t) {
  m_text += "TextureBlock 0\n{\n{ Texture\n{ ImageMap\n{ TextureMap\n";
  animated("Center", t.center);
  animated("Size", t.size);
  animated("Rotation", t.rotation);
  m_text += "}\n";
  entry("Projection", {static_cast<double>(t.projection)});
  entry("Axis", {static_cast<double>(t.axis)});
  if (!t.image.empty()) {
    m_text += "{ Image\n";
    clip("", t.image);
    m_text += "}\n";
  }
  entry("WrapOptions", {static_cast<double>(t.widthWrap), static_cast<double>(t.heightWrap)});
  entry("WidthWrap", {t.widthRepeat, 0});
  entry("HeightWrap", {t.heightRepeat, 0});
  if (t.antialiasing) {
    entry("AntiAliasing", {1, t.antialiasStrength});
  } else {
    entry("AntiAliasing", {0});
  }
  entry("PixelBlending", {t.pixelBlending ? 1.0 : 0.0});
  const bool envelope = t.opacity.envelope.has_value();
  entry("Opacity", {static_cast<double>(t.opacityMode), t.opacity.value, envelope ? 1.0 : 0.0});
  if (envelope) this->envelope(*t.opacity.envelope);
  entry("Enable", {t.enable ? 1.0 : 0.0});
  entry("Negative", {t.negative ? 1.0 : 0.0});
  m_text += "}\n}\n}\n";
}

void SceneWriter::hyperVoxels(const std::vector<HyperVoxelObject>& objects) {
  m_text += "Plugin VolumetricHandler " + std::to_string(m_pluginIndex++) + " HyperVoxelsFilter\n";
  m_text += "{ HyperVoxelData\nHVFlags 0 0 0 0\n";
  for (const HyperVoxelObject& o : objects) {
    // Of the flags only the object's name and the type count.
    m_text += "{ HVObject\n{ HVFlags ";
    word(o.object);
    m_text += "0 0 0 " + std::to_string(o.type) + " 0 0 0\n}\n{ HVChannels\n";
    const auto one = [this](const char* keyword, const Value& v) { animated(keyword, std::span<const Value>(&v, 1)); };
    one("Dissolve", o.dissolve);
    one("ParticleSize", o.particleSize);
    one("SizeVariation", o.sizeVariation);
    entry("BlendingMode", {static_cast<double>(o.blendingMode)});
    entry("BlendingGroup", {static_cast<double>(o.blendingGroup)});
    one("VDensity", o.density);
    one("VOpacity", o.opacity);
    one("VLuminosity", o.luminosity);
    animated("VColor", o.colour);
    one("NearClip", o.nearClip);
    entry("UseAllLights", {o.useAllLights ? 1.0 : 0.0});
    one("StretchAmount", o.stretchAmount);
    entry("StretchDirection", {static_cast<double>(o.stretchDirection)});
    entry("AlignToPath", {o.alignToPath ? 1.0 : 0.0});
    entry("MaintainVolume", {o.maintainVolume ? 1.0 : 0.0});
    entry("Slices", {static_cast<double>(o.slices)});
    one("TextureAmplitude", o.textureAmplitude);
    m_text += "}\n";
    if (!o.textures.empty()) {
      m_text += "{ HVTextures\n";
      for (const HyperVoxelTexture& t : o.textures) hyperVoxelTexture(t);
      m_text += "}\n";
    }
    m_text += "}\n";
  }
  m_text += "}\nEndPlugin\n";
}

void SceneWriter::itemStart(const char* kind, const std::string& name, const Motion& m, std::uint32_t parent,
                            std::uint32_t target) {
  const std::string k = kind;
  m_text += "\nAdd" + k + '\n';
  entry(k + "Name", name);
  motion(k + "Motion", m);
  if (parent) itemId("ParentItem", parent);
  if (target) itemId("TargetItem", target);
}

void SceneWriter::light(const Light& l) {
  itemStart("Light", l.name, l.motion, l.parent, l.target);
  entry("LightColor", {l.colour[0], l.colour[1], l.colour[2]});
  value("LightIntensity", l.intensity);
  entry("LightType", {static_cast<double>(l.type)});
  entry("LightFalloffType", {static_cast<double>(l.falloff)});
  value("LightRange", l.range);
  entry("LightConeAngle", {l.coneDegrees});
  entry("LightEdgeAngle", {l.edgeDegrees});
  entry("tls_ViewAxis", {static_cast<double>(l.axis)});
  entry("ShadowType", {static_cast<double>(l.shadowType)});
  entry("ShadowMapSize", {static_cast<double>(l.shadowMapSize)});
  entry("ShadowFuzziness", {l.shadowFuzziness});
  entry("LensFlare", {l.flare ? 1.0 : 0.0});
  value("FlareIntensity", l.flareIntensity);
}

void SceneWriter::camera(const Camera& c) {
  itemStart("Camera", c.name, c.motion, c.parent, c.target);
  value("ZoomFactor", c.zoom);
  entry("EyeSeparation", {c.eyeSeparation});
  entry("tls_ViewAxis", {static_cast<double>(c.axis)});
}

}  // namespace lws
