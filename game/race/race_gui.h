// What the race needs of the front end, so that game/ stays below gui/: the
// loading window, the in-race text table, the in-race displays, the input
// and time the GUI is fed and its drawing. The GUI object the entry point
// creates implements it; the operations with a body are those a front end
// without a loading window or displays (a test, a server) may leave alone.
#pragma once

#include <memory>
#include <string>

#include "game/race/race_displays.h"

class Config;
class File;
class Race;

// Localised texts by numeric id, in the language chosen when they were read.
class RaceTexts {
 public:
  virtual ~RaceTexts() = default;
  // UTF-8; empty for an id the table does not hold.
  virtual std::string getText(int id) const = 0;
};

class RaceGui {
 public:
  virtual ~RaceGui() = default;

  // The loading window between menu and race. `value` is 0..100 within the
  // range the entry point gave the window. Neither throws.
  virtual void setLoadingProgress(float /*value*/) {}
  virtual void setLoadingText(const std::string& /*text*/) {}
  // Handles the window messages that arrived while loading; false once the
  // player asked to quit (the request stays for the main loop to see).
  virtual bool pumpLoadingMessages() { return true; }

  // The text table `fileName` read through `files` in language 0..4; null
  // when the front end has no texts.
  virtual std::unique_ptr<RaceTexts> loadTexts(File* /*files*/, const char* /*fileName*/, int /*language*/) {
    return nullptr;
  }
  // The in-race displays of `race` with the player's settings; null when the
  // front end shows none.
  virtual std::unique_ptr<RaceDisplays> createDisplays(Config& /*settings*/, Race& /*race*/) { return nullptr; }

  // The race timer's game time (seconds since it started).
  virtual void injectTimePulse(float gameTime) = 0;
  virtual void injectMouse() = 0;
  virtual void injectKeyboard() = 0;
  virtual void setMouseCursorVisible(bool visible) = 0;
  // After a device reset: the back buffer's new size.
  virtual void setDisplaySize(float width, float height) = 0;
  // Draws the GUI over the current frame.
  virtual void render() = 0;
};
