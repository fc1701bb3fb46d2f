// The window kinds every menu screen builds the same way: its full-screen
// root over a background picture, image buttons and labels.
#pragma once

#include <CEGUI/String.h>

#include <cstdint>

#include "gui/gui_helper.h"

namespace CEGUI {
class Window;
}

namespace menu_widgets {

// A full-screen "Quillfen/StaticImage" named `name` showing "Background" of
// `imageset`, frame and background off.
CEGUI::Window* makeRoot(const CEGUI::String& name, const CEGUI::String& imageset);
// Destroys the root with its tree while the window manager still has it.
void destroyRoot(CEGUI::Window* root);

// An image button added to `parent`; images name "Quillfen" pictures
// ("OKButton"); the hover picture also serves as the pushed one.
CEGUI::Window* makeImageButton(CEGUI::Window* parent, float x, float y, float width, float height, const char* normal,
                               const char* disabled, const char* hover);
// Left and right arrow buttons.
CEGUI::Window* makeArrow(CEGUI::Window* parent, float x, float y, bool right);
// A static text added to `parent`, white and centred both ways unless told.
CEGUI::Window* makeLabel(CEGUI::Window* parent, float x, float y, float width, float height,
                         const char* font = "VerdanaSmall", std::uint32_t argb = 0xFFFFFFFF,
                         HorzText horizontal = HorzText::Centred, VertText vertical = VertText::Centred);

}  // namespace menu_widgets
