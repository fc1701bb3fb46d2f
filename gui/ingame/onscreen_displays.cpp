#include "gui/ingame/onscreen_displays.h"

#include <CEGUI/CEGUI.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "foundation/report.h"
#include "foundation/timer.h"
#include "game/race/game_mode.h"
#include "game/race/play_type.h"
#include "game/saves/config.h"
#include "gui/gui.h"
#include "gui/ingame/text_displays.h"
#include "gui/text_table.h"
#include "gui/utf8_text.h"

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFFFF;
constexpr float kBand = hud_layout::kBandHeight;
// Laps the last-man-standing display counts to, and the lap-time entries
// each mode reads.
constexpr int kLastManStandingMaxLap = 19;
constexpr int kLastLapTime = 4;
constexpr float kNicknameSeconds = 2.0f;
constexpr float kWrongWaySeconds = 0.5f;

constexpr const char* kExtraImages[OnscreenDisplays::kExtraCodes] = {
    "Extra_None",    "Extra_Shield",  "Extra_Magnet", "Extra_Shrinker", "Extra_Froster", "Extra_Turbo", "Extra_Mine",
    "Extra_Rocket2", "Extra_Rocket1", "Extra_Oil",    "Extra_Weight",   "Extra_Soap",    "Extra_Flash"};
constexpr const char* kCountdownImages[4] = {"Count4", "Count3", "Count2", "Count1"};
constexpr const char* kMarkerImages[3] = {"Red", "Green", "Blue"};

// A display window: drawn, never in the way of the mouse.
CEGUI::Window* makeDisplay(CEGUI::Window* root, const char* kind, float x, float y, float width, float height) {
  CEGUI::Window* window = GuiHelper::createWindow(kind, x, y, width, height);
  window->setMousePassThroughEnabled(true);
  if (std::strcmp(kind, "BlackWindow") != 0) {
    window->setProperty("FrameEnabled", "false");
    window->setProperty("BackgroundEnabled", "false");
  }
  root->addChild(window);
  return window;
}

// A dark box with a text of the same size on top, both hidden.
void makeMessage(CEGUI::Window* root, float x, float y, float width, float height, const char* font,
                 CEGUI::Window*& box, CEGUI::Window*& text) {
  box = makeDisplay(root, "BlackWindow", x, y, width, height);
  box->setEnabled(false);
  box->setVisible(false);
  text = makeDisplay(root, "StaticText", x, y, width, height);
  GuiHelper::setTextColour(text, kWhite);
  text->setFont(font);
  GuiHelper::setFormatting(text, HorzText::Centred, VertText::Centred);
  text->setVisible(false);
}

void setVisible(CEGUI::Window* window, bool visible) {
  if (window) window->setVisible(visible);
}

// v + 1 without passing the int range (values come from peers).
int plusOne(int v) { return v == INT_MAX ? v : v + 1; }

// 0..1 as a colour byte; anything else is held to the ends (NaN: 0).
std::uint32_t colourByte(float v) {
  if (!(v > 0.0f)) return 0;
  return static_cast<std::uint32_t>(std::min(v, 1.0f) * 255.0f);
}

}  // namespace

OnscreenDisplays::OnscreenDisplays(Gui& gui, Config& config, std::unique_ptr<HudRace> race)
    : m_gui(gui),
      m_config(config),
      m_trackIndex(config.m_track.get()),
      m_viewCount(std::clamp(race->viewCount(), 1, kMaxViews)),
      m_minimapScale(config.m_playType == kPlaySplitScreen ? 0.5f : 0.7f),
      m_race(std::move(race)) {
  try {
    build();
  } catch (...) {
    release();
    throw;
  }
}

