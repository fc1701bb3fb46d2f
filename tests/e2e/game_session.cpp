#include "tests/e2e/game_session.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "tools/sample_data/sample_look.h"
#include "tools/sample_data/screen_samples.h"

namespace fs = std::filesystem;

GameSession::GameSession(const fs::path& folder, const std::string& shots) : m_folder(folder), m_shots(shots) {
  fs::create_directories(m_folder / "runtime");
  fs::permissions(m_folder / "runtime", fs::perms::owner_all, fs::perm_options::replace);
  fs::copy_file(TESSALINE_SAMPLE_ARCHIVE, m_folder / "data.sar", fs::copy_options::overwrite_existing);
  fs::remove_all(m_shots);
}

std::map<std::string, std::string> GameSession::environment() const {
  return {{"DISPLAY", m_x->name()},
          {"XDG_RUNTIME_DIR", (m_folder / "runtime").string()},
          {"TESSALINE_LOG", (m_folder / "trace.txt").string()},
          {"TESSALINE_REGISTRY", (m_folder / "registry.ini").string()},
          {"TESSALINE_TEXTURE_CACHE", (m_folder / "cache").string()},
          {"SDL_AUDIODRIVER", "dummy"}};
}

bool GameSession::start() {
  m_x = std::make_unique<XSession>();
  if (!m_x->ok()) return false;
  m_game = std::make_unique<ChildProcess>(std::vector<std::string>{TESSALINE_BINARY}, environment(),
                                          std::vector<std::string>{}, m_folder.string());
  return m_game->started();
}

bool GameSession::expectScreen(const std::string& name, double seconds,
                               const std::function<bool(const Screenshot&)>& test, std::chrono::milliseconds interval) {
  m_last = m_x->waitFor(seconds, test, interval);
  XSession::save(m_last, m_shots, name);
  return m_last.width == XSession::kWidth && test(m_last);
}

void GameSession::keepScreen(const std::string& name) { XSession::save(m_x->capture(), m_shots, name); }

