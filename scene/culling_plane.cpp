#include "scene/culling_plane.h"

#include <array>
#include <cstring>

#include "scene/surface_render_object.h"

namespace {

using Vec3 = std::array<float, 3>;

Vec3 cross(const Vec3& a, const Vec3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
float dot(const Vec3& a, const float* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
Vec3 minus(const Vec3& a, const Vec3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
Vec3 scaled(const Vec3& v, float s) { return {v[0] * s, v[1] * s, v[2] * s}; }

// A point through the full 4x4 matrix, kept as (x, y, w).
Vec3 toClip(const Position3& p, const Matrix4x3& m) {
  const float x = p.x * m[0] + p.y * m[4] + p.z * m[8] + m[12];
  const float y = p.x * m[1] + p.y * m[5] + p.z * m[9] + m[13];
  const float w = p.x * m[3] + p.y * m[7] + p.z * m[11] + m[15];
  return {x, y, w};
}

bool same(const Position3& a, const Position3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

}  // namespace

CullingPlaneObject::CullingPlaneObject(Scene* scene, std::int32_t id) : ObjectItem(scene, id) {
  sidePlaneCount = 4;
  sidePlaneNormals = std::make_unique<Normal3[]>(4);
}

bool CullingPlaneObject::buildOccluder(const Matrix4x3& m) {
  auto* mesh = static_cast<SurfaceRenderObject*>(firstMesh());
  if (!mesh || mesh->cache.indices.size() < 3 || mesh->cache.vertices.empty()) return false;
  const Position3* c = mesh->corners;
  const Position3* q[4];
  int axis;
  if (same(c[0], c[1])) {
    q[0] = &c[0], q[1] = &c[2], q[2] = &c[4], q[3] = &c[6], axis = 2;
  } else if (same(c[0], c[4])) {
    q[0] = &c[0], q[1] = &c[1], q[2] = &c[2], q[3] = &c[3], axis = 0;
  } else if (same(c[0], c[2])) {
    q[0] = &c[0], q[1] = &c[1], q[2] = &c[4], q[3] = &c[5], axis = 1;
  } else {
    return false;  // not flat in any axis
  }
  Vec3 tri[3];
  for (int k = 0; k < 3; ++k) {
    const std::uint32_t index = mesh->cache.indices[k];
    if (index >= mesh->cache.vertices.size()) return false;
    const float* p = mesh->cache.vertices[index].position;
    tri[k] = {p[0], p[1], p[2]};
  }
  const Vec3 n = cross(minus(tri[2], tri[0]), minus(tri[1], tri[0]));
  // The y quad runs the other way round, so its sign test is reversed.
  float s;
  if (axis == 2) {
    s = n[2] < 0.0f ? -1.0f : 1.0f;
  } else if (axis == 0) {
    s = n[0] < 0.0f ? -1.0f : 1.0f;
  } else {
    s = n[1] >= 0.0f ? -1.0f : 1.0f;
  }
  apex[0] = apex[1] = apex[2] = 0.0f;
  Vec3 P[4];
  for (int i = 0; i < 4; ++i) P[i] = toClip(*q[i], m);
  const Vec3 sides[4] = {scaled(cross(P[0], P[2]), s), scaled(cross(P[3], P[1]), s), scaled(cross(P[2], P[3]), s),
                         scaled(cross(P[1], P[0]), s)};
  for (int i = 0; i < 4; ++i) {
    Normal3& out = sidePlaneNormals[i];
    out = {sides[i][0], sides[i][1], sides[i][2]};
    normalizeVector(out);
  }
  Vec3 cap = scaled(cross(minus(P[1], P[0]), minus(P[2], P[0])), s);
  normalizeVector(cap.data());
  std::memcpy(capNormal, cap.data(), sizeof capNormal);
  const Vec3 second = toClip({tri[1][0], tri[1][1], tri[1][2]}, m);
  std::memcpy(capPoint, second.data(), sizeof capPoint);
  const Vec3 toEye = {apex[0] - capPoint[0], apex[1] - capPoint[1], apex[2] - capPoint[2]};
  return dot(toEye, capNormal) > 1e-6f;
}

bool CullingPlaneObject::pointOccluded(const float p[4]) const {
  const Vec3 q = {p[0] - apex[0], p[1] - apex[1], p[3] - apex[2]};
  for (int i = 0; i < 4; ++i) {
    if (!(dot(q, &sidePlaneNormals[i].x) > 0.0f)) return false;
  }
  const Vec3 fromCap = {p[0] - capPoint[0], p[1] - capPoint[1], p[3] - capPoint[2]};
  return dot(fromCap, capNormal) < 0.0f;
}

bool CullingPlaneObject::boxOccluded(const Vector4 corners[8]) const {
  for (int k = 0; k < 8; ++k) {
    const float p[4] = {corners[k].x, corners[k].y, corners[k].z, corners[k].w};
    if (!pointOccluded(p)) return false;
  }
  return true;
}
