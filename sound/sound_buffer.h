// Playable sounds made by the open SoundDevice from a SoundChannel: silent
// clocks, static buffers holding the whole sound (optionally placed in 3D),
// and streaming rings refilled by a thread of their own.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/audio/dsound.h"

class SoundChannel;
class SoundDevice;

// Seconds to and from buffer bytes use this rate whatever the format.
inline constexpr int kSoundBytesPerSecond = 176400;

// A volume of 0..1 as hundredths of a decibel: trunc(log10(v) x 3333.3333),
// -10000 for 0 or less and at the floor, 0 for 1 or more.
LONG soundVolumeToAttenuation(float volume);

class SoundBuffer {
 public:
  SoundBuffer() = default;
  SoundBuffer(const SoundBuffer&) = delete;
  SoundBuffer& operator=(const SoundBuffer&) = delete;
  // Leaves the list of the device that made it.
  virtual ~SoundBuffer();

  virtual std::unique_ptr<SoundBuffer> duplicate() { return nullptr; }
  virtual bool play(bool loop) = 0;
  virtual bool setLoop(bool loop) = 0;
  virtual bool setFrequency(std::uint32_t hertz) = 0;
  virtual bool stop() = 0;
  // Seconds.
  virtual double getPosition() = 0;
  // 0 to 1.
  virtual bool setVolume(float volume) = 0;
  virtual bool isPlaying() { return m_playing; }
  virtual bool setPosition(double seconds) = 0;
  // Bytes.
  virtual int getPlayCursor() = 0;
  // Position, cone orientation and velocity. The 3D setters and the
  // device's listener setters ignore a call with a non-finite value.
  virtual void set3DParameters(float, float, float, float, float, float, float, float, float) {}
  // Angles in radians, outside volume 0 to 1.
  virtual void setCone(float, float, float) {}
  virtual void setDistances(float, float) {}
  virtual void set3DEnabled(bool) {}
  virtual float getMinDistance() { return 0.0f; }
  virtual float getMaxDistance() { return 0.0f; }
  // Called by the owner once per frame.
  virtual void update() {}

  SoundChannel* source() const { return m_source; }
  SoundDevice* device() const { return m_device; }

 protected:
  SoundChannel* m_source = nullptr;  // not owned
  bool m_playing = false;

 private:
  friend class SoundDevice;
  SoundDevice* m_device = nullptr;  // the device listing this buffer, if any
};

// No output: a clock of how long it has been playing, so that game logic
// asking for positions keeps working without sound.
class SilentSoundBuffer : public SoundBuffer {
 public:
  virtual bool init();
  bool play(bool loop) override;
  bool setLoop(bool) override { return true; }
  bool setFrequency(std::uint32_t) override { return true; }
  bool stop() override;
  // Seconds since the last play, also after stop.
  double getPosition() override;
  bool setVolume(float) override { return true; }
  bool setPosition(double) override { return true; }
  int getPlayCursor() override { return 0; }

 private:
  double m_startTime = 0.0;
};

// One mixer buffer holding the whole decoded sound.
class StaticSoundBuffer : public SoundBuffer {
 public:
  StaticSoundBuffer() = default;
  ~StaticSoundBuffer() override;

  // Makes a buffer of `size` bytes in the source's format and fills it from
  // the source. A 3D buffer needs a mono source.
  virtual bool create(IDirectSound8* directSound, SoundChannel* source, int size, bool is3D);
  // Writes `length` bytes at `offset`, continuing at the start past the end.
  virtual bool write(int offset, const void* data, int length);
  virtual bool clear(int offset, int length);

