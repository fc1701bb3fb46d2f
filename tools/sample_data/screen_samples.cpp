#include "tools/sample_data/screen_samples.h"

#include <string>
#include <vector>

#include "content/archive_writer.h"
#include "tools/sample_data/gui_sample_names.h"
#include "tools/sample_data/picture_imageset.h"

namespace {

const std::string kFolder = "D:\\Tamberlok\\menu\\";

bool addFlags(ArchiveWriter& writer) { return addPictureImageset(writer, "Flags", drawImageset("Flags")); }

// The credits as the screen reads them: Latin-1 bytes, CR LF lines, the
// first character choosing the font ("*" title, "!" heading, "#" small).
// The team is Marrowgate Software's, its people made up.
std::string credits() {
  static const char* const kLines[] = {
      "*Tessaline",
      "#a Marrowgate Software game",
      "",
      "!Game design",
      "Orla Vantrebble",
      "!Programming",
      "Quint Haddersley",
      "Bexa Mornwhistle",
      "Dorran Fitch-Wemble",
      "!Tracks and karts",
      "Tamsin Gullyford",
      "!Pictures and menus",
      "Ysolde Crankhallow",
      "!Music and sound",
      "Pip Lanternjaw",
      "!Testing",
      "Juno Pebbleworth and the Marrowgate test drivers",
      "",
      "*Built with",
      "!ODE - Open Dynamics Engine",
      "#BSD licence (or, at your choice, GNU LGPL 2.1)",
      "!CEGUI - Crazy Eddie's GUI",
      "#MIT licence",
      "!TinyXML",
      "#zlib licence",
      "!libjpeg",
      "#Independent JPEG Group licence; this software is based in part on the work of the IJG",
      "!libvorbis and libogg",
      "#BSD licence, Xiph.Org Foundation",
      "!SDL2 - Simple DirectMedia Layer",
      "#zlib licence",
      "!Mesa",
      "#MIT licence",
      "!DejaVu fonts",
      "#Bitstream Vera Fonts licence; DejaVu changes in the public domain",
      "",
      "Gr\xFC\xDF"
      "e an alle Testfahrer!",
      "",
  };
  std::string s;
  for (const char* line : kLines) s += std::string(line) + "\r\n";
  return s;
}

std::string branding() {
  using B = SampleBrandingButton;
  std::string s = "<?xml version=\"1.0\" ?>\n<Branding>\n";
  for (const char* language : {"De", "En", "Fr", "Sp", "It"})
    s += std::string("  <Screen Lang=\"") + language + "\" Show=\"True\" Imageset=\"Branding\">\n" +
         "    <Button URL=\"" + B::kUrl + "\" Imageset=\"Branding\" NormalImage=\"Link\" HoverImage=\"LinkHover\"" +
         " XPos=\"" + std::to_string(B::kX) + "\" YPos=\"" + std::to_string(B::kY) + "\" Width=\"" +
         std::to_string(B::kWidth) + "\" Height=\"" + std::to_string(B::kHeight) + "\"/>\n  </Screen>\n";
  return s + "</Branding>\n";
}

}  // namespace

bool addScreenSamples(ArchiveWriter& writer) {
  // One imageset holds the background and the button's two images.
  const SampleImage images[] = {{"Background", SampleBrandingButton::kBackground},
                                {"Link", SampleBrandingButton::kNormal},
                                {"LinkHover", SampleBrandingButton::kHover}};
  return addFlags(writer) && writer.add(kFolder + "Credits.txt", credits()) &&
         writer.add(kFolder + "Branding_Demo.xml", branding()) && addSampleImageset(writer, "Branding", images);
}
