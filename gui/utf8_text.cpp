#include "gui/utf8_text.h"

#include <algorithm>
#include <cstdint>

CEGUI::String decodeUtf8(std::string_view bytes) { return decodeUtf8(bytes, bytes.size(), nullptr); }

CEGUI::String decodeUtf8(std::string_view bytes, std::size_t maxCodePoints, bool* cut) {
  constexpr CEGUI::utf32 kReplacement = 0xFFFD;
  // Room for every code point first: the string grows by exactly what each
  // append asks, so appending one by one would copy it again for each.
  CEGUI::String decoded;
  decoded.reserve(std::min(bytes.size(), maxCodePoints));
  const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
  const std::size_t n = bytes.size();
  std::size_t i = 0;
  while (i < n && decoded.length() < maxCodePoints) {
    const std::uint8_t lead = p[i];
    int length = 0;
    CEGUI::utf32 c = 0, minimum = 0;
    if (lead < 0x80) {
      decoded += static_cast<CEGUI::utf32>(lead);
      ++i;
      continue;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2, c = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3, c = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4, c = lead & 0x07, minimum = 0x10000;
    }
    bool good = length > 0 && i + static_cast<std::size_t>(length) <= n;
    for (int k = 1; good && k < length; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) good = false;
      c = (c << 6) | (p[i + k] & 0x3F);
    }
    if (good && (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))) good = false;
    if (good) {
      decoded += c;
      i += static_cast<std::size_t>(length);
    } else {
      decoded += kReplacement;
      ++i;
    }
  }
  if (cut) *cut = i < n;
  return decoded;
}

std::size_t encodeUtf8(const CEGUI::String& text, char* out, std::size_t capacity) {
  std::size_t used = 0;
  for (std::size_t i = 0; i < text.length(); ++i) {
    const CEGUI::utf32 c = text[i] <= 0x10FFFF && (text[i] < 0xD800 || text[i] > 0xDFFF) ? text[i] : 0xFFFD;
    char bytes[4];
    std::size_t n = 0;
    if (c < 0x80) {
      bytes[n++] = static_cast<char>(c);
    } else if (c < 0x800) {
      bytes[n++] = static_cast<char>(0xC0 | (c >> 6));
      bytes[n++] = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      bytes[n++] = static_cast<char>(0xE0 | (c >> 12));
      bytes[n++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      bytes[n++] = static_cast<char>(0x80 | (c & 0x3F));
    } else {
      bytes[n++] = static_cast<char>(0xF0 | (c >> 18));
      bytes[n++] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      bytes[n++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      bytes[n++] = static_cast<char>(0x80 | (c & 0x3F));
    }
    if (used + n > capacity) break;
    for (std::size_t k = 0; k < n; ++k) out[used++] = bytes[k];
  }
  return used;
}
