// The checksum stored in front of every enciphered block of the settings and
// score files. Stored files carry exactly this value, so it keeps its odd
// shape: it folds the first four bytes in (length / 4) times and then the
// first (length mod 4) bytes, and so depends on nothing else in the buffer.
#pragma once

#include <cstddef>
#include <cstdint>

std::uint32_t FileChecksum(const void* data, std::size_t length);
