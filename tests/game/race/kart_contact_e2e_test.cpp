// Karts against walls and against each other on sample track 0, as a
// player meets them: a kart that drove square into a wall backs away from it
// in reverse, and a kart pressed deep into the side of another comes apart
// from it and drives on.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/game/race/sample_track_race.h"

namespace {

class SampleTrackContacts : public SampleTrackRace {
 protected:
  // A point of the centre line on a stretch of track 0 with nothing on the
  // road or beside it (the respawn points lie on the centre line).
  Position3 quietStretch() {
    const std::vector<Position3>& points = kart(0).respawnPoints();
    return points[points.size() * 3 / 10];
  }
  // `metres` across the road from `at`, to the right.
  Position3 across(const Position3& at, float metres) {
    const Normal3 right = rightOf(roadDirectionAt(at));
    return {at.x + right.x * metres, at.y, at.z + right.z * metres};
  }
  static Normal3 rightOf(const Normal3& way) { return {way.z, 0.0f, -way.x}; }
};

TEST_F(SampleTrackContacts, AKartDrivenSquareIntoAWallBacksAwayFromItInReverse) {
  ASSERT_NO_FATAL_FAILURE(startRace());
  // From the left of the road straight across it, square onto the right
  // wall.
  const Position3 centre = quietStretch();
  const Normal3 toWall = rightOf(roadDirectionAt(centre));
  putKart(0, across(centre, -4.0f), toWall, 0.0f);
  drivers[0]->mode = TestDriver::Mode::Straight;
  for (int n = 0; n < 120 && !kart(0).m_drive.m_reverse; ++n) frame(0.05);
  ASSERT_EQ(kart(0).m_drive.m_reverse, 1) << "never met the wall";
  EXPECT_EQ(kartSound(0, kSoundWallCrash)->plays, 1) << "a crash";
  const Position3 hit = positionOf(0);

  drivers[0]->mode = TestDriver::Mode::Reverse;
  for (int n = 0; n < 100; ++n) frame(0.05);
  const Position3 now = positionOf(0);
  EXPECT_GT((hit.x - now.x) * toWall.x + (hit.z - now.z) * toWall.z, 1.0f) << "backed away from the wall";
}

TEST_F(SampleTrackContacts, AKartPressedDeepIntoTheSideOfAnotherComesApartFromIt) {
  ASSERT_NO_FATAL_FAILURE(startRace());
  const Position3 standing = quietStretch();
  const Normal3 way = roadDirectionAt(standing);
  putKart(1, standing, way, 0.0f);
  // Kart 0 half over kart 1's right side, turned in toward it: the two
  // boxes overlap further sideways than they are tall.
  const float c = std::cos(0.5f), s = std::sin(0.5f);
  const Normal3 inward{way.x * c - way.z * s, 0.0f, way.z * c + way.x * s};
  putKart(0, across(standing, 0.3f), inward, 0.05f);
  drivers[0]->mode = TestDriver::Mode::Straight;
  for (int n = 0; n < 40; ++n) frame(0.05);
  EXPECT_GT(flatDistance(positionOf(0), positionOf(1)), 2.0f) << "apart";
  EXPECT_GT(kart(0).getSpeed(), 0.05f) << "and driving on";
}

}  // namespace
