#include "tools/sample_data/screen_samples.h"

#include <string>
#include <vector>

#include "content/archive_writer.h"
#include "tools/sample_data/gui_sample_names.h"

namespace {

const std::string kFolder = "D:\\Tamberlok\\menu\\";

bool addFlags(ArchiveWriter& writer) {
  static const char* const kCodes[] = {"DE", "EN", "FR", "SP", "IT"};
  std::vector<std::string> names;
  for (const char* code : kCodes)
    for (const char* state : {"_Normal", "_Hover"}) names.push_back(std::string("Flag") + code + state);
  std::vector<SampleImage> images;
  for (std::size_t i = 0; i < names.size(); ++i)
    images.push_back({names[i].c_str(), 0xFF000000u | (0x1F3A5Bu * static_cast<std::uint32_t>(i + 1))});
  return addSampleImageset(writer, "Flags", images);
}

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
