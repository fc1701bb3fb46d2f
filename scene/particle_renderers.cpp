// Particle renderers (see particle_renderers.h). Per-draw device results
// are not checked: a failed call shows as missing particles.
#include "scene/particle_renderers.h"

#include <cmath>
#include <cstring>
#include <numbers>

#include "foundation/profiler.h"
#include "foundation/report.h"
#include "render/render_pipeline.h"
#include "render/texture.h"
#include "scene/item_math.h"
#include "scene/scene_item.h"

namespace {

// The camera's projection made current (the scene passes fit its depth
// range; a stale one is built afresh) and its view matrix.
Matrix4x3 viewOf(SceneItem& camera, double t) {
  if (!camera.projectionValid) camera.computeProjection(t);
  Matrix4x3 view;
  camera.inverseWorldMatrix(view, t, true);
  return view;
}

D3DMATRIX toD3D(const Matrix4x3& m) {
  D3DMATRIX out;
  std::memcpy(&out.m[0][0], m.m, sizeof m.m);
  return out;
}

// Corners of a quad in the order its two triangles (0 1 2, 2 1 3) name them:
// the sign of the right and up offsets, and the texture coordinates.
struct QuadCorner {
  float right, up, u, v;
};
constexpr QuadCorner kQuadCorners[4] = {{-1, 1, 1, 1}, {1, 1, 0, 1}, {-1, -1, 1, 0}, {1, -1, 0, 0}};
constexpr std::uint32_t kQuadIndices[6] = {0, 1, 2, 2, 1, 3};

}  // namespace

// ---- ParticleMaterial ----

ParticleMaterial::ParticleMaterial(RenderPipeline* owner) : HyperVoxelSurface(owner) {}

void ParticleMaterial::onDeviceLost() {
  if (geometry) geometry->onDeviceLost();
}

void ParticleMaterial::onDeviceReset() {
  if (geometry) geometry->onDeviceReset();
}

bool ParticleMaterial::createBuffers() {
  if (geometry) return true;
  if (!surface || !pipeline) {
    // The scene file's HyperVoxel data names no surface for quads.
    reportError("ParticleMaterial: no surface to draw particles with\n");
    return false;
  }
  plan = std::make_unique<SurfaceStagePlan>(*surface);
  auto buffer = std::make_unique<GeometryBuffer>(pipeline, plan.get(), surface.get());
  if (!buffer->create(false, false, 4 * kParticleSlots, 6 * kParticleSlots)) {
    plan.reset();
    return false;
  }
  geometry = std::move(buffer);
  capacity = kParticleSlots;
  vertices.assign(4 * static_cast<std::size_t>(capacity), SourceVertex{});
  indices.resize(6 * static_cast<std::size_t>(capacity));
  for (std::size_t q = 0; q < static_cast<std::size_t>(capacity); ++q)
    for (std::size_t k = 0; k < 6; ++k) indices[6 * q + k] = static_cast<std::uint32_t>(4 * q) + kQuadIndices[k];
  return true;
}

void ParticleMaterial::draw(double t, const Particle* particles, SceneItem* camera) {
  if (!geometry || !particles || !camera) return;
  const Matrix4x3 view = viewOf(*camera, t);
  if (!textureLayers.empty() && textureLayers[0]->texture && textureLayers[0]->opacityType != 3) evaluateParameters(t);
  Matrix4x3 eye;
  camera->worldMatrix(eye, t, true);
  const float right[3] = {eye[0], eye[1], eye[2]};
  const float up[3] = {eye[4], eye[5], eye[6]};
  const float forward[3] = {eye[8], eye[9], eye[10]};

  int n = 0;
  for (int i = 0; i < capacity; ++i) {
    const Particle& p = particles[i];
    if (!p.alive) continue;
    const float h = particleSize.evaluate(t) * 0.5f;
    for (int c = 0; c < 4; ++c) {
      const QuadCorner& corner = kQuadCorners[c];
      SourceVertex& v = vertices[static_cast<std::size_t>(4 * n + c)];
      for (int k = 0; k < 3; ++k) {
        v.position[k] = p.position[k] + (corner.right * right[k] + corner.up * up[k]) * h;
        v.normal[k] = forward[k];
      }
      v.color[0] = 1.0f, v.color[1] = 0.0f, v.color[2] = 1.0f, v.color[3] = 1.0f;
      v.texcoord[0][0] = corner.u, v.texcoord[0][1] = corner.v, v.texcoord[0][2] = 0.0f;
    }
    ++n;
  }
  // Without particles the buffer keeps what it held.
  if (n > 0) {
    geometry->fill(vertices.data(), 4 * n);
    geometry->setIndices(indices.data(), 6 * n);
  }
  pipeline->setWorldMatrix(g_identityMatrix);
  pipeline->setViewMatrix(view);
  if (n > 0) geometry->draw(pipeline->mainPass.get(), t);
}

