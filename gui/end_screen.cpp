#include "gui/end_screen.h"

#include <CEGUI/CEGUI.h>

#include <string>

#include "foundation/report.h"
#include "game/saves/config.h"
#include "gui/exit_link.h"
#include "gui/gui.h"
#include "gui/menu/menu_widgets.h"
#include "gui/screen_host.h"
#include "input/input_device.h"

namespace {
constexpr int kKeyEscape = 1, kKeySpace = 57;

CEGUI::String imageName(const std::string& imageset, const std::string& image) {
  const CEGUI::String name = CEGUI::String(imageset.c_str()) + "/" + image.c_str();
  if (!CEGUI::ImageManager::getSingleton().isDefined(name)) throw CEGUI::UnknownObjectException("no image " + name);
  return name;
}
}  // namespace

EndScreen::EndScreen(ScreenHost& host, Menu* menu) : GuiScreen(menu, &host.gui()), m_host(host) {
  m_root = createWindow("StaticImage", 0, 0, 1, 1, 1, 1, kName);  // its picture comes at activation
  m_root->setProperty("FrameEnabled", "false");
  m_root->setProperty("BackgroundEnabled", "false");
  m_root->subscribeEvent(CEGUI::Window::EventMouseClick,
                         CEGUI::Event::Subscriber(&EndScreen::onBackgroundClicked, this));
  std::string xml;
  if (readWholeFile(host.files(), kFileName, xml, kMaxFileBytes)) readBranding(xml, m_screens);
}

EndScreen::~EndScreen() { menu_widgets::destroyRoot(m_root); }

const BrandingScreen* EndScreen::current() const {
  const int language = m_host.config().m_language;
  return language >= 0 && language < kBrandingLanguages ? &m_screens[language] : nullptr;
}

bool EndScreen::shouldShow() const {
  const BrandingScreen* screen = current();
  return screen && screen->m_show;
}

void EndScreen::activate() {
  // Current from the first frame: the sheet and no stale result.
  GuiScreen::activate();
  destroyButtons();
  m_root->setVisible(true);
  try {
    const BrandingScreen* screen = current();
    if (!screen) throw CEGUI::InvalidRequestException("no exit screen for this language");
    build(*screen);
  } catch (const CEGUI::Exception& e) {
    reportError("The exit screen cannot be shown: %s", e.getMessage().c_str());
    destroyButtons();
    m_root->setVisible(false);
    m_result = kResultBack;
  }
}

void EndScreen::build(const BrandingScreen& screen) {
  m_gui->loadImageset(CEGUI::String(screen.m_imageset.c_str()) + ".imageset");
  m_root->setProperty("Image", imageName(screen.m_imageset, "Background"));
  for (int i = 0; i < screen.m_buttonCount; ++i) {
    const BrandingButton& b = screen.m_buttonList[i];
    m_gui->loadImageset(CEGUI::String(b.m_imageset.c_str()) + ".imageset");
    const CEGUI::String normal = imageName(b.m_imageset, b.m_normalImage);
    const CEGUI::String hover = imageName(b.m_imageset, b.m_hoverImage);
    CEGUI::Window* button = menu_widgets::makePictureButton(
        m_root, static_cast<float>(b.m_x), static_cast<float>(b.m_y), static_cast<float>(b.m_width),
        static_cast<float>(b.m_height), normal, normal, hover, kLayoutWidth, kLayoutHeight);
    m_buttons[i] = button;
    button->setAlwaysOnTop(true);
    button->subscribeEvent(CEGUI::PushButton::EventClicked,
                           [this, i](const CEGUI::EventArgs&) { return onButtonClicked(i); });
  }
}

void EndScreen::destroyButtons() {
  CEGUI::WindowManager& manager = CEGUI::WindowManager::getSingleton();
  for (CEGUI::Window*& button : m_buttons) {
    if (button && manager.isAlive(button)) manager.destroyWindow(button);
    button = nullptr;
  }
}

void EndScreen::deactivate() {
  GuiScreen::deactivate();
  const BrandingScreen* screen = current();
  if (!screen) return;
  m_gui->unloadImageset(screen->m_imageset.c_str());
  for (int i = 0; i < screen->m_buttonCount; ++i) m_gui->unloadImageset(screen->m_buttonList[i].m_imageset.c_str());
}

bool EndScreen::handleKeys(InputDevice& input) {
  return input.wasKeyPressed(kKeyEscape) || input.wasKeyPressed(kKeySpace);
}

bool EndScreen::onBackgroundClicked(const CEGUI::EventArgs&) {
  m_host.playClickSound();
  m_result = kResultOk;
  return true;
}

bool EndScreen::onButtonClicked(int index) {
  const BrandingScreen* screen = current();
  if (screen && index < screen->m_buttonCount) g_exitLink = screen->m_buttonList[index].m_url;
  m_host.playClickSound();
  m_result = kResultOk;
  return true;
}
