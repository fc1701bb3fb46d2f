// One pass of the race loop: fixed physics steps up to the race timer, the
// boxes, hits and sounds, the countdown, progress or results, the views
// under the GUI, the network exchange, and the start and race keys.
#include <cmath>

#include "foundation/timer.h"
#include "game/kart/vehicle_master.h"
#include "game/race/network_messages.h"
#include "game/race/play_type.h"
#include "game/race/race.h"
#include "game/saves/config.h"
#include "input/input_device.h"
#include "net/net_control.h"
#include "platform/input/dinput.h"
#include "platform/input/key_codes.h"
#include "render/render_pipeline.h"
#include "scene/physics_object.h"
#include "scene/scene.h"
#include "sound/sound_buffer.h"
#include "sound/sound_system.h"

namespace {

constexpr float kBoxSpin = 0.05f;  // radians per frame, whatever the frame time
constexpr float kTwoPi = 6.2831853f;
constexpr double kResultsDelay = 2.0;
constexpr std::uint32_t kCatchUpEvery = 10;  // frames
// The countdown's last second: the start sound and the karts let go.
constexpr int kGo = 3;
constexpr int kRearViewButton = 3;  // of the game controller

bool keptToTheEnd(std::int32_t cameraMode) {
  return cameraMode == Race::kCameraStandStill || cameraMode == Race::kCameraFinish;
}

// Writes a player record through its setter: marked for sending only when
// something changed.
template <class Edit>
void editRecord(NetValue<ConfigPlayer>& record, Edit edit) {
  ConfigPlayer copy = record.get();
  edit(copy);
  record.set(copy);
}

}  // namespace

bool Race::update(InputDevice& input) {
  if (!m_scene || !m_timer || !m_config) return true;
  // Karts and surfaces reach the race through this; two races in one
  // process take turns.
  s_instance = this;
  const int steps = stepPhysics();
  runBoxTimers(steps);
  updateRocketFlightSounds();
  testHits();
  spinBoxes();
  updateSounds();
  runCountdown();
  updateProgressOrResults();
  updateRaceDisplays();
  refreshNetworkResults();
  updateKartVisuals();
  renderViews(input);
  endFrame();
  checkConnection();
  checkStart(input);
  readRaceKeys(input);
  feedGui();
  return true;
}

int Race::stepPhysics() {
  if (!m_scene || !m_timer || m_paused) return 0;
  const double now = m_timer->gameTime();
  int steps = 0;
  while (m_simTime < now && steps < kMaxPhysicsSteps) {
    m_scene->physics().collide();
    m_scene->physics().stepWorld(kPhysicsStep);
    m_scene->physics().emptyContacts();
    m_scene->invalidateTransforms(nullptr);
    for (Vehicle* kart : m_karts) {
      if (kart) kart->step(m_simTime, kPhysicsStep);
    }
    ++steps;
    m_simTime += kPhysicsStep;
  }
  // A long frame simulates 0.2 s; the simulation lags no further.
  if (steps == kMaxPhysicsSteps) m_simTime = now;
  return steps;
}

void Race::runBoxTimers(int steps) {
  for (SceneItem* item : m_boxes) {
    auto* box = dynamic_cast<PhysicsObject*>(item);
    if (!box || box->reappearTime == 0.0f) continue;
    box->reappearTime -= static_cast<float>(steps) * static_cast<float>(kPhysicsStep);
    // A wait that ends exactly at 0 is over too: 0 means "not waiting", and
    // the box would stay below the track for good.
    if (box->reappearTime > 0.0f) continue;
    box->reappearTime = 0.0f;
    Matrix4x3 world;
    box->worldMatrix(world, 0.0, true);
    const float above[3] = {world.m[12], world.m[13] + VehicleMaster::kBoxParkDepth, world.m[14]};
    box->setPosition(above);
    box->invalidate();
    box->evaluate(0.0);
  }
}