void OnscreenDisplays::build() {
  for (const char* imageset : {"Countdown", "Extras", "Minimap_Objects", "WrongDirection"})
    m_gui.loadImageset(CEGUI::String(imageset) + ".imageset");
  for (int code = 0; code < kExtraCodes; ++code)
    m_extraIconImages[code] = &CEGUI::ImageManager::getSingleton().get(CEGUI::String("Extras/") + kExtraImages[code]);
  m_minimapTrack = hud_layout::minimapTrack(m_trackIndex);
  if (m_minimapTrack) {
    try {
      m_gui.loadImageset(CEGUI::String(m_minimapTrack->imageset) + ".imageset");
      m_minimap = hud_layout::minimapLayout(*m_minimapTrack, m_minimapScale, m_viewCount);
    } catch (const CEGUI::Exception&) {
      reportError("The race goes without its minimap: \"%s.imageset\" cannot be read", m_minimapTrack->imageset);
      m_minimapTrack = nullptr;
    }
  }

  m_root = GuiHelper::createWindow("StaticImage", 0, 0, GuiHelper::kLayoutWidth, GuiHelper::kLayoutHeight,
                                   GuiHelper::kLayoutWidth, GuiHelper::kLayoutHeight, kRootName);
  m_root->setProperty("FrameEnabled", "false");
  m_root->setProperty("BackgroundEnabled", "false");
  m_root->setVisible(true);
  m_gui.context().setRootWindow(m_root);

  for (int p = 0; p < m_viewCount; ++p) buildOverlay(p);
  for (int p = 0; p < m_viewCount; ++p) buildView(p);
  buildMessageBox();
  buildTimeTrialResultsDialog();
  buildRankingDialog(m_cupRaceDialog, {750, 137, 275, true, false, false, &OnscreenDisplays::onChampionshipRaceOk});
  buildRankingDialog(m_standingsDialog,
                     {750, 137, 275, true, true, false, &OnscreenDisplays::onChampionshipStandingsOk});
  buildRankingDialog(m_lmsDialog, {640, 192.5f, 220, false, true, true, &OnscreenDisplays::onLastManStandingResultsOk});
  buildRankingDialog(m_raceDialog, {640, 219.5f, 220, false, true, false, &OnscreenDisplays::onRaceResultsOk});
  buildHighscoreEntryDialog();
  buildPauseDialog();

  const int kartCount = std::clamp(m_race->kartCount(), 0, kMaxKarts);
  for (int p = 0; p < m_viewCount; ++p) {
    View& v = m_views[p];
    if (m_minimapTrack) {
      v.minimap->setVisible(true);
      for (int k = 0; k < kartCount; ++k) v.markers[k]->setVisible(true);
    }
    v.extraIcon->setVisible(true);
    v.lapDisplay->setVisible(true);
    v.positionDisplay->setVisible(true);
    v.timePanel->setVisible(true);
    v.raceTimeDisplay->setVisible(true);
    v.lapTimeDisplay->setVisible(true);
    v.bestLapDisplay->setVisible(true);
  }
}

OnscreenDisplays::~OnscreenDisplays() { release(); }

void OnscreenDisplays::release() {
  for (View& v : m_views) {
    v.lapDisplay.reset();
    v.positionDisplay.reset();
    v.raceTimeDisplay.reset();
    v.lapTimeDisplay.reset();
    v.bestLapDisplay.reset();
  }
  CEGUI::WindowManager& windows = CEGUI::WindowManager::getSingleton();
  if (m_root && windows.isAlive(m_root)) {
    if (m_gui.context().getRootWindow() == m_root) m_gui.context().setRootWindow(nullptr);
    windows.destroyWindow(m_root);
  }
  m_root = nullptr;
  for (const char* imageset : {"Countdown", "Extras", "Minimap_Objects", "WrongDirection"})
    m_gui.unloadImageset(imageset);
  if (const hud_layout::MinimapTrack* track = hud_layout::minimapTrack(m_trackIndex))
    m_gui.unloadImageset(track->imageset);
}

void OnscreenDisplays::buildOverlay(int p) {
  View& v = m_views[p];
  const bool split = m_viewCount == 2;
  v.overlay =
      makeDisplay(m_root, "StaticImage", 0, split ? kBand * static_cast<float>(p) : 0.0f, 1024, split ? kBand : 768.0f);
  // The look draws the background as a plain brush tinted by its colours.
  v.overlay->setProperty("BackgroundEnabled", "true");
  v.overlay->setProperty("BackgroundColours", "tl:FFFFFFFF tr:FFFFFFFF bl:FFFFFFFF br:FFFFFFFF");
  v.overlay->setAlpha(1.0f);
  v.overlay->setEnabled(false);
  v.overlay->setVisible(false);
}

