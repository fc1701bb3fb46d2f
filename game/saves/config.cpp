#include "game/saves/config.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "foundation/byte_fields.h"
#include "foundation/replacing_file.h"
#include "game/saves/cipher_block.h"
#include "game/track/track_numbers.h"

static_assert(sizeof(Config::Player) == Config::kPlayerRecordSize);
static_assert(ConfigPlayer::kRecordSize == Config::kPlayerRecordSize && ConfigPlayer::kNameSize == Config::kNameSize);
static_assert(offsetof(Config::Player, name) == 8);
static_assert(offsetof(Config::Player, ready) == 39);
static_assert(offsetof(Config::Player, raceReady) == 40);
static_assert(offsetof(Config::Player, startPosition) == 44);
static_assert(offsetof(Config::Player, raceTime) == 52);
static_assert(offsetof(Config::Player, totalPoints) == 64);
static_assert(offsetof(Config::Player, bestLap) == 68);
static_assert(offsetof(Config::Player, lapTimes) == 72);

namespace {

// Default keys by action, as DirectInput scan codes: player 1 A, D, W, S,
// Space, Tab, Space; player 2 Left, Right, Up, Down, right Shift, right Alt,
// right Ctrl.
constexpr std::uint32_t kDefaultKeys[Config::kBindingCount] = {30,  32,  17,  31,  57, 15,  57,
                                                               203, 205, 200, 208, 54, 184, 157};

// Block sizes, field by field, so a change of layout fails to compile.
constexpr std::size_t kModeBlockSize = 13 * 4;
constexpr std::size_t kTimeTrialBlockSize = 14 * 4;
constexpr std::size_t kTwoPlayerBlockSize = 8 * 4;
static_assert(10 * 4 + 2 * Config::kNameSize + kTimeTrialBlockSize + 2 * kModeBlockSize + kTwoPlayerBlockSize ==
              Config::kSettingsBlockSize);

int clampInt(int value, int low, int high) { return std::clamp(value, low, high); }

void forceTerminated(char (&name)[Config::kNameSize]) { name[Config::kNameSize - 1] = '\0'; }

// A time from a peer: not a number, infinite or beyond a thousand hours
// counts as none (0).
float finiteTime(float t) { return std::isfinite(t) && std::fabs(t) <= 3.6e6f ? t : 0.0f; }

void writeName(FieldWriter& w, const char (&name)[Config::kNameSize]) { w.raw(name, Config::kNameSize); }
void readName(FieldReader& r, char (&name)[Config::kNameSize]) { r.raw(name, Config::kNameSize); }

template <std::size_t N>
void writeInts(FieldWriter& w, const std::int32_t (&values)[N]) {
  for (std::int32_t v : values) w.i32(v);
}
template <std::size_t N>
void readInts(FieldReader& r, std::int32_t (&values)[N]) {
  for (std::int32_t& v : values) v = r.i32();
}

// Kart and character choices index preview scenes and files: karts 0..7,
// characters 0..5, engine classes 0..2, tracks 0..7.
void bringSelectionIntoRange(std::int32_t& ccm, std::int32_t& kart, std::int32_t (&maxKart)[Config::kClassCount],
                             std::int32_t& character, std::int32_t (&maxCharacter)[Config::kClassCount],
                             std::int32_t& track) {
  ccm = clampInt(ccm, 0, Config::kClassCount - 1);
  kart = clampInt(kart, 0, Config::kMaxKart);
  character = clampInt(character, 0, Config::kMaxCharacter);
  for (std::int32_t& m : maxKart) m = clampInt(m, 0, Config::kMaxKart);
  for (std::int32_t& m : maxCharacter) m = clampInt(m, 0, Config::kMaxCharacter);
  track = clampInt(track, 0, kTrackCount - 1);
}

}  // namespace

ConfigPlayer::ConfigPlayer()
    : character(-1),
      kart(-1),
      name{},
      ready(0),
      raceReady{},
      padding{},
      startPosition(0),
      position(0),
      raceTime(0.0f),
      racePoints(0),
      totalTime(0.0f),
      totalPoints(0),
      bestLap(0.0f),
      lapTimes{} {}

