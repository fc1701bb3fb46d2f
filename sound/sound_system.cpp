// The sound system, the silent device and the device on our DirectSound
// stand-in.
#include "sound/sound_system.h"

#include <algorithm>
#include <cmath>

#include "foundation/report.h"
#include "sound/sound_buffer.h"
#include "sound/sound_channel.h"

// ---------------------------------------------------------------------------
// SoundDevice

SoundDevice::~SoundDevice() {
  for (SoundBuffer* buffer : m_buffers) buffer->m_device = nullptr;
}

void SoundDevice::adopt(SoundBuffer* buffer) {
  buffer->m_device = this;
  m_buffers.push_back(buffer);
}

void SoundDevice::forget(SoundBuffer* buffer) { std::erase(m_buffers, buffer); }

bool SoundDevice::stopAll() {
  bool all = true;
  for (SoundBuffer* buffer : m_buffers)
    if (!buffer->stop()) all = false;
  return all;
}

bool SoundDevice::isAnyPlaying() {
  return std::any_of(m_buffers.begin(), m_buffers.end(), [](SoundBuffer* buffer) { return buffer->isPlaying(); });
}

std::unique_ptr<SoundBuffer> NullSoundDevice::createSound(SoundChannel*, std::uint32_t) {
  auto buffer = std::make_unique<SilentSoundBuffer>();
  buffer->init();
  adopt(buffer.get());
  return buffer;
}

// ---------------------------------------------------------------------------
// DirectSoundDevice

DirectSoundDevice::DirectSoundDevice(HWND window, const GUID* device) {
  if (FAILED(DirectSoundCreate8(device, &m_directSound, nullptr))) throw std::string("nosound");
  setUp(window);
}

DirectSoundDevice::DirectSoundDevice(HWND window, std::unique_ptr<IDirectSound8> directSound)
    : m_directSound(std::move(directSound)) {
  if (!m_directSound) throw std::string("nosound");
  setUp(window);
}

DirectSoundDevice::~DirectSoundDevice() = default;

void DirectSoundDevice::setUp(HWND window) {
  const HRESULT hr = m_directSound->SetCooperativeLevel(window, DSSCL_PRIORITY);
  if (hr != DS_OK) reportAssertion("hr == ((HRESULT)0x00000000L)");

  DSBUFFERDESC desc;
  desc.dwFlags = DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRL3D;
  std::shared_ptr<IDirectSoundBuffer> primary;
  if (SUCCEEDED(m_directSound->CreatePrimaryBuffer(&desc, &primary)) && primary) m_listener = primary->getListener();

  m_listenerParams = DS3DLISTENER{};
  m_listenerParams.vOrientFront = {};
  m_listenerParams.vOrientTop = {};
  m_listenerParams.flDistanceFactor = 1.0f;
  m_listenerParams.flRolloffFactor = 1.0f;
  m_listenerParams.flDopplerFactor = 0.0f;
  if (m_listener) m_listener->SetAllParameters(&m_listenerParams, DS3D_DEFERRED);
}

std::unique_ptr<SoundBuffer> DirectSoundDevice::createSound(SoundChannel* source, std::uint32_t flags) {
  const std::uint32_t kind = flags & kSoundKindMask;
  const bool is3D = (flags & kSound3D) != 0;
  std::unique_ptr<SoundBuffer> result;
  if (!source || kind == kSoundSilent) {
    auto silent = std::make_unique<SilentSoundBuffer>();
    if (silent->init()) result = std::move(silent);
  } else if (kind == kSoundStatic) {
    auto buffer = std::make_unique<StaticSoundBuffer>();
    if (buffer->create(m_directSound.get(), source, source->getByteSize(), is3D)) result = std::move(buffer);
  } else {
    auto buffer = std::make_unique<StreamingSoundBuffer>();
    if (buffer->open(m_directSound.get(), source, 10000, is3D, 8)) result = std::move(buffer);
  }
  if (result) adopt(result.get());
  return result;
}

void DirectSoundDevice::setListenerFactors(float distanceFactor, float dopplerFactor, float rolloffFactor) {
  // Non-finite values keep the last good ones (the mixer would refuse the
  // whole block).
  for (float value : {distanceFactor, dopplerFactor, rolloffFactor})
    if (!std::isfinite(value)) return;
  m_listenerParams.flDistanceFactor = distanceFactor;
  m_listenerParams.flDopplerFactor = dopplerFactor;
  m_listenerParams.flRolloffFactor = rolloffFactor;
  if (m_listener) m_listener->SetAllParameters(&m_listenerParams, DS3D_DEFERRED);
}

void DirectSoundDevice::setListener(float px, float py, float pz, float fx, float fy, float fz, float tx, float ty,
                                    float tz, float vx, float vy, float vz) {
  for (float value : {px, py, pz, fx, fy, fz, tx, ty, tz, vx, vy, vz})
    if (!std::isfinite(value)) return;
  m_listenerParams.vPosition = {px, py, pz};
  m_listenerParams.vOrientFront = {fx, fy, fz};
  m_listenerParams.vOrientTop = {tx, ty, tz};
  m_listenerParams.vVelocity = {vx, vy, vz};
  if (m_listener) m_listener->SetAllParameters(&m_listenerParams, DS3D_DEFERRED);
}

void DirectSoundDevice::commit() {
  if (m_listener) m_listener->CommitDeferredSettings();
}

// ---------------------------------------------------------------------------
// SoundSystem

namespace {

BOOL appendDevice(GUID* guid, const char* description, const char* module, void* context) {
  auto* devices = static_cast<std::vector<SoundDeviceInfo>*>(context);
  devices->push_back({guid ? *guid : GUID{}, description ? description : "", module ? module : ""});
  return 1;
}

}  // namespace

SoundSystem::SoundSystem(HWND window) : m_window(window) {
  m_devices.push_back({kNoSoundDeviceGuid, "No Sound Device", "No Sound Device"});
  DirectSoundEnumerateA(&appendDevice, &m_devices);
}

SoundSystem::~SoundSystem() = default;

int SoundSystem::getDeviceCount() { return static_cast<int>(m_devices.size()); }

const SoundDeviceInfo* SoundSystem::getDeviceInfo(unsigned i) { return i < m_devices.size() ? &m_devices[i] : nullptr; }

SoundDevice* SoundSystem::openDeviceAt(unsigned i) {
  return i < m_devices.size() ? openDevice(m_devices[i].guid) : nullptr;
}

SoundDevice* SoundSystem::openDevice(GUID guid) {
  if (m_device) return nullptr;
  if (guid == kNoSoundDeviceGuid || m_devices.size() <= 1) {
    m_device = std::make_unique<NullSoundDevice>();
    return m_device.get();
  }
  const GUID* target = nullptr;
  if (!(guid == kDefaultSoundDeviceGuid)) {
    for (std::size_t i = 1; i < m_devices.size() && !target; ++i)
      if (m_devices[i].guid == guid) target = &m_devices[i].guid;
    if (!target) return nullptr;
  }
  // A device that is there but will not open (unplugged, busy, no driver)
  // leaves the game running silently.
  try {
    m_device = std::make_unique<DirectSoundDevice>(m_window, target);
  } catch (const std::string&) {
    m_device = std::make_unique<NullSoundDevice>();
  }
  return m_device.get();
}
