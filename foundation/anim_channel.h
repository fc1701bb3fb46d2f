// Animated values: a float that is either a constant or driven by an
// animation channel (a key-framed envelope or a motion-mixer channel group).
#pragma once

#include <memory>

class Envelope;
class ChannelGroup;

// A source of animated values, evaluated at a time in seconds.
class AnimChannel {
 public:
  virtual ~AnimChannel() = default;
  virtual double evaluate(double t) = 0;
  virtual Envelope* asEnvelope() { return nullptr; }
  virtual ChannelGroup* asChannelGroup() { return nullptr; }
};

// A value with an optional owned channel. Evaluating it stores the channel's
// result in `value`, so `value` always holds the last evaluated result.
struct AnimatedFloat {
  float value = 0.0f;
  std::unique_ptr<AnimChannel> channel;

  AnimatedFloat() = default;
  explicit AnimatedFloat(float v) : value(v) {}

  float evaluate(double t);
  // Deletes the channel; the value stays.
  void release() { channel.reset(); }

  // Makes sure the value is driven by an envelope: with no channel, a new
  // envelope holding one TCB key (the current value at time 0) becomes the
  // channel. Returns the envelope, or null when the value is driven by a
  // channel group, which is left as it is so that no motion is lost.
  Envelope* ensureEnvelope();
  // Makes sure the value is driven by a channel group whose envelope 0 is
  // the value's own animation (at intensity 0). Returns the group.
  ChannelGroup* ensureChannelGroup();
};