void OnscreenDisplays::buildView(int p) {
  View& v = m_views[p];
  const bool split = m_viewCount == 2;
  const float dy = split ? kBand * static_cast<float>(p) : 0.0f;

  const hud_layout::Rect count = hud_layout::countdownRect(m_viewCount, p);
  v.countdown = makeDisplay(m_root, "StaticImage", count.x, count.y, count.width, count.height);
  v.countdown->setEnabled(false);
  v.countdown->setVisible(false);
  v.lapPanel = makeDisplay(m_root, "BlackWindow", 135, dy + 30, 198, 83);
  v.lapPanel->setEnabled(false);
  v.timePanel = makeDisplay(m_root, "BlackWindow", 692, dy + 5, 328, 108);
  v.timePanel->setEnabled(false);
  v.extraIcon = makeDisplay(m_root, "StaticImage", 10, dy + 10, 120, 120);
  v.extraIcon->setVisible(false);
  v.lapDisplay = std::make_unique<LapDisplay>(m_root, text(1000), 150, dy + 40);
  v.positionDisplay = std::make_unique<PositionDisplay>(m_root, text(1001), 150, dy + 70);
  v.raceTimeDisplay = std::make_unique<TimeDisplay>(m_root, text(1002), 707, dy + 10);
  v.lapTimeDisplay = std::make_unique<TimeDisplay>(m_root, text(1000), 707, dy + 40);
  v.bestLapDisplay = std::make_unique<TimeDisplay>(m_root, text(1003), 707, dy + 70);

  buildMinimap(p);

  v.wrongDirection = split ? makeDisplay(m_root, "StaticImage", 416, dy + 96, 192, 192)
                           : makeDisplay(m_root, "StaticImage", 384, 256, 256, 256);
  GuiHelper::setImage(v.wrongDirection, "WrongDirection", "FullImage");
  v.wrongDirection->setVisible(false);

  const float messageY = split ? dy + 142 : 334.0f;
  makeMessage(m_root, 312, messageY, 400, 100, "VerdanaSmall", v.waitBox, v.waitText);
  GuiHelper::setText(v.waitText, text(9050));
  makeMessage(m_root, 312, messageY, 400, 100, "VerdanaSmall", v.nicknameBox, v.nicknameText);
  makeMessage(m_root, 372, split ? dy + 122 : 314.0f, 280, 140, "VerdanaLarge", v.pausedBox, v.pausedText);
  GuiHelper::setText(v.pausedText, text(2010));
}

void OnscreenDisplays::buildMinimap(int p) {
  View& v = m_views[p];
  const float side = 17.0f * m_minimapScale;
  if (m_minimapTrack) {
    v.minimap =
        makeDisplay(m_root, "StaticImage", m_minimap.left[p], m_minimap.top[p], m_minimap.width, m_minimap.height);
    GuiHelper::setImage(v.minimap, m_minimapTrack->imageset, "Minimap");
  } else {
    v.minimap = makeDisplay(m_root, "StaticImage", 0, 0, 0, 0);
  }
  v.minimap->setVisible(false);
  for (int i = 0; i < kMarkers; ++i) {
    v.markers[i] = makeDisplay(m_root, "StaticImage", 0, 0, side, side);
    GuiHelper::setImage(v.markers[i], "Minimap_Objects", i < kRocketMarkers ? "Red" : "Blue");
    v.markers[i]->setVisible(false);
  }
}

const CEGUI::String& OnscreenDisplays::text(int id) const {
  static const CEGUI::String kNoText;
  const TextTable* texts = m_race->texts();
  return texts ? texts->getText(id) : kNoText;
}

const ConfigPlayer& OnscreenDisplays::record(int k) const { return m_config.m_player[k].get(); }

void OnscreenDisplays::activateSheet() {
  if (m_gui.context().getRootWindow() != m_root) m_gui.context().setRootWindow(m_root);
}

// ---- elements -----------------------------------------------------------------

void OnscreenDisplays::showOverlay(int p, bool on) {
  if (validView(p)) m_views[p].overlay->setVisible(on);
}

void OnscreenDisplays::setOverlayColour(int p, float a, float b, float c, float alpha) {
  if (!validView(p)) return;
  View& v = m_views[p];
  const std::uint32_t colour = 0xFF000000u | colourByte(c) << 16 | colourByte(b) << 8 | colourByte(a);
  if (colour != v.overlayColour) {
    v.overlayColour = colour;
    char value[64];
    std::snprintf(value, sizeof value, "tl:%08X tr:%08X bl:%08X br:%08X", colour, colour, colour, colour);
    v.overlay->setProperty("BackgroundColours", value);
  }
  alpha = alpha > 0.0f ? std::min(alpha, 1.0f) : 0.0f;
  if (alpha != v.overlayAlpha) {
    v.overlayAlpha = alpha;
    v.overlay->setAlpha(alpha);
  }
}

void OnscreenDisplays::showCountdown(int p) {
  if (validView(p)) m_views[p].countdown->setVisible(true);
}

