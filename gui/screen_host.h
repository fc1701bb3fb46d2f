// What a menu screen asks of the controller that shows it: the GUI, the
// game's files, the settings, the menu's text table, the click and the
// length of the last frame. The menu controller implements it; tests bring
// their own.
#pragma once

#include <string>

class Config;
class File;
class Gui;
class InputDevice;
class TextTable;

class ScreenHost {
 public:
  virtual ~ScreenHost() = default;
  virtual Gui& gui() = 0;
  // The mounted archive the menu's data comes from.
  virtual File& files() = 0;
  virtual Config& config() = 0;
  virtual TextTable& texts() = 0;
  virtual void playClickSound() = 0;
  // Seconds between the last two menu frames.
  virtual float frameDelta() = 0;
};

// Reads the whole file `name` from `files` into `out`. False, with `out`
// empty, when it is missing, unreadable or larger than `maxBytes`; the last
// two are reported.
bool readWholeFile(File& files, const char* name, std::string& out, int maxBytes);
