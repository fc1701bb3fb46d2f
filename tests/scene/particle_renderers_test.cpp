// Particle renderers: the quads' buffers and the slice stack's device
// objects on the recording device, and one quad drawn on OpenGL.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "render/render_pipeline.h"
#include "scene/camera_item.h"
#include "scene/particle_renderers.h"
#include "tests/render/pipeline_fixture.h"

namespace {

class ParticleRendererTest : public PipelineTest {
 protected:
  void SetUp() override {
    PipelineTest::SetUp();
    build(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    particles.resize(kParticleSlots);
  }
  Particle& live(int i, float x, float y, float z) {
    Particle& p = particles[static_cast<std::size_t>(i)];
    p.position[0] = x, p.position[1] = y, p.position[2] = z;
    p.alive = true;
    return p;
  }
  std::unique_ptr<ParticleMaterial> material() {
    auto m = std::make_unique<ParticleMaterial>(pipeline.get());
    m->surface = std::make_unique<Surface>(nullptr, "fxSurface");
    m->particleSize.value = 2.0f;
    return m;
  }
  Matrix4x3 transform(D3DTRANSFORMSTATETYPE state) {
    D3DMATRIX m;
    pipeline->currentDevice->GetTransform(state, &m);
    Matrix4x3 out;
    std::memcpy(out.m, &m.m[0][0], sizeof out.m);
    return out;
  }

  std::vector<Particle> particles;
  CameraItem camera{nullptr, 0};
};

TEST_F(ParticleRendererTest, EveryLiveParticleIsOneCameraFacingQuad) {
  auto quads = material();
  ASSERT_TRUE(quads->createBuffers());
  for (int i = 0; i < kParticleSlots; ++i) live(i, 1, 2, 3);
  log->calls.clear();
  quads->draw(0.0, particles.data(), &camera);

  EXPECT_EQ(quads->geometry->vertexCount, 1000);
  EXPECT_EQ(quads->geometry->indexCount, 1500);
  ASSERT_EQ(log->count("DrawIndexedPrimitive"), 1);
  EXPECT_EQ(log->count("DrawIndexedPrimitive(4, 0, 0, 1000, 0, 500)"), 1);
  // Half the size either way along the camera's right (x) and up (y).
  const float corners[4][5] = {{0, 3, 3, 1, 1}, {2, 3, 3, 0, 1}, {0, 1, 3, 1, 0}, {2, 1, 3, 0, 0}};
  for (int c = 0; c < 4; ++c) {
    const SourceVertex& v = quads->vertices[static_cast<std::size_t>(996 + c)];
    for (int k = 0; k < 3; ++k) EXPECT_FLOAT_EQ(v.position[k], corners[c][k]) << c;
    EXPECT_EQ(v.texcoord[0][0], corners[c][3]);
    EXPECT_EQ(v.texcoord[0][1], corners[c][4]);
    EXPECT_EQ(v.normal[2], 1.0f) << "the normal is the viewing direction";
  }
  const std::uint32_t lastQuad[6] = {996, 997, 998, 998, 997, 999};
  EXPECT_EQ(std::memcmp(&quads->indices[1494], lastQuad, sizeof lastQuad), 0);
}

TEST_F(ParticleRendererTest, WithoutLiveParticlesNothingIsDrawnAndTheBufferKeepsItsContents) {
  auto quads = material();
  ASSERT_TRUE(quads->createBuffers());
  live(7, 0, 0, 0);
  quads->draw(0.0, particles.data(), &camera);
  ASSERT_EQ(quads->geometry->vertexCount, 4);
  particles[7].alive = false;
  const float at[3] = {0, 0, -10};
  camera.setPosition(at);
  camera.invalidate();
  log->calls.clear();
  quads->draw(0.0, particles.data(), &camera);
  EXPECT_EQ(log->count("DrawIndexedPrimitive"), 0);
  EXPECT_EQ(log->count("Lock"), 0);
  EXPECT_EQ(quads->geometry->vertexCount, 4);
  // The view is still the camera's.
  EXPECT_EQ(log->count("SetTransform(2)"), 1);
  EXPECT_FLOAT_EQ(pipeline->constantTable->view[14], 10.0f);
}

TEST_F(ParticleRendererTest, AMaterialWithoutASurfaceMakesNothingAndDrawsNothing) {
  ParticleMaterial fromSceneFile(pipeline.get());
  EXPECT_FALSE(fromSceneFile.createBuffers());
  EXPECT_NE(takeMessage(), "");
  EXPECT_EQ(fromSceneFile.surface, nullptr) << "no surface is made up";
  live(0, 0, 0, 0);
  log->calls.clear();
  fromSceneFile.update(0.0, particles.data(), &camera);
  EXPECT_TRUE(log->calls.empty());
}

TEST_F(ParticleRendererTest, TheVolumeIsACrossOfThreePlanesAndTheSlicesStackAlongZ) {
  HyperVoxelParticles voxels(pipeline.get());
  D3DLOCKED_BOX box{};
  ASSERT_EQ(voxels.volumeTextures[0]->LockBox(0, &box, nullptr, D3DLOCK_READONLY), D3D_OK);
  auto texel = [&](int x, int y, int z) {
    return reinterpret_cast<const std::uint32_t*>(static_cast<const std::uint8_t*>(box.pBits) + z * box.SlicePitch +
                                                  y * box.RowPitch)[x];
  };
  EXPECT_EQ(texel(16, 16, 16), 0xFFFFFFFFu);
  EXPECT_EQ(texel(16, 10, 12), 0xFF0000FFu);  // x = 16: blue
  EXPECT_EQ(texel(10, 16, 12), 0xFF00FF00u);  // y = 16: green
  EXPECT_EQ(texel(10, 12, 16), 0xFFFF0000u);  // z = 16: red
  EXPECT_EQ(texel(16, 23, 8), 0xFF0000FFu);   // the block's last row and first slice
  EXPECT_EQ(texel(16, 24, 12), 0u);           // past the block
  EXPECT_EQ(texel(8, 8, 8), 0u);              // in the block, on no plane
  voxels.volumeTextures[0]->UnlockBox(0);

  D3DVERTEXBUFFER_DESC desc{};
  voxels.vertexBuffers[0]->GetDesc(&desc);
  EXPECT_EQ(desc.Size, 3072u);
  void* data = nullptr;
  ASSERT_EQ(voxels.vertexBuffers[0]->Lock(0, 0, &data, D3DLOCK_READONLY), D3D_OK);
  const auto* v = static_cast<const float*>(data);
  const float last[6] = {0.5f, -0.5f, 0.484375f, 1.0f, 0.0f, 0.984375f};  // position, then texture
  for (int k = 0; k < 6; ++k) EXPECT_FLOAT_EQ(v[127 * 6 + k], last[k]) << k;
  voxels.vertexBuffers[0]->Unlock();
}

TEST_F(ParticleRendererTest, TheSliceStackFacesTheCameraOncePerLiveParticle) {
  HyperVoxelParticles voxels(pipeline.get());
  live(0, 1, 0, 0);
  live(9, 5, 5, 5);
  live(249, -5, 0, 0);
  const float at[3] = {1, 3, 4};  // (0, 3, 4) from the first slot's particle
  camera.setPosition(at);
  log->calls.clear();
  voxels.draw(2.0, particles.data(), &camera);
  EXPECT_EQ(log->count("DrawIndexedPrimitive(4, 0, 0, 128, 0, 192)"), 1);
  const Matrix4x3 world = transform(D3DTS_WORLD);
  EXPECT_NEAR(world[8], 0.0f, 1e-6f);  // the slices' z axis points at the camera
  EXPECT_NEAR(world[9], 0.6f, 1e-6f);
  EXPECT_NEAR(world[10], 0.8f, 1e-6f);
  EXPECT_EQ(world[12], 0.0f) << "no translation";
  EXPECT_NEAR(transform(D3DTS_TEXTURE0)[0], std::cos(28.0 * std::numbers::pi / 180), 1e-6) << "14 degrees a second";

  void* data = nullptr;
  ASSERT_EQ(voxels.indexBuffers[0]->Lock(0, 0, &data, D3DLOCK_READONLY), D3D_OK);
  const std::uint16_t lastSlice[6] = {124, 125, 126, 126, 125, 127};
  EXPECT_EQ(std::memcmp(static_cast<std::uint16_t*>(data) + 6 * (2 * 32 + 31), lastSlice, sizeof lastSlice), 0);
  voxels.indexBuffers[0]->Unlock();
}

TEST_F(ParticleRendererTest, TheSliceIndicesAreGivenUpForAResetAndMadeAgain) {
  HyperVoxelParticles voxels(pipeline.get());
  live(0, 0, 0, 1);
  voxels.onDeviceLost();
  EXPECT_EQ(voxels.indexBuffers[0].get(), nullptr);
  log->calls.clear();
  voxels.draw(0.0, particles.data(), &camera);
  EXPECT_EQ(log->count("DrawIndexedPrimitive"), 0);
  voxels.onDeviceReset();
  voxels.draw(0.0, particles.data(), &camera);
  EXPECT_EQ(log->count("DrawIndexedPrimitive(4, 0, 0, 128, 0, 64)"), 1);
}

// ---- On OpenGL ----

// On OpenGL, seen from 5 units down -z through x / z, y / z (depth 1 to
// 100), the viewport cleared to black.
class ParticleRendererGlTest : public PipelineTest {
 protected:
  void SetUp() override {
    PipelineTest::SetUp();
    buildOnGl();
    device = pipeline->currentDevice;
    ASSERT_NE(device, nullptr);
    device->GetViewport(&viewport);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    const float n = 1.0f, f = 100.0f;
    camera.projection = {};
    camera.projection[0] = camera.projection[5] = camera.projection[11] = 1.0f;
    camera.projection[10] = f / (f - n);
    camera.projection[14] = -n * f / (f - n);
    camera.projectionValid = true;
    D3DMATRIX projection;
    std::memcpy(&projection.m[0][0], camera.projection.m, sizeof projection.m);
    device->SetTransform(D3DTS_PROJECTION, &projection);
    const float at[3] = {0, 0, -5};
    camera.setPosition(at);
    particles[0].alive = true;
  }
  DWORD pixelAt(float x, float y) { return clipSpacePixel(device, viewport, x, y); }

