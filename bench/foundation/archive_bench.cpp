// Decoding speed and packed size of archive entries (range coder,
// move-to-front and Burrows-Wheeler stages) against libbz2 on the same
// files: a generated 20 MB corpus shaped like the game's data (see
// game_data_corpus.h), one archive entry (flags 3) and one bzip2 stream
// (900 KB blocks) per file. Prints MB/s of decoded output for both and
// their ratio, overall and per kind of data, and the packed sizes.
#include <benchmark/benchmark.h>
#include <bzlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/foundation/game_data_corpus.h"
#include "content/archive_writer.h"
#include "foundation/archive_file.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A read-only File over the archive's bytes, so the timing is decoding, not disk.
class MemoryArchive : public File {
 public:
  explicit MemoryArchive(const Bytes* bytes) : m_bytes(bytes) {}
  File* clone() const override { return new MemoryArchive(m_bytes); }
  bool exists(const char* name) override { return name && std::strcmp(name, "data.sar") == 0; }
  bool open(const char* name) override {
    if (!exists(name)) return false;
    m_position = 0;
    m_size = static_cast<int>(m_bytes->size());
    return true;
  }
  bool create(const char*) override { return false; }
  bool close() override { return true; }
  int read(void* buffer, int count) override {
    const int n = std::max(0, std::min(count, m_size - m_position));
    std::memcpy(buffer, m_bytes->data() + m_position, static_cast<std::size_t>(n));
    m_position += n;
    return n;
  }
  int write(const void*, int) override { return 0; }
  bool seek(int position) override {
    m_position = position;
    return true;
  }
  bool skip(int delta) override {
    m_position += delta;
    return true;
  }
  int tell() override { return m_position; }

 private:
  const Bytes* m_bytes;
  int m_position = 0;
};

constexpr std::size_t kBytesPerKind = 4u << 20;

struct Fixture {
  std::vector<CorpusFile> corpus;
  std::size_t rawBytes = 0;
  Bytes archive;
  std::vector<std::size_t> archiveEntryBytes;  // stored bytes (and index) per file
  std::vector<Bytes> bzip2;
  std::size_t bzip2Bytes = 0;
  double packSeconds = 0;
  double bzip2PackSeconds = 0;
};

Fixture& fixture() {
  static Fixture f = [] {
    Fixture f;
    f.corpus = makeGameDataCorpus(kBytesPerKind);
    for (const CorpusFile& file : f.corpus) f.rawBytes += file.data.size();

    auto start = std::chrono::steady_clock::now();
    ArchiveWriter writer;
    for (const CorpusFile& file : f.corpus) {
      PackedEntry packed = ArchiveWriter::pack(file.data.data(), file.data.size(), 3);
      f.archiveEntryBytes.push_back(packed.bytes.size());
      if (!writer.addPacked(file.name, 3, std::move(packed)))
        std::fprintf(stderr, "cannot add %s\n", file.name.c_str());
    }
    f.archive = writer.build();
    f.packSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    start = std::chrono::steady_clock::now();
    for (const CorpusFile& file : f.corpus) {
      unsigned int length = static_cast<unsigned int>(file.data.size() + file.data.size() / 100 + 600);
      Bytes packed(length);
      BZ2_bzBuffToBuffCompress(reinterpret_cast<char*>(packed.data()), &length,
                               const_cast<char*>(reinterpret_cast<const char*>(file.data.data())),
                               static_cast<unsigned int>(file.data.size()), 9, 0, 0);
      packed.resize(length);
      f.bzip2Bytes += length;
      f.bzip2.push_back(std::move(packed));
    }
    f.bzip2PackSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return f;
  }();
  return f;
}

// One pass over every entry of a kind (of every kind for -1); false when
// an entry does not decode in full.
bool decodeArchivePass(const Fixture& f, ArchiveFile& archive, int kind = -1) {
  for (const CorpusFile& file : f.corpus) {
    if (kind >= 0 && file.kind != kind) continue;
    if (!archive.open(file.name.c_str()) || archive.size() != static_cast<int>(file.data.size())) return false;
  }
  return true;
}

