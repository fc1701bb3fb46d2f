#include "gui/screen_widgets.h"

#include <CEGUI/CEGUI.h>

namespace screen_widgets {

CEGUI::Window* makeRoot(const CEGUI::String& name, const CEGUI::String& imageset) {
  CEGUI::Window* root = GuiHelper::createWindow("StaticImage", 0, 0, 1, 1, 1, 1, name);
  root->setProperty("FrameEnabled", "false");
  root->setProperty("BackgroundEnabled", "false");
  GuiHelper::setImage(root, imageset, "Background");
  return root;
}

void destroyRoot(CEGUI::Window* root) {
  CEGUI::WindowManager& manager = CEGUI::WindowManager::getSingleton();
  if (root && manager.isAlive(root)) manager.destroyWindow(root);
}

CEGUI::Window* makeImageButton(CEGUI::Window* parent, float x, float y, float width, float height, const char* normal,
                               const char* disabled, const char* hover) {
  CEGUI::Window* button = GuiHelper::createWindow("ImageButton", x, y, width, height);
  const CEGUI::String set = "Quillfen/";
  button->setProperty("NormalImage", set + normal);
  button->setProperty("DisabledImage", set + disabled);
  button->setProperty("HoverImage", set + hover);
  button->setProperty("PushedImage", set + hover);
  button->setVisible(true);
  button->setEnabled(true);
  if (parent) parent->addChild(button);
  return button;
}

CEGUI::Window* makeArrow(CEGUI::Window* parent, float x, float y, bool right) {
  return right ? makeImageButton(parent, x, y, 54, 51, "RightButton", "RightButtonDisabled", "RightButtonHover")
               : makeImageButton(parent, x, y, 54, 51, "LeftButton", "LeftButtonDisabled", "LeftButtonHover");
}

CEGUI::Window* makeLabel(CEGUI::Window* parent, float x, float y, float width, float height, const char* font,
                         std::uint32_t argb, HorzText horizontal, VertText vertical) {
  CEGUI::Window* label = GuiHelper::createWindow("StaticText", x, y, width, height);
  label->setProperty("FrameEnabled", "false");
  label->setProperty("BackgroundEnabled", "false");
  GuiHelper::setFormatting(label, horizontal, vertical);
  label->setFont(font);
  GuiHelper::setTextColour(label, argb);
  label->setVisible(true);
  parent->addChild(label);
  return label;
}

}  // namespace screen_widgets
