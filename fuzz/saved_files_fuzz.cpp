// "config.dat" and "highscore.dat" from untrusted bytes. The first byte picks
// the case: 0 and 1 read the rest as a settings or score file as it stands
// (almost every input fails its checksums); 2 and 3 take the rest as the
// files' plain text, encipher it into well-formed blocks and read that, so
// the values behind the checksums are exercised too. Whatever loads must be
// in range, the score tables' times too.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz/byte_file.h"
#include "game/saves/cipher_block.h"
#include "game/saves/config.h"
#include "game/saves/highscore.h"

namespace {

// Appends well-formed blocks of the given lengths, taking plain text from
// the input and zero-filling what it lacks.
class BlockWriter : public File {
 public:
  File* clone() const override { return nullptr; }
  bool exists(const char*) override { return false; }
  bool open(const char*) override { return false; }
  bool create(const char*) override { return false; }
  bool close() override { return true; }
  int read(void*, int) override { return 0; }
  int write(const void* buffer, int count) override {
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    m_out.insert(m_out.end(), bytes, bytes + count);
    return count;
  }
  bool seek(int) override { return false; }
  bool skip(int) override { return false; }
  int tell() override { return static_cast<int>(m_out.size()); }

  void block(const Blowfish& cipher, const std::uint8_t*& data, std::size_t& left, std::size_t length) {
    std::vector<std::uint8_t> plain(length, 0);
    const std::size_t take = std::min(left, length);
    std::copy(data, data + take, plain.begin());
    data += take;
    left -= take;
    writeCipherBlock(cipher, plain.data(), plain.size(), *this);
  }
  std::vector<std::uint8_t> m_out;
};

void require(bool condition) {
  if (!condition) std::abort();
}

bool inRange(int v, int low, int high) { return v >= low && v <= high; }

void checkConfig(const Config& c) {
  require(c.m_playerName1[Config::kNameSize - 1] == '\0' && c.m_playerName2[Config::kNameSize - 1] == '\0');
  require(inRange(c.m_resolutionWidth, 1, 16384) && inRange(c.m_resolutionHeight, 1, 16384));
  require(inRange(c.m_musicVolume, 0, 100) && inRange(c.m_effectsVolume, 0, 100));
  require(inRange(c.m_language, -1, 4) && inRange(c.m_textureDetail, -2, 0) && inRange(c.m_modelDetail, 0, 1));
  require(inRange(c.m_championshipCcm, 0, 2) && inRange(c.m_championshipKart, 0, 7));
  require(inRange(c.m_championshipCharacter, 0, 5) && inRange(c.m_championshipTrack, 0, 7));
  for (int i = 0; i < 3; ++i) {
    require(inRange(c.m_championshipMaxKart[i], 0, 7) && inRange(c.m_timeTrialMaxCharacter[i], 0, 5));
    require(inRange(c.m_lastManStandingMaxKart[i], 0, 7));
  }
  require(inRange(c.m_twoPlayersKart1, 0, 7) && inRange(c.m_twoPlayersKart2, 0, 7));
  for (int i = 0; i < Config::kBindingCount; ++i) {
    const std::uint32_t kind = c.m_bindingKind[i], code = c.m_bindingCode[i];
    require(kind <= 9 && (kind != 3 || code < 3) && (kind != 4 || code < 256) && (kind != 9 || code < 20));
  }
}

void checkTables(HighscoreTables& tables) {
  for (int kind = 0; kind < 4; ++kind) {
    for (int ccm = 0; ccm < 3; ++ccm) {
      HighscoreBase* table = tables.table(kind, ccm);
      for (int track = 0; track < table->blockCount(); ++track) {
        for (int row = 0; row < HighscoreBase::kRows; ++row) {
          const HighscoreEntry& e = *table->getEntry(track, row);
          require(e.name[HighscoreEntry::kNameSize - 1] == '\0');
          require(inRange(e.character, -1, 5) && inRange(e.kart, -1, 7));
          // A time every race result can beat, up to the empty row's.
          require(e.time > 0.0f && e.time <= 9999999.0f);
        }
      }
    }
  }
}

// Built at its defaults: the target neither reads nor writes "config.dat"
// in the working directory.
Config& config() {
  static Config instance(nullptr, NetControl::getInstance(), Config::SavedFile::Ignore);
  return instance;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int mode = data[0] % 4;
  ++data;
  --size;

  if (mode == 0 || mode == 2) {
    std::vector<std::uint8_t> bytes(data, data + size);
    if (mode == 2) {
      BlockWriter writer;
      writer.block(config().m_cipher, data, size, Config::kSettingsBlockSize);
      writer.block(config().m_cipher, data, size, Config::kBindingBlockSize);
      writer.block(config().m_cipher, data, size, Config::kBindingBlockSize);
      bytes = writer.m_out;
    }
    FuzzByteFile file(bytes.data(), bytes.size());
    file.open("config.dat");
    if (config().loadFrom(file)) checkConfig(config());
    return 0;
  }

  // Made once: each of its twelve tables keys its cipher, which was most of
  // a run's time. Reset before every input, so none sees an earlier one.
  static HighscoreTables tables;
  tables.reset();
  std::vector<std::uint8_t> bytes(data, data + size);
  if (mode == 3) {
    // Keyed once: the key schedule is most of a run's time.
    static const Blowfish keyed = [] {
      Blowfish cipher;
      cipher.setKey(HighscoreBase::kKey, std::strlen(HighscoreBase::kKey));
      return cipher;
    }();
    BlockWriter writer;
    for (int i = 0; i < 12; ++i) {
      const bool cup = i % 4 < 2;
      Blowfish cipher = keyed;
      writer.block(cipher, data, size, (cup ? 1 : 8) * HighscoreBase::kRows * HighscoreEntry::kRecordSize);
    }
    bytes = writer.m_out;
  }
  FuzzByteFile file(bytes.data(), bytes.size());
  file.open("highscore.dat");
  tables.loadFrom(file);
  checkTables(tables);
  return 0;
}