void OnscreenDisplays::hideCountdown(int p) {
  if (validView(p)) m_views[p].countdown->setVisible(false);
}

void OnscreenDisplays::setCountdownImage(int p, int step) {
  // The race asks every frame of the countdown; the picture changes once a second.
  if (!validView(p) || step < 0 || step >= 4 || m_views[p].countdownStep == step) return;
  m_views[p].countdownStep = step;
  GuiHelper::setImage(m_views[p].countdown, "Countdown", kCountdownImages[step]);
}

void OnscreenDisplays::updateExtraIcon(int p, int extraCode) {
  if (!validView(p) || extraCode < 0 || extraCode >= kExtraCodes) return;
  View& v = m_views[p];
  if (v.extraCode == extraCode) return;
  v.extraCode = extraCode;
  v.extraIcon->setProperty<CEGUI::Image*>("Image", const_cast<CEGUI::Image*>(m_extraIconImages[extraCode]));
}

void OnscreenDisplays::setMinimapMarkerColour(int p, int marker, int colour) {
  if (validView(p) && marker >= 0 && marker < kMarkers && colour >= 0 && colour < 3)
    GuiHelper::setImage(m_views[p].markers[marker], "Minimap_Objects", kMarkerImages[colour]);
}

void OnscreenDisplays::placeMinimapMarkers(int marker, float x, float z) {
  if (!m_minimapTrack || marker < 0 || marker >= kMarkers || !std::isfinite(x) || !std::isfinite(z)) return;
  for (int p = 0; p < m_viewCount; ++p) {
    View& v = m_views[p];
    if (!v.minimap->isVisible()) continue;
    float left, top;
    hud_layout::markerCorner(m_minimap, *m_minimapTrack, p, x, z, left, top);
    if (left == v.markerLeft[marker] && top == v.markerTop[marker]) continue;
    v.markerLeft[marker] = left;
    v.markerTop[marker] = top;
    v.markers[marker]->setPosition(CEGUI::UVector2(CEGUI::UDim(left / GuiHelper::kLayoutWidth, 0.0f),
                                                   CEGUI::UDim(top / GuiHelper::kLayoutHeight, 0.0f)));
  }
}

void OnscreenDisplays::showMinimapMarker(int marker) {
  if (!m_minimapTrack || marker < 0 || marker >= kMarkers) return;
  for (int p = 0; p < m_viewCount; ++p) m_views[p].markers[marker]->setVisible(true);
}

void OnscreenDisplays::hideMinimapMarker(int marker) {
  if (marker < 0 || marker >= kMarkers) return;
  for (int p = 0; p < m_viewCount; ++p) m_views[p].markers[marker]->setVisible(false);
}

void OnscreenDisplays::showWrongDirection(int p) {
  if (validView(p)) m_views[p].wrongDirection->setVisible(true);
}

void OnscreenDisplays::hideWrongDirection(int p) {
  if (validView(p)) m_views[p].wrongDirection->setVisible(false);
}

void OnscreenDisplays::showWaitMessage() {
  for (int p = 0; p < m_viewCount; ++p) setVisible(m_views[p].waitBox, true), setVisible(m_views[p].waitText, true);
}

void OnscreenDisplays::hideWaitMessage() {
  for (int p = 0; p < m_viewCount; ++p) setVisible(m_views[p].waitBox, false), setVisible(m_views[p].waitText, false);
}

void OnscreenDisplays::setWaitMessageText() {
  for (int p = 0; p < m_viewCount; ++p) GuiHelper::setText(m_views[p].waitText, text(9008));
}

void OnscreenDisplays::showPausedMessage() {
  for (int p = 0; p < m_viewCount; ++p) setVisible(m_views[p].pausedBox, true), setVisible(m_views[p].pausedText, true);
}

void OnscreenDisplays::hidePausedMessage() {
  for (int p = 0; p < m_viewCount; ++p)
    setVisible(m_views[p].pausedBox, false), setVisible(m_views[p].pausedText, false);
}

void OnscreenDisplays::showNicknameMessage(int p, const std::string& name) { showNicknameMessage(p, decodeUtf8(name)); }

void OnscreenDisplays::showNicknameMessage(int p, const CEGUI::String& name) {
  if (!validView(p)) return;
  static const CEGUI::String kNickname = "[NICKNAME]";
  CEGUI::String message = text(4030);
  const CEGUI::String::size_type at = message.find(kNickname);
  if (at != CEGUI::String::npos) message.replace(at, kNickname.length(), name);
  View& v = m_views[p];
  GuiHelper::setText(v.nicknameText, message);
  v.nicknameBox->setVisible(true);
  v.nicknameText->setVisible(true);
}

