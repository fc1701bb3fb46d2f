// Vertex layouts and packing, static meshes and geometry buffers over the
// recording device: strides and element order, index sizes, capacity
// checks, the draw sequence and the lost/reset cycle of dynamic buffers.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "foundation/envelope.h"
#include "render/mesh_batch.h"
#include "render/shader_pass.h"
#include "render/stage_plan.h"
#include "tests/render/pipeline_fixture.h"

namespace {

alignas(8) char g_textureStandIn[8];
Texture* const kTexture = reinterpret_cast<Texture*>(g_textureStandIn);

struct Layers {
  TextureLayer still, animated;
  Layers() {
    still.texture = animated.texture = kTexture;
    auto e = std::make_unique<Envelope>();
    e->addKeyLinear(1.0f, 0.0f);
    animated.centerY.channel = std::move(e);
  }
};

TEST(VertexLayoutTest, ElementsFollowThePlanInOrder) {
  SurfaceStagePlan plain;
  VertexElementList list = buildVertexElements(plain);
  EXPECT_EQ(list.stride, 24);
  ASSERT_EQ(list.elements.size(), 3u);
  EXPECT_EQ(list.elements[2].Stream, 0xFF);

  Layers layers;
  SurfaceStagePlan two;
  two.stageCount = 2;
  two.stages[0] = &layers.still;
  two.stages[1] = &layers.animated;
  list = buildVertexElements(two);
  EXPECT_EQ(list.stride, 24 + 8 + 12);
  EXPECT_EQ(list.elements[2].Type, D3DDECLTYPE_FLOAT2);
  EXPECT_EQ(list.elements[3].Type, D3DDECLTYPE_FLOAT3);
  EXPECT_EQ(list.elements[3].UsageIndex, 1);
  EXPECT_EQ(list.texcoordOffset, 32);

  // Colour, tangents after the sets, then bone indices and two weights.
  two.vertexColorLayer = &layers.still;
  two.tangentFrames = true;
  two.blendWeightCount = 2;
  list = buildVertexElements(two);
  ASSERT_EQ(list.elements.size(), 2u + 1 + 2 + 4 + 2 + 1);
  EXPECT_EQ(list.elements[2].Usage, D3DDECLUSAGE_COLOR);
  EXPECT_EQ(list.elements[2].Offset, 24);
  EXPECT_EQ(list.tangentOffset, 24 + 4 + 8 + 12);
  EXPECT_EQ(list.elements[5].UsageIndex, 2);  // tangent texture indices continue after the sets
  EXPECT_EQ(list.elements[9].Usage, D3DDECLUSAGE_BLENDINDICES);
  EXPECT_EQ(list.elements[9].Offset, list.tangentOffset + 48);
  EXPECT_EQ(list.elements[10].Type, D3DDECLTYPE_FLOAT2);
  EXPECT_EQ(list.elements[10].Offset, list.tangentOffset + 52);
  EXPECT_EQ(list.stride, list.tangentOffset + 48 + 12);
}

class MeshBatchTest : public PipelineTest {
 protected:
  void build(DWORD maxVertexIndex = 0x00FFFFFF) {
    static DWORD s_max;
    s_max = maxVertexIndex;
    PipelineTest::build(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0), nullptr,
                        [](FakeAdapter& a) { a.caps.MaxVertexIndex = s_max; });
  }
  SurfaceStagePlan plan;
};

TEST_F(MeshBatchTest, PackedVerticesDivideColourByTheScale) {
  build();
  Layers layers;
  plan.vertexColorLayer = &layers.still;
  plan.colorScale = 2;
  plan.stageCount = 1;
  plan.stages[0] = &layers.still;
  plan.blendWeightCount = 1;
  VertexLayout layout(pipeline.get(), &plan);
  EXPECT_EQ(layout.stride, 24 + 4 + 8 + 8);
  ASSERT_NE(layout.declaration(0), nullptr);
  EXPECT_FALSE(layout.softwareProcessing);
  SourceVertex v;
  v.position[0] = 1.0f;
  v.normal[2] = -1.0f;
  v.color[0] = 2.0f, v.color[1] = 1.0f, v.color[3] = 0.5f;
  v.texcoord[0][0] = 0.25f, v.texcoord[0][1] = 0.75f;
  v.blendIndices[0] = 7;
  v.blendWeights[0] = 0.5f;
  std::vector<std::uint8_t> out(layout.stride);
  packVertex(v, out.data(), layout);
  float f = 0;
  std::memcpy(&f, &out[20], 4);
  EXPECT_EQ(f, -1.0f);
  std::uint32_t colour = 0;
  std::memcpy(&colour, &out[24], 4);
  EXPECT_EQ(colour, 0x80FF8000u);  // rgb / 2, alpha as given
  std::memcpy(&f, &out[32], 4);
  EXPECT_EQ(f, 0.75f);
  EXPECT_EQ(out[36], 7);
  std::memcpy(&f, &out[40], 4);
  EXPECT_EQ(f, 0.5f);
}

