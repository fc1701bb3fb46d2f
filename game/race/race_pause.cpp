// The race's sound volumes: pausing silences everything but the stampers,
// going on restores the settings' volumes; a lost device or an inactive
// window stops the sounds, a reset starts the looping ones again.
#include "game/race/race.h"
#include "game/saves/config.h"
#include "scene/object_item.h"
#include "scene/scene.h"
#include "sound/sound_buffer.h"

namespace {

// What the settings' volumes (0..100) become on the race's sounds.
constexpr float kMusicVolumeFactor = 0.01f;
constexpr float kAmbientVolumeFactor = 0.0075f;
constexpr float kSceneSoundFactor = 0.9f;  // of the ambient volume

// Every object of the scene that carries a sound.
template <class Visit>
void forEachSceneSound(Scene* scene, Visit visit) {
  if (!scene) return;
  for (const auto& item : scene->objects) {
    auto* object = dynamic_cast<ObjectItem*>(item.get());
    if (object && object->sound) visit(*object);
  }
}

}  // namespace

float kartSoundVolume(int slot, int engineClass, int effectsVolume) {
  const float effects = static_cast<float>(effectsVolume);
  if (slot != kSoundEngine) return effects * 0.01f;
  // The bigger engine is mixed louder.
  return effects * (engineClass == 2 ? 0.01f : 0.0045f);
}

void Race::setPaused(bool paused) {
  if (!m_config) return;
  const float music = paused ? 0.0f : static_cast<float>(m_config->m_musicVolume) * kMusicVolumeFactor;
  const float ambient = paused ? 0.0f : static_cast<float>(m_config->m_effectsVolume) * kAmbientVolumeFactor;
  if (m_music) m_music->setVolume(music);
  if (m_scene) m_scene->soundVolume = ambient;
  for (Vehicle* kart : m_karts) {
    if (!kart) continue;
    for (int slot = 0; slot < KartItems::kSoundSlots; ++slot) {
      KartSoundSlot& sound = kart->m_items.sounds[static_cast<std::size_t>(slot)];
      if (sound.empty()) continue;
      sound.buffer->setVolume(paused ? 0.0f : kartSoundVolume(slot, m_config->m_ccm.get(), m_config->m_effectsVolume));
    }
  }
  // A stamper keeps its own volume: the frame plays it at the ambient one.
  forEachSceneSound(m_scene, [&](ObjectItem& object) {
    if (!isStamperSound(object)) object.sound->setVolume(ambient * kSceneSoundFactor);
  });
}

bool Race::stopSounds() {
  if (m_scene) m_scene->soundVolume = 0.0f;
  forEachSceneSound(m_scene, [](ObjectItem& object) { object.sound->stop(); });
  for (Vehicle* kart : m_karts) {
    if (!kart) continue;
    for (KartSoundSlot& sound : kart->m_items.sounds) {
      if (!sound.empty()) sound.buffer->stop();
    }
  }
  if (m_music) m_music->stop();
  return true;
}

bool Race::resumeSounds() {
  if (m_scene && m_config) m_scene->soundVolume = static_cast<float>(m_config->m_effectsVolume) * kAmbientVolumeFactor;
  // The scene's looping sounds come back muted; the frame and the scene
  // give them their volumes as the listener comes near.
  forEachSceneSound(m_scene, [](ObjectItem& object) {
    if (isStamperSound(object)) return;
    object.sound->play(true);
    object.sound->setVolume(0.0f);
  });
  for (Vehicle* kart : m_karts) {
    if (!kart) continue;
    KartSoundSlot& engine = kart->m_items.sounds[kSoundEngine];
    if (!engine.empty()) engine.buffer->play(true);
  }
  if (m_music) m_music->play(true);
  return true;
}
