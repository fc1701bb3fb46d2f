// Decoding speed of archive entries (range coder, move-to-front and
// Burrows-Wheeler stages) against libbz2 on the same files: 10 MB of headers
// from /usr/include and 10 MB of what /usr/lib holds first, one archive entry
// (flags 3) and one bzip2 stream (900 KB blocks) per file. Prints MB/s of decoded output for
// both, their ratio and the packed sizes.
#include <benchmark/benchmark.h>
#include <bzlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "content/archive_writer.h"
#include "foundation/archive_file.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

struct CorpusFile {
  std::string name;
  Bytes data;
};

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

// Files of a tree in name order, up to `budget` bytes, none above 4 MB.
void collect(const fs::path& root, std::size_t budget, std::vector<CorpusFile>& corpus) {
  std::vector<fs::path> paths;
  std::error_code error;
  for (fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, error), end; it != end;
       it.increment(error)) {
    if (error) break;
    // Separate debug symbols are not on every machine.
    if (it->is_directory(error) && it->path().filename() == "debug") {
      it.disable_recursion_pending();
      continue;
    }
    if (it->is_regular_file(error) && !it->is_symlink(error)) paths.push_back(it->path());
  }
  std::sort(paths.begin(), paths.end());
  std::size_t taken = 0;
  for (const fs::path& path : paths) {
    if (taken >= budget) break;
    const auto size = fs::file_size(path, error);
    if (error || size == 0 || size > (4u << 20)) continue;
    std::ifstream in(path, std::ios::binary);
    Bytes data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (data.empty()) continue;
    taken += data.size();
    // Archive names use backslashes; the number keeps names unique even where
    // two files differ only in case, which the lookup ignores.
    std::string name = std::to_string(corpus.size()) + "\\" + path.filename().string();
    name.resize(std::min<std::size_t>(name.size(), ArchiveWriter::kMaxNameLength));
    corpus.push_back({name, std::move(data)});
  }
}

struct Fixture {
  std::vector<CorpusFile> corpus;
  std::size_t rawBytes = 0;
  Bytes archive;
  std::vector<Bytes> bzip2;
  std::size_t bzip2Bytes = 0;
  double packSeconds = 0;
  double bzip2PackSeconds = 0;
};

Fixture& fixture() {
  static Fixture f = [] {
    Fixture f;
    collect("/usr/include", 10u << 20, f.corpus);
    collect("/usr/lib", 10u << 20, f.corpus);
    for (const CorpusFile& file : f.corpus) f.rawBytes += file.data.size();

    auto start = std::chrono::steady_clock::now();
    ArchiveWriter writer;
    for (const CorpusFile& file : f.corpus)
      if (!writer.add(file.name, file.data, 3)) std::fprintf(stderr, "cannot add %s\n", file.name.c_str());
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

double g_oursBest = 1e30;
double g_bzip2Best = 1e30;

void decodeArchive(benchmark::State& state) {
  Fixture& f = fixture();
  MemoryArchive base(&f.archive);
  ArchiveFile archive(base);
  if (!archive.mount("data.sar")) {
    state.SkipWithError("archive does not mount");
    return;
  }
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    std::size_t decoded = 0;
    for (const CorpusFile& file : f.corpus) {
      if (!archive.open(file.name.c_str())) {
        state.SkipWithError("entry does not open");
        return;
      }
      decoded += static_cast<std::size_t>(archive.size());
    }
    g_oursBest = std::min(g_oursBest, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (decoded != f.rawBytes) state.SkipWithError("decoded size differs");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.rawBytes));
}

void decodeBzip2(benchmark::State& state) {
  Fixture& f = fixture();
  Bytes out;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    std::size_t decoded = 0;
    for (std::size_t i = 0; i < f.corpus.size(); ++i) {
      out.resize(f.corpus[i].data.size());
      unsigned int length = static_cast<unsigned int>(out.size());
      if (BZ2_bzBuffToBuffDecompress(reinterpret_cast<char*>(out.data()), &length,
                                     reinterpret_cast<char*>(f.bzip2[i].data()),
                                     static_cast<unsigned int>(f.bzip2[i].size()), 0, 0) != BZ_OK) {
        state.SkipWithError("bzip2 stream does not decode");
        return;
      }
      decoded += length;
    }
    g_bzip2Best =
        std::min(g_bzip2Best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    benchmark::DoNotOptimize(decoded);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.rawBytes));
}

BENCHMARK(decodeArchive)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(decodeBzip2)->Unit(benchmark::kMillisecond)->MinTime(3.0);

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
  if (g_oursBest < 1e30 && g_bzip2Best < 1e30) {
    const double ours = mb / g_oursBest;
    const double bzip2 = mb / g_bzip2Best;
    std::printf("decode (best pass): archive %.1f MB/s, libbz2 %.1f MB/s, ratio %.2f\n", ours, bzip2, ours / bzip2);
  }
  return 0;
}
