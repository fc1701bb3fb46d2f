// What every window builder uses: layout pixels to CEGUI's relative
// coordinates, race times as text, and the construction, formatting, text
// and modal-state helpers, so that every screen builds its windows the same
// way.
#pragma once

#include <CEGUI/String.h>
#include <CEGUI/UDim.h>
#include <CEGUI/Vector.h>

#include <cstdint>

namespace CEGUI {
class Window;
}

// Horizontal text placement, by CEGUI's property names (never by number:
// the library's enumeration order is not the old one).
enum class HorzText {
  Left,
  Right,
  Centred,
  Justified,
  WordWrapLeft,
  WordWrapCentred,
  WordWrapRight,
  WordWrapJustified
};
enum class VertText { Top, Centred, Bottom };

class GuiHelper {
 public:
  static constexpr float kLayoutWidth = 1024.0f, kLayoutHeight = 768.0f;

  virtual ~GuiHelper() = default;

  // Pixels of a reference layout as scales (offsets 0); a reference of 0
  // gives scale 0 on that axis.
  static CEGUI::UVector2& layoutToRelative(CEGUI::UVector2& out, const CEGUI::Vector2f& point, float referenceWidth,
                                           float referenceHeight);
  // Seconds as "minutes:seconds:hundredths" (hours dropped, hundredths
  // truncated); 0, 3,600,000 s or more, negative and non-finite times give
  // "--:--:--".
  static CEGUI::String& formatTime(float seconds, CEGUI::String& out);

  // A "Quillfen/<kind>" window at (x, y) of size (width, height) in pixels of
  // the reference layout, named by the window manager unless `name` is given,
  // with text markup parsing off (texts come from files and players).
  static CEGUI::Window* createWindow(const char* kind, float x, float y, float width, float height,
                                     float referenceWidth = kLayoutWidth, float referenceHeight = kLayoutHeight,
                                     const CEGUI::String& name = "");
  // Places an existing window in layout pixels.
  static void placeWindow(CEGUI::Window* window, float x, float y, float width, float height,
                          float referenceWidth = kLayoutWidth, float referenceHeight = kLayoutHeight);
  static void setFormatting(CEGUI::Window* window, HorzText horizontal, VertText vertical);
  // 0xAARRGGBB on all four corners.
  static void setTextColour(CEGUI::Window* window, std::uint32_t argb);
  // Shows `text` as written: markup parsing is switched off first.
  static void setText(CEGUI::Window* window, const CEGUI::String& text);
  // "Set/Image" on a static image.
  static void setImage(CEGUI::Window* window, const CEGUI::String& imageset, const CEGUI::String& image);
  // Visible, enabled, modal, always on top; hidden by the same steps
  // reversed in value, in the same order.
  static void showModal(CEGUI::Window* window);
  static void hideModal(CEGUI::Window* window);
};
