// The sample archive the build wrote with tessaline-sample-data, read into
// memory once per test program and mounted there, so that no test program
// makes the sample data itself.
#pragma once

#include <cstdint>
#include <vector>

class ArchiveFile;

// The archive's bytes; empty (and the calling test failed) when the build
// wrote none.
const std::vector<std::uint8_t>& builtSampleArchiveBytes();
// The archive mounted from those bytes.
ArchiveFile& builtSampleArchive();
