#include "scene/physics_object.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <numbers>

#include "foundation/report.h"
#include "scene/contact_tables.h"
#include "scene/debug_lines.h"
#include "scene/scene.h"
#include "scene/surface_render_object.h"

namespace {

// Cyan, apart from the green bones and the yellow target lines.
constexpr std::uint32_t kGeomWireColour = 0xFF00CCCC;

class GeomWireNode : public DebugNode {
 public:
  explicit GeomWireNode(RenderPipeline* pipeline) : DebugNode(pipeline) {}
  void draw(double t, SceneItem* item, SceneItem*) override {
    auto* object = dynamic_cast<PhysicsObject*>(item);
    if (!object || !pipeline) return;
    Position3 points[2 * kMaxGeomWireLines];
    const int n = geomWireLines(object->geomType, points);
    if (n == 0) return;
    Matrix4x3 world;
    object->worldMatrix(world, t, true);
    drawDebugLines(*pipeline, world, points, n, kGeomWireColour);
  }
};

}  // namespace

int geomWireLines(std::int32_t geomType, Position3 (&points)[2 * kMaxGeomWireLines]) {
  int n = 0;
  if (geomType == kGeomSphere) {
    constexpr int kSegments = 16;
    for (int axis = 0; axis < 3; ++axis) {
      for (int i = 0; i < kSegments; ++i) {
        for (int end = 0; end < 2; ++end) {
          const double angle = (i + end) * 2.0 * std::numbers::pi / kSegments;
          const float c = static_cast<float>(std::cos(angle)), s = static_cast<float>(std::sin(angle));
          // Around Y (in XZ), around Z (in XY), around X (in YZ).
          points[n++] = axis == 0 ? Position3{c, 0, s} : axis == 1 ? Position3{c, s, 0} : Position3{0, c, s};
        }
      }
    }
  } else if (geomType == kGeomBox) {
    // Corner k has x, y, z at +0.5 where bits 2, 1, 0 of k are set; an edge
    // joins two corners one bit apart.
    auto corner = [](int k) { return Position3{k & 4 ? 0.5f : -0.5f, k & 2 ? 0.5f : -0.5f, k & 1 ? 0.5f : -0.5f}; };
    for (int k = 0; k < 8; ++k) {
      for (int bit : {1, 2, 4}) {
        if (k & bit) continue;
        points[n++] = corner(k);
        points[n++] = corner(k | bit);
      }
    }
  }
  return n / 2;
}

PhysicsObject::PhysicsObject(Scene* scene, std::int32_t id) : ObjectItem(scene, id, ItemType::PhysicsObject) {}

PhysicsObject::~PhysicsObject() {
  // A geom transform does not clean up what it wraps, so both go here.
  if (transformGeom) dGeomDestroy(transformGeom);
  if (geom) dGeomDestroy(geom);
  if (triMeshData) dGeomTriMeshDataDestroy(triMeshData);
  delete geomDebugNode;
}

bool PhysicsObject::createGeom(const float size[3]) {
  switch (geomType) {
    case kGeomSphere:
      geom = dCreateSphere(nullptr, size[0]);
      return true;
    case kGeomBox:
      geom = dCreateBox(nullptr, size[0], size[1], size[2]);
      return true;
    case kGeomCapsule:
      geom = dCreateCapsule(nullptr, size[0], size[1]);
      return true;
    case kGeomRay:
      geom = dCreateRay(nullptr, DBL_MAX);
      return true;
    case kGeomTriMesh:
      break;
    default:
      reportError("%s: unknown geom type %d; the object does not collide\n", name.c_str(), geomType);
      return false;
  }
  auto* mesh = meshes.empty() ? nullptr : meshes.front().mesh;
  if (!mesh || mesh->cache.vertices.empty() || mesh->cache.indices.empty()) {
    reportError("%s: a triangle mesh needs a mesh with its geometry kept\n", name.c_str());
    return false;
  }
  const GeometryCache& cache = mesh->cache;
  const std::size_t vertexCount = std::min<std::size_t>(cache.vertexCount, cache.vertices.size());
  const std::size_t indexCount = std::min<std::size_t>(cache.indexCount, cache.indices.size());
  bool indicesOk = indexCount >= 3 && indexCount % 3 == 0;
  for (std::size_t i = 0; indicesOk && i < indexCount; ++i) indicesOk = cache.indices[i] < vertexCount;
  if (!indicesOk) {
    reportError("%s: the triangle mesh has %zu indices for %zu vertices\n", name.c_str(), indexCount, vertexCount);
    return false;
  }
  static_assert(sizeof(dTriIndex) == sizeof(std::uint32_t), "triangle indices are read in place");
  // ODE reads the mesh's own arrays, which the mesh keeps for as long as it
  // lives; the positions lead every vertex.
  triMeshData = dGeomTriMeshDataCreate();
  dGeomTriMeshDataBuildSingle(triMeshData, cache.vertices.data()->position, sizeof(SourceVertex),
                              static_cast<int>(vertexCount), cache.indices.data(), static_cast<int>(indexCount),
                              3 * sizeof(std::uint32_t));
  geom = dCreateTriMesh(nullptr, triMeshData, nullptr, nullptr, nullptr);
  return true;
}

