#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>

#include "foundation/report.h"
#include "game/saves/highscore.h"
#include "tests/support/scratch_dir.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr float kResetTime = 9999999.0f;

// Rows 0..9 of a block with times 10, 20, ..., 100 and values 1..10.
void fillRanking(HighscoreBase& table, int track) {
  for (int row = 0; row < 10; ++row) {
    const std::string name = std::string("r") + std::to_string(row);
    table.setEntry(track, row, HighscoreEntry(10.0f * (row + 1), name.c_str(), row + 1, 0, 0));
  }
  table.setEntry(track, 10, HighscoreEntry(1.0f, "latest", 0, 1, 1));
  table.setEntry(track, 11, HighscoreEntry(2.0f, "spare", 0, 1, 1));
}

std::string nameAt(HighscoreBase& table, int track, int row) { return table.getEntry(track, row)->name; }

}  // namespace

TEST(HighscoreEntry, CutsLongNamesAndWritesItsRecordLayout) {
  const HighscoreEntry cut(1.0f, "abcdefghijklmnopqrstuvwxyz0123456789", 0, 0, 0);
  EXPECT_STREQ(cut.name, "abcdefghijklmnopqrstuvwxyz0123");
  EXPECT_STREQ(HighscoreEntry(1.0f, nullptr, 0, 0, 0).name, "");

  std::uint8_t bytes[HighscoreEntry::kRecordSize];
  HighscoreEntry(1.5f, "Ann", 7, 2, -1).toBytes(bytes);
  Bytes expected = {0x00, 0x00, 0xC0, 0x3F, 0x07, 0x00, 0x00, 0x00, 'A', 'n', 'n'};
  expected.resize(39, 0);
  expected.push_back(0x02);
  expected.push_back(0xFF);
  EXPECT_EQ(Bytes(bytes, bytes + sizeof bytes), expected);
}

TEST(HighscoreTables, TrackTablesKeepAnEqualTimeBelowTheStoredOne) {
  HighscoreTables tables;
  tables.reset();
  HighscoreTimeTrial& table = tables.m_timeTrial[1];
  fillRanking(table, 2);

  EXPECT_EQ(table.getPlace(2, HighscoreEntry(40.0f, "new", 99, 0, 0)), 4);
  EXPECT_EQ(nameAt(table, 2, 4), "r4") << "getPlace changes nothing";
  EXPECT_EQ(table.insert(2, HighscoreEntry(40.0f, "new", 99, 0, 0)), 4);
  const char* expected[12] = {"r0", "r1", "r2", "r3", "new", "r4", "r5", "r6", "r7", "r8", "latest", "spare"};
  for (int row = 0; row < 12; ++row) EXPECT_EQ(nameAt(table, 2, row), expected[row]) << row;
  // Other tracks and tables are untouched.
  EXPECT_EQ(table.getEntry(3, 0)->time, kResetTime);
  EXPECT_EQ(tables.m_lastManStanding[1].getEntry(2, 0)->time, kResetTime);

  EXPECT_EQ(table.insert(2, HighscoreEntry(100.0f, "slow", 0, 0, 0)), -1) << "equal to row 9 does not place";
  EXPECT_EQ(table.insert(2, HighscoreEntry(1000.0f, "slower", 0, 0, 0)), -1);
  EXPECT_EQ(nameAt(table, 2, 9), "r8");

  // Place 0 moves rows 0..8 down and drops row 9; rows 10 and 11 stay.
  EXPECT_EQ(table.insert(2, HighscoreEntry(5.0f, "best", 0, 0, 0)), 0);
  const char* after[12] = {"best", "r0", "r1", "r2", "r3", "new", "r4", "r5", "r6", "r7", "latest", "spare"};
  for (int row = 0; row < 12; ++row) EXPECT_EQ(nameAt(table, 2, row), after[row]) << row;
}

