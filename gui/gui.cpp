#include "gui/gui.h"

#include <CEGUI/CEGUI.h>

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <string>

#include "foundation/archive_file.h"
#include "foundation/file.h"
#include "foundation/report.h"
#include "gui/gui_helper.h"
#include "gui/ingame/onscreen_displays.h"
#include "gui/ingame/race_binding.h"
#include "gui/loading_window.h"
#include "gui/picture_codec.h"
#include "gui/utf8_text.h"
#include "input/input_device.h"
#include "platform/gui/gui_renderer.h"
#include "platform/input/keyboard_layout.h"
#include "platform/window/window.h"
#include "render/render_pipeline.h"

const char* const Gui::kFontNames[kFontCount] = {"VerdanaSmall",        "VerdanaSmallItalic", "VerdanaMedium",
                                                 "VerdanaMediumItalic", "VerdanaLarge",       "VerdanaLargeItalic"};

namespace {

// A GUI file larger than this is refused rather than allocated.
constexpr int kMaxGuiFileBytes = 64 * 1024 * 1024;

// CEGUI's messages go to the engine's log; errors also reach the caller as
// exceptions, so nothing is reported twice.
class GuiLogger final : public CEGUI::Logger {
 public:
  void logEvent(const CEGUI::String& message, CEGUI::LoggingLevel level) override {
    if (level <= getLoggingLevel() && level <= CEGUI::Warnings)
      g_log.line((std::string("CEGUI: ") + message.c_str()).c_str());
  }
  void setLogFilename(const CEGUI::String&, bool) override {}
};

bool globMatch(const char* pattern, const char* text) {
  if (*pattern == '\0') return *text == '\0';
  if (*pattern == '*') return globMatch(pattern + 1, text) || (*text && globMatch(pattern, text + 1));
  if (*text == '\0') return false;
  if (*pattern != '?' &&
      std::tolower(static_cast<unsigned char>(*pattern)) != std::tolower(static_cast<unsigned char>(*text)))
    return false;
  return globMatch(pattern + 1, text + 1);
}

// Editing and navigation keys: key-downs only, no character.
constexpr int kEditingKeys[] = {14, 28, 15, 200, 208, 203, 205, 211, 199, 207, 201, 209};
// Keypad 0..9 by digit.
constexpr int kKeypadDigits[] = {82, 79, 80, 81, 75, 76, 77, 71, 72, 73};
constexpr int kLeftShift = 42, kRightShift = 54;

}  // namespace

// ---- GuiResourceProvider ----------------------------------------------------

GuiResourceProvider::GuiResourceProvider(const File& files) : m_file(files.cloneUnique()) {}

GuiResourceProvider::~GuiResourceProvider() = default;

void GuiResourceProvider::loadRawDataContainer(const CEGUI::String& filename, CEGUI::RawDataContainer& output,
                                               const CEGUI::String&) {
  const std::string path = std::string(kFolder) + filename.c_str();
  const CEGUI::String failure = CEGUI::String("GuiResourceProvider::loadRawDataContainer - Couldn't open ") +
                                CEGUI::String(reinterpret_cast<const CEGUI::utf8*>(path.c_str()));
  if (!m_file->exists(path.c_str()) || !m_file->open(path.c_str())) throw CEGUI::InvalidRequestException(failure);
  const int size = m_file->size();
  if (size < 0 || size > kMaxGuiFileBytes) {
    m_file->close();
    throw CEGUI::InvalidRequestException(failure);
  }
  std::unique_ptr<CEGUI::uint8[]> buffer(new CEGUI::uint8[size > 0 ? static_cast<std::size_t>(size) : 1]);
  const int got = size > 0 ? m_file->read(buffer.get(), size) : 0;
  m_file->close();
  if (got != size) throw CEGUI::InvalidRequestException(failure);  // short reads fail like missing files
  output.setData(buffer.release());
  output.setSize(static_cast<std::size_t>(size));
}

void GuiResourceProvider::unloadRawDataContainer(CEGUI::RawDataContainer& data) {
  if (!data.getDataPtr()) return;
  delete[] data.getDataPtr();
  data.setData(nullptr);
  data.setSize(0);
}

std::size_t GuiResourceProvider::getResourceGroupFileNames(std::vector<CEGUI::String>& out,
                                                           const CEGUI::String& pattern, const CEGUI::String&) {
  std::size_t found = 0;
  const std::string wanted = pattern.c_str();
  const std::size_t folderLength = std::strlen(kFolder);
  if (const auto* archive = dynamic_cast<const ArchiveFile*>(m_file.get())) {
    for (int i = 0; i < archive->entryCount(); ++i) {
      const std::string& name = archive->entryName(i);
      if (name.size() <= folderLength || strncasecmp(name.c_str(), kFolder, folderLength) != 0) continue;
      const char* rest = name.c_str() + folderLength;
      if (std::strchr(rest, '\\') || !globMatch(wanted.c_str(), rest)) continue;
      out.push_back(CEGUI::String(reinterpret_cast<const CEGUI::utf8*>(rest)));
      ++found;
    }
  } else if (wanted.find_first_of("*?") == std::string::npos && m_file->exists((kFolder + wanted).c_str())) {
    out.push_back(pattern);
    ++found;
  }
  return found;
}

