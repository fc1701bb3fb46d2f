// Envelope, channel, motion and clip blocks of scene files. The readers
// keep the end positions the keyword handlers step from; malformed blocks
// never lead them past the token table.
#include <cstring>

#include "foundation/envelope.h"
#include "foundation/file.h"
#include "foundation/report.h"
#include "lightwave/lws_load.h"
#include "render/file_texture.h"
#include "scene/scene.h"
#include "scene/scene_item.h"
#include "scene/scene_root.h"

namespace {

// A key's ten tokens: Key, value, time, shape, p1 .. p6.
struct LwsKey {
  float value, time;
  std::int32_t shape;
  float p[6];
};

LwsKey readKey(LwsTokens& tokens, bool degrees) {
  LwsKey key{};
  tokens.next();  // Key
  key.value = static_cast<float>(tokens.nextFloat() * (degrees ? kLwsDegrees : 1.0));
  key.time = static_cast<float>(tokens.nextFloat());
  key.shape = tokens.nextInt();
  for (float& p : key.p) p = static_cast<float>(tokens.nextFloat());
  return key;
}

// Reads `count` keys (ten tokens each, whatever their shape) into the
// envelope, then Behaviors and the pre-behaviour; the cursor stays on the
// post-behaviour. Without `allShapes` only TCB, linear and stepped keys are
// taken.
void readKeys(LwsTokens& tokens, Envelope& envelope, std::int32_t count, bool degrees, bool allShapes) {
  for (std::int32_t i = 0; i < count && !tokens.atEnd(); ++i) {
    const LwsKey k = readKey(tokens, degrees);
    if (k.shape == kShapeTCB) {
      envelope.addKeyTCB(k.value, k.time, k.p[0], k.p[1], k.p[2]);
    } else if (k.shape == kShapeLinear) {
      envelope.addKeyLinear(k.value, k.time);
    } else if (k.shape == kShapeStepped) {
      envelope.addKeyStepped(k.value, k.time);
    } else if (allShapes && k.shape == kShapeHermite) {
      envelope.addKeyHermite(k.value, k.time, k.p[3], k.p[4]);
    } else if (allShapes && k.shape == kShapeBezier) {
      envelope.addKeyBezier(k.value, k.time, k.p[3], k.p[4]);
    } else if (allShapes && k.shape == kShapeBezier2D) {
      envelope.addKeyBezier2D(k.value, k.time, k.p[0], k.p[1], k.p[2], k.p[3]);
    } else if (g_messageLevel.load() >= 3) {
      reportAssertion("\"unsupported curvetype\"");
    }
  }
  tokens.next();  // Behaviors
  envelope.preBehavior = tokens.nextInt();
  envelope.postBehavior = parseLwsInt(tokens.at(tokens.cursor()));
}

// Offsets of a one-key block from its "{": the value, and one past the "}".
constexpr int kOneKeyValue = 4;
constexpr int kOneKeyEnd = 17;
// One past the "}" of a block without keys: "{", Envelope, 0, Behaviors,
// pre, post, "}".
constexpr int kNoKeyEnd = 7;

}  // namespace

std::unique_ptr<Envelope> readLwsEnvelope(LwsTokens& tokens, bool degrees) {
  auto envelope = std::make_unique<Envelope>();
  tokens.step(2);  // "{" Envelope
  readKeys(tokens, *envelope, tokens.nextInt(), degrees, true);
  tokens.next();  // the post-behaviour
  return envelope;
}

void readLwsChannel(LwsTokens& tokens, AnimatedFloat& out, bool degrees) {
  const int start = tokens.cursor();
  const std::int32_t count = parseLwsInt(tokens.at(start + 2));
  if (count == 0) {
    // No key to take a value from: the channel is 0.
    out.value = 0.0f;
    tokens.seek(start + kNoKeyEnd);
  } else if (count == 1) {
    out.value = static_cast<float>(parseLwsFloat(tokens.at(start + kOneKeyValue)) * (degrees ? kLwsDegrees : 1.0));
    tokens.seek(start + kOneKeyEnd);
  } else {
    out.channel = readLwsEnvelope(tokens, degrees);
    tokens.next();  // "}"
  }
}

