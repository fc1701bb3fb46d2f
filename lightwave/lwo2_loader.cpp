#include "lightwave/lwo2_loader.h"

#include <algorithm>

#include "foundation/file.h"
#include "foundation/file_data.h"
#include "foundation/report.h"
#include "lightwave/lwo2_load.h"
#include "lightwave/lws_loader.h"
#include "render/surface.h"
#include "render/texture.h"
#include "scene/lwo_model.h"
#include "scene/scene.h"
#include "scene/scene_root.h"

namespace {

// Chunks that belong to a layer are refused before the first LAYR.
bool needLayer(Lwo2Load& load) {
  if (load.current) return true;
  reportAssertion("\"loadLWO2: missing LAYR chunk!\"");
  return false;
}

void readLayer(Lwo2Load& load, Lwo2Cursor in) {
  auto layer = std::make_unique<Lwo2Layer>();
  layer->number = in.u2();
  in.u2();  // flags
  layer->pivot = {in.f4(), in.f4(), in.f4()};
  layer->name = in.s0();
  load.highestLayer = std::max(load.highestLayer, layer->number);
  load.current = layer.get();
  load.layers.push_back(std::move(layer));
}

void readPoints(Lwo2Load& load, Lwo2Cursor in) {
  if (in.size() % 12 != 0) {
    reportError("loadLWO2: %s: a point chunk of %zu bytes holds no whole number of points\n", load.modelName.c_str(),
                in.size());
  }
  std::vector<Position3> points(in.size() / 12);
  for (Position3& p : points) p = {in.f4(), in.f4(), in.f4()};
  load.current->points = std::move(points);
}

void readPolygons(Lwo2Load& load, Lwo2Cursor in) {
  if (in.id4() != fourCC("FACE")) return;  // patches, metaballs, particles: not drawn
  const std::size_t start = in.position();
  std::size_t count = 0;
  while (!in.atEnd()) {
    const int corners = in.u2() & 0x3FF;
    for (int i = 0; i < corners; ++i) in.vx();
    ++count;
  }
  in.seek(start);
  std::vector<SurfacePolygon> polygons(count);
  for (SurfacePolygon& polygon : polygons) {
    polygon.points.resize(in.u2() & 0x3FF);
    for (std::int32_t& point : polygon.points) point = static_cast<std::int32_t>(in.vx());
  }
  // Corners past the point list are dropped with their polygon when the
  // render object is prepared.
  load.current->polygons = std::move(polygons);
}

void readPolygonTags(Lwo2Load& load, Lwo2Cursor in) {
  if (in.id4() != fourCC("SURF")) return;
  auto& polygons = load.current->polygons;
  while (!in.atEnd()) {
    const std::uint32_t polygon = in.vx();
    const std::uint16_t tag = in.u2();
    if (polygon < polygons.size()) polygons[polygon].surface = tag;
  }
}

void readTags(Lwo2Load& load, Lwo2Cursor in) {
  if (load.haveTags) {
    reportError("loadLWO2: %s has a second surface list; it is ignored\n", load.modelName.c_str());
    return;
  }
  load.haveTags = true;
  while (!in.atEnd()) {
    const std::string tag = in.s0();
    if (load.surfaces.size() >= Lwo2Load::kTableSize) {
      reportError("loadLWO2: %s names more than %u surfaces\n", load.modelName.c_str(), Lwo2Load::kTableSize);
      return;
    }
    load.surfaces.push_back(load.surfaceByKey(tag, true));
  }
}

std::unique_ptr<LWOModel> buildModel(Lwo2Load& load) {
  for (std::size_t s = 0; s < load.surfaces.size(); ++s) {
    if (!load.surfaces[s] || !load.surfaces[s]->transparent) continue;
    for (auto& layer : load.layers) {
      for (const SurfacePolygon& polygon : layer->polygons) {
        if (polygon.surface == s) layer->hasTransparent = true;
      }
    }
  }
  auto model = std::make_unique<LWOModel>(&load.root, load.modelName);
  model->surfaces = load.surfaces;
  model->layers.resize(static_cast<std::size_t>(load.highestLayer + 1));
  for (auto& layer : load.layers) {
    std::vector<VertexMap*> weights(layer->weightMaps.begin(), layer->weightMaps.end());
    auto mesh = std::make_unique<SurfaceRenderObject>(load.scene.pipeline, model.get(), std::move(layer->polygons),
                                                      std::move(layer->points), weights);
    mesh->index = layer->number;
    mesh->pivot = layer->pivot;
    mesh->transparent = layer->hasTransparent;
    mesh->name = load.modelName + ":" + std::to_string(layer->number + 1);
    if (!layer->name.empty()) mesh->name += " " + layer->name;
    model->layers[static_cast<std::size_t>(layer->number)] = std::move(mesh);
  }
  return model;
}

}  // namespace

