// The menu controller and its screens on the null renderer, driven by
// injected mouse and key input as the entry point's loop feeds it.
#include <CEGUI/CEGUI.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <thread>
#include <tuple>

#include "game/saves/config.h"
#include "gui/credits_screen.h"
#include "gui/end_screen.h"
#include "gui/exit_link.h"
#include "gui/help_screen.h"
#include "gui/highscores_screen.h"
#include "gui/menu/championship_screen.h"
#include "gui/menu/main_menu_screen.h"
#include "gui/menu/menu.h"
#include "gui/menu/mode_screens.h"
#include "gui/menu/multiplayer_screens.h"
#include "gui/options_screen.h"
#include "gui/splash_screen.h"
#include "gui/text_table.h"
#include "input/input_device.h"
#include "net/relay_server.h"
#include "sound/sound_buffer.h"
#include "sound/sound_system.h"
#include "tests/gui/gui_fixture.h"
#include "tests/scene/scene_test_items.h"
#include "tests/support/scratch_dir.h"

namespace {

class RecordingSoundDevice : public SoundDevice {
 public:
  std::unique_ptr<SoundBuffer> createSound(SoundChannel* source, std::uint32_t flags) override {
    EXPECT_NE(source, nullptr);
    EXPECT_EQ(flags, kSoundStatic);
    return std::make_unique<NotingSound>();
  }
};

class RecordingMenu : public Menu {
 public:
  using Menu::Menu;
  std::vector<float> progress;

 protected:
  void reportProgress(float value) override { progress.push_back(value); }
};

NotingSound& recorded(const std::unique_ptr<SoundBuffer>& b) { return *static_cast<NotingSound*>(b.get()); }

class MenuTest : public ReportCapture {
 protected:
  static constexpr float kWidth = 800, kHeight = 600;
  void SetUp() override {
    ReportCapture::SetUp();
    // Quitting saves "config.dat" in the working directory.
    scratch = std::make_unique<ScratchDir>();
    config = std::make_unique<Config>(nullptr, NetControl::getInstance(), Config::SavedFile::Ignore);
    gui = std::make_unique<Gui>(nullptr, &input, sampleArchive(), GuiRenderer::createNull(kWidth, kHeight));
    menu = std::make_unique<RecordingMenu>(nullptr, gui.get());
  }
  void TearDown() override {
    if (menu->m_texts) menu->shutdown();
    menu.reset();
    gui.reset();
    config.reset();
    scratch.reset();
    ReportCapture::TearDown();
  }
  void init() { ASSERT_TRUE(menu->init(&sampleArchive(), &sound, config.get())); }

  // Press and release the left button at a layout position, one frame each.
  void click(float x, float y) {
    input.m_mousePos[0] = static_cast<int>(x * kWidth / 1024.0f);
    input.m_mousePos[1] = static_cast<int>(y * kHeight / 768.0f);
    input.m_mouseButton[0] = 1;
    menu->handleInput(&input);
    input.m_mouseButton[0] = 0;
    menu->handleInput(&input);
  }
  void clickCentre(CEGUI::Window* w) {
    const CEGUI::Rectf r = w->getUnclippedOuterRect().get();
    click((r.left() + r.getWidth() / 2) * 1024.0f / kWidth, (r.top() + r.getHeight() / 2) * 768.0f / kHeight);
  }
  template <class T>
  T& screen(Menu::Slot slot) {
    return *static_cast<T*>(menu->screen(slot));
  }
  NotingSound& clickSound() { return recorded(menu->m_clickSound); }

