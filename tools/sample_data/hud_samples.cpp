// The race displays' imagesets under "D:\Tamberlok\menu\": the countdown
// (3, 2, 1 and GO in the order the race shows Count1 to Count4), the
// minimap's kart and rocket markers, the wrong-way sign and each sample
// track's minimap, drawn from its centre line.
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "content/archive_writer.h"
#include "content/png_writer.h"
#include "tools/sample_data/track_samples.h"

namespace {

const std::string kFolder = "D:\\Tamberlok\\menu\\";

struct HudImage {
  std::string name;
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;  // 0xAARRGGBB, top row first
};

// The images side by side, 2 clear pixels apart, in one picture.
bool addImageset(ArchiveWriter& writer, const std::string& name, const std::vector<HudImage>& images) {
  int width = 0, height = 0;
  for (const HudImage& image : images) {
    width += image.width + 2;
    height = std::max(height, image.height);
  }
  std::vector<std::uint32_t> sheet(static_cast<std::size_t>(width) * height, 0u);
  std::string xml = "<?xml version=\"1.0\" ?>\n<Imageset version=\"2\" name=\"" + name + "\" imagefile=\"" + name +
                    ".png\" nativeHorzRes=\"1024\" nativeVertRes=\"768\" autoScaled=\"false\">";
  int x = 0;
  for (const HudImage& image : images) {
    for (int row = 0; row < image.height; ++row)
      std::copy_n(image.pixels.begin() + static_cast<std::ptrdiff_t>(row) * image.width, image.width,
                  sheet.begin() + static_cast<std::ptrdiff_t>(row) * width + x);
    xml += "<Image name=\"" + image.name + "\" xPos=\"" + std::to_string(x) + "\" yPos=\"0\" width=\"" +
           std::to_string(image.width) + "\" height=\"" + std::to_string(image.height) + "\"/>";
    x += image.width + 2;
  }
  xml += "</Imageset>\n";
  const std::vector<std::uint8_t> png = writePng(width, height, sheet);
  return !png.empty() && writer.add(kFolder + name + ".png", png, 0) && writer.add(kFolder + name + ".imageset", xml);
}

// ---- drawing by distance: shapes in a unit square, y down ----------------

struct P {
  double x, y;
};

double segmentDistance(P p, P a, P b) {
  const double ex = b.x - a.x, ey = b.y - a.y, length2 = ex * ex + ey * ey;
  const double t = length2 > 0 ? std::clamp(((p.x - a.x) * ex + (p.y - a.y) * ey) / length2, 0.0, 1.0) : 0.0;
  return std::hypot(p.x - (a.x + t * ex), p.y - (a.y + t * ey));
}

double polylineDistance(P p, const std::vector<P>& line) {
  double best = 1e9;
  for (std::size_t i = 0; i + 1 < line.size(); ++i) best = std::min(best, segmentDistance(p, line[i], line[i + 1]));
  return best;
}

// Points on an arc round c, angles in radians (0 along +x, y down).
std::vector<P> arc(P c, double rx, double ry, double from, double to, int steps = 24) {
  std::vector<P> points;
  for (int i = 0; i <= steps; ++i) {
    const double a = from + (to - from) * i / steps;
    points.push_back({c.x + rx * std::cos(a), c.y + ry * std::sin(a)});
  }
  return points;
}

std::uint32_t argb(double alpha, std::uint32_t rgb) {
  const auto a = static_cast<std::uint32_t>(std::lround(std::clamp(alpha, 0.0, 1.0) * 255.0));
  return a << 24 | (rgb & 0xFFFFFFu);
}

// Blends `rgb` at `coverage` over a pixel.
void paint(std::uint32_t& pixel, double coverage, std::uint32_t rgb) {
  coverage = std::clamp(coverage, 0.0, 1.0);
  if (coverage <= 0.0) return;
  const double under = static_cast<double>(pixel >> 24) / 255.0;
  const double alpha = coverage + under * (1.0 - coverage);
  std::uint32_t out = 0;
  for (int shift : {0, 8, 16}) {
    const double c = static_cast<double>((rgb >> shift) & 0xFF), u = static_cast<double>((pixel >> shift) & 0xFF);
    const double blended = alpha > 0 ? (c * coverage + u * under * (1.0 - coverage)) / alpha : 0.0;
    out |= static_cast<std::uint32_t>(std::lround(blended)) << shift;
  }
  pixel = argb(alpha, out);
}

// Each pixel centre's distance (in unit-square lengths, negative inside)
// to a shape.
template <typename Distance>
std::vector<double> distanceField(const HudImage& image, Distance distance) {
  std::vector<double> field(image.pixels.size());
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x)
      field[static_cast<std::size_t>(y) * image.width + x] =
          distance(P{(x + 0.5) / image.width, (y + 0.5) / image.height});
  return field;
}

// Paints where the field lies below `grow`; the edge is smoothed over one
// pixel.
void layer(HudImage& image, std::uint32_t rgb, const std::vector<double>& field, double grow = 0.0) {
  for (std::size_t i = 0; i < field.size(); ++i) paint(image.pixels[i], 0.5 - (field[i] - grow) * image.width, rgb);
}

HudImage blank(const std::string& name, int side) {
  return {name, side, side, std::vector<std::uint32_t>(static_cast<std::size_t>(side) * side, 0u)};
}