TEST(HighscoreTables, ChampionshipValuesDecideBetweenEqualTimes) {
  HighscoreChampionship table;
  table.reset();
  fillRanking(table, 0);  // row 3: time 40, value 4

  EXPECT_EQ(table.getPlace(0, HighscoreEntry(40.0f, "more", 5, 0, 0)), 3);
  EXPECT_EQ(table.getPlace(0, HighscoreEntry(40.0f, "same", 4, 0, 0)), 4);
  EXPECT_EQ(table.getPlace(0, HighscoreEntry(40.0f, "less", 3, 0, 0)), 4);
  EXPECT_EQ(table.getPlace(0, HighscoreEntry(100.0f, "tied", 11, 0, 0)), 9);
  EXPECT_EQ(table.getPlace(0, HighscoreEntry(100.0f, "tied", 10, 0, 0)), -1);

  // The track is ignored: every track names the one block.
  EXPECT_EQ(table.insert(7, HighscoreEntry(40.0f, "more", 5, 0, 0)), 3);
  EXPECT_EQ(nameAt(table, 0, 3), "more");
  EXPECT_EQ(nameAt(table, 99, 4), "r3");
  EXPECT_EQ(table.getLatest(5), table.getEntry(0, 10));
}

TEST(HighscoreTables, ResetRowsPlaceAnyFinishedResultFirstAndLatestIsRowTen) {
  HighscoreTables tables;
  tables.reset();
  for (int kind = 0; kind < 4; ++kind) {
    for (int ccm = 0; ccm < 3; ++ccm) {
      HighscoreBase* table = tables.table(kind, ccm);
      ASSERT_NE(table, nullptr);
      const HighscoreEntry& row = *table->getEntry(table->blockCount() - 1, 11);
      EXPECT_EQ(row.time, kResetTime);
      EXPECT_EQ(row.character, -1);
      EXPECT_EQ(table->getPlace(0, HighscoreEntry(9999998.0f, "", 0, 0, 0)), 0);
    }
  }
  HighscoreLastManStanding& table = tables.m_lastManStanding[0];
  EXPECT_TRUE(table.setLatest(6, HighscoreEntry(3.0f, "lap", 0, 0, 0)));
  EXPECT_EQ(nameAt(table, 6, 10), "lap");
  EXPECT_EQ(table.getLatest(6), table.getEntry(6, 10));
}

TEST(HighscoreTables, IndicesOutOfRangeAreRefusedInsteadOfReadPastTheTable) {
  HighscoreTables tables;
  EXPECT_EQ(tables.table(4, 0), nullptr);
  EXPECT_EQ(tables.table(0, 3), nullptr);
  HighscoreTimeTrial& table = tables.m_timeTrial[0];
  EXPECT_EQ(table.getEntry(8, 0), nullptr);
  EXPECT_EQ(table.getEntry(0, 12), nullptr);
  EXPECT_FALSE(table.setEntry(0, -1, HighscoreEntry()));
  EXPECT_FALSE(table.setLatest(8, HighscoreEntry()));
  EXPECT_EQ(table.insert(8, HighscoreEntry(1.0f, "x", 0, 0, 0)), -1);
  EXPECT_EQ(table.getPlace(-3, HighscoreEntry(1.0f, "x", 0, 0, 0)), -1);
}

class HighscoreFileTest : public ScratchDirTest {};

