// Reads the codebooks, floors and residues of Vorbis setup headers before
// vorbisfile sees them. The system's libvorbis divides by the dimension of
// the books a residue decodes with, and after a book it cannot set up it
// goes on with zeroed ones; streams with such books, or that name books
// that do not exist, are refused here instead of crashing the game.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What the check learned of one setup header; tests locate fields with it.
struct VorbisSetupLayout {
  struct Codebook {
    std::size_t bitOffset = 0;  // of its sync pattern, from the packet's first byte
    int dimensions = 0;
    int lookupType = 0;
  };
  std::vector<Codebook> codebooks;
  struct Residue {
    int type = 0;
    int classbook = 0;
    std::vector<int> books;  // of every stage of every classification, in header order
  };
  std::vector<Residue> residues;
};

// Reads one setup header packet (type 5, "vorbis", then the bit-packed
// fields) up to the end of its residues. Empty when it is sound, else why it
// is refused; `layout` (may be null) holds what was read.
std::string readVorbisSetup(const std::uint8_t* packet, std::size_t size, VorbisSetupLayout* layout = nullptr);

// Walks the Ogg pages of a whole file and reads the setup header of every
// Vorbis stream that begins in it (each link of a chained file has its own).
// Empty when all are sound, else why the file is refused.
std::string checkVorbisSetupHeaders(const std::uint8_t* data, std::size_t size);