  std::unique_ptr<ScratchDir> scratch;
  InputDevice input;
  RecordingSoundDevice sound;
  std::unique_ptr<Config> config;
  std::unique_ptr<Gui> gui;
  std::unique_ptr<RecordingMenu> menu;
};

TEST_F(MenuTest, InitAndShutdownReportTheirProgressAndShutdownTwiceIsHarmless) {
  config->m_effectsVolume = 40;
  init();
  const std::vector<float> loading = {0,  10, 20, 22, 24, 26, 28, 30, 32, 34, 36, 38, 40, 42, 44, 50, 52, 55, 56,
                                      58, 59, 60, 61, 65, 66, 68, 70, 71, 72, 74, 76, 78, 90, 92, 94, 96, 100};
  EXPECT_EQ(menu->progress, loading);
  EXPECT_EQ(clickSound().volume, 40 * 0.007f);
  clickCentre(screen<MainMenuScreen>(Menu::kMainMenu).m_helpButton);
  EXPECT_EQ(clickSound().volume, 40 * 0.01f);
  EXPECT_EQ(clickSound().plays, std::vector<bool>{false});
  EXPECT_EQ(recorded(menu->m_menuMusic).plays, std::vector<bool>{true});

  menu->progress.clear();
  menu->shutdown();
  const std::vector<float> unloading = {0,  1,  2,  3,  7,  15, 17, 19, 21, 23, 25, 30, 34,
                                        42, 58, 62, 66, 70, 74, 78, 90, 95, 96, 97, 98, 100};
  EXPECT_EQ(menu->progress, unloading);
  EXPECT_EQ(menu->m_current, nullptr);
  // The entry point shuts down again before a cup's next race.
  menu->shutdown();
  init();
  EXPECT_TRUE(menu->shutdown());
}

TEST_F(MenuTest, TheHighscoreHintOpensItsScreenWithItsMusicAndBackBringsTheMenuMusic) {
  config->m_showHighscores = 1;
  config->m_highscoreMusic = 1;
  init();
  ASSERT_EQ(menu->m_current, menu->screen(Menu::kHighscores));
  EXPECT_TRUE(menu->m_highscoreMusic->isPlaying());
  EXPECT_FALSE(menu->m_menuMusic->isPlaying());
  menu->m_current->setResult(1);
  menu->update();
  EXPECT_EQ(menu->m_current, menu->screen(Menu::kMainMenu));
  EXPECT_FALSE(menu->m_highscoreMusic->isPlaying());
  EXPECT_TRUE(menu->m_menuMusic->isPlaying());
}

TEST_F(MenuTest, MainMenuButtonsQuitDialogAndQuit) {
  init();
  auto& main = screen<MainMenuScreen>(Menu::kMainMenu);
  for (int i = 0; i < MainMenuScreen::kEntryCount; ++i) {
    clickCentre(main.m_menuButtons[i]);
    EXPECT_EQ(main.getResult(), MainMenuScreen::kEntries[i].result) << i;
    main.setResult(-1);
  }
  clickCentre(main.m_helpButton);
  EXPECT_EQ(main.getResult(), 110);
  main.setResult(-1);

  const std::size_t clicks = clickSound().plays.size();
  input.m_key[1] = 1;  // Escape
  menu->handleInput(&input);
  EXPECT_TRUE(main.m_quitDialog->isVisible());
  EXPECT_EQ(clickSound().plays.size(), clicks);
  clickCentre(main.m_menuButtons[0]);  // behind the modal dialog
  EXPECT_EQ(main.getResult(), -1);
  clickCentre(main.m_quitNoButton);
  EXPECT_FALSE(main.m_quitDialog->isVisible());
  EXPECT_EQ(main.getResult(), -1);

  clickCentre(main.m_offButton);
  ASSERT_TRUE(main.m_quitDialog->isVisible());
  clickCentre(main.m_quitYesButton);
  EXPECT_FALSE(main.m_quitDialog->isVisible());
  EXPECT_EQ(main.getResult(), 999);
  menu->update();
  EXPECT_TRUE(std::filesystem::exists("config.dat"));
  // The sample branding shows the exit screen in every language.
  ASSERT_EQ(menu->m_current, menu->screen(Menu::kEnd));
  EXPECT_FALSE(menu->m_quit);
  input.m_key[57] = 1;  // Space
  menu->handleInput(&input);
  EXPECT_TRUE(menu->m_quit);
}

TEST_F(MenuTest, ChampionshipChoiceAndItsRace) {
  for (auto& record : config->m_player) record.setFlags(kNetAcceptReceived);
  config->m_player[3].modify()->character = 2;
  config->m_championshipKart = 0;
  config->m_championshipCharacter = 0;
  init();
  menu->screen(Menu::kMainMenu)->setResult(102);
  menu->update();
  auto& cup = screen<ChampionshipScreen>(Menu::kChampionship);
  ASSERT_EQ(menu->m_current, &cup);
  for (auto& record : config->m_player) {
    EXPECT_EQ(record.getFlags(), kNetSendChanges);
    EXPECT_TRUE(record.isDirty());
    EXPECT_EQ(record.get().character, -1);
  }
  clickCentre(cup.m_rows[cup.m_kartRow].left);
  EXPECT_EQ(config->m_championshipKart, 7);
  EXPECT_EQ(cup.m_rows[cup.m_kartRow].label->getText(), menu->texts().getText(707));
  std::vector<int> characters;
  for (int i = 0; i < 6; ++i) {
    clickCentre(cup.m_rows[cup.m_characterRow].right);
    characters.push_back(config->m_championshipCharacter);
  }
  EXPECT_EQ(characters, (std::vector<int>{1, 2, 3, 4, 0, 1}));
  clickCentre(cup.m_rows[cup.m_ccmRow].left);  // 0 wraps to 2
  EXPECT_EQ(config->m_championshipCcm, 2);
  EXPECT_EQ(cup.m_rows[cup.m_ccmRow].label->getText(), menu->texts().getText(820));
  clickCentre(cup.m_cupRightButton);
  EXPECT_EQ(config->m_championshipTrack, 4);
  EXPECT_EQ(cup.m_cupLabel->getText(), menu->texts().getText(2020));

  clickCentre(cup.m_okButton);
  menu->update();
  EXPECT_TRUE(menu->m_startRace);
  EXPECT_EQ(menu->m_current, nullptr);
  EXPECT_EQ(config->m_game.get(), 3);
  EXPECT_EQ(config->m_playType, 0);
  EXPECT_EQ(config->m_laps.get(), 3);
  EXPECT_EQ(config->m_ccm.get(), 2);
  EXPECT_EQ(config->m_track.get(), 4);
  EXPECT_EQ(config->m_isAuthority, 1);
  for (int i = 0; i < 6; ++i) {
    const Config::Player& p = config->m_player[i].get();
    EXPECT_EQ(p.startPosition, 5 - i);
    EXPECT_EQ(config->m_controlType[i], i == 0 ? 0 : 5);
    EXPECT_EQ(p.kart, i == 0 ? 7 : -1);
    EXPECT_EQ(p.character, i == 0 ? 1 : -1);
    EXPECT_EQ(p.totalPoints, 0);
  }
  EXPECT_STREQ(config->m_player[0].get().name, config->m_playerName1);
}

// Each mode screen set by clicks: every field of its race, and the six
// records sent (a lobby left them with flags 1, which would stop a time
// trial from ever counting laps).
TEST_F(MenuTest, ModeScreensHandOverTheWholeChoice) {
  struct Case {
    int mainResult;
    Menu::Slot slot;
    int game, playType;
  };
  for (const Case& c : {Case{100, Menu::kTimeTrial, 0, 0}, Case{101, Menu::kLastManStanding, 2, 0},
                        Case{103, Menu::kTwoPlayers, 1, 1}}) {
    SCOPED_TRACE(c.slot);
    for (auto& record : config->m_player) {
      record.setFlags(kNetAcceptReceived);
      record.modify()->totalPoints = 30;
    }
    config->m_timeTrialLaps = 9;  // out of range in the file: held at 5
    init();
    menu->screen(Menu::kMainMenu)->setResult(c.mainResult);
    menu->update();
    auto& s = screen<SelectionScreen>(c.slot);
    ASSERT_EQ(menu->m_current, &s);
    // Every row one step right: class 0 -> 1, kart and character 0 -> 1,
    // track 0 -> 1, laps wrap 5 -> 1 (time trial) or 3 -> 4.
    for (const auto& row : s.m_rows) {
      const int before = *row.value;
      clickCentre(row.right);
      EXPECT_NE(*row.value, before);
    }
    const Config& k = *config;
    clickCentre(s.m_okButton);
    menu->update();
    ASSERT_TRUE(menu->m_startRace);
    EXPECT_EQ(k.m_game.get(), c.game);
    EXPECT_EQ(k.m_playType, c.playType);
    EXPECT_EQ(k.m_ccm.get(), 1);
    EXPECT_EQ(k.m_track.get(), 1);
    EXPECT_EQ(k.m_isAuthority, 1);
    for (int i = 0; i < 6; ++i) {
      EXPECT_EQ(k.m_player[i].getFlags(), kNetSendChanges);
      EXPECT_EQ(k.m_player[i].get().totalPoints, 0);
    }
    const Config::Player& p0 = k.m_player[0].get();
    EXPECT_EQ(p0.kart, 1);
    EXPECT_EQ(p0.character, 1);
    if (c.slot == Menu::kTimeTrial) {
      EXPECT_EQ(k.m_laps.get(), 1);
      EXPECT_EQ(p0.startPosition, 0);
      EXPECT_EQ(k.m_controlType[0], 0);
      for (int i = 1; i < 6; ++i) EXPECT_EQ(k.m_player[i].get().character, -1);
    } else if (c.slot == Menu::kLastManStanding) {
      EXPECT_EQ(k.m_laps.get(), 3);
      for (int i = 0; i < 6; ++i) EXPECT_EQ(k.m_player[i].get().startPosition, 5 - i);
      EXPECT_EQ(k.m_controlType[5], 5);
    } else {
      EXPECT_EQ(k.m_laps.get(), 4);
      const Config::Player& p1 = k.m_player[1].get();
      EXPECT_EQ(p1.kart, k.m_twoPlayersKart2);
      EXPECT_EQ(p1.character, k.m_twoPlayersCharacter2);
      EXPECT_STREQ(p1.name, k.m_playerName2);
      const int controls[6] = {1, 2, 5, 5, 5, 5};
      for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(k.m_controlType[i], controls[i]);
        EXPECT_EQ(k.m_player[i].get().startPosition, 5 - i);
        if (i >= 2) {
          EXPECT_EQ(k.m_player[i].get().kart, -1);
        }
      }
    }
    menu->shutdown();
  }
}

