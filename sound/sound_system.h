// The sound service of the game: the list of output devices (a silent one
// first), the one open device, the factory of every playable sound and the
// owner of the 3D listener.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/audio/dsound.h"

class SoundBuffer;
class SoundChannel;

// Flags of SoundDevice::createSound: the low seven bits choose the kind.
inline constexpr std::uint32_t kSoundSilent = 1;
inline constexpr std::uint32_t kSoundStatic = 2;
inline constexpr std::uint32_t kSoundKindMask = 0x7F;
inline constexpr std::uint32_t kSound3D = 0x80;

// {536274BE-9C97-4FB9-ACF7-A599B7A87574}: the silent device.
inline constexpr GUID kNoSoundDeviceGuid{0x536274BE, 0x9C97, 0x4FB9, {0xAC, 0xF7, 0xA5, 0x99, 0xB7, 0xA8, 0x75, 0x74}};
// {AC674778-96B5-4BD6-8D9F-89825DD5C442}: the default output device.
inline constexpr GUID kDefaultSoundDeviceGuid{
    0xAC674778, 0x96B5, 0x4BD6, {0x8D, 0x9F, 0x89, 0x82, 0x5D, 0xD5, 0xC4, 0x42}};

struct SoundDeviceInfo {
  GUID guid;  // all zero for a device reported without one
  std::string description;
  std::string module;
};

class SoundDevice {
 public:
  SoundDevice() = default;
  SoundDevice(const SoundDevice&) = delete;
  SoundDevice& operator=(const SoundDevice&) = delete;
  // Buffers still alive stay usable; they are only taken off the list.
  virtual ~SoundDevice();

  // A new buffer of the kind the flags ask for, listed with this device and
  // owned by the caller; null on failure.
  virtual std::unique_ptr<SoundBuffer> createSound(SoundChannel* source, std::uint32_t flags) = 0;
  // Stops every listed buffer; true when every stop succeeded.
  virtual bool stopAll();
  virtual bool isAnyPlaying();
  // Stored only: buffers take their volumes from their owners.
  virtual void setVolume(float volume) { m_volume = volume; }
  virtual void setListenerFactors(float, float, float) {}
  // Position, front, top and velocity: twelve floats in this order.
  virtual void setListener(float, float, float, float, float, float, float, float, float, float, float, float) {}
  // Applies deferred listener and 3D buffer settings.
  virtual void commit() {}

  float volume() const { return m_volume; }
  const std::vector<SoundBuffer*>& buffers() const { return m_buffers; }

 protected:
  // Lists a buffer made by (or copied from a buffer of) this device.
  void adopt(SoundBuffer* buffer);

 private:
  friend class SoundBuffer;
  friend class StaticSoundBuffer;
  friend class StreamingSoundBuffer;
  void forget(SoundBuffer* buffer);

  std::vector<SoundBuffer*> m_buffers;  // not owned, in creation order
  float m_volume = 1.0f;
};

// Used when no output device can be opened: every sound is a silent clock.
class NullSoundDevice : public SoundDevice {
 public:
  std::unique_ptr<SoundBuffer> createSound(SoundChannel* source, std::uint32_t flags) override;
};

class DirectSoundDevice : public SoundDevice {
 public:
  // Opens the device (null: the default one). Throws the string "nosound"
  // when it cannot be opened.
  DirectSoundDevice(HWND window, const GUID* device);
  // Runs on a device that exists already (a render-only one in tests).
  DirectSoundDevice(HWND window, std::unique_ptr<IDirectSound8> directSound);
  ~DirectSoundDevice() override;

  std::unique_ptr<SoundBuffer> createSound(SoundChannel* source, std::uint32_t flags) override;
  void setListenerFactors(float distanceFactor, float dopplerFactor, float rolloffFactor) override;
  void setListener(float px, float py, float pz, float fx, float fy, float fz, float tx, float ty, float tz, float vx,
                   float vy, float vz) override;
  void commit() override;

  IDirectSound8* directSound() const { return m_directSound.get(); }
  const DS3DLISTENER& listenerParams() const { return m_listenerParams; }
  bool hasListener() const { return m_listener != nullptr; }

 private:
  void setUp(HWND window);

  std::unique_ptr<IDirectSound8> m_directSound;
  std::shared_ptr<IDirectSound3DListener> m_listener;
  DS3DLISTENER m_listenerParams;
};

class SoundSystem {
 public:
  // Lists the silent device, then every output device found.
  explicit SoundSystem(HWND window);
  virtual ~SoundSystem();
  SoundSystem(const SoundSystem&) = delete;
  SoundSystem& operator=(const SoundSystem&) = delete;

  virtual int getDeviceCount();
  // Null when i is not below the count.
  virtual const SoundDeviceInfo* getDeviceInfo(unsigned i);
  virtual SoundDevice* openDeviceAt(unsigned i);
  // The device now open, or null when one was open already or no record has
  // this GUID. A device that cannot be opened gives the silent device.
  virtual SoundDevice* openDevice(GUID guid);

  SoundDevice* device() const { return m_device.get(); }
  HWND window() const { return m_window; }

 private:
  HWND m_window;
  std::unique_ptr<SoundDevice> m_device;
  std::vector<SoundDeviceInfo> m_devices;
};
