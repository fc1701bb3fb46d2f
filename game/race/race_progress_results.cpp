// The race's results: each finish written into its player record, the
// authority's estimated places for karts still racing at the end, the race
// end with its highscore hints and result dialog, and the computer drivers'
// catch-up toward the leading human.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "foundation/timer.h"
#include "game/kart/kart_surfaces.h"
#include "game/kart/vehicle_master.h"
#include "game/race/game_mode.h"
#include "game/race/play_type.h"
#include "game/race/race.h"
#include "game/race/race_factory.h"
#include "game/saves/config.h"
#include "game/saves/highscore_kind.h"
#include "game/track/track_numbers.h"
#include "net/net_control.h"

namespace {

// Points by finishing position.
constexpr std::int32_t kPoints[] = {10, 8, 6, 4, 3, 2, 1};

// Sector units of one lap on the position map.
constexpr float kLapUnits = 255.0f;

// The catch-up: how far from the leader (in sector units) a computer
// driver keeps its own limit, and where the pull is at its strongest.
constexpr std::int64_t kCatchUpFrom = 4;
constexpr std::int64_t kCatchUpFull = 12;
constexpr float kCatchUpStep = 0.125f;  // 1 / (kCatchUpFull - kCatchUpFrom)
constexpr float kTurboShareBehind = 0.7f;
constexpr float kShareAhead = 0.7f;
constexpr float kSlowGroundShare = 0.7f;
constexpr float kSlidingInertia = 3.0f;

// A kart's place along the race: laps of 256 units plus the newest sector.
std::int64_t raceProgress(const Vehicle& kart) {
  return static_cast<std::int64_t>(kart.m_net.m_lap.get()) * 256 + kart.m_sectorHistory[0];
}

}  // namespace

ConfigPlayer* Race::recordFinish(int kart) {
  if (!m_config || kart < 0 || kart >= kMaxKarts || !m_karts[kart]) return nullptr;
  m_control.update();
  const int finished = finishedCount();
  const int position = m_config->m_game.get() == kModeLastManStanding ? m_kartCount - finished : finished - 1;
  ConfigPlayer* record = m_config->m_player[kart].modify();
  record->position = position;
  record->raceTime = m_karts[kart]->m_net.m_trackTime.get();
  if (position >= 0 && position < static_cast<int>(std::size(kPoints))) record->racePoints = kPoints[position];
  record->totalTime += record->raceTime;
  record->totalPoints += record->racePoints;
  // The next race of a championship starts in this order.
  record->startPosition = position;
  return record;
}

void Race::computeRanking() {
  if (!m_config) return;
  const int count = std::clamp(m_kartCount, 0, kMaxKarts);
  std::vector<Vehicle*> unfinished;
  for (int i = 0; i < count; ++i) {
    Vehicle* kart = m_karts[i];
    if (kart && !kart->m_net.m_trackFinished.get()) unfinished.push_back(kart);
  }
  if (!unfinished.empty()) {
    if (m_config->m_game.get() == kModeLastManStanding)
      placeSurvivors(unfinished);
    else
      placeByEstimatedTimes(unfinished);
  }
  // Another machine ranks this one's karts by where it sees them, and went
  // on doing so while they drove past the end, when this machine no longer
  // counted their laps nor sent their ranks: a kart that crossed the line
  // then fell a lap behind there. The ranks held here go out once more, for
  // every machine's result dialog.
  for (int i = 0; i < count; ++i) {
    if (m_karts[i]) m_karts[i]->m_net.m_rank.modify();
  }
}

void Race::placeSurvivors(std::vector<Vehicle*>& survivors) {
  // Still in when the race ended: ahead of every kart already out, in the
  // order they were running, each with the time the race ended. The places
  // are handed out from the back, as drop-outs take theirs.
  std::stable_sort(survivors.begin(), survivors.end(),
                   [](const Vehicle* a, const Vehicle* b) { return a->m_net.m_rank.get() < b->m_net.m_rank.get(); });
  const bool ended = m_raceStart != 0.0f && m_raceOverTime >= m_raceStart;
  for (auto kart = survivors.rbegin(); kart != survivors.rend(); ++kart) {
    if (ended) (*kart)->m_net.m_trackTime.set(m_raceOverTime - m_raceStart);
    (*kart)->m_net.m_active.set(false);
    (*kart)->m_net.m_trackFinished.set(true);
    recordFinish((*kart)->index());
  }
}

void Race::placeByEstimatedTimes(std::vector<Vehicle*>& unfinished) {
  const int count = std::clamp(m_kartCount, 0, kMaxKarts);
  auto time = [](const Vehicle* kart) { return kart->m_net.m_trackTime.get(); };
  auto rest = [](const Vehicle* kart) { return kLapUnits - static_cast<float>(kart->m_sectorHistory[0]); };
  // The slowest finisher's time per sector unit carries each kart through
  // the laps it has left.
  Vehicle* slowest = m_karts[0];
  for (int i = 0; i < count; ++i) {
    Vehicle* kart = m_karts[i];
    if (kart && kart->m_net.m_trackFinished.get() && (!slowest || time(kart) > time(slowest))) slowest = kart;
  }
  const int laps = std::max(m_config->m_laps.get(), 1);
  const float slowestTime = slowest ? time(slowest) : 0.0f;
  const float s = slowestTime / (static_cast<float>(laps) * kLapUnits);
  for (Vehicle* kart : unfinished) {
    float t = slowestTime;
    // A received lap far below the grid's counts as the grid's.
    int lap = std::max(kart->m_net.m_lap.get(), -1);
    while (lap < laps - 1) {
      t += s * kLapUnits;
      kart->m_net.m_lap.set(++lap);
    }
    t += rest(kart) * s;
    kart->m_net.m_trackTime.set(t);
  }
  std::stable_sort(unfinished.begin(), unfinished.end(),
                   [&](const Vehicle* a, const Vehicle* b) { return time(a) < time(b); });
  for (Vehicle* kart : unfinished) {
    kart->m_net.m_active.set(false);
    kart->m_net.m_trackFinished.set(true);
    recordFinish(kart->index());
  }
}

