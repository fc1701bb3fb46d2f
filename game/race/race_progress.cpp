// Race progress: where each kart is along the lap, its ranks, laps and lap
// times, the finish, the wrong-way warning and, in last man standing, who
// drops out. The race end and the computer drivers' catch-up are in
// race_progress_results.cpp.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/timer.h"
#include "game/kart/kart_extras.h"
#include "game/kart/vehicle_master.h"
#include "game/race/game_mode.h"
#include "game/race/race.h"
#include "game/race/race_factory.h"
#include "game/saves/config.h"
#include "game/track/track_maps.h"
#include "scene/scene_item.h"

namespace {

// Sector groups: a position-map value / 16. A full mask is a lap.
constexpr std::uint32_t kFullMask = 0xFFFF;
constexpr int kLastGroup = 15;
// A kart that has read a group up to this one has begun its new lap.
constexpr int kLastStartingGroup = 7;
// The sector history of a kart that has just counted a lap.
constexpr std::int32_t kFinishLineSector = 1;
// Lap-time slots a lap may write: the record holds 21; a race of laps uses
// the first five.
constexpr int kLastLapSlot = 20;
constexpr int kLastRaceLapSlot = 4;
// A finish or a win holds the driver's motion for the rest of the race.
constexpr float kFinishHold = 1000.0f;
// Where a kart out of the race is put.
constexpr Position3 kOutOfRace{-1000.0f, 0.0f, -1000.0f};

float gameNow(const Race& race) { return race.m_timer ? race.m_timer->gameTime() : 0.0f; }

void placeItem(SceneItem* item, const Position3& at) {
  if (!item) return;
  const float p[3] = {at.x, at.y, at.z};
  item->setPosition(p);
  item->invalidate();
}

// A lap index as the kart's lap-time slot: a negative (not yet started, or
// received out of range) lap times slot 0, and no lap writes past the slots
// its mode uses.
int lapSlot(int lap, int game) {
  const int last = game == kModeLastManStanding ? kLastLapSlot : kLastRaceLapSlot;
  return std::clamp(lap, 0, last);
}

std::string recordName(const ConfigPlayer& record) {
  return std::string(record.name, strnlen(record.name, sizeof record.name));
}

}  // namespace

void Race::updateSectorMask(Vehicle& kart) {
  const int g0 = kart.m_sectorHistory[0] / 16;
  const int g1 = kart.m_sectorHistory[1] / 16;
  if (g0 == g1) return;
  // Passing the line's seam either way marks nothing: the line itself does.
  if ((g0 == kLastGroup && g1 == 0) || (g0 == 0 && g1 == kLastGroup)) return;
  const int from = std::min(g0, g1) + 1, to = std::max(g0, g1);
  std::uint32_t bits = 0;
  for (int g = from; g <= to && g <= kLastGroup; ++g) {
    if (g >= 0) bits |= 1u << g;
  }
  if (g0 > g1)
    kart.m_sectorMask |= bits;
  else
    kart.m_sectorMask &= ~bits;
}

