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
