// Race::unload and the end of a load that cannot go on: everything the load
// built goes, whatever state the load reached.
#include "foundation/timer.h"
#include "game/race/race.h"
#include "game/saves/highscore.h"
#include "game/track/track_maps.h"
#include "game/track/track_surfaces.h"
#include "scene/contact_tables.h"
#include "scene/scene.h"
#include "scene/scene_root.h"
#include "sound/sound_buffer.h"
#include "sound/sound_channel.h"

bool Race::unload() {
  release(true);
  if (s_instance == this) s_instance = nullptr;
  return true;
}

bool Race::fail(int textId) {
  if (m_gui) m_gui->setLoadingText(text(textId));
  m_control.leave();
  release(false);
  if (s_instance == this) s_instance = nullptr;
  return false;
}

void Race::release(bool reportProgress) {
  auto report = [&](float value) {
    if (reportProgress) progress(value);
  };
  stopSounds();
  report(0.0f);
  m_timer.reset();
  report(10.0f);
  if (m_lightMap) releaseTrackLightMap(*m_lightMap);
  m_lightMap.reset();
  report(20.0f);
  m_positionMap.reset();
  report(30.0f);
  m_resetMap.reset();
  report(30.0f);
  m_hud.reset();
  report(50.0f);
  m_texts.reset();
  report(55.0f);
  // The karts go before the scene whose items they hold.
  const int built = m_kartCount;
  for (int i = 0; i < kMaxKarts; ++i) {
    if (i < built) report(80.0f + 15.0f * static_cast<float>(i) / static_cast<float>(built));
    m_karts[i] = nullptr;
    m_kartOwners[i].reset();
  }
  m_kartCount = 0;
  m_trackPoints.reset();
  m_boxes.clear();
  m_soundObjects.clear();
  m_scene = nullptr;
  m_root.reset();
  m_explosionTextures = {};
  report(95.0f);
  m_highscores.reset();
  m_music.reset();
  m_musicChannel.reset();
  m_beepSound.reset();
  m_beepSoundChannel.reset();
  m_startSound.reset();
  m_startSoundChannel.reset();
  m_spacePair.reset();
  m_surfaces.reset();
  report(100.0f);
}
