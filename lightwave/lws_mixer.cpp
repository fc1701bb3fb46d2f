// The motion-mixer block of scene files: actors with their items, and the
// motions of each actor as envelopes that join the channel groups of the
// item channels they drive. Preferences, actor states, ranges and tracks
// are read over and dropped: the game drives the motions itself. Each actor
// and each motion is read within its own bounds, so that a block with a
// brace too many or too few never takes the actors or motions after it.
#include <cstring>
#include <string>

#include "foundation/channel_group.h"
#include "foundation/envelope.h"
#include "lightwave/lws_load.h"
#include "scene/scene.h"
#include "scene/scene_item.h"

namespace {

bool is(const char* token, const char* word) { return std::strcmp(token, word) == 0; }

// The item channels in the order of SceneItem::channel.
constexpr const char* kChannelNames[9] = {"Position.X", "Position.Y", "Position.Z", "Rotation.H", "Rotation.P",
                                          "Rotation.B", "Scale.X",    "Scale.Y",    "Scale.Z"};

// The item channel a channel name selects, or -1. An item name in front
// ("Body.Position.X") falls away: everything up to the last dot before the
// channel's own one.
int channelIndex(std::string name) {
  if (name.size() >= 3) {
    const std::size_t dot = name.rfind('.', name.size() - 3);
    if (dot != std::string::npos) name.erase(0, dot + 1);
  }
  for (int i = 0; i < 9; ++i) {
    if (name == kChannelNames[i]) return i;
  }
  return -1;
}

struct MixerRead {
  LwsLoad& load;
  LwsTokens& tokens;
  MixerActor* actor = nullptr;  // made by the latest "AddActor" of the actor block
};

void readChannel(MixerRead& r, MixerMotion& motion, SceneItem* item) {
  LwsTokens& tokens = r.tokens;
  int channel = -1;
  while (const char* entry = tokens.nextEntry()) {
    if (is(entry, "ChannelName")) {
      channel = channelIndex(tokens.next());
    } else if (is(entry, "ChannelType") || is(entry, "ChannelState")) {
      tokens.nextInt();
    } else if (is(entry, "Envelope")) {
      tokens.step(-2);  // the envelope reader starts at its "{"
      std::unique_ptr<Envelope> envelope = readLwsEnvelope(tokens, false);
      tokens.next();  // "}"
      if (!item || channel < 0) continue;
      ChannelGroup* group = item->channel(channel)->ensureChannelGroup();
      motion.addChannel(group, group->addEnvelope(std::move(envelope)));
    } else {
      tokens.skipEntry();
    }
  }
}

void readItem(MixerRead& r, MixerMotion& motion) {
  LwsTokens& tokens = r.tokens;
  SceneItem* item = nullptr;
  while (const char* entry = tokens.nextEntry()) {
    if (is(entry, "ItemName")) {
      item = r.actor->findItem(tokens.next());
    } else if (is(entry, "ItemState") || is(entry, "ItemChannels")) {
      tokens.nextInt();
    } else if (is(entry, "Channel")) {
      readChannel(r, motion, item);
    } else {
      tokens.skipEntry();
    }
  }
}

void readMotion(MixerRead& r) {
  LwsTokens& tokens = r.tokens;
  if (!r.actor) {
    // A motion of no actor could never be driven.
    tokens.skipBlock();
    return;
  }
  r.load.scene.motions.push_back(std::make_unique<MixerMotion>());
  MixerMotion& motion = *r.load.scene.motions.back();
  r.actor->motions.push_back(&motion);
  while (const char* entry = tokens.nextEntry()) {
    if (is(entry, "MotionName")) {
      motion.name = tokens.next();
    } else if (is(entry, "MotionActor")) {
      tokens.next();
    } else if (is(entry, "MotionRange") || is(entry, "MotionFrames")) {
      tokens.nextFloat();
      tokens.nextFloat();
    } else if (is(entry, "NumberOfItems")) {
      tokens.nextInt();
    } else if (is(entry, "Item")) {
      readItem(r, motion);
    } else {
      tokens.skipEntry();
    }
  }
}

void readActorItems(MixerRead& r) {
  LwsTokens& tokens = r.tokens;
  std::string itemName;
  while (const char* entry = tokens.nextEntry()) {
    if (is(entry, "ItemName")) {
      itemName = tokens.next();
    } else if (is(entry, "ItemAdd")) {
      const std::uint32_t id = tokens.nextItemId();
      SceneItem* item = id ? r.load.resolve(id) : nullptr;
      if (item && r.actor) r.actor->addItem(item, itemName);
    } else if (is(entry, "ItemLock")) {
      tokens.nextInt();
    } else {
      tokens.skipEntry();
    }
  }
}

// Reads the block the cursor is in with `read`, kept within its own end
// (see LwsTokens::blockEnd), and leaves the cursor there.
template <typename Read>
void readBounded(LwsTokens& tokens, const char* keyword, Read read) {
  const int end = tokens.blockEnd(keyword, true);
  {
    LwsTokens::Bound bound(tokens, end);
    read();
  }
  tokens.seek(end);
}

void readActor(MixerRead& r) {
  LwsTokens& tokens = r.tokens;
  r.actor = nullptr;
  while (const char* entry = tokens.nextEntry()) {
    if (is(entry, "AddActor")) {
      r.load.scene.actors.push_back(std::make_unique<MixerActor>());
      r.actor = r.load.scene.actors.back().get();
      r.actor->name = tokens.next();
    } else if (is(entry, "ActorState")) {
      tokens.nextInt();
    } else if (is(entry, "ActorPoseFrame")) {
      tokens.nextFloat();
    } else if (is(entry, "ActorItems")) {
      readActorItems(r);
    } else if (is(entry, "ActorMotions")) {
      while (const char* motion = tokens.nextEntry()) {
        if (is(motion, "AddMotion")) {
          readBounded(tokens, "AddMotion", [&] { readMotion(r); });
        } else {
          tokens.skipEntry();
        }
      }
    } else {
      tokens.skipEntry();  // "ActorTracks" among others: the game arranges motions in time
    }
  }
}

}  // namespace

void readLwsMotionMixer(LwsLoad& load) {
  MixerRead r{load, load.tokens};
  LwsTokens& tokens = load.tokens;
  LwsTokens::Bound plugin(tokens, tokens.pluginEnd(tokens.cursor()));
  // Up to the plug-in's end: a "}" met here closes the block or is one too
  // many inside an actor; either way the actors after it are still read.
  while (!tokens.atEnd()) {
    const char* entry = tokens.nextEntry();
    if (!entry) continue;
    if (is(entry, "Prefs")) {
      tokens.nextInt();
    } else if (is(entry, "Actor")) {
      readBounded(tokens, "Actor", [&] { readActor(r); });
    } else {
      tokens.skipEntry();
    }
  }
}
