#include "foundation/envelope.h"

#include <cmath>
#include <iterator>

#include "foundation/channel_group.h"

namespace {

// a / b, or 0 when b is 0: keys that share a time (which scene files can
// hold) must not turn a whole curve into NaN.
float ratio(float a, float b) { return b != 0.0f ? a / b : 0.0f; }

float cubicBezier(float x0, float x1, float x2, float x3, float u) {
  const float v = 1.0f - u;
  return x0 * v * v * v + 3.0f * x1 * u * v * v + 3.0f * x2 * u * u * v + x3 * u * u * u;
}

// Maps t into [first, first + r] and gives the signed number of whole
// periods between first and t. n stays a float so that far-away times
// cannot overflow an integer.
float range(float t, float first, float last, float& n) {
  const float r = last - first;
  if (r == 0.0f) {
    n = 0.0f;
    return first;
  }
  const float inverse = 1.0f / r;
  const float v = t - r * std::floor((t - first) * inverse);
  const float h = v > t ? 0.5f : -0.5f;
  n = -std::trunc((v - t) * inverse + h);
  return v;
}

// Bisection steps of the 2D Bezier time curve; a float interval stops
// shrinking well before this.
constexpr int kMaxBisectionSteps = 64;

}  // namespace

float AnimatedFloat::evaluate(double t) {
  if (channel) value = static_cast<float>(channel->evaluate(t));
  return value;
}

Envelope* AnimatedFloat::ensureEnvelope() {
  if (!channel) {
    auto envelope = std::make_unique<Envelope>();
    envelope->addKeyTCB(value, 0.0f, 0.0f, 0.0f, 0.0f);
    channel = std::move(envelope);
  }
  return channel->asEnvelope();
}

EnvelopeKey& Envelope::append(float value, float time, std::int32_t shape) {
  EnvelopeKey& key = m_keys.emplace_back();
  key.value = value;
  key.time = time;
  key.shape = shape;
  return key;
}

void Envelope::addKeyTCB(float value, float time, float tension, float continuity, float bias) {
  EnvelopeKey& key = append(value, time, kShapeTCB);
  key.tension = tension;
  key.continuity = continuity;
  key.bias = bias;
}

void Envelope::addKeyHermite(float value, float time, float in, float out) {
  EnvelopeKey& key = append(value, time, kShapeHermite);
  key.param[0] = in;
  key.param[1] = out;
}

void Envelope::addKeyBezier(float value, float time, float in, float out) {
  EnvelopeKey& key = append(value, time, kShapeBezier);
  key.param[0] = in;
  key.param[1] = out;
}

void Envelope::addKeyLinear(float value, float time) { append(value, time, kShapeLinear); }

void Envelope::addKeyStepped(float value, float time) { append(value, time, kShapeStepped); }

void Envelope::addKeyBezier2D(float value, float time, float p0, float p1, float p2, float p3) {
  EnvelopeKey& key = append(value, time, kShapeBezier2D);
  key.param[0] = p0;
  key.param[1] = p1;
  key.param[2] = p2;
  key.param[3] = p3;
}

const EnvelopeKey* Envelope::keyAfter(double t) const {
  if (m_keys.empty()) return nullptr;
  const float time = static_cast<float>(t);
  for (const EnvelopeKey& key : m_keys)
    if (key.time > time) return &key;
  return &m_keys.front();
}

const EnvelopeKey* Envelope::keyBefore(double t) const {
  if (m_keys.empty()) return nullptr;
  const float time = static_cast<float>(t);
  for (auto it = m_keys.rbegin(); it != m_keys.rend(); ++it)
    if (it->time < time) return &*it;
  return &m_keys.back();
}

float Envelope::outgoing(KeyIt key0, KeyIt key1) const {
  const bool hasPrev = key0 != m_keys.cbegin();
  const EnvelopeKey& k0 = *key0;
  const EnvelopeKey& k1 = *key1;
  const EnvelopeKey* prev = hasPrev ? &*std::prev(key0) : nullptr;
  const float s = prev ? ratio(k1.time - k0.time, k1.time - prev->time) : 1.0f;
  const float d = k1.value - k0.value;
  switch (k0.shape) {
    case kShapeTCB: {
      const float a = (1.0f - k0.tension) * (1.0f + k0.continuity) * (1.0f + k0.bias);
      const float b = (1.0f - k0.tension) * (1.0f - k0.continuity) * (1.0f - k0.bias);
      return prev ? s * (a * (k0.value - prev->value) + b * d) : b * d;
    }
    case kShapeLinear:
      return prev ? s * (k0.value - prev->value + d) : d;
    case kShapeHermite:
    case kShapeBezier:
      return k0.param[1] * s;
    case kShapeBezier2D: {
      const float span = k1.time - k0.time;
      return std::fabs(k0.param[2]) > 0.00001f ? k0.param[3] * span / k0.param[2] : k0.param[3] * span * 100000.0f;
    }
    default:
      return 0.0f;
  }
}

float Envelope::incoming(KeyIt key0, KeyIt key1) const {
  const bool hasNext = std::next(key1) != m_keys.cend();
  const EnvelopeKey& k0 = *key0;
  const EnvelopeKey& k1 = *key1;
  const EnvelopeKey* next = hasNext ? &*std::next(key1) : nullptr;
  const float s = next ? ratio(k1.time - k0.time, next->time - k0.time) : 1.0f;
  const float d = k1.value - k0.value;
  switch (k1.shape) {
    case kShapeLinear:
      return next ? s * (next->value - k1.value + d) : d;
    case kShapeTCB: {
      const float a = (1.0f - k1.tension) * (1.0f - k1.continuity) * (1.0f + k1.bias);
      const float b = (1.0f - k1.tension) * (1.0f + k1.continuity) * (1.0f - k1.bias);
      return next ? s * (b * (next->value - k1.value) + a * d) : a * d;
    }
    case kShapeHermite:
    case kShapeBezier:
      return k1.param[0] * s;
    case kShapeBezier2D: {
      const float span = k1.time - k0.time;
      return std::fabs(k1.param[0]) > 0.00001f ? k1.param[1] * span / k1.param[0] : k1.param[1] * span * 100000.0f;
    }
    default:
      return 0.0f;
  }
}