// ---- Gui --------------------------------------------------------------------

Gui::Gui(RenderPipeline* pipeline, InputDevice* input, File& files)
    : Gui(pipeline, input, files, GuiRenderer::createOnDevice(pipeline ? pipeline->currentDevice : nullptr)) {}

Gui::Gui(RenderPipeline* pipeline, InputDevice* input, File& files, std::unique_ptr<GuiRenderer> renderer)
    : m_pipeline(pipeline), m_input(input), m_renderer(std::move(renderer)) {
  if (!m_renderer) throw RendererException("Gui: no GUI renderer on this device");
  try {
    start(files);
  } catch (...) {
    if (m_system) CEGUI::System::destroy();
    m_system = nullptr;
    throw;
  }
}

void Gui::start(File& files) {
  m_resourceProvider = std::make_unique<GuiResourceProvider>(files);
  if (!CEGUI::Logger::getSingletonPtr()) m_logger = std::make_unique<GuiLogger>();
  m_pictureCodec = std::make_unique<GuiPictureCodec>();
  m_system = &CEGUI::System::create(m_renderer->renderer(), m_resourceProvider.get(), nullptr, m_pictureCodec.get(),
                                    nullptr, "", "");
  m_windowManager = CEGUI::WindowManager::getSingletonPtr();
  m_imageManager = CEGUI::ImageManager::getSingletonPtr();
  CEGUI::SchemeManager::getSingleton().createFromFile("Quillfen.scheme");
  // Glyphs are made on demand; anti-aliasing is set in each .font file.
  for (const char* font : kFontNames) CEGUI::FontManager::getSingleton().createFromFile(CEGUI::String(font) + ".font");
  refuseOversizedFonts();
  context().setDefaultFont(kFontNames[0]);
  m_mouseCursor = &context().getMouseCursor();
  m_mouseCursor->setDefaultImage("Quillfen/MouseArrow");
}

// A font's glyphs are drawn into pictures the first time they are shown,
// at the font's size: a .font of 5000 points takes gigabytes on the first
// text. Fonts are made without drawing a glyph, so every font (those the
// scheme brought in too) is measured before anything is drawn.
void Gui::refuseOversizedFonts() {
  for (auto it = CEGUI::FontManager::getSingleton().getIterator(); !it.isAtEnd(); ++it) {
    const CEGUI::Font* font = it.getCurrentValue();
    // Pixmap fonts draw from an imageset, whose picture is checked itself.
    if (!font->isPropertyPresent("PointSize")) continue;
    // Scaled fonts grow with the display: measured at the layout's size.
    float scale = 1.0f;
    const CEGUI::Sizef native = font->getNativeResolution();
    const float horizontal = native.d_width > 0.0f ? GuiHelper::kLayoutWidth / native.d_width : HUGE_VALF;
    const float vertical = native.d_height > 0.0f ? GuiHelper::kLayoutHeight / native.d_height : HUGE_VALF;
    switch (font->getAutoScaled()) {
      case CEGUI::ASM_Disabled:
        break;
      case CEGUI::ASM_Vertical:
        scale = vertical;
        break;
      case CEGUI::ASM_Horizontal:
        scale = horizontal;
        break;
      case CEGUI::ASM_Min:
        scale = std::min(horizontal, vertical);
        break;
      default:
        scale = std::max(horizontal, vertical);
        break;
    }
    const float points = CEGUI::PropertyHelper<float>::fromString(font->getProperty("PointSize")) * scale;
    if (points <= kMaxFontPoints) continue;  // NaN is refused too
    const std::string name = font->getName().c_str();
    reportError("GUI font \"%s\" of %g points refused: fonts may have at most %g points", name.c_str(),
                static_cast<double>(points), static_cast<double>(kMaxFontPoints));
    throw CEGUI::InvalidRequestException("Gui: font \"" + font->getName() + "\" has more than 100 points");
  }
}

Gui::~Gui() {
  if (m_system) CEGUI::System::destroy();
  m_pictureCodec.reset();
  m_renderer.reset();
  m_resourceProvider.reset();
  m_logger.reset();
}

CEGUI::GUIContext& Gui::context() { return m_system->getDefaultGUIContext(); }

