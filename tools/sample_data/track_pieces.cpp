#include "tools/sample_data/track_pieces.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "content/archive_writer.h"
#include "content/lwo2_writer.h"
#include "foundation/archive_file.h"

// ---- pictures ----------------------------------------------------------------

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

std::vector<std::uint32_t> checkerPixels(int side, int cell, std::uint32_t a, std::uint32_t b) {
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(side * side));
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) pixels[y * side + x] = ((x / cell + y / cell) % 2 == 0) ? a : b;
  return pixels;
}

std::vector<std::uint32_t> bandedPixels(int side, int band, std::uint32_t a, std::uint32_t b) {
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(side * side));
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) pixels[y * side + x] = ((y / band) % 2 == 0) ? a : b;
  return pixels;
}

std::vector<std::uint32_t> roadPixels(int r, int g, int b, std::uint32_t seed) {
  auto pixels = speckled(128, r, g, b, 10, seed);
  for (int y = 0; y < 128; ++y)
    for (int x : {3, 4, 123, 124}) pixels[y * 128 + x] = rgb(230, 230, 225);
  return pixels;
}

// ---- objects -----------------------------------------------------------------

std::uint32_t Mesh::add(float x, float y, float z, float u, float v) {
  vertices.push_back({{x, y, z}, u, v});
  return static_cast<std::uint32_t>(vertices.size() - 1);
}

namespace {

// Whether a, b, c as given face along `facing`.
bool facesAlong(const Mesh& m, std::uint32_t a, std::uint32_t b, std::uint32_t c, std::array<float, 3> facing) {
  const auto& pa = m.vertices[a].p;
  const auto& pb = m.vertices[b].p;
  const auto& pc = m.vertices[c].p;
  const float e1[3] = {pb[0] - pa[0], pb[1] - pa[1], pb[2] - pa[2]};
  const float e2[3] = {pc[0] - pa[0], pc[1] - pa[1], pc[2] - pa[2]};
  const float n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
  return n[0] * facing[0] + n[1] * facing[1] + n[2] * facing[2] >= 0;
}

}  // namespace

void Mesh::quad(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d, std::array<float, 3> facing,
                std::uint16_t surface) {
  if (facesAlong(*this, a, b, c, facing))
    faces.push_back({a, b, c, d});
  else
    faces.push_back({d, c, b, a});
  faceSurfaces.push_back(surface);
}

void Mesh::tri(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::array<float, 3> facing, std::uint16_t surface) {
  if (facesAlong(*this, a, b, c, facing))
    faces.push_back({a, b, c});
  else
    faces.push_back({c, b, a});
  faceSurfaces.push_back(surface);
}

