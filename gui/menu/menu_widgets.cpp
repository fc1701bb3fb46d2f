#include "gui/menu/menu_widgets.h"

#include <CEGUI/CEGUI.h>

namespace menu_widgets {

CEGUI::Window* makeRoot(const CEGUI::String& name, const CEGUI::String& imageset, const CEGUI::String& image) {
  CEGUI::Window* root = GuiHelper::createWindow("StaticImage", 0, 0, GuiHelper::kLayoutWidth, GuiHelper::kLayoutHeight,
                                                GuiHelper::kLayoutWidth, GuiHelper::kLayoutHeight, name);
  root->setProperty("FrameEnabled", "false");
  root->setProperty("BackgroundEnabled", "false");
  GuiHelper::setImage(root, imageset, image);
  return root;
}

void destroyRoot(CEGUI::Window* root) {
  CEGUI::WindowManager& windows = CEGUI::WindowManager::getSingleton();
  if (root && windows.isAlive(root)) windows.destroyWindow(root);
}

CEGUI::Window* makeImageButton(CEGUI::Window* parent, float x, float y, float width, float height, const char* normal,
                               const char* disabled, const char* hover) {
  CEGUI::Window* button = GuiHelper::createWindow("ImageButton", x, y, width, height);
  button->setProperty("NormalImage", CEGUI::String("Quillfen/") + normal);
  button->setProperty("DisabledImage", CEGUI::String("Quillfen/") + disabled);
  button->setProperty("HoverImage", CEGUI::String("Quillfen/") + hover);
  button->setProperty("PushedImage", CEGUI::String("Quillfen/") + hover);
  button->setVisible(true);
  button->setEnabled(true);
  parent->addChild(button);
  return button;
}

CEGUI::Window* makePictureButton(CEGUI::Window* parent, float x, float y, float width, float height,
                                 const CEGUI::String& normal, const CEGUI::String& disabled, const CEGUI::String& hover,
                                 float referenceWidth, float referenceHeight) {
  CEGUI::Window* button = GuiHelper::createWindow("ImageButton", x, y, width, height, referenceWidth, referenceHeight);
  button->setProperty("NormalImage", normal);
  button->setProperty("DisabledImage", disabled);
  button->setProperty("HoverImage", hover);
  button->setProperty("PushedImage", hover);
  button->setHorizontalAlignment(CEGUI::HA_LEFT);
  button->setVerticalAlignment(CEGUI::VA_TOP);
  parent->addChild(button);
  return button;
}

CEGUI::Window* makeArrow(CEGUI::Window* parent, float x, float y, bool right) {
  CEGUI::Window* arrow =
      right ? makeImageButton(parent, x, y, 54, 51, "RightButton", "RightButtonDisabled", "RightButtonHover")
            : makeImageButton(parent, x, y, 54, 51, "LeftButton", "LeftButtonDisabled", "LeftButtonHover");
  arrow->setHorizontalAlignment(CEGUI::HA_LEFT);
  arrow->setVerticalAlignment(CEGUI::VA_TOP);
  return arrow;
}

CEGUI::Window* makeLabel(CEGUI::Window* parent, float x, float y, float width, float height, const char* font,
                         std::uint32_t argb, HorzText horizontal, VertText vertical) {
  CEGUI::Window* label = GuiHelper::createWindow("StaticText", x, y, width, height);
  GuiHelper::setFormatting(label, horizontal, vertical);
  label->setFont(font);
  label->setVisible(true);
  GuiHelper::setTextColour(label, argb);
  label->setProperty("FrameEnabled", "false");
  label->setProperty("BackgroundEnabled", "false");
  parent->addChild(label);
  return label;
}

}  // namespace menu_widgets
