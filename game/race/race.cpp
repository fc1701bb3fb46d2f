#include "game/race/race.h"

#include "foundation/timer.h"
#include "game/saves/config.h"
#include "game/saves/highscore.h"
#include "game/track/track_maps.h"
#include "game/track/track_surfaces.h"
#include "render/render_pipeline.h"
#include "scene/object_item.h"
#include "scene/scene.h"
#include "scene/scene_root.h"
#include "sound/sound_buffer.h"
#include "sound/sound_channel.h"

Race* Race::s_instance = nullptr;

Race::Race(RenderPipeline* renderContext, RaceGui* gui, NetControl& control)
    : Race(renderContext, gui, control, systemClock()) {}

Race::Race(RenderPipeline* renderContext, RaceGui* gui, NetControl& control, const Clock& clock)
    : m_renderContext(renderContext),
      m_gui(gui),
      m_control(control),
      m_clock(clock),
      m_factory(std::make_unique<RaceFactory>()) {}

Race::~Race() {
  release(false);
  if (s_instance == this) s_instance = nullptr;
}

void Race::setFactory(std::unique_ptr<RaceFactory> factory) {
  m_factory = factory ? std::move(factory) : std::make_unique<RaceFactory>();
}

void Race::resetProgress() {
  m_raceOver = 0;
  for (Vehicle* kart : m_karts) {
    if (!kart) continue;
    for (std::int32_t& value : kart->m_sectorHistory) value = 1;
    kart->m_awaitingLapStart = 0;
  }
  for (float& time : m_wrongWayTime) time = 0.0f;
  m_eliminationTime = 0.0f;
}

void Race::applyTrackLight() {
  if (m_lightMap) ::applyTrackLight(*m_lightMap, m_karts, m_kartCount);
}

void Race::updateHudDisplays() {
  if (m_hud) m_hud->update();
}

bool Race::onDeviceLost() {
  if (m_root) m_root->onDeviceLost();
  return true;
}

bool Race::onDeviceReset() {
  if (m_root) m_root->onDeviceReset();
  if (m_gui && m_renderContext) {
    m_gui->setDisplaySize(static_cast<float>(m_renderContext->requestedWidth),
                          static_cast<float>(m_renderContext->requestedHeight));
  }
  return true;
}

void Race::progress(float value) {
  if (m_gui) m_gui->setLoadingProgress(value);
}

std::string Race::text(int id) const { return m_texts ? m_texts->getText(id) : std::string(); }

bool isStamperSound(const ObjectItem& object) {
  if (!object.soundSource) return false;
  for (const char* name : kStamperSounds) {
    if (object.soundSource->fileName == name) return true;
  }
  return false;
}
