#include "game/kart/controller_ai.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "foundation/random.h"
#include "game/kart/vehicle_master.h"
#include "game/saves/config.h"
#include "scene/scene.h"
#include "tests/support/memory_file.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes records(std::initializer_list<float> values) {
  Bytes out;
  for (float v : values) {
    unsigned char b[4];
    std::memcpy(b, &v, 4);  // the test machine is little-endian
    out.insert(out.end(), b, b + 4);
  }
  return out;
}

std::string lineFile(const char* folder, int line) {
  return std::string("D:\\Tamberlok\\aifiles\\track") + folder + "\\ai" + std::to_string(line + 2) + ".dat";
}

// A kart without scene items: it stands where its drive state says, which
// the tests set directly. Respawns are counted, not carried out.
class CountingKart : public VehicleMaster {
 public:
  using VehicleMaster::VehicleMaster;
  void respawn() override { ++respawns; }
  int respawns = 0;
};

class ControllerAITest : public ::testing::Test {
 protected:
  // A driver of kart 1 (line 0) whose lines the test gives, or that reads
  // them from `files`.
  void drive(std::vector<Position3> points, std::vector<float> speeds, const File* files = nullptr) {
    auto owned = std::make_unique<ControllerAI>(files, 0, config, 1);
    ai = owned.get();
    if (!files) {
      lines = std::make_shared<TrackPoints>();
      lines->lines[0] = std::move(points);
      lines->speeds[0] = std::move(speeds);
      ai->setPoints(lines);
    }
    kart =
        std::make_unique<CountingKart>(scene, std::move(owned), 1, nullptr, nullptr, 0, "", config, control, nullptr);
    kart->m_net.m_active.set(true);
    ai->setKart(kart.get());
    ai->setClock(&now);
  }
  void standAt(float x, float z, float speed = 0.0f) {
    kart->m_drive.m_target = {x, 0.0f, z};
    kart->m_drive.m_heading = {0.0f, 0.0f, 1.0f};
    kart->m_drive.m_velocity = speed;
  }
  void at(double t, bool bounced = false, bool inReverse = false) {
    now = t;
    ai->update(bounced, inReverse);
  }
  // Updates every quarter second (exact in binary) up to `until`.
  void runUntil(double until) {
    while (now < until) at(now + 0.25);
  }

  NetControl control;
  Config config{nullptr, control, Config::SavedFile::Ignore};
  Scene scene{nullptr};
  ControllerAI* ai = nullptr;
  std::shared_ptr<TrackPoints> lines;  // the test's, when it gives them
  std::unique_ptr<CountingKart> kart;
  double now = 0.0;
};

TEST_F(ControllerAITest, LinesComeFromTheTracksFilesAndEveryLineHasAPoint) {
  MemoryFile files;
  // Track 1's folder is "track05": two whole records and a partial one.
  Bytes two = records({1, 2, 3, 0.3f, 4, 5, 6, 0.25f});
  two.insert(two.end(), 8, 0x41);
  ASSERT_EQ(two.size(), 40u);
  files.put(lineFile("05", 0), two);
  files.put(lineFile("05", 1), Bytes{});                // empty
  files.put(lineFile("05", 2), records({7, 8, 9}));     // no whole record
  files.put(lineFile("01", 3), records({1, 1, 1, 1}));  // another track's
  config.m_track.set(1);
  ControllerAI ai(&files, 0, config, 3);
  const std::shared_ptr<const TrackPoints> read = readTrackPoints(files, 1);
  ASSERT_EQ(ai.line(0).size(), 2u);
  EXPECT_EQ(ai.line(0)[1].z, 6.0f);
  EXPECT_EQ(read->speeds[0][0], 0.3f);
  EXPECT_EQ(read->speeds[0][1], 0.25f);
  for (int line = 1; line < ControllerAI::kLines; ++line) {
    ASSERT_EQ(ai.line(line).size(), 1u) << line;
    EXPECT_EQ(ai.line(line)[0].x + ai.line(line)[0].y + ai.line(line)[0].z, 0.0f);
    EXPECT_EQ(read->speeds[line][0], 0.0f);
  }
  EXPECT_EQ(ai.lineIndex(), 2);
  EXPECT_EQ(ai.getPointIndex(), 0);

  // Kart 0 drives the first line; indices stay on the seven lines.
  EXPECT_EQ(ControllerAI(&files, 0, config, 0).lineIndex(), 0);
  EXPECT_EQ(ControllerAI(&files, 0, config, 12).lineIndex(), 6);
  ai.setLineIndex(-4);
  EXPECT_EQ(ai.lineIndex(), 0);
  EXPECT_TRUE(ai.isAI());
  EXPECT_FALSE(ai.isNet());
}