void Gui::setMouseCursorVisible(bool visible) { m_mouseCursor->setVisible(visible); }

void Gui::injectMouse() {
  if (!m_input) return;
  CEGUI::GUIContext& gui = context();
  gui.injectMousePosition(static_cast<float>(m_input->m_mousePos[0]), static_cast<float>(m_input->m_mousePos[1]));
  gui.injectMouseWheelChange(static_cast<float>(m_input->m_mouseDelta[2]));
  // Either button clicks the GUI's left button.
  bool* remembered[2] = {&m_leftDown, &m_rightDown};
  for (int b = 0; b < 2; ++b) {
    const bool down = m_input->m_mouseButton[b] != 0;
    if (down && !*remembered[b]) gui.injectMouseButtonDown(CEGUI::LeftButton);
    if (!down && *remembered[b]) gui.injectMouseButtonUp(CEGUI::LeftButton);
    *remembered[b] = down;
  }
}

void Gui::injectKeyboard() {
  if (!m_input) return;
  std::uint8_t* key = m_input->m_key;
  CEGUI::GUIContext& gui = context();
  const bool shift = key[kLeftShift] || key[kRightShift];
  for (int code : kEditingKeys) {
    if (!key[code]) continue;
    key[code] = 0;
    gui.injectKeyDown(static_cast<CEGUI::Key::Scan>(code));
  }
  if (!shift) {
    for (int digit = 0; digit < 10; ++digit) {
      const int code = kKeypadDigits[digit];
      if (!key[code]) continue;
      key[code] = 0;
      gui.injectChar(static_cast<CEGUI::utf32>('0' + digit));
    }
  }
  static HKL layout = nullptr;
  BYTE state[256];
  for (int code = 0; code < 256; ++code) {
    if (!key[code]) continue;
    key[code] = 0;
    if (!layout) layout = GetKeyboardLayout(0);
    if (!GetKeyboardState(state)) continue;
    const UINT virtualKey = MapVirtualKeyExA(static_cast<UINT>(code), MAPVK_VSC_TO_VK, layout);
    WORD character = 0;
    // The layout's code page is Latin-1, whose bytes are the code points.
    if (ToAsciiEx(virtualKey, static_cast<UINT>(code), state, &character, 0, layout) > 0)
      gui.injectChar(static_cast<CEGUI::utf32>(character & 0xFF));
  }
}

void Gui::injectTimePulse(float gameTime) {
  float elapsed = 0.0f;
  if (m_havePulse && gameTime > m_lastPulse) elapsed = gameTime - m_lastPulse;
  m_havePulse = true;
  m_lastPulse = gameTime;
  m_system->injectTimePulse(elapsed);
  context().injectTimePulse(elapsed);
}

void Gui::setDisplaySize(float width, float height) {
  m_renderer->setDisplaySize(width, height);
  m_system->notifyDisplaySizeChanged(CEGUI::Sizef(width, height));
}

void Gui::render() { m_renderer->render(); }

void Gui::loadImageset(const CEGUI::String& fileName) {
  try {
    m_imageManager->loadImageset(fileName);
  } catch (const CEGUI::AlreadyExistsException&) {
    // Loaded before: its texture is named after it and is refused first.
  }
}

void Gui::decodePicturesAhead(std::vector<std::string> imagesetFiles) {
  m_pictureCodec->decodeAhead(m_resourceProvider->files(), GuiResourceProvider::kFolder, std::move(imagesetFiles));
}

void Gui::unloadImageset(const CEGUI::String& name) {
  if (isImagesetPresent(name)) m_imageManager->destroyImageCollection(name);
}

bool Gui::isImagesetPresent(const CEGUI::String& name) const { return m_system->getRenderer()->isTextureDefined(name); }

// ---- the race's side ---------------------------------------------------------

void Gui::setLoadingProgress(float value) {
  if (g_loadingWindow && g_loadingWindow->built()) g_loadingWindow->setProgress(value);
}

void Gui::setLoadingText(const std::string& text) {
  if (g_loadingWindow && g_loadingWindow->built()) g_loadingWindow->setText(decodeUtf8(text));
}

bool Gui::pumpLoadingMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return false;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return true;
}

std::unique_ptr<RaceTexts> Gui::loadTexts(File* files, const char* fileName, int language) {
  return std::make_unique<RaceTextTable>(files, fileName, language);
}

std::unique_ptr<RaceDisplays> Gui::createDisplays(Config& settings, Race& race) {
  try {
    return std::make_unique<OnscreenDisplays>(*this, settings, std::make_unique<RaceHudView>(race));
  } catch (const CEGUI::Exception& e) {
    reportError("The race has no in-race displays: %s", e.getMessage().c_str());
    return nullptr;
  }
}
