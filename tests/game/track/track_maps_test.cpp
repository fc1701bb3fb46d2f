#include "game/track/track_maps.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "content/bmp_writer.h"
#include "content/pcx_writer.h"
#include "foundation/channel_group.h"
#include "foundation/envelope.h"
#include "game/kart/vehicle.h"
#include "render/surface.h"
#include "scene/scene.h"
#include "tests/support/memory_file.h"

namespace {

constexpr int kSquareTrack = 3;  // the maps of track index 3 span +-250 in x and z

std::vector<unsigned char> bytes(const std::vector<std::uint8_t>& v) { return {v.begin(), v.end()}; }

// A grey-level palette, so that an index is its own colour.
std::vector<std::uint32_t> greys() {
  std::vector<std::uint32_t> palette;
  for (std::uint32_t i = 0; i < 256; ++i) palette.push_back(i * 0x010101u);
  return palette;
}

// A position map of `size` pixels a side whose pixel (row, column) is
// value(row, column).
template <class Value>
void putPositionMap(MemoryFile& files, int track, int size, Value value, PcxWriteOptions options = {}) {
  std::vector<std::uint8_t> indices;
  for (int row = 0; row < size; ++row)
    for (int column = 0; column < size; ++column) indices.push_back(static_cast<std::uint8_t>(value(row, column)));
  files.put(trackMapFileName(track, "posmap_track_", "pcx"), bytes(writePcx8(size, size, indices, greys(), options)));
}

void putLightMap(MemoryFile& files, int track, int width, int height, const std::vector<std::uint32_t>& pixels) {
  files.put(trackMapFileName(track, "light_track_", "bmp"), bytes(writeBmp24(width, height, pixels)));
}

// A pattern that tells rows and columns apart and never reads 0.
int pattern(int row, int column) { return (row * 7 + column * 3) % 255 + 1; }

TEST(TrackPositionMap, CornersReadTheFirstAndLastBytesAndOutsideReadsTheEdge) {
  MemoryFile files;
  putPositionMap(files, 0, 512, pattern);
  const TrackPositionMap map(&files, 0);
  const TrackRectangle& r = map.rectangle();
  EXPECT_EQ(map.valueAt({r.minX, 0.0f, r.maxZ}), pattern(0, 0));
  EXPECT_EQ(map.valueAt({r.maxX, 99.0f, r.minZ}), pattern(511, 511));
  // Column grows with x, row falls with z.
  const float du = (r.maxX - r.minX) / 512.0f, dv = (r.maxZ - r.minZ) / 512.0f;
  EXPECT_EQ(map.valueAt({r.minX + 10.5f * du, 0.0f, r.maxZ - 3.5f * dv}), pattern(3, 10));
  EXPECT_EQ(map.valueAt({-1e30f, 0.0f, -1e30f}), pattern(511, 0));
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(map.valueAt({nan, 0.0f, nan}), pattern(0, 0));

  TrackRectangle square;
  ASSERT_TRUE(square.setTrack(kSquareTrack));
  EXPECT_TRUE(square.minX == -250.0f && square.maxX == 250.0f && square.minZ == -250.0f && square.maxZ == 250.0f);
}

TEST(TrackPositionMap, ASmallerPictureReadsTheSamePlacesAndNothingPastItsEnd) {
  // The 512 map is the 256 one with every pixel doubled each way; track 4
  // spans +-310.5, so the same fraction of it is the same place.
  MemoryFile files;
  putPositionMap(files, kSquareTrack, 512, [](int row, int column) { return pattern(row / 2, column / 2); });
  putPositionMap(files, 4, 256, pattern);
  const TrackPositionMap large(&files, kSquareTrack), small(&files, 4);
  const float s = 310.5f / 250.0f;
  for (float x = -260.0f; x <= 260.0f; x += 7.3f) {
    for (float z = -260.0f; z <= 260.0f; z += 11.1f)
      ASSERT_EQ(small.valueAt({x * s, 0.0f, z * s}), large.valueAt({x, 0.0f, z})) << x << ", " << z;
  }
  EXPECT_EQ(small.valueAt({310.5f, 0.0f, -310.5f}), pattern(255, 255));
}

TEST(TrackPositionMap, PaddedLinesAndMissingPicturesReadSafely) {
  MemoryFile files;
  PcxWriteOptions padded;
  padded.bytesPerLine = 516;  // the padding lies past the last column
  putPositionMap(files, 0, 512, pattern, padded);
  const TrackPositionMap map(&files, 0);
  EXPECT_EQ(map.valueAt({map.rectangle().maxX, 0.0f, map.rectangle().minZ}), pattern(511, 511));
  files.put(trackMapFileName(2, "posmap_track_", "pcx"), std::string("not a picture"));
  for (int track : {1, 2, 9}) EXPECT_EQ(TrackPositionMap(&files, track).valueAt({}), 0) << track;
  EXPECT_EQ(ResetMap(&files, 7).height(), 392.0f);
}

TEST(TrackLightMap, Value170IsFullLight255HalfAgainAndNeighboursBlendWithinTheEdge) {
  MemoryFile files;
  putLightMap(files, 0, 512, 512, std::vector<std::uint32_t>(512 * 512, 0xAAAAAA));
  putLightMap(files, 1, 4, 4, std::vector<std::uint32_t>(16, 0xFFFFFF));
  putLightMap(files, kSquareTrack, 2, 1, {0x000000, 0x55AAAA});  // black, then 170 with red apart
  TrackLightMap grey, bright, blend;
  ASSERT_TRUE(loadTrackLightMap(grey, &files, 0) && loadTrackLightMap(bright, &files, 1) &&
              loadTrackLightMap(blend, &files, kSquareTrack));
  float colour[4] = {};
  sampleTrackLightMap(grey, colour, {12.3f, 0.0f, 40.0f});
  EXPECT_NEAR(colour[0], 1.0f, 1e-5);
  EXPECT_NEAR(colour[2], 1.0f, 1e-5);
  EXPECT_EQ(colour[3], 1.0f);
  sampleTrackLightMap(bright, colour, {-300.0f, 0.0f, 20.0f});
  EXPECT_NEAR(colour[1], 1.5f, 1e-5);

  sampleTrackLightMap(blend, colour, {-125.0f, 0.0f, 0.0f});  // half way between the pixels
  EXPECT_NEAR(colour[1], 0.5f, 1e-5);
  EXPECT_NEAR(colour[0], 0.25f, 1e-5);
  // Just outside the left edge the blend is the edge pixel, not a reach
  // beyond it into negative light.
  sampleTrackLightMap(blend, colour, {-260.0f, 0.0f, 0.0f});
  EXPECT_EQ(colour[1], 0.0f);
}

// A kart standing where the test puts it.
class StandingKart : public Vehicle {
 public:
  StandingKart(Scene& scene, NetControl& control, int k)
      : Vehicle(scene, nullptr, k, nullptr, nullptr, "", control, VehicleNetValues::Side::Master) {}
  void getPosition(Position3& out) override { out = at; }
  const float* getVelocity() override { return m_dir; }
  void step(double, double) override {}
  void updateVisuals(double) override {}
  Position3 at{};
  float m_dir[3] = {0, 0, 1};
};

TEST(ApplyTrackLight, LightsEveryKartButOneBeingHit) {
  MemoryFile files;
  putLightMap(files, kSquareTrack, 2, 1, {0x555555, 0xAAAAAA});  // shade (0.5) left, light (1.0) right
  TrackLightMap map;
  ASSERT_TRUE(loadTrackLightMap(map, &files, kSquareTrack));
  NetControl control;
  Scene scene{nullptr};
  StandingKart lit(scene, control, 0), hit(scene, control, 1);
  lit.at = {200.0f, 0.0f, 0.0f};
  hit.at = {-250.0f, 0.0f, 0.0f};
  Surface litBody(nullptr, "lit"), hitBody(nullptr, "hit");
  lit.m_characterModel[Vehicle::kBodySurface] = &litBody;
  hit.m_characterModel[Vehicle::kChassisSurface] = &hitBody;
  // The second kart's driver plays the hit motion.
  ChannelGroup channel;
  channel.addEnvelope(std::make_unique<Envelope>());
  MixerMotion hitMotion;
  hitMotion.addChannel(&channel, 0);
  hitMotion.setIntensity(1.0f);
  MixerActor driver;
  driver.motions.push_back(&hitMotion);
  hit.m_motions.m_driver = &driver;
  hit.m_motions.m_driverIndex[KartMotions::kHit] = 0;

  Vehicle* slots[Vehicle::kMaxKarts] = {&lit, &hit};
  applyTrackLight(map, slots, 6);
  EXPECT_FLOAT_EQ(litBody.colorFactor[1], 1.0f);
  EXPECT_EQ(hitBody.colorFactor[0], 1.0f);  // kept
  hitMotion.setIntensity(0.0f);
  applyTrackLight(map, slots, 6);
  EXPECT_FLOAT_EQ(hitBody.colorFactor[0], 0.5f);

  // Without a picture nothing changes.
  EXPECT_FALSE(loadTrackLightMap(map, &files, 0));
  lit.at = hit.at;
  applyTrackLight(map, slots, 6);
  EXPECT_FLOAT_EQ(litBody.colorFactor[1], 1.0f);
  float colour[4] = {0.3f, 0.3f, 0.3f, 0.3f};
  sampleTrackLightMap(map, colour, {});
  EXPECT_EQ(colour[0], 0.3f);
}

}  // namespace