void disc(HudImage& image, double radius, std::uint32_t rgb) {
  layer(image, rgb, distanceField(image, [&](P p) { return std::hypot(p.x - 0.5, p.y - 0.5) - radius; }));
}

// Strokes of the given half width, outlined in black.
void strokes(HudImage& image, const std::vector<std::vector<P>>& lines, double halfWidth, std::uint32_t rgb) {
  const std::vector<double> field = distanceField(image, [&](P p) {
    double best = 1e9;
    for (const auto& line : lines) best = std::min(best, polylineDistance(p, line));
    return best - halfWidth;
  });
  layer(image, 0x000000u, field, 0.03);
  layer(image, rgb, field);
}

constexpr double kPi = std::numbers::pi;

std::vector<HudImage> countdown() {
  const std::vector<std::vector<P>> three = {{{0.3, 0.2}, {0.7, 0.2}, {0.48, 0.45}},
                                             arc({0.48, 0.62}, 0.21, 0.19, -kPi / 2, kPi * 0.85)};
  const std::vector<std::vector<P>> two = {arc({0.5, 0.36}, 0.19, 0.16, -kPi, 0.2),
                                           {{0.68, 0.42}, {0.3, 0.8}, {0.72, 0.8}}};
  const std::vector<std::vector<P>> one = {{{0.36, 0.3}, {0.52, 0.2}, {0.52, 0.8}}, {{0.36, 0.8}, {0.68, 0.8}}};
  std::vector<P> g = arc({0.33, 0.5}, 0.15, 0.22, -kPi * 0.3, -kPi * 1.9);
  g.push_back({0.48, 0.52});
  g.push_back({0.36, 0.52});
  const std::vector<std::vector<P>> go = {g, arc({0.7, 0.5}, 0.12, 0.22, 0, 2 * kPi, 32)};
  struct Step {
    const char* name;
    const std::vector<std::vector<P>>* strokes;
    std::uint32_t colour;
    double width;
  };
  const Step steps[] = {{"Count1", &three, 0xD02020u, 0.07},
                        {"Count2", &two, 0xE06010u, 0.07},
                        {"Count3", &one, 0xE0C010u, 0.07},
                        {"Count4", &go, 0x20B030u, 0.05}};
  std::vector<HudImage> images;
  for (const Step& step : steps) {
    HudImage image = blank(step.name, 128);
    disc(image, 0.47, 0x000000u);
    disc(image, 0.44, step.colour);
    strokes(image, *step.strokes, step.width, 0xFFFFFFu);
    images.push_back(std::move(image));
  }
  return images;
}

std::vector<HudImage> markers() {
  const std::pair<const char*, std::uint32_t> colours[] = {
      {"Red", 0xE02020u}, {"Green", 0x20D040u}, {"Blue", 0x3060F0u}};
  std::vector<HudImage> images;
  for (const auto& [name, colour] : colours) {
    HudImage image = blank(name, 32);
    disc(image, 0.45, 0x000000u);
    disc(image, 0.36, colour);
    images.push_back(std::move(image));
  }
  return images;
}

// A red sign with a white U-turn arrow: turn round.
HudImage wrongWay() {
  HudImage image = blank("FullImage", 128);
  disc(image, 0.48, 0xFFFFFFu);
  disc(image, 0.43, 0xC81818u);
  std::vector<P> turn = {{0.64, 0.78}, {0.64, 0.45}};
  for (const P& p : arc({0.5, 0.45}, 0.14, 0.14, 0.0, -kPi)) turn.push_back(p);
  turn.push_back({0.36, 0.58});
  strokes(image, {turn}, 0.05, 0xFFFFFFu);
  // The arrow's head, pointing down at the end of the left stem.
  const P tip{0.36, 0.78}, left{0.24, 0.6}, right{0.48, 0.6};
  layer(image, 0xFFFFFFu, distanceField(image, [&](P p) {
          // Each side's signed distance is positive on the triangle's side of it.
          auto side = [&](P a, P b) {
            const double ex = b.x - a.x, ey = b.y - a.y, length = std::hypot(ex, ey);
            return ((p.x - a.x) * ey - (p.y - a.y) * ex) / length;
          };
          return -std::min({side(left, tip), side(tip, right), side(right, left)});
        }));
  return image;
}

HudImage minimap(const SampleTrack& track) {
  return {"Minimap", track.minimapWidth, track.minimapHeight,
          minimapPixels(track, track.minimapWidth, track.minimapHeight)};
}

// The displays' images, track 1's minimap drawn from `trackOne`.
bool addHud(ArchiveWriter& writer, const SampleTrack& trackOne) {
  bool ok = addImageset(writer, "Countdown", countdown()) && addImageset(writer, "Minimap_Objects", markers()) &&
            addImageset(writer, "WrongDirection", {wrongWay()});
  for (const SampleTrack& track : sampleTracks())
    ok = ok && addImageset(writer, minimapImageset(track), {minimap(track.index == trackOne.index ? trackOne : track)});
  return ok;
}

}  // namespace

bool addHudSamples(ArchiveWriter& writer) { return addHud(writer, *findSampleTrack(1)); }

bool addTestRingHudSamples(ArchiveWriter& writer) { return addHud(writer, testRingTrack()); }
