#include "foundation/envelope.h"

#include <gtest/gtest.h>

#include <cmath>

#include "foundation/channel_group.h"

namespace {

// The two-key ramp most cases use: 0 at 0 s, 10 at 1 s.
void addRamp(Envelope& e) {
  e.addKeyLinear(0.0f, 0.0f);
  e.addKeyLinear(10.0f, 1.0f);
}

float at(Envelope& e, double t) { return static_cast<float>(e.evaluate(t)); }

}  // namespace

TEST(Envelope, EmptyAndSingleKeyEnvelopesAreConstant) {
  Envelope e;
  EXPECT_EQ(at(e, 3.0), 0.0f);
  e.addKeyTCB(4.5f, 2.0f, 0.3f, 0.2f, 0.1f);
  EXPECT_EQ(at(e, -10.0), 4.5f);
  EXPECT_EQ(at(e, 2.0), 4.5f);
  EXPECT_EQ(at(e, 10.0), 4.5f);
}

TEST(Envelope, LinearRampInsideAndWithConstantEnds) {
  Envelope e;
  addRamp(e);
  EXPECT_FLOAT_EQ(at(e, 0.25), 2.5f);
  EXPECT_FLOAT_EQ(at(e, 0.5), 5.0f);
  EXPECT_EQ(at(e, -1.0), 0.0f);
  EXPECT_EQ(at(e, 2.0), 10.0f);
  // A key's own time gives its value exactly.
  EXPECT_EQ(at(e, 1.0), 10.0f);
  EXPECT_EQ(at(e, 0.0), 0.0f);
}

TEST(Envelope, BehavioursOutsideTheKeys) {
  // A ramp from 0 to 10 over [start, start + length], one behaviour set.
  struct Case {
    float start, length;
    bool pre;
    std::int32_t behaviour;
    double t;
    float expected;
  };
  const Case cases[] = {
      {0, 1, false, kBehaviorReset, 1.25, 0.0f},
      {0, 1, false, kBehaviorRepeat, 1.25, 2.5f},
      {0, 1, false, kBehaviorRepeat, 3.75, 7.5f},
      {0, 1, false, kBehaviorOffsetRepeat, 1.25, 12.5f},
      {0, 1, false, kBehaviorOffsetRepeat, 2.5, 25.0f},
      {0, 1, false, kBehaviorOffsetRepeat, 2.0, 20.0f},  // on a key: plus the periods passed
      {0, 1, false, kBehaviorOscillate, 1.25, 7.5f},
      {0, 1, false, kBehaviorOscillate, 2.25, 2.5f},
      {0, 1, false, kBehaviorLinear, 2.0, 20.0f},
      {0, 1, true, kBehaviorReset, -0.25, 0.0f},
      {0, 1, true, kBehaviorRepeat, -0.25, 7.5f},
      {0, 1, true, kBehaviorOffsetRepeat, -0.25, -2.5f},
      {0, 1, true, kBehaviorOscillate, -0.25, 2.5f},
      {0, 1, true, kBehaviorOscillate, -1.25, 7.5f},
      {0, 1, true, kBehaviorLinear, -1.0, -10.0f},
      // A curve that does not start at 0: oscillation mirrors within [2, 4].
      {2, 2, false, kBehaviorOscillate, 4.5, 7.5f},
      {2, 2, false, kBehaviorOscillate, 6.5, 2.5f},
      {2, 2, true, kBehaviorOscillate, 1.5, 2.5f},
      {2, 2, false, kBehaviorRepeat, 4.5, 2.5f},
      {2, 2, false, kBehaviorOffsetRepeat, 6.5, 22.5f},
  };
  for (const Case& c : cases) {
    Envelope e;
    e.addKeyLinear(0.0f, c.start);
    e.addKeyLinear(10.0f, c.start + c.length);
    (c.pre ? e.preBehavior : e.postBehavior) = c.behaviour;
    EXPECT_FLOAT_EQ(at(e, c.t), c.expected)
        << "start " << c.start << (c.pre ? " pre " : " post ") << c.behaviour << " at " << c.t;
  }
}

TEST(Envelope, SteppedSpanHoldsUntilItsKey) {
  Envelope e;
  e.addKeyLinear(1.0f, 0.0f);
  e.addKeyStepped(5.0f, 2.0f);
  EXPECT_EQ(at(e, 0.5), 1.0f);
  EXPECT_EQ(at(e, 1.9999), 1.0f);
  EXPECT_EQ(at(e, 2.0), 5.0f);
}

