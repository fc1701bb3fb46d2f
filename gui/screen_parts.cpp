#include "gui/screen_parts.h"

#include <CEGUI/CEGUI.h>

#include "gui/gui_helper.h"

CEGUI::Window* makeScreenRoot(const char* name) {
  CEGUI::Window* root = GuiHelper::createWindow("StaticImage", 0, 0, 1, 1, 1, 1, name);
  root->setProperty("FrameEnabled", "false");
  root->setProperty("BackgroundEnabled", "false");
  return root;
}

void destroyScreenRoot(CEGUI::Window* root) {
  CEGUI::WindowManager& manager = CEGUI::WindowManager::getSingleton();
  if (root && manager.isAlive(root)) manager.destroyWindow(root);
}

void setButtonImages(CEGUI::Window* button, const CEGUI::String& normal, const CEGUI::String& hover) {
  button->setProperty("NormalImage", normal);
  button->setProperty("DisabledImage", normal);
  button->setProperty("HoverImage", hover);
  button->setProperty("PushedImage", hover);
}

CEGUI::Window* makeImageButton(float x, float y, float width, float height, float referenceWidth,
                               float referenceHeight) {
  CEGUI::Window* button = GuiHelper::createWindow("ImageButton", x, y, width, height, referenceWidth, referenceHeight);
  button->setHorizontalAlignment(CEGUI::HA_LEFT);
  button->setVerticalAlignment(CEGUI::VA_TOP);
  return button;
}

CEGUI::Window* makeBackButton(float x, float y, float width, float height) {
  CEGUI::Window* button = makeImageButton(x, y, width, height);
  setButtonImages(button, "Quillfen/BackButton", "Quillfen/BackButtonHover");
  button->setAlwaysOnTop(true);
  return button;
}
