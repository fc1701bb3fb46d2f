#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <vector>

#include "game/kart/kart_tuning.h"
#include "game/track/point_file.h"
#include "tests/support/memory_file.h"
#include "tests/support/report_capture.h"

namespace {

using Bytes = std::vector<unsigned char>;

// A track without maps: 10000 units about the origin.
const TrackExtent kAnywhere = TrackExtent::ofTrack(-1);

// Little-endian f32 bytes spelled out here, apart from the readers.
void putF32(Bytes& out, float v) {
  unsigned char b[4];
  std::memcpy(b, &v, 4);  // the test machine is little-endian
  out.insert(out.end(), b, b + 4);
}

Bytes floats(std::initializer_list<float> values) {
  Bytes out;
  for (float v : values) putF32(out, v);
  return out;
}

TEST(PointFile, ReadsWholeRecordsAndDropsAPartialOne) {
  MemoryFile file;
  // 10.0f = 00 00 20 41 by hand: pins the byte order.
  Bytes first = {0x00, 0x00, 0x20, 0x41};
  const Bytes rest = floats({2.0f, 5.0f, 99.0f, -1.0f});  // record 1 and the first value of record 2
  first.insert(first.end(), rest.begin(), rest.end());
  file.put("p.dat", first);  // 20 bytes
  const auto records = readPointFile(file, "p.dat", kAnywhere);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].position.x, 10.0f);
  EXPECT_EQ(records[0].position.y, 2.0f);
  EXPECT_EQ(records[0].position.z, 5.0f);
  EXPECT_EQ(records[0].w, 99.0f);

  file.put("two.dat", floats({1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(readPointFile(file, "two.dat", kAnywhere).size(), 2u);
  file.put("empty.dat", Bytes{});
  EXPECT_TRUE(readPointFile(file, "empty.dat", kAnywhere).empty());
  EXPECT_TRUE(readPointFile(file, "missing.dat", kAnywhere).empty());
}

// A file layer whose reads fail after the first record: the reader stops
// instead of spinning on a position that never reaches the size.
class FailingFile : public MemoryFile {
 public:
  explicit FailingFile(std::shared_ptr<int> reads = std::make_shared<int>(0)) : m_reads(std::move(reads)) {}
  FailingFile(std::shared_ptr<Store> store, std::shared_ptr<int> reads)
      : MemoryFile(std::move(store)), m_reads(std::move(reads)) {}
  File* clone() const override { return new FailingFile(storeForClone(), m_reads); }
  int read(void* buffer, int count) override { return (*m_reads)++ == 0 ? MemoryFile::read(buffer, count) : 0; }
  std::shared_ptr<int> m_reads;
};

TEST(PointFile, StopsOnAFailedRead) {
  FailingFile file;
  file.put("p.dat", floats({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
  EXPECT_EQ(readPointFile(file, "p.dat", kAnywhere).size(), 1u);
  EXPECT_EQ(*file.m_reads, 2);
}

// NaN or 3e38 points ended the race inside ODE, infinite ones lost the kart
// for good, and a line of 100 MB was read whole: each file is read up to
// 16384 records, points that are not finite or lie beyond the track are
// dropped, and one report says how many of each file.
class PointFileLimits : public ReportCapture {};

TEST_F(PointFileLimits, PointsNotFiniteOrBeyondTheTrackAreDroppedAndAFileIsReadUpTo16384Records) {
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  const TrackExtent track0 = TrackExtent::ofTrack(0);
  // Track 0's maps cover x -204.0183..223.616 and z -164.2901..244.3623; the
  // larger side is 427.6343 (x), which widens both and bounds y.
  EXPECT_FLOAT_EQ(track0.minX, -204.0183f - 427.6343f);
  EXPECT_FLOAT_EQ(track0.maxZ, 244.3623f + 427.6343f);
  EXPECT_FLOAT_EQ(track0.maxY, 427.6343f);
  EXPECT_TRUE(track0.contains({-600.0f, -400.0f, 600.0f}));
  EXPECT_FALSE(track0.contains({-700.0f, 0.0f, 0.0f}));
  EXPECT_FALSE(track0.contains({0.0f, 500.0f, 0.0f}));
  EXPECT_FALSE(track0.contains({0.0f, nan, 0.0f}));

  MemoryFile file;
  file.put("p.dat", floats({1, 2,    3, 0.5f, nan, 0,   0, 0.5f, 0, 3e38f, 0,  0.5f, -inf, 0,
                            0, 0.5f, 4, 5,    6,   nan, 7, 8,    9, inf,   10, 0,    11,   0.25f}));
  const auto records = readPointFile(file, "p.dat", track0);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].position.x, 1.0f);
  EXPECT_EQ(records[1].position.z, 11.0f);
  EXPECT_EQ(takeMessage(), "point file \"p.dat\": 5 of 7 points not finite or beyond the track; they are dropped\n");

  Bytes many;
  for (int i = 0; i < PointRecord::kMaxRecords + 3; ++i) {
    const Bytes one = floats({static_cast<float>(i % 100), 0, 0, 0});
    many.insert(many.end(), one.begin(), one.end());
  }
  file.put("many.dat", many);
  EXPECT_EQ(readPointFile(file, "many.dat", track0).size(), static_cast<std::size_t>(PointRecord::kMaxRecords));
  EXPECT_EQ(takeMessage(), "point file \"many.dat\": more than 16384 points; the rest is not read\n");
}

TEST(PointFile, TrackFoldersFollowTheIndexOrder) {
  EXPECT_EQ(trackPointFileName(0, "ai_respawn.dat"), "D:\\Tamberlok\\aifiles\\track01\\ai_respawn.dat");
  EXPECT_EQ(trackPointFileName(1, "x"), "D:\\Tamberlok\\aifiles\\track05\\x");
  EXPECT_EQ(trackPointFileName(8, "x"), "");
  EXPECT_EQ(trackPointFileName(-1, "x"), "");
}

TEST(KartTuning, FileSetsAllButTurboAndSteering) {
  MemoryFile file;
  file.put("carsettings_50_0.dat", floats({0.4f, 9.0f, 0.001f, 45.0f, 100, 200, -0.002f, -0.0003f, -0.002f, 0.6f}));
  KartTuning tuning;
  tuning.fileName = KartTuning::fileNameFor(0, 0);
  ASSERT_TRUE(tuning.load(file));
  EXPECT_FLOAT_EQ(tuning.maxSpeed, 0.4f);
  EXPECT_FLOAT_EQ(tuning.turboMaxSpeed, 0.5f);
  EXPECT_FLOAT_EQ(tuning.acceleration, 0.001f);
  EXPECT_FLOAT_EQ(tuning.steerAngle, 1.16f);
  EXPECT_FLOAT_EQ(tuning.driftInertia, 100.0f);
  EXPECT_FLOAT_EQ(tuning.verticalGain, 0.6f);
  EXPECT_EQ(KartTuning::fileNameFor(2, 5), "carsettings_150_5.dat");
}

TEST(KartTuning, ShortFileKeepsMissingDefaultsAndMissingFileChangesNothing) {
  MemoryFile file;
  Bytes shortFile = floats({0.3f, 0, 0.0005f});
  shortFile.push_back(0x12);  // a partial fourth value
  file.put("t.dat", shortFile);
  KartTuning tuning;
  tuning.fileName = "t.dat";
  ASSERT_TRUE(tuning.load(file));
  EXPECT_FLOAT_EQ(tuning.maxSpeed, 0.3f);
  EXPECT_FLOAT_EQ(tuning.acceleration, 0.0005f);
  EXPECT_FLOAT_EQ(tuning.driftInertia, 187.0f);
  EXPECT_FLOAT_EQ(tuning.gravity, -0.0016f);

  KartTuning missing;
  missing.fileName = "none.dat";
  EXPECT_FALSE(missing.load(file));
  EXPECT_FLOAT_EQ(missing.maxSpeed, 0.29f);
  EXPECT_FLOAT_EQ(missing.turboMaxSpeed, 0.435f);
}

// One NaN, or a value the kart step cannot work with, ended the race inside
// ODE: such a field keeps its default, and one report names them all.
class KartTuningRanges : public ReportCapture {};

TEST_F(KartTuningRanges, ValuesOutsideTheirRangeKeepTheDefaultAndOneReportNamesThem) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  MemoryFile file;
  file.put("t.dat", floats({-50.0f, 9.0f, nan, 45.0f, 3e38f, 10000.0f, 0.5f, -1.0f, 0.0f, 0.05f}));
  KartTuning tuning;
  tuning.fileName = "t.dat";
  ASSERT_TRUE(tuning.load(file));
  const KartTuning defaults;
  EXPECT_EQ(tuning.maxSpeed, defaults.maxSpeed);
  EXPECT_EQ(tuning.turboMaxSpeed, defaults.maxSpeed * 1.25f);
  EXPECT_EQ(tuning.acceleration, defaults.acceleration);
  EXPECT_EQ(tuning.driftInertia, defaults.driftInertia);
  EXPECT_EQ(tuning.skidInertia, 10000.0f) << "the ends of a range are inside";
  EXPECT_EQ(tuning.brakeDeceleration, defaults.brakeDeceleration);
  EXPECT_EQ(tuning.rollDeceleration, -1.0f);
  EXPECT_EQ(tuning.gravity, defaults.gravity);
  EXPECT_EQ(tuning.verticalGain, 0.05f);
  EXPECT_EQ(takeMessage(),
            "kart tuning \"t.dat\": top speed -50 (0.01 to 1), acceleration nan (1e-06 to 1), drift inertia 3e+38 (0 "
            "to 10000), brake deceleration 0.5 (-1 to 0), gravity 0 (-0.02 to -1e-05) out of range; the default "
            "stays\n");

  // Every field at an infinity: every default stays.
  const float inf = std::numeric_limits<float>::infinity();
  file.put("t.dat", floats({inf, inf, inf, inf, inf, inf, inf, inf, inf, inf}));
  KartTuning infinite;
  infinite.fileName = "t.dat";
  ASSERT_TRUE(infinite.load(file));
  for (float KartTuning::*field : {&KartTuning::maxSpeed, &KartTuning::acceleration, &KartTuning::steerAngle,
                                   &KartTuning::driftInertia, &KartTuning::skidInertia, &KartTuning::brakeDeceleration,
                                   &KartTuning::rollDeceleration, &KartTuning::gravity, &KartTuning::verticalGain})
    EXPECT_EQ(infinite.*field, defaults.*field);
}

}  // namespace