TEST_F(ControllerAITest, PressesNothingUntilItsKartAndClockAreSetAndWhileTheKartIsOut) {
  drive({{0, 0, 0}}, {0.0f});
  standAt(10.0f, 0.0f);
  ai->setClock(nullptr);
  ai->update(false, false);
  EXPECT_FALSE(ai->accelerate() || ai->left() || ai->right() || ai->brake() || ai->useExtra());
  ai->setClock(&now);
  kart->m_net.m_active.set(false);
  ai->update(true, false);
  EXPECT_FALSE(ai->accelerate());
  EXPECT_FALSE(ai->reversing());
  kart->m_net.m_active.set(true);
  ai->update(false, false);
  EXPECT_TRUE(ai->accelerate());
}

TEST_F(ControllerAITest, AMissingLineIsDrivenToTheOriginAtTheLowestLimit) {
  MemoryFile none;
  drive({}, {}, &none);
  // Facing +z at x = 10: the origin lies to the left; below 0.5 it speeds up.
  standAt(10.0f, 0.0f, 0.49f);
  ai->update(false, false);
  EXPECT_TRUE(ai->left() && !ai->right());
  EXPECT_TRUE(ai->accelerate() && !ai->brake());
  standAt(-10.0f, 0.0f, 0.6f);
  ai->update(false, false);
  EXPECT_TRUE(ai->right() && !ai->left());
  EXPECT_TRUE(ai->brake() && !ai->accelerate());  // above 0.5 and the point's 0
  standAt(0.0f, -10.0f, 0.0f);                    // straight ahead: steering as it was
  ai->update(false, false);
  EXPECT_TRUE(ai->right());
}

TEST_F(ControllerAITest, TheLimitIsTheTargetsSpeedButAtLeastHalfAndBrakingWaitsForTheReachedPoints) {
  drive({{0, 0, 0}, {0, 0, 10}, {0, 0, 20}}, {0.3f, 0.3f, 0.7f});
  standAt(0.0f, 1.0f, 0.4f);
  ai->update(false, false);
  EXPECT_TRUE(ai->accelerate() && !ai->brake());
  lines->speeds[0][0] = 0.9f;  // the point reached is faster than the kart
  standAt(0.0f, 1.0f, 0.6f);
  ai->update(false, false);
  EXPECT_FALSE(ai->accelerate() || ai->brake());
  standAt(0.0f, 11.0f, 0.6f);
  ai->update(false, false);
  EXPECT_EQ(ai->getPointIndex(), 1);
  EXPECT_TRUE(ai->accelerate());  // toward 0.7
}

TEST_F(ControllerAITest, TheWalkWrapsForwardAndNeverBacksBelowTheFirstPoint) {
  // A square loop of four points.
  drive({{0, 0, 0}, {0, 0, 10}, {10, 0, 10}, {10, 0, 0}}, {0.3f, 0.3f, 0.3f, 0.3f});
  standAt(10.0f, 9.0f);
  ai->update(false, false);
  EXPECT_EQ(ai->getPointIndex(), 2);
  standAt(1.0f, 0.0f);  // round the last corner, back at the start
  ai->update(false, false);
  EXPECT_EQ(ai->getPointIndex(), 0);
  // An index from outside the line is taken round it.
  ai->setPointIndex(6);
  standAt(10.0f, 9.5f);
  ai->update(false, false);
  EXPECT_EQ(ai->getPointIndex(), 2);

  // Backing up walks back while the earlier point is nearer, down to 0.
  ai->update(true, false);
  ASSERT_TRUE(ai->reversing());
  standAt(0.0f, 1.0f);
  ai->update(false, false);
  EXPECT_EQ(ai->getPointIndex(), 0);
  standAt(10.0f, 1.0f);  // nearest the last point: no step below 0
  ai->update(false, false);
  EXPECT_EQ(ai->getPointIndex(), 0);
}

TEST_F(ControllerAITest, ABounceStartsBackingUpForASecondAndABounceInReverseEndsIt) {
  drive({{0, 0, 0}, {0, 0, 10}}, {0.3f, 0.3f});
  standAt(-1.0f, 2.0f);  // the target lies right
  at(0.0, true, false);
  EXPECT_TRUE(ai->reversing());
  // Backing up swaps steering and pedals.
  EXPECT_TRUE(ai->left());
  EXPECT_FALSE(ai->accelerate());
  EXPECT_TRUE(ai->brake());
  runUntil(0.75);
  EXPECT_TRUE(ai->reversing());
  runUntil(1.0);
  EXPECT_FALSE(ai->reversing());
  at(1.25);
  EXPECT_TRUE(ai->right());
  EXPECT_TRUE(ai->accelerate());

  at(1.5, true, false);
  ASSERT_TRUE(ai->reversing());
  at(1.75, true, true);
  EXPECT_FALSE(ai->reversing());
}

