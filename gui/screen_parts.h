// Windows every menu screen builds alike.
#pragma once

#include <CEGUI/String.h>

namespace CEGUI {
class Window;
}

// The full-screen picture a screen is built on, named `name`, without
// frame or background.
CEGUI::Window* makeScreenRoot(const char* name);
// Destroys the screen's root with its children, if the GUI still has it.
void destroyScreenRoot(CEGUI::Window* root);
// The normal image also when disabled, the hover image also when pushed.
void setButtonImages(CEGUI::Window* button, const CEGUI::String& normal, const CEGUI::String& hover);
// An image button placed by its top-left corner, in front of its siblings.
CEGUI::Window* makeImageButton(float x, float y, float width, float height, float referenceWidth = 1024,
                               float referenceHeight = 768);
// The back button with its Quillfen images, in the 1024 x 768 layout.
CEGUI::Window* makeBackButton(float x, float y, float width, float height);
