#include "foundation/file_data.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>

#include "foundation/report.h"

namespace {
std::atomic<long long> g_imagePixelLimit{kMaxImagePixels};
}

void setImagePixelLimit(long long pixels) { g_imagePixelLimit = std::clamp(pixels, 1LL, kMaxImagePixels); }

long long imagePixelLimit() { return g_imagePixelLimit.load(); }

bool FileData::allocate(int size) {
  m_words.reset();
  m_size = 0;
  if (size < 0) return false;
  const std::size_t words = (static_cast<std::size_t>(size) + 3) / 4;
  m_words = std::make_unique<std::uint32_t[]>(words == 0 ? 1 : words);
  m_size = size;
  return true;
}

bool Image::allocate(int width, int height) {
  m_width = 0;
  m_height = 0;
  FileData::allocate(0);
  if (width <= 0 || height <= 0) return false;
  if (static_cast<long long>(width) * height > imagePixelLimit()) return false;
  FileData::allocate(width * height * 4);
  m_width = width;
  m_height = height;
  return true;
}

FileData* loadFileData(const char* name, File& prototype) {
  if (!name || !prototype.exists(name)) return nullptr;
  const std::unique_ptr<File> file = prototype.cloneUnique();
  if (!file->open(name)) return nullptr;
  RefPtr<FileData> data(new FileData(name));
  const int size = file->size();
  data->allocate(size);
  int got = 0;
  while (got < size) {
    const int n = file->read(data->data() + got, size - got);
    if (n <= 0) break;
    got += n;
  }
  file->close();
  if (got != size) {
    // A part of a file is worse than none: the caller would take it whole.
    reportError("loadFileData: read %d of %d bytes of \"%s\"\n", got, size, name);
    return nullptr;
  }
  return data.detach();
}

Image* loadImage(File& prototype, const char* name, bool bottomUp) {
  if (!name || !prototype.exists(name)) return nullptr;
  const std::size_t length = std::strlen(name);
  if (length < 3) return nullptr;
  char extension[4] = {};
  for (int i = 0; i < 3; ++i)
    extension[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[length - 3 + i])));

  const std::unique_ptr<File> file = prototype.cloneUnique();
  if (std::strcmp(extension, "bmp") == 0) return loadBMP(name, *file, bottomUp);
  if (std::strcmp(extension, "jpg") == 0) return loadJPEG(*file, name, bottomUp);
  return nullptr;
}
