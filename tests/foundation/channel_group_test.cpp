#include "foundation/channel_group.h"

#include <gtest/gtest.h>

#include <string>

#include "foundation/envelope.h"
#include "foundation/report.h"
#include "tests/support/report_capture.h"

namespace {

// value = slope x t through the origin.
std::unique_ptr<Envelope> line(float slope) {
  auto e = std::make_unique<Envelope>();
  e->addKeyLinear(0.0f, 0.0f);
  e->addKeyLinear(slope * 100.0f, 100.0f);
  return e;
}

// A group as the scene loader builds it: the channel's own animation
// (slope 1) as envelope 0, then motions with slopes 2 and 5.
struct MixedChannel {
  AnimatedFloat value;
  ChannelGroup* group;
  MixedChannel() {
    value.channel = line(1.0f);
    group = value.ensureChannelGroup();
    group->addEnvelope(line(2.0f));
    group->addEnvelope(line(5.0f));
  }
};

class MixerAssertions : public ReportCapture {
 protected:
  MixerAssertions() : ReportCapture(3) {}
};

}  // namespace

TEST(ChannelGroup, WrappingKeepsTheOwnAnimationAsEnvelopeZero) {
  MixedChannel c;
  ASSERT_EQ(c.group->envelopeCount(), 3);
  EXPECT_EQ(c.value.ensureChannelGroup(), c.group);
  // A constant value becomes a one-key envelope first.
  AnimatedFloat constant(4.0f);
  ChannelGroup* group = constant.ensureChannelGroup();
  ASSERT_EQ(group->envelopeCount(), 1);
  ASSERT_NE(group->envelope(0)->asEnvelope(), nullptr);
  EXPECT_EQ(constant.evaluate(9.0), 4.0f);
}

TEST(ChannelGroup, WithoutWeightsTheOwnAnimationPlaysAtTheUnchangedTime) {
  MixedChannel c;
  c.group->setEnvelopeOffset(0, 3.0f);
  c.group->setEnvelopeSpeed(0, 2.0f);
  EXPECT_FLOAT_EQ(c.value.evaluate(7.0), 7.0f);
  // Weights that cancel out fall back the same way.
  c.group->setEnvelopeIntensity(1, 1.0f);
  c.group->setEnvelopeIntensity(2, -1.0f);
  EXPECT_FLOAT_EQ(c.value.evaluate(7.0), 7.0f);
}

TEST(ChannelGroup, BlendsByIntensity) {
  MixedChannel c;
  c.group->setEnvelopeIntensity(1, 1.0f);
  c.group->setEnvelopeIntensity(2, 3.0f);
  // (a + 3b) / 4 with a = 2 x 4 and b = 5 x 4.
  EXPECT_FLOAT_EQ(c.value.evaluate(4.0), (8.0f + 3.0f * 20.0f) / 4.0f);
  // One motion alone at full weight plays just that motion.
  c.group->setEnvelopeIntensity(2, 0.0f);
  EXPECT_FLOAT_EQ(c.value.evaluate(4.0), 8.0f);
}

TEST(ChannelGroup, MotionsPlayFromTheirOffsetAtTheirSpeed) {
  MixedChannel c;
  c.group->setEnvelopeIntensity(1, 1.0f);
  c.group->setEnvelopeOffset(1, 10.0f);
  c.group->setEnvelopeSpeed(1, 2.0f);
  // Sampled at (11 - 10) x 2 = 2 on the slope-2 line.
  EXPECT_FLOAT_EQ(c.value.evaluate(11.0), 4.0f);
}

TEST(ChannelGroup, EmptyGroupHoldsZero) {
  ChannelGroup group;
  EXPECT_EQ(group.envelopeCount(), 0);
  EXPECT_EQ(group.evaluate(2.0), 0.0);
  EXPECT_EQ(group.envelope(0), nullptr);
}

TEST_F(MixerAssertions, OutOfRangeSettersReportAndWriteNothing) {
  MixedChannel c;
  EXPECT_FALSE(c.group->setEnvelopeIntensity(3, 1.0f));
  EXPECT_EQ(std::string(g_lastMessage.get().c_str()), "(unsigned int) envelope < m_intensity.size()");
  EXPECT_FALSE(c.group->setEnvelopeSpeed(-1, 4.0f));
  EXPECT_EQ(std::string(g_lastMessage.get().c_str()), "(unsigned int) envelope < m_speed.size()");
  EXPECT_FALSE(c.group->setEnvelopeOffset(99, 4.0f));
  EXPECT_EQ(std::string(g_lastMessage.get().c_str()), "(unsigned int) envelope < m_offset.size()");
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(c.group->intensity(i), 0.0f);
    EXPECT_EQ(c.group->speed(i), 1.0f);
    EXPECT_EQ(c.group->offset(i), 0.0f);
  }
  // Below the check level nothing is reported, and still nothing written.
  g_messageLevel = 0;
  g_lastMessage.clear();
  EXPECT_FALSE(c.group->setEnvelopeIntensity(3, 1.0f));
  EXPECT_TRUE(g_lastMessage.empty());
  EXPECT_TRUE(c.group->setEnvelopeIntensity(2, 1.0f));
  EXPECT_EQ(c.group->intensity(2), 1.0f);
}

TEST(MixerMotion, SettersReachEveryChannelOfTheMotion) {
  MixedChannel x, y;
  MixerMotion motion;
  motion.addChannel(x.group, 2);
  motion.addChannel(y.group, 1);
  motion.setIntensity(1.0f);
  motion.setOffset(10.0f);
  motion.setSpeed(0.5f);
  // x plays its slope-5 motion, y its slope-2 motion, both from 10 at half speed.
  EXPECT_FLOAT_EQ(x.value.evaluate(14.0), 10.0f);
  EXPECT_FLOAT_EQ(y.value.evaluate(14.0), 4.0f);
  // Switching the motion off returns both to their own animation.
  motion.setIntensity(0.0f);
  EXPECT_FLOAT_EQ(x.value.evaluate(14.0), 14.0f);
}
