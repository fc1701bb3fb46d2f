#include "gui/loading_window.h"

#include <CEGUI/CEGUI.h>

#include <cmath>

#include "foundation/profiler.h"
#include "gui/gui.h"
#include "gui/gui_helper.h"
#include "platform/graphics/d3d9.h"
#include "platform/gui/gui_renderer.h"

LoadingWindow* g_loadingWindow = nullptr;

namespace {
constexpr const char* kRootName = "LoadingWindow";
constexpr const char* kImageset = "LoadingScreen";
}  // namespace

LoadingWindow::LoadingWindow(Gui* gui) : m_gui(gui) { create(); }

LoadingWindow::~LoadingWindow() { destroy(); }

void LoadingWindow::create() {
  if (m_built) return;
  m_gui->loadImageset("LoadingScreen.imageset");
  m_root = GuiHelper::createWindow("StaticImage", 0, 0, 1, 1, 1, 1, kRootName);
  GuiHelper::setImage(m_root, kImageset, "Background");
  m_root->setProperty("FrameEnabled", "false");
  m_root->setProperty("BackgroundEnabled", "false");

  m_bar = GuiHelper::createWindow("StaticImage", kBarX, kBarY, 0, 0);
  GuiHelper::setImage(m_bar, kImageset, "Bar");
  m_bar->setProperty("FrameEnabled", "false");
  m_bar->setProperty("BackgroundEnabled", "false");
  m_root->addChild(m_bar);

  m_text = GuiHelper::createWindow("StaticText", 20, 20, 600, 30);
  GuiHelper::setText(m_text, "Loading...");
  m_text->setFont("VerdanaLarge");
  GuiHelper::setFormatting(m_text, HorzText::Left, VertText::Centred);
  GuiHelper::setTextColour(m_text, 0xFFFFFFFF);
  m_text->setVisible(false);
  m_root->addChild(m_text);

  m_gui->context().setRootWindow(m_root);
  m_built = true;
  m_shown = false;
}

void LoadingWindow::destroy() {
  if (!m_built) return;
  CEGUI::GUIContext& context = m_gui->context();
  if (context.getRootWindow() == m_root) context.setRootWindow(nullptr);
  if (m_gui->m_windowManager->isAlive(m_root)) m_gui->m_windowManager->destroyWindow(m_root);
  m_root = m_bar = m_text = nullptr;
  m_gui->unloadImageset(kImageset);
  m_built = false;
  m_shown = false;
}

void LoadingWindow::setRange(float min, float max) {
  m_min = min;
  m_max = max;
}

float LoadingWindow::barWidth(float value) const {
  return (value / (100.0f / (m_max - m_min)) + m_min) * (kBarFullWidth / 100.0f);
}

LoadingWindow::BarPixels LoadingWindow::barPixels() const {
  const CEGUI::Rectf r = m_bar->getUnclippedOuterRect().get();
  return {std::lround(r.left()), std::lround(r.top()), std::lround(r.right()), std::lround(r.bottom())};
}

bool LoadingWindow::shownAsItStands() const {
  return m_shown && m_gui->context().getRootWindow() == m_root && !m_gui->m_mouseCursor->isVisible() &&
         barPixels() == m_shownBar;
}

void LoadingWindow::setProgress(float value) {
  m_value = value;
  if (!m_built) return;
  GuiHelper::placeWindow(m_bar, kBarX, kBarY, barWidth(value), kBarHeight);
  // Most reports move the bar by less than a pixel, or not at all.
  if (!shownAsItStands()) draw();
}

void LoadingWindow::setText(const CEGUI::String& text) {
  if (!m_text || m_text->getText() == text) return;
  GuiHelper::setText(m_text, text);
  if (m_text->isEffectiveVisible()) m_shown = false;
}

void LoadingWindow::draw() {
  if (!m_built) return;
  m_gui->context().setRootWindow(m_root);
  m_gui->setMouseCursorVisible(false);
  IDirect3DDevice9* device = m_gui->m_renderer->device();
  if (device) {
    device->BeginScene();
    ProfileScope timed(GameCounter::kClear);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0, 0.0f, 0);
  }
  m_gui->render();
  if (device) {
    device->EndScene();
    ProfileScope timed(GameCounter::kPresent);
    device->Present(nullptr, nullptr, nullptr, nullptr);
  }
  m_shown = true;
  m_shownBar = barPixels();
}