void ConfigPlayer::toBytes(std::uint8_t (&bytes)[kRecordSize]) const {
  FieldWriter w(bytes, sizeof bytes);
  w.i32(character);
  w.i32(kart);
  w.raw(name, sizeof name);
  w.u8(ready);
  w.raw(raceReady, sizeof raceReady);
  w.raw(padding, sizeof padding);
  w.i32(startPosition);
  w.i32(position);
  w.f32(raceTime);
  w.i32(racePoints);
  w.f32(totalTime);
  w.i32(totalPoints);
  w.f32(bestLap);
  for (float t : lapTimes) w.f32(t);
}

void ConfigPlayer::fromBytes(const std::uint8_t (&bytes)[kRecordSize]) {
  FieldReader r(bytes, sizeof bytes);
  character = r.i32();
  kart = r.i32();
  r.raw(name, sizeof name);
  ready = r.u8();
  r.raw(raceReady, sizeof raceReady);
  r.raw(padding, sizeof padding);
  startPosition = r.i32();
  position = r.i32();
  raceTime = r.f32();
  racePoints = r.i32();
  totalTime = r.f32();
  totalPoints = r.i32();
  bestLap = r.f32();
  for (float& t : lapTimes) t = r.f32();
}

void ConfigPlayer::bringIntoRange() {
  forceTerminated(name);
  if (character < -1 || character > Config::kMaxCharacter) character = -1;
  if (kart < -1 || kart > Config::kMaxKart) kart = -1;
  // Grid slots and places name start items and result rows; the grid
  // slot's item is looked up one above it.
  if (startPosition < 0 || startPosition >= Config::kPlayerCount) startPosition = 0;
  if (position < 0 || position >= Config::kPlayerCount) position = 0;
  // Times are shown, summed and sorted: NaN or infinity would sort
  // nowhere and sum to nonsense.
  for (float* t : {&raceTime, &totalTime, &bestLap}) *t = finiteTime(*t);
  for (float& t : lapTimes) t = finiteTime(t);
}

void NetWire<ConfigPlayer>::write(const ConfigPlayer& v, std::uint8_t* out) {
  std::uint8_t bytes[ConfigPlayer::kRecordSize];
  v.toBytes(bytes);
  std::memcpy(out, bytes, sizeof bytes);
}

void NetWire<ConfigPlayer>::read(const std::uint8_t* in, ConfigPlayer& v) {
  std::uint8_t bytes[ConfigPlayer::kRecordSize];
  std::memcpy(bytes, in, sizeof bytes);
  v.fromBytes(bytes);
  v.bringIntoRange();
}

bool NetWire<ConfigPlayer>::same(const ConfigPlayer& a, const ConfigPlayer& b) {
  std::uint8_t left[ConfigPlayer::kRecordSize], right[ConfigPlayer::kRecordSize];
  a.toBytes(left);
  b.toBytes(right);
  return std::memcmp(left, right, sizeof left) == 0;
}

Config::Config(InputDevice* input, NetControl& control, SavedFile savedFile)
    : m_input(input),
      m_game(control),
      m_ccm(control),
      m_track(control),
      m_laps(control),
      m_player{NetValue<Player>(control), NetValue<Player>(control), NetValue<Player>(control),
               NetValue<Player>(control), NetValue<Player>(control), NetValue<Player>(control)} {
  m_game.init(20, 3);
  m_game.setName("m_game");
  m_laps.init(21, 1);
  m_laps.setName("m_laps");
  m_track.init(22, 0);
  m_track.setName("m_track");
  m_ccm.init(23, 0);
  m_ccm.setName("m_ccm");
  for (int i = 0; i < kPlayerCount; ++i) {
    m_player[i].init(25 + i);
    m_player[i].setName("m_player[]");
  }

  m_cipher.setKey(kKey, std::strlen(kKey));
  setSettingsDefaults();
  setBindingDefaults();
  if (savedFile == SavedFile::Ignore) {
    setDefaults();
  } else if (!load()) {
    setDefaults();
    save();
  }
  applyRestartResets();
}

Config::~Config() = default;

