// What a player reads on a screen, measured: the rectangle a window's text
// takes (CEGUI's font extents, word wrap as the window does it) and the
// colours behind it, composed from the generated pictures and the look's
// colours of the windows drawn before it.
#pragma once

#include <CEGUI/CEGUI.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tools/sample_data/picture_imageset.h"

namespace text_backdrop {

struct Box {
  float left, top, right, bottom;
};

// Lines of `text` in `font` broken at blanks to fit `width` (a word longer
// than the width stays whole on its line, as CEGUI's wrapper leaves it).
std::vector<CEGUI::String> wrap(const CEGUI::Font& font, const CEGUI::String& text, float width);

// The text's own rectangle inside its window, in screen pixels, from the
// window's formatting; `wrapped` tells a word-wrapping format.
struct Measured {
  Box text;
  Box window;  // the window's rectangle clipped by its parents
  bool wrapped = false;
};
Measured measure(const CEGUI::Window& window);

// 0xAARRGGBB of a text window's text (its top-left text colour; the look's
// label colour for buttons).
std::uint32_t textColour(const CEGUI::Window& window);

// The lowest contrast of `colour` against the colours behind `box`, the
// windows drawn before `subject` under its root composed in draw order;
// clear pixels show black, or, inside `unknown` rectangles (the 3D
// previews), anything from black to white.
class Backdrop {
 public:
  double lowestContrast(const CEGUI::Window& subject, const Box& box, std::uint32_t colour,
                        const std::vector<Box>& unknown);

 private:
  const Canvas* picture(const CEGUI::String& imageProperty);
  std::map<std::string, std::vector<NamedPicture>> m_sets;
};

// Whether the screen rectangles overlap.
inline bool overlaps(const Box& a, const Box& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

}  // namespace text_backdrop
