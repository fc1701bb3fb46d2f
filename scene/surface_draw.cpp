// The per-frame draw of a surface render object: skinning, transparency
// and the stencil-masked planar mirror.
#include <cmath>
#include <cstring>
#include <memory>

#include "foundation/report.h"
#include "render/render_pipeline.h"
#include "render/surface.h"
#include "scene/lwo_model.h"
#include "scene/mirror_camera.h"
#include "scene/scene.h"
#include "scene/surface_render_object.h"

int SurfaceRenderObject::reflectionDepth = 0;

namespace {

// Raises a counter for the lifetime of a scope.
class Nesting {
 public:
  explicit Nesting(int& counter) : m_counter(counter) { ++m_counter; }
  ~Nesting() { --m_counter; }
  Nesting(const Nesting&) = delete;
  Nesting& operator=(const Nesting&) = delete;

 private:
  int& m_counter;
};

Normal3 cross(const float a[3], const float b[3]) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

void setTransform(RenderPipeline& pipeline, D3DTRANSFORMSTATETYPE state, Matrix4x3& slot, const Matrix4x3& value) {
  slot = value;
  pipeline.constantTable->derivedValid = false;
  D3DMATRIX d;
  std::memcpy(d.m, value.m, sizeof d.m);
  pipeline.currentDevice->SetTransform(state, &d);
}

}  // namespace

void SurfaceRenderObject::skin(const Matrix4x3* palette) {
  const std::size_t n = std::min<std::size_t>(cache.vertexCount, cache.vertices.size());
  if (cache.skinnedVertices.size() < n) cache.skinnedVertices.resize(n);
  const int influences = std::clamp(cache.influenceCount, 0, 4);
  for (std::size_t i = 0; i < n; ++i) {
    const SourceVertex& v = cache.vertices[i];
    float p[3] = {0, 0, 0}, normal[3] = {0, 0, 0}, sum = 0.0f;
    for (int k = 0; k < influences; ++k) {
      const float w = v.blendWeights[k];
      if (w != 0.0f) {
        const Matrix4x3& m = palette[v.blendIndices[k]];
        for (int j = 0; j < 3; ++j) {
          p[j] += w * (v.position[0] * m[j] + v.position[1] * m[4 + j] + v.position[2] * m[8 + j] + m[12 + j]);
          normal[j] += w * (v.normal[0] * m[j] + v.normal[1] * m[4 + j] + v.normal[2] * m[8 + j]);
        }
      }
      sum += w;
    }
    SourceVertex& out = cache.skinnedVertices[i];
    if (sum != 0.0f) {
      std::memcpy(out.position, p, sizeof p);
      std::memcpy(out.normal, normal, sizeof normal);
    } else {
      std::memcpy(out.position, v.position, sizeof p);
      std::memcpy(out.normal, v.normal, sizeof normal);
    }
  }
}

void SurfaceRenderObject::draw(double t, SceneItem* item, SceneItem* camera) {
  Nesting depth(reflectionDepth);
  int nesting = static_cast<int>(words[0]);
  {
    Nesting drawing(nesting);
    words[0] = static_cast<std::uintptr_t>(nesting);
    if (reflectionDepth <= 2 && pipeline && pipeline->currentDevice && pipeline->constantTable) {
      const bool skinned = !bones.empty() && cache.vertexCount > 0;
      if (skinned) skin(pipeline->constantTable->bonePalette.get());
      for (std::size_t b = 0; b < batches.size(); ++b) {
        MeshBatch& batch = *batches[b];
        // Only dynamic buffers take skinned vertices: bones added after the
        // build left static ones.
        auto* dynamic = skinned ? dynamic_cast<GeometryBuffer*>(&batch) : nullptr;
        if (dynamic && b < cache.batchVertexStart.size()) {
          const int first = cache.batchVertexStart[b], end = cache.batchVertexEnd[b];
          if (first >= 0 && end >= first && static_cast<std::size_t>(end) <= cache.skinnedVertices.size())
            dynamic->fill(cache.skinnedVertices.data() + first, end - first);
        }
        Surface* surface = batch.owner;
        if (!surface || !surface->loaded) continue;
        const float r = surface->reflection.evaluate(t);
        if (r != 0.0f && surface->reflectionOptions == 0 && reflectionDepth < 2) {
          drawMirror(b, t, item, camera);
        } else if (surface->transparency.evaluate(t) < 0.999999f || surface->findTextureLayer(fourCC("TRAN"), 1)) {
          batch.draw(pipeline->mainPass.get(), t);
        }
      }
    }
  }
  words[0] = static_cast<std::uintptr_t>(nesting);
}