float Envelope::bezier2D(const EnvelopeKey& key0, const EnvelopeKey& key1, float t) {
  const float x1 =
      key0.shape == kShapeBezier2D ? key0.time + key0.param[2] : key0.time + (key1.time - key0.time) * 0.33333334f;
  const float x2 = key1.time + key1.param[0];
  float lo = 0.0f, hi = 1.0f;
  float u = lo + (hi - lo) * 0.5f;
  float v = cubicBezier(key0.time, x1, x2, key1.time, u);
  // A time curve that is not monotone may never come within the tolerance:
  // stop when the interval can no longer shrink or after a bounded count.
  for (int step = 0; std::fabs(t - v) > 0.0001f && step < kMaxBisectionSteps; ++step) {
    if (v > t)
      hi = u;
    else
      lo = u;
    const float next = lo + (hi - lo) * 0.5f;
    if (next == u) break;
    u = next;
    v = cubicBezier(key0.time, x1, x2, key1.time, u);
  }
  const float y1 = key0.shape == kShapeBezier2D ? key0.value + key0.param[3] : key0.value + key0.param[1] * 0.33333334f;
  return cubicBezier(key0.value, y1, key1.value + key1.param[1], key1.value, u);
}

double Envelope::evaluate(double time) {
  if (m_keys.empty()) return 0.0;
  const EnvelopeKey& first = m_keys.front();
  const EnvelopeKey& last = m_keys.back();
  if (m_keys.size() == 1) return first.value;

  float t = static_cast<float>(time);
  float offset = 0.0f;
  if (t < first.time || t > last.time) {
    const bool before = t < first.time;
    switch (before ? preBehavior : postBehavior) {
      case kBehaviorReset:
        return 0.0;
      case kBehaviorConstant:
        return before ? first.value : last.value;
      case kBehaviorRepeat: {
        const float r = last.time - first.time;
        t = r == 0.0f ? first.time : t - r * std::floor((t - first.time) / r);
        break;
      }
      case kBehaviorOscillate: {
        float n;
        t = range(t, first.time, last.time, n);
        // Mirrors within [first, last]; a curve need not start at time 0.
        if (std::fmod(n, 2.0f) != 0.0f) t = first.time + last.time - t;
        break;
      }
      case kBehaviorOffsetRepeat: {
        float n;
        t = range(t, first.time, last.time, n);
        offset = n * (last.value - first.value);
        break;
      }
      case kBehaviorLinear:
        if (before) {
          const KeyIt key0 = m_keys.cbegin();
          const KeyIt key1 = std::next(key0);
          return first.value + (t - first.time) * ratio(outgoing(key0, key1), key1->time - first.time);
        } else {
          const KeyIt key1 = std::prev(m_keys.cend());
          const KeyIt key0 = std::prev(key1);
          return last.value + (t - last.time) * ratio(incoming(key0, key1), last.time - key0->time);
        }
      default:
        break;  // unknown behaviours carry on with t unchanged
    }
  }

  const KeyIt lastKey = std::prev(m_keys.cend());
  // A NaN time (given, or made by a behaviour from an infinite one) compares
  // false with everything: cached, it would make every later search resume
  // from its interval, so it neither uses nor replaces the cache.
  const bool cacheable = !std::isnan(t);
  KeyIt key0 = m_cachedKey;
  if (!cacheable || t < m_cachedTime || key0 == m_keys.cend() || key0 == lastKey) key0 = m_keys.cbegin();
  KeyIt key1 = std::next(key0);
  while (key1 != lastKey && key1->time < t) {
    key0 = key1;
    ++key1;
  }
  if (cacheable) {
    m_cachedKey = key0;
    m_cachedTime = t;
  }

  const EnvelopeKey& k0 = *key0;
  const EnvelopeKey& k1 = *key1;
  if (t == k0.time) return k0.value + offset;
  if (t == k1.time) return k1.value + offset;

  const float u = ratio(t - k0.time, k1.time - k0.time);
  switch (k1.shape) {
    case kShapeTCB:
    case kShapeHermite:
    case kShapeBezier: {
      const float u2 = u * u, u3 = u2 * u;
      const float h2 = 3.0f * u2 - 2.0f * u3;
      const float h1 = 1.0f - h2;
      const float h4 = u3 - u2;
      const float h3 = h4 - u2 + u;
      return h1 * k0.value + h2 * k1.value + h3 * outgoing(key0, key1) + h4 * incoming(key0, key1) + offset;
    }
    case kShapeLinear:
      return k0.value + u * (k1.value - k0.value) + offset;
    case kShapeStepped:
      return k0.value + offset;
    case kShapeBezier2D:
      return bezier2D(k0, k1, t) + offset;
    default:
      return offset;
  }
}

std::unique_ptr<Envelope> Envelope::clone() const {
  auto copy = std::make_unique<Envelope>();
  copy->name = name;
  copy->preBehavior = preBehavior;
  copy->postBehavior = postBehavior;
  copy->m_keys = m_keys;
  return copy;
}
