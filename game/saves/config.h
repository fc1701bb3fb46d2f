// The settings object: everything the player chooses and everything the
// menus hand to the race, the settings block and key bindings kept in
// "config.dat", and the cipher of that file. Screens, the race, the
// controllers and the karts read and write its fields directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "foundation/file.h"
#include "game/saves/blowfish.h"
#include "game/track/track_numbers.h"
#include "net/net_value.h"

class InputDevice;

// One driver, replicated as one 156-byte record. The members sit at the
// record's offsets (checked below), so the record's bytes are the wire form
// on this little-endian machine; toBytes/fromBytes spell it out.
struct ConfigPlayer {
  static constexpr int kNameSize = 31;
  static constexpr std::size_t kRecordSize = 156;

  ConfigPlayer();

  std::int32_t character;     // 0..5, -1 none chosen yet
  std::int32_t kart;          // 0..7, -1 none chosen yet
  char name[kNameSize];       // NUL-terminated
  std::uint8_t ready;         // the lobby's ready flag
  std::uint8_t raceReady[2];  // the race's ready flags, cleared by its load
  std::uint8_t padding[2];
  std::int32_t startPosition;
  std::int32_t position;  // 0 = first
  float raceTime;
  std::int32_t racePoints;
  float totalTime;
  std::int32_t totalPoints;
  float bestLap;
  float lapTimes[21];

  void toBytes(std::uint8_t (&bytes)[kRecordSize]) const;
  void fromBytes(const std::uint8_t (&bytes)[kRecordSize]);
  // A record from another machine: the name ends in NUL, character and kart
  // lie in -1..5 and -1..7 (anything else becomes -1, "choose one").
  void bringIntoRange();
};

// The wire form of the record for its replicated value: the record's bytes
// field by field. A record from a peer is brought into range as it arrives.
template <>
struct NetWire<ConfigPlayer> {
  static constexpr int size = static_cast<int>(ConfigPlayer::kRecordSize);
  static void write(const ConfigPlayer& v, std::uint8_t* out);
  static void read(const std::uint8_t* in, ConfigPlayer& v);
  static bool same(const ConfigPlayer& a, const ConfigPlayer& b);
  static ConfigPlayer initial() { return ConfigPlayer(); }
};

class Config {
 public:
  static constexpr const char* kFileName = "config.dat";
  static constexpr const char* kKey = "Hq4Tz8Wc2Ry6Pk1N";

  static constexpr int kPlayerCount = 6;
  static constexpr int kBindingCount = 14;
  static constexpr int kClassCount = 3;
  static constexpr int kMaxCharacter = 5;
  static constexpr int kMaxKart = 7;
  static constexpr int kNameSize = 31;  // 30 characters and the terminator

  // Sizes of the three blocks of "config.dat" and of the replicated record.
  static constexpr std::size_t kSettingsBlockSize = 294;
  static constexpr std::size_t kBindingBlockSize = kBindingCount * 4;
  static constexpr std::size_t kPlayerRecordSize = 156;

  // Binding kinds: mouse axes 0-2, mouse button 3, key 4, controller POV and
  // axes 5-8, controller button 9. Codes index 3 mouse buttons, 256 keys or
  // 20 controller buttons.
  enum BindingKind : std::uint32_t { kBindMouseButton = 3, kBindKey = 4, kBindJoystickButton = 9 };
  static constexpr std::uint32_t kMaxBindingKind = 9;
  static constexpr std::uint32_t kMouseButtons = 3;
  static constexpr std::uint32_t kKeys = 256;
  static constexpr std::uint32_t kJoystickButtons = 20;

  // One driver, replicated as one 156-byte record (see ConfigPlayer).
  using Player = ConfigPlayer;

  // Whether construction reads "config.dat" from the working directory (and
  // writes the defaults there when it cannot) or only takes the defaults.
  enum class SavedFile { Use, Ignore };

  // The replicated values register with `control` (the game's one control
  // unless a test brings its own).
  explicit Config(InputDevice* input = nullptr, NetControl& control = NetControl::getInstance(),
                  SavedFile savedFile = SavedFile::Use);
  ~Config();
  Config(const Config&) = delete;
  Config& operator=(const Config&) = delete;

  bool load();
  // The three blocks from an open file; nothing changes unless all are good.
  bool loadFrom(File& file);
  bool save();
  void setDefaults();

  // One block of the file with this object's cipher.
  bool writeBlock(const void* data, std::size_t length, File& file) const;
  bool readBlock(void* destination, std::size_t length, File& file) const;