std::string GameSession::traceText() const {
  std::ifstream in(m_folder / "trace.txt");
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> GameSession::loopTraces() const {
  std::vector<std::string> lines;
  std::ifstream in(m_folder / "trace.txt");
  for (std::string line; std::getline(in, line);)
    if (line.rfind("entering ", 0) == 0) lines.push_back(line);
  return lines;
}

namespace screens {

namespace {

int channel(std::uint32_t rgb, int shift) { return static_cast<int>((rgb >> shift) & 0xFF); }

// Within `tolerance` of `expected` in every channel.
auto near(std::uint32_t expected, int tolerance) {
  return [expected, tolerance](std::uint32_t rgb) {
    for (int shift : {0, 8, 16})
      if (std::abs(channel(rgb, shift) - channel(expected, shift)) > tolerance) return false;
    return true;
  };
}

// The colours the sample data draws with; the game's gamma ramp lifts
// them a little on the screen. The loading bar's groove and the highscores'
// panel are drawn into their pictures.
constexpr std::uint32_t kDialogClient = sample_look::kFrameClient;
constexpr std::uint32_t kEditBox = sample_look::kEditBox;
constexpr std::uint32_t kBarGroove = 0x0A1020;
constexpr std::uint32_t kHighscoresPanel = 0x0A1628;
constexpr int kTolerance = 32;

bool orange(std::uint32_t rgb) { return channel(rgb, 16) > 180 && channel(rgb, 8) > 70 && channel(rgb, 0) < 90; }
bool sky(std::uint32_t rgb) { return channel(rgb, 0) > 180 && channel(rgb, 0) > channel(rgb, 16) + 60; }
// The ring's sand-swept paving and the sand beside it.
bool sandy(std::uint32_t rgb) {
  const int r = channel(rgb, 16), g = channel(rgb, 8), b = channel(rgb, 0);
  return r > 130 && r >= g && g > b && r - b > 35;
}
bool brownish(std::uint32_t rgb) {
  const int r = channel(rgb, 16), g = channel(rgb, 8), b = channel(rgb, 0);
  return r > 150 && g > 80 && g < 170 && b < 110 && r - g > 40;
}
bool light(std::uint32_t rgb) { return channel(rgb, 16) > 150 && channel(rgb, 8) > 150 && channel(rgb, 0) > 150; }
bool greenish(std::uint32_t rgb) {
  return channel(rgb, 8) > channel(rgb, 16) + 40 && channel(rgb, 8) > channel(rgb, 0) + 30;
}

// A dialog frame whose client area covers (x, y, w, h).
bool dialogAt(const Screenshot& s, int x, int y, int w, int h) {
  return s.share(x + 12, y + 12, w - 24, 14, near(kDialogClient, kTolerance)) > 0.9 &&
         s.share(x + 12, y + 12, 14, h - 24, near(kDialogClient, kTolerance)) > 0.9;
}

}  // namespace

bool mainMenu(const Screenshot& s) { return s.share(15 + 30, 623 + 30, 135 - 60, 130 - 60, reddish) > 0.5; }

bool quitDialog(const Screenshot& s) { return s.share(262 + 20, 184 + 20, 500 - 40, 30, greyish) > 0.8; }

bool exitScreen(const Screenshot& s) {
  // The sample branding: a dark picture with one link button, placed in
  // the 800 x 600 layout.
  const int x = SampleBrandingButton::kX * 1024 / 800, y = SampleBrandingButton::kY * 768 / 600;
  const int w = SampleBrandingButton::kWidth * 1024 / 800, h = SampleBrandingButton::kHeight * 768 / 600;
  return s.share(x + 10, y + 10, w - 20, h - 20, reddish) > 0.8 && s.share(40, 40, 300, 200, dark) > 0.95;
}

bool selectionScreen(const Screenshot& s) {
  return s.share(873 + 30, 623 + 30, 135 - 60, 130 - 60, greenish) > 0.4 && !mainMenu(s);
}

bool loading(const Screenshot& s, double share) {
  // The bar's first pixels, or as much of it as `share` asks.
  const int filled = std::max(20, static_cast<int>(860 * share) - 6);
  return s.share(77, 674, 3, 33, near(kBarGroove, kTolerance)) > 0.9 && s.share(83, 680, filled, 21, orange) > 0.9;
}

bool race(const Screenshot& s) {
  // Between the two display boxes at the top; the ground the kart stands
  // on in both bottom corners beside it.
  return s.share(345, 2, 340, 24, sky) > 0.8 && s.share(0, 690, 300, 70, sandy) > 0.8 &&
         s.share(724, 690, 300, 70, sandy) > 0.8;
}

bool timeTrialResults(const Screenshot& s, int laps) {
  if (!dialogAt(s, 262, 154, 500, 460)) return false;
  // Rows of 35 pixels from y 125 of the dialog: the laps, then the total;
  // the rows below them hold nothing.
  auto rowEmpty = [&](int row) {
    return s.share(262 + 35, 154 + 125 + 35 * row, 430, 30, near(kDialogClient, kTolerance)) > 0.98;
  };
  for (int row = 0; row <= laps; ++row)
    if (rowEmpty(row)) return false;
  for (int row = laps + 1; row < 6; ++row)
    if (!rowEmpty(row)) return false;
  return true;
}

bool nameEntry(const Screenshot& s) {
  return dialogAt(s, 263, 184, 500, 400) && s.share(275, 160, 480, 14, near(kDialogClient, kTolerance)) < 0.2;
}

// The box's left part, where a short name stands in light letters; an
// empty box shows only its caret at the left edge.
bool nameBoxEmpty(const Screenshot& s) {
  return nameEntry(s) && s.share(303, 420, 200, 38, near(kEditBox, kTolerance)) > 0.995;
}

bool nameBoxFilled(const Screenshot& s) { return nameEntry(s) && s.share(297, 420, 200, 38, light) > 0.03; }

bool highscores(const Screenshot& s) {
  // The table's header band on its dark panel; the back button below it.
  return s.share(80, 186, 860, 34, near(kHighscoresPanel, kTolerance)) > 0.7 &&
         s.share(40, 648, 85, 80, brownish) > 0.4;
}

bool hostOrJoin(const Screenshot& s, bool typed) {
  const bool box = s.share(576, 396, 292, 42, near(kEditBox, kTolerance)) > (typed ? 0.6 : 0.97);
  const bool text = s.share(576, 396, 120, 42, light) > 0.03;
  return box && text == typed && s.share(40, 648, 85, 80, brownish) > 0.4;
}

namespace {

// Lobby rows of 28 pixels from y 480: name, character, kart, ready icon.
bool lobbyRowFilled(const Screenshot& s, int row) { return s.share(170, 480 + 28 * row, 260, 26, light) > 0.004; }

}  // namespace

bool lobby(const Screenshot& s, int players) {
  // The fifth row crosses the panel's light border: four are looked at.
  for (int row = 0; row < 4; ++row)
    if (lobbyRowFilled(s, row) != (row < players)) return false;
  return s.share(40, 648, 85, 80, brownish) > 0.4;
}

bool lobbyReady(const Screenshot& s, int row) { return s.share(822, 482 + 28 * row, 22, 22, greenish) > 0.3; }

bool lobbyStartEnabled(const Screenshot& s) { return s.share(873 + 30, 623 + 30, 135 - 60, 130 - 60, greenish) > 0.4; }

namespace {

// The result dialog's frame, and its rows of 35 pixels from y 125.
constexpr int kResultsX = 220, kResultsY = 104;
int resultRowY(int row) { return kResultsY + 125 + 35 * row; }

}  // namespace

bool raceResults(const Screenshot& s) {
  if (!dialogAt(s, kResultsX, kResultsY, 640, 560)) return false;
  for (int row = 1; row <= 6; ++row)
    if (s.share(kResultsX + 210, resultRowY(row), 240, 30, dark) < 0.02) return false;
  return true;
}

double resultOrderDifference(const Screenshot& a, const Screenshot& b) {
  if (a.width != b.width || a.height != b.height || a.width == 0) return 1.0;
  int differ = 0, count = 0;
  for (int y = resultRowY(1); y < resultRowY(7); ++y)
    for (int x = kResultsX + 45; x < kResultsX + 450; ++x, ++count)
      if (a.at(x, y) != b.at(x, y)) ++differ;
  return static_cast<double>(differ) / count;
}

}  // namespace screens