TEST_F(HighscoreFileTest, SavesTwelveBlocksInFileOrderAndReadsThemBack) {
  HighscoreTables tables;
  tables.reset();
  // A mark in each table to tell them apart, including the last rows.
  for (int kind = 0; kind < 4; ++kind) {
    for (int ccm = 0; ccm < 3; ++ccm) {
      HighscoreBase* table = tables.table(kind, ccm);
      const int track = table->blockCount() - 1;
      table->insert(
          track, HighscoreEntry(1.0f + kind * 10.0f + ccm, (std::string("k") + std::to_string(kind * 10 + ccm)).c_str(),
                                kind, static_cast<std::int8_t>(ccm), 7));
      table->setEntry(track, 11, HighscoreEntry(0.5f, "eleven", -4, 5, 6));
    }
  }
  ASSERT_TRUE(tables.save(HighscoreTables::kFileName));
  EXPECT_FALSE(fs::exists("highscore.dat.tmp"));

  const Bytes file = readBytes("highscore.dat");
  ASSERT_EQ(file.size(), 3u * (2 * 501 + 2 * 3941));
  // The cup-1 table of class 0 comes first: its reset rows give checksum
  // 0x37BA2EE9 over 492 bytes, pad count 4 and cipher bytes that start
  // with the key's keystream 90 BD 6B 05 EA 6B A5 74 over 7F 96 18 4B.
  HighscoreTables first;
  first.reset();
  ASSERT_TRUE(first.save("first.dat"));
  const Bytes firstFile = readBytes("first.dat");
  EXPECT_EQ(Bytes(firstFile.begin(), firstFile.begin() + 13),
            (Bytes{0xE9, 0x2E, 0xBA, 0x37, 0x04, 0xEF, 0x2B, 0x73, 0x4E, 0xEA, 0x6B, 0xA5, 0x74}));
  // Pad counts at the start of each block, in the order cup 1, cup 2, time
  // trial, last man standing for class 0, 1, 2.
  std::size_t at = 0;
  for (int i = 0; i < 12; ++i) {
    const bool cup = i % 4 < 2;
    EXPECT_EQ(file[at + 4], cup ? 4 : 0) << "block " << i;
    at += cup ? 501 : 3941;
  }

  HighscoreTables loaded;
  ASSERT_TRUE(loaded.load(HighscoreTables::kFileName));
  // Saving is deterministic, so equal files mean equal tables.
  ASSERT_TRUE(loaded.save("again.dat"));
  EXPECT_EQ(readBytes("again.dat"), file);
  EXPECT_EQ(nameAt(loaded.m_lastManStanding[2], 7, 0), "k12");
  EXPECT_EQ(nameAt(loaded.m_cup2[1], 0, 0), "k31");
  EXPECT_EQ(loaded.m_cup2[1].getEntry(0, 11)->value, -4);
}

TEST_F(HighscoreFileTest, ACorruptOrShortFileFailsAndTheCallerWritesAFreshOne) {
  HighscoreTables tables;
  tables.reset();
  tables.m_cup1[0].insert(0, HighscoreEntry(1.0f, "kept", 0, 0, 0));
  tables.m_timeTrial[0].insert(0, HighscoreEntry(2.0f, "damaged", 0, 0, 0));
  tables.m_lastManStanding[0].insert(0, HighscoreEntry(3.0f, "later", 0, 0, 0));
  ASSERT_TRUE(tables.save(HighscoreTables::kFileName));
  const Bytes good = readBytes("highscore.dat");

  // Damage the time-trial block of class 0 (the third): its checksum.
  Bytes damaged = good;
  damaged[1002] ^= 0xFF;
  writeBytes("highscore.dat", damaged);
  HighscoreTables loaded;
  EXPECT_FALSE(loaded.load(HighscoreTables::kFileName));
  EXPECT_EQ(nameAt(loaded.m_cup1[0], 0, 0), "kept") << "tables before the failure keep the file's rows";
  EXPECT_EQ(loaded.m_timeTrial[0].getEntry(0, 0)->time, -1.0f) << "the failed table is left as it was";
  EXPECT_EQ(loaded.m_lastManStanding[0].getEntry(0, 0)->time, -1.0f);

  for (std::size_t cut : {std::size_t{0}, std::size_t{4}, std::size_t{500}, std::size_t{5043}, good.size() - 1}) {
    writeBytes("highscore.dat", Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut)));
    HighscoreTables shortFile;
    EXPECT_FALSE(shortFile.load(HighscoreTables::kFileName)) << cut;
  }
  fs::remove("highscore.dat");
  EXPECT_FALSE(loaded.load(HighscoreTables::kFileName));

  // What the callers do then: reset, save, and the next load succeeds.
  loaded.reset();
  ASSERT_TRUE(loaded.save(HighscoreTables::kFileName));
  HighscoreTables fresh;
  ASSERT_TRUE(fresh.load(HighscoreTables::kFileName));
  EXPECT_EQ(fresh.m_cup1[0].getEntry(0, 0)->time, kResetTime);
}

