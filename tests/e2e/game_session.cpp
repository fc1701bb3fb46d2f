#include "tests/e2e/game_session.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "platform/input/key_codes.h"
#include "tools/sample_data/picture_imageset.h"
#include "tools/sample_data/sample_look.h"
#include "tools/sample_data/screen_samples.h"
#include "tools/sample_data/track_samples.h"

namespace fs = std::filesystem;
using Wall = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

// The most one step may take: with every core busy a race frame of the
// game under the sanitizers may take a second or more.
constexpr auto kStepTime = 90s;
// Pointer moves until the game's cursor stands on the target.
constexpr int kPointTries = 8;

// The game's key code of a key named as X names it: through the USB usage
// SDL reports for it and the game's own translation.
int dikOf(const std::string& key) {
  int usage = 0;
  if (key.size() == 1 && key[0] >= 'a' && key[0] <= 'z') usage = 4 + (key[0] - 'a');
  if (key.size() == 1 && key[0] >= '1' && key[0] <= '9') usage = 30 + (key[0] - '1');
  if (key == "0") usage = 39;
  if (key == "Return") usage = 40;
  if (key == "Escape") usage = 41;
  if (key == "BackSpace") usage = 42;
  if (key == "Tab") usage = 43;
  if (key == "space") usage = 44;
  if (key == "period") usage = 55;
  if (key == "Shift_L") usage = 225;
  return usage ? keyCodesForScancode(usage).dik : -1;
}

std::string at(Point p) { return "(" + std::to_string(p.x) + ", " + std::to_string(p.y) + ")"; }

}  // namespace

bool ProbeLine::holds(int key) const { return std::find(keys.begin(), keys.end(), key) != keys.end(); }

bool ProbeLine::readDownAfter(int key, std::uint64_t after) const {
  const auto found = lastDown.find(key);
  return found != lastDown.end() && found->second > after;
}

std::string ProbeLine::describe() const {
  std::string text = "pass " + std::to_string(pass) + ", cursor " + at({x, y}) + (buttons[0] ? ", button down" : "");
  for (int key : keys) text += ", key " + std::to_string(key) + " down";
  return text;
}

std::optional<ProbeLine> ProbeLine::parse(const std::string& text) {
  std::istringstream in(text);
  ProbeLine p;
  std::string names[4];
  int b[3] = {};
  if (!(in >> names[0] >> p.pass >> names[1] >> p.x >> p.y >> names[2] >> b[0] >> b[1] >> b[2] >> names[3]))
    return std::nullopt;
  if (names[0] != "pass" || names[1] != "cursor" || names[2] != "buttons" || names[3] != "keys") return std::nullopt;
  for (int i = 0; i < 3; ++i) p.buttons[i] = b[i] != 0;
  std::string word;
  while (in >> word && word != "last") p.keys.push_back(std::atoi(word.c_str()));
  if (word != "last") return std::nullopt;
  for (std::string entry; in >> entry;) {
    const std::size_t colon = entry.find(':');
    if (colon == std::string::npos) return std::nullopt;
    p.lastDown[std::atoi(entry.c_str())] = std::strtoull(entry.c_str() + colon + 1, nullptr, 10);
  }
  return p;
}

GameSession::GameSession(const fs::path& folder, const std::string& shots) : m_folder(folder), m_shots(shots) {
  fs::create_directories(m_folder / "runtime");
  fs::permissions(m_folder / "runtime", fs::perms::owner_all, fs::perm_options::replace);
  fs::copy_file(TESSALINE_TEST_RING_ARCHIVE, m_folder / "data.sar", fs::copy_options::overwrite_existing);
  fs::remove_all(m_shots);
}

std::map<std::string, std::string> GameSession::environment() const {
  return {{"DISPLAY", m_x->name()},
          {"XDG_RUNTIME_DIR", (m_folder / "runtime").string()},
          {"TESSALINE_LOG", (m_folder / "trace.txt").string()},
          {"TESSALINE_INPUT_PROBE", (m_folder / "probe.txt").string()},
          {"TESSALINE_REGISTRY", (m_folder / "registry.ini").string()},
          {"TESSALINE_TEXTURE_CACHE", (m_folder / "cache").string()},
          {"SDL_AUDIODRIVER", "dummy"}};
}

bool GameSession::start(int screenWidth, int screenHeight) {
  m_x = std::make_unique<XSession>(screenWidth, screenHeight);
  if (!m_x->ok()) return false;
  m_game = std::make_unique<ChildProcess>(std::vector<std::string>{TESSALINE_BINARY}, environment(),
                                          std::vector<std::string>{}, m_folder.string());
  return m_game->started();
}

bool GameSession::expectScreen(const std::string& name, double seconds, const ScreenTest& test,
                               std::chrono::milliseconds interval) {
  m_last = m_x->waitFor(seconds, test, interval);
  XSession::save(m_last, m_shots, name);
  return m_last.width == m_x->width() && test(m_last);
}

