#include "gui/credits_screen.h"

#include <CEGUI/CEGUI.h>

#include <string>

#include "foundation/report.h"
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

namespace {

const char* fontOf(char marker) {
  switch (marker) {
    case '*':
      return "VerdanaLargeItalic";
    case '!':
      return "VerdanaMedium";
    case '#':
      return "VerdanaSmallItalic";
    default:
      return nullptr;
  }
}

}  // namespace

void CreditsScreen::loadCredits(std::string_view bytes) {
  m_lines.clear();
  m_freePairs = m_pairs;
  for (const WindowPair& pair : m_pairs) {
    pair.text->setVisible(false);
    pair.shadow->setVisible(false);
  }
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t end = bytes.find('\r', start);
    if (end == std::string_view::npos) break;  // a last line without its CR is not shown
    if (m_lines.size() == kMaxLines) {
      reportError("\"%s\": more than %zu lines; the rest is not shown", kFileName, kMaxLines);
      break;
    }
    std::string_view text = bytes.substr(start, end - start);
    start = end + 2;  // past the CR and the byte after it, whatever it is
    const char* font = text.empty() ? nullptr : fontOf(text[0]);
    if (font)
      text.remove_prefix(1);
    else
      font = "VerdanaMediumItalic";
    text = text.substr(0, kMaxLineLength);
    CreditLine line;
    line.m_y = kFirstLineY + kLineHeight * static_cast<float>(m_lines.size());
    line.m_shown = CEGUI::String(text.data(), text.size());  // each byte is its Latin-1 character
    line.m_font = font;
    m_lines.push_back(std::move(line));
  }
  for (CreditLine& line : m_lines)
    if (line.m_y < kWindowsEnd) attach(line, 1.0f);
}

void CreditsScreen::attach(CreditLine& line, float alpha) {
  WindowPair pair{};
  if (!m_freePairs.empty()) {
    pair = m_freePairs.back();
    m_freePairs.pop_back();
  } else {
    pair.text = createWindow("StaticText", kLineX, line.m_y, kLineWidth, kLineHeight);
    pair.shadow = createWindow("StaticText", kLineX + 2, line.m_y + 2, kLineWidth, kLineHeight);
    for (CEGUI::Window* window : {pair.text, pair.shadow}) {
      setFormatting(window, HorzText::Centred, VertText::Centred);
      window->setProperty("FrameEnabled", "false");
      window->setProperty("BackgroundEnabled", "false");
    }
    setTextColour(pair.text, 0xFFFFFFFF);
    setTextColour(pair.shadow, 0xFF000000);
    // The shadow first, so that the text is drawn over it.
    m_root->addChild(pair.shadow);
    m_root->addChild(pair.text);
    m_pairs.push_back(pair);
  }
  for (CEGUI::Window* window : {pair.shadow, pair.text}) {
    setText(window, line.m_shown);
    window->setFont(line.m_font);
    window->setAlpha(alpha);
    window->setVisible(true);
  }
  placeWindow(pair.text, kLineX, line.m_y, kLineWidth, kLineHeight);
  placeWindow(pair.shadow, kLineX + 2, line.m_y + 2, kLineWidth, kLineHeight);
  line.m_text = pair.text;
  line.m_shadow = pair.shadow;
}

void CreditsScreen::detach(CreditLine& line) {
  if (!line.m_text) return;
  line.m_text->setVisible(false);
  line.m_shadow->setVisible(false);
  m_freePairs.push_back({line.m_text, line.m_shadow});
  line.m_text = line.m_shadow = nullptr;
}

void CreditsScreen::update() { update(m_host.frameDelta()); }

namespace {

// Where a line goes in one step: up by the speed, or, when it has passed the
// top, below the last line with one empty row between (`wrapped`).
float stepped(float y, float dt, float lineCount, bool& wrapped) {
  y -= CreditsScreen::kSpeed * dt;
  wrapped = y < CreditsScreen::kTopWrap;
  return wrapped ? CreditsScreen::kTopFadeEnd + CreditsScreen::kLineHeight * lineCount : y;
}

}  // namespace

void CreditsScreen::update(float dt) {
  const float count = static_cast<float>(m_lines.size());
  bool wrapped = false;
  // Lines leaving the window band first, so that those entering it take
  // over their windows.
  for (CreditLine& line : m_lines)
    if (line.m_text && stepped(line.m_y, dt, count, wrapped) >= kWindowsEnd) detach(line);
  for (CreditLine& line : m_lines) {
    line.m_y = stepped(line.m_y, dt, count, wrapped);
    if (line.m_y >= kWindowsEnd) continue;
    if (!line.m_text) attach(line, 0.0f);  // below the fade-in band: not seen yet
    float alpha = -1.0f;                   // a line that wrapped keeps the alpha it had
    if (!wrapped) {
      if (line.m_y < kTopFadeEnd)
        alpha = 1.0f - (kTopFadeEnd - line.m_y) * (1.0f / kLineHeight);
      else if (line.m_y <= kBottomFadeStart)
        alpha = 1.0f;
      else if (line.m_y < kBottomFadeEnd)
        alpha = (kBottomFadeEnd - line.m_y) * (1.0f / kLineHeight);
      else
        alpha = 0.0f;
    }
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
  m_result = kResultBack;
  return true;
}