void Race::spinBoxes() {
  for (SceneItem* box : m_boxes) {
    const float heading = std::fmod(box->rotation[0].evaluate(0.0) + kBoxSpin, kTwoPi);
    const float r[3] = {-box->rotation[1].evaluate(0.0), heading, -box->rotation[2].evaluate(0.0)};
    box->setRotation(r, false);
  }
}

void Race::runCountdown() {
  if (m_countdownState == kCountdownWaiting || m_countdownState == kCountdownRacing || !m_timer) return;
  const float now = m_timer->gameTime();
  const int c = static_cast<int>(std::floor(now - m_countdownStart));
  if (c < 0) return;
  if (c <= kGo) {
    for (int view = 0; view < m_viewCount; ++view) {
      if (m_hud) m_hud->setCountdownImage(view, kGo - c);
    }
    // Each second's sound once, on entering it; a second a long frame
    // skipped stays silent.
    if (m_countdownState <= c) {
      m_countdownState = c + 1;
      SoundBuffer* sound = c < kGo ? m_beepSound.get() : m_startSound.get();
      if (sound) sound->play(false);
    }
  }
  if (c >= kGo) {
    for (Vehicle* kart : m_karts) {
      if (kart) kart->m_net.m_active.set(true);
    }
    if (m_raceStart == 0.0f) m_raceStart = now;
    // Outside a network race no slot was received: the own record is view
    // 0's.
    const int own = m_config->m_playType == kPlayNetwork ? m_control.playerSlot() : m_viewKart[0];
    if (own >= 0 && own < Config::kPlayerCount)
      editRecord(m_config->m_player[own], [](ConfigPlayer& r) { r.raceReady[0] = r.raceReady[1] = 0; });
  }
  if (c > kGo) {
    for (int view = 0; view < m_viewCount; ++view) {
      if (m_hud) m_hud->hideCountdown(view);
    }
    m_countdownState = kCountdownRacing;
  }
}

void Race::updateProgressOrResults() {
  if (!m_raceOver) {
    updateRaceProgress();
    if (m_frame % kCatchUpEvery == 0 && m_config->m_playType != kPlayNetwork) adjustAiSpeeds();
    return;
  }
  if (!m_resultsShown && m_timer && m_timer->gameTime() - m_raceOverTime >= kResultsDelay) showResults();
}

void Race::updateRaceDisplays() {
  if (m_raceOver) return;
  updateHudDisplays();
  applyTrackLight();
}

void Race::refreshNetworkResults() {
  if (m_config->m_playType != kPlayNetwork || !m_hud) return;
  if (m_hud->lastManStandingResultVisible()) m_hud->refreshResultList();
  if (m_hud->raceResultVisible()) m_hud->refreshResultTimes();
  if (m_hud->championshipResultVisible()) m_hud->refreshResultRows();
}

void Race::updateKartVisuals() {
  const float time = static_cast<float>(m_simTime);
  for (Vehicle* kart : m_karts) {
    if (kart) kart->updateVisuals(time);
  }
}

void Race::endFrame() {
  const float now = m_timer ? m_timer->gameTime() : 0.0f;
  if (m_gui) m_gui->injectTimePulse(now);
  SoundDevice* device = m_renderContext && m_renderContext->soundDevice ? m_renderContext->soundDevice : m_sound;
  if (device) device->commit();
  ++m_frame;
  if (m_timer) m_timer->tick();
  m_control.update();
  // A sound announced is sent once; back to 0 (which peers ignore) so that
  // the same sound announced again is a change and reaches them again.
  for (Vehicle* kart : m_karts) {
    if (!kart || !kart->getMaster()) continue;
    kart->m_net.m_soundStart.set(0);
    kart->m_net.m_soundStop.set(0);
  }
}

