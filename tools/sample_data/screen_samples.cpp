#include "tools/sample_data/screen_samples.h"

#include <string>
#include <vector>

#include "content/archive_writer.h"
#include "tools/sample_data/gui_sample_names.h"
#include "tools/sample_data/picture_imageset.h"

namespace {

const std::string kFolder = "D:\\Tamberlok\\menu\\";

bool addFlags(ArchiveWriter& writer) { return addPictureImageset(writer, "Flags", drawImageset("Flags")); }

// CR LF lines with every font marker, an empty line and one line whose
// marker is all there is.
std::string credits() {
  return "*Tessaline\r\n"
         "!Programming\r\n"
         "The engine team\r\n"
         "\r\n"
         "#Fonts\r\n"
         "DejaVu fonts: Bitstream Vera, with changes by the DejaVu authors\r\n"
         "!\r\n"
         "Gr\xFC\xDF"
         "e an alle Tester\r\n";
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
