// One run of the game: the services the entry point owns for the whole
// run, brought up in start-up order, the alternation of the menu loop and
// the race loop, and the shutdown in its own order.
#pragma once

#include <memory>
#include <string>

#include "app/entry_point.h"
#include "app/main_loop.h"

class ArchiveFile;
class Config;
class DeviceManager;
class DiskFile;
class LoadingWindow;
class Menu;
class Race;
class RenderPipeline;
class Setup;
class SingleInstanceGuard;
class SoundDevice;
class SoundSystem;

namespace GameDaemon {
class ServerThread;
}

class GameProgram {
 public:
  GameProgram(HINSTANCE instance, const EntryOptions& options);
  ~GameProgram();
  GameProgram(const GameProgram&) = delete;
  GameProgram& operator=(const GameProgram&) = delete;

  // Start-up, the loops, the shutdown.
  void run();

  // The services, for the observer; each is null outside its life.
  std::unique_ptr<SingleInstanceGuard> m_guard;
  UINT m_guardMessage = 0;
  std::unique_ptr<DeviceManager> m_devices;
  std::unique_ptr<Setup> m_setup;
  std::unique_ptr<GameDaemon::ServerThread> m_relay;
  std::unique_ptr<RenderPipeline> m_pipeline;
  std::unique_ptr<DiskFile> m_disk;
  std::unique_ptr<ArchiveFile> m_archive;
  std::unique_ptr<InputDevice> m_input;
  std::unique_ptr<Gui> m_gui;
  std::unique_ptr<LoadingWindow> m_loadingWindow;
  std::unique_ptr<Race> m_race;
  std::unique_ptr<Menu> m_menu;
  std::unique_ptr<SoundSystem> m_soundSystem;
  SoundDevice* m_soundDevice = nullptr;  // the sound system's
  std::unique_ptr<Config> m_settings;
  // False once a menu or race frame failed.
  bool m_ok = false;
  std::string m_programName;

 private:
  // The start-up steps, in order; false where the program must end (each
  // says how far the shutdown then goes).
  bool claimInstance();          // 1-5
  void readSettingsFile();       // 6-8
  bool startGraphics();          // 9-15
  bool startServices();          // 16-22
  void registerWindowClasses();  // 2
  void step(int number);

  // The main loop: menu loops and race loops until the player quits.
  void mainLoop();
  // False when the player closed the window during the race: the game then
  // ends instead of opening the menu again.
  bool playRace();
  void runMenuLoop();
  void runRaceLoop();
  // Made again, bar range 0..max, progress 0.
  void showLoadingWindow(float max, bool clearText);

  // The shutdown from the services down to the devices' release, then the
  // rest; a start that ends before the window exists runs only the rest.
  void shutDownServices();
  void shutDownRest(bool servicesRan);

  HINSTANCE m_instance;
  EntryOptions m_options;
};
