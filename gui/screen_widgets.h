// The window kinds the highscores and options screens build alike: the
// full-screen root over a background, image buttons and static texts.
#pragma once

#include <CEGUI/String.h>

#include <cstdint>

#include "gui/gui_helper.h"

namespace CEGUI {
class Window;
}

namespace screen_widgets {

// A full-screen "Quillfen/StaticImage" named `name` showing "Background" of
// `imageset`, frame and background off.
CEGUI::Window* makeRoot(const CEGUI::String& name, const CEGUI::String& imageset);
// Destroys the root with its tree while the window manager still has it.
void destroyRoot(CEGUI::Window* root);
// An image button on "Quillfen" pictures, the hover picture also the pushed
// one; added to `parent` unless it is null.
CEGUI::Window* makeImageButton(CEGUI::Window* parent, float x, float y, float width, float height, const char* normal,
                               const char* disabled, const char* hover);
CEGUI::Window* makeArrow(CEGUI::Window* parent, float x, float y, bool right);
CEGUI::Window* makeLabel(CEGUI::Window* parent, float x, float y, float width, float height, const char* font,
                         std::uint32_t argb, HorzText horizontal, VertText vertical);

}  // namespace screen_widgets
