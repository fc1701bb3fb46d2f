// The network game's two screens: the choice between hosting and joining
// (with the host's address), and the lobby, where the host sets track,
// engine class and laps, every player picks a kart and a character and
// says ready. The lobby's windows are refreshed from the replicated values.
#pragma once

#include <memory>
#include <string>

#include "gui/gui_screen.h"
#include "net/relay_server.h"

namespace CEGUI {
class EventArgs;
class Window;
}  // namespace CEGUI

class Config;
class NameMatcher;
class NetControl;

class MultiplayerSelectScreen : public GuiScreen {
 public:
  explicit MultiplayerSelectScreen(Menu* menu);
  ~MultiplayerSelectScreen() override;
  const char* getName() const override { return "MultiplayerSelectScreen"; }
  void activate() override;
  // The dotted IPv4 address typed in.
  CEGUI::String address() const;

  CEGUI::Window* m_hostButton = nullptr;
  CEGUI::Window* m_joinButton = nullptr;
  CEGUI::Window* m_backButton = nullptr;
  CEGUI::Window* m_addressBox = nullptr;
  CEGUI::Window* m_hostLabel = nullptr;
  CEGUI::Window* m_joinLabel = nullptr;
  CEGUI::Window* m_addressLabel = nullptr;
  // Says what to type when "join" met an address that is none.
  CEGUI::Window* m_addressProblem = nullptr;

 private:
  std::unique_ptr<NameMatcher> m_addressMatcher;
};

class MultiplayerScreen : public GuiScreen {
 public:
  static constexpr int kRows = 5;
  explicit MultiplayerScreen(Menu* menu);
  ~MultiplayerScreen() override;
  const char* getName() const override { return "MultiplayerScreen"; }
  // Seats this machine (the host on its own relay, a client at m_address),
  // then starts every record afresh with only its own choice in it.
  void activate() override;
  // Takes the connection message down with the screen.
  void deactivate() override;
  // Once a frame while current: the replicated choice into the windows, the
  // start when everyone is ready, and the message when the link is gone.
  void refresh();
  // The network race: game 1, play type 2, the host's laps, class and
  // track; this machine's record drives with the local bindings (control 0
  // on the host, 4 on a client), the others are remote (3); record i
  // starts at 5 - i; only the host is the authority. The host locks its
  // relay here: from now on nobody joins, and a player leaving is
  // announced to everyone.
  void applySelection() override;

  // This machine's record, its kart and character brought into 0..7, 0..5.
  int localKartIndex() const;
  int localCharacterIndex() const;
  // Ready needs an own kart: a record with kart -1 would be handed to the
  // computer by the race load. The host may start only once every other
  // player is ready; a client's button is spent once it said ready.
  void updateStartButton();

  bool m_isHost = false;
  // Where a client joins (set from the host-or-join screen) and the relay's
  // port; the control and settings default to the game's own.
  std::string m_address = "127.0.0.1";
  WORD m_port = GameDaemon::kRelayPort;
  // The host's own relay: a record whose seat it holds empty is no player's
  // (one that left without a word while the game was open).
  GameDaemon::GameServer* m_relay = nullptr;
  NetControl* m_net = nullptr;
  Config* m_settings = nullptr;
  CEGUI::Window* m_startButton = nullptr;
  CEGUI::Window* m_backButton = nullptr;
  CEGUI::Window* m_localKartText = nullptr;
  CEGUI::Window* m_localCharacterText = nullptr;
  CEGUI::Window* m_kartButtons[2] = {};
  CEGUI::Window* m_characterButtons[2] = {};
  CEGUI::Window* m_trackImage = nullptr;
  CEGUI::Window* m_trackText = nullptr;
  CEGUI::Window* m_trackButtons[2] = {};
  CEGUI::Window* m_lapsText = nullptr;
  CEGUI::Window* m_lapsButtons[2] = {};
  CEGUI::Window* m_ccmText = nullptr;
  CEGUI::Window* m_ccmButtons[2] = {};
  CEGUI::Window* m_modeText = nullptr;
  CEGUI::Window* m_nameTexts[kRows] = {};
  CEGUI::Window* m_characterTexts[kRows] = {};
  CEGUI::Window* m_kartTexts[kRows] = {};
  CEGUI::Window* m_readyIcons[kRows] = {};
  CEGUI::Window* m_messageBox = nullptr;
  CEGUI::Window* m_messageText = nullptr;
  CEGUI::Window* m_messageButton = nullptr;

 private:
  Config& config() const;
  NetControl& net() const;
  void leave();
  // On the host, records of seats its relay holds empty become empty.
  void forgetEmptySeats();
  // On the host, locks its relay and waits (briefly) until the lock holds.
  void lockRelay();
  void showRows();
  int localSlot() const;
  void showOwnChoice();
  void showRaceChoice();
  // -1 or +1 on a host's setting, wrapping within first..last.
  void stepShared(int which, int delta);
  void stepOwn(bool kart, int delta);
  // The own kart of the last visit (0..7), -1 before the first choice.
  int m_lastKart = -1;
};