TEST_F(MenuTest, NetworkGameHostOrJoinAndTheLobby) {
  init();
  menu->screen(Menu::kMainMenu)->setResult(104);
  menu->update();
  auto& select = screen<MultiplayerSelectScreen>(Menu::kMultiplayerSelect);
  ASSERT_EQ(menu->m_current, &select);
  // No address, or one that is none: the screen says what to type and stays.
  EXPECT_FALSE(select.m_addressProblem->isVisible());
  for (const char* wrong : {"", "10.0.0", "10.0.0.7.", "10..0.7", "256.0.0.1", "1.2.3.4444"}) {
    select.m_addressBox->setText(wrong);
    clickCentre(select.m_joinButton);
    EXPECT_EQ(select.getResult(), GuiScreen::kNoResult) << wrong;
    EXPECT_TRUE(select.m_addressProblem->isVisible()) << wrong;
    EXPECT_EQ(select.m_addressProblem->getText(), menu->texts().getText(2331));
  }
  menu->update();
  EXPECT_EQ(menu->m_current, &select);
  select.m_addressBox->setText("");
  clickCentre(select.m_addressBox);
  for (char c : std::string("10.0.x0.7")) gui->context().injectChar(static_cast<CEGUI::utf32>(c));
  EXPECT_EQ(select.address(), "10.0.0.7");
  clickCentre(select.m_backButton);
  EXPECT_EQ(select.getResult(), 1);
  clickCentre(select.m_joinButton);
  EXPECT_EQ(select.getResult(), 106);
  clickCentre(select.m_hostButton);
  EXPECT_EQ(select.getResult(), 105);
  GameDaemon::ServerThread relay(0);
  ASSERT_TRUE(relay.waitListening());
  auto& lobby = screen<MultiplayerScreen>(Menu::kMultiplayer);
  lobby.m_port = relay.port();
  config->m_championshipKart = 6;
  std::strcpy(config->m_playerName1, "Henrike");
  menu->update();
  ASSERT_EQ(menu->m_current, &lobby);
  EXPECT_TRUE(lobby.m_isHost);
  EXPECT_TRUE(NetControl::getInstance().seated());

  // The player's own kart and name from the start; alone, the host waits.
  EXPECT_EQ(config->m_player[0].get().kart, 6);
  EXPECT_STREQ(config->m_player[0].get().name, "Henrike");
  EXPECT_TRUE(lobby.m_startButton->isDisabled());
  clickCentre(lobby.m_kartButtons[1]);
  EXPECT_EQ(config->m_player[0].get().kart, 7);
  clickCentre(lobby.m_lapsButtons[1]);
  const int laps = config->m_laps.get();

  for (bool host : {true, false}) {
    lobby.m_isHost = host;
    lobby.applySelection();
    EXPECT_EQ(config->m_game.get(), 1);
    EXPECT_EQ(config->m_playType, 2);
    EXPECT_EQ(config->m_laps.get(), laps);
    EXPECT_EQ(config->m_isAuthority, host ? 1 : 0);
    const int controls[6] = {host ? 0 : 4, 3, 3, 3, 3, 3};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(config->m_controlType[i], controls[i]);
    EXPECT_EQ(config->m_player[0].get().startPosition, 5);
  }
  lobby.m_isHost = true;
  clickCentre(lobby.m_backButton);
  menu->update();
  EXPECT_EQ(menu->m_current, menu->screen(Menu::kMainMenu));
  EXPECT_FALSE(NetControl::getInstance().isConnected());
}

