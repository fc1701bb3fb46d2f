// Ogg Vorbis files encoded in memory with libvorbisenc, for test fixtures
// and the sample data.
#pragma once

#include <cstdint>
#include <vector>

// Encodes interleaved 16-bit frames (`channels` samples each) at `quality`
// (-0.1 to 1.0, variable bit rate) as one logical stream with the given
// serial number; files with different serials concatenated make a chained
// file. Empty on failure.
std::vector<std::uint8_t> encodeOggVorbis(const std::vector<std::int16_t>& samples, int channels, int sampleRate,
                                          float quality = 0.4f, int serial = 0x7E55);

// Where a file from encodeOggVorbis holds its setup header (the writer
// flushes the comment and setup headers onto the second page): the offsets
// of that page and of the packet, and the packet's size, 0 when not found.
struct VorbisSetupPlace {
  std::size_t page = 0;
  std::size_t packet = 0;
  std::size_t size = 0;
};
VorbisSetupPlace findVorbisSetup(const std::vector<std::uint8_t>& ogg);

// A file from encodeOggVorbis with the first residue's classbook set to
// dimension 0, which the residue decoder would divide by, and the page
// checksum set right. Empty when the setup header cannot be read.
std::vector<std::uint8_t> withResidueClassbookOfDimensionZero(std::vector<std::uint8_t> ogg);
