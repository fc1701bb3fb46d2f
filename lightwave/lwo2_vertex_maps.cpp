// VMAP and VMAD chunks: per-point texture coordinates, colours and weights,
// and per-polygon values that replace a point's on one polygon.
#include "foundation/report.h"
#include "lightwave/lwo2_load.h"
#include "render/texture_layer.h"

namespace {

template <typename Map>
Map* adopt(std::vector<Map*>& list, Map* map) {
  map->addRef();  // the loader's reference, dropped at the end of the load
  list.push_back(map);
  return map;
}

// Weight and morph entries beyond the layer's points are reported as a
// failed check without words of its own, once per map (a damaged map may
// hold millions); an entry naming the point just past the last is dropped
// silently, like those of the other maps.
void reportPointPastCount(std::uint32_t point, std::size_t points, bool& reported) {
  if (point <= points || reported) return;
  reported = true;
  reportAssertion("point <= points");
}

}  // namespace

void readVertexMap(Lwo2Load& load, Lwo2Cursor in) {
  Lwo2Layer& layer = *load.current;
  const std::uint32_t type = in.id4();
  in.u2();  // dimension: the type says it
  const std::string name = in.s0();
  const std::size_t points = layer.points.size();
  // Entries naming a point the layer does not have are read and dropped.
  if (type == fourCC("RGB ") || type == fourCC("RGBA")) {
    const bool rgba = type == fourCC("RGBA");
    ColorMap* map = adopt(layer.colorMaps, new ColorMap(name, points));
    map->isRGBA = rgba;
    while (!in.atEnd()) {
      const std::uint32_t p = in.vx();
      const std::array<float, 4> c = {in.f4(), in.f4(), in.f4(), rgba ? in.f4() : 1.0f};
      if (p < points) map->values[p] = c;
    }
  } else if (type == fourCC("TXUV") || type == fourCC("max ")) {
    const bool max = type == fourCC("max ");
    UVMap* uv = adopt(layer.uvMaps, new UVMap(name, points));
    while (!in.atEnd()) {
      const std::uint32_t p = in.vx();
      const std::array<float, 3> v = {in.f4(), in.f4(), max ? in.f4() : 0.0f};
      if (p < points) uv->values[p] = v;
    }
    if (max) {
      // The three channels serve as a colour too.
      ColorMap* colour = adopt(layer.colorMaps, new ColorMap(name, points));
      for (std::size_t p = 0; p < points; ++p) {
        colour->values[p] = {uv->values[p][0], uv->values[p][1], uv->values[p][2], 1.0f};
      }
    }
  } else if (type == fourCC("WGHT")) {
    WeightMap* map = adopt(layer.weightMaps, new WeightMap(name, points));
    bool reported = false;
    while (!in.atEnd()) {
      const std::uint32_t p = in.vx();
      const float w = in.f4();
      if (p < points)
        map->values[p] = {w};
      else
        reportPointPastCount(p, points, reported);
    }
  } else if (type == fourCC("MORF")) {
    // Morph maps are not used by the engine: their entries are only checked.
    bool reported = false;
    while (!in.atEnd()) {
      const std::uint32_t p = in.vx();
      in.f4(), in.f4(), in.f4();
      reportPointPastCount(p, points, reported);
    }
  }
  // Other kinds are unknown.
}

void readDiscontinuousVertexMap(Lwo2Load& load, Lwo2Cursor in) {
  Lwo2Layer& layer = *load.current;
  const std::uint32_t type = in.id4();
  in.u2();
  const std::string name = in.s0();
  const std::size_t polygons = layer.polygons.size();
  const std::size_t points = layer.points.size();
  if (type == fourCC("RGB ") || type == fourCC("RGBA")) {
    ColorMap* map = layer.findColorMap(name);
    if (!map) return;
    const bool rgba = type == fourCC("RGBA");
    map->polygons.assign(polygons, {});
    while (!in.atEnd()) {
      const std::uint32_t p = in.vx(), polygon = in.vx();
      const std::array<float, 4> c = {in.f4(), in.f4(), in.f4(), rgba ? in.f4() : 1.0f};
      if (polygon >= polygons || p >= points) continue;
      map->polygons[polygon].points.push_back(static_cast<std::int32_t>(p));
      map->polygons[polygon].values.push_back(c);
    }
  } else if (type == fourCC("TXUV") || type == fourCC("max ")) {
    UVMap* uv = layer.findUVMap(name);
    if (!uv) return;
    const bool max = type == fourCC("max ");
    uv->polygons.assign(polygons, {});
    while (!in.atEnd()) {
      const std::uint32_t p = in.vx(), polygon = in.vx();
      const std::array<float, 3> v = {in.f4(), in.f4(), max ? in.f4() : 0.0f};
      if (polygon >= polygons || p >= points) continue;
      uv->polygons[polygon].points.push_back(static_cast<std::int32_t>(p));
      uv->polygons[polygon].values.push_back(v);
    }
    ColorMap* colour = max ? layer.findColorMap(name) : nullptr;
    if (colour) {
      colour->polygons.assign(polygons, {});
      for (std::size_t i = 0; i < polygons; ++i) {
        colour->polygons[i].points = uv->polygons[i].points;
        for (const auto& v : uv->polygons[i].values) colour->polygons[i].values.push_back({v[0], v[1], v[2], 1.0f});
      }
    }
  }
}

void bindUVMaps(Lwo2Load& load, TextureLayer& layer, const std::string& mapName) {
  for (auto& source : load.layers) {
    if (UVMap* map = source->findUVMap(mapName)) layer.setUVMap(static_cast<std::size_t>(source->number), map);
  }
  if (load.highestLayer >= 0 && layer.uvMaps.size() < static_cast<std::size_t>(load.highestLayer + 1)) {
    layer.uvMaps.resize(static_cast<std::size_t>(load.highestLayer + 1), nullptr);
  }
}

void bindColorMaps(Lwo2Load& load, TextureLayer& layer, const std::string& mapName) {
  for (auto& source : load.layers) {
    if (ColorMap* map = source->findColorMap(mapName)) layer.setColorMap(static_cast<std::size_t>(source->number), map);
  }
  if (load.highestLayer >= 0 && layer.colorMaps.size() < static_cast<std::size_t>(load.highestLayer + 1)) {
    layer.colorMaps.resize(static_cast<std::size_t>(load.highestLayer + 1), nullptr);
  }
}
