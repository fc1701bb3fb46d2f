#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <utility>

#include "foundation/replacing_file.h"
#include "game/saves/config.h"
#include "game/saves/file_checksum.h"
#include "tests/support/memory_file.h"
#include "tests/support/scratch_dir.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

class ConfigFileTest : public ScratchDirTest {};

std::int32_t i32At(const Bytes& b, std::size_t at) {
  return static_cast<std::int32_t>(b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t{b[at + 3]} << 24));
}

// The plain text of the three blocks of a "config.dat", deciphered here
// with the settings key.
struct PlainConfig {
  Bytes settings, kinds, codes;
};

PlainConfig decipherFile(const Bytes& file) {
  Blowfish cipher;
  cipher.setKey(Config::kKey, std::strlen(Config::kKey));
  auto block = [&](std::size_t at, std::size_t length, std::size_t padded) {
    Bytes body(file.begin() + static_cast<std::ptrdiff_t>(at + 5),
               file.begin() + static_cast<std::ptrdiff_t>(at + 5 + padded));
    cipher.decipher(body.data(), body.size(), Blowfish::kModeCFB);
    body.resize(length);
    return body;
  };
  return {block(0, 294, 296), block(301, 56, 56), block(362, 56, 56)};
}

}  // namespace

TEST_F(ConfigFileTest, FirstStartWritesTheDefaultFileInThreeBlocks) {
  ASSERT_FALSE(fs::exists("config.dat"));
  Config config;
  const Bytes file = readBytes("config.dat");
  ASSERT_EQ(file.size(), 423u);
  EXPECT_FALSE(fs::exists("config.dat.tmp"));

  // Block 1: checksum of 1024, 768, ... over 294 bytes, pad 2, and the
  // first eight cipher bytes (keystream CF D1 B2 E3 3E 78 33 1D).
  EXPECT_EQ(Bytes(file.begin(), file.begin() + 13),
            (Bytes{0x12, 0x0D, 0xEF, 0x7C, 0x02, 0xCF, 0xD5, 0xB2, 0xE3, 0x3E, 0x7B, 0x33, 0x1D}));
  EXPECT_EQ(file[305], 0) << "block 2 has no padding";
  EXPECT_EQ(file[366], 0) << "block 3 has no padding";

  const PlainConfig plain = decipherFile(file);
  const std::int32_t head[10] = {1024, 768, 50, 50, 50, 0, 50, 50, 0, -1};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(i32At(plain.settings, 4 * i), head[i]) << "settings field " << i;
  EXPECT_STREQ(reinterpret_cast<const char*>(&plain.settings[40]), "Player 1");
  EXPECT_STREQ(reinterpret_cast<const char*>(&plain.settings[71]), "Player 2");
  const std::int32_t timeTrial[14] = {0, 3, 0, 7, 7, 7, 0, 4, 4, 4, 0, 3, 0, 0};
  for (int i = 0; i < 14; ++i) EXPECT_EQ(i32At(plain.settings, 102 + 4 * i), timeTrial[i]) << "time trial " << i;
  const std::int32_t mode[13] = {0, 0, 7, 7, 7, 0, 4, 4, 4, 0, 3, 0, 0};
  for (int i = 0; i < 13; ++i) {
    EXPECT_EQ(i32At(plain.settings, 158 + 4 * i), mode[i]) << "championship " << i;
    EXPECT_EQ(i32At(plain.settings, 210 + 4 * i), mode[i]) << "last man standing " << i;
  }
  const std::int32_t twoPlayers[8] = {3, 0, 0, 1, 0, 1, 3, 0};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(i32At(plain.settings, 262 + 4 * i), twoPlayers[i]) << "two players " << i;

  const std::int32_t keys[14] = {30, 32, 17, 31, 57, 15, 57, 203, 205, 200, 208, 54, 184, 157};
  for (int i = 0; i < 14; ++i) {
    EXPECT_EQ(i32At(plain.kinds, 4 * i), 4);
    EXPECT_EQ(i32At(plain.codes, 4 * i), keys[i]);
  }
  EXPECT_EQ(i32At(file, 301), static_cast<std::int32_t>(FileChecksum(plain.kinds.data(), 56)));

  // And it loads back to the same settings.
  Config again;
  std::uint8_t a[Config::kSettingsBlockSize], b[Config::kSettingsBlockSize];
  config.writeSettingsBlock(a);
  again.writeSettingsBlock(b);
  EXPECT_EQ(0, std::memcmp(a, b, sizeof a));
  EXPECT_EQ(readBytes("config.dat"), file);
}