void GameSession::keepScreen(const std::string& name) { XSession::save(m_x->capture(), m_shots, name); }

bool GameSession::fail(const std::string& what) {
  keepScreen("failure");
  m_failure = what + " (the game went from pass " + std::to_string(m_waitedFrom) + " to " +
              (m_probe ? m_probe->describe() : std::string("no pass")) + " in the last wait; the screen is " + m_shots +
              "/failure.png)";
  return false;
}

std::optional<ProbeLine> GameSession::readProbe() {
  std::ifstream in(m_folder / "probe.txt");
  std::string line;
  if (!std::getline(in, line)) return std::nullopt;
  if (auto p = ProbeLine::parse(line)) m_probe = p;
  return m_probe;
}

bool GameSession::waitProbe(const std::function<bool(const ProbeLine&)>& done) {
  const auto end = Wall::now() + kStepTime;
  m_waitedFrom = m_probe ? m_probe->pass : 0;
  for (;;) {
    if (const auto p = readProbe(); p && done(*p)) return true;
    if (Wall::now() >= end || m_game->wait(0ms)) return false;
    std::this_thread::sleep_for(5ms);
  }
}

std::optional<ProbeLine> GameSession::probe() {
  if (!waitProbe([](const ProbeLine&) { return true; })) return std::nullopt;
  return m_probe;
}

bool GameSession::waitPasses(int count) {
  const auto now = probe();
  if (!now) return fail("the game wrote no probe line");
  const std::uint64_t until = now->pass + static_cast<std::uint64_t>(count);
  if (waitProbe([&](const ProbeLine& p) { return p.pass >= until; })) return true;
  return fail("the game stood still before pass " + std::to_string(until));
}

bool GameSession::pointAt(Point target) {
  for (int i = 0; i < kPointTries; ++i) {
    const auto p = probe();
    if (!p) return fail("the game wrote no probe line");
    if (std::abs(p->x - target.x) <= 1 && std::abs(p->y - target.y) <= 1) return true;
    m_x->moveBy(target.x - p->x, target.y - p->y);
    // The pass under way may have read its input before the motion came.
    if (!waitPasses(3)) return false;
  }
  return fail("the game's cursor did not come to " + at(target));
}

bool GameSession::click(Point target) {
  if (!pointAt(target)) return false;
  const std::uint64_t pressed = m_probe->pass;
  m_x->button(true);
  const bool read = waitProbe([&](const ProbeLine& p) { return p.pass > pressed && p.buttons[0]; });
  m_x->button(false);
  if (!read) return fail("the game never read the button down at " + at(target));
  return true;
}

bool GameSession::effectCame(const std::string& step, const ScreenTest& effect, int passes) {
  const std::uint64_t from = m_probe ? m_probe->pass : 0;
  const auto since = Wall::now();
  for (;;) {
    m_last = m_x->capture();
    if (effect(m_last)) {
      XSession::save(m_last, m_shots, step);
      return true;
    }
    // A game out of its loops (loading) writes no passes: it is waited for.
    const auto p = readProbe();
    const bool passed = p && p->pass >= from + static_cast<std::uint64_t>(passes) && Wall::now() - since >= 1s;
    if (passed || Wall::now() - since >= kStepTime || m_game->wait(0ms)) return false;
    std::this_thread::sleep_for(50ms);
  }
}

bool GameSession::clickUntil(const std::string& step, Point target, const ScreenTest& effect, int clicks, int passes) {
  for (int i = 0; i < clicks; ++i) {
    if (!click(target)) {
      keepScreen(step);
      m_failure = step + ": " + m_failure;
      return false;
    }
    if (effectCame(step, effect, passes)) return true;
  }
  XSession::save(m_last, m_shots, step);
  return fail(step + ": " + std::to_string(clicks) + " clicks at " + at(target) + " brought nothing");
}

// The pass before the key goes down or up is noted first: a game that reads
// it before this test looks again must not be taken for one that never did.
bool GameSession::hold(const char* key) {
  const int code = dikOf(key);
  const auto before = probe();
  if (!before) return fail("the game wrote no probe line");
  m_x->press(key);
  if (waitProbe([&](const ProbeLine& p) { return p.readDownAfter(code, before->pass); })) return true;
  return fail(std::string("the game never read ") + key + " down");
}

bool GameSession::letGo(const char* key) {
  const int code = dikOf(key);
  const auto before = probe();
  if (!before) return fail("the game wrote no probe line");
  m_x->release(key);
  if (waitProbe([&](const ProbeLine& p) { return p.pass > before->pass && !p.holds(code); })) return true;
  return fail(std::string("the game never read ") + key + " up");
}

bool GameSession::tap(const char* key) {
  const bool read = hold(key);
  m_x->release(key);
  return read;
}