void Config::setSettingsDefaults() {
  m_resolutionWidth = 1024;
  m_resolutionHeight = 768;
  m_brightness = 50;
  m_contrast = 50;
  m_gamma = 50;
  m_language = 0;
  m_musicVolume = 50;
  m_effectsVolume = 50;
  m_modelDetail = 0;
  m_textureDetail = -1;
  std::memset(m_playerName1, 0, sizeof m_playerName1);
  std::memset(m_playerName2, 0, sizeof m_playerName2);
  std::strcpy(m_playerName1, "Player 1");
  std::strcpy(m_playerName2, "Player 2");

  m_timeTrialCcm = 0;
  m_timeTrialLaps = 3;
  m_timeTrialKart = 0;
  std::fill(std::begin(m_timeTrialMaxKart), std::end(m_timeTrialMaxKart), 7);
  m_timeTrialCharacter = 0;
  std::fill(std::begin(m_timeTrialMaxCharacter), std::end(m_timeTrialMaxCharacter), 4);
  m_timeTrialTrack = 0;
  m_timeTrialTail[0] = 3;
  m_timeTrialTail[1] = 0;
  m_timeTrialTail[2] = 0;

  m_championshipCcm = 0;
  m_championshipKart = 0;
  std::fill(std::begin(m_championshipMaxKart), std::end(m_championshipMaxKart), 7);
  m_championshipCharacter = 0;
  std::fill(std::begin(m_championshipMaxCharacter), std::end(m_championshipMaxCharacter), 4);
  m_championshipTrack = 0;
  m_championshipTail[0] = 3;
  m_championshipTail[1] = 0;
  m_championshipTail[2] = 0;

  m_lastManStandingCcm = 0;
  m_lastManStandingKart = 0;
  std::fill(std::begin(m_lastManStandingMaxKart), std::end(m_lastManStandingMaxKart), 7);
  m_lastManStandingCharacter = 0;
  std::fill(std::begin(m_lastManStandingMaxCharacter), std::end(m_lastManStandingMaxCharacter), 4);
  m_lastManStandingTrack = 0;
  m_lastManStandingTail[0] = 3;
  m_lastManStandingTail[1] = 0;
  m_lastManStandingTail[2] = 0;

  m_twoPlayersHead = 3;
  m_twoPlayersCcm = 0;
  m_twoPlayersCharacter1 = 0;
  m_twoPlayersCharacter2 = 1;
  m_twoPlayersKart1 = 0;
  m_twoPlayersKart2 = 1;
  m_twoPlayersTail[0] = 3;
  m_twoPlayersTail[1] = 0;
}

void Config::setBindingDefaults() {
  for (int i = 0; i < kBindingCount; ++i) {
    m_bindingKind[i] = kBindKey;
    m_bindingCode[i] = kDefaultKeys[i];
  }
}

void Config::setDefaults() {
  setSettingsDefaults();
  setBindingDefaults();
  std::fill(std::begin(m_controlType), std::end(m_controlType), 0);
  for (NetValue<Player>& player : m_player) {
    Player* record = player.modify();
    record->character = 0;
    record->kart = 0;
  }
}

std::uint32_t Config::countPlayers() const {
  std::uint32_t count = 0;
  for (const NetValue<Player>& player : m_player) {
    if (player.get().character != -1) ++count;
  }
  return count;
}

void Config::applyRestartResets() {
  m_timeTrialTail[0] = m_timeTrialTail[1] = m_timeTrialTail[2] = 0;
  m_lastManStandingTail[0] = m_lastManStandingTail[1] = m_lastManStandingTail[2] = 0;
  m_championshipTail[0] = 3;
  m_championshipTail[1] = m_championshipTail[2] = 0;
}

