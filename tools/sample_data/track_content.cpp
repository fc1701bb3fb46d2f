// Track 0 as the race loads it: the scene file, its objects (road, terrain,
// walls, sky, finish line, extra boxes, props), textures, the object sound
// and the three maps. Everything is computed from the centre line, so the
// road, the start grid and the maps agree.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

#include "content/archive_writer.h"
#include "content/bmp_writer.h"
#include "content/jpeg_writer.h"
#include "content/lwo2_writer.h"
#include "content/lws_writer.h"
#include "content/pcx_writer.h"
#include "content/wav_writer.h"
#include "foundation/archive_file.h"
#include "tools/sample_data/sample_sources.h"
#include "tools/sample_data/track_samples.h"

namespace track0 {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kCentreX = 10.0, kCentreZ = 40.0, kRadius = 150.0, kWobble = 0.15;

// Geom types of the scene's physics objects.
constexpr int kGeomBox = 1, kGeomTriMesh = 3;

}  // namespace

Point2 centreAt(double f) {
  const double a = kTwoPi * f;
  const double r = kRadius * (1.0 + kWobble * std::sin(3.0 * a));
  return {static_cast<float>(kCentreX + r * std::cos(a)), static_cast<float>(kCentreZ + r * std::sin(a))};
}

Point2 directionAt(double f) {
  const double a = kTwoPi * f;
  const double r = 1.0 + kWobble * std::sin(3.0 * a), dr = 3.0 * kWobble * std::cos(3.0 * a);
  const double dx = dr * std::cos(a) - r * std::sin(a), dz = dr * std::sin(a) + r * std::cos(a);
  const double length = std::hypot(dx, dz);
  return {static_cast<float>(dx / length), static_cast<float>(dz / length)};
}

float headingAt(double f) {
  const Point2 d = directionAt(f);
  return std::atan2(d.x, d.z);
}

double fractionAlong(double f, double metres) {
  // Small steps along the curve; the road's curvature is gentle.
  const double step = metres < 0 ? -1e-4 : 1e-4;
  double walked = 0.0;
  while (std::fabs(walked) < std::fabs(metres)) {
    const Point2 a = centreAt(f), b = centreAt(f + step);
    walked += std::hypot(b.x - a.x, b.z - a.z);
    f += step;
  }
  return f;
}

int mapColumn(float x) {
  const float u = (x - kMinX) / (kMaxX - kMinX) * kMapSize;
  return std::clamp(static_cast<int>(u), 0, kMapSize - 1);
}

int mapRow(float z) {
  const float v = kMapSize - (z - kMinZ) / (kMaxZ - kMinZ) * kMapSize;
  return std::clamp(static_cast<int>(v), 0, kMapSize - 1);
}

namespace {

constexpr int kSegments = 192;
constexpr double kPixelWidth = (kMaxX - kMinX) / kMapSize, kPixelDepth = (kMaxZ - kMinZ) / kMapSize;

// Per pixel of the maps: the lap fraction of the nearest centre-line point
// and the distance to it (large when no segment comes near).
struct Nearest {
  std::vector<float> fraction, distance;
};

Nearest nearestCentre() {
  Nearest n;
  n.fraction.assign(kMapSize * kMapSize, 0.0f);
  n.distance.assign(kMapSize * kMapSize, 1e9f);
  constexpr int kFine = kSegments * 4;
  const float reach = kGroundHalfWidth + 2.0f;
  for (int s = 0; s < kFine; ++s) {
    const double f0 = static_cast<double>(s) / kFine, f1 = static_cast<double>(s + 1) / kFine;
    const Point2 a = centreAt(f0), b = centreAt(f1);
    const int c0 = mapColumn(std::min(a.x, b.x) - reach), c1 = mapColumn(std::max(a.x, b.x) + reach);
    const int r0 = mapRow(std::max(a.z, b.z) + reach), r1 = mapRow(std::min(a.z, b.z) - reach);
    const float ex = b.x - a.x, ez = b.z - a.z, length2 = ex * ex + ez * ez;
    for (int row = r0; row <= r1; ++row) {
      const float z = static_cast<float>(kMaxZ - (row + 0.5) * kPixelDepth);
      for (int column = c0; column <= c1; ++column) {
        const float x = static_cast<float>(kMinX + (column + 0.5) * kPixelWidth);
        const float t = std::clamp(((x - a.x) * ex + (z - a.z) * ez) / length2, 0.0f, 1.0f);
        const float d = std::hypot(x - (a.x + t * ex), z - (a.z + t * ez));
        const int i = row * kMapSize + column;
        if (d < n.distance[i]) {
          n.distance[i] = d;
          n.fraction[i] = static_cast<float>(f0 + t * (f1 - f0));
        }
      }
    }
  }
  return n;
}

std::vector<std::uint8_t> positionValues(const Nearest& n) {
  std::vector<std::uint8_t> values(n.fraction.size(), 0);
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (n.distance[i] > kGroundHalfWidth) continue;
    const int v = 1 + static_cast<int>(n.fraction[i] * 255.0f);
    values[i] = static_cast<std::uint8_t>(std::clamp(v, 1, 255));
  }
  return values;
}

}  // namespace

