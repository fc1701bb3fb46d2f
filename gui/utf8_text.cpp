#include "gui/utf8_text.h"

#include <cstdint>

CEGUI::String decodeUtf8(std::string_view bytes) {
  constexpr CEGUI::utf32 kReplacement = 0xFFFD;
  CEGUI::String out;
  const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
  const std::size_t n = bytes.size();
  std::size_t i = 0;
  while (i < n) {
    const std::uint8_t lead = p[i];
    int length = 0;
    CEGUI::utf32 c = 0, minimum = 0;
    if (lead < 0x80) {
      out += static_cast<CEGUI::utf32>(lead);
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
      out += c;
      i += static_cast<std::size_t>(length);
    } else {
      out += kReplacement;
      ++i;
    }
  }
  return out;
}
