// largest_accepted: the largest file each bounded reader still takes, read
// in a child process of its own, and how far the child's peak resident set
// rose meanwhile, beside the file's size: a text table of 16 MB holding 4096
// texts in six languages (every text as long as the size allows), seven
// driving lines of 100 MB read for a race of five computer drivers, and a
// texture's ".dds" cache file of the largest picture the loaders take
// (4096 x 2048 with its mip chain). Build it in Release (the
// sanitizer's shadow memory would count too) and run it by hand; it also
// prints the seconds each took.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/support/peak_growth.h"
#include "content/bmp_writer.h"
#include "foundation/file.h"
#include "fuzz/recording_pipeline.h"
#include "game/kart/controller_ai.h"
#include "game/saves/config.h"
#include "game/track/track_points.h"
#include "gui/text_table.h"
#include "net/net_control.h"
#include "render/file_texture.h"

namespace {

namespace fs = std::filesystem;

// Opens the one file it was made with, whatever name it is asked for: the
// seven line files of a race all read it.
class OneFile : public DiskFile {
 public:
  explicit OneFile(std::string path) : DiskFile(""), m_path(std::move(path)) {}
  File* clone() const override { return new OneFile(m_path); }
  bool open(const char*) override { return DiskFile::open(m_path.c_str()); }

 private:
  std::string m_path;
};

void writeFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// 4096 Takes of six languages, 16 MB in all: what the table's caps let
// through at the most.
std::string largestTextTable() {
  constexpr std::size_t kBytes = 16 * 1024 * 1024 - 64;
  const char* const codes[] = {"De", "En", "Fr", "Sp", "It", "Ru"};
  const std::size_t perText = kBytes / (4096 * 6) - 32;
  std::string xml = "<Texts>";
  xml.reserve(kBytes + 64);
  for (int id = 0; id < 4096; ++id) {
    xml += "<Take id=\"" + std::to_string(id) + "\">";
    for (const char* code : codes) xml += std::string("<") + code + ">" + std::string(perText, 'x') + "</" + code + ">";
    xml += "</Take>";
  }
  return xml + "</Texts>";
}

// A line of records a metre apart round a square near track 0's start.
std::string longLineFile(std::size_t bytes) {
  std::string out;
  out.reserve(bytes);
  for (std::size_t i = 0; out.size() + 16 <= bytes; ++i) {
    const float record[4] = {static_cast<float>(i % 100), 0.0f, static_cast<float>(i / 100 % 100), 0.3f};
    out.append(reinterpret_cast<const char*>(record), sizeof record);
  }
  return out;
}

struct Figure {
  const char* what;
  long long fileBytes;
  long long growth;
  double seconds;
};

Figure measure(const char* what, long long fileBytes, const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  const long long growth = peakGrowthOf(work);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return {what, fileBytes, growth, seconds};
}

}  // namespace

int main() {
  const fs::path dir = fs::temp_directory_path() / ("largest_accepted_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::vector<Figure> figures;

  const fs::path table = dir / "Texts.xml";
  writeFile(table, largestTextTable());
  figures.push_back(
      measure("text table: 4096 texts in six languages", static_cast<long long>(fs::file_size(table)), [&] {
        DiskFile files("");
        TextTable texts(files, table.c_str());
        std::printf("%s", texts.storedTexts() == 4096u * 6 ? "" : "(not every text read) ");
      }));

  const fs::path line = dir / "line.dat";
  writeFile(line, longLineFile(std::size_t{100} << 20));
  figures.push_back(
      measure("driving lines: seven of 100 MB, five drivers", static_cast<long long>(fs::file_size(line)), [&] {
        OneFile files(line.string());
        NetControl control;
        Config config(nullptr, control, Config::SavedFile::Ignore);
        const auto points = readTrackPoints(files, 0);
        std::vector<std::unique_ptr<ControllerAI>> drivers;
        for (int k = 1; k < 6; ++k) drivers.push_back(std::make_unique<ControllerAI>(points, config, k));
      }));

  // The first load decodes the picture and writes its cache file; the one
  // measured reads that file.
  setenv("TESSALINE_TEXTURE_CACHE", (dir / "cache").c_str(), 1);
  RenderPipeline* pipeline = RecordingPipeline::instance().pipeline();
  const fs::path picture = dir / "largest.bmp";
  {
    const std::vector<std::uint8_t> bmp = writeBmp24(4096, 2048, std::vector<std::uint32_t>(4096u * 2048u, 0x336699));
    std::ofstream(picture, std::ios::binary)
        .write(reinterpret_cast<const char*>(bmp.data()), static_cast<std::streamsize>(bmp.size()));
  }
  DiskFile disk("");
  if (pipeline) {
    FileTexture first(pipeline);
    first.open(&disk, picture.c_str(), true);
    first.load();
  }
  long long cacheBytes = 0;
  std::error_code error;
  for (const auto& entry : fs::recursive_directory_iterator(dir / "cache", error))
    if (entry.is_regular_file()) cacheBytes = static_cast<long long>(entry.file_size());
  figures.push_back(measure("texture cache: 4096 x 2048 with its mip chain", cacheBytes, [&] {
    if (!pipeline) return;
    FileTexture again(pipeline);
    again.open(&disk, picture.c_str(), true);
    again.load();
  }));

  if (cacheBytes == 0) std::printf("(no texture cache file was written) ");
  std::printf("\n%-48s %12s %14s %10s\n", "largest accepted", "file bytes", "peak rise", "seconds");
  for (const Figure& f : figures) std::printf("%-48s %12lld %14lld %10.2f\n", f.what, f.fileBytes, f.growth, f.seconds);
  fs::remove_all(dir);
  return 0;
}