std::vector<std::uint8_t> positionMap() { return positionValues(nearestCentre()); }

namespace {

// ---- pictures ----------------------------------------------------------------

// A fixed pseudo-random sequence, so every run writes the same bytes.
struct Noise {
  std::uint32_t state = 0x2545F491u;
  int next(int range) {
    state = state * 1664525u + 1013904223u;
    return static_cast<int>((state >> 16) % static_cast<std::uint32_t>(range));
  }
};

std::uint32_t rgb(int r, int g, int b) {
  return static_cast<std::uint32_t>(std::clamp(r, 0, 255) << 16 | std::clamp(g, 0, 255) << 8 | std::clamp(b, 0, 255));
}

std::vector<std::uint32_t> speckled(int side, int r, int g, int b, int spread, std::uint32_t seed) {
  Noise noise{seed};
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(side * side));
  for (auto& p : pixels) {
    const int d = noise.next(2 * spread + 1) - spread;
    p = rgb(r + d, g + d, b + d);
  }
  return pixels;
}

std::vector<std::uint32_t> roadPixels() {
  auto pixels = speckled(128, 92, 90, 88, 10, 7u);
  // White edge lines near u = 0 and u = 1.
  for (int y = 0; y < 128; ++y)
    for (int x : {3, 4, 123, 124}) pixels[y * 128 + x] = rgb(230, 230, 225);
  return pixels;
}

std::vector<std::uint32_t> wallPixels() {
  std::vector<std::uint32_t> pixels(64 * 64);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) pixels[y * 64 + x] = ((y / 8) % 2 == 0) ? rgb(150, 110, 70) : rgb(120, 85, 55);
  return pixels;
}

std::vector<std::uint32_t> checkerPixels(int side, int cell, std::uint32_t a, std::uint32_t b) {
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(side * side));
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) pixels[y * side + x] = ((x / cell + y / cell) % 2 == 0) ? a : b;
  return pixels;
}

// ---- objects -----------------------------------------------------------------

struct Vertex {
  std::array<float, 3> p;
  float u = 0, v = 0;
};

// One LWO2 layer: points with UVs, quads, a surface per quad.
struct Mesh {
  std::vector<Vertex> vertices;
  std::vector<std::vector<std::uint32_t>> faces;
  std::vector<std::uint16_t> faceSurfaces;

  std::uint32_t add(float x, float y, float z, float u = 0, float v = 0) {
    vertices.push_back({{x, y, z}, u, v});
    return static_cast<std::uint32_t>(vertices.size() - 1);
  }
  // A quad whose front (the side its points run clockwise on, seen in
  // the engine's left-handed view) faces along `facing`.
  void quad(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d, std::array<float, 3> facing,
            std::uint16_t surface = 0) {
    const auto& pa = vertices[a].p;
    const auto& pb = vertices[b].p;
    const auto& pc = vertices[c].p;
    const float e1[3] = {pb[0] - pa[0], pb[1] - pa[1], pb[2] - pa[2]};
    const float e2[3] = {pc[0] - pa[0], pc[1] - pa[1], pc[2] - pa[2]};
    const float n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
    if (n[0] * facing[0] + n[1] * facing[1] + n[2] * facing[2] >= 0)
      faces.push_back({a, b, c, d});
    else
      faces.push_back({d, c, b, a});
    faceSurfaces.push_back(surface);
  }
  // A box of half-sizes h around c, faces outward (inward for a sky box).
  void box(std::array<float, 3> c, std::array<float, 3> h, bool inward = false, std::uint16_t surface = 0) {
    for (int axis = 0; axis < 3; ++axis) {
      for (int sign : {-1, 1}) {
        const int i = (axis + 1) % 3, j = (axis + 2) % 3;
        std::uint32_t corner[4];
        const int us[4] = {-1, 1, 1, -1}, vs[4] = {-1, -1, 1, 1};
        for (int k = 0; k < 4; ++k) {
          std::array<float, 3> p = c;
          p[axis] += sign * h[axis];
          p[i] += us[k] * h[i];
          p[j] += vs[k] * h[j];
          corner[k] = add(p[0], p[1], p[2], (us[k] + 1) * 0.5f, (vs[k] + 1) * 0.5f);
        }
        std::array<float, 3> facing{0, 0, 0};
        facing[axis] = static_cast<float>(inward ? -sign : sign);
        quad(corner[0], corner[1], corner[2], corner[3], facing, surface);
      }
    }
  }
};