void Mesh::box(std::array<float, 3> c, std::array<float, 3> h, bool inward, std::uint16_t surface) {
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

void Mesh::pyramid(std::array<float, 3> base, float halfWidth, float height, std::uint16_t surface) {
  const std::uint32_t top = add(base[0], base[1] + height, base[2], 0.5f, 0.0f);
  const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
  for (int k = 0; k < 4; ++k) {
    const float* p = corners[k];
    const float* q = corners[(k + 1) % 4];
    const std::uint32_t a = add(base[0] + p[0] * halfWidth, base[1], base[2] + p[1] * halfWidth, 0.0f, 1.0f);
    const std::uint32_t b = add(base[0] + q[0] * halfWidth, base[1], base[2] + q[1] * halfWidth, 1.0f, 1.0f);
    const float out[3] = {(p[0] + q[0]) * 0.5f, 0.5f, (p[1] + q[1]) * 0.5f};
    tri(a, b, top, {out[0], out[1], out[2]}, surface);
  }
}

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

// ---- along the track ---------------------------------------------------------

int roadSegment(double f) { return std::clamp(static_cast<int>(std::lround(f * kRoadSegments)), 0, kRoadSegments); }

namespace {

double segmentFraction(int s) { return static_cast<double>(s) / kRoadSegments; }

}  // namespace

Mesh roadMesh(const SampleTrack& track, int first, int last) {
  Mesh m;
  const double lap = lapLength(track);
  const float half = track.groundHalfWidth;
  for (int s = first; s <= last; ++s) {
    const double f = segmentFraction(s);
    const Point2 l = besideCentre(track, f, -half), r = besideCentre(track, f, half);
    const auto v = static_cast<float>(f * lap / 8.0);
    m.add(l.x, 0.0f, l.z, 0.0f, v);
    m.add(r.x, 0.0f, r.z, 1.0f, v);
  }
  for (std::uint32_t s = 0; s < static_cast<std::uint32_t>(last - first); ++s)
    m.quad(2 * s, 2 * s + 1, 2 * s + 3, 2 * s + 2, {0, 1, 0});
  return m;
}

Mesh wallMesh(const SampleTrack& track) {
  Mesh m;
  const double lap = lapLength(track);
  const float h = track.wallHeight;
  for (int side : {-1, 1}) {
    // Each wall is solid: its face toward the road, its top and its back,
    // so that nothing that presses through the face ends up behind it.
    const auto first = static_cast<std::uint32_t>(m.vertices.size());
    for (int s = 0; s <= kRoadSegments; ++s) {
      const double f = segmentFraction(s);
      const Point2 p = besideCentre(track, f, static_cast<float>(side) * track.wallOffset);
      const Point2 q = besideCentre(track, f, static_cast<float>(side) * (track.wallOffset + kWallThickness));
      const auto u = static_cast<float>(f * lap / 5.0);
      m.add(p.x, 0.0f, p.z, u, 1.0f);
      m.add(p.x, h, p.z, u, 0.0f);
      m.add(q.x, h, q.z, u, 0.2f);
      m.add(q.x, 0.0f, q.z, u, 1.0f);
    }
    for (std::uint32_t s = 0; s < kRoadSegments; ++s) {
      const Point2 d = directionAt(track, (s + 0.5) / kRoadSegments);
      const std::array<float, 3> toRoad{-side * d.z, 0, side * d.x};
      const std::uint32_t a = first + 4 * s, b = a + 4;
      m.quad(a, a + 1, b + 1, b, toRoad);
      m.quad(a + 1, a + 2, b + 2, b + 1, {0, 1, 0});
      m.quad(a + 2, a + 3, b + 3, b + 2, {-toRoad[0], 0, -toRoad[2]});
    }
  }
  return m;
}

namespace {

// Distances beyond the road's outer edge at which the open ground gets a
// ring of points, so that fog falls off smoothly over it.
constexpr float kOuterRings[] = {0.0f, 12.0f, 30.0f, 60.0f, 110.0f, 180.0f, 270.0f, 380.0f};

}  // namespace

float groundReach(const SampleTrack& track) {
  float reach = 0.0f;
  for (int s = 0; s < kRoadSegments; ++s) {
    const Point2 p = besideCentre(track, segmentFraction(s), track.groundHalfWidth);
    reach = std::max(reach, static_cast<float>(std::hypot(p.x - track.hub.x, p.z - track.hub.z)));
  }
  return reach + kOuterRings[std::size(kOuterRings) - 1];
}

Mesh groundMesh(const SampleTrack& track, float height) {
  Mesh m;
  const auto hx = static_cast<float>(track.hub.x), hz = static_cast<float>(track.hub.z);
  auto vertex = [&](float x, float z) { return m.add(x, height, z, x / 8.0f, z / 8.0f); };
  constexpr int kInnerRings = 4;
  const std::uint32_t hub = vertex(hx, hz);
  // Inside the loop: rings from the hub out to the road's left edge.
  const auto innerFirst = static_cast<std::uint32_t>(m.vertices.size());
  for (int s = 0; s <= kRoadSegments; ++s) {
    const Point2 edge = besideCentre(track, segmentFraction(s), -track.groundHalfWidth);
    for (int k = 1; k <= kInnerRings; ++k) {
      const float t = static_cast<float>(k) / kInnerRings;
      vertex(hx + (edge.x - hx) * t, hz + (edge.z - hz) * t);
    }
  }
  for (std::uint32_t s = 0; s < kRoadSegments; ++s) {
    const std::uint32_t a = innerFirst + s * kInnerRings, b = a + kInnerRings;
    m.tri(hub, a, b, {0, 1, 0});
    for (std::uint32_t k = 0; k + 1 < kInnerRings; ++k) m.quad(a + k, a + k + 1, b + k + 1, b + k, {0, 1, 0});
  }
  // Outside: rings from the right edge outward, away from the hub.
  constexpr auto kOuter = static_cast<std::uint32_t>(std::size(kOuterRings));
  const auto outerFirst = static_cast<std::uint32_t>(m.vertices.size());
  for (int s = 0; s <= kRoadSegments; ++s) {
    const Point2 edge = besideCentre(track, segmentFraction(s), track.groundHalfWidth);
    const float dx = edge.x - hx, dz = edge.z - hz, length = std::hypot(dx, dz);
    for (float out : kOuterRings) vertex(edge.x + dx / length * out, edge.z + dz / length * out);
  }
  for (std::uint32_t s = 0; s < kRoadSegments; ++s) {
    const std::uint32_t a = outerFirst + s * kOuter, b = a + kOuter;
    for (std::uint32_t k = 0; k + 1 < kOuter; ++k) m.quad(a + k, a + k + 1, b + k + 1, b + k, {0, 1, 0});
  }
  return m;
}

// ---- the scene ---------------------------------------------------------------

lws::Motion placedOn(const SampleTrack& track, double f, float lateral, float y, float pitch) {
  const Point2 p = besideCentre(track, f, lateral);
  lws::Motion m = lws::still(p.x, y, p.z);
  m[3] = headingAt(track, f);
  m[4] = pitch;
  return m;
}

void writeTrackSpaces(lws::SceneWriter& w) {
  w.odeMaster({{"(default)", 1},
               {"ground", 1},
               {"reserved", 0},
               {"kart rays", 0},
               {"karts", 0},
               {"obstacles", 0},
               {"rockets", 0},
               {"weapons", 0},
               {"effects", 0},
               {"walls", 1},
               {"markers", 0},
               {"fall zones", 0}});
}

void writeTrackObject(lws::SceneWriter& w, const std::string& file, const lws::Motion& motion, int kind, int space,
                      int geomType, std::array<float, 3> geomSize) {
  w.loadObjectLayer(1, file);
  w.motion("ObjectMotion", motion);
  w.entry("UnaffectedByFog", {0});
  if (kind >= 0) w.geom({geomType, kind, space, geomSize, 0});
}

void writeStartGrid(lws::SceneWriter& w, const SampleTrack& track) {
  for (int slot = 0; slot < kStartCount; ++slot) {
    w.addNullObject("start");
    const int perRow = std::clamp(track.gridPerRow, 1, 2);
    const double f = fractionAlong(track, 0.0, -track.gridRowGap * (slot / perRow + 1));
    w.motion("ObjectMotion", placedOn(track, f, track.gridColumns[slot % perRow], 0.5f));
  }
}

void writeFinishLine(lws::SceneWriter& w, const SampleTrack& track, const std::string& stripeFile) {
  writeTrackObject(w, stripeFile, placedOn(track, 0.0, 0.0f, 0.0f), kSurfaceCheckpoint, kSpaceMarkers, kBoxGeom,
                   {2.0f * (track.wallOffset - 0.5f), 3.0f, 0.5f});
}

void writeExtraBoxes(lws::SceneWriter& w, const SampleTrack& track, double f) {
  for (int i = 0; i < 3; ++i)
    writeTrackObject(w, kExtraBoxObject, placedOn(track, f, -3.0f + 3.0f * i, 0.5f), kSurfaceExtraBox, kSpaceMarkers,
                     kBoxGeom, {1, 1, 1});
}

void writeSun(lws::SceneWriter& w, const TrackSky& sky) {
  lws::Light sun;
  sun.name = "Sonne";
  sun.type = 0;
  sun.colour = sky.sunColour;
  sun.intensity = 0.9f;
  sun.motion = lws::still(0, 100, 0);
  sun.motion[3] = 0.6f;
  sun.motion[4] = 0.9f;
  w.light(sun);
}

void writeCameraAndFog(lws::SceneWriter& w, const SampleTrack& track, const TrackSky& sky) {
  lws::Camera camera;
  camera.name = "TrackCamera";
  const double behind = fractionAlong(track, 0.0, -24.0);
  camera.motion = placedOn(track, behind, 0.0f, 3.5f, 8.0f * static_cast<float>(std::numbers::pi) / 180.0f);
  w.camera(camera);
  w.entry("FogType", {1});
  w.entry("FogMinDistance", {sky.fogFrom});
  w.entry("FogMaxDistance", {sky.fogTo});
  w.entry("FogColor", {sky.fog[0], sky.fog[1], sky.fog[2]});
  w.entry("BackdropColor", {sky.backdrop[0], sky.backdrop[1], sky.backdrop[2]});
}

void Entries::add(const std::string& name, const std::vector<std::uint8_t>& bytes) {
  ok = ok && !bytes.empty() && writer.add(toArchiveName(name.c_str()), bytes);
}

void Entries::add(const std::string& name, const std::string& text) {
  add(name, std::vector<std::uint8_t>(text.begin(), text.end()));
}

void addTrackBasics(Entries& out, lws::SceneWriter& w, const SampleTrack& track, const TrackTextures& textures,
                    const TrackSky& sky, const std::vector<RoadPiece>& roadPieces) {
  const std::string prefix = kTrackObjects + "track_" + track.number + "_";
  // The road: kind 0 where no piece lies, each piece an object of its own
  // kind; the pieces never overlap the rest, so a ray meets one of them.
  std::vector<std::pair<int, int>> pieces;
  for (const RoadPiece& p : roadPieces) pieces.push_back({roadSegment(p.from), roadSegment(p.to)});
  std::vector<std::pair<int, int>> plain;
  int at = 0;
  for (const auto& [first, last] : pieces) {
    if (first > at) plain.push_back({at, first});
    at = std::max(at, last);
  }
  if (at < kRoadSegments) plain.push_back({at, kRoadSegments});
  Mesh road;
  for (const auto& [first, last] : plain) {
    const Mesh part = roadMesh(track, first, last);
    const auto base = static_cast<std::uint32_t>(road.vertices.size());
    road.vertices.insert(road.vertices.end(), part.vertices.begin(), part.vertices.end());
    for (auto face : part.faces) {
      for (auto& index : face) index += base;
      road.faces.push_back(face);
      road.faceSurfaces.push_back(0);
    }
  }
  out.add(prefix + "road.lwo", objectBytes(road, {{"Strasse", {1, 1, 1}, 1}}, {{1, textures.road}}));
  writeTrackObject(w, prefix + "road.lwo", lws::still(), track.roadKind, kSpaceGround);
  for (std::size_t i = 0; i < roadPieces.size(); ++i) {
    const std::string file = prefix + "ground_" + std::to_string(i + 1) + ".lwo";
    const RoadPiece& piece = roadPieces[i];
    out.add(file, objectBytes(roadMesh(track, pieces[i].first, pieces[i].second), {{piece.surface, {1, 1, 1}, 1}},
                              {{1, piece.texture}}));
    writeTrackObject(w, file, lws::still(), piece.kind, kSpaceGround);
  }

  out.add(prefix + "terrain.lwo",
          objectBytes(groundMesh(track, -0.05f), {{"Boden", {1, 1, 1}, 1}}, {{1, textures.ground}}));
  writeTrackObject(w, prefix + "terrain.lwo", lws::still(), kSurfaceSlidingGround, kSpaceGround);

  out.add(prefix + "walls.lwo", objectBytes(wallMesh(track), {{"Mauer", {1, 1, 1}, 1}}, {{1, textures.wall}}));
  writeTrackObject(w, prefix + "walls.lwo", lws::still(), kSurfaceWall, kSpaceWalls);

  // The sky: drawn without fog, it is what the top of the view shows.
  Mesh skyBox;
  const float reach = groundReach(track) + 50.0f;
  skyBox.box({static_cast<float>(track.hub.x), 0, static_cast<float>(track.hub.z)}, {reach, 300, reach}, true);
  out.add(prefix + "sky.lwo", objectBytes(skyBox, {{"Himmel", sky.backdrop, 0, true}}));
  w.loadObjectLayer(1, prefix + "sky.lwo");
  w.motion("ObjectMotion", lws::still());
  w.entry("UnaffectedByFog", {1});

  Mesh stripe;
  const float h = track.roadHalfWidth;
  stripe.quad(stripe.add(-h, 0.02f, -0.6f, 0, 0), stripe.add(h, 0.02f, -0.6f, 4, 0), stripe.add(h, 0.02f, 0.6f, 4, 1),
              stripe.add(-h, 0.02f, 0.6f, 0, 1), {0, 1, 0});
  const std::string finishTexture = kTrackTextures + "ziellinie.bmp";
  out.add(prefix + "finish.lwo", objectBytes(stripe, {{"Ziel", {1, 1, 1}, 1}}, {{1, finishTexture}}));
  writeFinishLine(w, track, prefix + "finish.lwo");
}
