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

// A full-screen "Quillfen/StaticImage" named `name` showing `image` of
// `imageset`, frame and background off.
CEGUI::Window* makeRoot(const CEGUI::String& name, const CEGUI::String& imageset,
                        const CEGUI::String& image = "Background");
// Destroys the root with its tree while the window manager still has it.
void destroyRoot(CEGUI::Window* root);

// An image button added to `parent`; images name "Quillfen" pictures
// ("OKButton"); the hover picture also serves as the pushed one.
CEGUI::Window* makeImageButton(CEGUI::Window* parent, float x, float y, float width, float height, const char* normal,
                               const char* disabled, const char* hover);
// The same with full image names ("Flags/FlagDE_Normal") in pixels of a
// reference layout, placed by its top-left corner.
CEGUI::Window* makePictureButton(CEGUI::Window* parent, float x, float y, float width, float height,
                                 const CEGUI::String& normal, const CEGUI::String& disabled, const CEGUI::String& hover,
                                 float referenceWidth, float referenceHeight);
// Left and right arrow buttons.
CEGUI::Window* makeArrow(CEGUI::Window* parent, float x, float y, bool right);
// A static text added to `parent`, white and centred both ways unless told.
CEGUI::Window* makeLabel(CEGUI::Window* parent, float x, float y, float width, float height,
                         const char* font = "VerdanaSmall", std::uint32_t argb = 0xFFFFFFFF,
                         HorzText horizontal = HorzText::Centred, VertText vertical = VertText::Centred);

}  // namespace menu_widgets
