// The sample tracks' centre lines and everything computed from them alone:
// distances along the lap, map pixels, the position map, the point files
// and the minimap.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <map>
#include <mutex>
#include <numbers>
#include <string>
#include <vector>

#include "content/byte_writer.h"
#include "tools/sample_data/track_maps.h"
#include "tools/sample_data/track_samples.h"

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

// Track 0: a wobbly circle, three bulges round its middle.
GroundPlace stoneAgeCentre(double f) {
  const double a = kTwoPi * f;
  const double r = 150.0 * (1.0 + 0.15 * std::sin(3.0 * a));
  return {10.0 + r * std::cos(a), 40.0 + r * std::sin(a)};
}

// A loop round (cx, cz): radii rx and rz bent by a few harmonics, each
// {order, amount, phase}; `start` turns where the lap begins.
struct Harmonic {
  int order;
  double amount, phase;
};
GroundPlace wobblyLoop(double f, double cx, double cz, double rx, double rz, std::initializer_list<Harmonic> harmonics,
                       double start) {
  const double a = kTwoPi * f + start;
  double g = 1.0;
  for (const Harmonic& h : harmonics) g += h.amount * std::sin(h.order * a + h.phase);
  return {cx + rx * g * std::cos(a), cz + rz * g * std::sin(a)};
}

// Track 1: a long loop across the desert round the obelisk and the
// pyramids of the infield; the line lies on its southern side, heading east.
GroundPlace ringCentre(double f) {
  return wobblyLoop(f, 0.0, 0.0, 168.0, 102.0, {{2, 0.06, 0.4}, {3, 0.04, 2.0}}, -std::numbers::pi / 2.0);
}

// The ring tests drive on in place of track 1: a small walled ring, about
// as wide as a kart's own turning circle on slow ground, so that a kart
// holding the throttle and full left lock circles it for ever, brushing
// the inner wall once a lap.
constexpr double kTestRingRadius = 11.0;
GroundPlace testRingCentre(double f) {
  const double a = kTwoPi * f;
  return {kTestRingRadius * std::cos(a), kTestRingRadius * std::sin(a)};
}

// Track 2: the long oval of a Roman circus, the line on its top straight.
GroundPlace circusCentre(double f) {
  const double a = kTwoPi * f + std::numbers::pi / 2.0;
  return {40.8 + 93.0 * std::cos(a), -2.1 + 56.0 * std::sin(a)};
}

// Track 3: an egg-shaped loop through the forest.
GroundPlace forestCentre(double f) {
  const double a = kTwoPi * f;
  return {140.0 * std::cos(a), 100.0 * std::sin(a) + 15.0 * std::sin(2.0 * a)};
}

// Track 4: along the coast of an island.
GroundPlace islandCentre(double f) {
  return wobblyLoop(f, 0.0, 0.0, 150.0, 138.0, {{2, 0.12, 0.7}, {3, 0.09, 2.1}, {5, 0.03, 0.3}},
                    -std::numbers::pi / 2.0);
}

// Track 5: a kidney-shaped run through a canyon town.
GroundPlace canyonCentre(double f) {
  return wobblyLoop(f, -6.4, -15.0, 140.0, 110.0, {{2, 0.10, 1.2}, {3, 0.13, 0.4}, {4, 0.03, 2.0}},
                    -std::numbers::pi / 2.0);
}

// Track 6: a tall loop over a mountain pass.
GroundPlace passCentre(double f) {
  return wobblyLoop(f, 17.6, 8.2, 110.0, 160.0, {{2, 0.08, 0.3}, {3, 0.12, 1.9}, {5, 0.025, 1.0}}, 0.0);
}

// Track 7: round the landing site, pinched at its waist like a saucer.
GroundPlace saucerCentre(double f) {
  return wobblyLoop(f, -25.3, 6.5, 160.0, 118.0, {{2, -0.14, std::numbers::pi / 2.0}, {4, 0.05, 0.5}, {3, 0.05, 2.5}},
                    -std::numbers::pi / 2.0);
}

SampleTrack makeTrack(int index, const char* number, const char* scene, MapRect rect, int minimapWidth,
                      int minimapHeight, GroundPlace hub, GroundPlace (*centre)(double)) {
  SampleTrack t;
  t.index = index;
  t.number = number;
  t.sceneFile = scene;
  t.rect = rect;
  t.minimapWidth = minimapWidth;
  t.minimapHeight = minimapHeight;
  t.hub = hub;
  t.centre = centre;
  return t;
}

