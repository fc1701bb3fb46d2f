#include "content/lwo2_mesh.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "content/lwo2_writer.h"

namespace lwo2 {

namespace {

constexpr float kTwoPi = 2.0f * std::numbers::pi_v<float>;

Vec3 centroid(const std::vector<Vec3>& all, const std::vector<std::uint32_t>& points) {
  Vec3 c{0, 0, 0};
  for (std::uint32_t i : points)
    for (int a = 0; a < 3; ++a) c[a] += all[i][a];
  for (float& v : c) v /= static_cast<float>(points.size());
  return c;
}

Vec3 minus(Vec3 a, Vec3 b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }

// A point at `along` on `axis` and on a circle of `radius` around it.
Vec3 onCircle(Vec3 centre, int axis, float along, float radius, float angle) {
  Vec3 p = centre;
  p[axis] += along;
  p[(axis + 1) % 3] += radius * std::cos(angle);
  p[(axis + 2) % 3] += radius * std::sin(angle);
  return p;
}

}  // namespace

std::uint32_t Mesh::point(Vec3 p) {
  m_points.push_back(p);
  return static_cast<std::uint32_t>(m_points.size() - 1);
}

Vec3 polygonNormal(const Mesh& mesh, const MeshPolygon& polygon) {
  Vec3 n{0, 0, 0};
  const auto& p = mesh.points();
  const std::size_t count = polygon.points.size();
  for (std::size_t i = 0; i < count; ++i) {
    const Vec3& a = p[polygon.points[i]];
    const Vec3& b = p[polygon.points[(i + 1) % count]];
    n[0] += (a[1] - b[1]) * (a[2] + b[2]);
    n[1] += (a[2] - b[2]) * (a[0] + b[0]);
    n[2] += (a[0] - b[0]) * (a[1] + b[1]);
  }
  // For a triangle this is (b - a) x (c - a): with the engine's left-handed
  // axes it points to the side from which the points run clockwise.
  return n;
}

void Mesh::polygon(std::vector<std::uint32_t> points, Vec3 facing, std::uint16_t surface) {
  MeshPolygon p{std::move(points), surface};
  const Vec3 n = polygonNormal(*this, p);
  if (n[0] * facing[0] + n[1] * facing[1] + n[2] * facing[2] < 0.0f) std::reverse(p.points.begin(), p.points.end());
  m_polygons.push_back(std::move(p));
}

void Mesh::hexahedron(const std::array<Vec3, 8>& corners, std::uint16_t surface) {
  std::vector<std::uint32_t> ids;
  for (const Vec3& c : corners) ids.push_back(point(c));
  const Vec3 middle = centroid(m_points, ids);
  auto face = [&](std::vector<std::uint32_t> f) {
    const Vec3 out = minus(centroid(m_points, f), middle);
    polygon(std::move(f), out, surface);
  };
  face({ids[0], ids[1], ids[2], ids[3]});
  face({ids[4], ids[5], ids[6], ids[7]});
  for (int i = 0; i < 4; ++i) {
    const int j = (i + 1) % 4;
    face({ids[i], ids[j], ids[4 + j], ids[4 + i]});
  }
}

void Mesh::box(Vec3 c, Vec3 h, std::uint16_t surface) {
  const float x0 = c[0] - h[0], x1 = c[0] + h[0], y0 = c[1] - h[1], y1 = c[1] + h[1], z0 = c[2] - h[2],
              z1 = c[2] + h[2];
  hexahedron({Vec3{x0, y0, z0},
              {x1, y0, z0},
              {x1, y0, z1},
              {x0, y0, z1},
              {x0, y1, z0},
              {x1, y1, z0},
              {x1, y1, z1},
              {x0, y1, z1}},
             surface);
}

void Mesh::cylinder(Vec3 centre, int axis, float radius, float halfLength, int sides, std::uint16_t side,
                    std::uint16_t caps) {
  sides = std::max(sides, 3);
  const std::uint32_t first = pointCount();
  for (int end = 0; end < 2; ++end)
    for (int i = 0; i < sides; ++i)
      point(onCircle(centre, axis, end ? halfLength : -halfLength, radius, kTwoPi * static_cast<float>(i) / sides));
  const auto n = static_cast<std::uint32_t>(sides);
  for (std::uint32_t i = 0; i < n; ++i) {
    const std::uint32_t j = (i + 1) % n;
    std::vector<std::uint32_t> quad = {first + i, first + j, first + n + j, first + n + i};
    Vec3 out = minus(centroid(m_points, quad), centre);
    out[axis] = 0.0f;
    polygon(std::move(quad), out, side);
  }
  for (int end = 0; end < 2; ++end) {
    std::vector<std::uint32_t> cap;
    for (std::uint32_t i = 0; i < n; ++i) cap.push_back(first + static_cast<std::uint32_t>(end) * n + i);
    Vec3 out{0, 0, 0};
    out[axis] = end ? 1.0f : -1.0f;
    polygon(std::move(cap), out, caps);
  }
}

void Mesh::cone(Vec3 base, int axis, float radius, float height, int sides, std::uint16_t side, std::uint16_t cap) {
  sides = std::max(sides, 3);
  const std::uint32_t first = pointCount();
  for (int i = 0; i < sides; ++i) point(onCircle(base, axis, 0.0f, radius, kTwoPi * static_cast<float>(i) / sides));
  Vec3 tipAt = base;
  tipAt[axis] += height;
  const std::uint32_t tip = point(tipAt);
  Vec3 middle = base;
  middle[axis] += height / 4.0f;
  const auto n = static_cast<std::uint32_t>(sides);
  for (std::uint32_t i = 0; i < n; ++i) {
    std::vector<std::uint32_t> triangle = {first + i, first + (i + 1) % n, tip};
    const Vec3 out = minus(centroid(m_points, triangle), middle);
    polygon(std::move(triangle), out, side);
  }
  std::vector<std::uint32_t> bottom;
  for (std::uint32_t i = 0; i < n; ++i) bottom.push_back(first + i);
  Vec3 out{0, 0, 0};
  out[axis] = height < 0.0f ? 1.0f : -1.0f;
  polygon(std::move(bottom), out, cap);
}

void Mesh::ellipsoid(Vec3 c, Vec3 r, int slices, int stacks, std::uint16_t surface,
                     const std::vector<std::uint16_t>& bandSurfaces) {
  slices = std::max(slices, 3);
  stacks = std::max(stacks, 2);
  const std::uint32_t top = point({c[0], c[1] + r[1], c[2]});
  const std::uint32_t bottom = point({c[0], c[1] - r[1], c[2]});
  const std::uint32_t first = pointCount();
  for (int i = 1; i < stacks; ++i) {
    const float polar = std::numbers::pi_v<float> * static_cast<float>(i) / stacks;
    for (int j = 0; j < slices; ++j) {
      const float around = kTwoPi * static_cast<float>(j) / slices;
      point({c[0] + r[0] * std::sin(polar) * std::cos(around), c[1] + r[1] * std::cos(polar),
             c[2] + r[2] * std::sin(polar) * std::sin(around)});
    }
  }
  const auto n = static_cast<std::uint32_t>(slices);
  auto ring = [&](int i, std::uint32_t j) { return first + static_cast<std::uint32_t>(i - 1) * n + j % n; };
  auto surfaceOf = [&](std::uint32_t j) {
    return bandSurfaces.empty() ? surface : bandSurfaces[j % bandSurfaces.size()];
  };
  auto face = [&](std::vector<std::uint32_t> f, std::uint32_t j) {
    const Vec3 out = minus(centroid(m_points, f), c);
    polygon(std::move(f), out, surfaceOf(j));
  };
  for (std::uint32_t j = 0; j < n; ++j) {
    face({top, ring(1, j), ring(1, j + 1)}, j);
    for (int i = 1; i + 1 < stacks; ++i) face({ring(i, j), ring(i, j + 1), ring(i + 1, j + 1), ring(i + 1, j)}, j);
    face({bottom, ring(stacks - 1, j + 1), ring(stacks - 1, j)}, j);
  }
}

void Mesh::translate(std::uint32_t first, Vec3 by) {
  for (std::size_t i = first; i < m_points.size(); ++i)
    for (int a = 0; a < 3; ++a) m_points[i][a] += by[a];
}

void Mesh::rotate(std::uint32_t first, int axis, float radians, Vec3 about) {
  const int u = (axis + 1) % 3, v = (axis + 2) % 3;
  const float c = std::cos(radians), s = std::sin(radians);
  for (std::size_t i = first; i < m_points.size(); ++i) {
    Vec3& p = m_points[i];
    const float a = p[u] - about[u], b = p[v] - about[v];
    p[u] = about[u] + a * c - b * s;
    p[v] = about[v] + a * s + b * c;
  }
}

void Mesh::scale(std::uint32_t first, Vec3 factors, Vec3 about) {
  for (std::size_t i = first; i < m_points.size(); ++i)
    for (int a = 0; a < 3; ++a) m_points[i][a] = about[a] + (m_points[i][a] - about[a]) * factors[a];
}

Vec3 Mesh::low() const {
  if (m_points.empty()) return {0, 0, 0};
  Vec3 out = m_points.front();
  for (const Vec3& p : m_points)
    for (int a = 0; a < 3; ++a) out[a] = std::min(out[a], p[a]);
  return out;
}

Vec3 Mesh::high() const {
  if (m_points.empty()) return {0, 0, 0};
  Vec3 out = m_points.front();
  for (const Vec3& p : m_points)
    for (int a = 0; a < 3; ++a) out[a] = std::max(out[a], p[a]);
  return out;
}

std::vector<std::uint8_t> objectFile(const std::vector<Layer>& layers, const std::vector<Look>& looks) {
  Writer w;
  std::vector<std::string> names;
  for (const Look& look : looks) names.push_back(look.name);
  w.tags(names);
  for (const Layer& layer : layers) {
    w.layer(layer.number, layer.pivot, layer.name);
    if (layer.mesh.points().empty()) continue;
    w.points(layer.mesh.points());
    std::vector<std::vector<std::uint32_t>> faces;
    std::vector<std::pair<std::uint32_t, std::uint16_t>> tags;
    for (const MeshPolygon& p : layer.mesh.polygons()) {
      tags.push_back({static_cast<std::uint32_t>(faces.size()), p.surface});
      faces.push_back(p.points);
    }
    w.polygons(faces);
    w.polygonSurfaces(tags);
  }
  for (const Look& look : looks) {
    Surface s(look.name);
    s.colour(look.colour[0], look.colour[1], look.colour[2]);
    s.value("DIFF", look.diffuse).value("LUMI", look.luminosity);
    s.value("SPEC", look.specularity).value("GLOS", look.glossiness);
    if (look.transparency > 0.0f) s.value("TRAN", look.transparency);
    if (look.smoothing > 0.0f) s.smoothing(look.smoothing);
    if (look.doubleSided) s.u2("SIDE", 3);
    w.surface(s);
  }
  return w.bytes();
}

}  // namespace lwo2