struct SurfaceLook {
  std::string name;
  std::array<float, 3> colour{1, 1, 1};
  int clip = 0;  // 0: untextured
  bool unlit = false;
  float reflection = 0.0f;
};

std::vector<std::uint8_t> objectBytes(const Mesh& mesh, const std::vector<SurfaceLook>& surfaces,
                                      const std::vector<std::pair<int, std::string>>& clips) {
  lwo2::Writer w;
  std::vector<std::string> names;
  for (const SurfaceLook& s : surfaces) names.push_back(s.name);
  w.tags(names);
  w.layer(0);
  std::vector<std::array<float, 3>> points;
  std::vector<std::pair<std::uint32_t, std::vector<float>>> uvs;
  for (std::size_t i = 0; i < mesh.vertices.size(); ++i) {
    points.push_back(mesh.vertices[i].p);
    uvs.push_back({static_cast<std::uint32_t>(i), {mesh.vertices[i].u, mesh.vertices[i].v}});
  }
  w.points(points);
  w.vertexMap("TXUV", "uv", uvs);
  w.polygons(mesh.faces);
  std::vector<std::pair<std::uint32_t, std::uint16_t>> tags;
  for (std::size_t i = 0; i < mesh.faceSurfaces.size(); ++i)
    tags.push_back({static_cast<std::uint32_t>(i), mesh.faceSurfaces[i]});
  w.polygonSurfaces(tags);
  for (const auto& [index, path] : clips) w.stillClip(static_cast<std::uint32_t>(index), path);
  for (const SurfaceLook& s : surfaces) {
    lwo2::Surface surface(s.name);
    surface.colour(s.colour[0], s.colour[1], s.colour[2]);
    surface.value("DIFF", s.unlit ? 0.0f : 1.0f).value("LUMI", s.unlit ? 1.0f : 0.0f);
    if (s.reflection > 0) surface.value("REFL", s.reflection).u2("RFOP", 0);
    if (s.clip) {
      lwo2::Block block;
      block.clip = s.clip;
      block.projection = 5;  // UV
      block.vertexMap = "uv";
      surface.block(block);
    }
    w.surface(surface);
  }
  return w.bytes();
}

// Road (and shoulders) as one strip along the centre line; u across, v
// along in 8 m repeats. The seam gets its own row so v need not wrap.
Mesh roadMesh() {
  Mesh m;
  for (int s = 0; s <= kSegments; ++s) {
    const double f = static_cast<double>(s) / kSegments;
    const Point2 c = centreAt(f), d = directionAt(f);
    const float nx = d.z, nz = -d.x;  // to the right of the driving direction
    const float v = static_cast<float>(s) * 120.0f / kSegments;
    m.add(c.x - nx * kGroundHalfWidth, 0.0f, c.z - nz * kGroundHalfWidth, 0.0f, v);
    m.add(c.x + nx * kGroundHalfWidth, 0.0f, c.z + nz * kGroundHalfWidth, 1.0f, v);
  }
  for (std::uint32_t s = 0; s < kSegments; ++s) m.quad(2 * s, 2 * s + 1, 2 * s + 3, 2 * s + 2, {0, 1, 0});
  return m;
}

// The walls' road-facing sides, each a strip of quads at kWallOffset.
Mesh wallMesh() {
  Mesh m;
  for (int side : {-1, 1}) {
    const auto first = static_cast<std::uint32_t>(m.vertices.size());
    for (int s = 0; s <= kSegments; ++s) {
      const double f = static_cast<double>(s) / kSegments;
      const Point2 c = centreAt(f), d = directionAt(f);
      const float x = c.x + side * d.z * kWallOffset, z = c.z - side * d.x * kWallOffset;
      const float u = static_cast<float>(s) * 190.0f / kSegments;
      m.add(x, 0.0f, z, u, 1.0f);
      m.add(x, kWallHeight, z, u, 0.0f);
    }
    for (std::uint32_t s = 0; s < kSegments; ++s) {
      const double f = (s + 0.5) / kSegments;
      const Point2 d = directionAt(f);
      const std::uint32_t a = first + 2 * s;
      // Toward the road: against the side's own offset.
      m.quad(a, a + 1, a + 3, a + 2, {-side * d.z, 0, side * d.x});
    }
  }
  return m;
}