  std::unique_ptr<SoundBuffer> duplicate() override;
  bool play(bool loop) override;
  bool setLoop(bool) override { return true; }
  bool setFrequency(std::uint32_t hertz) override;
  // Stops and rewinds.
  bool stop() override;
  double getPosition() override;
  bool setVolume(float volume) override;
  bool isPlaying() override;
  bool setPosition(double seconds) override;
  int getPlayCursor() override;
  void set3DParameters(float px, float py, float pz, float ox, float oy, float oz, float vx, float vy,
                       float vz) override;
  void setCone(float insideAngle, float outsideAngle, float outsideVolume) override;
  void setDistances(float minDistance, float maxDistance) override;
  void set3DEnabled(bool on) override;
  float getMinDistance() override { return m_params3D.flMinDistance; }
  float getMaxDistance() override { return m_params3D.flMaxDistance; }

  int size() const { return m_size; }
  const DS3DBUFFER& params3D() const { return m_params3D; }
  IDirectSoundBuffer8* directSoundBuffer() const { return m_buffer.get(); }

 protected:
  void apply3D(DWORD when);
  template <typename Fill>
  bool lockAndFill(int offset, int length, Fill fill);

  IDirectSound8* m_directSound = nullptr;  // not owned; valid while listed by a device
  std::shared_ptr<IDirectSoundBuffer8> m_buffer;
  std::shared_ptr<IDirectSound3DBuffer> m_buffer3D;
  int m_size = 0;
  int m_prefilled = 0;  // bytes of sound create() wrote; less than m_size when the source ran out
  DS3DBUFFER m_params3D;
};

// A ring of segments that a thread of its own refills from the source while
// it plays. Main-thread calls and the refill thread share one lock, which the
// refill never holds while it decodes: the source belongs to the refill alone
// (loop changes reach it through the refill). A source that does not loop
// ends the stream: the rest of the ring is silenced and playing stops when
// the play cursor reaches the end of the data.
class StreamingSoundBuffer : public StaticSoundBuffer {
 public:
  StreamingSoundBuffer() = default;
  // Ends the refill thread before anything it uses goes away.
  ~StreamingSoundBuffer() override;

  virtual bool open(IDirectSound8* directSound, SoundChannel* source, int segmentSize, bool is3D, int segmentCount);
  // Writes new data behind the play cursor; the refill thread calls it.
  virtual void refill();
  // Serialised with the refill thread.
  bool write(int offset, const void* data, int length) override;
  bool clear(int offset, int length) override;

  // A new stream from the start of the same sound, read by a reader of its
  // own (never the source this stream's thread reads), without 3D.
  std::unique_ptr<SoundBuffer> duplicate() override;
  // Always loops the ring; `loop` goes to the source.
  bool play(bool loop) override;
  bool setLoop(bool loop) override;
  // Stops without rewinding.
  bool stop() override;
  double getPosition() override;
  bool setPosition(double) override { return false; }
  // Wakes the refill thread.
  void update() override;

 private:
  void run();
  void wake();
  int ringSize() const { return m_segmentSize * m_segmentCount; }
  // With m_mutex held: the source ran out with `left` bytes of data ahead of
  // the play cursor `cursor`.
  void beginEndLocked(DWORD cursor, int left);
  // With m_mutex held: counts the data played since the last call and stops
  // at its end.
  void followEndLocked();

  int m_waitMs = 100;
  std::mutex m_refillMutex;  // one refill at a time; taken before m_mutex
  std::mutex m_mutex;
  std::condition_variable m_wakeUp;
  bool m_signalled = false;
  bool m_quit = false;
  std::thread m_thread;
  std::unique_ptr<SoundChannel> m_ownSource;  // a duplicate's reader
  bool m_loopWanted = false;                  // for the source, at the next refill
  std::vector<std::uint8_t> m_piece;
  int m_segmentSize = 0;
  int m_segmentCount = 0;
  int m_wrapCount = 0;
  DWORD m_lastCursor = 0;
  int m_writeOffset = 0;
  int m_lastSegment = 0;
  // After the source ran out: bytes of data still to play, counted from
  // the play cursor m_endCursor.
  bool m_ending = false;
  int m_endLeft = 0;
  DWORD m_endCursor = 0;
};
