// Hostile sound, picture and texture files, as players might install them
// from others: small files whose headers or codebooks would have a reader
// take gigabytes or overflow its stack. Tests, the memory check (bench/) and
// the fuzz seeds make them here, from the content writers.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/graphics/d3d9_types.h"

using HostileBytes = std::vector<std::uint8_t>;

// A Vorbis codebook added to a setup header: an ordered book whose code
// lengths make a complete code, with a lookup table (type 1 or 2, values of
// one bit) or none (type 0).
struct VorbisBookSpec {
  std::uint32_t entries = 1;
  int dimensions = 1;
  int lookupType = 0;
};

// A short mono file from encodeOggVorbis with `books` added after the
// encoder's own codebooks (so that every index the floors and residues use
// still names the same book). Empty on failure.
HostileBytes oggVorbisWithBooks(const std::vector<VorbisBookSpec>& books);
// One book of 2^20 - 1 entries, whose set-up puts 8 MB on the stack.
HostileBytes oggVorbisWithHugeBook();
// `count` lookup books of 65535 entries in 128 dimensions: 32 MB of floats
// each once set up.
HostileBytes oggVorbisWithLookupBooks(int count);

// A picture 8192 pixels wide whose coded data ends after its first row of
// blocks, its frame header claiming 8192 x `claimedRows`.
HostileBytes jpegEndingAfterFirstBlockRow(bool progressive, int claimedRows = 8192);
// A baseline picture of width x codedRows pixels of noise (so that its coded
// data is large) whose frame header claims width x claimedRows: a file cut
// short after codedRows rows.
HostileBytes jpegCutShort(int width, int codedRows, int claimedRows);
// A progressive picture of `components` components (each sampled 1 x 1)
// whose first scan codes every block's DC difference as 0 in one bit, so
// that its data covers the whole picture, followed by a scan with invalid
// parameters. Its coefficients take width x height x components x 2 bytes.
HostileBytes progressiveJpegWithOneBitBlocks(int width, int height, int components);

// A lone 128-byte PCX header claiming width x height 8-bit indices.
HostileBytes pcxHeaderOnly(int width, int height);

// A ".dds" file of one side x side level in `format` (zero texels, no mip
// levels), written without a second copy of the level.
HostileBytes ddsWithoutMips(UINT side, D3DFORMAT format);