void Config::writeSettingsBlock(std::uint8_t (&bytes)[kSettingsBlockSize]) const {
  FieldWriter w(bytes, sizeof bytes);
  w.i32(m_resolutionWidth);
  w.i32(m_resolutionHeight);
  w.i32(m_brightness);
  w.i32(m_contrast);
  w.i32(m_gamma);
  w.i32(m_language);
  w.i32(m_musicVolume);
  w.i32(m_effectsVolume);
  w.i32(m_modelDetail);
  w.i32(m_textureDetail);
  writeName(w, m_playerName1);
  writeName(w, m_playerName2);

  w.i32(m_timeTrialCcm);
  w.i32(m_timeTrialLaps);
  w.i32(m_timeTrialKart);
  writeInts(w, m_timeTrialMaxKart);
  w.i32(m_timeTrialCharacter);
  writeInts(w, m_timeTrialMaxCharacter);
  w.i32(m_timeTrialTrack);
  writeInts(w, m_timeTrialTail);

  w.i32(m_championshipCcm);
  w.i32(m_championshipKart);
  writeInts(w, m_championshipMaxKart);
  w.i32(m_championshipCharacter);
  writeInts(w, m_championshipMaxCharacter);
  w.i32(m_championshipTrack);
  writeInts(w, m_championshipTail);

  w.i32(m_lastManStandingCcm);
  w.i32(m_lastManStandingKart);
  writeInts(w, m_lastManStandingMaxKart);
  w.i32(m_lastManStandingCharacter);
  writeInts(w, m_lastManStandingMaxCharacter);
  w.i32(m_lastManStandingTrack);
  writeInts(w, m_lastManStandingTail);

  w.i32(m_twoPlayersHead);
  w.i32(m_twoPlayersCcm);
  w.i32(m_twoPlayersCharacter1);
  w.i32(m_twoPlayersCharacter2);
  w.i32(m_twoPlayersKart1);
  w.i32(m_twoPlayersKart2);
  writeInts(w, m_twoPlayersTail);
}

void Config::readSettingsBlock(const std::uint8_t (&bytes)[kSettingsBlockSize]) {
  FieldReader r(bytes, sizeof bytes);
  m_resolutionWidth = r.i32();
  m_resolutionHeight = r.i32();
  m_brightness = r.i32();
  m_contrast = r.i32();
  m_gamma = r.i32();
  m_language = r.i32();
  m_musicVolume = r.i32();
  m_effectsVolume = r.i32();
  m_modelDetail = r.i32();
  m_textureDetail = r.i32();
  readName(r, m_playerName1);
  readName(r, m_playerName2);

  m_timeTrialCcm = r.i32();
  m_timeTrialLaps = r.i32();
  m_timeTrialKart = r.i32();
  readInts(r, m_timeTrialMaxKart);
  m_timeTrialCharacter = r.i32();
  readInts(r, m_timeTrialMaxCharacter);
  m_timeTrialTrack = r.i32();
  readInts(r, m_timeTrialTail);

  m_championshipCcm = r.i32();
  m_championshipKart = r.i32();
  readInts(r, m_championshipMaxKart);
  m_championshipCharacter = r.i32();
  readInts(r, m_championshipMaxCharacter);
  m_championshipTrack = r.i32();
  readInts(r, m_championshipTail);

  m_lastManStandingCcm = r.i32();
  m_lastManStandingKart = r.i32();
  readInts(r, m_lastManStandingMaxKart);
  m_lastManStandingCharacter = r.i32();
  readInts(r, m_lastManStandingMaxCharacter);
  m_lastManStandingTrack = r.i32();
  readInts(r, m_lastManStandingTail);

  m_twoPlayersHead = r.i32();
  m_twoPlayersCcm = r.i32();
  m_twoPlayersCharacter1 = r.i32();
  m_twoPlayersCharacter2 = r.i32();
  m_twoPlayersKart1 = r.i32();
  m_twoPlayersKart2 = r.i32();
  readInts(r, m_twoPlayersTail);
}