  // The settings block exactly as the file's first block holds it.
  void writeSettingsBlock(std::uint8_t (&bytes)[kSettingsBlockSize]) const;
  void readSettingsBlock(const std::uint8_t (&bytes)[kSettingsBlockSize]);

  // Every loaded value that is later used as an index or size, in range.
  void bringIntoRange();

  // Records in use: those with a character other than -1.
  std::uint32_t countPlayers() const;

  // A network race's grid slot of the player in `seat` (record `seat`):
  // known from the seat alone, the host (seat 0) starting last.
  static constexpr int gridSlotOfSeat(int seat) { return kPlayerCount - 1 - seat; }

  InputDevice* m_input;

  // The replicated race choice.
  NetValue<int> m_game;         // a GameMode
  std::int32_t m_playType = 0;  // a PlayType
  NetValue<int> m_ccm;          // engine class 0..2
  NetValue<int> m_track;        // track index 0..7
  NetValue<int> m_laps;
  NetValue<Player> m_player[kPlayerCount];

  std::uint8_t m_isAuthority = 1;
  std::int32_t m_controlType[kPlayerCount] = {};

  // Hand-over flags between menu and race.
  std::uint8_t m_skipMenu = 0;
  std::uint8_t m_showSplash = 1;
  std::uint8_t m_showHighscores = 0;
  std::uint8_t m_enterHighscore = 0;
  std::uint8_t m_highscoreMusic = 0;
  std::int32_t m_highscoreTrack = 0;
  std::int32_t m_highscoreKind = 0;  // a HighscoreKind
  std::int32_t m_highscoreClass = 0;
  std::uint8_t m_raceEndedFromPause = 0;
  std::string m_text;

  std::uint32_t m_bindingKind[kBindingCount];
  std::uint32_t m_bindingCode[kBindingCount];

  // The settings block, in block order.
  std::int32_t m_resolutionWidth;
  std::int32_t m_resolutionHeight;
  std::int32_t m_brightness;
  std::int32_t m_contrast;
  std::int32_t m_gamma;
  std::int32_t m_language;  // 0..4, -1 none chosen
  std::int32_t m_musicVolume;
  std::int32_t m_effectsVolume;
  std::int32_t m_modelDetail;    // 0 or 1
  std::int32_t m_textureDetail;  // -2..0
  char m_playerName1[kNameSize];
  char m_playerName2[kNameSize];

  // Time trial (56 bytes). The unnamed fields are kept as stored.
  std::int32_t m_timeTrialCcm;
  std::int32_t m_timeTrialLaps;
  std::int32_t m_timeTrialKart;
  std::int32_t m_timeTrialMaxKart[kClassCount];
  std::int32_t m_timeTrialCharacter;
  std::int32_t m_timeTrialMaxCharacter[kClassCount];
  std::int32_t m_timeTrialTrack;
  std::int32_t m_timeTrialTail[3];

  // Championship (52 bytes).
  std::int32_t m_championshipCcm;
  std::int32_t m_championshipKart;
  std::int32_t m_championshipMaxKart[kClassCount];
  std::int32_t m_championshipCharacter;
  std::int32_t m_championshipMaxCharacter[kClassCount];
  std::int32_t m_championshipTrack;  // first track of the cup: 0 or 4
  std::int32_t m_championshipTail[3];

  // Last man standing (52 bytes, laid out as the championship).
  std::int32_t m_lastManStandingCcm;
  std::int32_t m_lastManStandingKart;
  std::int32_t m_lastManStandingMaxKart[kClassCount];
  std::int32_t m_lastManStandingCharacter;
  std::int32_t m_lastManStandingMaxCharacter[kClassCount];
  std::int32_t m_lastManStandingTrack;
  std::int32_t m_lastManStandingTail[3];

  // Two players (32 bytes).
  std::int32_t m_twoPlayersHead;
  std::int32_t m_twoPlayersCcm;
  std::int32_t m_twoPlayersCharacter1;
  std::int32_t m_twoPlayersCharacter2;
  std::int32_t m_twoPlayersKart1;
  std::int32_t m_twoPlayersKart2;
  std::int32_t m_twoPlayersTail[2];

  Blowfish m_cipher;

 private:
  void setSettingsDefaults();
  void setBindingDefaults();
  // The per-mode "current race" fields go back to their start values on
  // every start, whatever the file held.
  void applyRestartResets();
};