  IDirect3DDevice9* device = nullptr;
  D3DVIEWPORT9 viewport{};
  CameraItem camera{nullptr, 0};
  std::vector<Particle> particles = std::vector<Particle>(kParticleSlots);
};

TEST_F(ParticleRendererGlTest, AGlowingQuadCoversItsSizeAroundTheParticle) {
  ParticleMaterial quads(pipeline.get());
  quads.surface = std::make_unique<Surface>(nullptr, "glow");
  Surface& s = *quads.surface;
  s.red.value = 1.0f, s.green.value = 0.5f, s.blue.value = 0.25f;
  s.diffuse.value = 0.0f;  // its own light only
  s.luminosity.value = 1.0f;
  quads.particleSize.value = 4.0f;  // 2 either side at distance 5: 0.4 of the half screen
  ASSERT_TRUE(quads.createBuffers());
  quads.draw(0.0, particles.data(), &camera);
  EXPECT_EQ(pixelAt(0.0f, 0.0f), 0x00FF8040u) << std::hex << pixelAt(0.0f, 0.0f);
  EXPECT_EQ(pixelAt(0.35f, -0.35f), 0x00FF8040u) << "inside the corner at 0.4";
  EXPECT_EQ(pixelAt(0.45f, 0.0f), 0u) << "outside the quad";
}

TEST_F(ParticleRendererGlTest, TheSliceStackShowsTheVolumesMiddlePlaneFaceOn) {
  HyperVoxelParticles voxels(pipeline.get());
  voxels.draw(0.0, particles.data(), &camera);
  // Off the volume's centre lines only the middle slice (z = 16, red,
  // opaque) has alpha; the block spans a quarter of the unit square either
  // side, 0.05 on screen at distance 5.
  EXPECT_EQ(pixelAt(0.02f, 0.02f), 0x00FF0000u) << std::hex << pixelAt(0.02f, 0.02f);
  EXPECT_EQ(pixelAt(0.07f, 0.02f), 0u) << "outside the block";
}

}  // namespace