// A lobby that cannot reach its host says so in a modal box; once its OK
// brought the player back, the main menu takes clicks again, as it does
// after the lobby is left with the box still up.
TEST_F(MenuTest, AfterTheLobbysMessageTheMainMenuTakesClicks) {
  init();
  auto& main = screen<MainMenuScreen>(Menu::kMainMenu);
  auto& lobby = screen<MultiplayerScreen>(Menu::kMultiplayer);
  WORD closedPort = 0;
  {
    // A port that was just free: nothing answers there.
    GameDaemon::ServerThread relay(0);
    ASSERT_TRUE(relay.waitListening());
    closedPort = relay.port();
  }
  for (bool viaOk : {true, false}) {
    SCOPED_TRACE(viaOk ? "the box's OK" : "the lobby's back");
    main.setResult(GuiScreen::kChoiceMultiplayer);
    menu->update();
    auto& select = screen<MultiplayerSelectScreen>(Menu::kMultiplayerSelect);
    ASSERT_EQ(menu->m_current, &select);
    select.m_addressBox->setText("");
    clickCentre(select.m_addressBox);
    for (char c : std::string("127.0.0.1")) gui->context().injectChar(static_cast<CEGUI::utf32>(c));
    lobby.m_port = closedPort;
    clickCentre(select.m_joinButton);
    menu->update();
    ASSERT_EQ(menu->m_current, &lobby);
    menu->update();
    ASSERT_TRUE(lobby.m_messageBox->isVisible());
    if (viaOk)
      clickCentre(lobby.m_messageButton);
    else
      lobby.setResult(GuiScreen::kResultBack);
    menu->update();
    ASSERT_EQ(menu->m_current, &main);
    EXPECT_FALSE(lobby.m_messageBox->getModalState());
    clickCentre(main.m_helpButton);
    EXPECT_EQ(main.getResult(), GuiScreen::kChoiceHelp);
    main.setResult(GuiScreen::kNoResult);
  }
}