constexpr std::size_t kTrackCount = 8;

std::array<SampleTrack, kTrackCount> makeTracks() {
  const char* const scene = "D:\\Tamberlok\\3dobjects_tracks\\track_";
  auto named = [&](const char* leaf) { return std::string(scene) + leaf + ".lws"; };
  static const std::string scenes[kTrackCount] = {
      track0::kSceneFile,       named("05_aegypten"),     named("03_rom"),       named("04_robinhood"),
      named("02_pirateninsel"), named("06_wilderwesten"), named("08_shimalaya"), named("07_ufo"),
  };
  SampleTrack stoneAge =
      makeTrack(0, "01", scenes[0].c_str(), {track0::kMinX, track0::kMaxX, track0::kMinZ, track0::kMaxZ}, 512, 489,
                {10.0, 40.0}, stoneAgeCentre);
  stoneAge.shadeFrom = 0.3;
  stoneAge.shadeTo = 0.45;
  SampleTrack ring = makeTrack(1, "05", scenes[1].c_str(), {-344.5322f, 344.5313f, -349.9983f, 349.9971f}, 512, 512,
                               {0.0, 0.0}, ringCentre);
  SampleTrack circus = makeTrack(2, "03", scenes[2].c_str(), {-64.6845f, 146.2955f, -68.9741f, 64.6844f}, 512, 324,
                                 {40.8, -2.1}, circusCentre);
  circus.shadeFrom = 0.62;
  circus.shadeTo = 0.7;
  SampleTrack forest =
      makeTrack(3, "04", scenes[3].c_str(), {-250.0f, 250.0f, -250.0f, 250.0f}, 512, 512, {0.0, 0.0}, forestCentre);
  forest.shadeFrom = 0.55;
  forest.shadeTo = 0.7;
  SampleTrack island =
      makeTrack(4, "02", scenes[4].c_str(), {-310.5f, 310.5f, -310.5f, 310.5f}, 512, 512, {0.0, 0.0}, islandCentre);
  island.shadeFrom = 0.4;
  island.shadeTo = 0.48;
  SampleTrack canyon = makeTrack(5, "06", scenes[5].c_str(), {-257.9001f, 245.079f, -226.4495f, 196.2463f}, 512, 431,
                                 {-6.4, -15.0}, canyonCentre);
  canyon.shadeFrom = 0.2;
  canyon.shadeTo = 0.3;
  SampleTrack pass = makeTrack(6, "08", scenes[6].c_str(), {-232.423f, 267.577f, -262.0842f, 278.5626f}, 473, 512,
                               {17.6, 8.2}, passCentre);
  pass.shadeFrom = 0.7;
  pass.shadeTo = 0.82;
  SampleTrack saucer = makeTrack(7, "07", scenes[7].c_str(), {-260.8393f, 210.1982f, -181.7651f, 194.7147f}, 512, 409,
                                 {-25.3, 6.5}, saucerCentre);
  saucer.resetMapRows = 392;
  return {stoneAge, ring, circus, forest, island, canyon, pass, saucer};
}

const std::array<SampleTrack, kTrackCount>& tracks() {
  static const std::array<SampleTrack, kTrackCount> all = makeTracks();
  return all;
}

// Cumulative distance along the centre line at evenly spaced fractions,
// one table per centre line rather than per track index: the test ring
// shares track 1's index but not its line. Each is made once, on first
// use, whichever thread asks.
constexpr int kArcSamples = 8192;
struct ArcTable {
  std::vector<double> distance;  // kArcSamples + 1 entries, the last the lap
};

const ArcTable& arcTable(const SampleTrack& track) {
  static std::mutex guard;
  static std::map<GroundPlace (*)(double), ArcTable> tables;
  const std::lock_guard<std::mutex> lock(guard);
  auto [it, made] = tables.try_emplace(track.centre);
  if (made) {
    std::vector<double>& d = it->second.distance;
    d.resize(kArcSamples + 1);
    d[0] = 0.0;
    GroundPlace previous = track.centre(0.0);
    for (int s = 1; s <= kArcSamples; ++s) {
      const GroundPlace p = track.centre(static_cast<double>(s) / kArcSamples);
      d[s] = d[s - 1] + std::hypot(p.x - previous.x, p.z - previous.z);
      previous = p;
    }
  }
  return it->second;
}

