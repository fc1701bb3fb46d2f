// Physics worlds for scene tests and the physics benchmark: a ground
// triangle mesh with its geometry kept the way a loaded layer keeps it, and
// physics objects added to a scene.
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "scene/physics_object.h"
#include "scene/scene.h"
#include "scene/surface_render_object.h"

// A square grid of `cells` x `cells` quads of `cellSize`, centred on the
// origin, two triangles each, wound to face +Y; height(x, z) lifts the
// points. Built as though prepared with its geometry kept.
inline std::unique_ptr<SurfaceRenderObject> makeGroundMesh(int cells, float cellSize,
                                                           const std::function<float(float, float)>& height) {
  auto mesh = std::make_unique<SurfaceRenderObject>(nullptr, nullptr, std::vector<SurfacePolygon>{},
                                                    std::vector<Position3>{}, std::vector<VertexMap*>{});
  GeometryCache& cache = mesh->cache;
  const int side = cells + 1;
  const float half = cells * cellSize * 0.5f;
  for (int j = 0; j < side; ++j) {
    for (int i = 0; i < side; ++i) {
      SourceVertex v;
      v.position[0] = i * cellSize - half;
      v.position[2] = j * cellSize - half;
      v.position[1] = height(v.position[0], v.position[2]);
      cache.vertices.push_back(v);
    }
  }
  for (int j = 0; j < cells; ++j) {
    for (int i = 0; i < cells; ++i) {
      const std::uint32_t a = j * side + i, b = a + 1, c = a + side, d = c + 1;
      for (std::uint32_t k : {a, c, b, b, c, d}) cache.indices.push_back(k);
    }
  }
  cache.vertexCount = static_cast<std::uint32_t>(cache.vertices.size());
  cache.indexCount = static_cast<std::uint32_t>(cache.indices.size());
  mesh->keepGeometry = true;
  mesh->boundsReady = true;
  return mesh;
}

inline PhysicsObject* addPhysicsObject(Scene& scene, const std::string& name, std::int32_t geomType,
                                       std::int32_t surfaceKind, std::int32_t spaceIndex) {
  auto item = std::make_unique<PhysicsObject>(&scene, 0);
  item->name = name;
  item->geomType = geomType;
  item->surfaceKind = surfaceKind;
  item->spaceIndex = spaceIndex;
  scene.objects.push_back(std::move(item));
  return static_cast<PhysicsObject*>(scene.objects.back().get());
}

// A body of `mass` kg with the box mass of lx x ly x lz, as the loader
// gives one.
inline dBodyID addBoxBody(Scene& scene, SceneItem& item, double mass, double lx, double ly, double lz) {
  item.body = dBodyCreate(scene.physics().world());
  dMassSetBoxTotal(&item.mass, mass, lx, ly, lz);
  dBodySetMass(item.body, &item.mass);
  return item.body;
}

inline void placeAt(SceneItem& item, float x, float y, float z) {
  item.position[0].value = x;
  item.position[1].value = y;
  item.position[2].value = z;
}