// ---- HyperVoxelParticles ----

namespace {

constexpr int kIndicesPerSlice = 6;

}  // namespace

HyperVoxelParticles::HyperVoxelParticles(RenderPipeline* owner) : HyperVoxelSurface(owner) {
  if (!pipeline) return;
  const std::size_t devices = pipeline->devices.size();
  vertexBuffers.resize(devices);
  indexBuffers.resize(devices);
  volumeTextures.resize(devices);
  declarations.resize(devices);

  // Slice i is the unit square at z = (i + 0.5) / 32 - 0.5, its texture
  // coordinates the position moved into 0..1.
  float slices[kSlices * 4][6];
  for (int i = 0; i < kSlices; ++i) {
    const float z = (static_cast<float>(i) + 0.5f) / kSlices - 0.5f;
    for (int c = 0; c < 4; ++c) {
      float* v = slices[4 * i + c];
      v[0] = 0.5f * kQuadCorners[c].right;
      v[1] = 0.5f * kQuadCorners[c].up;
      v[2] = z;
      for (int k = 0; k < 3; ++k) v[3 + k] = v[k] + 0.5f;
    }
  }
  static_assert(sizeof slices == kSlices * 4 * kVertexStride);
  const D3DVERTEXELEMENT9 elements[] = {
      {0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
      {0, 12, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_TEXCOORD, 0},
      D3DDECL_END(),
  };

  for (std::size_t d = 0; d < devices; ++d) {
    IDirect3DDevice9* device = pipeline->devices[d];
    if (SUCCEEDED(device->CreateVertexBuffer(sizeof slices, D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED,
                                             vertexBuffers[d].put(), nullptr))) {
      void* data = nullptr;
      if (SUCCEEDED(vertexBuffers[d]->Lock(0, 0, &data, 0))) {
        std::memcpy(data, slices, sizeof slices);
        vertexBuffers[d]->Unlock();
      }
    }
    device->CreateVertexDeclaration(elements, declarations[d].put());
    createIndexBuffer(d);

    // A cross of three coloured planes through the centre of the middle
    // half of the volume: blue where x = 16, green where y = 16, red where
    // z = 16, opaque; everything else clear.
    if (FAILED(device->CreateVolumeTexture(kVolumeEdge, kVolumeEdge, kVolumeEdge, 1, 0, D3DFMT_A8R8G8B8,
                                           D3DPOOL_MANAGED, volumeTextures[d].put(), nullptr)))
      continue;
    D3DLOCKED_BOX box{};
    if (FAILED(volumeTextures[d]->LockBox(0, &box, nullptr, 0))) continue;
    auto* bytes = static_cast<std::uint8_t*>(box.pBits);
    for (int z = 0; z < kVolumeEdge; ++z) {
      for (int y = 0; y < kVolumeEdge; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(bytes + z * box.SlicePitch + y * box.RowPitch);
        for (int x = 0; x < kVolumeEdge; ++x) {
          const bool inside = x >= 8 && x < 24 && y >= 8 && y < 24 && z >= 8 && z < 24;
          std::uint32_t texel = 0;
          if (inside && (x == 16 || y == 16 || z == 16))
            texel = 0xFF000000u | (z == 16 ? 0xFF0000u : 0) | (y == 16 ? 0xFF00u : 0) | (x == 16 ? 0xFFu : 0);
          row[x] = texel;
        }
      }
    }
    volumeTextures[d]->UnlockBox(0);
  }
}

void HyperVoxelParticles::createIndexBuffer(std::size_t d) {
  constexpr UINT bytes = kSlices * kParticleSlots * kIndicesPerSlice * sizeof(std::uint16_t);
  static_assert(kSlices * 4 <= 0xFFFF);
  pipeline->devices[d]->CreateIndexBuffer(bytes, D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC, D3DFMT_INDEX16, D3DPOOL_DEFAULT,
                                          indexBuffers[d].put(), nullptr);
}

void HyperVoxelParticles::onDeviceLost() {
  // Default-pool buffers would make the reset fail.
  for (auto& buffer : indexBuffers) buffer.reset();
}

void HyperVoxelParticles::onDeviceReset() {
  for (std::size_t d = 0; d < indexBuffers.size(); ++d)
    if (!indexBuffers[d]) createIndexBuffer(d);
}

void HyperVoxelParticles::draw(double t, const Particle* particles, SceneItem* camera) {
  if (!pipeline || !particles || !camera) return;
  const auto d = static_cast<std::size_t>(pipeline->currentDeviceIndex);
  IDirect3DDevice9* device = pipeline->currentDevice;
  if (!device || d >= indexBuffers.size() || !indexBuffers[d] || !vertexBuffers[d]) return;
  const Matrix4x3 view = viewOf(*camera, t);

  int n = 0;
  for (int i = 0; i < kParticleSlots; ++i) n += particles[i].alive ? 1 : 0;
  if (n > 0) {
    void* data = nullptr;
    if (FAILED(indexBuffers[d]->Lock(0, 0, &data, D3DLOCK_DISCARD))) return;
    auto* out = static_cast<std::uint16_t*>(data);
    // Every particle draws the same slices.
    for (int q = 0; q < n; ++q)
      for (int s = 0; s < kSlices; ++s)
        for (std::uint32_t k : kQuadIndices) *out++ = static_cast<std::uint16_t>(4 * s + k);
    indexBuffers[d]->Unlock();
  }

  DWORD lighting = 0, zWrite = 0;
  device->GetRenderState(D3DRS_LIGHTING, &lighting);
  device->GetRenderState(D3DRS_ZWRITEENABLE, &zWrite);
  {
    ProfileScope timed(GameCounter::kSetSources);
    device->SetStreamSource(0, vertexBuffers[d].get(), 0, kVertexStride);
    device->SetIndices(indexBuffers[d].get());
  }
  device->SetVertexDeclaration(declarations[d].get());
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetRenderState(D3DRS_LIGHTING, 0);
  device->SetRenderState(D3DRS_ZWRITEENABLE, 0);

  // The slices face the camera as seen from the first slot's particle.
  Matrix4x3 eye;
  camera->worldMatrix(eye, t, true);
  const float* p0 = particles[0].position;
  const float dx = eye[12] - p0[0], dy = eye[13] - p0[1], dz = eye[14] - p0[2];
  const auto heading = static_cast<float>(std::atan2(dx, dz));
  const auto pitch = static_cast<float>(std::atan2(dy, std::sqrt(dx * dx + dz * dz)));
  Matrix4x3 world = rotationX(-pitch);
  postMultiply(world, rotationY(heading));
  pipeline->setWorldMatrix(world);
  pipeline->setViewMatrix(view);
  pipeline->constantTable->projection = camera->projection;
  const D3DMATRIX projection = toD3D(camera->projection);
  device->SetTransform(D3DTS_PROJECTION, &projection);

  // The texture turns 14 degrees a second about the slices' axis through
  // the volume's centre.
  Matrix4x3 spin = translationMatrix(-0.5f, -0.5f, -0.5f);
  postMultiply(spin, rotationZ(static_cast<float>(std::fmod(t * 14.0, 360.0) * std::numbers::pi / 180.0)));
  postMultiply(spin, translationMatrix(0.5f, 0.5f, 0.5f));
  const D3DMATRIX texture = toD3D(spin);
  device->SetTransform(D3DTS_TEXTURE0, &texture);
  device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
  device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT3);

  device->SetTexture(0, volumeTextures[d].get());
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
  device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
  for (DWORD address : {D3DSAMP_ADDRESSU, D3DSAMP_ADDRESSV, D3DSAMP_ADDRESSW})
    device->SetSamplerState(0, address, D3DTADDRESS_CLAMP);
  device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
  device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
  device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);

  if (n > 0) {
    {
      ProfileScope timed(GameCounter::kDrawIndexedPrimitive);
      device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4 * kSlices, 0, static_cast<UINT>(2 * kSlices * n));
    }
    pipeline->drawCallCount += 1;
    pipeline->primitiveCount += 2 * kSlices * n;
  }

  device->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
  device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
  device->SetTexture(0, nullptr);
  device->SetRenderState(D3DRS_LIGHTING, lighting);
  device->SetRenderState(D3DRS_ZWRITEENABLE, zWrite);
  device->SetRenderState(D3DRS_CULLMODE, pipeline->cullMode);
}