double distanceAt(const SampleTrack& track, double f) {
  const ArcTable& table = arcTable(track);
  const double laps = std::floor(f), rest = (f - laps) * kArcSamples;
  const int i = std::clamp(static_cast<int>(rest), 0, kArcSamples - 1);
  const double d = table.distance[i] + (rest - i) * (table.distance[i + 1] - table.distance[i]);
  return laps * table.distance.back() + d;
}

double fractionAtDistance(const SampleTrack& track, double s) {
  const ArcTable& table = arcTable(track);
  const double lap = table.distance.back();
  const double laps = std::floor(s / lap), rest = s - laps * lap;
  const auto it = std::upper_bound(table.distance.begin(), table.distance.end(), rest);
  const int i = std::clamp(static_cast<int>(it - table.distance.begin()) - 1, 0, kArcSamples - 1);
  const double span = table.distance[i + 1] - table.distance[i];
  const double within = span > 0.0 ? (rest - table.distance[i]) / span : 0.0;
  return laps + (i + std::clamp(within, 0.0, 1.0)) / kArcSamples;
}

using content_bytes::putF32;

std::string miniMapFolder() { return "D:\\Tamberlok\\mini_maps\\"; }

}  // namespace

std::span<const SampleTrack> sampleTracks() { return tracks(); }

const SampleTrack& testRingTrack() {
  static const SampleTrack ring = [] {
    SampleTrack t = tracks()[1];
    t.centre = testRingCentre;
    t.roadKind = kSurfaceSlowGround;
    // Single file on the inner half: from there a kart held at full left
    // lock circles out into its orbit round the obelisk.
    t.gridPerRow = 1;
    t.gridRowGap = 3.0f;
    t.gridColumns[0] = -3.5f;
    return t;
  }();
  return ring;
}

const SampleTrack* findSampleTrack(int index) {
  return index >= 0 && index < static_cast<int>(kTrackCount) ? &tracks()[static_cast<std::size_t>(index)] : nullptr;
}

Point2 centreAt(const SampleTrack& track, double f) {
  const GroundPlace p = track.centre(f - std::floor(f));
  return {static_cast<float>(p.x), static_cast<float>(p.z)};
}

Point2 directionAt(const SampleTrack& track, double f) {
  constexpr double h = 1e-6;
  const GroundPlace a = track.centre(f - std::floor(f)), b = track.centre(f + h - std::floor(f + h));
  const double dx = b.x - a.x, dz = b.z - a.z, length = std::hypot(dx, dz);
  return {static_cast<float>(dx / length), static_cast<float>(dz / length)};
}

Point2 besideCentre(const SampleTrack& track, double f, float lateral) {
  const Point2 c = centreAt(track, f), d = directionAt(track, f);
  // The right of the driving direction (d.x, d.z) is (d.z, -d.x).
  return {c.x + d.z * lateral, c.z - d.x * lateral};
}

float headingAt(const SampleTrack& track, double f) {
  const Point2 d = directionAt(track, f);
  return std::atan2(d.x, d.z);
}

double lapLength(const SampleTrack& track) { return arcTable(track).distance.back(); }

double fractionAlong(const SampleTrack& track, double f, double metres) {
  return fractionAtDistance(track, distanceAt(track, f) + metres);
}

int mapColumn(const SampleTrack& track, float x) {
  const MapRect& r = track.rect;
  const float u = (x - r.minX) / (r.maxX - r.minX) * kMapSize;
  return std::clamp(static_cast<int>(u), 0, kMapSize - 1);
}

int mapRow(const SampleTrack& track, float z) {
  const MapRect& r = track.rect;
  const float v = kMapSize - (z - r.minZ) / (r.maxZ - r.minZ) * kMapSize;
  return std::clamp(static_cast<int>(v), 0, kMapSize - 1);
}

std::vector<std::uint8_t> positionMap(const SampleTrack& track) {
  return positionValues(track, nearestCentre(track, kMapSize, kMapSize));
}

std::string lightMapFile(const SampleTrack& track) { return miniMapFolder() + "light_track_" + track.number + ".bmp"; }
std::string positionMapFile(const SampleTrack& track) {
  return miniMapFolder() + "posmap_track_" + track.number + ".pcx";
}
std::string resetMapFile(const SampleTrack& track) {
  return miniMapFolder() + "reset_map_track_" + track.number + ".pcx";
}
std::string aiFile(const SampleTrack& track, const std::string& leaf) {
  return std::string("D:\\Tamberlok\\aifiles\\track") + track.number + "\\" + leaf;
}
std::string aiLineFile(const SampleTrack& track, int line) {
  return aiFile(track, "ai" + std::to_string(line + 2) + ".dat");
}
std::string musicFile(const SampleTrack& track) {
  return std::string("D:\\Tamberlok\\musics\\track") + track.number + ".ogg";
}
std::string minimapImageset(const SampleTrack& track) { return std::string("Minimap_Track") + track.number; }

