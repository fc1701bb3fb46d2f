// What the race needs of the front end, so that game/ stays below gui/: the
// GUI object the entry point creates implements it.
#pragma once

class RaceGui {
 public:
  virtual ~RaceGui() = default;
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