TEST(Envelope, TCBSpans) {
  // 0, 10, 0 at 0, 1, 2 s with no tension, continuity or bias.
  Envelope e;
  e.addKeyTCB(0.0f, 0.0f, 0.0f, 0.0f, 0.0f);
  e.addKeyTCB(10.0f, 1.0f, 0.0f, 0.0f, 0.0f);
  e.addKeyTCB(0.0f, 2.0f, 0.0f, 0.0f, 0.0f);
  // Outgoing tangent of the first key 10, incoming of the peak 0.
  EXPECT_FLOAT_EQ(at(e, 0.5), 6.25f);

  // Bias 0.5 on the middle key: outgoing 0.5 x (1.5 x 10 - 0.5 x 10) = 5,
  // incoming at the last key -10.
  Envelope biased;
  biased.addKeyTCB(0.0f, 0.0f, 0.0f, 0.0f, 0.0f);
  biased.addKeyTCB(10.0f, 1.0f, 0.0f, 0.0f, 0.5f);
  biased.addKeyTCB(0.0f, 2.0f, 0.0f, 0.0f, 0.0f);
  EXPECT_FLOAT_EQ(at(biased, 1.5), 6.875f);

  // Tension 0.5 on the first key halves its outgoing tangent.
  Envelope tense;
  tense.addKeyTCB(0.0f, 0.0f, 0.5f, 0.0f, 0.0f);
  tense.addKeyTCB(10.0f, 1.0f, 0.0f, 0.0f, 0.0f);
  tense.addKeyTCB(0.0f, 2.0f, 0.0f, 0.0f, 0.0f);
  EXPECT_FLOAT_EQ(at(tense, 0.5), 5.625f);
}

TEST(Envelope, HermiteAndBezierSpansUseTheirTangents) {
  for (int shape : {kShapeHermite, kShapeBezier}) {
    Envelope e;
    auto add = [&](float v, float t, float in, float out) {
      if (shape == kShapeHermite)
        e.addKeyHermite(v, t, in, out);
      else
        e.addKeyBezier(v, t, in, out);
    };
    add(0.0f, 0.0f, 0.0f, 4.0f);
    add(10.0f, 1.0f, 2.0f, 6.0f);
    add(0.0f, 3.0f, 8.0f, 0.0f);
    // First span: out 4; in 2 scaled by (1 - 0) / (3 - 0).
    EXPECT_NEAR(at(e, 0.5), 5.5f - 0.125f * 2.0f / 3.0f, 1e-5) << shape;
    EXPECT_NEAR(at(e, 0.25), 0.15625f * 10.0f + 0.140625f * 4.0f - 0.046875f * (2.0f / 3.0f), 1e-5) << shape;
    // Second span: out 6 scaled by (3 - 1) / (3 - 0); in 8 unscaled.
    EXPECT_NEAR(at(e, 2.0), 4.5f, 1e-5) << shape;
  }
}

TEST(Envelope, LinearKeyGivesTangentsToCurvedNeighbours) {
  // The middle linear key's outgoing tangent is 0.5 x (10 - 0 + (0 - 10)) = 0;
  // the TCB key's incoming is -10.
  Envelope e;
  e.addKeyLinear(0.0f, 0.0f);
  e.addKeyLinear(10.0f, 1.0f);
  e.addKeyTCB(0.0f, 2.0f, 0.0f, 0.0f, 0.0f);
  EXPECT_FLOAT_EQ(at(e, 1.5), 6.25f);
}

TEST(Envelope, Bezier2DSpanFollowsItsTimeCurve) {
  // Time curve B(0, 0.5, 0.5, 1), value curve B(0, 0, 10, 10): at u = 0.25
  // the time is 0.296875 and the value 1.5625.
  Envelope e;
  e.addKeyBezier2D(0.0f, 0.0f, 0.0f, 0.0f, 0.5f, 0.0f);
  e.addKeyBezier2D(10.0f, 1.0f, -0.5f, 0.0f, 0.0f, 0.0f);
  EXPECT_FLOAT_EQ(at(e, 0.296875), 1.5625f);
  EXPECT_FLOAT_EQ(at(e, 0.5), 5.0f);

  // Control points on the chord make the span a straight line.
  Envelope straight;
  straight.addKeyBezier2D(0.0f, 0.0f, 0.0f, 0.0f, 1.0f / 3.0f, 10.0f / 3.0f);
  straight.addKeyBezier2D(10.0f, 1.0f, -1.0f / 3.0f, -10.0f / 3.0f, 0.0f, 0.0f);
  EXPECT_NEAR(at(straight, 0.25), 2.5f, 2e-3);
  EXPECT_NEAR(at(straight, 0.8), 8.0f, 2e-3);
}

