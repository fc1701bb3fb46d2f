// ENVL and CLIP chunks: animation curves and pictures (still images, image
// sequences, references to other clips) with their image modifiers.
#include <algorithm>
#include <cstdio>

#include "foundation/file.h"
#include "foundation/report.h"
#include "lightwave/lwo2_load.h"
#include "render/file_texture.h"
#include "render/sequence_texture.h"
#include "render/texture.h"
#include "scene/scene.h"
#include "scene/scene_root.h"

namespace {

// "C:images/x.bmp" names the drive's root folder: a separator goes after
// the colon.
std::string withRootAfterDrive(std::string path, bool backslashCounts) {
  if (path.size() >= 2 && path[1] == ':' &&
      (path.size() == 2 || (path[2] != '/' && !(backslashCounts && path[2] == '\\')))) {
    path.insert(2, 1, '/');
  }
  return path;
}

Texture* addFileTexture(Lwo2Load& load, const std::string& path, std::uint32_t flags) {
  auto texture = std::make_unique<FileTexture>(load.scene.pipeline);
  texture->open(load.prototype, path.c_str(), true);
  texture->name = path;
  texture->setFlags(flags);
  texture->load();
  Texture* result = texture.get();
  load.root.textures.push_back(std::move(texture));
  return result;
}

Texture* readStill(Lwo2Load& load, Lwo2Cursor& in) {
  const std::string path = withRootAfterDrive(in.s0(), false);
  std::uint32_t flags = kTextureConvertFormat | kTextureMipChain;
  if (path.find("_nodxt") != std::string::npos) flags = kTextureMipChain;
  if (path.find("_noscale") != std::string::npos) {
    flags = (flags & ~std::uint32_t{kTextureConvertFormat | kTextureMipChain}) | kTextureAllowNonPow2;
  }
  if (Texture* found = load.root.findTexture(path, flags)) return found;
  return addFileTexture(load, path, flags);
}

Texture* readSequence(Lwo2Load& load, Lwo2Cursor& in) {
  const int digits = std::min<int>(in.u1(), 10);  // frame numbers have at most 5
  in.u1();                                        // flags
  const std::uint16_t offset = in.u2();
  in.u2();
  const std::uint16_t first = in.u2(), last = in.u2();
  const std::string prefix = in.s0(), suffix = in.s0();
  if (Texture* found = load.root.findTexture(prefix, kTextureConvertFormat | kTextureMipChain)) return found;
  auto sequence = std::make_unique<SequenceTexture>(load.scene.pipeline);
  sequence->name = prefix;
  sequence->firstFrame = first;
  sequence->lastFrame = last;
  sequence->frameOffset = offset;
  load.scene.framesPerSecond = 30.0;
  if (last >= first) sequence->frames.resize(static_cast<std::size_t>(last - first) + 1);
  for (std::uint32_t n = first; n <= last && last >= first; ++n) {
    char number[32];
    std::snprintf(number, sizeof number, "%0*u", digits, n);
    const std::string path = withRootAfterDrive(prefix + number + suffix, true);
    if (!load.prototype ||
        (!load.prototype->exists(path.c_str()) && !load.prototype->exists((path + ".dds").c_str()))) {
      continue;
    }
    auto frame = std::make_unique<FileTexture>(load.scene.pipeline);
    frame->open(load.prototype, path.c_str(), true);
    frame->setFlags(kTextureConvertFormat);
    frame->load();
    sequence->frames[n - first] = std::move(frame);
  }
  load.root.textures.push_back(std::move(sequence));
  return load.root.textures.back().get();
}

}  // namespace

