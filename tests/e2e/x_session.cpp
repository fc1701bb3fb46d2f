#include "tests/e2e/x_session.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "content/png_writer.h"

namespace {

int channel(std::uint32_t rgb, int shift) { return static_cast<int>((rgb >> shift) & 0xFF); }

}  // namespace

double Screenshot::share(int x, int y, int w, int h, const std::function<bool(std::uint32_t)>& test) const {
  int hits = 0, count = 0;
  for (int j = y; j < y + h && j < height; ++j)
    for (int i = x; i < x + w && i < width; ++i, ++count)
      if (test(at(i, j))) ++hits;
  return count ? static_cast<double>(hits) / count : 0.0;
}

bool reddish(std::uint32_t rgb) { return channel(rgb, 16) > 140 && channel(rgb, 8) < 110 && channel(rgb, 0) < 110; }
bool bluish(std::uint32_t rgb) { return channel(rgb, 0) > channel(rgb, 16) + 40; }
bool dark(std::uint32_t rgb) { return channel(rgb, 16) < 100 && channel(rgb, 8) < 100 && channel(rgb, 0) < 100; }
bool greyish(std::uint32_t rgb) {
  const int r = channel(rgb, 16), g = channel(rgb, 8), b = channel(rgb, 0);
  return std::abs(r - g) <= 24 && std::abs(g - b) <= 24 && std::abs(r - b) <= 24;
}

XSession::XSession(int width, int height) : m_width(width), m_height(height) {
  // Xvfb picks a free display and writes its number to our pipe. It runs
  // without the sanitizer this test may carry: its keymap compiler would
  // report the leaks of its own and fail.
  m_server = std::make_unique<ChildProcess>(
      std::vector<std::string>{"/usr/bin/Xvfb", "-displayfd", "1", "-screen", "0",
                               std::to_string(width) + "x" + std::to_string(height) + "x24", "-nolisten", "tcp",
                               "-noreset"},
      std::map<std::string, std::string>{}, std::vector<std::string>{"LD_PRELOAD", "ASAN_OPTIONS", "LSAN_OPTIONS"});
  if (!m_server->started()) return;
  const std::string number = m_server->readLine(std::chrono::seconds(20));
  if (number.empty()) return;
  m_name = ":" + number;
  m_display = XOpenDisplay(m_name.c_str());
  if (!m_display) return;
  int event = 0, error = 0, major = 0, minor = 0;
  if (!XTestQueryExtension(m_display, &event, &error, &major, &minor)) {
    XCloseDisplay(m_display);
    m_display = nullptr;
    return;
  }
  // Motion as given: no acceleration to turn steps into jumps.
  XChangePointerControl(m_display, True, True, 1, 1, 0);
  // A key held until the game has read it must not repeat meanwhile.
  XAutoRepeatOff(m_display);
  XSync(m_display, False);
}

XSession::~XSession() {
  if (m_display) XCloseDisplay(m_display);
  // Asked to end, the server removes its lock and socket files.
  if (m_server) m_server->terminate();
}

void XSession::sync() { XSync(m_display, False); }

void XSession::press(const char* key) {
  XTestFakeKeyEvent(m_display, XKeysymToKeycode(m_display, XStringToKeysym(key)), True, 0);
  sync();
}

void XSession::release(const char* key) {
  XTestFakeKeyEvent(m_display, XKeysymToKeycode(m_display, XStringToKeysym(key)), False, 0);
  sync();
}

std::string XSession::keyFor(char c, bool* shift) {
  const bool upper = c >= 'A' && c <= 'Z';
  if (shift) *shift = upper;
  if (c == '.') return "period";
  if (c == ' ') return "space";
  return std::string(1, upper ? static_cast<char>(c - 'A' + 'a') : c);
}

void XSession::moveBy(int dx, int dy) {
  // Small steps: a large one may be cut by the game's per-frame reading.
  // No step repeats the one before it: a busy server stamps several with
  // one time, and SDL drops raw motion of the same time and the same
  // amount as a duplicate.
  while (dx || dy) {
    int sx = 0, sy = 0;
    for (int limit = 20; limit > 0; --limit) {
      sx = std::clamp(dx, -limit, limit), sy = std::clamp(dy, -limit, limit);
      if (sx != m_lastStepX || sy != m_lastStepY) break;
    }
    m_lastStepX = sx, m_lastStepY = sy;
    XTestFakeRelativeMotionEvent(m_display, sx, sy, 0);
    sync();
    dx -= sx, dy -= sy;
  }
}

void XSession::button(bool down) {
  XTestFakeButtonEvent(m_display, 1, down ? True : False, 0);
  sync();
}

Screenshot XSession::capture() {
  Screenshot shot;
  XImage* image = XGetImage(m_display, DefaultRootWindow(m_display), 0, 0, static_cast<unsigned>(m_width),
                            static_cast<unsigned>(m_height), AllPlanes, ZPixmap);
  if (!image) return shot;
  shot.width = m_width, shot.height = m_height;
  shot.pixels.resize(static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height));
  for (int y = 0; y < m_height; ++y)
    for (int x = 0; x < m_width; ++x)
      shot.pixels[static_cast<std::size_t>(y * m_width + x)] = 0xFF000000u | (XGetPixel(image, x, y) & 0xFFFFFF);
  XDestroyImage(image);
  return shot;
}

Screenshot XSession::waitFor(double seconds, const std::function<bool(const Screenshot&)>& test,
                             std::chrono::milliseconds interval) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  Screenshot shot = capture();
  while (!test(shot) && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(interval);
    shot = capture();
  }
  return shot;
}

bool XSession::save(const Screenshot& shot, const std::string& folder, const std::string& name) {
  std::filesystem::create_directories(folder);
  const std::vector<std::uint8_t> png = writePng(shot.width, shot.height, shot.pixels);
  std::ofstream out(std::filesystem::path(folder) / (name + ".png"), std::ios::binary);
  out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  return static_cast<bool>(out);
}