void Config::bringIntoRange() {
  forceTerminated(m_playerName1);
  forceTerminated(m_playerName2);

  // A display size outside any real mode goes back to the default pair.
  constexpr int kMaxDisplaySide = 16384;
  if (m_resolutionWidth <= 0 || m_resolutionWidth > kMaxDisplaySide || m_resolutionHeight <= 0 ||
      m_resolutionHeight > kMaxDisplaySide) {
    m_resolutionWidth = 1024;
    m_resolutionHeight = 768;
  }
  m_brightness = clampInt(m_brightness, 0, 100);
  m_contrast = clampInt(m_contrast, 0, 100);
  m_gamma = clampInt(m_gamma, 0, 100);
  m_musicVolume = clampInt(m_musicVolume, 0, 100);
  m_effectsVolume = clampInt(m_effectsVolume, 0, 100);
  // -1 means "no language chosen yet" and makes the splash screen ask;
  // values above 4 count as the first language.
  if (m_language < -1 || m_language > 4) m_language = 0;
  if (m_modelDetail != 0 && m_modelDetail != 1) m_modelDetail = 0;
  if (m_textureDetail < -2 || m_textureDetail > 0) m_textureDetail = -1;

  bringSelectionIntoRange(m_timeTrialCcm, m_timeTrialKart, m_timeTrialMaxKart, m_timeTrialCharacter,
                          m_timeTrialMaxCharacter, m_timeTrialTrack);
  bringSelectionIntoRange(m_championshipCcm, m_championshipKart, m_championshipMaxKart, m_championshipCharacter,
                          m_championshipMaxCharacter, m_championshipTrack);
  // A cup starts at track 0 (the first four tracks) or 4 (the last four).
  m_championshipTrack = m_championshipTrack < kCupTracks ? 0 : kCupTracks;
  bringSelectionIntoRange(m_lastManStandingCcm, m_lastManStandingKart, m_lastManStandingMaxKart,
                          m_lastManStandingCharacter, m_lastManStandingMaxCharacter, m_lastManStandingTrack);
  m_twoPlayersCcm = clampInt(m_twoPlayersCcm, 0, kClassCount - 1);
  m_twoPlayersCharacter1 = clampInt(m_twoPlayersCharacter1, 0, kMaxCharacter);
  m_twoPlayersCharacter2 = clampInt(m_twoPlayersCharacter2, 0, kMaxCharacter);
  m_twoPlayersKart1 = clampInt(m_twoPlayersKart1, 0, kMaxKart);
  m_twoPlayersKart2 = clampInt(m_twoPlayersKart2, 0, kMaxKart);

  // A binding whose code does not fit its kind falls back to its default key.
  for (int i = 0; i < kBindingCount; ++i) {
    const std::uint32_t kind = m_bindingKind[i], code = m_bindingCode[i];
    const bool valid = kind <= kMaxBindingKind && (kind != kBindMouseButton || code < kMouseButtons) &&
                       (kind != kBindKey || code < kKeys) && (kind != kBindJoystickButton || code < kJoystickButtons);
    if (!valid) {
      m_bindingKind[i] = kBindKey;
      m_bindingCode[i] = kDefaultKeys[i];
    }
  }
}

bool Config::writeBlock(const void* data, std::size_t length, File& file) const {
  return writeCipherBlock(m_cipher, static_cast<const std::uint8_t*>(data), length, file);
}

bool Config::readBlock(void* destination, std::size_t length, File& file) const {
  return readCipherBlock(m_cipher, static_cast<std::uint8_t*>(destination), length, file);
}

bool Config::save() {
  std::uint8_t settings[kSettingsBlockSize];
  writeSettingsBlock(settings);
  std::uint8_t kinds[kBindingBlockSize], codes[kBindingBlockSize];
  FieldWriter kindWriter(kinds, sizeof kinds), codeWriter(codes, sizeof codes);
  for (int i = 0; i < kBindingCount; ++i) {
    kindWriter.u32(m_bindingKind[i]);
    codeWriter.u32(m_bindingCode[i]);
  }

  ReplacingFile out(kFileName);
  if (!out.begin()) return false;
  const bool written = writeBlock(settings, sizeof settings, out.file()) &&
                       writeBlock(kinds, sizeof kinds, out.file()) && writeBlock(codes, sizeof codes, out.file());
  return out.commit(written);
}

bool Config::load() {
  DiskFile file;
  if (!file.open(kFileName)) return false;
  const bool good = loadFrom(file);
  file.close();
  return good;
}

bool Config::loadFrom(File& file) {
  // All three blocks or nothing: a damaged file never leaves half of its
  // content in the settings.
  std::uint8_t settings[kSettingsBlockSize];
  std::uint8_t kinds[kBindingBlockSize], codes[kBindingBlockSize];
  if (!readBlock(settings, sizeof settings, file) || !readBlock(kinds, sizeof kinds, file) ||
      !readBlock(codes, sizeof codes, file)) {
    return false;
  }

  readSettingsBlock(settings);
  FieldReader kindReader(kinds, sizeof kinds), codeReader(codes, sizeof codes);
  for (int i = 0; i < kBindingCount; ++i) {
    m_bindingKind[i] = kindReader.u32();
    m_bindingCode[i] = codeReader.u32();
  }
  bringIntoRange();
  return true;
}