void OnscreenDisplays::hideNicknameMessage(int p) {
  if (!validView(p)) return;
  m_views[p].nicknameBox->setVisible(false);
  m_views[p].nicknameText->setVisible(false);
}

void OnscreenDisplays::setLapDisplay(int p, int lap, int lapCount, bool noLimit) {
  if (validView(p)) m_views[p].lapDisplay->setLap(lap, lapCount, noLimit);
}

void OnscreenDisplays::setPositionDisplay(int p, int position, int count) {
  if (!validView(p)) return;
  m_views[p].positionDisplay->setPosition(position);
  m_views[p].positionDisplay->setCount(count);
}

void OnscreenDisplays::setRaceTimeDisplay(int p, float seconds) {
  if (validView(p)) m_views[p].raceTimeDisplay->setTime(seconds);
}

void OnscreenDisplays::setLapTimeDisplay(int p, float seconds) {
  if (validView(p)) m_views[p].lapTimeDisplay->setTime(seconds);
}

void OnscreenDisplays::setBestLapDisplay(int p, float seconds) {
  if (validView(p)) m_views[p].bestLapDisplay->setTime(seconds);
}

bool OnscreenDisplays::playerEventMessageVisible(int p) const {
  return validView(p) && m_views[p].nicknameText->isVisible();
}

// ---- the per-frame refresh ------------------------------------------------------

void OnscreenDisplays::update() {
  HudRace& race = *m_race;
  if (race.countdownState() == -1)
    showWaitMessage();
  else
    hideWaitMessage();
  if (race.paused() && !pauseDialogVisible())
    showPausedMessage();
  else
    hidePausedMessage();

  const bool lastManStanding = m_config.m_game.get() == kModeLastManStanding;
  const int kartCount = std::clamp(race.kartCount(), 0, kMaxKarts);
  HudKart karts[kMaxKarts];
  bool present[kMaxKarts] = {};
  int finished = 0;
  for (int k = 0; k < kartCount; ++k) {
    present[k] = race.kart(k, karts[k]);
    if (present[k] && karts[k].finished) ++finished;
  }

  for (int p = 0; p < m_viewCount; ++p) {
    const int k = race.viewKart(p);
    if (k < 0 || k >= kartCount || !present[k]) continue;
    const HudKart& kart = karts[k];
    const ConfigPlayer& player = record(k);
    updateExtraIcon(p, kart.extra);
    const int lapTime = std::clamp(kart.lap, 0, lastManStanding ? kLastManStandingMaxLap : kLastLapTime);
    if (lastManStanding) {
      setLapDisplay(p, std::min(plusOne(kart.lap), kLastManStandingMaxLap), 0, true);
    } else {
      const int laps = m_config.m_laps.get();
      setLapDisplay(p, std::min(plusOne(kart.lap), laps), laps, false);
    }
    setLapTimeDisplay(p, player.lapTimes[lapTime]);
    setBestLapDisplay(p, player.bestLap);
    if (kart.finished)
      setPositionDisplay(p, plusOne(player.position), lastManStanding ? -1 : kartCount);
    else
      setPositionDisplay(p, plusOne(kart.rank), lastManStanding ? kartCount - finished : kartCount);
    setRaceTimeDisplay(p, kart.trackTime);
  }

  for (int k = 0; k < kartCount; ++k) {
    if (!present[k]) continue;
    placeMinimapMarkers(k, karts[k].x, karts[k].z);
    if (karts[k].extraRocket != 0.0f && karts[k].active) {
      showMinimapMarker(kRocketMarkers + k);
      placeMinimapMarkers(kRocketMarkers + k, karts[k].rocketX, karts[k].rocketZ);
    } else {
      hideMinimapMarker(kRocketMarkers + k);
    }
  }

  const float now = race.timer().gameTime();
  if (lastManStanding && !race.raceOver() && now - race.eliminationTime() > kNicknameSeconds)
    for (int p = 0; p < m_viewCount; ++p) hideNicknameMessage(p);

  for (int p = 0; p < m_viewCount; ++p) {
    float& shown = race.wrongWayTime(p);
    if (race.wrongWay(p)) {
      showWrongDirection(p);
      shown = now;
    } else if (now - shown >= kWrongWaySeconds) {
      hideWrongDirection(p);
    }
  }
}