// Tools and fuzz targets build settings that must leave the working
// directory alone: defaults, whatever file is there, and nothing written.
TEST_F(ConfigFileTest, IgnoringTheSavedFileNeitherReadsNorWritesIt) {
  {
    Config none(nullptr, NetControl::getInstance(), Config::SavedFile::Ignore);
    EXPECT_EQ(none.m_musicVolume, 50);
  }
  EXPECT_FALSE(fs::exists("config.dat"));
  {
    Config saved;
    saved.m_musicVolume = 12;
    ASSERT_TRUE(saved.save());
  }
  const Bytes file = readBytes("config.dat");
  Config ignoring(nullptr, NetControl::getInstance(), Config::SavedFile::Ignore);
  EXPECT_EQ(ignoring.m_musicVolume, 50);
  EXPECT_STREQ(ignoring.m_playerName1, "Player 1");
  EXPECT_EQ(readBytes("config.dat"), file);
}

TEST_F(ConfigFileTest, SavedChoicesComeBackAndRestartResetsTheCurrentRaceFields) {
  {
    Config config;
    config.m_musicVolume = 12;
    config.m_language = -1;
    config.m_textureDetail = -2;
    std::strcpy(config.m_playerName2, "Zed");
    config.m_championshipKart = 6;
    config.m_championshipMaxCharacter[2] = 5;
    config.m_championshipTrack = 4;
    config.m_championshipTail[0] = 9;
    config.m_championshipTail[1] = 8;
    config.m_championshipTail[2] = 7;
    config.m_timeTrialTail[0] = config.m_timeTrialTail[1] = config.m_timeTrialTail[2] = 5;
    config.m_lastManStandingTail[0] = config.m_lastManStandingTail[2] = 6;
    config.m_bindingKind[6] = Config::kBindJoystickButton;
    config.m_bindingCode[6] = 19;
    config.m_bindingKind[0] = 0;  // mouse x movement; the code is not used
    config.m_bindingCode[0] = 12345;
    ASSERT_TRUE(config.save());
  }
  Config config;
  EXPECT_EQ(config.m_musicVolume, 12);
  EXPECT_EQ(config.m_language, -1);
  EXPECT_EQ(config.m_textureDetail, -2);
  EXPECT_STREQ(config.m_playerName2, "Zed");
  EXPECT_EQ(config.m_championshipKart, 6);
  EXPECT_EQ(config.m_championshipMaxCharacter[2], 5);
  EXPECT_EQ(config.m_championshipTrack, 4);
  EXPECT_EQ(config.m_bindingKind[6], 9u);
  EXPECT_EQ(config.m_bindingCode[6], 19u);
  EXPECT_EQ(config.m_bindingCode[0], 12345u) << "a mouse axis keeps its unused code";

  auto tail = [](const std::int32_t(&t)[3]) { return std::vector<int>(t, t + 3); };
  EXPECT_EQ(tail(config.m_championshipTail), (std::vector<int>{3, 0, 0}));
  EXPECT_EQ(tail(config.m_timeTrialTail), (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(tail(config.m_lastManStandingTail), (std::vector<int>{0, 0, 0}));
  // The reset applies to the object; the file keeps what it held.
  const PlainConfig plain = decipherFile(readBytes("config.dat"));
  EXPECT_EQ(i32At(plain.settings, 158 + 40), 9);
  EXPECT_EQ(i32At(plain.settings, 158 + 48), 7);
}

TEST_F(ConfigFileTest, ShortForeignOrDamagedFilesGiveDefaultsWrittenAtOnce) {
  {
    Config config;
    std::strcpy(config.m_playerName1, "Keeper");
    config.m_effectsVolume = 3;
    ASSERT_TRUE(config.save());
  }
  const Bytes saved = readBytes("config.dat");
  ASSERT_EQ(saved.size(), 423u);

  const Bytes cases[] = {
      Bytes(saved.begin(), saved.begin() + 301),  // cut after block 1
      Bytes(saved.begin(), saved.begin() + 420),  // cut inside block 3
      Bytes(),                                    // empty
      Bytes(423, 0x41),                           // not a settings file at all
  };
  for (const Bytes& bytes : cases) {
    writeBytes("config.dat", bytes);
    Config config;
    EXPECT_STREQ(config.m_playerName1, "Player 1") << "file of " << bytes.size() << " bytes";
    EXPECT_EQ(config.m_effectsVolume, 50);
    const Bytes rewritten = readBytes("config.dat");
    EXPECT_EQ(rewritten.size(), 423u);
    EXPECT_NE(rewritten, bytes);
  }

  // A byte past the first four of the settings changes nothing the checksum
  // sees; such a file still loads.
  Bytes edited = saved;
  edited[5 + 60] ^= 0x01;
  writeBytes("config.dat", edited);
  Config config;
  EXPECT_NE(std::string(config.m_playerName1), "Player 1");
}

TEST_F(ConfigFileTest, LoadedValuesUsedAsIndicesAreBroughtIntoRange) {
  {
    Config config;
    config.m_resolutionWidth = -5;
    config.m_musicVolume = 1000;
    config.m_effectsVolume = -3;
    config.m_language = 9;
    config.m_modelDetail = 4;
    config.m_textureDetail = 3;
    std::memset(config.m_playerName1, 'x', sizeof config.m_playerName1);
    config.m_championshipCcm = 3;
    config.m_championshipKart = 8;
    config.m_championshipCharacter = -2;
    config.m_championshipMaxKart[1] = 200;
    config.m_championshipMaxCharacter[0] = 6;
    config.m_timeTrialTrack = 8;
    config.m_lastManStandingTrack = 6;
    config.m_twoPlayersKart2 = 99;
    config.m_bindingKind[2] = 10;
    config.m_bindingKind[3] = Config::kBindKey;
    config.m_bindingCode[3] = 256;
    config.m_bindingKind[4] = Config::kBindMouseButton;
    config.m_bindingCode[4] = 3;
    config.m_bindingKind[5] = Config::kBindJoystickButton;
    config.m_bindingCode[5] = 20;
    config.m_bindingKind[7] = Config::kBindMouseButton;
    config.m_bindingCode[7] = 2;
    ASSERT_TRUE(config.save());
  }
  Config config;
  EXPECT_EQ(config.m_resolutionWidth, 1024);
  EXPECT_EQ(config.m_resolutionHeight, 768);
  EXPECT_EQ(config.m_musicVolume, 100);
  EXPECT_EQ(config.m_effectsVolume, 0);
  EXPECT_EQ(config.m_language, 0);
  EXPECT_EQ(config.m_modelDetail, 0);
  EXPECT_EQ(config.m_textureDetail, -1);
  EXPECT_EQ(std::strlen(config.m_playerName1), 30u);
  EXPECT_EQ(config.m_championshipCcm, 2);
  EXPECT_EQ(config.m_championshipKart, 7);
  EXPECT_EQ(config.m_championshipCharacter, 0);
  EXPECT_EQ(config.m_championshipMaxKart[1], 7);
  EXPECT_EQ(config.m_championshipMaxCharacter[0], 5);
  EXPECT_EQ(config.m_timeTrialTrack, 7);
  EXPECT_EQ(config.m_lastManStandingTrack, 6) << "only the cup's track is folded";
  EXPECT_EQ(config.m_twoPlayersKart2, 7);
  // Bindings that do not fit their kind fall back to their default key;
  // fitting ones stay.
  EXPECT_EQ(config.m_bindingKind[2], 4u);
  EXPECT_EQ(config.m_bindingCode[2], 17u);
  EXPECT_EQ(config.m_bindingCode[3], 31u);
  EXPECT_EQ(config.m_bindingKind[4], 4u);
  EXPECT_EQ(config.m_bindingCode[4], 57u);
  EXPECT_EQ(config.m_bindingCode[5], 15u);
  EXPECT_EQ(config.m_bindingKind[7], 3u);
  EXPECT_EQ(config.m_bindingCode[7], 2u);
}

TEST_F(ConfigFileTest, TheCupTrackLoadsAsTheFirstTrackOfItsCup) {
  const std::pair<int, int> cases[] = {{3, 0}, {5, 4}, {7, 4}, {12, 4}, {-1, 0}};
  for (const auto& [stored, loaded] : cases) {
    {
      Config config;
      config.m_championshipTrack = stored;
      ASSERT_TRUE(config.save());
    }
    Config config;
    EXPECT_EQ(config.m_championshipTrack, loaded) << stored;
  }
}

namespace {
[[noreturn]] void dieBeforeRename(const char*) { ::_exit(7); }
}  // namespace

TEST_F(ConfigFileTest, ASaveInterruptedBeforeTheRenameLeavesThePreviousFile) {
  {
    Config config;
    std::strcpy(config.m_playerName1, "Before");
    ASSERT_TRUE(config.save());
  }
  const Bytes before = readBytes("config.dat");

  // "fast" death tests fork, so the child saves into this test's directory.
  GTEST_FLAG_SET(death_test_style, "fast");
  EXPECT_EXIT(
      {
        Config config;
        std::strcpy(config.m_playerName1, "After");
        ReplacingFile::setBeforeRenameHook(dieBeforeRename);
        config.save();
      },
      ::testing::ExitedWithCode(7), "");

  EXPECT_EQ(readBytes("config.dat"), before);
  EXPECT_EQ(readBytes("config.dat.tmp").size(), 423u) << "the new content was complete but never renamed";
  Config config;
  EXPECT_STREQ(config.m_playerName1, "Before");

  // The stale temporary file does not stand in the way of the next save.
  std::strcpy(config.m_playerName1, "Later");
  ASSERT_TRUE(config.save());
  EXPECT_FALSE(fs::exists("config.dat.tmp"));
  Config later;
  EXPECT_STREQ(later.m_playerName1, "Later");
}

TEST_F(ConfigFileTest, ASaveThatCannotWriteReportsFailureAndKeepsTheOldFile) {
  Config config;
  const Bytes before = readBytes("config.dat");
  ASSERT_EQ(before.size(), 423u);
  fs::create_directory("config.dat.tmp");  // the temporary file cannot be created
  std::strcpy(config.m_playerName1, "Lost");
  EXPECT_FALSE(config.save());
  EXPECT_EQ(readBytes("config.dat"), before);
}

TEST(ConfigPlayer, RecordHasItsFieldsAtTheReplicatedOffsets) {
  Config::Player player;
  std::uint8_t bytes[Config::kPlayerRecordSize];
  player.toBytes(bytes);
  EXPECT_EQ(Bytes(bytes, bytes + 8), (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(Bytes(bytes + 8, bytes + 156), Bytes(148, 0));

  player.character = 2;
  std::strcpy(player.name, "Ann");
  player.raceReady[1] = 1;
  player.totalPoints = 0x01020304;
  player.lapTimes[20] = -2.0f;
  player.toBytes(bytes);
  EXPECT_EQ(bytes[0], 2);
  EXPECT_EQ(bytes[8], 'A');
  EXPECT_EQ(bytes[41], 1);
  EXPECT_EQ(Bytes(bytes + 64, bytes + 68), (Bytes{4, 3, 2, 1}));
  EXPECT_EQ(Bytes(bytes + 152, bytes + 156), (Bytes{0x00, 0x00, 0x00, 0xC0}));
  // The in-memory record is the wire record.
  EXPECT_EQ(0, std::memcmp(bytes, &player, sizeof bytes));
}

TEST_F(ConfigFileTest, ReplicatedChoiceIsRegisteredUnderItsIdsAndLeavesWithTheObject) {
  NetControl control;
  {
    Config config(nullptr, control);
    for (int id : {20, 21, 22, 23, 25, 30}) EXPECT_NE(control.getValueId(id), nullptr) << id;
    EXPECT_EQ(control.getValueId(30)->size(), 156);
    EXPECT_EQ(control.getValueId(24), nullptr);
    EXPECT_EQ(control.getValueId(31), nullptr);
    EXPECT_FALSE(config.m_game.isDirty()) << "initial values are not changes to send";

    // First start: the defaults give every record character and kart 0.
    EXPECT_EQ(config.countPlayers(), 6u);
    EXPECT_EQ(config.m_player[3].get().kart, 0);
    config.m_player[3].modify()->character = -1;
    EXPECT_EQ(config.countPlayers(), 5u);
  }
  EXPECT_EQ(control.getValueId(20), nullptr);
  EXPECT_EQ(control.getValueId(25), nullptr);

  // A later start that loads the file keeps the records as constructed.
  Config config(nullptr, control);
  EXPECT_EQ(config.countPlayers(), 0u);
  EXPECT_EQ(config.m_player[0].get().character, -1);
}

TEST(ConfigPlayer, ARecordFromAPeerIsBroughtIntoRangeAsItArrives) {
  NetControl control;
  NetValue<Config::Player> value(control);
  value.init(25);

  Config::Player sent;
  sent.character = 4;
  sent.kart = 12;
  std::memset(sent.name, 'n', sizeof sent.name);
  sent.lapTimes[3] = 7.5f;
  sent.lapTimes[4] = std::numeric_limits<float>::quiet_NaN();
  sent.bestLap = -std::numeric_limits<float>::infinity();
  sent.raceTime = 1.0e30f;
  sent.totalTime = 95.25f;
  sent.startPosition = INT_MAX;  // its start item is looked up one above
  sent.position = -7;
  std::uint8_t wire[Config::kPlayerRecordSize];
  sent.toBytes(wire);

  EXPECT_FALSE(value.setReceived(wire, 155)) << "a payload of the wrong size is refused";
  ASSERT_TRUE(value.setReceived(wire, sizeof wire));
  value.commit();
  EXPECT_EQ(value.get().character, 4);
  EXPECT_EQ(value.get().kart, -1);
  EXPECT_EQ(std::strlen(value.get().name), 30u);
  EXPECT_EQ(value.get().lapTimes[3], 7.5f);
  // Times that are no times count as none; places and grid slots are seats.
  EXPECT_EQ(value.get().lapTimes[4], 0.0f);
  EXPECT_EQ(value.get().bestLap, 0.0f);
  EXPECT_EQ(value.get().raceTime, 0.0f);
  EXPECT_EQ(value.get().totalTime, 95.25f);
  EXPECT_EQ(value.get().startPosition, 0);
  EXPECT_EQ(value.get().position, 0);

  std::uint8_t out[Config::kPlayerRecordSize];
  value.writeWire(out);
  Config::Player expected = value.get();
  std::uint8_t bytes[Config::kPlayerRecordSize];
  expected.toBytes(bytes);
  EXPECT_EQ(0, std::memcmp(out, bytes, sizeof out));
}
