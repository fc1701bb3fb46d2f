#include "scene/triangulate.h"

#include <algorithm>
#include <cmath>

namespace {

struct Vec {
  double x, y, z;
};
Vec operator-(const Position3& a, const Position3& b) {
  return {double{a.x} - b.x, double{a.y} - b.y, double{a.z} - b.z};
}
Vec cross(const Vec& a, const Vec& b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double dot(const Vec& a, const Vec& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double component(const Vec& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }

// The polygon's normal summed over all its edges (twice its area in each
// axis plane), so that a concave polygon faces the same way whichever
// corner it starts at. For a convex polygon it points as the cross product
// at any one corner does.
Vec polygonNormal(const std::vector<Position3>& p) {
  Vec n{0.0, 0.0, 0.0};
  for (std::size_t i = 0, j = p.size() - 1; i < p.size(); j = i++) {
    const double xi = p[i].x, yi = p[i].y, zi = p[i].z, xj = p[j].x, yj = p[j].y, zj = p[j].z;
    n.x += (yj - yi) * (zj + zi);
    n.y += (zj - zi) * (xj + xi);
    n.z += (xj - xi) * (yj + yi);
  }
  return n;
}

// The corners still in the ring, linked both ways, with the reflex ones.
class Ring {
 public:
  explicit Ring(const std::vector<Position3>& corners) : m_p(corners), m_next(corners.size()), m_prev(corners.size()) {
    const int n = static_cast<int>(corners.size());
    for (int i = 0; i < n; ++i) {
      m_next[i] = (i + 1) % n;
      m_prev[i] = (i + n - 1) % n;
    }
    m_count = n;
    const Vec normal = polygonNormal(corners);
    const double ax = std::fabs(normal.x), ay = std::fabs(normal.y), az = std::fabs(normal.z);
    m_axis = (ax >= ay && ax >= az) ? 0 : (ay >= az ? 1 : 2);
    m_sign = component(normal, m_axis) > 0.0 ? 1.0 : -1.0;
    m_reflex.assign(corners.size(), false);
    for (int i = 0; i < n; ++i) m_reflex[i] = !isConvex(i);
  }

  int count() const { return m_count; }
  int next(int i) const { return m_next[i]; }
  int prev(int i) const { return m_prev[i]; }

  // Straight corners count as convex.
  bool isConvex(int tip) const {
    const Position3 &p = m_p[m_prev[tip]], &v = m_p[tip], &q = m_p[m_next[tip]];
    return m_sign * component(cross(v - p, q - p), m_axis) >= 0.0;
  }

  bool isEar(int tip) const {
    if (std::none_of(m_reflex.begin(), m_reflex.end(), [](bool r) { return r; })) return true;
    return isConvex(tip) && !containsReflex(m_prev[tip], tip, m_next[tip]);
  }

  void remove(int tip) {
    const int p = m_prev[tip], n = m_next[tip];
    m_next[p] = n;
    m_prev[n] = p;
    m_reflex[tip] = false;
    --m_count;
    for (int neighbour : {p, n}) {
      if (m_reflex[neighbour] && isConvex(neighbour)) m_reflex[neighbour] = false;
    }
  }

 private:
  bool containsReflex(int a, int b, int c) const {
    for (std::size_t i = 0; i < m_reflex.size(); ++i) {
      const int k = static_cast<int>(i);
      if (!m_reflex[i] || k == a || k == b || k == c) continue;
      const auto uvw = barycentricCoordinates(m_p[i], m_p[a], m_p[b], m_p[c]);
      if (uvw[0] >= 0.0 && uvw[1] >= 0.0 && uvw[2] >= 0.0) return true;
    }
    return false;
  }

  const std::vector<Position3>& m_p;
  std::vector<int> m_next, m_prev;
  std::vector<bool> m_reflex;  // by corner; removed corners are never reflex
  int m_count = 0;
  int m_axis = 0;
  double m_sign = 1.0;
};

}  // namespace

std::array<double, 3> barycentricCoordinates(const Position3& p, const Position3& a, const Position3& b,
                                             const Position3& c) {
  const Vec v0 = b - a, v1 = c - a, v2 = p - a;
  const double d00 = dot(v0, v0), d01 = dot(v0, v1), d11 = dot(v1, v1);
  const double d20 = dot(v2, v0), d21 = dot(v2, v1);
  const double denominator = d00 * d11 - d01 * d01;
  if (denominator == 0.0) return {-1.0, -1.0, -1.0};
  const double v = (d11 * d20 - d01 * d21) / denominator;
  const double w = (d00 * d21 - d01 * d20) / denominator;
  return {1.0 - v - w, v, w};
}

std::vector<std::array<int, 3>> triangulatePolygon(const std::vector<Position3>& corners) {
  const int n = static_cast<int>(corners.size());
  if (n < 3) return {};
  if (n == 3) return {{0, 1, 2}};
  Ring ring(corners);
  std::vector<std::array<int, 3>> triangles;
  // One walk round the ring; the tip is always the corner before the walk
  // position, so corner 0 (where the walk ends) is never clipped.
  const int first = 0;
  int position = 2;
  while (position != first) {
    const int tip = ring.prev(position);
    if (ring.count() > 3 && ring.isEar(tip)) {
      triangles.push_back({ring.prev(tip), tip, ring.next(tip)});
      ring.remove(tip);
      if (ring.prev(position) == first) position = ring.next(position);
    } else {
      position = ring.next(position);
    }
  }
  triangles.push_back({ring.prev(ring.prev(first)), ring.prev(first), first});
  if (static_cast<int>(triangles.size()) > n - 2) triangles.resize(static_cast<std::size_t>(n - 2));
  return triangles;
}
