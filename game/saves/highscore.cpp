#include "game/saves/highscore.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "foundation/byte_fields.h"
#include "foundation/replacing_file.h"
#include "foundation/report.h"
#include "game/saves/cipher_block.h"

namespace {

constexpr float kResetTime = 9999999.0f;

}  // namespace

HighscoreEntry::HighscoreEntry() : time(-1.0f), value(0), name{}, character(-1), kart(-1) {}

HighscoreEntry::HighscoreEntry(float time, const char* name, std::int32_t value, std::int8_t character,
                               std::int8_t kart)
    : time(time), value(value), name{}, character(character), kart(kart) {
  if (name) std::strncpy(this->name, name, kNameSize - 1);
}

void HighscoreEntry::toBytes(std::uint8_t* bytes) const {
  FieldWriter w(bytes, kRecordSize);
  w.f32(time);
  w.i32(value);
  w.raw(name, kNameSize);
  w.u8(static_cast<std::uint8_t>(character));
  w.u8(static_cast<std::uint8_t>(kart));
}

void HighscoreEntry::fromBytes(const std::uint8_t* bytes) {
  FieldReader r(bytes, kRecordSize);
  time = r.f32();
  value = r.i32();
  r.raw(name, kNameSize);
  character = static_cast<std::int8_t>(r.u8());
  kart = static_cast<std::int8_t>(r.u8());
}

HighscoreBase::HighscoreBase(int blocks, bool valueBreaksTies)
    : m_rows(new HighscoreEntry[static_cast<std::size_t>(blocks) * kRows]),
      m_blocks(blocks),
      m_valueBreaksTies(valueBreaksTies) {
  m_cipher.setKey(kKey, std::strlen(kKey));
}

HighscoreEntry* HighscoreBase::rowOf(int track, int row) {
  const int block = blockFor(track);
  if (block < 0 || block >= m_blocks || row < 0 || row >= kRows) return nullptr;
  return &m_rows[static_cast<std::size_t>(block) * kRows + static_cast<std::size_t>(row)];
}

HighscoreEntry* HighscoreBase::getEntry(int track, int row) { return rowOf(track, row); }

bool HighscoreBase::setEntry(int track, int row, const HighscoreEntry& entry) {
  HighscoreEntry* target = rowOf(track, row);
  if (!target) return false;
  *target = entry;
  return true;
}

HighscoreEntry* HighscoreBase::getLatest(int track) { return rowOf(track, kLatestRow); }

bool HighscoreBase::setLatest(int track, const HighscoreEntry& entry) { return setEntry(track, kLatestRow, entry); }

bool HighscoreBase::isWorse(const HighscoreEntry& stored, const HighscoreEntry& entry) const {
  if (stored.time > entry.time) return true;
  return m_valueBreaksTies && stored.time == entry.time && stored.value < entry.value;
}

int HighscoreBase::getPlace(int track, const HighscoreEntry& entry) {
  HighscoreEntry* first = rowOf(track, 0);
  if (!first) return -1;
  for (int place = 0; place < kRanked; ++place) {
    if (isWorse(first[place], entry)) return place;
  }
  return -1;
}

int HighscoreBase::insert(int track, const HighscoreEntry& entry) {
  const int place = getPlace(track, entry);
  if (place < 0) return -1;
  HighscoreEntry* first = rowOf(track, 0);
  std::copy_backward(first + place, first + kRanked - 1, first + kRanked);
  first[place] = entry;
  return place;
}

void HighscoreBase::reset() {
  const HighscoreEntry resetRow(kResetTime, "", 0, -1, -1);
  std::fill(m_rows.get(), m_rows.get() + static_cast<std::size_t>(m_blocks) * kRows, resetRow);
}

int HighscoreBase::bringIntoRange() {
  const HighscoreEntry resetRow(kResetTime, "", 0, -1, -1);
  int emptied = 0;
  for (std::size_t i = 0; i < static_cast<std::size_t>(m_blocks) * kRows; ++i) {
    HighscoreEntry& e = m_rows[i];
    // A time that is no time of a race (NaN, infinite, 0 or less, past the
    // empty row's) would hold its place against every new record: the row
    // holds no result, and is emptied. Written so that NaN fails too.
    if (!(e.time > 0.0f && e.time <= kResetTime)) {
      e = resetRow;
      ++emptied;
    }
    e.name[HighscoreEntry::kNameSize - 1] = '\0';
    if (e.character < -1 || e.character > 5) e.character = -1;
    if (e.kart < -1 || e.kart > 7) e.kart = -1;
  }
  // Emptied rows go below the results, as in a table that never held them.
  if (emptied > 0) {
    for (int block = 0; block < m_blocks; ++block) {
      HighscoreEntry* first = &m_rows[static_cast<std::size_t>(block) * kRows];
      std::stable_partition(first, first + kRanked, [](const HighscoreEntry& e) { return e.time < kResetTime; });
    }
  }
  return emptied;
}

bool HighscoreBase::read(File& file, int* emptied) {
  std::vector<std::uint8_t> plain(plainSize());
  if (!readCipherBlock(m_cipher, plain.data(), plain.size(), file)) return false;
  for (std::size_t i = 0; i < static_cast<std::size_t>(m_blocks) * kRows; ++i) {
    m_rows[i].fromBytes(plain.data() + i * HighscoreEntry::kRecordSize);
  }
  const int count = bringIntoRange();
  if (emptied) *emptied += count;
  return true;
}

bool HighscoreBase::write(File& file) {
  std::vector<std::uint8_t> plain(plainSize());
  for (std::size_t i = 0; i < static_cast<std::size_t>(m_blocks) * kRows; ++i) {
    m_rows[i].toBytes(plain.data() + i * HighscoreEntry::kRecordSize);
  }
  return writeCipherBlock(m_cipher, plain.data(), plain.size(), file);
}

HighscoreBase* HighscoreTables::inFileOrder(int index) { return table((index % 4 + 2) % 4, index / 4); }

HighscoreBase* HighscoreTables::table(int kind, int engineClass) {
  if (engineClass < 0 || engineClass >= kClasses) return nullptr;
  switch (kind) {
    case kTableTimeTrial:
      return &m_timeTrial[engineClass];
    case kTableLastManStanding:
      return &m_lastManStanding[engineClass];
    case kTableCup1:
      return &m_cup1[engineClass];
    case kTableCup2:
      return &m_cup2[engineClass];
    default:
      return nullptr;
  }
}

bool HighscoreTables::load(const char* name) {
  DiskFile file;
  if (!file.open(name)) return false;
  const bool good = loadFrom(file);
  file.close();
  return good;
}

bool HighscoreTables::loadFrom(File& file) {
  int emptied = 0;
  bool complete = true;
  for (int i = 0; i < 4 * kClasses && complete; ++i) complete = inFileOrder(i)->read(file, &emptied);
  if (emptied > 0)
    reportRefusal("%s: %d rows with a time that is no race time (not above 0 s or past %.0f s) emptied\n", kFileName,
                  emptied, static_cast<double>(kResetTime));
  return complete;
}

bool HighscoreTables::save(const char* name) {
  ReplacingFile out(name);
  if (!out.begin()) return false;
  bool written = true;
  for (int i = 0; i < 4 * kClasses && written; ++i) written = inFileOrder(i)->write(out.file());
  return out.commit(written);
}

void HighscoreTables::reset() {
  for (int i = 0; i < 4 * kClasses; ++i) inFileOrder(i)->reset();
}
