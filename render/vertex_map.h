// Vertex maps the object loader binds to texture layers: per-point texture
// coordinates (UVMap) and colours (ColorMap), each with optional per-polygon
// values that replace a point's value on one polygon only.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/ref_counted.h"

class VertexMap : public RefCounted {
 public:
  explicit VertexMap(std::string mapName) : RefCounted(0), name(std::move(mapName)) {}
  std::string name;
};

// The values one polygon gives its points, in file order.
template <int N>
struct PolygonMapEntry {
  std::vector<std::int32_t> points;
  std::vector<std::array<float, N>> values;
};

// N floats per point: UV maps carry (u, v, w), colour maps (r, g, b, a).
template <int N>
class PointMap : public VertexMap {
 public:
  PointMap(std::string mapName, std::size_t pointCount) : VertexMap(std::move(mapName)), values(pointCount) {}

  // The value of `point` on polygon `polygon`: the polygon's own value when
  // it gives one, else the point's. Null for a point outside the map.
  const std::array<float, N>* valueFor(std::int32_t point, std::int32_t polygon) const {
    if (polygon >= 0 && static_cast<std::size_t>(polygon) < polygons.size()) {
      const PolygonMapEntry<N>& entry = polygons[static_cast<std::size_t>(polygon)];
      for (std::size_t i = 0; i < entry.points.size() && i < entry.values.size(); ++i)
        if (entry.points[i] == point) return &entry.values[i];
    }
    if (point < 0 || static_cast<std::size_t>(point) >= values.size()) return nullptr;
    return &values[static_cast<std::size_t>(point)];
  }

  std::vector<std::array<float, N>> values;
  std::vector<PolygonMapEntry<N>> polygons;  // empty until per-polygon values arrive
};

class UVMap : public PointMap<3> {
 public:
  using PointMap<3>::PointMap;
};

class ColorMap : public PointMap<4> {
 public:
  using PointMap<4>::PointMap;
  bool isRGBA = false;
};

// One weight per point, for weighting the bones of a skinned object.
class WeightMap : public PointMap<1> {
 public:
  using PointMap<1>::PointMap;
};
