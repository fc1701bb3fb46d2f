// Computed textures: flare and spot pictures at probe points, sequence frame
// selection per mode, gradient order, clones and the hyper-voxel base.
#include <gtest/gtest.h>

#include <cmath>

#include "foundation/envelope.h"
#include "render/hyper_voxel_surface.h"
#include "render/procedural_texture.h"
#include "render/sequence_texture.h"
#include "render/texture_layer.h"
#include "tests/render/pipeline_fixture.h"

namespace {

std::uint32_t greyOf(std::uint32_t texel) { return texel & 0xFF; }

TEST(FlareTexels, CentresFallOffAndTheRingSitsAtItsRadius) {
  // Even centre: the four middle texels lie 0.707 from the centre.
  EXPECT_EQ(flareTexel(kFlareEvenCentre, 255, 255, 512, 512), 0xFFFEFEFEu);
  EXPECT_EQ(flareTexel(kFlareEvenCentre, 256, 256, 512, 512), 0xFFFEFEFEu);
  EXPECT_EQ(greyOf(flareTexel(kFlareEvenCentre, 0, 256, 512, 512)), 0u);  // d = 256.5
  EXPECT_EQ(greyOf(flareTexel(kFlareEvenCentre, 0, 0, 512, 512)), 0u);
  // Dim centre: 255 - 16 sqrt(d).
  EXPECT_EQ(greyOf(flareTexel(kFlareDimCentre, 256 + 99, 256, 512, 512)), 255u - 159u);  // d = 99.5
  EXPECT_EQ(greyOf(flareTexel(kFlareBrightCentre, 256, 256, 512, 512)), 255u);           // ln(0.5) < 0
  // Ring: radius 43.2 texels, half width about 3; opaque black elsewhere.
  EXPECT_GT(greyOf(flareTexel(kFlareRing, 256 + 43, 256, 512, 512)), 180u);  // d = 42.5
  EXPECT_EQ(flareTexel(kFlareRing, 256 + 48, 256, 512, 512), 0xFF000000u);
  EXPECT_EQ(flareTexel(kFlareRing, 256, 256, 512, 512), 0xFF000000u);
  EXPECT_EQ(flareTexel(kFlareNoise, 10, 10, 512, 512) >> 24, 0xFFu);
  EXPECT_EQ(flareTexel(7, 10, 10, 512, 512), 0u);
}

TEST(FlareTexels, NoiseIsExactAtLatticePointsAndLinearBetween) {
  // Lattice value of 0: n = 0, m = -771171059 & 0x7FFFFFFF.
  const double zero = 1.0 - static_cast<double>(static_cast<std::uint32_t>(-771171059) & 0x7FFFFFFFu) / 1073741824.0;
  EXPECT_DOUBLE_EQ(flareNoise(0.0), zero);
  EXPECT_DOUBLE_EQ(flareNoise(0.5), (flareNoise(0.0) + flareNoise(1.0)) / 2);
  // Lattice values worked out in 32-bit arithmetic: n = 71 k, n ^= n << 13,
  // m = (n (15731 n^2 + 789221) - 771171059) & 0x7FFFFFFF, value 1 - m / 2^30.
  const double one = 1.0 - 1416079845.0 / 1073741824.0;        // k = 1
  const double minusThree = 1.0 - 727074445.0 / 1073741824.0;  // k = -3
  const double minusTwo = 1.0 - 1174296415.0 / 1073741824.0;   // k = -2
  EXPECT_DOUBLE_EQ(flareNoise(1.0), one);
  EXPECT_DOUBLE_EQ(flareNoise(-3.0), minusThree);
  // Below zero the lattice point is the floor: -2.75 lies a quarter of the
  // way from -3 to -2.
  EXPECT_DOUBLE_EQ(flareNoise(-2.75), 0.75 * minusThree + 0.25 * minusTwo);
}

TEST(SpotTexels, DarkOutsideTheConeAndSaturatedInsideTheEdge) {
  const float cone = 0.5f, edge = 0.1f;
  EXPECT_EQ(spotTexel(0, 0, 512, 512, 1.0f, edge, cone), 0u);  // the corner lies outside
  EXPECT_EQ(spotTexel(256, 256, 512, 512, 0.125f, edge, cone), 0xFFFFFFFFu);
  EXPECT_EQ(spotTexel(256, 256, 512, 512, 1.0f / 16, edge, cone), 0xFF808080u);  // 0.5 packed
  // Within the edge the value ramps up towards the centre.
  const std::uint32_t edgeTexel = spotTexel(511, 256, 512, 512, 1.0f / 16, edge, 0.6f);
  EXPECT_LT(greyOf(edgeTexel), 0x80u);
}

class ComputedTextureTest : public PipelineTest {
 protected:
  void SetUp() override {
    PipelineTest::SetUp();
    build(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    pipeline->adapterInfo->textureFormats = {findFormat(D3DFMT_A8R8G8B8)};
  }
};

TEST_F(ComputedTextureTest, FlaresAndSpotsAreNamedAndUploadedWithAFullChain) {
  ProceduralTexture ring(pipeline.get());
  ring.makeFlare(kFlareRing);
  EXPECT_EQ(ring.name, "(flare RING)");
  EXPECT_EQ(ring.levelCount, 10u);
  ASSERT_NE(ring.getDeviceTexture(0.0), nullptr);
  D3DSURFACE_DESC d{};
  ring.getDeviceTexture(0.0)->GetLevelDesc(0, &d);
  EXPECT_EQ(d.Width, 512u);
  EXPECT_EQ(d.Pool, D3DPOOL_MANAGED);
  ProceduralTexture unknown(pipeline.get());
  unknown.name = "kept";
  unknown.makeFlare(9);
  EXPECT_EQ(unknown.name, "kept");
  ProceduralTexture spot(pipeline.get());
  spot.makeSpot(1.0f, 0.1f, 0.5f);
  EXPECT_EQ(spot.name, "(Spot)");
  EXPECT_EQ(spot.kind(), kTextureKindProcedural);
  EXPECT_NE(spot.clone()->kind(), kTextureKindFile);
}

// A frame whose device texture is a recognisable non-null pointer.
class MarkerFrame : public ProceduralTexture {
 public:
  MarkerFrame(RenderPipeline* p, std::uintptr_t id) : ProceduralTexture(p), id(id) {}
  std::unique_ptr<Texture> clone() const override { return std::make_unique<MarkerFrame>(*this); }
  IDirect3DTexture9* getDeviceTexture(double) override { return reinterpret_cast<IDirect3DTexture9*>(id); }
  void setFlags(std::uint32_t f) override { flags = f; }
  std::uintptr_t id;
};

SequenceTexture makeSequence(RenderPipeline* p, int count, int mode, float rate) {
  SequenceTexture s(p);
  for (int i = 0; i < count; ++i) s.frames.push_back(std::make_unique<MarkerFrame>(p, 0x1000 + i));
  s.lastFrame = static_cast<std::uint32_t>(count - 1);
  s.frameMode = mode;
  s.frameRate = rate;
  return s;
}

TEST_F(ComputedTextureTest, SequenceFramesFollowTheMode) {
  auto loop = makeSequence(pipeline.get(), 10, kFrameLoop, 10.0f);
  EXPECT_EQ(loop.frameIndexAt(1.25), 2);
  EXPECT_EQ(loop.frameIndexAt(0.0), 0);
  EXPECT_EQ(loop.frameIndexAt(2.35), 3);
  auto clamp = makeSequence(pipeline.get(), 10, kFrameClamp, 10.0f);
  EXPECT_EQ(clamp.frameIndexAt(100.0), 9);
  clamp.frameOffset = 5;
  EXPECT_EQ(clamp.frameIndexAt(0.2), 9);  // before the offset: a huge frame number
  auto restart = makeSequence(pipeline.get(), 4, kFrameRestart, 1.0f);
  EXPECT_EQ(restart.frameIndexAt(3.5), 3);
  EXPECT_EQ(restart.frameIndexAt(4.5), 0);
  auto pingPong = makeSequence(pipeline.get(), 4, kFramePingPong, 1.0f);
  const int expected[8] = {3, 2, 1, 0, 0, 1, 2, 3};
  for (int f = 0; f < 8; ++f) EXPECT_EQ(pingPong.frameIndexAt(f + 0.5), expected[f]) << f;
  // Unknown modes stay inside the frames.
  auto odd = makeSequence(pipeline.get(), 3, 77, 1.0f);
  EXPECT_EQ(odd.frameIndexAt(50.0), 2);
  EXPECT_EQ(odd.frameIndexAt(1.0), 1);
  // A range claiming more frames than exist is bounded by the array.
  odd.lastFrame = 40;
  odd.frameMode = kFrameClamp;
  EXPECT_EQ(odd.frameIndexAt(30.0), 2);
  // Times far outside any integer still name a frame inside the range.
  EXPECT_EQ(clamp.frameIndexAt(1e300), 9);
  EXPECT_EQ(clamp.frameIndexAt(-1e300), 9);  // before the offset
  EXPECT_EQ(loop.frameIndexAt(1e300), 0);    // 4e9 frames: a whole number of loops
}

TEST_F(ComputedTextureTest, MissingFramesShowTheNearestEarlierOne) {
  auto s = makeSequence(pipeline.get(), 5, kFrameClamp, 1.0f);
  s.frames[3].reset();
  EXPECT_EQ(s.getDeviceTexture(3.0), reinterpret_cast<IDirect3DTexture9*>(0x1002));
  s.frames[0].reset();
  s.frames[1].reset();
  s.frames[2].reset();
  EXPECT_EQ(s.getDeviceTexture(2.0), nullptr);
  SequenceTexture empty(pipeline.get());
  EXPECT_EQ(empty.getDeviceTexture(1.0), nullptr);
}

TEST_F(ComputedTextureTest, ClonedSequencesHaveTheirOwnFramesAndFlagsReachEveryFrame) {
  auto s = makeSequence(pipeline.get(), 3, kFrameLoop, 1.0f);
  s.frames[1].reset();
  s.setFlags(0x141);
  EXPECT_EQ(s.frames[2]->flags, 0x141u);
  auto copy = s.clone();
  s.frames.clear();
  EXPECT_EQ(copy->getDeviceTexture(2.5), reinterpret_cast<IDirect3DTexture9*>(0x1002));
  EXPECT_EQ(copy->getDeviceTexture(1.5), reinterpret_cast<IDirect3DTexture9*>(0x1000));
  EXPECT_EQ(copy->kind(), kTextureKindSequence);
}

// A gradient layer from 0 to 2: red rises as p / 2, alpha stays 0.25.
std::unique_ptr<TextureLayer> rampLayer(std::uint32_t channel) {
  auto layer = std::make_unique<TextureLayer>();
  layer->channel = channel;
  layer->gradientStart = 0.0f;
  layer->gradientEnd = 2.0f;
  auto red = std::make_unique<Envelope>();
  red->addKeyLinear(0.0f, 0.0f);
  red->addKeyLinear(1.0f, 2.0f);
  layer->gradientChannels[0].channel = std::move(red);
  layer->gradientChannels[3].value = 0.25f;
  return layer;
}

TEST_F(ComputedTextureTest, GradientsRunFromTheEndAtTexelZeroToTheStart) {
  auto ramp = rampLayer(fourCC("COLR"));
  GradientTexture g(pipeline.get(), ramp.get());
  g.load();
  IDirect3DTexture9* t = g.getDeviceTexture(0.0);
  ASSERT_NE(t, nullptr);
  D3DLOCKED_RECT r{};
  ASSERT_EQ(t->LockRect(0, &r, nullptr, D3DLOCK_READONLY), D3D_OK);
  const auto* texels = static_cast<const std::uint32_t*>(r.pBits);
  EXPECT_EQ(texels[1023], 0x40000000u);  // p = start: red 0, alpha 0.25
  EXPECT_EQ(texels[0], 0x40FF0000u);     // p = 1023/512: red 0.999 packs to 255
  t->UnlockRect(0);
  ramp->gradientChannels[3].value = 1.0f;
  g.load();  // computed once: the changed layer is not read again
  g.getDeviceTexture(0.0)->LockRect(0, &r, nullptr, D3DLOCK_READONLY);
  EXPECT_EQ(static_cast<const std::uint32_t*>(r.pBits)[1023], 0x40000000u);
  g.getDeviceTexture(0.0)->UnlockRect(0);

  auto tranLayer = rampLayer(fourCC("TRAN"));
  GradientTexture tran(pipeline.get(), tranLayer.get());
  tran.load();
  tran.getDeviceTexture(0.0)->LockRect(0, &r, nullptr, D3DLOCK_READONLY);
  EXPECT_EQ(static_cast<const std::uint32_t*>(r.pBits)[0], 0xFFFF0000u);    // red as alpha
  EXPECT_EQ(static_cast<const std::uint32_t*>(r.pBits)[512], 0x7F7F0000u);  // k = 511: red 0.499
  tran.getDeviceTexture(0.0)->UnlockRect(0);
}

struct Part : HyperVoxelPart {
  explicit Part(std::vector<std::string>* events, std::string name) : events(events), name(std::move(name)) {}
  ~Part() override { events->push_back("delete " + name); }
  std::vector<std::string>* events;
  std::string name;
};

struct Voxels : HyperVoxelSurface {
  using HyperVoxelSurface::HyperVoxelSurface;
  void update(double, const Particle*, SceneItem*) override {}
};

TEST(HyperVoxelSurfaceBase, StartsWithItsDefaultsAndDeletesWhatItOwns) {
  std::vector<std::string> events;
  {
    Voxels v(nullptr);
    EXPECT_EQ(v.blendingMode, 1);
    EXPECT_FLOAT_EQ(v.colour[1].value, 200.0f / 255.0f);
    EXPECT_FLOAT_EQ(v.reservedValue.value, 255.0f);
    EXPECT_FLOAT_EQ(v.opacity.value, 1.0f);
    v.textureLayers.push_back(std::make_unique<TextureLayer>());
    v.ownedObjects[3] = std::make_unique<Part>(&events, "object");
  }
  EXPECT_EQ(events, (std::vector<std::string>{"delete object"}));
}

}  // namespace