UVMap* Lwo2Layer::findUVMap(const std::string& mapName) const {
  for (UVMap* map : uvMaps) {
    if (map->name == mapName) return map;
  }
  return nullptr;
}

ColorMap* Lwo2Layer::findColorMap(const std::string& mapName) const {
  for (ColorMap* map : colorMaps) {
    if (map->name == mapName) return map;
  }
  return nullptr;
}

Lwo2Load::Lwo2Load(Scene& scene, File* prototype, std::string modelName)
    : scene(scene), root(*scene.root), prototype(prototype), modelName(std::move(modelName)) {}

Lwo2Load::~Lwo2Load() {
  // Maps a texture layer took live on through its reference; the render
  // objects took their own on the weight maps.
  for (auto& layer : layers) {
    for (UVMap* map : layer->uvMaps) map->release();
    for (ColorMap* map : layer->colorMaps) map->release();
    for (WeightMap* map : layer->weightMaps) map->release();
  }
}

std::unique_ptr<Envelope> Lwo2Load::envelopeCopy(std::uint32_t index) const {
  const auto found = envelopes.find(index);
  return found == envelopes.end() ? nullptr : found->second->clone();
}

void Lwo2Load::readAnimated(Lwo2Cursor& in, AnimatedFloat& target) {
  target.value = in.f4();
  target.channel = envelopeCopy(in.u2());
}

Texture* Lwo2Load::clip(std::uint32_t index) const {
  const auto found = clips.find(index);
  return found == clips.end() ? nullptr : found->second;
}

Surface* Lwo2Load::surfaceByKey(const std::string& surfaceName, bool create) {
  const std::string key = modelName + "@" + surfaceName;
  if (Surface* surface = root.findSurface(key)) return surface;
  if (!create) return nullptr;
  root.surfaces.push_back(std::make_unique<Surface>(&root, key));
  return root.surfaces.back().get();
}

std::unique_ptr<LWOModel> loadLWO2(Scene& scene, File* prototype, const std::vector<std::uint8_t>& bytes,
                                   const std::string& name) {
  if (!scene.root) return nullptr;
  Lwo2Load load(scene, prototype, name);
  Lwo2Cursor file(bytes.data(), bytes.size());
  file.seek(12);
  bool overran = false;
  while (!file.atEnd() && !load.failed) {
    const std::uint32_t tag = file.id4();
    const std::uint32_t size = file.u4();
    // A size past the end of the file is held to the bytes that are left.
    Lwo2Cursor chunk = file.take(size);
    overran = overran || chunk.size() < size;
    if (tag == fourCC("LAYR")) {
      readLayer(load, chunk);
    } else if (tag == fourCC("PNTS")) {
      if (needLayer(load)) readPoints(load, chunk);
    } else if (tag == fourCC("POLS")) {
      if (needLayer(load)) readPolygons(load, chunk);
    } else if (tag == fourCC("PTAG")) {
      if (needLayer(load)) readPolygonTags(load, chunk);
    } else if (tag == fourCC("VMAP")) {
      if (needLayer(load)) readVertexMap(load, chunk);
    } else if (tag == fourCC("VMAD")) {
      if (needLayer(load)) readDiscontinuousVertexMap(load, chunk);
    } else if (tag == fourCC("TAGS")) {
      readTags(load, chunk);
    } else if (tag == fourCC("SURF")) {
      readSurface(load, chunk);
    } else if (tag == fourCC("ENVL")) {
      readEnvelope(load, chunk);
    } else if (tag == fourCC("CLIP")) {
      readClip(load, chunk);
    }
  }
  if (load.failed) return nullptr;
  if (overran) reportError("loadLWO2: %s is cut short; its last chunk was read as far as it goes\n", name.c_str());
  return buildModel(load);
}

std::unique_ptr<LWOModel> loadLWO2File(Scene& scene, File* prototype, const std::string& name) {
  std::vector<std::uint8_t> bytes;
  if (prototype) {
    std::unique_ptr<File> file = prototype->cloneUnique();
    if (file->open(name.c_str())) {
      bytes.resize(static_cast<std::size_t>(std::max(file->size(), 0)));
      const int got = bytes.empty() ? 0 : file->read(bytes.data(), static_cast<int>(bytes.size()));
      bytes.resize(static_cast<std::size_t>(got));
      file->close();
    }
  }
  if (bytes.size() < 12 || std::string(bytes.begin() + 8, bytes.begin() + 12) != "LWO2") {
    reportError("%s is not an LWO2 file!\n", name.c_str());
    return nullptr;
  }
  return loadLWO2(scene, prototype, bytes, name);
}

void installLightWaveLoaders() {
  setModelLoader(&loadLWO2File);
  setSceneLoader(&loadLWS);
}
