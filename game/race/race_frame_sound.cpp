// The race's sounds each frame: the stampers as they come down near view
// 0's kart, the listener at the view camera, and every kart's engine
// pitched by its speed.
#include <algorithm>
#include <cmath>

#include "foundation/envelope.h"
#include "game/race/race.h"
#include "render/render_pipeline.h"
#include "scene/object_item.h"
#include "scene/scene.h"
#include "sound/sound_buffer.h"

namespace {

constexpr std::uint32_t kSceneSoundEvery = 5;  // frames
constexpr float kStamperHearing = 40.0f;
// The key after a key: later than it by more than this.
constexpr float kKeyGap = 0.01f;
constexpr float kEngineNear = 5.0f, kEngineFar = 1000000.0f;
constexpr float kFullCone = 6.2831853f;
constexpr double kEngineIdleHz = 22000.0;
constexpr double kEngineSpanHz = 68000.0;  // from standing to top speed
constexpr double kEngineMaxHz = 90000.0;

float distance(const Position3& a, const Position3& b) {
  const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// The first of the item's position channels driven by keys.
const Envelope* keyedPosition(SceneItem& item) {
  for (AnimatedFloat& channel : item.position) {
    const Envelope* envelope = channel.channel ? channel.channel->asEnvelope() : nullptr;
    if (envelope && !envelope->keys().empty()) return envelope;
  }
  return nullptr;
}

// Whether the object's motion, repeating, is now between its first key
// after the start and the key after that: the moment a stamper comes down.
bool inSoundWindow(const Envelope& motion, double time) {
  const float end = motion.keys().back().time;
  if (!(end > 0.0f)) return false;  // a motion of no length repeats nothing
  const EnvelopeKey* a = motion.keyAfter(kKeyGap);
  const EnvelopeKey* b = motion.keyAfter(a->time + kKeyGap);
  const double phase = std::fmod(time, static_cast<double>(end));
  return a->time < phase && phase < b->time;
}

}  // namespace

std::uint32_t Race::engineFrequency(float speed, float maxSpeed) {
  // A kart without a top speed would divide by zero.
  if (!(maxSpeed > 0.0f)) return static_cast<std::uint32_t>(kEngineIdleHz);
  const double hz = std::trunc(static_cast<double>(speed) / maxSpeed * kEngineSpanHz) + kEngineIdleHz;
  if (std::isnan(hz)) return static_cast<std::uint32_t>(kEngineIdleHz);
  return static_cast<std::uint32_t>(std::clamp(hz, 0.0, kEngineMaxHz));
}

void Race::updateSounds() {
  if (m_paused || !m_scene) return;
  const int ownIndex = m_viewKart[0];
  Vehicle* own = ownIndex >= 0 && ownIndex < kMaxKarts ? m_karts[ownIndex] : nullptr;
  if (!own) return;
  Position3 ownAt;
  own->getPosition(ownAt);

  if (m_frame % kSceneSoundEvery == 0) {
    for (ObjectItem* object : m_soundObjects) {
      if (!object->sound) continue;
      const Envelope* motion = keyedPosition(*object);
      if (!motion || !inSoundWindow(*motion, m_simTime)) continue;
      Matrix4x3 world;
      object->worldMatrix(world, m_simTime, true);
      if (!(distance(ownAt, {world.m[12], world.m[13], world.m[14]}) < kStamperHearing)) continue;
      object->sound->setVolume(m_scene->soundVolume);
      object->sound->set3DEnabled(false);
      // One stamp, one sound: the window spans several frames.
      if (!object->sound->isPlaying()) object->sound->play(false);
    }
  }

  placeListener();

  const bool ownFinished = own->m_net.m_trackFinished.get();
  const float topSpeed = own->tuning().maxSpeed;
  for (int k = 0; k < kMaxKarts; ++k) {
    Vehicle* kart = m_karts[k];
    if (!kart || kart->m_items.sounds[kSoundEngine].empty()) continue;
    SoundBuffer& engine = *kart->m_items.sounds[kSoundEngine].buffer;
    // The second player's engine sounds where the one listener is.
    Position3 at;
    if (m_viewCount == 2 && k == m_viewKart[1] && !ownFinished) {
      at = ownAt;
    } else {
      kart->getPosition(at);
    }
    const float* v = kart->getVelocity();
    const float speed = kart->getSpeed();
    engine.set3DParameters(at.x, at.y, at.z, v[0], v[1], v[2], v[0] * speed, v[1] * speed, v[2] * speed);
    engine.setCone(kFullCone, kFullCone, 0.0f);
    engine.setDistances(kEngineNear, kEngineFar);
    engine.setFrequency(engineFrequency(speed, topSpeed));
    if (!engine.isPlaying()) engine.play(true);
  }
}
