#include "gui/credits_screen.h"

#include <CEGUI/CEGUI.h>

#include <string>

#include "gui/gui.h"
#include "gui/menu/menu_widgets.h"
#include "gui/screen_host.h"

CreditsScreen::CreditsScreen(ScreenHost& host, Menu* menu) : GuiScreen(menu, &host.gui()), m_host(host) {
  m_root = menu_widgets::makeRoot(kName, "Credits");

  m_backButton =
      menu_widgets::makePictureButton(m_root, 15, 623, 135, 130, "Quillfen/BackButton", "Quillfen/BackButton",
                                      "Quillfen/BackButtonHover", kLayoutWidth, kLayoutHeight);
  m_backButton->setAlwaysOnTop(true);
  m_backButton->subscribeEvent(CEGUI::PushButton::EventClicked,
                               CEGUI::Event::Subscriber(&CreditsScreen::onBackClicked, this));

  std::string bytes;
  readWholeFile(host.files(), kFileName, bytes, kMaxFileBytes);
  loadCredits(bytes);
}

CreditsScreen::~CreditsScreen() { menu_widgets::destroyRoot(m_root); }

void CreditsScreen::loadCredits(std::string_view bytes) {
  CEGUI::String line;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const unsigned char byte = static_cast<unsigned char>(bytes[i]);
    if (byte != '\r') {
      line += static_cast<CEGUI::utf32>(byte);
      continue;
    }
    ++i;  // the line feed of CR LF, whatever it is
    const char* font = nullptr;
    if (!line.empty()) {
      switch (line[0]) {
        case '*':
          font = "VerdanaLargeItalic";
          break;
        case '!':
          font = "VerdanaMedium";
          break;
        case '#':
          font = "VerdanaSmallItalic";
          break;
        default:
          break;
      }
    }
    if (font)
      line.erase(0, 1);
    else
      font = "VerdanaMediumItalic";
    addLine(line, font);
    line.clear();
  }
}

void CreditsScreen::addLine(const CEGUI::String& text, const char* font) {
  const float y = kFirstLineY + kLineHeight * static_cast<float>(m_lines.size());
  CEGUI::Window* window = createWindow("StaticText", kLineX, y, kLineWidth, kLineHeight);
  setFormatting(window, HorzText::Centred, VertText::Centred);
  window->setProperty("FrameEnabled", "false");
  window->setProperty("BackgroundEnabled", "false");
  setText(window, text);
  window->setFont(font);
  setTextColour(window, 0xFFFFFFFF);
  CEGUI::Window* shadow = createWindow("StaticText", kLineX + 2, y + 2, kLineWidth, kLineHeight);
  setFormatting(shadow, HorzText::Centred, VertText::Centred);
  shadow->setProperty("FrameEnabled", "false");
  shadow->setProperty("BackgroundEnabled", "false");
  setText(shadow, text);
  shadow->setFont(font);
  setTextColour(shadow, 0xFF000000);
  // The shadow first, so that the text is drawn over it.
  m_root->addChild(shadow);
  m_root->addChild(window);
  m_lines.push_back({y, window, shadow});
}

void CreditsScreen::update() { update(m_host.frameDelta()); }

void CreditsScreen::update(float dt) {
  const float count = static_cast<float>(m_lines.size());
  for (CreditLine& line : m_lines) {
    line.m_y -= kSpeed * dt;
    float alpha = -1.0f;
    if (line.m_y < kTopWrap)
      line.m_y = kTopFadeEnd + kLineHeight * count;  // below the last line, one empty row between
    else if (line.m_y < kTopFadeEnd)
      alpha = 1.0f - (kTopFadeEnd - line.m_y) * (1.0f / kLineHeight);
    else if (line.m_y <= kBottomFadeStart)
      alpha = 1.0f;
    else if (line.m_y < kBottomFadeEnd)
      alpha = (kBottomFadeEnd - line.m_y) * (1.0f / kLineHeight);
    else
      alpha = 0.0f;
    if (alpha >= 0.0f) {
      line.m_shadow->setAlpha(alpha);
      line.m_text->setAlpha(alpha);
    }
    placeWindow(line.m_text, kLineX, line.m_y, kLineWidth, kLineHeight);
    placeWindow(line.m_shadow, kLineX + 2, line.m_y + 2, kLineWidth, kLineHeight);
  }
}

bool CreditsScreen::onBackClicked(const CEGUI::EventArgs&) {
  m_host.playClickSound();
  m_result = 1;
  return true;
}