void readLwsAnimatedFloat(LwsTokens& tokens, AnimatedFloat& out, bool degrees) {
  // Offsets from the "(envelope)" token: "{" 1, Envelope 2, count 3.
  const int start = tokens.cursor();
  const std::int32_t count = parseLwsInt(tokens.at(start + 3));
  if (count == 0) {
    out.value = 0.0f;
    tokens.seek(start + kNoKeyEnd);  // on the "}"
    return;
  }
  if (count == 1) {
    out.value = static_cast<float>(parseLwsFloat(tokens.at(start + 1 + kOneKeyValue)) * (degrees ? kLwsDegrees : 1.0));
    tokens.seek(start + kOneKeyEnd);  // on the "}"
    return;
  }
  auto envelope = std::make_unique<Envelope>();
  tokens.seek(start + 4);
  readKeys(tokens, *envelope, count, degrees, false);
  out.channel = std::move(envelope);
}

void readLwsValue(LwsTokens& tokens, AnimatedFloat& out) {
  if (lwsEqualNoCase(tokens.at(tokens.cursor()), "(envelope)")) {
    readLwsAnimatedFloat(tokens, out, false);
  } else {
    out.value = static_cast<float>(tokens.nextFloat());
  }
}

void readLwsMotion(LwsTokens& tokens, SceneItem* item) {
  tokens.next();  // NumChannels
  const std::int32_t count = tokens.nextInt();
  for (std::int32_t i = 0; i < count && !tokens.atEnd(); ++i) {
    tokens.next();  // Channel
    const std::int32_t number = tokens.nextInt();
    if (number >= 0 && number <= 8) {
      AnimatedFloat unused;
      readLwsChannel(tokens, item ? *item->channel(number) : unused, false);
    } else if (std::strcmp(tokens.at(tokens.cursor()), "{") == 0) {
      // A channel the items do not have: its block is passed over.
      tokens.next();
      tokens.skipBlock();
    }
  }
}

namespace {

// "D:Images/x.png" names the drive's root folder: a separator goes after
// the colon unless one is there.
std::string withSeparatorAfterDrive(std::string path) {
  if (path.size() >= 2 && path[1] == ':' && (path.size() == 2 || (path[2] != '/' && path[2] != '\\'))) {
    path.insert(2, 1, '/');
  }
  return path;
}

Texture* stillTexture(LwsLoad& load, const std::string& path) {
  SceneRoot* root = load.scene.root;
  if (!root) return nullptr;
  const std::uint32_t flags = path.find("_nodxt") != std::string::npos
                                  ? std::uint32_t{kTextureMipChain}
                                  : std::uint32_t{kTextureConvertFormat | kTextureMipChain};
  if (Texture* found = root->findTexture(path, flags)) return found;
  auto texture = std::make_unique<FileTexture>(load.scene.pipeline);
  texture->open(load.file, path.c_str(), true);
  texture->name = path;
  texture->setFlags(flags);
  texture->load();
  root->textures.push_back(std::move(texture));
  return root->textures.back().get();
}

}  // namespace

Texture* loadLwsClip(LwsLoad& load) {
  LwsTokens& tokens = load.tokens;
  if (std::strcmp(tokens.nextBlockToken(), "Clip") != 0) {
    tokens.skipBlock();
    return nullptr;
  }
  Texture* texture = nullptr;
  while (!tokens.atEnd() && std::strcmp(tokens.at(tokens.cursor()), "}") != 0) {
    const char* entry = tokens.nextBlockToken();
    if (std::strcmp(entry, "Still") == 0) {
      texture = stillTexture(load, withSeparatorAfterDrive(tokens.next()));
      tokens.next();  // the entry's "}"
    } else if (std::strcmp(entry, "Sequence") == 0) {
      tokens.step(9);  // six integers, two words and the entry's "}"
    } else if (std::strcmp(entry, "Flags") == 0) {
      tokens.nextItemId();
    } else if (std::strcmp(entry, "Times") == 0) {
      double times[5];
      for (double& t : times) t = tokens.nextFloat();
      if (texture) texture->frameRate = static_cast<float>(times[2]);
    } else if (std::strcmp(entry, "Negative") == 0) {
      tokens.nextInt();
    } else {
      tokens.skipBlock();
    }
  }
  tokens.next();  // "}"
  return texture;
}
