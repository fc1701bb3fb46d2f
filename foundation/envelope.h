// Key-framed animation curves with six span shapes and pre- and
// post-behaviours, evaluated at a time in seconds.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <string>

#include "foundation/anim_channel.h"

enum KeyShape : std::int32_t {
  kShapeTCB = 0,
  kShapeHermite = 1,
  kShapeBezier = 2,
  kShapeLinear = 3,
  kShapeStepped = 4,
  kShapeBezier2D = 5,
};

// What an envelope does outside its first and last key.
enum EnvelopeBehavior : std::int32_t {
  kBehaviorReset = 0,
  kBehaviorConstant = 1,
  kBehaviorRepeat = 2,
  kBehaviorOscillate = 3,
  kBehaviorOffsetRepeat = 4,
  kBehaviorLinear = 5,
};

struct EnvelopeKey {
  float value = 0.0f;
  float time = 0.0f;  // seconds
  std::int32_t shape = kShapeTCB;
  float tension = 0.0f, continuity = 0.0f, bias = 0.0f;
  // Hermite and Bezier: [0] incoming, [1] outgoing tangent. 2D Bezier:
  // incoming time and value offsets, outgoing time and value offsets.
  float param[4] = {0.0f, 0.0f, 0.0f, 0.0f};
};

class Envelope : public AnimChannel {
 public:
  using KeyList = std::list<EnvelopeKey>;

  Envelope() = default;
  Envelope(const Envelope&) = delete;  // the search cache points into the list
  Envelope& operator=(const Envelope&) = delete;

  double evaluate(double t) override;
  Envelope* asEnvelope() override { return this; }
  // An independent copy: name, behaviours and every key.
  std::unique_ptr<Envelope> clone() const;

  // Keys are appended after the last key and never sorted: callers append
  // in increasing time.
  void addKeyTCB(float value, float time, float tension, float continuity, float bias);
  void addKeyHermite(float value, float time, float in, float out);
  void addKeyBezier(float value, float time, float in, float out);
  void addKeyLinear(float value, float time);
  void addKeyStepped(float value, float time);
  void addKeyBezier2D(float value, float time, float p0, float p1, float p2, float p3);

  // The first key whose time is greater than t, else the first key.
  const EnvelopeKey* keyAfter(double t) const;
  // The last key whose time is less than t, else the last key.
  const EnvelopeKey* keyBefore(double t) const;

  const KeyList& keys() const { return m_keys; }

  std::string name;
  std::int32_t preBehavior = kBehaviorConstant;
  std::int32_t postBehavior = kBehaviorConstant;

 private:
  using KeyIt = KeyList::const_iterator;

  EnvelopeKey& append(float value, float time, std::int32_t shape);
  float outgoing(KeyIt key0, KeyIt key1) const;
  float incoming(KeyIt key0, KeyIt key1) const;
  static float bezier2D(const EnvelopeKey& key0, const EnvelopeKey& key1, float t);

  KeyList m_keys;
  // Interval search cache: increasing times resume from the last interval.
  // The list end stands for "no interval found yet".
  float m_cachedTime = 0.0f;
  KeyIt m_cachedKey = m_keys.cend();
};
