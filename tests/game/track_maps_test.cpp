#include "game/track_maps.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "content/bmp_writer.h"
#include "content/pcx_writer.h"
#include "foundation/channel_group.h"
#include "foundation/envelope.h"
#include "game/vehicle.h"
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

TEST(TrackRectangle, TrackThreeIsTheSquareOf250AndFileNamesFollowTheTrackNumbers) {
  TrackRectangle r;
  ASSERT_TRUE(r.setTrack(kSquareTrack));
  EXPECT_EQ(r.minX, -250.0f);
  EXPECT_EQ(r.maxX, 250.0f);
  EXPECT_EQ(r.minZ, -250.0f);
  EXPECT_EQ(r.maxZ, 250.0f);
  EXPECT_FALSE(r.setTrack(8));
  EXPECT_FALSE(r.setTrack(-1));
  EXPECT_EQ(trackMapFileName(0, "light_track_", "bmp"), "D:\\Tamberlok/mini_maps/light_track_01.bmp");
  EXPECT_EQ(trackMapFileName(1, "posmap_track_", "pcx"), "D:\\Tamberlok/mini_maps/posmap_track_05.pcx");
  EXPECT_EQ(trackMapFileName(7, "reset_map_track_", "pcx"), "D:\\Tamberlok/mini_maps/reset_map_track_07.pcx");
  EXPECT_EQ(trackMapFileName(8, "posmap_track_", "pcx"), "");
}

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
  // Far outside, and at positions no picture has, the nearest edge pixel.
  EXPECT_EQ(map.valueAt({-1e30f, 0.0f, -1e30f}), pattern(511, 0));
  EXPECT_EQ(map.valueAt({1e30f, 0.0f, 1e30f}), pattern(0, 511));
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(map.valueAt({nan, 0.0f, nan}), pattern(0, 0));
}

TEST(TrackPositionMap, ASmallerPictureReadsTheSamePlacesAndNothingPastItsEnd) {
  // The 512 map is the 256 one with every pixel doubled each way.
  MemoryFile files;
  putPositionMap(files, kSquareTrack, 512, [](int row, int column) { return pattern(row / 2, column / 2); });
  putPositionMap(files, 4, 256, pattern);
  const TrackPositionMap large(&files, kSquareTrack);
  TrackPositionMap small(&files, 4);
  for (float x = -260.0f; x <= 260.0f; x += 7.3f) {
    for (float z = -260.0f; z <= 260.0f; z += 11.1f) {
      // Track 4 spans +-310.5: place the same fraction of the square there.
      const float s = 310.5f / 250.0f;
      ASSERT_EQ(small.valueAt({x * s, 0.0f, z * s}), large.valueAt({x, 0.0f, z})) << x << ", " << z;
    }
  }
  // The bottom right corner of the small picture is its last byte.
  EXPECT_EQ(small.valueAt({310.5f, 0.0f, -310.5f}), pattern(255, 255));
}

TEST(TrackPositionMap, PaddedLinesAndMissingOrBrokenPicturesReadSafely) {
  MemoryFile files;
  // Lines 516 bytes long: the padding lies past the last column.
  PcxWriteOptions padded;
  padded.bytesPerLine = 516;
  putPositionMap(files, 0, 512, pattern, padded);
  const TrackPositionMap map(&files, 0);
  const TrackRectangle& r = map.rectangle();
  EXPECT_EQ(map.valueAt({r.maxX, 0.0f, r.maxZ}), pattern(0, 511));
  EXPECT_EQ(map.valueAt({r.minX, 0.0f, r.minZ}), pattern(511, 0));

  files.put(trackMapFileName(2, "posmap_track_", "pcx"), std::string("not a picture"));
  for (int track : {1, 2, 9, -3}) {
    const TrackPositionMap missing(&files, track);
    EXPECT_EQ(missing.valueAt({0.0f, 0.0f, 0.0f}), 0) << track;
  }
  EXPECT_EQ(TrackPositionMap(nullptr, 0).valueAt({0.0f, 0.0f, 0.0f}), 0);
}

TEST(ResetMap, KeepsItsPictureAndTheShortHeightOfTrackSeven) {
  MemoryFile files;
  files.put(trackMapFileName(7, "reset_map_track_", "pcx"),
            bytes(writePcx8(512, 392, std::vector<std::uint8_t>(512 * 392, 5), greys())));
  const ResetMap seven(&files, 7);
  EXPECT_EQ(seven.width(), 512.0f);
  EXPECT_EQ(seven.height(), 392.0f);
  EXPECT_EQ(seven.picture().pixelCount(), 512 * 392);
  const ResetMap zero(&files, 0);
  EXPECT_EQ(zero.height(), 512.0f);
  EXPECT_EQ(zero.picture().pixelCount(), 0);
}

TEST(TrackLightMap, ChannelValue170IsFullLightAnd255IsHalfAgainMore) {
  MemoryFile files;
  putLightMap(files, 0, 512, 512, std::vector<std::uint32_t>(512 * 512, 0xAAAAAA));
  putLightMap(files, kSquareTrack, 4, 4, std::vector<std::uint32_t>(16, 0xFFFFFF));
  TrackLightMap grey, bright;
  ASSERT_TRUE(loadTrackLightMap(grey, &files, 0));
  ASSERT_TRUE(loadTrackLightMap(bright, &files, kSquareTrack));
  float colour[4] = {};
  for (float x : {-300.0f, 0.0f, 12.3f, 249.9f}) {
    sampleTrackLightMap(grey, colour, {x, 0.0f, x / 2});
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(colour[c], 1.0f, 1e-5);
    EXPECT_EQ(colour[3], 1.0f);
    sampleTrackLightMap(bright, colour, {x, 0.0f, x / 2});
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(colour[c], 1.5f, 1e-5);
  }
  releaseTrackLightMap(bright);
  EXPECT_FALSE(bright.loaded());
}

