// An X server of the test's own (Xvfb, at 1024 x 768 unless asked for
// another size) and a client that
// plays on it the way a player would: keys and mouse through the XTest
// extension, and what the screen shows read back and kept as PNG files.
// Whether the game took a key or a click is the game's to say: see
// GameSession, which drives through this.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/child_process.h"

typedef struct _XDisplay Display;

// The whole screen, 0xAARRGGBB by rows from the top.
struct Screenshot {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;

  std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)] & 0xFFFFFF; }
  // The share (0..1) of a rectangle's pixels for which `test` holds.
  double share(int x, int y, int w, int h, const std::function<bool(std::uint32_t)>& test) const;
};

// Colour tests on 0xRRGGBB.
bool reddish(std::uint32_t rgb);
bool bluish(std::uint32_t rgb);
bool greyish(std::uint32_t rgb);  // the channels within 24 of each other
bool dark(std::uint32_t rgb);     // every channel below 100

class XSession {
 public:
  static constexpr int kWidth = 1024, kHeight = 768;

  // Starts Xvfb with a screen of this size on a free display and connects;
  // check ok().
  explicit XSession(int width = kWidth, int height = kHeight);
  ~XSession();
  XSession(const XSession&) = delete;
  XSession& operator=(const XSession&) = delete;

  bool ok() const { return m_display != nullptr; }
  // ":N", for the game's DISPLAY.
  const std::string& name() const { return m_name; }
  int width() const { return m_width; }
  int height() const { return m_height; }

  // A key by its X name ("Escape", "space", "Return", "w", "a"), down or
  // up. The server repeats no key: a key held over slow frames types once.
  void press(const char* key);
  void release(const char* key);
  // The X name of a character: letters, digits, '.' and ' '; `shift` says
  // whether it needs Shift held.
  static std::string keyFor(char c, bool* shift);
  // Relative pointer motion, as a mouse gives it; the game reads it in
  // relative mode, so where its own cursor ends up is the game's to say.
  void moveBy(int dx, int dy);
  // The left button down or up.
  void button(bool down);

  Screenshot capture();
  // Waits up to `seconds` for a screen that passes `test`, looking every
  // `interval` (0: as fast as screens can be read, for what shows briefly);
  // the last screen taken either way.
  Screenshot waitFor(double seconds, const std::function<bool(const Screenshot&)>& test,
                     std::chrono::milliseconds interval = std::chrono::milliseconds(200));
  // Writes the screen as `folder`/`name`.png.
  static bool save(const Screenshot& shot, const std::string& folder, const std::string& name);

 private:
  void sync();

  int m_width, m_height;
  std::unique_ptr<ChildProcess> m_server;
  Display* m_display = nullptr;
  std::string m_name;
  // The last relative step sent.
  int m_lastStepX = 0, m_lastStepY = 0;
};