std::vector<TrackPoint> pointsAlong(const SampleTrack& track, double spacing, float lateral) {
  std::vector<TrackPoint> points;
  const double lap = lapLength(track);
  // Whole steps that end short of the line again, so that the last point
  // never lands on the first.
  const int count = std::max(1, static_cast<int>(std::ceil(lap / spacing - 1e-9)));
  for (int i = 0; i < count; ++i) {
    const double f = fractionAtDistance(track, i * spacing);
    const Point2 p = besideCentre(track, f, lateral);
    points.push_back({p.x, 0.0f, p.z, static_cast<float>(f)});
  }
  return points;
}

std::vector<TrackPoint> aiLine(const SampleTrack& track, int line) {
  std::vector<TrackPoint> points = pointsAlong(track, kAiLineSpacing, -1.5f + 0.5f * static_cast<float>(line));
  for (TrackPoint& p : points) p.w = kAiLineSpeed;
  return points;
}

std::vector<TrackPoint> respawnPoints(const SampleTrack& track) {
  // About every 12 m, and never fewer than 40 points.
  const double lap = lapLength(track);
  return pointsAlong(track, lap / std::max(40.0, std::floor(lap / 12.0)), 0.0f);
}

std::vector<TrackPoint> rocketPath(const SampleTrack& track) { return pointsAlong(track, 5.0, 0.0f); }

std::vector<std::uint8_t> pointFileBytes(const std::vector<TrackPoint>& points) {
  std::vector<std::uint8_t> out;
  out.reserve(points.size() * 16);
  for (const TrackPoint& p : points) {
    putF32(out, p.x);
    putF32(out, p.y);
    putF32(out, p.z);
    putF32(out, p.w);
  }
  return out;
}

std::vector<std::uint32_t> minimapPixels(const SampleTrack& track, int width, int height) {
  const NearestCentre n = nearestCentre(track, width, height);
  const MapRect& r = track.rect;
  const float pixel = std::max((r.maxX - r.minX) / static_cast<float>(width), (r.maxZ - r.minZ) / height);
  // Wide enough to read at the display's scale.
  const float road = std::max(track.groundHalfWidth, 3.0f * pixel), edge = road + 1.5f * pixel;
  const Point2 line = centreAt(track, 0.0), across = directionAt(track, 0.0);
  std::vector<std::uint32_t> pixels(n.distance.size(), 0u);
  for (int row = 0; row < height; ++row)
    for (int column = 0; column < width; ++column) {
      const std::size_t i = static_cast<std::size_t>(row) * width + column;
      const float d = n.distance[i];
      if (d > edge) continue;
      if (d > road) {
        pixels[i] = 0xFF202020u;  // a dark outline
        continue;
      }
      // The finish line: a checkered band across the road.
      const float x = r.minX + (column + 0.5f) * (r.maxX - r.minX) / width;
      const float z = r.maxZ - (row + 0.5f) * (r.maxZ - r.minZ) / height;
      const float along = (x - line.x) * across.x + (z - line.z) * across.z;
      const bool nearLine = n.fraction[i] < 0.05f || n.fraction[i] > 0.95f;
      if (nearLine && std::fabs(along) < 1.5f * pixel) {
        pixels[i] = ((row + column) / 2) % 2 == 0 ? 0xFFFFFFFFu : 0xFF000000u;
        continue;
      }
      pixels[i] = 0xFFD8D8D0u;
    }
  return pixels;
}

namespace track0 {

const SampleTrack& track() { return tracks()[0]; }
Point2 centreAt(double f) { return ::centreAt(track(), f); }
Point2 directionAt(double f) { return ::directionAt(track(), f); }
float headingAt(double f) { return ::headingAt(track(), f); }
double fractionAlong(double f, double metres) { return ::fractionAlong(track(), f, metres); }
int mapColumn(float x) { return ::mapColumn(track(), x); }
int mapRow(float z) { return ::mapRow(track(), z); }
std::vector<std::uint8_t> positionMap() { return ::positionMap(track()); }

}  // namespace track0
