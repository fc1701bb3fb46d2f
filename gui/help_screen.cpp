#include "gui/help_screen.h"

#include <CEGUI/CEGUI.h>

#include "gui/gui.h"
#include "gui/menu/menu_widgets.h"
#include "gui/screen_host.h"
#include "gui/text_table.h"
#include "input/input_device.h"

namespace {
constexpr int kKeyUp = 200, kKeyPageUp = 201, kKeyDown = 208, kKeyPageDown = 209;
constexpr float kColumnPitch = 253.3f;
}  // namespace

const HelpScreen::Extra HelpScreen::kExtraList[kExtras] = {
    {"Extra_Shield", 5010, 5011},  {"Extra_Turbo", 5020, 5021},  {"Extra_Weight", 5040, 5041},
    {"Extra_Froster", 5050, 5051}, {"Extra_Flash", 5060, 5061},  {"Extra_Mine", 5070, 5071},
    {"Extra_Soap", 6000, 6001},    {"Extra_Magnet", 5030, 5031}, {"Extra_Shrinker", 6020, 6021},
    {"Extra_Rocket2", 5090, 5091},
};

HelpScreen::HelpScreen(ScreenHost& host, Menu* menu) : GuiScreen(menu, &host.gui()), m_host(host) {
  m_root = menu_widgets::makeRoot(kName, "HelpScreen");

  m_backButton =
      menu_widgets::makePictureButton(m_root, 28, 605, 135, 135, "Quillfen/BackButton", "Quillfen/BackButton",
                                      "Quillfen/BackButtonHover", kLayoutWidth, kLayoutHeight);
  m_backButton->setAlwaysOnTop(true);
  m_backButton->subscribeEvent(CEGUI::PushButton::EventClicked,
                               CEGUI::Event::Subscriber(&HelpScreen::onBackClicked, this));

  m_scrollPane = static_cast<CEGUI::ScrollablePane*>(createWindow("ScrollablePane", 200, 40, kPaneWidth, kPaneHeight));
  m_scrollPane->setShowHorzScrollbar(false);
  m_scrollPane->setShowVertScrollbar(true);
  m_scrollPane->setMouseAutoRepeatEnabled(true);
  m_scrollPane->setVerticalStepSize(0.5f);
  // The bars lie beside the pane's viewable area, which clips its client
  // children: only as non-client children are they drawn and clicked.
  m_scrollPane->getVertScrollbar()->setNonClient(true);
  m_scrollPane->getHorzScrollbar()->setNonClient(true);
  // Scrolling only moves the content, which CEGUI does not count as a
  // change of the picture; the GUI's layer is drawn again when it is told.
  m_scrollPane->subscribeEvent(CEGUI::ScrollablePane::EventContentPaneScrolled, [this](const CEGUI::EventArgs&) {
    m_scrollPane->getGUIContext().markAsDirty();
    return false;
  });
  m_root->addChild(m_scrollPane);

  m_title = addText(20, 20, 760, 40, "VerdanaLarge", HorzText::Centred);
  m_subtitle = addText(20, 80, 760, 40, "VerdanaMedium", HorzText::Centred);
  m_intro = addText(20, 120, 730, 100, "VerdanaSmallItalic", HorzText::WordWrapJustified);
  for (int c = 0; c < kColumns; ++c) {
    const float x = 20 + kColumnPitch * static_cast<float>(c);
    m_columnHeaders[c] = addText(x, 230, 240, 30, "VerdanaMediumItalic", HorzText::Centred);
    for (int r = 0; r < kRows; ++r)
      m_cells[kRows * c + r] =
          addText(x, 260 + 25 * static_cast<float>(r), 240, 30, "VerdanaSmallItalic", HorzText::Centred);
  }
  m_extrasTitle = addText(20, 460, 760, 40, "VerdanaMedium", HorzText::Centred);
  m_extrasIntro = addText(20, 500, 730, 150, "VerdanaSmallItalic", HorzText::WordWrapJustified);
  for (int k = 0; k < kExtras; ++k) {
    const float y = 660 + 130 * static_cast<float>(k);
    m_extraImages[k] = createWindow("StaticImage", 0, 0, 0, 0);
    m_scrollPane->addChild(m_extraImages[k]);
    m_placed.push_back({m_extraImages[k], 20, y, 120, 120});
    m_extraNames[k] = addText(160, y, 600, 30, "VerdanaMediumItalic", HorzText::Left);
    m_extraTexts[k] = addText(160, y + 30, 600, 80, "VerdanaSmallItalic", HorzText::WordWrapLeft);
  }
  for (int k = 0; k < kExtras; ++k) setImage(m_extraImages[k], "Extras", kExtraList[k].image);

  // The wheel scrolls the page wherever the mouse is over it: the page's
  // windows let the mouse through and the content passes it on to the pane.
  for (const Placed& p : m_placed) p.window->setMousePassThroughEnabled(true);
  const_cast<CEGUI::ScrolledContainer*>(m_scrollPane->getContentPane())->setMouseInputPropagationEnabled(true);

  m_scrollPane->subscribeEvent(CEGUI::Window::EventSized, [this](const CEGUI::EventArgs&) {
    layoutPane();
    return false;
  });
  layoutPane();
}

