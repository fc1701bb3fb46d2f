// Whole files held in memory (FileData) and decoded pictures (Image), both
// shared by reference counting, with the loaders that make them from a File.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "foundation/file.h"
#include "foundation/ref_counted.h"

class Image;

// The bytes of a file, named after it. The storage is rounded up to whole
// 32-bit words (zero-filled past the size), so it can also hold the pixels of
// an Image.
class FileData : public RefCounted {
 public:
  explicit FileData(std::string name) : m_name(std::move(name)) {}

  // This object as an Image, or null for plain file data.
  virtual Image* asImage() { return nullptr; }

  // Makes room for `size` zeroed bytes, dropping the old contents. False,
  // leaving the data empty, when size is negative.
  bool allocate(int size);

  std::uint8_t* data() { return reinterpret_cast<std::uint8_t*>(m_words.get()); }
  const std::uint8_t* data() const { return reinterpret_cast<const std::uint8_t*>(m_words.get()); }
  int size() const { return m_size; }
  const std::string& name() const { return m_name; }

 protected:
  std::unique_ptr<std::uint32_t[]> m_words;
  int m_size = 0;

 private:
  std::string m_name;
};

// Largest picture any loader accepts: 4096 x 2048 pixels (32 MB decoded),
// far more than the pictures of a game take, and little enough that a
// whole decode stays within 64 MB above the file. Headers that claim more
// are refused before anything is allocated for them.
inline constexpr long long kMaxImagePixels = 4096LL * 2048LL;

// The limit every picture loader applies: kMaxImagePixels unless lowered.
// Fuzz targets lower it, so that a few header bytes cannot make each run
// fill a huge picture. Clamped to 1..kMaxImagePixels.
void setImagePixelLimit(long long pixels);
long long imagePixelLimit();

// A decoded picture: width x height pixels 0xAARRGGBB, row after row. Row 0
// is the bottom of the picture when it was loaded bottom-up, otherwise the
// top.
class Image : public FileData {
 public:
  explicit Image(std::string name) : FileData(std::move(name)) {}

  Image* asImage() override { return this; }

  // Makes room for width x height zeroed pixels. False, leaving the image
  // empty, when either side is not positive or the picture is larger than
  // imagePixelLimit().
  bool allocate(int width, int height);

  int width() const { return m_width; }
  int height() const { return m_height; }
  int pixelCount() const { return m_width * m_height; }
  std::uint32_t* pixels() { return m_words.get(); }
  const std::uint32_t* pixels() const { return m_words.get(); }
  std::uint32_t pixel(int row, int column) const { return m_words[row * m_width + column]; }

 private:
  int m_width = 0;
  int m_height = 0;
};

// The whole file `name` found through `prototype` (which is cloned, not
// opened), with one reference for the caller; null when the file does not
// exist or cannot be read completely.
FileData* loadFileData(const char* name, File& prototype);

// Decodes the picture `name` found through `prototype`, chosen by the last
// three letters of the name: "bmp" or "jpg", in any case. Null when the file
// does not exist, the extension is neither, or decoding fails (the decoder
// has then reported why).
Image* loadImage(File& prototype, const char* name, bool bottomUp);

// Uncompressed 8-bit (palette) and 24-bit BMP, bottom-up or top-down. Opens
// `name` on `file` and closes it again.
Image* loadBMP(const char* name, File& file, bool bottomUp);

// JPEG in any form the JPEG library decodes to grey or RGB. Opens `name` on
// `file` and closes it again. A file that ends after its first line still
// decodes, what is missing coming out flat, and that is reported. It fails,
// with a report, before any picture memory is taken, when its coded data
// holds fewer bits than the picture has 8 x 8 blocks ("Data ends early"),
// and when it ends before the first line or is a progressive picture too
// large for the library's memory bound (colour sampled at half resolution
// fits up to the picture limit, other colour up to 2048 x 2048).
Image* loadJPEG(File& file, const char* name, bool bottomUp);
