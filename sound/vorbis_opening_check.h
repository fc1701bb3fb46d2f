// The system's vorbisfile loses its list of stream serials (8 bytes a
// stream) whenever opening fails after the first page: a damaged file
// leaked a little on every attempt. Its header fetch and its walk over the
// links of a chained file are followed here over the whole bytes, so such
// files are refused before it sees them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Follows vorbisfile's opening of a file it can seek in. First the first
// link's headers as it fetches them: the first pages that begin streams (no
// serial twice), the first of those streams that starts with an
// identification header, then its comment and setup headers, each accepted
// by libvorbis, with no more than 64 KiB of non-page bytes before each page.
// Then its walk over the links: when the last page of the data belongs to
// none of a link's streams, it searches for where the link ends and fetches
// the next link's headers there the same way. Empty when vorbisfile would
// open the file, else why not. The walk reads at most a fixed multiple of
// the bytes. Run it after checkVorbisSetupHeaders: the setup headers go to
// libvorbis.
std::string checkVorbisOpening(const std::uint8_t* data, std::size_t size);