void SurfaceRenderObject::drawMirror(std::size_t b, double t, SceneItem* item, SceneItem* camera) {
  RenderPipeline& p = *pipeline;
  IDirect3DDevice9* device = p.currentDevice;
  ShaderConstantTable& table = *p.constantTable;
  MeshBatch& batch = *batches[b];
  Surface& surface = *batch.owner;
  ShaderPass* pass = p.mainPass.get();
  const auto depth = static_cast<DWORD>(reflectionDepth);

  DWORD savedStencil = 0, savedRef = 0;
  device->GetRenderState(D3DRS_STENCILENABLE, &savedStencil);
  device->GetRenderState(D3DRS_STENCILREF, &savedRef);

  // Mark the mirror's visible pixels: stencil depth - 1 becomes depth.
  device->SetRenderState(D3DRS_STENCILENABLE, 1);
  device->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_EQUAL);
  device->SetRenderState(D3DRS_STENCILREF, depth - 1);
  device->SetRenderState(D3DRS_STENCILMASK, 0xFFFFFFFF);
  device->SetRenderState(D3DRS_STENCILWRITEMASK, 0xFFFFFFFF);
  device->SetRenderState(D3DRS_STENCILZFAIL, D3DSTENCILOP_KEEP);
  device->SetRenderState(D3DRS_STENCILFAIL, D3DSTENCILOP_KEEP);
  device->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_INCR);
  device->SetRenderState(D3DRS_COLORWRITEENABLE, 0);
  batch.draw(pass, t);

  // Inside the mark the depth goes back to the far plane, so that what is
  // reflected behind the mirror's own depth still passes the depth test.
  device->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
  device->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_LESSEQUAL);
  device->SetRenderState(D3DRS_STENCILREF, depth);
  device->SetRenderState(D3DRS_ZENABLE, 1);
  device->SetRenderState(D3DRS_ZWRITEENABLE, 1);
  device->SetRenderState(D3DRS_ZFUNC, D3DCMP_ALWAYS);
  D3DVIEWPORT9 viewport{};
  device->GetViewport(&viewport);
  D3DVIEWPORT9 far = viewport;
  far.MinZ = far.MaxZ = 1.0f;
  device->SetViewport(&far);
  batch.draw(pass, t);
  device->SetViewport(&viewport);
  device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
  // The surface pass may have switched depth writes off (a see-through
  // mirror); the reflection needs them.
  device->SetRenderState(D3DRS_ZWRITEENABLE, 1);
  device->SetRenderState(D3DRS_COLORWRITEENABLE, p.colorWriteMask);

  const std::uint32_t savedCull = p.cullMode;
  p.cullMode = depth % 2 == 1 ? D3DCULL_CW : D3DCULL_CCW;
  const Matrix4x3 savedWorld = table.world, savedView = table.view, savedProjection = table.projection;

  // The mirror plane through the item's origin.
  Matrix4x3 W = g_identityMatrix;
  if (item) item->worldMatrix(W, t, true);
  float n[3] = {0, 1, 0};
  if (points.size() >= 3) {
    const float u[3] = {points[0].x - points[1].x, points[0].y - points[1].y, points[0].z - points[1].z};
    const float v[3] = {points[0].x - points[2].x, points[0].y - points[2].y, points[0].z - points[2].z};
    const Normal3 a = cross(u, v);
    for (int j = 0; j < 3; ++j) n[j] = a.x * W[j] + a.y * W[4 + j] + a.z * W[8 + j];
    normalizeVector(n);
  }
  const float d = -(n[0] * W[12] + n[1] * W[13] + n[2] * W[14]);
  const Matrix4x3 R = {{1 - 2 * n[0] * n[0], -2 * n[0] * n[1], -2 * n[0] * n[2], 0,  //
                        -2 * n[0] * n[1], 1 - 2 * n[1] * n[1], -2 * n[1] * n[2], 0,  //
                        -2 * n[0] * n[2], -2 * n[1] * n[2], 1 - 2 * n[2] * n[2], 0,  //
                        -2 * d * n[0], -2 * d * n[1], -2 * d * n[2], 1}};
  Matrix4x3 reflectedView;
  R.multiplyAffine(&reflectedView, savedView);
  float q[4] = {n[0], n[1], n[2], d};
  if (!p.fixedFunction) {
    Matrix4x3 m, inverse;
    multiplyAffineFull(m, reflectedView, savedProjection);
    invertMatrix(m, &inverse);
    float clipPlane[4];
    for (int j = 0; j < 4; ++j)  // q x (M^-1)^T: row j of the inverse dotted with q
      clipPlane[j] =
          q[0] * inverse[4 * j] + q[1] * inverse[4 * j + 1] + q[2] * inverse[4 * j + 2] + q[3] * inverse[4 * j + 3];
    std::memcpy(q, clipPlane, sizeof q);
  }

  // The portal: the mirror's quad in the camera's clip (x, y, w).
  Matrix4x3 worldView, toClip;
  multiplyMatrix(worldView, W, savedView);
  multiplyMatrix(toClip, worldView, savedProjection);
  float P[4][3];
  static constexpr int kQuadCorners[4] = {0, 1, 4, 5};
  for (int i = 0; i < 4; ++i) {
    const Position3& c = corners[kQuadCorners[i]];
    P[i][0] = c.x * toClip[0] + c.y * toClip[4] + c.z * toClip[8] + toClip[12];
    P[i][1] = c.x * toClip[1] + c.y * toClip[5] + c.z * toClip[9] + toClip[13];
    P[i][2] = c.x * toClip[3] + c.y * toClip[7] + c.z * toClip[11] + toClip[15];
  }
  const int own = camera && camera->sidePlaneNormals ? std::max(camera->sidePlaneCount, 0) : 0;
  auto normals = std::make_unique<Normal3[]>(static_cast<std::size_t>(own) + 4);
  for (int i = 0; i < own; ++i) normals[i] = camera->sidePlaneNormals[i];
  const Normal3 sides[4] = {cross(P[0], P[2]), cross(P[3], P[1]), cross(P[2], P[3]), cross(P[1], P[0])};
  // Every plane faces into the portal and the mirror normal away from the
  // eye, whatever the winding of the box corners on screen: for a floor
  // seen looking along +z they turn the other way than for one seen
  // looking along -z.
  float centre[3] = {0, 0, 0};
  for (const auto& corner : P)
    for (int j = 0; j < 3; ++j) centre[j] += corner[j] / 4.0f;
  for (int i = 0; i < 4; ++i) {
    Normal3 s = sides[i];
    normalizeVector(s);
    if (s.x * centre[0] + s.y * centre[1] + s.z * centre[2] < 0.0f) s = {-s.x, -s.y, -s.z};
    normals[own + i] = s;
  }
  const float e1[3] = {P[1][0] - P[0][0], P[1][1] - P[0][1], P[1][2] - P[0][2]};
  const float e2[3] = {P[2][0] - P[0][0], P[2][1] - P[0][1], P[2][2] - P[0][2]};
  Normal3 mirrorNormal = cross(e1, e2);
  normalizeVector(mirrorNormal);
  const float sign =
      mirrorNormal.x * P[0][0] + mirrorNormal.y * P[0][1] + mirrorNormal.z * P[0][2] < 0.0f ? -1.0f : 1.0f;
  const float normal[3] = {mirrorNormal.x * sign, mirrorNormal.y * sign, mirrorNormal.z * sign};

  Scene* reflected = surface.reflectionScene;
  if (!reflected) {
    reportError("reflection scene ist nicht zugeordnet!\n");
  } else {
    static constexpr float kEye[3] = {0, 0, 0};
    MirrorCamera mirror(reflected, reflectedView, kEye, P[0], own + 4, normal, std::move(normals), camera);
    mirror.renderer = pipeline;
    const std::uintptr_t savedWord = words[2];
    words[2] = reinterpret_cast<std::uintptr_t>(&mirror);
    device->SetClipPlane(0, q);
    device->SetRenderState(D3DRS_CLIPPLANEENABLE, 1);
    reflected->renderPass(t, &mirror);
    device->SetRenderState(D3DRS_CLIPPLANEENABLE, 0);
    words[2] = savedWord;
  }

  p.cullMode = savedCull;
  setTransform(p, D3DTS_WORLD, table.world, savedWorld);
  setTransform(p, D3DTS_VIEW, table.view, savedView);
  setTransform(p, D3DTS_PROJECTION, table.projection, savedProjection);
  // The reflected pass moved the viewport to the mirror camera's: the same.

  // Draw the mirror over its reflection and take the mark away.
  device->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_EQUAL);
  device->SetRenderState(D3DRS_STENCILREF, depth);
  device->SetRenderState(D3DRS_STENCILZFAIL, D3DSTENCILOP_KEEP);
  device->SetRenderState(D3DRS_STENCILFAIL, D3DSTENCILOP_KEEP);
  device->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_DECR);
  batch.draw(pass, t);
  device->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
  device->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_LESSEQUAL);
  device->SetRenderState(D3DRS_STENCILENABLE, savedStencil);
  device->SetRenderState(D3DRS_STENCILREF, savedRef);
}
