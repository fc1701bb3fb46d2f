#include "tools/sample_data/screen_samples.h"

#include <cmath>
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

// The link: the maker's name over the address it opens, white on the face.
Canvas linkPicture(std::uint32_t face) {
  using B = SampleBrandingButton;
  // The button is 200 x 100 of the 800 x 600 layout: 256 x 128 at 1024 x 768.
  const int w = B::kWidth * 1024 / 800, h = B::kHeight * 768 / 600;
  Canvas c(w, h);
  c.roundedRect(0, 0, static_cast<float>(w), static_cast<float>(h), 14, mixColour(face, 0xFFFFFFFF, 0.35f));
  c.roundedRect(4, 4, static_cast<float>(w - 4), static_cast<float>(h - 4), 11, face);
  c.text("DejaVuSans-Bold.ttf", B::kMaker, 18, static_cast<float>(w) / 2, 56, 0xFFFFFFFF);
  c.line(40, 70, static_cast<float>(w - 40), 70, 1.5f, 0xB0FFFFFF);
  c.text("DejaVuSans.ttf", B::kAddress, 16, static_cast<float>(w) / 2, 98, 0xFFFFFFFF);
  return c;
}

// The closing screen: the game's name over a night road that ends at the
// chequered flag.
Canvas closingPicture() {
  constexpr int kW = 1024, kH = 768;
  Canvas c(kW, kH);
  c.gradient(0, 0, kW, kH, SampleBrandingButton::kBackground, 0xFF2A3450);
  for (int i = 0; i < 60; ++i) {  // stars, fixed places
    const float x = static_cast<float>((i * 389 + 71) % kW), y = static_cast<float>((i * 157 + 23) % 360);
    c.disc(x, y, i % 3 == 0 ? 1.6f : 1.0f, 0x90FFFFFF);
  }
  std::vector<Point2f> road = {{452, 560}, {572, 560}, {900, kH}, {124, kH}};
  c.fillRect(0, 560, kW, kH, 0xFF1C2A1E);
  c.fillPolygon(road, 0xFF3C4048);
  for (int i = 0; i < 5; ++i) {
    const float t0 = static_cast<float>(i) / 5 + 0.04f, t1 = t0 + 0.1f;
    c.fillPolygon(std::vector<Point2f>{{510 - 2 * t0 * 4, 560 + 208 * t0},
                                       {514 + 2 * t0 * 4, 560 + 208 * t0},
                                       {514 + 2 * t1 * 4, 560 + 208 * t1},
                                       {510 - 2 * t1 * 4, 560 + 208 * t1}},
                  0xFFE8E0C0);
  }
  // The flag on its pole, left of the link.
  c.fillRect(196, 360, 204, 600, 0xFFB0B4C0);
  for (int row = 0; row < 5; ++row)
    for (int col = 0; col < 7; ++col) {
      const float x = 204 + 28.0f * static_cast<float>(col);
      const float wave = 8 * std::sin(static_cast<float>(col) * 0.9f);
      const float y = 364 + 24.0f * static_cast<float>(row) + wave;
      c.fillRect(x, y, x + 28, y + 24, (row + col) % 2 ? 0xFF101010 : 0xFFF4F4F4);
    }
  for (int dy = -4; dy <= 4; dy += 4)
    for (int dx = -4; dx <= 4; dx += 4)
      c.text("DejaVuSans-Bold.ttf", "Tessaline", 110, 512 + static_cast<float>(dx), 330 + static_cast<float>(dy),
             0xFF3A1400);
  c.text("DejaVuSans-Bold.ttf", "Tessaline", 110, 512, 330, 0xFFFFB21E);
  return c;
}

}  // namespace

std::vector<NamedPicture> drawBranding() {
  return {{"Background", closingPicture()},
          {"Link", linkPicture(SampleBrandingButton::kNormal)},
          {"LinkHover", linkPicture(SampleBrandingButton::kHover)}};
}

bool addScreenSamples(ArchiveWriter& writer) {
  // One imageset holds the background and the button's two images.
  return addFlags(writer) && writer.add(kFolder + "Credits.txt", credits()) &&
         writer.add(kFolder + "Branding_Demo.xml", branding()) &&
         addPictureImageset(writer, "Branding", drawImageset("Branding"));
}
