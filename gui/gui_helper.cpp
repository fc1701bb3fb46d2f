#include "gui/gui_helper.h"

#include <CEGUI/WindowManager.h>
#include <CEGUI/widgets/DefaultWindow.h>

#include <cmath>
#include <cstdint>
#include <cstdio>

CEGUI::UVector2& GuiHelper::layoutToRelative(CEGUI::UVector2& out, const CEGUI::Vector2f& point, float referenceWidth,
                                             float referenceHeight) {
  const float x = referenceWidth != 0.0f ? point.d_x / referenceWidth : 0.0f;
  const float y = referenceHeight != 0.0f ? point.d_y / referenceHeight : 0.0f;
  out = CEGUI::UVector2(CEGUI::UDim(x, 0.0f), CEGUI::UDim(y, 0.0f));
  return out;
}

CEGUI::String& GuiHelper::formatTime(float seconds, CEGUI::String& out) {
  if (!std::isfinite(seconds) || seconds <= 0.0f || seconds >= 3600000.0f) {
    out = "--:--:--";
    return out;
  }
  // 64 bits: milliseconds pass 2^31 from 2,147,484 s on.
  const std::int64_t ms = static_cast<std::int64_t>(static_cast<double>(seconds) * 1000.0);
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", static_cast<int>(ms / 60000 % 60),
                static_cast<int>(ms / 1000 % 60), static_cast<int>(ms / 10 % 100));
  out = text;
  return out;
}

CEGUI::Window* GuiHelper::createWindow(const char* kind, float x, float y, float width, float height,
                                       float referenceWidth, float referenceHeight, const CEGUI::String& name) {
  CEGUI::Window* window = CEGUI::WindowManager::getSingleton().createWindow(CEGUI::String("Quillfen/") + kind, name);
  window->setTextParsingEnabled(false);
  placeWindow(window, x, y, width, height, referenceWidth, referenceHeight);
  return window;
}

void GuiHelper::placeWindow(CEGUI::Window* window, float x, float y, float width, float height, float referenceWidth,
                            float referenceHeight) {
  CEGUI::UVector2 position, size;
  layoutToRelative(position, CEGUI::Vector2f(x, y), referenceWidth, referenceHeight);
  layoutToRelative(size, CEGUI::Vector2f(width, height), referenceWidth, referenceHeight);
  window->setPosition(position);
  window->setSize(CEGUI::USize(size.d_x, size.d_y));
}

void GuiHelper::setFormatting(CEGUI::Window* window, HorzText horizontal, VertText vertical) {
  static const char* const kHorizontal[] = {
      "LeftAligned",         "RightAligned",          "CentreAligned",        "Justified",
      "WordWrapLeftAligned", "WordWrapCentreAligned", "WordWrapRightAligned", "WordWrapJustified"};
  static const char* const kVertical[] = {"TopAligned", "CentreAligned", "BottomAligned"};
  window->setProperty("HorzFormatting", kHorizontal[static_cast<int>(horizontal)]);
  window->setProperty("VertFormatting", kVertical[static_cast<int>(vertical)]);
}

void GuiHelper::setTextColour(CEGUI::Window* window, std::uint32_t argb) {
  char value[64];
  std::snprintf(value, sizeof value, "tl:%08X tr:%08X bl:%08X br:%08X", argb, argb, argb, argb);
  window->setProperty("TextColours", value);
}

void GuiHelper::setText(CEGUI::Window* window, const CEGUI::String& text) {
  // Each write has the window drawn again, even of the same text.
  if (window->isTextParsingEnabled()) window->setTextParsingEnabled(false);
  if (window->getText() != text) window->setText(text);
}

void GuiHelper::setImage(CEGUI::Window* window, const CEGUI::String& imageset, const CEGUI::String& image) {
  window->setProperty("Image", imageset + "/" + image);
}

void GuiHelper::showModal(CEGUI::Window* window) {
  window->setVisible(true);
  window->setEnabled(true);
  window->setModalState(true);
  window->setAlwaysOnTop(true);
}

void GuiHelper::hideModal(CEGUI::Window* window) {
  window->setVisible(false);
  window->setEnabled(false);
  window->setModalState(false);
  window->setAlwaysOnTop(false);
}