TEST_F(HighscoreFileTest, LoadedRowsGetTerminatedNamesAndKnownCharactersAndKarts) {
  HighscoreTables tables;
  tables.reset();
  HighscoreEntry* row = tables.m_timeTrial[2].getEntry(5, 3);
  std::memset(row->name, 'z', sizeof row->name);
  row->character = 6;
  row->kart = -7;
  HighscoreEntry* fine = tables.m_timeTrial[2].getEntry(5, 4);
  fine->character = 5;
  fine->kart = 7;
  ASSERT_TRUE(tables.save(HighscoreTables::kFileName));

  HighscoreTables loaded;
  ASSERT_TRUE(loaded.load(HighscoreTables::kFileName));
  const HighscoreEntry& got = *loaded.m_timeTrial[2].getEntry(5, 3);
  EXPECT_EQ(std::strlen(got.name), 30u);
  EXPECT_EQ(got.character, -1);
  EXPECT_EQ(got.kart, -1);
  EXPECT_EQ(loaded.m_timeTrial[2].getEntry(5, 4)->character, 5);
  EXPECT_EQ(loaded.m_timeTrial[2].getEntry(5, 4)->kart, 7);
}

// A table whose rows held NaN, -inf, 0 or negative times never took a new
// record (no time beats NaN, and none beats 0). Such rows are emptied on
// load and go below the results; the trace says how many, once.
TEST_F(HighscoreFileTest, RowsWithTimesThatAreNoRaceTimesAreEmptiedOnLoad) {
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  HighscoreTables tables;
  tables.reset();
  HighscoreTimeTrial& doctored = tables.m_timeTrial[1];
  const float bad[] = {nan, -inf, 0.0f, -5.0f, inf, 1e30f};
  for (int row = 0; row < 6; ++row) doctored.setEntry(2, row, HighscoreEntry(bad[row], "bad", 1, 2, 3));
  doctored.setEntry(2, 6, HighscoreEntry(30.0f, "good", 0, 1, 1));
  doctored.setLatest(2, HighscoreEntry(nan, "latest", 0, 1, 1));
  for (int row = 0; row < 10; ++row) tables.m_cup1[0].setEntry(0, row, HighscoreEntry(nan, "cup", 0, 0, 0));
  ASSERT_TRUE(tables.save(HighscoreTables::kFileName));

  g_messageLevel = 1;
  g_logMessages = true;
  g_lastMessage.clear();
  HighscoreTables loaded;
  ASSERT_TRUE(loaded.load(HighscoreTables::kFileName));
  EXPECT_STREQ(g_lastMessage.get().c_str(),
               "highscore.dat: 17 rows with a time that is no race time (not above 0 s or past 9999999 s) "
               "emptied\n");
  g_messageLevel = 0;
  g_logMessages = false;
  HighscoreTimeTrial& table = loaded.m_timeTrial[1];
  EXPECT_EQ(nameAt(table, 2, 0), "good");
  for (int row = 1; row < 10; ++row) {
    EXPECT_EQ(table.getEntry(2, row)->time, kResetTime) << row;
    EXPECT_STREQ(table.getEntry(2, row)->name, "") << row;
  }
  EXPECT_EQ(table.getLatest(2)->time, kResetTime);
  EXPECT_EQ(table.insert(2, HighscoreEntry(45.0f, "new", 0, 0, 0)), 1);
  EXPECT_EQ(table.insert(2, HighscoreEntry(20.0f, "newer", 0, 0, 0)), 0);
  EXPECT_EQ(loaded.m_cup1[0].insert(0, HighscoreEntry(600.0f, "cup", 0, 0, 0)), 0);
}

TEST_F(HighscoreFileTest, AFailedSaveKeepsThePreviousFile) {
  HighscoreTables tables;
  tables.reset();
  ASSERT_TRUE(tables.save(HighscoreTables::kFileName));
  const Bytes before = readBytes("highscore.dat");
  fs::create_directory("highscore.dat.tmp");
  tables.m_cup1[0].insert(0, HighscoreEntry(1.0f, "lost", 0, 0, 0));
  EXPECT_FALSE(tables.save(HighscoreTables::kFileName));
  EXPECT_EQ(readBytes("highscore.dat"), before);
}