HelpScreen::~HelpScreen() { menu_widgets::destroyRoot(m_root); }

CEGUI::Window* HelpScreen::addText(float x, float y, float width, float height, const char* font, HorzText formatting) {
  CEGUI::Window* text = createWindow("StaticText", 0, 0, 0, 0);
  setFormatting(text, formatting, VertText::Top);
  setTextColour(text, 0xFF000000);
  text->setFont(font);
  text->setVisible(true);
  m_scrollPane->addChild(text);
  m_placed.push_back({text, x, y, width, height});
  return text;
}

void HelpScreen::layoutPane() {
  // The pane holds its children in a container sized by their extent, so
  // relative sizes would refer to the content; they are made absolute from
  // the pane's own size instead.
  const CEGUI::Sizef pane = m_scrollPane->getPixelSize();
  const float sx = pane.d_width / kPaneWidth, sy = pane.d_height / kPaneHeight;
  for (const Placed& p : m_placed) {
    p.window->setPosition(CEGUI::UVector2(CEGUI::UDim(0, p.x * sx), CEGUI::UDim(0, p.y * sy)));
    p.window->setSize(CEGUI::USize(CEGUI::UDim(0, p.width * sx), CEGUI::UDim(0, p.height * sy)));
  }
}

void HelpScreen::activate() {
  m_scrollPosition = m_scrollPane->getVerticalScrollPosition();
  const TextTable& texts = m_host.texts();
  setText(m_title, texts.getText(3999));
  setText(m_subtitle, texts.getText(4000));
  setText(m_intro, texts.getText(4001));
  for (int c = 0; c < kColumns; ++c) {
    setText(m_columnHeaders[c], texts.getText(4010 + c));
    for (int r = 0; r < kRows; ++r) setText(m_cells[kRows * c + r], texts.getText(4013 + c + 3 * r));
  }
  setText(m_extrasTitle, texts.getText(5000));
  setText(m_extrasIntro, texts.getText(5001));
  for (int k = 0; k < kExtras; ++k) setText(m_extraNames[k], texts.getText(kExtraList[k].nameText));
  for (int k = 0; k < kExtras; ++k) setText(m_extraTexts[k], texts.getText(kExtraList[k].descriptionText));
  GuiScreen::activate();
}

void HelpScreen::scrollTo(float position) {
  if (position < 0.0f)
    position = 0.0f;
  else if (position > 1.0f)
    position = 1.0f;
  m_scrollPosition = position;
  m_scrollPane->setVerticalScrollPosition(position);
}

void HelpScreen::scrollUp() { scrollTo(m_scrollPane->getVerticalScrollPosition() - kKeyStep); }

void HelpScreen::scrollDown() { scrollTo(m_scrollPane->getVerticalScrollPosition() + kKeyStep); }

void HelpScreen::handleKeys(InputDevice& input) {
  if (input.wasKeyPressed(kKeyUp) || input.wasKeyPressed(kKeyPageUp)) scrollUp();
  if (input.wasKeyPressed(kKeyDown) || input.wasKeyPressed(kKeyPageDown)) scrollDown();
}

bool HelpScreen::onBackClicked(const CEGUI::EventArgs&) {
  m_host.playClickSound();
  m_result = kResultBack;
  return true;
}
