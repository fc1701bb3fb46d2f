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
