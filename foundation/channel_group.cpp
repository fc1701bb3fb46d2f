#include "foundation/channel_group.h"

#include "foundation/envelope.h"
#include "foundation/report.h"

ChannelGroup* AnimatedFloat::ensureChannelGroup() {
  if (channel && channel->asChannelGroup()) return channel->asChannelGroup();
  ensureEnvelope();
  auto group = std::make_unique<ChannelGroup>();
  group->addEnvelope(std::move(channel));
  group->setEnvelopeIntensity(0, 0.0f);
  channel = std::move(group);
  return channel->asChannelGroup();
}

int ChannelGroup::addEnvelope(std::unique_ptr<AnimChannel> envelope) {
  m_envelopes.push_back(std::move(envelope));
  m_intensity.push_back(0.0f);
  m_speed.push_back(1.0f);
  m_offset.push_back(0.0f);
  return static_cast<int>(m_envelopes.size()) - 1;
}

AnimChannel* ChannelGroup::envelope(int index) const {
  if (index < 0 || index >= envelopeCount()) return nullptr;
  return m_envelopes[index].get();
}

namespace {

bool storeChecked(std::vector<float>& values, int index, float value, const char* assertionText) {
  if (static_cast<unsigned int>(index) >= values.size()) {
    reportAssertion(assertionText);
    return false;
  }
  values[index] = value;
  return true;
}

}  // namespace

bool ChannelGroup::setEnvelopeIntensity(int envelope, float value) {
  return storeChecked(m_intensity, envelope, value, "\"(unsigned int) envelope < m_intensity.size()\"");
}

bool ChannelGroup::setEnvelopeSpeed(int envelope, float value) {
  return storeChecked(m_speed, envelope, value, "\"(unsigned int) envelope < m_speed.size()\"");
}

bool ChannelGroup::setEnvelopeOffset(int envelope, float value) {
  return storeChecked(m_offset, envelope, value, "\"(unsigned int) envelope < m_offset.size()\"");
}

double ChannelGroup::evaluate(double t) {
  double sum = 0.0, weight = 0.0;
  // The count is re-read each step: an envelope may be evaluated while the
  // loader is still appending to the group.
  for (int i = 0; i < envelopeCount(); ++i) {
    const float w = m_intensity[i];
    if (w == 0.0f) continue;
    AnimChannel* channel = m_envelopes[i].get();
    const double v = channel ? channel->evaluate((t - m_offset[i]) * m_speed[i]) : 0.0;
    sum += v * w;
    weight += w;
  }
  if (weight != 0.0) return sum / weight;
  // A group built by hand may have no envelope 0: it then holds nothing.
  if (m_envelopes.empty() || !m_envelopes[0]) return 0.0;
  return m_envelopes[0]->evaluate(t);
}

void MixerMotion::addChannel(ChannelGroup* group, std::int32_t index) {
  groups.push_back(group);
  envelopeIndex.push_back(index);
}

void MixerMotion::setOffset(float value) {
  for (size_t i = 0; i < groups.size(); ++i) groups[i]->setEnvelopeOffset(envelopeIndex[i], value);
}

void MixerMotion::setIntensity(float value) {
  for (size_t i = 0; i < groups.size(); ++i) groups[i]->setEnvelopeIntensity(envelopeIndex[i], value);
}

void MixerMotion::setSpeed(float value) {
  for (size_t i = 0; i < groups.size(); ++i) groups[i]->setEnvelopeSpeed(envelopeIndex[i], value);
}

int MixerActor::findMotionIndex(const std::string& motionName) const {
  for (std::size_t i = 0; i < motions.size(); ++i)
    if (motions[i] && motions[i]->name == motionName) return static_cast<int>(i);
  return -1;
}

void MixerActor::addItem(SceneItem* item, const std::string& itemName) {
  items.push_back(item);
  itemNames.push_back(itemName);
}

SceneItem* MixerActor::findItem(const std::string& itemName) const {
  for (size_t i = 0; i < itemNames.size(); ++i)
    if (itemNames[i] == itemName) return items[i];
  return nullptr;
}