// Each screen the main menu opens without a race, and its way back.
TEST_F(MenuTest, MainMenuReachesEveryOtherScreenAndBack) {
  init();
  auto& main = screen<MainMenuScreen>(Menu::kMainMenu);
  auto openFromMain = [&](int result) {
    CEGUI::Window* button = main.m_helpButton;
    for (int i = 0; i < MainMenuScreen::kEntryCount; ++i)
      if (MainMenuScreen::kEntries[i].result == result) button = main.m_menuButtons[i];
    clickCentre(button);
    menu->update();
  };
  struct Case {
    int result;
    Menu::Slot slot;
    CEGUI::Window* back;
  };
  auto& options = screen<OptionsScreen>(Menu::kOptions);
  for (const Case& c : {Case{107, Menu::kHighscores, screen<HighscoresScreen>(Menu::kHighscores).m_backButton},
                        Case{108, Menu::kOptions, options.m_backButton}, Case{108, Menu::kOptions, options.m_okButton},
                        Case{109, Menu::kCredits, screen<CreditsScreen>(Menu::kCredits).m_backButton},
                        Case{110, Menu::kHelp, screen<HelpScreen>(Menu::kHelp).m_backButton}}) {
    SCOPED_TRACE(c.result);
    openFromMain(c.result);
    ASSERT_EQ(menu->m_current, menu->screen(c.slot));
    clickCentre(c.back);
    menu->update();
    EXPECT_EQ(menu->m_current, &main);
  }

  // Help's keys reach it only while it is current.
  openFromMain(110);
  auto& help = screen<HelpScreen>(Menu::kHelp);
  input.m_key[208] = 1;  // Down
  menu->handleInput(&input);
  EXPECT_GT(help.m_scrollPane->getVerticalScrollPosition(), 0.0f);
  EXPECT_EQ(input.m_key[208], 0);

  // The language screen goes on to the main menu on Space.
  menu->setScreen(menu->screen(Menu::kSplash));
  input.m_key[57] = 1;
  menu->handleInput(&input);
  EXPECT_EQ(menu->m_current, &main);

  // A link on the exit screen ends the game and is kept for the exit.
  g_exitLink.clear();
  main.setResult(999);
  menu->update();
  ASSERT_EQ(menu->m_current, menu->screen(Menu::kEnd));
  clickCentre(screen<EndScreen>(Menu::kEnd).m_buttons[0]);
  menu->update();
  EXPECT_TRUE(menu->m_quit);
  EXPECT_FALSE(g_exitLink.empty());
  g_exitLink.clear();
}