// Grass around the track, a grid so that fog falls off smoothly over it.
Mesh terrainMesh() {
  Mesh m;
  constexpr int kCells = 24;
  constexpr float kLow = -420.0f, kHigh = 460.0f, kCell = (kHigh - kLow) / kCells;
  for (int j = 0; j <= kCells; ++j)
    for (int i = 0; i <= kCells; ++i)
      m.add(kLow + i * kCell, -0.05f, kLow + j * kCell, static_cast<float>(i) * 8.0f, static_cast<float>(j) * 8.0f);
  for (std::uint32_t j = 0; j < kCells; ++j)
    for (std::uint32_t i = 0; i < kCells; ++i) {
      const std::uint32_t a = j * (kCells + 1) + i;
      m.quad(a, a + 1, a + kCells + 2, a + kCells + 1, {0, 1, 0});
    }
  return m;
}

// ---- the scene ---------------------------------------------------------------

const std::string kObjects = "D:\\Tamberlok/3dobjects_tracks/";
const std::string kProps = "D:\\Tamberlok/3dobjects_props/";
const std::string kTextures = "D:/Tamberlok/textures_tracks/";
const std::string kFireSound = "D:\\Tamberlok\\soundfx\\lagerfeuer.wav";

lws::Motion placed(double f, float lateral, float y, float pitch = 0.0f) {
  const Point2 c = centreAt(f), d = directionAt(f);
  lws::Motion m = lws::still(c.x + d.z * lateral, y, c.z - d.x * lateral);
  m[3] = headingAt(f);
  m[4] = pitch;
  return m;
}