void Race::updateRanks() {
  const int count = std::clamp(m_kartCount, 0, kMaxKarts);
  if (m_countdownState != kCountdownRacing) {
    for (int i = 0; i < count; ++i) {
      if (!m_karts[i] || !m_config) continue;
      *m_karts[i]->m_net.m_rank.modify() = m_config->m_player[i].get().startPosition;
    }
    return;
  }
  // A kart that finished its last lap stands on the line: the machine that
  // counts its laps starts its sectors afresh there, while another machine
  // stops following it wherever it saw it last, which would rank it ahead
  // of that machine's own finishers. From the line on every machine, the
  // finishers keep the order they finished in everywhere.
  const bool byLaps = m_config && m_config->m_game.get() != kModeLastManStanding;
  // A received lap times 256 leaves 32 bits: the keys take 64.
  auto key = [byLaps](const Vehicle& kart) -> std::int64_t {
    const int lap = kart.m_net.m_lap.get();
    if (lap < 0) return -1;
    const int sector = byLaps && kart.m_net.m_trackFinished.get() ? kFinishLineSector : kart.m_sectorHistory[0];
    return static_cast<std::int64_t>(lap) * 256 + sector;
  };
  std::vector<Vehicle*> order;
  for (int i = 0; i < count; ++i) {
    Vehicle* kart = m_karts[i];
    if (!kart) continue;
    const std::int64_t k = key(*kart);
    const int previous = kart->m_net.m_rank.get();
    auto place = order.begin();
    while (place != order.end()) {
      const std::int64_t other = key(**place);
      if (k > other || (k == other && previous <= (*place)->m_net.m_rank.get())) break;
      ++place;
    }
    order.insert(place, kart);
  }
  for (std::size_t r = 0; r < order.size(); ++r) *order[r]->m_net.m_rank.modify() = static_cast<int>(r);
}

bool Race::checkWrongWay(int view) {
  if (view < 0 || view >= kMaxViews) return false;
  const int k = m_viewKart[view];
  if (k < 0 || k >= kMaxKarts || !m_karts[k]) return false;
  Vehicle& kart = *m_karts[k];
  if (kart.m_net.m_trackFinished.get() || !kart.m_net.m_active.get()) return false;
  std::int32_t* h = kart.m_sectorHistory;
  if (!(h[0] < h[1] && h[1] < h[2] && h[2] < h[3])) return false;
  // Shown once per four sectors driven backwards.
  h[1] = h[2] = h[3] = h[0];
  return true;
}

int Race::lastRankedActiveKart() {
  int found = -1;
  const int count = std::clamp(m_kartCount, 0, kMaxKarts);
  for (int i = 0; i < count; ++i) {
    Vehicle* kart = m_karts[i];
    if (!kart || !kart->m_net.m_active.get()) continue;
    if (found < 0 || kart->m_net.m_rank.get() > m_karts[found]->m_net.m_rank.get()) found = i;
  }
  return found < 0 ? 0 : found;
}

int Race::finishedCount() {
  int finished = 0;
  const int count = std::clamp(m_kartCount, 0, kMaxKarts);
  for (int i = 0; i < count; ++i) {
    if (m_karts[i] && m_karts[i]->m_net.m_trackFinished.get()) ++finished;
  }
  return finished;
}

namespace {

// The steps of one kart's progress in one frame, on a race whose settings
// are loaded.
class KartProgress {
 public:
  KartProgress(Race& race, int index)
      : m_race(race),
        m_index(index),
        m_kart(*race.m_karts[index]),
        m_record(race.m_config->m_player[index]),
        m_game(race.m_config->m_game.get()),
        m_now(gameNow(race)) {}

  void run() {
    followPositionMap();
    m_race.updateSectorMask(m_kart);
    // Another machine's record keeps its times and laps as received.
    if (m_record.getFlags() & kNetSendChanges) {
      const int slot = lapSlot(m_kart.m_net.m_lap.get(), m_game);
      recordTimes(slot);
      countLap(slot);
    }
    if (m_kart.m_lineTouched) {
      m_kart.m_lineTouched = 0;
      m_kart.m_sectorMask = 0;
    }
  }

 private:
  void followPositionMap() {
    Position3 at;
    m_kart.getPosition(at);
    const int v = m_race.m_positionMap ? m_race.m_positionMap->valueAt(at) : 0;
    std::int32_t* h = m_kart.m_sectorHistory;
    if (v == 0 || v == h[0]) return;
    if (m_kart.m_awaitingLapStart) {
      // Counted on the line, short of where the map starts the lap: the
      // last stretch is still the lap just completed, and read as the new
      // one it would rank the kart almost a lap ahead.
      if (v / 16 == kLastGroup) return;
      if (v / 16 <= kLastStartingGroup) m_kart.m_awaitingLapStart = 0;
    }
    h[3] = h[2];
    h[2] = h[1];
    h[1] = h[0];
    h[0] = v;
  }

