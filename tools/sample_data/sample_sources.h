// The kinds of sample content the tool packs. Each source adds its entries
// to the writer and returns false when it could not make them.
#pragma once

#include <span>

class ArchiveWriter;

struct SampleSource {
  const char* what;   // for messages: "texts", "track 2", ...
  const char* group;  // what the benchmark times it under: "tracks", "karts", "GUI", "sounds", "music"
  bool (*add)(ArchiveWriter& writer);
};

// Every source, in the order their entries go into the archive.
std::span<const SampleSource> sampleSources();
// The same with the test ring in place of track 1: the archive the tests
// that race the game without steering start it on.
std::span<const SampleSource> testRingSources();

bool addTextSamples(ArchiveWriter& writer);
bool addGuiSamples(ArchiveWriter& writer);
bool addTrackSamples(ArchiveWriter& writer);
bool addMenuSamples(ArchiveWriter& writer);
bool addOptionsSamples(ArchiveWriter& writer);
bool addKartSamples(ArchiveWriter& writer);
