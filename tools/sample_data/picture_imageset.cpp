#include "tools/sample_data/picture_imageset.h"

#include <algorithm>

#include "content/archive_writer.h"
#include "content/png_writer.h"

namespace {

const std::string kFolder = "D:\\Tamberlok\\menu\\";
constexpr int kGap = 2;

struct Placed {
  int x, y;
};

}  // namespace

bool addPictureImageset(ArchiveWriter& writer, const std::string& name, const std::vector<NamedPicture>& pictures) {
  if (pictures.empty()) return false;
  // Shelves, tallest pictures first, in a texture as wide as the widest
  // picture or 512.
  const int gap = pictures.size() == 1 ? 0 : kGap;
  int width = 512;
  for (const NamedPicture& p : pictures) width = std::max(width, p.picture.width() + 2 * gap);
  std::vector<std::size_t> order(pictures.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return pictures[a].picture.height() > pictures[b].picture.height();
  });
  std::vector<Placed> placed(pictures.size());
  int x = 0, y = 0, shelf = 0;
  for (std::size_t i : order) {
    const Canvas& c = pictures[i].picture;
    if (x + c.width() + 2 * gap > width) x = 0, y += shelf, shelf = 0;
    placed[i] = {x + gap, y + gap};
    x += c.width() + 2 * gap;
    shelf = std::max(shelf, c.height() + 2 * gap);
  }
  const int height = y + shelf;
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
  std::string xml = "<?xml version=\"1.0\" ?>\n<Imageset version=\"2\" name=\"" + name + "\" imagefile=\"" + name +
                    ".png\" nativeHorzRes=\"1024\" nativeVertRes=\"768\" autoScaled=\"false\">";
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    const Canvas& c = pictures[i].picture;
    for (int py = -gap; py < c.height() + gap; ++py)
      for (int px = -gap; px < c.width() + gap; ++px) {
        const std::uint32_t v = c.at(std::clamp(px, 0, c.width() - 1), std::clamp(py, 0, c.height() - 1));
        pixels[static_cast<std::size_t>(placed[i].y + py) * static_cast<std::size_t>(width) +
               static_cast<std::size_t>(placed[i].x + px)] = v;
      }
    xml += "<Image name=\"" + pictures[i].name + "\" xPos=\"" + std::to_string(placed[i].x) + "\" yPos=\"" +
           std::to_string(placed[i].y) + "\" width=\"" + std::to_string(c.width()) + "\" height=\"" +
           std::to_string(c.height()) + "\"/>";
  }
  xml += "</Imageset>\n";
  const std::vector<std::uint8_t> png = writePng(width, height, pixels);
  return !png.empty() && writer.add(kFolder + name + ".png", png, 0) && writer.add(kFolder + name + ".imageset", xml);
}

const Canvas* findPicture(const std::vector<NamedPicture>& pictures, const std::string& name) {
  for (const NamedPicture& p : pictures)
    if (p.name == name) return &p.picture;
  return nullptr;
}

std::vector<NamedPicture> drawImageset(const std::string& name) {
  static const char* const kEnd[] = {"Endscreen_Quorrel", "Endscreen_Affe",    "Endscreen_Alien",
                                     "Endscreen_Kroet",   "Endscreen_Pumpkin", "Endscreen_Tod"};
  for (int c = 0; c < 6; ++c)
    if (name == kEnd[c]) return drawEndPicture(c);
  if (name == "Quillfen") return drawQuillfen();
  if (name == "Brenn6_logo") return drawLogo();
  if (name == "Flags") return drawFlags();
  if (name == "LoadingScreen") return drawLoadingScreen();
  if (name == "Extras") return drawExtras();
  if (name == "Tracks") return drawTracks();
  if (name == "Branding") return drawBranding();
  return drawBackground(name);
}
