// Plain text entries: a note on where the archive came from.
#include <string_view>

#include "content/archive_writer.h"
#include "tools/sample_data/sample_sources.h"

namespace {

constexpr std::string_view kReadme =
    "Tessaline sample data\r\n"
    "\r\n"
    "This archive was written by tessaline-sample-data. It holds generated\r\n"
    "sample content for running and testing the engine, not the game's own\r\n"
    "data.\r\n";

}  // namespace

bool addTextSamples(ArchiveWriter& writer) { return writer.add("readme.txt", kReadme, 3); }
