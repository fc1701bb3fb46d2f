// The system's vorbisfile loses its list of stream serials (8 bytes a
// stream) whenever opening fails after the first page: a damaged file
// leaked a little on every attempt. Its header fetch is followed here over
// the whole bytes, so such files are refused before it sees them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Follows the first link's headers as vorbisfile fetches them on opening:
// the first pages that begin streams (no serial twice), the first of those
// streams that starts with an identification header, then its comment and
// setup headers, each accepted by libvorbis, with no more than 64 KiB of
// non-page bytes before each page. Empty when vorbisfile would open the
// headers, else why not. Run it after checkVorbisSetupHeaders: the setup
// header goes to libvorbis.
std::string checkVorbisOpening(const std::uint8_t* data, std::size_t size);