TEST(TrackLightMap, BlendsNeighboursAndNeverReachesPastTheEdge) {
  // Two columns, black then grey 170, with the red channel kept apart.
  MemoryFile files;
  putLightMap(files, kSquareTrack, 2, 1, {0x000000, 0x55AAAA});
  TrackLightMap map;
  ASSERT_TRUE(loadTrackLightMap(map, &files, kSquareTrack));
  float colour[4];
  sampleTrackLightMap(map, colour, {-125.0f, 0.0f, 0.0f});  // half way between the pixels
  EXPECT_NEAR(colour[1], 0.5f, 1e-5);
  EXPECT_NEAR(colour[0], 0.25f, 1e-5);
  sampleTrackLightMap(map, colour, {0.0f, 0.0f, 250.0f});
  EXPECT_NEAR(colour[1], 1.0f, 1e-5);
  // Just outside the left edge the blend is the edge pixel, not a reach
  // beyond it into negative light.
  sampleTrackLightMap(map, colour, {-260.0f, 0.0f, 0.0f});
  EXPECT_EQ(colour[1], 0.0f);
  sampleTrackLightMap(map, colour, {1e30f, 0.0f, -1e30f});
  EXPECT_NEAR(colour[1], 1.0f, 1e-5);
}

TEST(TrackLightMap, WithoutAPictureColoursStayAsTheyWere) {
  MemoryFile files;
  TrackLightMap map;
  EXPECT_FALSE(loadTrackLightMap(map, &files, 0));
  EXPECT_FALSE(loadTrackLightMap(map, nullptr, 0));
  putLightMap(files, 0, 2, 2, {0, 0, 0, 0});
  EXPECT_FALSE(loadTrackLightMap(map, &files, 12));
  float colour[4] = {0.3f, 0.4f, 0.5f, 0.6f};
  sampleTrackLightMap(map, colour, {0.0f, 0.0f, 0.0f});
  EXPECT_EQ(colour[0], 0.3f);
  EXPECT_EQ(colour[3], 0.6f);
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

TEST(ApplyTrackLight, LightsEveryKartButOneBeingHitAndSkipsMissingSurfaces) {
  MemoryFile files;
  // Left half in shade (85), right half in full light (170).
  std::vector<std::uint32_t> pixels;
  for (int row = 0; row < 8; ++row)
    for (int column = 0; column < 8; ++column) pixels.push_back(column < 4 ? 0x555555 : 0xAAAAAA);
  putLightMap(files, kSquareTrack, 8, 8, pixels);
  TrackLightMap map;
  ASSERT_TRUE(loadTrackLightMap(map, &files, kSquareTrack));

  NetControl control;
  Scene scene{nullptr};
  StandingKart shaded(scene, control, 0), lit(scene, control, 1), hit(scene, control, 2);
  shaded.at = {-200.0f, 0.0f, 0.0f};
  lit.at = hit.at = {200.0f, 0.0f, 0.0f};
  Surface surfaces[3][2] = {
      {{nullptr, "a0"}, {nullptr, "a1"}}, {{nullptr, "b0"}, {nullptr, "b1"}}, {{nullptr, "c0"}, {nullptr, "c1"}}};
  StandingKart* karts[] = {&shaded, &lit, &hit};
  for (int k = 0; k < 3; ++k) {
    karts[k]->m_characterModel[Vehicle::kChassisSurface] = &surfaces[k][0];
    karts[k]->m_characterModel[Vehicle::kBodySurface] = &surfaces[k][1];
  }
  // The third kart's driver plays the hit motion.
  ChannelGroup channel;
  channel.addEnvelope(std::make_unique<Envelope>());
  MixerMotion hitMotion;
  hitMotion.addChannel(&channel, 0);
  hitMotion.setIntensity(1.0f);
  MixerActor driver;
  driver.motions.push_back(&hitMotion);
  hit.m_motions.m_driver = &driver;
  hit.m_motions.m_driverIndex[KartMotions::kHit] = 0;

  Vehicle* slots[Vehicle::kMaxKarts] = {&shaded, &lit, &hit, nullptr, nullptr, nullptr};
  applyTrackLight(map, slots, 6);
  EXPECT_FLOAT_EQ(surfaces[0][0].colorFactor[0], 0.5f);
  EXPECT_FLOAT_EQ(surfaces[0][1].colorFactor[2], 0.5f);
  EXPECT_FLOAT_EQ(surfaces[1][1].colorFactor[1], 1.0f);
  EXPECT_EQ(surfaces[1][1].colorFactor[3], 1.0f);
  EXPECT_EQ(surfaces[2][0].colorFactor[0], 1.0f);  // untouched: the default
  hit.at = shaded.at;
  applyTrackLight(map, slots, 6);
  EXPECT_EQ(surfaces[2][1].colorFactor[0], 1.0f);
  // Once the motion ends, the kart takes the light again.
  hitMotion.setIntensity(0.0f);
  applyTrackLight(map, slots, 6);
  EXPECT_FLOAT_EQ(surfaces[2][1].colorFactor[0], 0.5f);

  // Without a picture nothing changes.
  releaseTrackLightMap(map);
  lit.at = shaded.at;
  applyTrackLight(map, slots, 6);
  EXPECT_FLOAT_EQ(surfaces[1][1].colorFactor[1], 1.0f);
}

}  // namespace
