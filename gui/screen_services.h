// What a menu screen needs of the menu controller that owns it: the
// settings, the menu's text table, the click and the two sound volumes the
// options screen moves while its sliders move.
#pragma once

class Config;
class TextTable;

class ScreenServices {
 public:
  virtual ~ScreenServices() = default;
  virtual Config& config() = 0;
  virtual TextTable& texts() = 0;
  // Plays the click at the effects volume; every button handler calls it
  // before it acts.
  virtual void playClickSound() = 0;
  // 0..1 each.
  virtual void setMenuMusicVolume(float volume) = 0;
  virtual void setClickVolume(float volume) = 0;
};
