// The pictures of imagesets reach the GUI library's image codec as the raw
// file our resource provider read. A small file can declare a huge picture
// (a 1 MB PNG of 16384 x 16384 decodes to 1 GB of pixels), so the size is
// read from the picture's header first and large pictures are refused
// before anything is decoded; the rest goes to the library's own codec.
// A refused picture is reported and shows as one clear pixel, so that the
// imageset, and the menu, still load.
//
// Each picture is decoded once: the pixels are kept (up to a budget) and a
// picture met again (the menu comes back after every race, the loading
// screen before each race) is only handed to the texture. The menu's
// pictures can be decoded ahead, on a thread of their own, while the menu
// loads its scenes.
#pragma once

#include <CEGUI/ImageCodec.h>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace CEGUI {
class DynamicModule;
}
class File;

struct PictureSize {
  std::uint32_t width = 0, height = 0;
};

// The size a PNG, JPEG, TGA, BMP or DDS header declares; none when the
// bytes are none of these or too short to say.
std::optional<PictureSize> readPictureSize(const std::uint8_t* data, std::size_t size);

class GuiPictureCodec final : public CEGUI::ImageCodec {
 public:
  // Pictures wider or taller than this are refused.
  static constexpr std::uint32_t kMaxSide = 4096;
  // Decoded pixels kept at most; pictures beyond are decoded each time.
  static constexpr std::size_t kMaxKeptBytes = 128u << 20;

  // Wraps the library's default codec module.
  GuiPictureCodec();
  ~GuiPictureCodec() override;

  // A picture whose header cannot be read, or with a side above kMaxSide,
  // is reported and not decoded; one whose data the library's codec does
  // not decode is reported too. `result` gets one clear pixel instead.
  CEGUI::Texture* load(const CEGUI::RawDataContainer& data, CEGUI::Texture* result) override;

  // Starts decoding the pictures that these imagesets (files in `folder`
  // of `files`, which is cloned) name, on a thread of its own; a load of
  // one of them waits for it rather than decode it again. What cannot be
  // read there is simply decoded when it is loaded.
  void decodeAhead(const File& files, const std::string& folder, std::vector<std::string> imagesets);
  // Pictures decoded so far, ahead or on loading.
  int decodeCount() const;

 private:
  struct Decoded;
  class CapturedPixels;

  // The kept picture with exactly these bytes, or null.
  std::shared_ptr<Decoded> findKept(const std::uint8_t* data, std::size_t size) const;
  // Decodes into `into`; false when the library's codec does not.
  bool decode(const CEGUI::RawDataContainer& data, Decoded& into);
  void keep(const std::shared_ptr<Decoded>& picture);
  void decodeAheadRun(std::unique_ptr<File> files, std::string folder, std::vector<std::string> imagesets);
  void stopDecodingAhead();

  std::unique_ptr<CEGUI::DynamicModule> m_module;
  CEGUI::ImageCodec* m_inner = nullptr;

  mutable std::mutex m_mutex;  // the kept pictures, their states and the counts
  std::condition_variable m_decoded;
  std::vector<std::shared_ptr<Decoded>> m_kept;
  std::size_t m_keptBytes = 0;
  int m_decodes = 0;
  bool m_stop = false;
  std::mutex m_codecMutex;  // one decode at a time
  std::thread m_ahead;
};