std::string sceneText() {
  lws::SceneWriter w;
  w.timing(0, 300, 30);
  w.ambient({1.0f, 1.0f, 1.0f}, 0.35f);
  std::vector<lws::Space> spaces = {{"(default)", 1}, {"ground", 1},    {"reserved", 0}, {"kart rays", 0},
                                    {"karts", 0},     {"obstacles", 0}, {"rockets", 0},  {"weapons", 0},
                                    {"effects", 0},   {"walls", 1},     {"markers", 0},  {"fall zones", 0}};
  w.odeMaster(spaces);

  w.loadObjectLayer(1, kObjects + "track_01_road.lwo");
  w.motion("ObjectMotion", lws::still());
  w.entry("UnaffectedByFog", {0});
  w.geom({kGeomTriMesh, kGroundKind, kGroundSpace, {1, 1, 1}, 0});

  w.loadObjectLayer(1, kObjects + "track_01_terrain.lwo");
  w.motion("ObjectMotion", lws::still());
  w.entry("UnaffectedByFog", {0});
  w.geom({kGeomTriMesh, kTerrainKind, kGroundSpace, {1, 1, 1}, 0});

  w.loadObjectLayer(1, kObjects + "track_01_walls.lwo");
  w.motion("ObjectMotion", lws::still());
  w.entry("UnaffectedByFog", {0});
  w.geom({kGeomTriMesh, kWallKind, kWallSpace, {1, 1, 1}, 0});

  // The sky: drawn without fog, it is what the top of the view shows.
  w.loadObjectLayer(1, kObjects + "track_01_sky.lwo");
  w.motion("ObjectMotion", lws::still());
  w.entry("UnaffectedByFog", {1});

  // The finish line: a painted stripe, and a box across the road that the
  // karts' collision boxes pass through. It keeps 0.5 from the walls.
  w.loadObjectLayer(1, kObjects + "track_01_finish.lwo");
  w.motion("ObjectMotion", placed(0.0, 0.0f, 0.0f));
  w.entry("UnaffectedByFog", {0});
  w.geom({kGeomBox, kFinishKind, kMarkerSpace, {2.0f * (kWallOffset - 0.5f), 3.0f, 0.5f}, 0});

  for (int i = 0; i < 3; ++i) {
    w.loadObjectLayer(1, kExtraBoxObject);
    w.motion("ObjectMotion", placed(0.3, -3.0f + 3.0f * i, 0.8f));
    w.entry("UnaffectedByFog", {0});
    w.geom({kGeomBox, kExtraKind, kMarkerSpace, {1, 1, 1}, 0});
  }

  w.addNullObject("fall_zone");
  w.motion("ObjectMotion", lws::still(10.0f, -30.0f, 40.0f));
  w.geom({kGeomBox, kFallKind, kFallSpace, {900, 2, 900}, 0});

  // A crate on the roadside that karts can push.
  w.loadObjectLayer(1, kProps + "kiste.lwo");
  w.motion("ObjectMotion", placed(0.12, 4.0f, 0.6f));
  w.entry("UnaffectedByFog", {0});
  w.geom({kGeomBox, kObstacleKind, kObstacleSpace, {1.2f, 1.2f, 1.2f}, 0});
  w.body({1, 30.0, {1.2f, 1.2f, 1.2f}, 1});

  // An ice pond beyond the wall, a mirror floor.
  w.loadObjectLayer(1, kProps + "eisflaeche.lwo");
  w.motion("ObjectMotion", placed(0.55, -20.0f, 0.02f));
  w.entry("UnaffectedByFog", {0});

  // A camp fire with its crackle.
  w.loadObjectLayer(1, kProps + "lagerfeuer.lwo");
  w.motion("ObjectMotion", placed(0.62, 12.0f, 0.0f));
  w.entry("UnaffectedByFog", {0});
  w.sound(kFireSound);

  // The start grid: two columns, rows 4 m apart behind the line.
  for (int slot = 0; slot < kStartCount; ++slot) {
    w.addNullObject("start");
    const double f = fractionAlong(0.0, -4.0 * (slot / 2 + 1));
    w.motion("ObjectMotion", placed(f, slot % 2 == 0 ? -2.5f : 2.5f, 0.5f));
  }

  lws::Light sun;
  sun.name = "Sonne";
  sun.type = 0;
  sun.colour = {1.0f, 0.96f, 0.88f};
  sun.intensity = 0.9f;
  sun.motion = lws::still(0, 100, 0);
  sun.motion[3] = 0.6f;
  sun.motion[4] = 0.9f;
  w.light(sun);
  lws::Light fire;
  fire.name = "Feuerschein";
  fire.type = 1;
  fire.colour = {1.0f, 0.6f, 0.3f};
  fire.intensity = 0.8f;
  const Point2 firePlace = centreAt(0.62);
  fire.motion = lws::still(firePlace.x, 2.0f, firePlace.z);
  w.light(fire);

  lws::Camera camera;
  camera.name = "TrackCamera";
  const double behind = fractionAlong(0.0, -24.0);
  camera.motion = placed(behind, 0.0f, 3.5f, 8.0f * static_cast<float>(std::numbers::pi) / 180.0f);
  w.camera(camera);

  w.entry("FogType", {1});
  w.entry("FogMinDistance", {40});
  w.entry("FogMaxDistance", {200});
  w.entry("FogColor", {0.72, 0.76, 0.80});
  w.entry("BackdropColor", {0.36, 0.55, 0.82});
  return w.text();
}

std::vector<std::uint8_t> pcx(const std::vector<std::uint8_t>& values) {
  std::vector<std::uint32_t> grey(256);
  for (int i = 0; i < 256; ++i) grey[i] = rgb(i, i, i);
  return writePcx8(kMapSize, kMapSize, values, grey);
}

// Stored under the name the game asks for, '/' turned into '\\'.
struct Entries {
  ArchiveWriter& writer;
  bool ok = true;
  void add(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    ok = ok && !bytes.empty() && writer.add(toArchiveName(name.c_str()), bytes);
  }
};

}  // namespace

}  // namespace track0