bool decodeBzip2Pass(const Fixture& f, Bytes& out, int kind = -1) {
  for (std::size_t i = 0; i < f.corpus.size(); ++i) {
    if (kind >= 0 && f.corpus[i].kind != kind) continue;
    out.resize(f.corpus[i].data.size());
    unsigned int length = static_cast<unsigned int>(out.size());
    if (BZ2_bzBuffToBuffDecompress(reinterpret_cast<char*>(out.data()), &length,
                                   const_cast<char*>(reinterpret_cast<const char*>(f.bzip2[i].data())),
                                   static_cast<unsigned int>(f.bzip2[i].size()), 0, 0) != BZ_OK ||
        length != out.size())
      return false;
  }
  return true;
}

template <typename Pass>
double timed(Pass pass) {
  const auto start = std::chrono::steady_clock::now();
  if (!pass()) return -1;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void decodeArchive(benchmark::State& state) {
  Fixture& f = fixture();
  MemoryArchive base(&f.archive);
  ArchiveFile archive(base);
  if (!archive.mount("data.sar")) {
    state.SkipWithError("archive does not mount");
    return;
  }
  for (auto _ : state) {
    if (!decodeArchivePass(f, archive)) {
      state.SkipWithError("an entry does not decode");
      return;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.rawBytes));
}

void decodeBzip2(benchmark::State& state) {
  Fixture& f = fixture();
  Bytes out;
  for (auto _ : state) {
    if (!decodeBzip2Pass(f, out)) {
      state.SkipWithError("a bzip2 stream does not decode");
      return;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.rawBytes));
}

BENCHMARK(decodeArchive)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(decodeBzip2)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// Speeds come from passes taken in turn, best of each: on a shared machine
// the load changes within seconds, and two separate timing runs would
// compare different conditions.
void compareInTurns(const Fixture& f, int rounds) {
  MemoryArchive base(&f.archive);
  ArchiveFile archive(base);
  if (!archive.mount("data.sar")) return;
  Bytes out;
  std::printf("\n%-11s %6s %8s %10s %10s %12s %12s %7s\n", "kind", "files", "raw MB", "archive %", "bzip2 %",
              "archive MB/s", "libbz2 MB/s", "speed");
  const int kinds = static_cast<int>(corpusKindNames().size());
  for (int kind = 0; kind <= kinds; ++kind) {
    const int selected = kind < kinds ? kind : -1;
    std::size_t files = 0, raw = 0, ours = 0, theirs = 0;
    for (std::size_t i = 0; i < f.corpus.size(); ++i) {
      if (selected >= 0 && f.corpus[i].kind != selected) continue;
      ++files;
      raw += f.corpus[i].data.size();
      ours += f.archiveEntryBytes[i];
      theirs += f.bzip2[i].size();
    }
    double oursSeconds = 1e30, theirsSeconds = 1e30;
    for (int round = 0; round < rounds; ++round) {
      const double a = timed([&] { return decodeArchivePass(f, archive, selected); });
      const double b = timed([&] { return decodeBzip2Pass(f, out, selected); });
      if (a < 0 || b < 0) {
        std::printf("decode failed\n");
        return;
      }
      oursSeconds = std::min(oursSeconds, a);
      theirsSeconds = std::min(theirsSeconds, b);
    }
    const double mb = static_cast<double>(raw) / 1e6;
    std::printf("%-11s %6zu %8.2f %10.1f %10.1f %12.1f %12.1f %7.2f\n",
                selected >= 0 ? corpusKindNames()[static_cast<std::size_t>(selected)].c_str() : "overall", files, mb,
                100.0 * static_cast<double>(ours) / static_cast<double>(raw),
                100.0 * static_cast<double>(theirs) / static_cast<double>(raw), mb / oursSeconds, mb / theirsSeconds,
                theirsSeconds / oursSeconds);
  }
  std::printf(
      "(packed sizes in %% of the raw bytes; speed = archive MB/s over libbz2 MB/s, best of %d passes in "
      "turn)\n",
      rounds);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const Fixture& f = fixture();
  const double mb = static_cast<double>(f.rawBytes) / 1e6;
  std::printf("corpus: %zu files, %.2f MB\n", f.corpus.size(), mb);
  std::printf("packed: archive %zu bytes (%.1f%%, packed in %.2f s), bzip2 %zu bytes (%.1f%%, packed in %.2f s)\n",
              f.archive.size(), 100.0 * f.archive.size() / f.rawBytes, f.packSeconds, f.bzip2Bytes,
              100.0 * f.bzip2Bytes / f.rawBytes, f.bzip2PackSeconds);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  compareInTurns(f, 15);
  return 0;
}
