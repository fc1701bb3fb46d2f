// tessaline-sample-data [--test-ring] OUTPUT: writes a "data.sar" of sample
// content to OUTPUT (a file path, or a directory to write "data.sar" into),
// then reads every entry back through ArchiveFile to prove the archive
// loads. With --test-ring, track 1 is the test ring that tests race without
// steering. It stops, writing nothing, when a source fails or two entries
// share a name.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "content/archive_writer.h"
#include "foundation/archive_file.h"
#include "foundation/file.h"
#include "tools/sample_data/sample_archive.h"
#include "tools/sample_data/sample_sources.h"

namespace {

// Opens every entry the writer added; the reader is the game's own.
bool verify(const std::string& path, const ArchiveWriter& writer) {
  DiskFile disk;
  ArchiveFile archive(disk);
  if (!archive.mount(path.c_str())) {
    std::fprintf(stderr, "tessaline-sample-data: %s does not mount\n", path.c_str());
    return false;
  }
  for (int i = 0; i < writer.entryCount(); ++i) {
    const std::string& name = writer.entryName(i);
    if (!archive.open(name.c_str()) || archive.size() != static_cast<int>(writer.entryUnpackedSize(i))) {
      std::fprintf(stderr, "tessaline-sample-data: entry \"%s\" does not read back\n", name.c_str());
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const bool testRing = argc == 3 && std::string(argv[1]) == "--test-ring";
  if (argc != 2 && !testRing) {
    std::fprintf(stderr,
                 "usage: tessaline-sample-data [--test-ring] OUTPUT\n  OUTPUT: the archive's path, or a folder for "
                 "data.sar\n  --test-ring: track 1 is the ring tests race without steering\n");
    return 2;
  }
  const std::string given = argv[argc - 1];
  std::filesystem::path output = given;
  std::error_code error;
  if (std::filesystem::is_directory(output, error) || (!given.empty() && given.back() == '/')) output /= "data.sar";
  if (output.has_parent_path()) std::filesystem::create_directories(output.parent_path(), error);

  const SampleRun run = runSampleSources(testRing ? testRingSources() : sampleSources());
  if (!run.ok) {
    std::fprintf(stderr, "tessaline-sample-data: %s\n", run.error.c_str());
    return 1;
  }
  const std::string path = output.string();
  bool written = false;
  if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
    written = std::fwrite(run.archive.data(), 1, run.archive.size(), file) == run.archive.size();
    written = std::fclose(file) == 0 && written;
  }
  if (!written) {
    std::remove(path.c_str());
    std::fprintf(stderr, "tessaline-sample-data: cannot write %s\n", path.c_str());
    return 1;
  }
  if (!verify(path, run.writer)) return 1;
  std::printf("wrote %s: %d entries\n", path.c_str(), run.writer.entryCount());
  return 0;
}