TEST_F(ControllerAITest, AKartStuckForFiveSecondsBacksUpThenIsRespawnedAtTheNextCheck) {
  drive({{0, 0, 0}, {0, 0, 10}}, {0.3f, 0.3f});
  standAt(0.0f, 0.5f);  // short of a unit from the first point, where the checks begin
  at(0.0);
  runUntil(5.0);
  EXPECT_FALSE(ai->reversing());  // not more than 5 s yet
  runUntil(5.25);
  EXPECT_TRUE(ai->reversing());
  runUntil(6.0);
  EXPECT_TRUE(ai->reversing());
  runUntil(6.25);
  EXPECT_FALSE(ai->reversing());
  runUntil(10.25);
  EXPECT_EQ(kart->respawns, 0);
  runUntil(10.5);
  EXPECT_EQ(kart->respawns, 1);
  EXPECT_FALSE(ai->reversing());
  // The period after a respawn starts afresh: backing up comes first again.
  runUntil(15.5);
  EXPECT_FALSE(ai->reversing());
  runUntil(15.75);
  EXPECT_EQ(kart->respawns, 1);
  EXPECT_TRUE(ai->reversing());

  // A kart that has passed a point of its line since the last check is not
  // stuck.
  runUntil(17.0);
  standAt(0.0f, 8.0f);
  runUntil(21.0);
  EXPECT_FALSE(ai->reversing());
  EXPECT_EQ(kart->respawns, 1);
}

// Moving is not headway: a kart that creeps the wrong way, or crawls along
// behind a wall where the line lies beyond it, is backed up and then put
// back as if it stood still, however far it moves.
TEST_F(ControllerAITest, AKartThatMovesWithoutHeadwayIsBackedUpAndPutBack) {
  std::vector<Position3> line;
  for (int i = 0; i < 100; ++i) line.push_back({0.0f, 0.0f, 2.0f * static_cast<float>(i)});
  drive(line, std::vector<float>(line.size(), 0.3f));
  // The map numbers the lap along z, a sector per metre; beside the road,
  // 10 m to the left, it still reads (a wide map).
  kart->setTrackSectors([](const Position3& p) { return 1 + static_cast<int>(p.z) % 255; });
  standAt(0.0f, 100.0f);
  ai->setPointIndex(50);  // put there
  at(0.0);
  for (int quarter = 1; quarter <= 44; ++quarter) {
    standAt(0.0f, 100.0f - 0.5f * static_cast<float>(quarter));  // 2 m a second the wrong way
    at(0.25 * quarter);
    if (quarter == 21) {
      EXPECT_TRUE(ai->reversing()) << "after the first check";
    }
  }
  EXPECT_EQ(kart->respawns, 1) << "at the second check";
}

// Off the position map a kart is behind a wall or off the track: it is put
// back within a second, wherever it drives.
TEST_F(ControllerAITest, AKartOffThePositionMapIsPutBackWithinASecond) {
  std::vector<Position3> line;
  for (int i = 0; i < 100; ++i) line.push_back({0.0f, 0.0f, 2.0f * static_cast<float>(i)});
  drive(line, std::vector<float>(line.size(), 0.3f));
  float wallAt = 1000.0f;  // beyond this z the map reads nothing
  kart->setTrackSectors([&wallAt](const Position3& p) { return p.z > wallAt ? 0 : 1 + static_cast<int>(p.z) % 255; });
  at(0.0);
  float z = 10.0f;
  auto driveOn = [&](double until) {
    while (now < until) {
      z += 1.0f;  // 4 m a second, passing a point every half second
      standAt(0.0f, z);
      at(now + 0.25);
    }
  };
  driveOn(3.0);
  EXPECT_EQ(kart->respawns, 0);
  wallAt = z + 0.5f;
  driveOn(3.75);
  EXPECT_EQ(kart->respawns, 0) << "off the map for half a second";
  driveOn(4.25);
  EXPECT_EQ(kart->respawns, 1);
  // Without a map nothing is ever off it.
  kart->setTrackSectors(nullptr);
  driveOn(12.0);
  EXPECT_EQ(kart->respawns, 1);
}

TEST_F(ControllerAITest, AKartHeldByAnEffectIsNeverTakenForStuck) {
  drive({{0, 0, 0}, {0, 0, 10}}, {0.3f, 0.3f});
  standAt(0.0f, 0.5f);  // short of a unit from the first point, where the checks begin
  kart->m_status.crushed = 0.5f;
  at(0.0);
  runUntil(16.0);
  EXPECT_FALSE(ai->reversing());
  EXPECT_EQ(kart->respawns, 0);
  kart->m_status.crushed = 0.0f;
  kart->m_status.magnet = 1.0f;
  runUntil(26.0);
  EXPECT_FALSE(ai->reversing());
  kart->m_status.magnet = 0.0f;
  runUntil(26.25);
  EXPECT_TRUE(ai->reversing());
}

TEST_F(ControllerAITest, UsesTheExtraWhenTheEnginesDrawIsAThousandfold) {
  drive({{0, 0, 0}, {0, 0, 10}}, {0.3f, 0.3f});
  standAt(0.0f, 2.0f);
  engineSrand(7);
  int hit = -1;
  for (int i = 0; i < 20000 && hit < 0; ++i)
    if (engineRand() % 1000 == 0) hit = i;
  ASSERT_GE(hit, 0);
  engineSrand(7);
  for (int i = 0; i <= hit; ++i) {
    ai->update(false, false);
    ASSERT_EQ(ai->useExtra(), i == hit) << i;
  }
  engineSrand(1);
}

}  // namespace