void readEnvelope(Lwo2Load& load, Lwo2Cursor in) {
  const std::uint16_t index = in.u2();
  if (index >= Lwo2Load::kTableSize) {
    reportAssertion("\"more envelopes than defined in MAXENVS. specify higher number!\"");
    return;
  }
  auto envelope = std::make_unique<Envelope>();
  float keyTime = 0.0f, keyValue = 0.0f;
  while (!in.atEnd()) {
    const std::uint32_t sub = in.id4();
    Lwo2Cursor field = in.take(in.u2());
    if (sub == fourCC("PRE ")) {
      envelope->preBehavior = field.u2();
    } else if (sub == fourCC("POST")) {
      envelope->postBehavior = field.u2();
    } else if (sub == fourCC("KEY ")) {
      keyTime = field.f4();
      keyValue = field.f4();
    } else if (sub == fourCC("SPAN")) {
      const std::uint32_t shape = field.id4();
      if (shape == fourCC("TCB ")) {
        const float t = field.f4(), c = field.f4(), b = field.f4();
        envelope->addKeyTCB(keyValue, keyTime, t, c, b);
      } else if (shape == fourCC("HERM")) {
        const float a = field.f4(), b = field.f4();
        envelope->addKeyHermite(keyValue, keyTime, a, b);
      } else if (shape == fourCC("BEZI")) {
        const float a = field.f4(), b = field.f4();
        envelope->addKeyBezier(keyValue, keyTime, a, b);
      } else if (shape == fourCC("BEZ2")) {
        const float p0 = field.f4(), p1 = field.f4(), p2 = field.f4(), p3 = field.f4();
        envelope->addKeyBezier2D(keyValue, keyTime, p0, p1, p2, p3);
      } else if (shape == fourCC("LINE")) {
        envelope->addKeyLinear(keyValue, keyTime);
      } else if (shape == fourCC("STEP")) {
        envelope->addKeyStepped(keyValue, keyTime);
      }
    } else if (sub == fourCC("NAME")) {
      envelope->name = field.s0();
    }
  }
  load.envelopes[index] = std::move(envelope);
}

void readClip(Lwo2Load& load, Lwo2Cursor in) {
  const std::uint32_t index = in.u4();
  if (index >= Lwo2Load::kTableSize) {
    reportAssertion("\"ERROR: more textures than defined in LW6Scene::MAXTEXS!\"");
    return;
  }
  Texture* current = nullptr;
  while (!in.atEnd()) {
    const std::uint32_t sub = in.id4();
    Lwo2Cursor field = in.take(in.u2());
    if (sub == fourCC("STIL")) {
      current = readStill(load, field);
      load.clips[index] = current;
    } else if (sub == fourCC("ISEQ")) {
      current = readSequence(load, field);
      load.clips[index] = current;
    } else if (sub == fourCC("XREF")) {
      const std::uint32_t source = field.u4();
      const std::string name = field.s0();
      Texture* original = source < Lwo2Load::kTableSize ? load.clip(source) : nullptr;
      if (original) {
        std::unique_ptr<Texture> copy = original->clone();
        copy->name = name;
        load.root.textures.push_back(std::move(copy));
        load.clips[index] = load.root.textures.back().get();
      } else {
        load.clips.erase(index);
      }
    } else if (!current) {
      continue;  // modifiers without a picture to modify
    } else if (sub == fourCC("AMOD")) {
      current->alphaMode = field.u2();
    } else if (sub == fourCC("HUE ") || sub == fourCC("SATR") || sub == fourCC("BRIT") || sub == fourCC("CONT") ||
               sub == fourCC("GAMM")) {
      const int slot = sub == fourCC("HUE ")   ? 0
                       : sub == fourCC("SATR") ? 1
                       : sub == fourCC("BRIT") ? 2
                       : sub == fourCC("CONT") ? 3
                                               : 4;
      load.readAnimated(field, current->parameters[slot]);
    } else if (sub == fourCC("TIME")) {
      field.f4();
      field.f4();
      current->frameRate = field.f4();
    } else if (sub == fourCC("FLAG")) {
      const std::uint32_t flags = field.u4();
      int mode = current->frameMode;
      for (std::uint32_t bit : {0x1u, 0x2u, 0x4u, 0x100u}) {
        if (flags & bit) mode = static_cast<int>(bit);
      }
      current->frameMode = mode;
    }
  }
}