TEST_F(MeshBatchTest, TangentFramesOfASlopedTriangle) {
  build();
  plan.tangentFrames = true;  // no texture set: u is the position's x
  VertexLayout layout(pipeline.get(), &plan);
  ASSERT_EQ(layout.stride, 24 + 48);
  // A triangle on the plane x = z: (0,0,0), (1,0,1), (0,3,0), u = 0, 1, 0.
  // Its stored normal (-2, 0, 2) is not unit length.
  const float points[3][3] = {{0, 0, 0}, {1, 0, 1}, {0, 3, 0}};
  std::vector<std::uint8_t> vertices(3 * 72);
  for (int i = 0; i < 3; ++i) {
    SourceVertex v;
    std::memcpy(v.position, points[i], sizeof v.position);
    v.normal[0] = -2.0f, v.normal[2] = 2.0f;
    packVertex(v, &vertices[72 * i], layout);
  }
  const std::uint32_t triangle[3] = {0, 1, 2};
  ASSERT_TRUE(computeTangentFrames(layout, vertices.data(), triangle, 3, 3));
  // Worked by hand: u stays constant along y, so the second vector is
  // (p2 - p1)(u0 - u1) - (p0 - p1)(u2 - u1) = (0, -3, 0), unit (0, -1, 0);
  // the first, second x normal, is (-1, 0, -1) / sqrt 2 (against the way u
  // grows, as this winding has it); the third, first x second, is the unit
  // normal (-1, 0, 1) / sqrt 2, which the normal itself becomes.
  const float r = 0.70710678f;
  const float expected[4][3] = {{-r, 0, -r}, {0, -1, 0}, {-r, 0, r}, {0, 0, 0}};
  for (int i = 0; i < 3; ++i) {
    float normal[3], block[12];
    std::memcpy(normal, &vertices[72 * i + 12], sizeof normal);
    std::memcpy(block, &vertices[72 * i + 24], sizeof block);
    for (int c = 0; c < 3; ++c) {
      EXPECT_NEAR(normal[c], expected[2][c], 1e-6) << i;
      for (int k = 0; k < 4; ++k) EXPECT_NEAR(block[3 * k + c], expected[k][c], 1e-6) << i << " vector " << k;
    }
  }
}

TEST_F(MeshBatchTest, LargeIndicesAssertAndStaySixteenBitWithoutThirtyTwoBitSupport) {
  build(0xFFFF);
  StaticMeshBuffer mesh(pipeline.get(), &plan, nullptr);
  const std::uint32_t triangle[3] = {0, 1, 70000};
  ASSERT_TRUE(mesh.addTriangles(triangle, 3));
  ASSERT_TRUE(mesh.build());
  EXPECT_EQ(takeMessage(), "too many indices");
  EXPECT_EQ(mesh.indexFormat, D3DFMT_INDEX16);
  EXPECT_EQ(mesh.indexBytes, 6);
  // Once built, nothing more is taken.
  EXPECT_FALSE(mesh.addTriangles(triangle, 3));
  EXPECT_FALSE(mesh.build());
  EXPECT_EQ(mesh.indexCount, 3);
}

TEST_F(MeshBatchTest, LargeIndicesUseThirtyTwoBitsWhereTheDeviceHasThem) {
  build(0x00FFFFFF);
  StaticMeshBuffer mesh(pipeline.get(), &plan, nullptr);
  const std::uint32_t triangles[7] = {0, 1, 70000, 2, 3, 4, 9};  // the last, partial triangle is dropped
  ASSERT_TRUE(mesh.addTriangles(triangles, 7));
  ASSERT_TRUE(mesh.build());
  EXPECT_EQ(takeMessage(), "");
  EXPECT_EQ(mesh.indexFormat, D3DFMT_INDEX32);
  EXPECT_EQ(mesh.primitiveCount, 2);
  D3DINDEXBUFFER_DESC desc{};
  mesh.indexBuffers[0]->GetDesc(&desc);
  EXPECT_EQ(desc.Size, 24u);
  EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
}

TEST_F(MeshBatchTest, GeometryBuffersRefuseWhatDoesNotFit) {
  build();
  GeometryBuffer buffer(pipeline.get(), &plan, nullptr);
  ASSERT_TRUE(buffer.create(false, false, 4, 6));
  EXPECT_FALSE(buffer.create(false, false, 4, 6));
  EXPECT_EQ(buffer.indexFormat, D3DFMT_INDEX16);
  std::vector<SourceVertex> vertices(5);
  EXPECT_FALSE(buffer.fill(vertices.data(), 5));
  EXPECT_NE(takeMessage(), "");
  EXPECT_TRUE(buffer.fill(vertices.data(), 4));
  const std::uint32_t tooMany[9] = {};
  EXPECT_FALSE(buffer.setIndices(tooMany, 9));
  const std::uint32_t pastTheVertices[3] = {0, 1, 4};
  EXPECT_FALSE(buffer.setIndices(pastTheVertices, 3));
  EXPECT_EQ(buffer.primitiveType, 0u);
  const std::uint32_t fits[6] = {0, 1, 2, 2, 1, 3};
  EXPECT_TRUE(buffer.setIndices(fits, 6));
  EXPECT_EQ(buffer.primitiveCount, 2);
}