void Race::checkConnection() {
  if (m_config->m_playType != kPlayNetwork || m_control.isConnected()) return;
  if (m_hud &&
      (m_hud->pauseDialogVisible() || m_hud->messageBoxVisible() || m_hud->lastManStandingResultVisible() ||
       m_hud->raceResultVisible() || m_hud->championshipStandingsVisible() || m_hud->championshipResultVisible()))
    return;
  if (m_hud) m_hud->showMessageBox(networkEndText(m_control.getState()));
  for (Vehicle* kart : m_karts) {
    if (kart) kart->m_net.m_active.set(false);
  }
}

void Race::checkStart(InputDevice& input) {
  // Space is taken only while it starts the race: afterwards it is the
  // name entry's.
  if (m_countdownState != kCountdownWaiting || !m_timer) return;
  const bool pressed = input.wasKeyPressed(DIK_SPACE);
  if (m_config->m_playType == kPlayNetwork) {
    if (pressed) {
      for (int i = 0; i < m_kartCount; ++i) {
        const int type = m_config->m_controlType[i];
        if (type == kControlUserSingle || type == kControlNetLocal || type == kControlAI)
          editRecord(m_config->m_player[i], [](ConfigPlayer& r) { r.raceReady[0] = 1; });
      }
      if (m_hud) m_hud->setWaitMessageText();
    }
    for (int i = 0; i < m_kartCount; ++i) {
      if (m_config->m_player[i].get().raceReady[0] == 0) return;
    }
  } else if (!pressed) {
    return;
  }
  m_countdownState = 0;
  m_timer->start();
  m_countdownStart = m_timer->gameTime();
  // A timer that ran before the start (resumed from a pause) has carried
  // the simulation ahead of the new clock, which would hold the karts
  // still for as long.
  m_simTime = 0.0;
  if (m_hud) {
    m_hud->hideWaitMessage();
    for (int view = 0; view < m_viewCount; ++view) m_hud->showCountdown(view);
  }
}

void Race::readRaceKeys(InputDevice& input) {
  if (m_raceOver) return;
  const bool network = m_config->m_playType == kPlayNetwork;
  // Each key is taken only where it acts: taking clears the byte, and a
  // key bound to driving would stop acting while held.
  if (!network && input.wasKeyPressed(DIK_P) && !(m_hud && m_hud->pauseDialogVisible()) && m_timer) {
    m_paused = !m_paused;
    if (m_paused) {
      m_timer->pause();
    } else {
      m_timer->resume();
    }
    setPaused(m_paused != 0);
  }
  if (input.wasKeyPressed(DIK_ESCAPE) && m_hud && !m_hud->pauseDialogVisible() && !m_hud->messageBoxVisible()) {
    m_hud->openPauseDialog();
    // Only a dialog can go on from it.
    if (!network) m_paused = 1;
  }
  auto respawn = [&](int view) {
    const int k = m_viewKart[view];
    Vehicle* kart = k >= 0 && k < kMaxKarts ? m_karts[k] : nullptr;
    if (!kart || !kart->getMaster()) return;
    kart->getMaster()->respawn();
    kart->m_net.m_cameraReset.set(true);
  };
  if (!keptToTheEnd(m_cameraMode[0]) && input.wasKeyPressed(DIK_BACK)) respawn(0);
  const bool split = m_viewCount == 2;
  if (split && !keptToTheEnd(m_cameraMode[1]) && input.wasKeyPressed(DIK_NUMPADENTER)) respawn(1);
  if (!keptToTheEnd(m_cameraMode[0]))
    m_cameraMode[0] = input.m_key[DIK_TAB] || input.getJoystickButton(kRearViewButton) ? kCameraRear : kCameraChase;
  if (split && !keptToTheEnd(m_cameraMode[1])) m_cameraMode[1] = input.m_key[DIK_NUMPAD0] ? kCameraRear : kCameraChase;
}

void Race::feedGui() {
  if (!m_gui) return;
  m_gui->injectMouse();
  // The GUI's keyboard takes every key byte: fed every frame, held driving
  // keys would act for one frame only.
  if (m_hud && m_hud->highscoreEntryVisible()) m_gui->injectKeyboard();
}