void Race::adjustAiSpeeds() {
  if (!m_config || m_config->m_playType == kPlayNetwork) return;
  const int count = std::clamp(m_kartCount, 0, kMaxKarts);
  const Vehicle* leader = nullptr;
  for (int i = 0; i < count; ++i) {
    const Vehicle* kart = m_karts[i];
    if (!kart || m_config->m_controlType[i] == kControlAI) continue;
    if (!leader || kart->m_net.m_rank.get() < leader->m_net.m_rank.get()) leader = kart;
  }

  for (int i = 0; i < count; ++i) {
    if (!m_karts[i] || m_config->m_controlType[i] != kControlAI) continue;
    VehicleMaster* kart = m_karts[i]->getMaster();
    if (!kart) continue;
    const KartTuning& tuning = kart->tuning();
    KartDrive& drive = kart->m_drive;
    float base = tuning.maxSpeed;
    if (kart->m_status.turbo == 0.0f) {
      switch (kart->m_sensors.rayKind[KartSensors::kCentreRay]) {
        case kSurfaceRoad:
          drive.m_inertia = tuning.driftInertia;
          break;
        case kSurfaceSlidingGround:
          drive.m_inertia = tuning.driftInertia * kSlidingInertia;
          break;
        case kSurfaceSlowGround:
          base = tuning.maxSpeed * kSlowGroundShare;
          drive.m_inertia = tuning.driftInertia;
          break;
        default:
          break;
      }
    }
    Controller* controller = kart->controller();
    if (!leader || !controller || !controller->accelerate() || kart->getSpeed() <= 0.0f) continue;
    const std::int64_t ahead = raceProgress(*kart) - raceProgress(*leader);
    const std::int64_t gap = std::llabs(ahead);
    if (gap < kCatchUpFrom) {
      drive.m_speedLimit = tuning.maxSpeed;
      continue;
    }
    const float f = static_cast<float>(std::min(gap, kCatchUpFull) - kCatchUpFrom) * kCatchUpStep;
    if (ahead < 0) {
      const float target = (tuning.turboMaxSpeed * kTurboShareBehind - base) * f + base;
      drive.m_speedLimit = std::min(std::max(drive.m_speedLimit, target), tuning.turboMaxSpeed);
    } else {
      const float target = ((1.0f - f) * (1.0f - kShareAhead) + kShareAhead) * base;
      drive.m_speedLimit = std::min(drive.m_speedLimit, target);
    }
  }
}

void Race::showResults() {
  if (!m_config || m_resultsShown) return;
  if (m_isAuthority) computeRanking();
  if (m_hud) {
    m_hud->hidePausedMessage();
    for (int view = 0; view < m_viewCount && view < kMaxViews; ++view) m_hud->hideNicknameMessage(view);
  }

  Config& c = *m_config;
  const bool onePlayer = c.m_playType == kPlayOneLocal;
  if (onePlayer) {
    c.m_showHighscores = 1;
    c.m_highscoreMusic = 1;
  } else {
    c.m_showHighscores = c.m_highscoreMusic = 0;
    c.m_highscoreTrack = c.m_highscoreKind = 0;
  }
  // The table a one-player result may enter; the menu opens on it.
  auto pendingTable = [&](int kind, int track) {
    if (!onePlayer) return;
    c.m_highscoreKind = kind;
    c.m_highscoreClass = c.m_ccm.get();
    c.m_highscoreTrack = track;
  };
  const RaceDisplays* hud = m_hud.get();
  const bool nameEntry = hud && hud->highscoreEntryVisible();
  switch (c.m_game.get()) {
    case kModeTimeTrial:
      if (hud && (hud->timeTrialResultVisible() || nameEntry)) break;
      pendingTable(kTableTimeTrial, c.m_track.get());
      if (m_hud) m_hud->showTimeTrialResults();
      break;
    case kModeRace:
      if (hud && hud->raceResultVisible()) break;
      if (m_hud) m_hud->showRaceResults();
      break;
    case kModeLastManStanding:
      if (hud && (hud->lastManStandingResultVisible() || nameEntry)) break;
      pendingTable(kTableLastManStanding, c.m_track.get());
      if (m_hud) m_hud->showLastManStandingResults();
      break;
    case kModeChampionship:
      if (hud && (hud->championshipResultVisible() || hud->championshipStandingsVisible() || nameEntry)) break;
      // Only the last race of a cup enters the cup's table.
      if (c.m_track.get() == kFirstCupFinal) pendingTable(kTableCup1, 0);
      if (c.m_track.get() == kSecondCupFinal) pendingTable(kTableCup2, 0);
      if (m_hud) m_hud->showChampionshipResults();
      break;
    default:
      // No dialog to end it: the race ends itself, and leaves the network
      // game as every dialog that ends a race does.
      c.m_showHighscores = 0;
      m_leave = 1;
      m_control.leave();
      break;
  }
  m_resultsShown = 1;
}
