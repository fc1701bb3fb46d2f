// The score tables: best results per game mode, engine class and track,
// kept together in "highscore.dat" as twelve enciphered blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "foundation/file.h"
#include "game/saves/blowfish.h"
#include "game/saves/highscore_kind.h"
#include "game/track/track_numbers.h"

// One row: 41 bytes in the file, field by field.
struct HighscoreEntry {
  static constexpr std::size_t kNameSize = 31;  // 30 characters and the terminator
  static constexpr std::size_t kRecordSize = 4 + 4 + kNameSize + 1 + 1;
  static_assert(kRecordSize == 41);

  HighscoreEntry();  // time -1, value 0, empty name, no character or kart
  // Copies at most 30 characters of the name (a null name is empty).
  HighscoreEntry(float time, const char* name, std::int32_t value, std::int8_t character, std::int8_t kart);

  float time;            // seconds, smaller is better
  std::int32_t value;    // a second score; wins between equal championship times
  char name[kNameSize];  // NUL-terminated
  std::int8_t character;
  std::int8_t kart;

  void toBytes(std::uint8_t* bytes) const;  // kRecordSize bytes
  void fromBytes(const std::uint8_t* bytes);
};

class HighscoreBase {
 public:
  static constexpr const char* kKey = "pofaQWri#3%!tYk+";
  static constexpr int kRows = 12;    // per block
  static constexpr int kRanked = 10;  // rows 0..9 are the ranking
  static constexpr int kLatestRow = 10;
  static constexpr int kTracks = kTrackCount;

  virtual ~HighscoreBase() = default;
  HighscoreBase(const HighscoreBase&) = delete;
  HighscoreBase& operator=(const HighscoreBase&) = delete;

  // One block of the file; false when it is incomplete or fails its checksum,
  // and then the rows are left as they were. Rows brought into range are
  // added to `emptied` when given.
  virtual bool read(File& file, int* emptied = nullptr);
  // False when the file took fewer bytes than the block.
  virtual bool write(File& file);
  // The row inside the table, or null for a track or row out of range.
  virtual HighscoreEntry* getEntry(int track, int row);
  virtual bool setEntry(int track, int row, const HighscoreEntry& entry);
  // Row 10 of the track's block: the latest result the highscores screen shows.
  virtual HighscoreEntry* getLatest(int track);
  virtual bool setLatest(int track, const HighscoreEntry& entry);
  // The place 0..9 the entry takes, moving the rows below it down and
  // dropping row 9; -1 (nothing changes) when it does not place or the track
  // is out of range.
  virtual int insert(int track, const HighscoreEntry& entry);
  // The place insert would use, without inserting.
  virtual int getPlace(int track, const HighscoreEntry& entry);

  // Every row to the reset row (time 9999999, no name, no character or kart).
  void reset();
  // Names end in NUL and character and kart lie in -1..5 and -1..7; a row
  // whose time is not above 0 and at most the empty row's 9999999 s (NaN
  // and infinities included) becomes an empty row. Returns how many did.
  int bringIntoRange();

  int blockCount() const { return m_blocks; }
  std::size_t plainSize() const { return static_cast<std::size_t>(m_blocks) * kRows * HighscoreEntry::kRecordSize; }

 protected:
  // `blocks` blocks of 12 rows, track by track.
  HighscoreBase(int blocks, bool valueBreaksTies);
  // The block that holds a track, or -1.
  virtual int blockFor(int track) const = 0;

 private:
  HighscoreEntry* rowOf(int track, int row);
  // Whether a stored row is worse than the entry and so gives up its place.
  bool isWorse(const HighscoreEntry& stored, const HighscoreEntry& entry) const;

  Blowfish m_cipher;
  std::unique_ptr<HighscoreEntry[]> m_rows;
  int m_blocks;
  bool m_valueBreaksTies;
};

// One block of 12 rows; the track is ignored. Between equal times the larger
// value wins.
class HighscoreChampionship : public HighscoreBase {
 public:
  HighscoreChampionship() : HighscoreBase(1, true) {}

 protected:
  int blockFor(int) const override { return 0; }
};

// One block of 12 rows per track 0..7. An equal time never displaces a row
// already stored.
class HighscoreTrackTable : public HighscoreBase {
 public:
  HighscoreTrackTable() : HighscoreBase(kTracks, false) {}

 protected:
  int blockFor(int track) const override { return track >= 0 && track < kTracks ? track : -1; }
};

class HighscoreTimeTrial : public HighscoreTrackTable {};
class HighscoreLastManStanding : public HighscoreTrackTable {};

class HighscoreTables {
 public:
  static constexpr const char* kFileName = "highscore.dat";
  static constexpr int kClasses = 3;
  HighscoreTables() = default;

  // Reads the twelve blocks along ".\;..\"; false as soon as the file cannot
  // be opened or a block is incomplete or fails its checksum. Tables read
  // before that keep the file's rows, the later ones stay as they were.
  bool load(const char* name);
  // The twelve blocks from an open file, with the same rules.
  bool loadFrom(File& file);
  // Writes the twelve blocks through a temporary file renamed over the old
  // one; false when the file cannot be written completely.
  bool save(const char* name);
  void reset();

  // The table of a kind and engine class, or null when either is out of range.
  HighscoreBase* table(int kind, int engineClass);

  HighscoreChampionship m_cup1[kClasses];
  HighscoreChampionship m_cup2[kClasses];
  HighscoreTimeTrial m_timeTrial[kClasses];
  HighscoreLastManStanding m_lastManStanding[kClasses];

 private:
  // File order: for class 0, 1, 2 the cup-1, cup-2, time-trial and
  // last-man-standing table.
  HighscoreBase* inFileOrder(int index);
};