  void recordTimes(int slot) {
    ConfigPlayer record = m_record.get();
    const float raceStart = m_race.m_raceStart;
    if (raceStart == 0.0f) {
      m_kart.m_net.m_trackTime.set(0.0f);
      record.lapTimes[slot] = 0.0f;
    } else {
      m_kart.m_net.m_trackTime.set(m_now - raceStart);
      if (m_kart.m_net.m_lap.get() < 0)
        record.lapTimes[0] = m_now - raceStart;
      else
        record.lapTimes[slot] = m_now - m_race.m_lapStart[m_index] - raceStart;
    }
    m_record.set(record);
  }

  void countLap(int slot) {
    if (m_kart.m_sectorMask != kFullMask || !m_kart.m_lineTouched) return;
    ConfigPlayer record = m_record.get();
    const float t = record.lapTimes[slot];
    const int lap = std::max(m_kart.m_net.m_lap.get(), -1);
    float& lapStart = m_race.m_lapStart[m_index];
    lapStart = lap < 0 ? 0.0f : lapStart + t;
    const int newLap = lap == INT_MAX ? lap : lap + 1;
    m_kart.m_net.m_lap.set(newLap);
    if (newLap > 0) {
      if (record.bestLap == 0.0f || t < record.bestLap) record.bestLap = t;
      m_record.set(record);
    }
    if (m_game == kModeLastManStanding)
      eliminateLast(newLap);
    else
      finishAfterLastLap(newLap);
    for (std::int32_t& h : m_kart.m_sectorHistory) h = kFinishLineSector;
    m_kart.m_awaitingLapStart = 1;
  }

  // The second-to-last kart still racing completes a lap: the last one
  // drops out (the frame's elimination step carries it out).
  void eliminateLast(int newLap) {
    if (newLap <= 0) return;
    if (m_kart.m_net.m_rank.get() != m_race.m_kartCount - m_race.finishedCount() - 2) return;
    Vehicle* last = m_race.m_karts[m_race.lastRankedActiveKart()];
    if (last) last->m_net.m_active.set(false);
  }

  void finishAfterLastLap(int newLap) {
    if (newLap < std::max(m_race.m_config->m_laps.get(), 1)) return;
    m_kart.m_net.m_active.set(false);
    m_kart.m_net.m_trackFinished.set(true);
    if (m_race.m_config->m_controlType[m_index] != kControlRemote) m_race.recordFinish(m_index);
    VehicleMaster* master = m_kart.getMaster();
    if (!master) return;
    const bool won = m_record.get().position == 0;
    const int motion = m_kart.m_motions.m_driverIndex[won ? KartMotions::kWinner : KartMotions::kLoser];
    master->requestEventMotion(motion, master->m_animation.bodyMotion, kFinishHold);
    for (int view = 0; view < m_race.m_viewCount && view < Race::kMaxViews; ++view) {
      if (m_race.m_viewKart[view] == m_index) m_race.m_cameraMode[view] = Race::kCameraFinish;
    }
  }

