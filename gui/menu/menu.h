// The front end between races: loads what the menus need (text table, the
// 3D kart and character scenes, imagesets, music, the click), builds the
// screens, and each frame turns the current screen's result into a screen
// change, a race start or the end of the game, with the chosen kart and
// character drawn in 3D behind the mode screens.
#pragma once

#include <memory>

#include "foundation/timer.h"
#include "gui/screen_host.h"
#include "gui/screen_services.h"

struct AdapterInfo;
class Config;
class File;
class Gui;
class GuiScreen;
class InputDevice;
class RenderPipeline;
class Scene;
class SceneRoot;
class SoundBuffer;
class SoundChannel;
class SoundDevice;
class TextTable;
namespace GameDaemon {
class GameServer;
}

// The screens reach the controller through the two interfaces it
// implements (the help, credits, exit and language screens through
// ScreenHost, highscores and options through ScreenServices).
class Menu : public ScreenHost, public ScreenServices {
 public:
  // Slots of m_screens. A slot whose screen is not built stays null and
  // never becomes current.
  enum Slot {
    kSplash,
    kMainMenu,
    kTimeTrial,
    kLastManStanding,
    kChampionship,
    kMultiplayerSelect,
    kMultiplayer,
    kTwoPlayers,
    kHighscores,
    kOptions,
    kCredits,
    kHelp,
    kEnd,
    kScreenCount
  };
  static constexpr int kKartCount = 8, kCharacterCount = 6;

  Menu(RenderPipeline* pipeline, Gui* gui);
  ~Menu() override;
  Menu(const Menu&) = delete;
  Menu& operator=(const Menu&) = delete;

  // Always true. The loading window shows the progress.
  bool init(File* files, SoundDevice* sound, Config* config);
  // Screen shortcuts, then the GUI takes the keys left pending.
  bool handleInput(InputDevice* input);
  // One frame.
  bool update();
  // Safe to call again without init in between.
  bool shutdown();

  void setScreen(GuiScreen* screen);
  GuiScreen* screen(Slot slot) const { return m_screens[slot].get(); }
  void playClickSound() override;
  // Rectangle in pixels of the 1024 x 768 layout.
  void setPreviewViewport(float x, float y, float width, float height);

  bool onDeviceLost();
  bool onDeviceReset();
  bool pauseMusic();
  bool resumeMusic();

  const TextTable& texts() const { return *m_texts; }

  // What the screens ask of the controller; valid from init to shutdown.
  Gui& gui() override { return *m_gui; }
  File& files() override { return *m_files; }
  Config& config() override { return *m_config; }
  TextTable& texts() override { return *m_texts; }
  float frameDelta() override { return m_timer.frameDelta(); }
  // Both musics follow the music volume.
  void setMenuMusicVolume(float volume) override;
  void setClickVolume(float volume) override;

  RenderPipeline* m_pipeline;
  bool m_quit = false;
  bool m_startRace = false;
  // This machine's own relay, whose seat table the lobby reads when it
  // hosts (null: it cannot).
  GameDaemon::GameServer* m_relay = nullptr;
  Timer m_timer;
  Config* m_config = nullptr;
  File* m_files = nullptr;
  Gui* m_gui;
  std::unique_ptr<TextTable> m_texts;
  std::unique_ptr<SoundChannel> m_menuMusicSource, m_highscoreMusicSource, m_clickSoundSource;
  std::unique_ptr<SoundBuffer> m_menuMusic, m_highscoreMusic, m_clickSound;
  GuiScreen* m_current = nullptr;
  std::unique_ptr<GuiScreen> m_screens[kScreenCount];
  std::unique_ptr<SceneRoot> m_sceneRoot;
  Scene* m_kartScenes[kKartCount] = {};
  Scene* m_characterScenes[kCharacterCount] = {};

 protected:
  // Draws the loading window's bar (tests watch the values).
  virtual void reportProgress(float value);

 private:
  void act(int result);
  // Saves the settings and leaves `current` with no screen current.
  void quitFrom(GuiScreen* current);
  const AdapterInfo* optionsAdapter() const;
  // One frame: the previews (when asked) and the GUI, presented.
  void drawFrame(bool previews);
  void drawPreviews();
  void drawPreview(int kart, int ccm, int character, float x, float y, float width, float height);
  void playMusic();
};
