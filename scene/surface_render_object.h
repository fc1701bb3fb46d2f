// The drawable form of one layer of an object file: the layer's points,
// polygons and vertex maps as loaded, built once into one mesh batch per
// surface (triangulated, smoothed, welded, skin-weighted), shared by every
// object item that shows the layer.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "render/mesh_batch.h"
#include "render/stage_plan.h"
#include "render/vertex_layout.h"
#include "scene/bone_item.h"
#include "scene/scene_node.h"

class LWOModel;
class VertexMap;
class SurfaceRenderObject;

struct SurfacePolygon {
  std::vector<std::int32_t> points;  // corner point indices
  std::uint32_t surface = 0;         // into the model's surfaces
  std::int32_t sourceIndex = -1;     // position in the layer as loaded
  SurfaceRenderObject* owner = nullptr;
};

// What the build makes: the welded vertices and triangles and, per batch,
// its surface and ranges. Kept after the build for skinned objects and for
// triangle-mesh physics; otherwise dropped once the batches hold it.
struct GeometryCache {
  std::vector<SourceVertex> vertices;
  std::vector<SourceVertex> skinnedVertices;  // only with bones
  std::vector<std::uint32_t> indices;
  std::vector<std::uint32_t> triangleSurfaces;  // during the build only
  std::uint32_t vertexCount = 0;
  std::uint32_t indexCount = 0;
  std::vector<std::int32_t> batchSurface;
  std::vector<std::int32_t> batchIndexStart;
  std::vector<std::int32_t> batchVertexStart;
  std::vector<std::int32_t> batchVertexEnd;
  std::vector<std::int32_t> batchIndexEnd;
  std::vector<std::vector<std::uint32_t>> batchLocalIndices;  // indices minus the batch's first vertex
  std::int32_t influenceCount = 0;
};

class SurfaceRenderObject : public SceneNode {
 public:
  // Takes the layer as loaded; one reference is taken on each vertex map and
  // dropped when the build has used them.
  SurfaceRenderObject(RenderPipeline* pipeline, LWOModel* model, std::vector<SurfacePolygon> polygons,
                      std::vector<Position3> points, const std::vector<VertexMap*>& vertexMaps);
  ~SurfaceRenderObject() override;

  SceneNode* geometry() override { return this; }
  bool computeBounds(bool keepGeometry) override { return prepare(keepGeometry); }
  // The box of the points, once.
  SceneNode* resolve() override;
  // Clears the frame flag and the pose of the first 1024 bones.
  void beginFrame() override;
  // Skins the vertices of a boned object, then draws every loaded surface
  // with the main pass; a mirror surface at the top level marks its pixels
  // in the stencil buffer, draws the reflected scene there and is drawn
  // over it. Nothing is drawn two mirror levels deep.
  void draw(double t, SceneItem* item, SceneItem* camera) override;
  // Positions and normals of the kept vertices through the bone palette
  // into skinnedVertices.
  void skin(const Matrix4x3* palette);
  void onDeviceReset() override;
  void onDeviceLost() override;
  std::uintptr_t userWord() const override { return words[1]; }

  // Builds the geometry and the device buffers, the first time; false when
  // a batch's buffers could not be made. Objects with bones always keep
  // their geometry (the skinning reads it every frame).
  bool prepare(bool keepGeometry);
  bool prepared() const { return boundsReady; }

  std::vector<Position3> points;
  std::vector<SurfacePolygon> polygons;
  std::vector<std::unique_ptr<BoneItem>> bones;
  std::int32_t boneFalloffType = 0;
  std::vector<std::unique_ptr<SurfaceStagePlan>> stagePlans;
  std::vector<std::unique_ptr<MeshBatch>> batches;
  std::vector<VertexMap*> vertexMaps;  // one reference each until the build ends
  GeometryCache cache;
  bool keepGeometry = false;
  bool transparent = false;  // some polygon uses a see-through surface
  std::int32_t cornerCount = 0;
  // Surface draws in progress, of every object: 1 at the top level, 2 in a
  // mirror's reflection. Also the stencil value of the mirror being drawn.
  static int reflectionDepth;

  // The steps of the build, in order; public for the tests.
  void dropDegeneratePolygons();
  void buildGeometry();
  VertexMap* findVertexMap(const std::string& mapName) const;
  // Bone weights of a vertex at point `point`: the largest four, normalised.
  void computeSkinWeights(SourceVertex& vertex, std::int32_t point);

 private:
  // The stencil-masked reflection of batch b.
  void drawMirror(std::size_t b, double t, SceneItem* item, SceneItem* camera);

  Surface* surfaceAt(std::uint32_t index) const;
  std::size_t surfaceCount() const;
  void triangulatePolygons();
  void buildVertices();
  void smoothNormals();
  void weldAndGroup();
  void createBatches();
  void releaseVertexMaps();

  std::vector<Normal3> m_faceNormals;  // during the build only
  bool m_built = false;                // the build consumes its input: never twice
};

// (p1 - p0) x (p2 - p0) of the first three corners, not normalised.
Normal3 polygonFaceNormal(const SurfacePolygon& polygon, const std::vector<Position3>& points);
