// What the GUI samples hold: the images of the two imagesets with their
// colours, and the six fonts.
#pragma once

#include <cstdint>
#include <span>
#include <string>

class ArchiveWriter;

struct SampleImage {
  const char* name;
  std::uint32_t argb;
};

struct SampleFont {
  const char* name;
  const char* face;  // a .ttf in the same folder
  int points;
};

std::span<const SampleImage> quillfenImages();
// "Background" and "Bar".
std::span<const SampleImage> loadingImages();
std::span<const SampleFont> sampleFonts();

// An imageset "<name>.imageset" over "<name>.png" in the GUI folder.
bool addSampleImageset(ArchiveWriter& writer, const std::string& name, std::span<const SampleImage> images);
