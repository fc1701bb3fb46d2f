// The one GUI root: CEGUI started on the game archive (every scheme, look,
// imageset and font file comes from "D:\Tamberlok\menu\" in it), drawing on
// the render pipeline's device, with the Quillfen look and the six fonts
// loaded; fed each frame with the input device's state and a time pulse.
#pragma once

#include <CEGUI/ResourceProvider.h>
#include <CEGUI/String.h>

#include <memory>
#include <string>
#include <vector>

#include "game/race/race_gui.h"

namespace CEGUI {
class System;
class WindowManager;
class ImageManager;
class MouseCursor;
class GUIContext;
class Logger;
}  // namespace CEGUI
class File;
class GuiPictureCodec;
class GuiRenderer;
class InputDevice;
class RenderPipeline;

// Reads the GUI's files from its own clone of the archive, so that GUI reads
// never disturb the object the other loaders share.
class GuiResourceProvider : public CEGUI::ResourceProvider {
 public:
  static constexpr const char* kFolder = "D:\\Tamberlok\\menu\\";

  explicit GuiResourceProvider(const File& files);
  ~GuiResourceProvider() override;

  // Throws CEGUI::InvalidRequestException "GuiResourceProvider::
  // loadRawDataContainer - Couldn't open <path>" when the file is missing or
  // reads short. The buffer is exactly the file (no terminator).
  void loadRawDataContainer(const CEGUI::String& filename, CEGUI::RawDataContainer& output,
                            const CEGUI::String& resourceGroup) override;
  void unloadRawDataContainer(CEGUI::RawDataContainer& data) override;
  // The names in the GUI folder matching `pattern` ('*' and '?', any case);
  // an archive lists its entries, another kind of file only an exact name.
  std::size_t getResourceGroupFileNames(std::vector<CEGUI::String>& out, const CEGUI::String& pattern,
                                        const CEGUI::String& resourceGroup) override;
  // What the GUI's files are read from.
  const File& files() const { return *m_file; }

 private:
  std::unique_ptr<File> m_file;
};

class Gui : public RaceGui {
 public:
  static constexpr int kFontCount = 6;
  static const char* const kFontNames[kFontCount];  // "VerdanaSmall" first, the default
  // Fonts larger than this (in points at the 1024 x 768 layout, scaling
  // included) are refused: each size costs its glyphs' pictures.
  static constexpr float kMaxFontPoints = 100.0f;

  // Draws on the pipeline's current device. A scheme, font or picture that
  // is missing or refused (fonts above kMaxFontPoints, pictures with a side
  // above 4096) ends construction with the library's exception, reported.
  Gui(RenderPipeline* pipeline, InputDevice* input, File& files);
  // Draws with `renderer` (tests: the null renderer, or one on a device of
  // their own); `pipeline` may then be null.
  Gui(RenderPipeline* pipeline, InputDevice* input, File& files, std::unique_ptr<GuiRenderer> renderer);
  ~Gui() override;
  Gui(const Gui&) = delete;
  Gui& operator=(const Gui&) = delete;

  void setMouseCursorVisible(bool visible) override;
  void injectMouse() override;
  void injectKeyboard() override;
  void injectInput() {
    injectMouse();
    injectKeyboard();
  }
  // `gameTime`: seconds since the caller's timer started; CEGUI gets the
  // time since the previous pulse (0 at the first one or when time went back).
  void injectTimePulse(float gameTime) override;
  void setDisplaySize(float width, float height) override;
  void render() override;

  // The race's side: the loading window (g_loadingWindow, when there is
  // one), the race's texts and its in-race displays. A display that cannot
  // be built (an imageset missing) is reported and the race has none.
  void setLoadingProgress(float value) override;
  void setLoadingText(const std::string& text) override;
  // Dispatches the waiting window messages; false on a quit request, which
  // is posted again for the main loop.
  bool pumpLoadingMessages() override;
  std::unique_ptr<RaceTexts> loadTexts(File* files, const char* fileName, int language) override;
  std::unique_ptr<RaceDisplays> createDisplays(Config& settings, Race& race) override;

  // Loads an imageset file ("Tracks.imageset"); one already loaded stays as
  // it is. Its images are then "<name>/<image>" by the name inside the file.
  void loadImageset(const CEGUI::String& fileName);
  // Starts decoding the pictures of these imageset files ahead, while the
  // caller loads other things; loading them later takes the decoded pixels.
  void decodePicturesAhead(std::vector<std::string> imagesetFiles);
  const GuiPictureCodec& pictureCodec() const { return *m_pictureCodec; }
  // Destroys the imageset registered as `name` with its texture, if present.
  void unloadImageset(const CEGUI::String& name);
  bool isImagesetPresent(const CEGUI::String& name) const;

  CEGUI::GUIContext& context();

  RenderPipeline* m_pipeline;
  InputDevice* m_input;
  CEGUI::System* m_system = nullptr;
  CEGUI::WindowManager* m_windowManager = nullptr;
  CEGUI::ImageManager* m_imageManager = nullptr;
  std::unique_ptr<GuiRenderer> m_renderer;
  CEGUI::MouseCursor* m_mouseCursor = nullptr;
  std::unique_ptr<GuiResourceProvider> m_resourceProvider;

 private:
  void start(File& files);
  void refuseOversizedFonts();

  std::unique_ptr<CEGUI::Logger> m_logger;
  std::unique_ptr<GuiPictureCodec> m_pictureCodec;
  bool m_leftDown = false, m_rightDown = false;
  bool m_havePulse = false;
  float m_lastPulse = 0.0f;
};