TEST(Envelope, Bezier2DSearchEndsWhenNoTimeMatches) {
  // An unknown behaviour carries times outside the keys into the span, where
  // the time curve never reaches them: the search must still stop.
  Envelope e;
  e.addKeyBezier2D(0.0f, 0.0f, 0.0f, 0.0f, 0.5f, 0.0f);
  e.addKeyBezier2D(10.0f, 1.0f, -0.5f, 0.0f, 0.0f, 0.0f);
  e.postBehavior = 7;
  e.preBehavior = 7;
  EXPECT_NEAR(at(e, 2.0), 10.0f, 1e-3);
  EXPECT_NEAR(at(e, -1.0), 0.0f, 1e-3);
  // A time curve that doubles back.
  Envelope loop;
  loop.addKeyBezier2D(0.0f, 0.0f, 0.0f, 0.0f, 5.0f, 1.0f);
  loop.addKeyBezier2D(10.0f, 1.0f, -10.0f, 1.0f, 0.0f, 0.0f);
  EXPECT_TRUE(std::isfinite(at(loop, 0.5)));
}

TEST(Envelope, KeysSharingATimeGiveFiniteValues) {
  Envelope e;
  e.addKeyLinear(5.0f, 1.0f);
  e.addKeyLinear(7.0f, 1.0f);
  e.addKeyTCB(9.0f, 2.0f, 0.0f, 0.0f, 0.0f);
  e.preBehavior = kBehaviorLinear;
  e.postBehavior = kBehaviorLinear;
  for (double t : {0.0, 1.0, 1.5, 3.0}) EXPECT_TRUE(std::isfinite(at(e, t))) << t;
}

TEST(Envelope, SearchCacheGivesTheSameValuesInAnyOrder) {
  Envelope e;
  e.addKeyLinear(0.0f, 0.0f);
  e.addKeyLinear(10.0f, 1.0f);
  EXPECT_FLOAT_EQ(at(e, 0.5), 5.0f);
  // Keys appended after an evaluation are found from the cached interval.
  e.addKeyLinear(30.0f, 2.0f);
  e.addKeyLinear(0.0f, 3.0f);
  EXPECT_FLOAT_EQ(at(e, 1.5), 20.0f);
  EXPECT_FLOAT_EQ(at(e, 2.5), 15.0f);
  EXPECT_FLOAT_EQ(at(e, 0.5), 5.0f);
  EXPECT_FLOAT_EQ(at(e, 2.75), 7.5f);
  EXPECT_FLOAT_EQ(at(e, 1.25), 15.0f);
}

TEST(Envelope, NaNAndInfiniteTimesLeaveTheSearchCacheAlone) {
  Envelope e;
  e.addKeyLinear(0.0f, 0.0f);
  e.addKeyLinear(10.0f, 1.0f);
  e.addKeyLinear(30.0f, 2.0f);
  e.addKeyLinear(0.0f, 3.0f);
  e.postBehavior = kBehaviorRepeat;  // turns an infinite time into NaN
  EXPECT_FLOAT_EQ(at(e, 2.5), 15.0f);
  EXPECT_TRUE(std::isnan(at(e, std::nan(""))));
  // An earlier time must restart the search at the first key.
  EXPECT_FLOAT_EQ(at(e, 0.5), 5.0f);
  at(e, INFINITY);
  EXPECT_FLOAT_EQ(at(e, 1.5), 20.0f);
  EXPECT_FLOAT_EQ(at(e, 0.25), 2.5f);
}

TEST(Envelope, KeyAfterAndKeyBeforeWrapAround) {
  Envelope e;
  EXPECT_EQ(e.keyAfter(0.0), nullptr);
  EXPECT_EQ(e.keyBefore(0.0), nullptr);
  e.addKeyLinear(1.0f, 0.0f);
  e.addKeyLinear(2.0f, 1.0f);
  e.addKeyLinear(3.0f, 2.0f);
  EXPECT_EQ(e.keyAfter(-1.0)->time, 0.0f);
  EXPECT_EQ(e.keyAfter(0.5)->time, 1.0f);
  EXPECT_EQ(e.keyAfter(1.0)->time, 2.0f);
  EXPECT_EQ(e.keyAfter(2.0)->time, 0.0f);  // at or after the last: the first
  EXPECT_EQ(e.keyAfter(9.0)->time, 0.0f);
  EXPECT_EQ(e.keyBefore(1.5)->time, 1.0f);
  EXPECT_EQ(e.keyBefore(1.0)->time, 0.0f);
  EXPECT_EQ(e.keyBefore(0.0)->time, 2.0f);  // at or before the first: the last
  EXPECT_EQ(e.keyBefore(-4.0)->time, 2.0f);
}

TEST(AnimatedFloat, EnsureEnvelopeKeepsTheValueAsAKey) {
  AnimatedFloat f(7.0f);
  Envelope* e = f.ensureEnvelope();
  ASSERT_NE(e, nullptr);
  ASSERT_EQ(e->keys().size(), 1u);
  EXPECT_EQ(f.ensureEnvelope(), e);
  EXPECT_EQ(f.evaluate(5.0), 7.0f);
  // A mixer group is left alone: replacing it would drop its motions.
  ChannelGroup* group = f.ensureChannelGroup();
  EXPECT_EQ(f.ensureEnvelope(), nullptr);
  EXPECT_EQ(f.channel.get(), group);
}
