// A fixed corpus shaped like the game's data, for measuring the archive's
// codec: the same bytes on every machine and every run, so figures compare.
// Five kinds, each split into files of mixed sizes the way an archive holds
// them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct CorpusFile {
  std::string name;  // as the archive stores it, unique
  int kind = 0;      // index into corpusKindNames()
  std::vector<std::uint8_t> data;
};

// "text" (menu, credit and language texts), "scene" (scene and object
// descriptions in text form), "mesh" (binary vertex and index arrays),
// "picture" (uncompressed texture pixels and track maps) and "compressed"
// (JPEG and Ogg Vorbis payloads, which no packer shrinks).
const std::vector<std::string>& corpusKindNames();

// About `bytesPerKind` bytes of each kind, generated from fixed seeds.
std::vector<CorpusFile> makeGameDataCorpus(std::size_t bytesPerKind);
