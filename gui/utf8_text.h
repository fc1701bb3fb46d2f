// Text from files and peers into the GUI library's strings. CEGUI's own
// UTF-8 reader runs past the end of a cut sequence, so text is decoded here,
// bounded by its length, before it reaches CEGUI.
#pragma once

#include <CEGUI/String.h>

#include <string_view>

// Well-formed UTF-8 gives its code points; each byte that does not start or
// continue a well-formed sequence (a cut or overlong sequence, a surrogate,
// a value above U+10FFFF) gives U+FFFD.
CEGUI::String decodeUtf8(std::string_view bytes);
// The same for at most `maxCodePoints` code points; `cut`, when given, says
// whether bytes were left over.
CEGUI::String decodeUtf8(std::string_view bytes, std::size_t maxCodePoints, bool* cut);
// Writes `text` as UTF-8 into `out`, whole characters only, as many as fit
// in `capacity` bytes; no terminator. Returns the bytes written.
std::size_t encodeUtf8(const CEGUI::String& text, char* out, std::size_t capacity);
