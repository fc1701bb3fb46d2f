// The motion mixer: a channel group blends several animations of one item
// channel by weight, each played at its own speed from its own start time;
// mixer motions and actors name the groups a game motion drives.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "foundation/anim_channel.h"

class SceneItem;

class ChannelGroup : public AnimChannel {
 public:
  ChannelGroup() = default;
  ChannelGroup(const ChannelGroup&) = delete;
  ChannelGroup& operator=(const ChannelGroup&) = delete;

  // The weighted mean of every envelope with a non-zero intensity, each at
  // (t - offset) x speed; with no weight at all, envelope 0 at t.
  double evaluate(double t) override;
  ChannelGroup* asChannelGroup() override { return this; }
  virtual int envelopeCount() const { return static_cast<int>(m_envelopes.size()); }

  // Appends an envelope with intensity 0, speed 1 and offset 0. Returns its
  // index.
  int addEnvelope(std::unique_ptr<AnimChannel> envelope);
  AnimChannel* envelope(int index) const;

  // Each setter reports an index outside the group through the assertion
  // rule, changes nothing and returns false.
  bool setEnvelopeIntensity(int envelope, float value);
  bool setEnvelopeSpeed(int envelope, float value);
  bool setEnvelopeOffset(int envelope, float value);

  float intensity(int index) const { return m_intensity.at(index); }
  float speed(int index) const { return m_speed.at(index); }
  float offset(int index) const { return m_offset.at(index); }

  std::string name;

 private:
  std::vector<std::unique_ptr<AnimChannel>> m_envelopes;
  std::vector<float> m_intensity;
  std::vector<float> m_speed;
  std::vector<float> m_offset;
};

// One motion of an actor: envelope envelopeIndex[i] of groups[i] belongs to
// it. The groups belong to their item channels.
struct MixerMotion {
  std::vector<ChannelGroup*> groups;
  std::vector<std::int32_t> envelopeIndex;
  std::string name;

  void addChannel(ChannelGroup* group, std::int32_t index);
  void setOffset(float value);
  void setIntensity(float value);
  void setSpeed(float value);
};

// A named group of items that mixer motions animate together. The scene
// owns actors and motions; an actor only lists them.
struct MixerActor {
  std::string name;
  std::vector<MixerMotion*> motions;
  std::vector<SceneItem*> items;
  std::vector<std::string> itemNames;  // parallel to items

  void addItem(SceneItem* item, const std::string& itemName);
  // The item added under that name (first match), or null.
  SceneItem* findItem(const std::string& itemName) const;
  // Index of the first motion named exactly `motionName`; -1 when none is,
  // so that a missing motion is never mistaken for motion 0.
  int findMotionIndex(const std::string& motionName) const;
};
