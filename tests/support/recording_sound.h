// A sound device whose buffers play nothing but remember what they were
// told (volume, loop, distances, play and stop), for tests that check what
// the game does with its sounds.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "sound/sound_buffer.h"
#include "sound/sound_channel.h"
#include "sound/sound_system.h"

class RecordingSoundBuffer : public SoundBuffer {
 public:
  RecordingSoundBuffer(SoundChannel* source, std::uint32_t flags) : file(source ? source->name() : ""), flags(flags) {
    m_source = source;
  }
  bool play(bool looping) override {
    m_playing = true;
    loop = looping;
    ++plays;
    return true;
  }
  bool setLoop(bool looping) override {
    loop = looping;
    return true;
  }
  bool setFrequency(std::uint32_t hertz) override {
    frequency = hertz;
    return true;
  }
  bool stop() override {
    m_playing = false;
    ++stops;
    return true;
  }
  double getPosition() override { return 0.0; }
  bool setVolume(float v) override {
    volume = v;
    return true;
  }
  bool setPosition(double) override { return true; }
  int getPlayCursor() override { return 0; }
  void setDistances(float nearest, float farthest) override {
    minDistance = nearest;
    maxDistance = farthest;
  }
  float getMinDistance() override { return minDistance; }
  float getMaxDistance() override { return maxDistance; }

  std::string file;  // the source's name
  std::uint32_t flags;
  float volume = -1.0f;  // never set
  bool loop = false;
  int plays = 0, stops = 0;
  std::uint32_t frequency = 0;
  float minDistance = 0.0f, maxDistance = 0.0f;
};

class RecordingSoundDevice : public SoundDevice {
 public:
  std::unique_ptr<SoundBuffer> createSound(SoundChannel* source, std::uint32_t flags) override {
    auto buffer = std::make_unique<RecordingSoundBuffer>(source, flags);
    adopt(buffer.get());
    return buffer;
  }
  void setListenerFactors(float distance, float doppler, float rolloff) override {
    factors[0] = distance;
    factors[1] = doppler;
    factors[2] = rolloff;
  }
  void setListener(float px, float py, float pz, float fx, float fy, float fz, float tx, float ty, float tz, float vx,
                   float vy, float vz) override {
    const float values[12] = {px, py, pz, fx, fy, fz, tx, ty, tz, vx, vy, vz};
    for (int i = 0; i < 12; ++i) listener[i] = values[i];
    ++listenerSets;
  }

  float factors[3] = {0, 0, 0};
  float listener[12] = {};
  int listenerSets = 0;
};

inline RecordingSoundBuffer* recorded(SoundBuffer* buffer) { return dynamic_cast<RecordingSoundBuffer*>(buffer); }