bool addTrackSamples(ArchiveWriter& writer) {
  using namespace track0;
  Entries out{writer};
  const std::string scene = sceneText();
  out.add(kSceneFile, std::vector<std::uint8_t>(scene.begin(), scene.end()));

  const std::string road = kTextures + "strasse_steinzeit.jpg";
  const std::string grass = kTextures + "gras_steinzeit.bmp";
  const std::string wall = kTextures + "fels_steinzeit_nodxt.bmp";
  const std::string finish = kTextures + "ziellinie.bmp";
  const std::string extra = "D:/Tamberlok/textures_props/extra_addon.bmp";
  out.add(road, writeJpegRgb(128, 128, roadPixels(), {}));
  out.add(grass, writeBmp24(64, 64, speckled(64, 62, 128, 50, 14, 11u)));
  out.add(wall, writeBmp24(64, 64, wallPixels()));
  out.add(finish, writeBmp24(32, 32, checkerPixels(32, 8, rgb(240, 240, 240), rgb(20, 20, 20))));
  out.add(extra, writeBmp24(32, 32, checkerPixels(32, 16, rgb(250, 200, 30), rgb(220, 60, 30))));

  out.add(kObjects + "track_01_road.lwo", objectBytes(roadMesh(), {{"Strasse", {1, 1, 1}, 1}}, {{1, road}}));
  out.add(kObjects + "track_01_terrain.lwo", objectBytes(terrainMesh(), {{"Gras", {1, 1, 1}, 1}}, {{1, grass}}));
  out.add(kObjects + "track_01_walls.lwo", objectBytes(wallMesh(), {{"Fels", {1, 1, 1}, 1}}, {{1, wall}}));
  Mesh sky;
  sky.box({20, 0, 40}, {600, 300, 600}, true);
  out.add(kObjects + "track_01_sky.lwo", objectBytes(sky, {{"Himmel", {0.36f, 0.55f, 0.82f}, 0, true}}, {}));
  Mesh stripe;
  stripe.quad(stripe.add(-kRoadHalfWidth, 0.02f, -0.6f, 0, 0), stripe.add(kRoadHalfWidth, 0.02f, -0.6f, 4, 0),
              stripe.add(kRoadHalfWidth, 0.02f, 0.6f, 4, 1), stripe.add(-kRoadHalfWidth, 0.02f, 0.6f, 0, 1), {0, 1, 0});
  out.add(kObjects + "track_01_finish.lwo", objectBytes(stripe, {{"Ziel", {1, 1, 1}, 1}}, {{1, finish}}));
  Mesh cube;
  cube.box({0, 0, 0}, {0.5f, 0.5f, 0.5f});
  out.add(kExtraBoxObject, objectBytes(cube, {{"Extra", {1, 1, 1}, 1}}, {{1, extra}}));
  Mesh crate;
  crate.box({0, 0, 0}, {0.6f, 0.6f, 0.6f});
  out.add(kProps + "kiste.lwo", objectBytes(crate, {{"Holz", {0.55f, 0.38f, 0.2f}}}, {}));
  Mesh pond;
  pond.quad(pond.add(-6, 0, -6), pond.add(6, 0, -6), pond.add(6, 0, 6), pond.add(-6, 0, 6), {0, 1, 0});
  out.add(kProps + "eisflaeche.lwo", objectBytes(pond, {{"Eis", {0.7f, 0.85f, 1.0f}, 0, false, 0.6f}}, {}));
  Mesh fire;
  fire.box({0, 0.3f, 0}, {0.8f, 0.3f, 0.8f});
  out.add(kProps + "lagerfeuer.lwo", objectBytes(fire, {{"Glut", {0.9f, 0.35f, 0.1f}, 0, true}}, {}));

  // Half a second of crackle that loops without a click: it starts and
  // ends at silence.
  Noise noise{99u};
  std::vector<std::int16_t> samples(11025);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const double envelope = std::sin(std::numbers::pi * static_cast<double>(i) / static_cast<double>(samples.size()));
    samples[i] = static_cast<std::int16_t>((noise.next(2001) - 1000) * 6 * envelope);
  }
  out.add(kFireSound, writeWav(WavDescription{}, pcm16Bytes(samples)));

  // The maps, from the centre line the road was built on.
  const Nearest nearest = nearestCentre();
  const std::vector<std::uint8_t> positions = positionValues(nearest);
  std::vector<std::uint8_t> reset(positions.size());
  std::vector<std::uint32_t> light(positions.size());
  for (std::size_t i = 0; i < positions.size(); ++i) {
    // The reset map marks where a kart may be put back: the paved road.
    reset[i] = nearest.distance[i] <= kRoadHalfWidth ? 255 : 0;
    // Full light on the road (170 reads as 1.0), shade under the cliffs of
    // the back straight, brighter grass.
    const float f = nearest.fraction[i];
    const int level = positions[i] == 0 ? 200 : (f > 0.3f && f < 0.45f ? 110 : 170);
    light[i] = rgb(level, level, level - 10);
  }
  out.add(kPositionMapFile, pcx(positions));
  out.add(kResetMapFile, pcx(reset));
  out.add(kLightMapFile, writeBmp24(kMapSize, kMapSize, light));
  return out.ok;
}
