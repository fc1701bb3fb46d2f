// The positional layout of the particle-effect plug-in blocks of a scene
// file, one table per block. The loader reads a block by walking its table
// and the scene writer writes one by walking the same table, so the two
// cannot disagree about which value sits where.
#pragma once

#include <cstdint>
#include <span>

#include "scene/particle_emitter.h"
#include "scene/particle_forces.h"

enum class LwsStep : std::uint8_t {
  SkipNumbers,  // `count` numbers read and dropped (written as 0)
  SkipToken,    // one word read and dropped (written as `word`)
  // One token, and one more unless it is `word` (the writer writes `word`).
  OptionalPair,
  Int,        // nextInt into the integer
  Truncated,  // nextFloat truncated into the integer
  Float,      // `count` numbers into consecutive floats, each times `scale`
};

template <typename Record>
struct LwsField {
  LwsStep step;
  int count = 1;
  const char* word = nullptr;
  float* (*floats)(Record&) = nullptr;
  std::int32_t* (*integer)(Record&) = nullptr;
  float scale = 1.0f;
};

// Every effect block starts, after its plug-in name, with a word, an
// integer and a word that the engine does not use.
inline constexpr const char* kLwsEffectLead[3] = {"Version", "1", "Values"};

namespace lws_fields {

template <typename R>
constexpr LwsField<R> skip(int n) {
  return {LwsStep::SkipNumbers, n};
}
template <typename R>
constexpr LwsField<R> word(const char* w) {
  return {LwsStep::SkipToken, 1, w};
}
template <typename R>
constexpr LwsField<R> pair(const char* w) {
  return {LwsStep::OptionalPair, 1, w};
}

// A single-precision 1/30: effect times are stored in frames at 30 per second.
inline constexpr float kFramesToSeconds = 1.0f / 30.0f;

// clang-format off
inline constexpr LwsField<FXEmitter> kEmitter[] = {
  {LwsStep::Float, 3, nullptr, [](FXEmitter& e) { return e.generatorSize; }},
  pair<FXEmitter>("p0"),
  skip<FXEmitter>(3),
  {LwsStep::Int, 1, nullptr, nullptr, [](FXEmitter& e) { return &e.maxParticles; }},
  skip<FXEmitter>(1),
  word<FXEmitter>("Velocity"),
  {LwsStep::Float, 1, nullptr, [](FXEmitter& e) { return &e.velocity[0].value; }},
  {LwsStep::Float, 1, nullptr, [](FXEmitter& e) { return &e.velocity[1].value; }},
  {LwsStep::Float, 1, nullptr, [](FXEmitter& e) { return &e.velocity[2].value; }},
  {LwsStep::Float, 1, nullptr, [](FXEmitter& e) { return &e.inheritFactor; }},
  skip<FXEmitter>(2),
  word<FXEmitter>("Acceleration"),
  {LwsStep::Float, 3, nullptr, [](FXEmitter& e) { return e.acceleration; }},
  skip<FXEmitter>(1),
  word<FXEmitter>("Birth"),
  skip<FXEmitter>(1),
  {LwsStep::Float, 1, nullptr, [](FXEmitter& e) { return &e.birthRate.value; }},
  {LwsStep::Truncated, 1, nullptr, nullptr, [](FXEmitter& e) { return &e.generatorShape; }},
  skip<FXEmitter>(1),
  {LwsStep::Truncated, 1, nullptr, nullptr, [](FXEmitter& e) { return &e.rateMode; }},
  {LwsStep::Float, 1, nullptr, [](FXEmitter& e) { return &e.lifetime.value; }, nullptr, kFramesToSeconds},
  {LwsStep::Float, 1, nullptr, [](FXEmitter& e) { return &e.lifetimeVariation.value; }, nullptr, kFramesToSeconds},
  {LwsStep::Float, 1, nullptr, [](FXEmitter& e) { return &e.explosion.value; }},
  skip<FXEmitter>(1),
  {LwsStep::Int, 1, nullptr, nullptr, [](FXEmitter& e) { return &e.triggerMode; }},
  skip<FXEmitter>(9),
  word<FXEmitter>("Particle"),
  {LwsStep::Float, 1, nullptr, [](FXEmitter& e) { return &e.weightBase.value; }},
  {LwsStep::Float, 1, nullptr, [](FXEmitter& e) { return &e.swirlBase.value; }},
  {LwsStep::Float, 1, nullptr, [](FXEmitter& e) { return &e.weightVariation.value; }},
  {LwsStep::Float, 1, nullptr, [](FXEmitter& e) { return &e.swirlVariation.value; }},
  skip<FXEmitter>(3),
  {LwsStep::Float, 1, nullptr, [](FXEmitter& e) { return &e.extraBase.value; }},
  {LwsStep::Float, 1, nullptr, [](FXEmitter& e) { return &e.extraVariation.value; }},
  skip<FXEmitter>(2),
  {LwsStep::Float, 1, nullptr, [](FXEmitter& e) { return &e.speedLimit; }},
  skip<FXEmitter>(3),
};

// The integer after falloff is read from the file but not used.
inline constexpr LwsField<FXGravity> kGravity[] = {
  {LwsStep::Int, 1, nullptr, nullptr, [](FXGravity& g) { return &g.type; }},
  {LwsStep::Float, 1, nullptr, [](FXGravity& g) { return &g.radius.value; }},
  {LwsStep::Float, 1, nullptr, [](FXGravity& g) { return &g.strength.value; }},
  {LwsStep::Int, 1, nullptr, nullptr, [](FXGravity& g) { return &g.falloff; }},
  skip<FXGravity>(1),
  pair<FXGravity>("g0"),
  {LwsStep::Float, 3, nullptr, [](FXGravity& g) { return g.direction; }},
  word<FXGravity>("Gravity"),
};

// Two integers after falloff and eight floats are read but not used.
inline constexpr LwsField<FXWind> kWind[] = {
  {LwsStep::Int, 1, nullptr, nullptr, [](FXWind& w) { return &w.mode; }},
  {LwsStep::Float, 1, nullptr, [](FXWind& w) { return &w.radius.value; }},
  {LwsStep::Float, 1, nullptr, [](FXWind& w) { return &w.strength.value; }},
  {LwsStep::Int, 1, nullptr, nullptr, [](FXWind& w) { return &w.falloff; }},
  skip<FXWind>(2),
  word<FXWind>("Direction"),
  {LwsStep::Float, 1, nullptr, [](FXWind& w) { return &w.direction[0].value; }},
  {LwsStep::Float, 1, nullptr, [](FXWind& w) { return &w.direction[1].value; }},
  {LwsStep::Float, 1, nullptr, [](FXWind& w) { return &w.direction[2].value; }},
  word<FXWind>("Turbulence"),
  word<FXWind>("Scale"),
  skip<FXWind>(5),
  word<FXWind>("Offset"),
  skip<FXWind>(3),
  word<FXWind>("Wind"),
};

// The flag after shape, two floats after it and one after scatter are
// read but not used.
inline constexpr LwsField<FXCollision> kCollision[] = {
  {LwsStep::Int, 1, nullptr, nullptr, [](FXCollision& c) { return &c.kind; }},
  {LwsStep::Float, 1, nullptr, [](FXCollision& c) { return &c.radius.value; }},
  {LwsStep::Float, 1, nullptr, [](FXCollision& c) { return &c.bounce.value; }},
  {LwsStep::Int, 1, nullptr, nullptr, [](FXCollision& c) { return &c.shape; }},
  skip<FXCollision>(3),
  pair<FXCollision>("collision"),
  {LwsStep::Float, 1, nullptr, [](FXCollision& c) { return &c.scatter; }},
  skip<FXCollision>(7),
};
// clang-format on

}  // namespace lws_fields
