// The block format shared by "config.dat" and "highscore.dat": a u32
// checksum of the plain data, a u8 pad count p and the data with p zero bytes
// appended, enciphered in 64-bit cipher feedback from the cipher's initial
// vector. Every block starts again from that vector.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/file.h"
#include "game/saves/blowfish.h"

constexpr std::size_t cipherBlockPadding(std::size_t length) { return (8 - length % 8) % 8; }
constexpr std::size_t cipherBlockDiskSize(std::size_t length) { return 5 + length + cipherBlockPadding(length); }

// False when the file takes fewer bytes than the block needs.
bool writeCipherBlock(const Blowfish& cipher, const std::uint8_t* data, std::size_t length, File& file);

// True when the whole block was there, its pad count is the one its length
// calls for and the checksum matches; only then is `destination` written.
// A short file fails here instead of passing with zero-filled bytes, which
// the checksum (it sees only the first bytes) would not notice.
bool readCipherBlock(const Blowfish& cipher, std::uint8_t* destination, std::size_t length, File& file);