TEST_F(MeshBatchTest, GeometryBuffersPastSixteenBitVerticesUseThirtyTwoBitIndices) {
  build();
  GeometryBuffer buffer(pipeline.get(), &plan, nullptr);
  ASSERT_TRUE(buffer.create(false, false, 70001, 3));
  EXPECT_EQ(buffer.indexFormat, D3DFMT_INDEX32);
  const std::uint32_t triangle[3] = {0, 65536, 70000};
  ASSERT_TRUE(buffer.setIndices(triangle, 3));
  void* data = nullptr;
  ASSERT_EQ(buffer.indexBuffers[0]->Lock(0, 0, &data, D3DLOCK_READONLY), D3D_OK);
  EXPECT_EQ(static_cast<std::uint32_t*>(data)[2], 70000u);
  buffer.indexBuffers[0]->Unlock();
  // A device without 32-bit indices cannot hold such a buffer.
  build(0xFFFF);
  GeometryBuffer small(pipeline.get(), &plan, nullptr);
  EXPECT_FALSE(small.create(false, false, 70001, 3));
  EXPECT_NE(takeMessage(), "");
}

TEST_F(MeshBatchTest, DynamicBufferSurvivesAResetWithItsSizes) {
  build();
  GeometryBuffer buffer(pipeline.get(), &plan, nullptr);
  ASSERT_TRUE(buffer.create(false, true, 10, 12));
  IDirect3DDevice9* device = pipeline->devices[0];
  D3DPRESENT_PARAMETERS p{};
  device->GetPresentParameters(&p);
  // While the dynamic buffers live, the device cannot be reset.
  EXPECT_EQ(device->Reset(&p), D3DERR_INVALIDCALL);
  IDirect3DIndexBuffer9* managedIndices = buffer.indexBuffers[0].get();
  buffer.onDeviceLost();
  EXPECT_FALSE(buffer.vertexBuffers[0]);
  EXPECT_EQ(buffer.indexBuffers[0].get(), managedIndices);  // managed: untouched
  ASSERT_EQ(device->Reset(&p), D3D_OK);
  buffer.onDeviceReset();
  ASSERT_TRUE(buffer.vertexBuffers[0]);
  D3DVERTEXBUFFER_DESC desc{};
  buffer.vertexBuffers[0]->GetDesc(&desc);
  EXPECT_EQ(desc.Size, 10u * 24);
  EXPECT_EQ(desc.Pool, D3DPOOL_DEFAULT);
  EXPECT_TRUE(desc.Usage & D3DUSAGE_DYNAMIC);
  std::vector<SourceVertex> vertices(10);
  EXPECT_TRUE(buffer.fill(vertices.data(), 10));
}

class LoggingPass : public ShaderPass {
 public:
  LoggingPass(RenderPipeline* p, CallLog* log) : ShaderPass(p), m_log(log) {}
  bool activate() override {
    m_log->add("activate");
    return true;
  }
  void bindSamplers(Surface&, double) override { m_log->add("bindSamplers"); }
  void applySurface(Surface&, double) override { m_log->add("applySurface"); }

 private:
  CallLog* m_log;
};

TEST_F(MeshBatchTest, DrawSetsTheSurfaceBeforeTheDeclarationAndCountsTheDraw) {
  build();
  Surface surface(nullptr, "s");
  StaticMeshBuffer mesh(pipeline.get(), &plan, &surface);
  std::vector<SourceVertex> vertices(3);
  const std::uint32_t triangle[3] = {0, 1, 2};
  mesh.addTriangles(triangle, 3);
  mesh.addVertices(vertices.data(), 3);
  ASSERT_TRUE(mesh.build());
  LoggingPass pass(pipeline.get(), log.get());
  log->calls.clear();
  mesh.draw(&pass, 0.0);
  EXPECT_EQ(pass.binding, &plan);
  const std::vector<std::string> expected = {"SetSoftwareVertexProcessing(0)",
                                             "applySurface",
                                             "SetVertexDeclaration(decl)",
                                             "activate",
                                             "bindSamplers",
                                             "SetStreamSource(0, vb, 0, 24)",
                                             "SetIndices(ib)",
                                             "DrawIndexedPrimitive(4, 0, 0, 3, 0, 1)"};
  EXPECT_EQ(log->calls, expected);
  EXPECT_EQ(pipeline->drawCallCount, 1);
  EXPECT_EQ(pipeline->primitiveCount, 1);
  // An empty batch still counts its (zero) primitives and the call.
  StaticMeshBuffer empty(pipeline.get(), &plan, &surface);
  empty.draw(&pass, 0.0);
  EXPECT_EQ(pipeline->drawCallCount, 2);
  EXPECT_EQ(pipeline->primitiveCount, 1);
}

}  // namespace