void PhysicsObject::prepare() {
  if (geomPrepared) return;
  geomPrepared = true;
  // Made whatever the switch says now, so that switching it on later shows
  // the geoms.
  if (renderer && !geomDebugNode && (geomType == kGeomSphere || geomType == kGeomBox)) {
    geomDebugNode = new GeomWireNode(renderer);
  }
  for (const MeshEntry& entry : meshes) {
    if (entry.mesh) entry.mesh->prepare(true);
  }
  float size[3];
  for (int i = 0; i < 3; ++i) {
    // A mirrored object collides with its extents; NaN or infinite sizes
    // would trip ODE's argument checks.
    size[i] = std::fabs(geomSize[i] * scale[i].evaluate(0.0));
    if (!std::isfinite(size[i])) {
      reportError("%s: geom size is not a finite number; the object does not collide\n", name.c_str());
      return;
    }
  }
  const float p[3] = {position[0].evaluate(0.0), position[1].evaluate(0.0), position[2].evaluate(0.0)};
  dMatrix3 R;
  getODERotation(R, 0.0);
  if (!createGeom(size)) return;

  SceneItem* self = this;
  if (!carrier) {
    dGeomSetPosition(geom, p[0], p[1], p[2]);
    dGeomSetRotation(geom, R);
    if (body) {
      dBodySetPosition(body, p[0], p[1], p[2]);
      dBodySetRotation(body, R);
      dGeomSetBody(geom, body);
    }
  } else {
    // The offset ignores the carrier's rotation: carried parts are laid out
    // around an unrotated carrier. ODE calls geom transforms deprecated in
    // favour of geom offsets, but they work, and a transform keeps the
    // carried geom's user data and surface kind apart from the carrier's.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    transformGeom = dCreateGeomTransform(nullptr);
    carrier->invalidate();
    dGeomSetPosition(geom, p[0] - carrier->position[0].evaluate(0.0), p[1] - carrier->position[1].evaluate(0.0),
                     p[2] - carrier->position[2].evaluate(0.0));
    dGeomSetRotation(geom, R);
    dGeomTransformSetGeom(transformGeom, geom);
#pragma GCC diagnostic pop
    if (carrier->body) dGeomSetBody(transformGeom, carrier->body);
    dGeomSetData(transformGeom, self);
  }
  dGeomSetData(geom, self);

  // Both numbers come from scene files and index the scene's tables.
  if (surfaceKind < 0 || surfaceKind >= kSurfaceKindCount) {
    reportError("%s: surface kind %d is outside 0..%d; the object is left out of collision\n", name.c_str(),
                surfaceKind, kSurfaceKindCount - 1);
    return;
  }
  const int spaceCount = scene ? scene->physics().spaceCount() : 0;
  if (spaceIndex < 0 || spaceIndex >= kSpaceCount || spaceIndex >= spaceCount || !scene->physics().space(spaceIndex)) {
    reportError("%s: collision space %d does not exist (the scene has %d); the object is left out of collision\n",
                name.c_str(), spaceIndex, spaceCount);
    return;
  }
  dSpaceAdd(scene->physics().space(spaceIndex), spaceGeom());
}

void PhysicsObject::evaluate(double t) {
  SceneItem::evaluate(t);
  if (!geom || body || transformGeom || geomType == kGeomRay) return;
  const dReal p[3] = {position[0].evaluate(t), position[1].evaluate(t), position[2].evaluate(t)};
  dMatrix3 R;
  getODERotation(R, t);
  // Moving a geom makes ODE recompute its box, which for a large triangle
  // mesh means every vertex: still scenery is not moved.
  const dReal* atP = dGeomGetPosition(geom);
  const dReal* atR = dGeomGetRotation(geom);
  if (std::equal(p, p + 3, atP) && std::equal(R, R + 12, atR)) return;
  dGeomSetPosition(geom, p[0], p[1], p[2]);
  dGeomSetRotation(geom, R);
}

void PhysicsObject::addToSpace(dSpaceID space) {
  dGeomID g = spaceGeom();
  if (!g || !space) return;
  // ODE refuses a geom that is in a space already.
  dSpaceID current = dGeomGetSpace(g);
  if (current == space) return;
  if (current) dSpaceRemove(current, g);
  dSpaceAdd(space, g);
}

void PhysicsObject::removeFromSpace(dSpaceID space) {
  dGeomID g = spaceGeom();
  if (g && space && dGeomGetSpace(g) == space) dSpaceRemove(space, g);
}