// Runs `frame` until `done` holds (5 s at most); whether it did.
bool framesUntil(const std::function<void()>& frame, const std::function<bool()>& done) {
  for (int i = 0; i < 500 && !done(); ++i) {
    frame();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

// A lobby button pressed as a click would, checked to be enabled.
void press(CEGUI::Window* button) {
  ASSERT_FALSE(button->isDisabled());
  CEGUI::WindowEventArgs args(button);
  button->fireEvent(CEGUI::PushButton::EventClicked, args, CEGUI::PushButton::EventNamespace);
}

// Two machines' lobbies on one relay: each with its own control and
// settings, refreshed and updated frame by frame as the menu does.
TEST_F(MenuTest, LobbyOfAHostAndAClient) {
  init();
  GameDaemon::ServerThread relay(0);
  ASSERT_TRUE(relay.waitListening());
  NetControl hostNet, clientNet;
  Config hostSettings(nullptr, hostNet, Config::SavedFile::Ignore);
  Config clientSettings(nullptr, clientNet, Config::SavedFile::Ignore);
  std::strcpy(hostSettings.m_playerName1, "Host");
  // A name cut inside a three-byte sequence, as a peer may send it.
  std::strcpy(clientSettings.m_playerName1, "Ann\xE2\x82");
  MultiplayerScreen host(menu.get()), client(menu.get());
  for (auto [lobby, net, settings] :
       {std::tuple{&host, &hostNet, &hostSettings}, {&client, &clientNet, &clientSettings}}) {
    lobby->m_net = net;
    lobby->m_settings = settings;
    lobby->m_port = relay.port();
  }
  host.m_isHost = true;
  auto frame = [&] {
    host.refresh();
    client.refresh();
    hostNet.update();
    clientNet.update();
  };
  auto until = [&](const std::function<bool()>& done) { return framesUntil(frame, done); };
  const TextTable& texts = menu->texts();

  // Alone, the host may not start, and its own ready never starts the race.
  host.activate();
  ASSERT_TRUE(hostNet.seated());
  press(host.m_kartButtons[1]);
  frame();
  EXPECT_TRUE(host.m_startButton->isDisabled());
  hostSettings.m_player[0].modify()->ready = 1;
  frame();
  EXPECT_EQ(host.getResult(), GuiScreen::kNoResult);
  hostSettings.m_player[0].modify()->ready = 0;

  client.activate();
  ASSERT_TRUE(clientNet.seated());
  ASSERT_EQ(clientNet.playerSlot(), 1);
  ASSERT_TRUE(until([&] { return host.m_nameTexts[1]->getText() != ""; }));
  CEGUI::String cutName("Ann");
  cutName += CEGUI::utf32(0xFFFD);
  EXPECT_EQ(host.m_nameTexts[1]->getText().substr(0, 4), cutName);
  EXPECT_EQ(host.m_characterTexts[1]->getText(), texts.getText(100));
  // The client came with its kart chosen.
  EXPECT_EQ(host.m_kartTexts[1]->getText(), texts.getText(700 + clientSettings.m_championshipKart));
  EXPECT_EQ(host.m_readyIcons[1]->getProperty("Image"), "Quillfen/IconWaiting");
  EXPECT_EQ(client.m_nameTexts[0]->getText(), "Host");

  // Laps: the host's to change in a race, shown on both.
  press(host.m_lapsButtons[1]);
  const int laps = hostSettings.m_laps.get();
  ASSERT_TRUE(until([&] { return clientSettings.m_laps.get() == laps; }));
  client.refresh();
  EXPECT_EQ(client.m_lapsText->getText(), texts.getText(2471) + " " + std::to_string(laps));
  EXPECT_TRUE(client.m_lapsButtons[0]->isDisabled());
  EXPECT_FALSE(host.m_lapsButtons[0]->isDisabled());
  hostSettings.m_game.set(2);
  host.refresh();
  EXPECT_TRUE(host.m_lapsButtons[1]->isDisabled());
  EXPECT_FALSE(host.m_lapsText->isVisible());
  hostSettings.m_game.set(1);

  // Every machine sends only what it owns, so nothing changes back and forth.
  auto values = [](const Config& c) {
    return std::vector<int>{c.m_game.get(),
                            c.m_track.get(),
                            c.m_ccm.get(),
                            c.m_laps.get(),
                            c.m_player[0].get().kart,
                            c.m_player[1].get().kart,
                            c.m_player[1].get().character};
  };
  ASSERT_TRUE(until([&] { return values(clientSettings) == values(hostSettings); }));
  const std::vector<int> settled = values(hostSettings);
  for (int i = 0; i < 100; ++i) {
    frame();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(values(hostSettings), settled) << i;
    ASSERT_EQ(values(clientSettings), settled) << i;
  }

  // The host starts once the client is ready; then both machines do.
  EXPECT_TRUE(host.m_startButton->isDisabled());
  press(client.m_kartButtons[1]);
  press(client.m_startButton);
  EXPECT_TRUE(client.m_startButton->isDisabled());
  ASSERT_TRUE(until([&] { return !host.m_startButton->isDisabled(); }));
  EXPECT_EQ(host.getResult(), GuiScreen::kNoResult);
  press(host.m_startButton);
  ASSERT_TRUE(until([&] { return host.getResult() == 0 && client.getResult() == 0; }));
  // The client's grid slot came with its record, before either race loads
  // and gives the computer drivers the slots the players leave.
  EXPECT_EQ(hostSettings.m_player[1].get().startPosition, 4);

  // The host leaves: the client's message says so, once.
  press(host.m_backButton);
  EXPECT_EQ(host.getResult(), 1);
  ASSERT_TRUE(until([&] { return !clientNet.isConnected(); }));
  client.refresh();
  EXPECT_EQ(client.m_messageText->getText(), texts.getText(9004));
  EXPECT_TRUE(client.m_messageBox->isVisible());
  EXPECT_TRUE(client.m_messageBox->getModalState());
  GuiHelper::setText(client.m_messageText, "kept");
  client.refresh();
  EXPECT_EQ(client.m_messageText->getText(), "kept");

  // A second visit starts unready, on the kart chosen the last time.
  client.activate();
  EXPECT_EQ(clientSettings.m_player[clientNet.playerSlot()].get().ready, 0);
  EXPECT_EQ(clientSettings.m_player[clientNet.playerSlot()].get().kart,
            (clientSettings.m_championshipKart + 1) % (Config::kMaxKart + 1));
  EXPECT_FALSE(client.m_messageBox->isVisible());
  client.refresh();
  EXPECT_NE(client.getResult(), 0);
}

// A host's lobby reads its relay's seat table: a player that went without
// a word (the open game announces nobody) is no player, one that leaves
// through the lobby empties its record first, and once the lobby hands
// over to the race nobody joins and any departure is announced.
TEST_F(MenuTest, AHostsLobbyForgetsPlayersThatWentAndLocksItsRelayAsItHandsOver) {
  init();
  GameDaemon::ServerThread relay(0);
  ASSERT_TRUE(relay.waitListening());
  NetControl hostNet, watcherNet;
  Config hostSettings(nullptr, hostNet, Config::SavedFile::Ignore);
  MultiplayerScreen host(menu.get());
  host.m_net = &hostNet;
  host.m_settings = &hostSettings;
  host.m_port = relay.port();
  host.m_relay = relay.server();
  host.m_isHost = true;
  host.activate();
  ASSERT_TRUE(hostNet.seated());
  press(host.m_kartButtons[1]);
  // A machine that only watches the records, in seat 1.
  Config watcher(nullptr, watcherNet, Config::SavedFile::Ignore);
  ASSERT_EQ(watcherNet.joinGame("127.0.0.1", relay.port(), 3000), NetControl::JoinResult::Accepted);
  for (auto& record : watcher.m_player) record.setFlags(kNetAcceptReceived);
  for (NetValue<int>* choice : {&watcher.m_game, &watcher.m_track, &watcher.m_ccm, &watcher.m_laps})
    choice->setFlags(kNetAcceptReceived);

  // A client in seat 2, ready, as every machine sees it.
  struct Client {
    NetControl net;
    Config settings{nullptr, net, Config::SavedFile::Ignore};
    std::unique_ptr<MultiplayerScreen> lobby;
  };
  std::unique_ptr<Client> client;
  auto frame = [&] {
    host.refresh();
    if (client) client->lobby->refresh();
    hostNet.update();
    watcherNet.update();
    if (client) client->net.update();
  };
  auto seatReadyClient = [&] {
    client = std::make_unique<Client>();
    client->lobby = std::make_unique<MultiplayerScreen>(menu.get());
    client->lobby->m_net = &client->net;
    client->lobby->m_settings = &client->settings;
    client->lobby->m_port = relay.port();
    client->lobby->activate();
    ASSERT_EQ(client->net.playerSlot(), 2);
    press(client->lobby->m_kartButtons[1]);
    press(client->lobby->m_startButton);
    ASSERT_TRUE(framesUntil(
        frame, [&] { return hostSettings.m_player[2].get().ready == 1 && watcher.m_player[2].get().ready == 1; }));
    frame();  // the host's lobby looks at what came
    EXPECT_FALSE(host.m_startButton->isDisabled());
  };
  auto dropClient = [&] {
    client->lobby.reset();
    client.reset();
  };

  // Gone without a word: its record stays ready on the others, but the host
  // neither counts nor shows it, and may not start alone.
  ASSERT_NO_FATAL_FAILURE(seatReadyClient());
  client->net.disconnect();
  dropClient();
  ASSERT_TRUE(framesUntil(frame, [&] { return !relay.server()->slotOccupied(2); }));
  frame();
  EXPECT_EQ(hostSettings.m_player[2].get().character, -1);
  EXPECT_EQ(host.m_nameTexts[2]->getText(), "");
  EXPECT_TRUE(host.m_startButton->isDisabled());
  hostSettings.m_player[0].modify()->ready = 1;
  frame();
  EXPECT_EQ(host.getResult(), GuiScreen::kNoResult) << "a race with a player that is gone";
  hostSettings.m_player[0].modify()->ready = 0;
  EXPECT_EQ(watcher.m_player[2].get().ready, 1);

  // Leaving through the lobby: the others see the record emptied.
  ASSERT_NO_FATAL_FAILURE(seatReadyClient());
  press(client->lobby->m_backButton);
  dropClient();
  EXPECT_TRUE(framesUntil(frame, [&] { return watcher.m_player[2].get().character == -1; }));

  // Everyone ready: the host's lobby hands over, and locks the relay.
  ASSERT_NO_FATAL_FAILURE(seatReadyClient());
  press(host.m_startButton);
  ASSERT_TRUE(framesUntil(frame, [&] { return host.getResult() == GuiScreen::kResultOk; }));
  // The lock holds by the time the lobby has handed over, so no player
  // can leave between the last look at the seats and the lock unnoticed.
  host.applySelection();
  EXPECT_TRUE(relay.server()->isLocked());
  NetControl late;
  EXPECT_EQ(late.joinGame("127.0.0.1", relay.port(), 3000), NetControl::JoinResult::Refused);
  client->net.leave();
  EXPECT_TRUE(framesUntil(frame, [&] { return hostNet.getState() == NetControl::kStatePlayerLeft; }));
  dropClient();
  watcherNet.leave();
  hostNet.leave();
}

}  // namespace