  Race& m_race;
  int m_index;
  Vehicle& m_kart;
  NetValue<ConfigPlayer>& m_record;
  int m_game;
  float m_now;
};

// Takes a simulated kart off the track for the rest of the race: its
// items, its replicated position and its weapons out of everyone's way.
void parkOutOfRace(Scene* scene, VehicleMaster& kart) {
  const int instance = kart.index() + 1;
  if (scene) {
    placeItem(findKartItem(*scene, "col", -1, instance), kOutOfRace);
    placeItem(findKartItem(*scene, "Vehicle", -1, instance), kOutOfRace);
  }
  kart.m_drive.m_pos = kart.m_drive.m_target = kOutOfRace;
  kart.m_net.m_netColPos.set(kOutOfRace);
  kart.m_net.m_netPos.set(kOutOfRace);
  Matrix4x3 at = g_affineIdentity;
  at.m[12] = kOutOfRace.x;
  at.m[13] = kOutOfRace.y;
  at.m[14] = kOutOfRace.z;
  kart.setKartMatrix(at);
  kart.m_net.m_rocketPos.set(kParked);
  kart.m_net.m_effectMagnetPos.set(kParked);
  KartItems& items = kart.m_items;
  for (SceneItem* rocket : items.rockets) placeItem(rocket, kParked);
  placeItem(items.magnet, kParked);
  if (SceneItem* shadow = items.shadow) {
    shadow->localMode = 0;
    placeItem(shadow, kParked);
    Matrix4x3 world;
    shadow->worldMatrix(world, 0.0, true);
    kart.m_net.m_netShadowMatrix.set(world);
  }
}

}  // namespace

void Race::updateRaceProgress() {
  if (!m_config) return;
  const int count = std::clamp(m_kartCount, 0, kMaxKarts);
  const int game = m_config->m_game.get();
  updateRanks();

  if (game == kModeLastManStanding && m_kartCount - finishedCount() < 2) {
    const bool eventShown = m_hud && (m_hud->playerEventMessageVisible(0) || m_hud->playerEventMessageVisible(1));
    if (!eventShown) {
      for (int i = 0; i < count; ++i) {
        if (m_karts[i]) m_karts[i]->m_net.m_active.set(false);
      }
    }
  }

  bool over = true;
  for (int i = 0; i < count; ++i) {
    if (m_karts[i] && m_config->m_controlType[i] != kControlAI && !m_karts[i]->m_net.m_trackFinished.get())
      over = false;
  }
  if (over) {
    m_raceOver = 1;
    m_raceOverTime = gameNow(*this);
    return;
  }

  for (int i = 0; i < count; ++i) {
    Vehicle* kart = m_karts[i];
    if (!kart || kart->m_net.m_trackFinished.get() || !kart->m_net.m_active.get()) continue;
    KartProgress(*this, i).run();
  }

  for (int view = 0; view < m_viewCount && view < kMaxViews; ++view) m_wrongWay[view] = checkWrongWay(view) ? 1 : 0;

  if (game != kModeLastManStanding || m_countdownState != kCountdownRacing) return;
  for (int i = 0; i < count; ++i) {
    Vehicle* kart = m_karts[i];
    if (!kart || kart->m_net.m_active.get() || kart->m_eliminationDone) continue;
    kart->m_eliminationDone = 1;
    for (int view = 0; view < m_viewCount && view < kMaxViews; ++view) {
      if (m_viewKart[view] == i) m_cameraMode[view] = kCameraStandStill;
    }
    VehicleMaster* master = kart->getMaster();
    if (master) parkOutOfRace(m_scene, *master);
    if (m_hud) m_hud->hideMinimapMarker(i);
    kart->m_net.m_trackFinished.set(true);
    if (m_config->m_controlType[i] != kControlRemote) {
      const ConfigPlayer* record = recordFinish(i);
      if (master && record) {
        const int driver = record->position == 0 ? kart->m_motions.m_driverIndex[KartMotions::kWinner]
                                                 : master->m_animation.driverMotion;
        master->requestEventMotion(driver, master->m_animation.bodyMotion, kFinishHold);
        for (int view = 0; view < m_viewCount && view < kMaxViews; ++view) {
          if (m_viewKart[view] == i) m_cameraMode[view] = kCameraFinish;
        }
      }
    }
    if (kart->m_net.m_rank.get() != 0 && m_hud) {
      const std::string name = recordName(m_config->m_player[i].get());
      for (int view = 0; view < m_viewCount && view < kMaxViews; ++view) m_hud->showNicknameMessage(view, name);
    }
    m_eliminationTime = gameNow(*this);
  }
}