bool GameSession::type(const std::string& text) {
  for (char c : text) {
    bool shift = false;
    const std::string key = XSession::keyFor(c, &shift);
    if (shift && !hold("Shift_L")) return false;
    const bool typed = tap(key.c_str());
    if (shift) m_x->release("Shift_L");
    if (!typed) return false;
  }
  return true;
}

bool GameSession::tapUntil(const std::string& step, const char* key, const ScreenTest& effect, int taps, int passes) {
  for (int i = 0; i < taps; ++i) {
    if (!tap(key)) {
      keepScreen(step);
      m_failure = step + ": " + m_failure;
      return false;
    }
    if (effectCame(step, effect, passes)) return true;
  }
  XSession::save(m_last, m_shots, step);
  return fail(step + ": " + std::to_string(taps) + " taps of " + key + " brought nothing");
}

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
// The test ring's sand-swept paving and the sand beside it.
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

bool loadingPictureAnywhere(const Screenshot& s) { return s.share(0, 0, s.width, s.height, orange) > 0.01; }

bool loadingPictureInMode(const Screenshot& s) {
  static const std::vector<NamedPicture> pictures = drawLoadingScreen();
  const Canvas& picture = *findPicture(pictures, "Background");
  constexpr int kMode[2] = {1024, 768};
  if (s.width < kMode[0] || s.height < kMode[1]) return false;
  int same = 0, count = 0;
  for (int y = 1; y < kMode[1]; y += 3) {
    if (y >= 670 && y < 712) continue;  // the bar grows there
    for (int x = 1; x < kMode[0]; x += 3, ++count)
      if (orange(s.at(x, y)) == orange(picture.at(x, y) & 0xFFFFFF)) ++same;
  }
  const bool name = same > count * 995 / 1000;
  // The groove's ends, and the gradient just past its right end.
  const auto groove = near(kBarGroove, kTolerance);
  const bool bar = s.share(77, 674, 3, 33, groove) > 0.9 && s.share(942, 674, 3, 33, groove) > 0.9 &&
                   s.share(950, 674, 20, 33, groove) < 0.1;
  const bool blackBeyond = s.share(kMode[0], 0, s.width - kMode[0], s.height, dark) > 0.99 &&
                           s.share(0, kMode[1], kMode[0], s.height - kMode[1], dark) > 0.99;
  return name && bar && blackBeyond;
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

// A picture as the mean colours of a grid of blocks over it.
constexpr int kGridX = 16, kGridY = 8;
using Signature = std::vector<double>;

Signature signature(int width, int height, const std::function<std::uint32_t(int, int)>& pixel) {
  Signature out;
  for (int gy = 0; gy < kGridY; ++gy)
    for (int gx = 0; gx < kGridX; ++gx) {
      const int x0 = gx * width / kGridX, x1 = (gx + 1) * width / kGridX;
      const int y0 = gy * height / kGridY, y1 = (gy + 1) * height / kGridY;
      double sum[3] = {};
      for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
          for (int c = 0; c < 3; ++c) sum[c] += channel(pixel(x, y), 16 - 8 * c);
      for (double v : sum) out.push_back(v / ((x1 - x0) * (y1 - y0)));
    }
  return out;
}

// The eight tracks' pictures as the sample data draws them, by track.
const std::vector<Signature>& trackSignatures() {
  static const std::vector<Signature> tracks = [] {
    const std::vector<NamedPicture> pictures = drawTracks();
    std::vector<Signature> out;
    for (const SampleTrack& track : sampleTracks()) {
      const std::string name = "Track" + std::to_string(std::atoi(track.number));
      for (const NamedPicture& p : pictures)
        if (p.name == name)
          out.push_back(
              signature(p.picture.width(), p.picture.height(), [&](int x, int y) { return p.picture.at(x, y); }));
    }
    return out;
  }();
  return tracks;
}

}  // namespace

bool showsTrack(const Screenshot& s, bool lobby, int track) {
  // Where the picture lies, stretched: beside the lobby's arrows, or above
  // the selection screen's track name.
  const int left = 592, top = lobby ? 70 : 350, width = 332, height = lobby ? 150 : 120;
  if (s.width != XSession::kWidth) return false;
  const Signature shown = signature(width, height, [&](int x, int y) { return s.at(left + x, top + y); });
  const std::vector<Signature>& tracks = trackSignatures();
  int nearest = -1;
  double best = 0;
  for (std::size_t t = 0; t < tracks.size(); ++t) {
    double d = 0;
    for (std::size_t i = 0; i < shown.size(); ++i) d += (shown[i] - tracks[t][i]) * (shown[i] - tracks[t][i]);
    if (nearest < 0 || d < best) nearest = static_cast<int>(t), best = d;
  }
  return nearest == track;
}

bool lobbyKartChosen(const Screenshot& s, int row) { return s.share(640, 480 + 28 * row, 160, 26, light) > 0.01; }

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
