// A float that may follow an animation curve, as textures and hyper-voxel
// surfaces hold them. The curves themselves (envelopes, channel groups)
// belong to the scene side; the renderer only evaluates, copies and deletes
// them through this interface.
#pragma once

#include <memory>

class ValueCurve {
 public:
  virtual ~ValueCurve() = default;
  virtual double evaluate(double t) = 0;
  // An independent copy, so that two holders never share one curve.
  virtual std::unique_ptr<ValueCurve> clone() const = 0;
};

struct AnimatedParameter {
  float value = 0.0f;
  std::unique_ptr<ValueCurve> curve;

  AnimatedParameter() = default;
  explicit AnimatedParameter(float v) : value(v) {}
  AnimatedParameter(const AnimatedParameter& other)
      : value(other.value), curve(other.curve ? other.curve->clone() : nullptr) {}
  AnimatedParameter& operator=(const AnimatedParameter& other) {
    if (this != &other) {
      value = other.value;
      curve = other.curve ? other.curve->clone() : nullptr;
    }
    return *this;
  }
  AnimatedParameter(AnimatedParameter&&) noexcept = default;
  AnimatedParameter& operator=(AnimatedParameter&&) noexcept = default;

  // With a curve: its value at t, which also becomes `value`.
  float evaluate(double t) {
    if (curve) value = static_cast<float>(curve->evaluate(t));
    return value;
  }
};
