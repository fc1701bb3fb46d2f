// Reads the codebooks, floors and residues of Vorbis setup headers before
// vorbisfile sees them. The system's libvorbis divides by the dimension of
// the books a residue decodes with, and after a book it cannot set up it
// goes on with zeroed ones; streams with such books, or that name books
// that do not exist, are refused here instead of crashing the game. So are
// books too large for its set-up, which puts a pointer per entry on the
// stack and expands lookup books to floats in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Most entries of one codebook.
inline constexpr int kMaxVorbisBookEntries = 65536;
// Most entries x dimensions over the lookup books of a whole file, every
// link of a chained file together (the decoder reads them all on opening).
inline constexpr std::uint64_t kMaxVorbisLookupValues = 4'000'000;

// What the check learned of one setup header; tests locate fields with it.
struct VorbisSetupLayout {
  struct Codebook {
    std::size_t bitOffset = 0;  // of its sync pattern, from the packet's first byte
    int dimensions = 0;
    int entries = 0;
    int lookupType = 0;
  };
  std::vector<Codebook> codebooks;
  std::size_t codebooksEnd = 0;  // bit offset of what follows the last book
  // Entries x dimensions over the books with a lookup table.
  std::uint64_t lookupValues = 0;
  struct Residue {
    int type = 0;
    int classbook = 0;
    std::vector<int> books;  // of every stage of every classification, in header order
  };
  std::vector<Residue> residues;
};

// Reads one setup header packet (type 5, "vorbis", then the bit-packed
// fields) up to the end of its residues. Empty when it is sound, else why it
// is refused; `layout` (may be null) holds what was read. `lookupValuesBefore`
// counts towards kMaxVorbisLookupValues: the earlier links' lookup values.
std::string readVorbisSetup(const std::uint8_t* packet, std::size_t size, VorbisSetupLayout* layout = nullptr,
                            std::uint64_t lookupValuesBefore = 0);

// Walks the Ogg pages of a whole file and reads the setup header of every
// Vorbis stream that begins in it (each link of a chained file has its own).
// Empty when all are sound, else why the file is refused.
std::string checkVorbisSetupHeaders(const std::uint8_t* data, std::size_t size);
