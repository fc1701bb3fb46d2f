// The two particle renderers an object item can carry: camera-facing quads
// of a surface drawn through the render passes (ParticleMaterial), and a
// stack of volume-textured slices through the fixed-function pipeline
// (HyperVoxelParticles). The emitters call them once a frame.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/graphics/d3d9.h"
#include "render/hyper_voxel_surface.h"
#include "render/mesh_batch.h"
#include "render/stage_plan.h"
#include "render/surface.h"
#include "render/vertex_layout.h"

class ParticleMaterial : public HyperVoxelSurface {
 public:
  explicit ParticleMaterial(RenderPipeline* pipeline);

  void onDeviceLost() override;
  void onDeviceReset() override;
  void update(double t, const Particle* particles, SceneItem* camera) override { draw(t, particles, camera); }

  // Builds the stage plan of `surface` and dynamic buffers for one quad per
  // particle slot. Without a surface nothing is made (false, with a report).
  bool createBuffers();
  // One quad per alive particle, facing the camera, ParticleSize across,
  // drawn through the main pass. Nothing is drawn before createBuffers.
  void draw(double t, const Particle* particles, SceneItem* camera);

  std::unique_ptr<Surface> surface;
  std::int32_t capacity = 0;
  std::unique_ptr<SurfaceStagePlan> plan;
  std::vector<SourceVertex> vertices;  // 4 per slot
  std::vector<std::uint32_t> indices;  // 6 per slot, the same two triangles per quad
  // Last, so that it goes first: it reads the plan and the surface.
  std::unique_ptr<GeometryBuffer> geometry;
};

class HyperVoxelParticles : public HyperVoxelSurface {
 public:
  static constexpr int kSlices = 32;
  static constexpr int kVolumeEdge = 32;
  static constexpr int kVertexStride = 24;  // position and a 3-component texture coordinate

  // Makes and fills the slice vertices, the volume texture and the index
  // buffers on every device of the pipeline.
  explicit HyperVoxelParticles(RenderPipeline* pipeline);

  // The index buffers are dynamic: released before a reset, made again after.
  void onDeviceLost() override;
  void onDeviceReset() override;
  void update(double t, const Particle* particles, SceneItem* camera) override { draw(t, particles, camera); }

  // The slice stack, turned to face the camera from the first particle,
  // once per alive particle, its volume texture turning with time.
  void draw(double t, const Particle* particles, SceneItem* camera);

  std::vector<ComPtr<IDirect3DVertexBuffer9>> vertexBuffers;  // one per device
  std::vector<ComPtr<IDirect3DIndexBuffer9>> indexBuffers;
  std::vector<ComPtr<IDirect3DVolumeTexture9>> volumeTextures;
  std::vector<ComPtr<IDirect3DVertexDeclaration9>> declarations;

 private:
  void createIndexBuffer(std::size_t device);
};
