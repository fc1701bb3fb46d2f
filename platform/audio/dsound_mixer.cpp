// The mixing core of the DirectSound stand-in and its buffer objects. Nothing
// here talks to SDL: audio_sdl.cpp feeds the core's output to a device.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "platform/audio/dsound.h"
#include "platform/little_endian.h"

struct MixerVoice {
  std::shared_ptr<std::vector<std::uint8_t>> data;  // shared with duplicates
  DWORD flags = 0;
  int channels = 1;
  int bits = 16;
  DWORD rate = 44100;
  int blockAlign = 2;
  std::uint64_t position = 0;  // frames, 32.32 fixed point
  bool playing = false;
  bool looping = false;
  DWORD frequency = DSBFREQUENCY_ORIGINAL;
  LONG volume = DSBVOLUME_MAX;
  DS3DBUFFER params3D;
  DS3DBUFFER pending3D;
  bool has3DPending = false;

  bool is3D() const { return (flags & DSBCAPS_CTRL3D) != 0; }
  std::uint32_t frameCount() const { return static_cast<std::uint32_t>(data->size() / blockAlign); }
  DWORD playRate() const { return frequency == DSBFREQUENCY_ORIGINAL ? rate : frequency; }
};

namespace {

constexpr double kSpeedOfSound = 343.0;  // metres per second
constexpr double kFixedOne = 4294967296.0;

struct Vec {
  double x, y, z;
};
Vec vec(const DSVECTOR& v) { return {v.x, v.y, v.z}; }
Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
double dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec cross(Vec a, Vec b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double length(Vec a) { return std::sqrt(dot(a, a)); }

bool finite(const DSVECTOR& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// DirectSound refuses parameter blocks it cannot use; one NaN let through
// would turn every mixed sample into NaN.
bool finite(const DS3DBUFFER& p) {
  return finite(p.vPosition) && finite(p.vVelocity) && finite(p.vConeOrientation) && std::isfinite(p.flMinDistance) &&
         std::isfinite(p.flMaxDistance);
}

bool finite(const DS3DLISTENER& p) {
  return finite(p.vPosition) && finite(p.vVelocity) && finite(p.vOrientFront) && finite(p.vOrientTop) &&
         std::isfinite(p.flDistanceFactor) && std::isfinite(p.flRolloffFactor) && std::isfinite(p.flDopplerFactor);
}

double decibelGain(double hundredths) {
  return hundredths <= DSBVOLUME_MIN ? 0.0 : std::pow(10.0, hundredths / 2000.0);
}

// Gains and pitch of one voice for one rendered block.
struct VoiceMix {
  float left = 1.0f;
  float right = 1.0f;
  double pitch = 1.0;
};

VoiceMix placeVoice(const MixerVoice& voice, const DS3DLISTENER& listener) {
  VoiceMix mix;
  double gain = decibelGain(voice.volume);
  if (voice.is3D() && voice.params3D.dwMode != DS3DMODE_DISABLE) {
    const DS3DBUFFER& p = voice.params3D;
    const Vec front = vec(listener.vOrientFront);
    const Vec top = vec(listener.vOrientTop);
    Vec right = cross(top, front);
    const double rightLength = length(right);
    right = rightLength > 0.0 ? Vec{right.x / rightLength, right.y / rightLength, right.z / rightLength}
                              : Vec{1.0, 0.0, 0.0};
    // Offset from the listener to the source, and the side it lies on.
    Vec offset;
    double side;
    if (p.dwMode == DS3DMODE_HEADRELATIVE) {
      offset = vec(p.vPosition);
      side = offset.x;
    } else {
      offset = vec(p.vPosition) - vec(listener.vPosition);
      side = dot(offset, right);
    }
    const double distance = length(offset);

    const double minDistance = std::max(static_cast<double>(p.flMinDistance), 1e-6);
    const double maxDistance = std::max(static_cast<double>(p.flMaxDistance), minDistance);
    if ((voice.flags & DSBCAPS_MUTE3DATMAXDISTANCE) && distance >= maxDistance) gain = 0.0;
    const double clamped = std::clamp(distance, minDistance, maxDistance);
    gain *= std::pow(minDistance / clamped, std::max(0.0, static_cast<double>(listener.flRolloffFactor)));

    const Vec orientation = vec(p.vConeOrientation);
    const double orientationLength = length(orientation);
    const bool fullCone = p.dwInsideConeAngle >= 360 && p.dwOutsideConeAngle >= 360;
    if (!fullCone && orientationLength > 0.0 && distance > 0.0) {
      // Angle between where the source points and where the listener is.
      const double cosine = -dot(orientation, offset) / (orientationLength * distance);
      const double angle = std::acos(std::clamp(cosine, -1.0, 1.0)) * 180.0 / std::numbers::pi;
      const double inside = std::min<DWORD>(p.dwInsideConeAngle, 360) / 2.0;
      const double outside = std::max(inside, std::min<DWORD>(p.dwOutsideConeAngle, 360) / 2.0);
      const double outsideVolume = std::min<LONG>(p.lConeOutsideVolume, 0);
      double coneDb = 0.0;
      if (angle >= outside && angle > inside)
        coneDb = outsideVolume;
      else if (angle > inside)
        coneDb = outsideVolume * (angle - inside) / (outside - inside);
      gain *= decibelGain(coneDb);
    }

    const double doppler = listener.flDopplerFactor;
    if (doppler > 0.0 && distance > 0.0) {
      const Vec toSource{offset.x / distance, offset.y / distance, offset.z / distance};
      const double scale = listener.flDistanceFactor;
      const double listenerSpeed =
          p.dwMode == DS3DMODE_HEADRELATIVE ? 0.0 : dot(vec(listener.vVelocity), toSource) * scale;
      const double sourceSpeed = dot(vec(p.vVelocity), toSource) * scale;
      const double numerator = std::max(0.0, kSpeedOfSound + doppler * listenerSpeed);
      const double denominator = std::max(1.0, kSpeedOfSound + doppler * sourceSpeed);
      mix.pitch = numerator / denominator;
    }

    // Equal-power panning on the azimuth.
    const double pan = distance > 0.0 ? std::clamp(side / distance, -1.0, 1.0) : 0.0;
    const double theta = (pan + 1.0) * std::numbers::pi / 4.0;
    mix.left = static_cast<float>(gain * std::cos(theta));
    mix.right = static_cast<float>(gain * std::sin(theta));
  } else {
    mix.left = mix.right = static_cast<float>(gain);
  }
  return mix;
}

template <int Bits>
inline float sampleAt(const std::uint8_t* bytes) {
  if constexpr (Bits == 8) {
    return (static_cast<int>(bytes[0]) - 128) * (1.0f / 128.0f);
  } else {
    const auto value = static_cast<std::int16_t>(loadLe16(bytes));
    return value * (1.0f / 32768.0f);
  }
}

// Adds `frames` frames of one voice into the stereo output with linear
// interpolation; stops the voice at the end of a one-shot.
template <int Bits, int Channels>
void mixFrames(MixerVoice& voice, const VoiceMix& mix, std::uint64_t step, float* out, int frames) {
  constexpr int kBytes = Bits / 8;
  const std::uint8_t* bytes = voice.data->data();
  const std::uint32_t count = voice.frameCount();
  const std::uint64_t end = static_cast<std::uint64_t>(count) << 32;
  std::uint64_t position = voice.position % end;
  for (int i = 0; i < frames; ++i) {
    const auto index = static_cast<std::uint32_t>(position >> 32);
    std::uint32_t next = index + 1;
    if (next >= count) next = voice.looping ? 0 : index;
    const float fraction = static_cast<float>(position & 0xFFFFFFFFu) * (1.0f / 4294967296.0f);
    const std::uint8_t* a = bytes + static_cast<std::size_t>(index) * Channels * kBytes;
    const std::uint8_t* b = bytes + static_cast<std::size_t>(next) * Channels * kBytes;
    const float a0 = sampleAt<Bits>(a);
    const float left = a0 + (sampleAt<Bits>(b) - a0) * fraction;
    float right = left;
    if constexpr (Channels == 2) {
      const float a1 = sampleAt<Bits>(a + kBytes);
      right = a1 + (sampleAt<Bits>(b + kBytes) - a1) * fraction;
    }
    out[2 * i] += left * mix.left;
    out[2 * i + 1] += right * mix.right;
    position += step;
    if (position >= end) {
      if (!voice.looping) {
        // A finished one-shot rests at the start, so the next Play plays it
        // whole again.
        voice.playing = false;
        position = 0;
        break;
      }
      position %= end;
    }
  }
  voice.position = position;
}

}  // namespace

// ---------------------------------------------------------------------------
// SoundMixer

SoundMixer::SoundMixer(int outputRate, int periodFrames)
    : m_outputRate(std::max(outputRate, 1)), m_periodFrames(std::max(periodFrames, 1)) {
  m_listener.flDopplerFactor = 1.0f;
  m_pendingListener = m_listener;
}

SoundMixer::~SoundMixer() = default;

void SoundMixer::attach(MixerVoice* voice) {
  std::lock_guard lock(m_mutex);
  m_voices.push_back(voice);
}

void SoundMixer::detach(MixerVoice* voice) {
  std::lock_guard lock(m_mutex);
  std::erase(m_voices, voice);
}

void SoundMixer::render(float* out, int frames) {
  if (frames <= 0) return;
  std::lock_guard lock(m_mutex);
  renderLocked(out, frames);
}

void SoundMixer::render(std::int16_t* out, int frames) {
  if (frames <= 0) return;
  std::lock_guard lock(m_mutex);
  m_scratch.resize(2 * static_cast<std::size_t>(frames));
  renderLocked(m_scratch.data(), frames);
  for (std::size_t i = 0; i < m_scratch.size(); ++i)
    out[i] = static_cast<std::int16_t>(std::lrint(std::clamp(m_scratch[i], -1.0f, 1.0f) * 32767.0f));
}

void SoundMixer::renderLocked(float* out, int frames) {
  std::fill(out, out + 2 * static_cast<std::size_t>(frames), 0.0f);
  for (MixerVoice* voice : m_voices)
    if (voice->playing && voice->frameCount() > 0) mixVoice(*voice, out, frames);
}

void SoundMixer::mixVoice(MixerVoice& voice, float* out, int frames) {
  const VoiceMix mix = placeVoice(voice, m_listener);
  // Finite settings can still overflow (a position of 1e38); such a voice
  // sits this block out rather than turn the whole mix into NaN.
  if (!std::isfinite(mix.left) || !std::isfinite(mix.right) || !std::isfinite(mix.pitch)) return;
  const double rate = voice.playRate() * mix.pitch;
  const auto step = static_cast<std::uint64_t>(std::clamp(rate, 1.0, static_cast<double>(DSBFREQUENCY_MAX)) /
                                               m_outputRate * kFixedOne);
  if (voice.bits == 8) {
    if (voice.channels == 1)
      mixFrames<8, 1>(voice, mix, step, out, frames);
    else
      mixFrames<8, 2>(voice, mix, step, out, frames);
  } else {
    if (voice.channels == 1)
      mixFrames<16, 1>(voice, mix, step, out, frames);
    else
      mixFrames<16, 2>(voice, mix, step, out, frames);
  }
}

HRESULT SoundMixer::setListener(const DS3DLISTENER& params, DWORD apply) {
  if (!finite(params)) return DSERR_INVALIDPARAM;
  std::lock_guard lock(m_mutex);
  m_pendingListener = params;
  if (apply == DS3D_DEFERRED) {
    m_listenerPending = true;
  } else {
    m_listener = params;
    m_listenerPending = false;
  }
  return DS_OK;
}

DS3DLISTENER SoundMixer::listener(bool pending) const {
  std::lock_guard lock(m_mutex);
  return pending ? m_pendingListener : m_listener;
}

HRESULT SoundMixer::commitDeferredSettings() {
  std::lock_guard lock(m_mutex);
  if (m_listenerPending) m_listener = m_pendingListener;
  m_listenerPending = false;
  for (MixerVoice* voice : m_voices) {
    if (voice->has3DPending) voice->params3D = voice->pending3D;
    voice->has3DPending = false;
  }
  return DS_OK;
}

// ---------------------------------------------------------------------------
// IDirectSoundBuffer8

IDirectSoundBuffer8::IDirectSoundBuffer8(std::shared_ptr<SoundMixer> mixer, std::unique_ptr<MixerVoice> voice)
    : m_mixer(std::move(mixer)), m_voice(std::move(voice)) {
  m_mixer->attach(m_voice.get());
}

IDirectSoundBuffer8::~IDirectSoundBuffer8() { m_mixer->detach(m_voice.get()); }

HRESULT IDirectSoundBuffer8::Play(DWORD, DWORD, DWORD flags) {
  std::lock_guard lock(m_mixer->mutex());
  m_voice->playing = true;
  m_voice->looping = (flags & DSBPLAY_LOOPING) != 0;
  return DS_OK;
}

HRESULT IDirectSoundBuffer8::Stop() {
  std::lock_guard lock(m_mixer->mutex());
  m_voice->playing = false;
  return DS_OK;
}

HRESULT IDirectSoundBuffer8::GetStatus(DWORD* status) {
  if (!status) return DSERR_INVALIDPARAM;
  std::lock_guard lock(m_mixer->mutex());
  *status = (m_voice->playing ? DSBSTATUS_PLAYING : 0) | (m_voice->playing && m_voice->looping ? DSBSTATUS_LOOPING : 0);
  return DS_OK;
}

HRESULT IDirectSoundBuffer8::GetCurrentPosition(DWORD* playCursor, DWORD* writeCursor) {
  std::lock_guard lock(m_mixer->mutex());
  const MixerVoice& v = *m_voice;
  const DWORD size = static_cast<DWORD>(v.data->size());
  const DWORD play = static_cast<DWORD>(v.position >> 32) * v.blockAlign;
  if (playCursor) *playCursor = play;
  if (writeCursor) {
    // The next mixer period is already spoken for while playing.
    DWORD lead = 0;
    if (v.playing) {
      const double frames =
          std::ceil(static_cast<double>(m_mixer->periodFrames()) * v.playRate() / m_mixer->outputRate());
      lead = static_cast<DWORD>(frames) * v.blockAlign;
    }
    *writeCursor = size > 0 ? static_cast<DWORD>((static_cast<std::uint64_t>(play) + lead) % size) : 0;
  }
  return DS_OK;
}

HRESULT IDirectSoundBuffer8::SetCurrentPosition(DWORD position) {
  std::lock_guard lock(m_mixer->mutex());
  if (position >= m_voice->data->size()) return DSERR_INVALIDPARAM;
  m_voice->position = static_cast<std::uint64_t>(position / m_voice->blockAlign) << 32;
  return DS_OK;
}

HRESULT IDirectSoundBuffer8::SetFrequency(DWORD hertz) {
  if (!(m_voice->flags & DSBCAPS_CTRLFREQUENCY)) return DSERR_CONTROLUNAVAIL;
  if (hertz != DSBFREQUENCY_ORIGINAL && (hertz < DSBFREQUENCY_MIN || hertz > DSBFREQUENCY_MAX))
    return DSERR_INVALIDPARAM;
  std::lock_guard lock(m_mixer->mutex());
  m_voice->frequency = hertz;
  return DS_OK;
}

HRESULT IDirectSoundBuffer8::GetFrequency(DWORD* hertz) {
  if (!hertz) return DSERR_INVALIDPARAM;
  std::lock_guard lock(m_mixer->mutex());
  *hertz = m_voice->playRate();
  return DS_OK;
}

HRESULT IDirectSoundBuffer8::SetVolume(LONG volume) {
  if (!(m_voice->flags & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
  if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
  std::lock_guard lock(m_mixer->mutex());
  m_voice->volume = volume;
  return DS_OK;
}

HRESULT IDirectSoundBuffer8::GetVolume(LONG* volume) {
  if (!volume) return DSERR_INVALIDPARAM;
  std::lock_guard lock(m_mixer->mutex());
  *volume = m_voice->volume;
  return DS_OK;
}

HRESULT IDirectSoundBuffer8::GetFormat(WAVEFORMATEX* format) {
  if (!format) return DSERR_INVALIDPARAM;
  format->wFormatTag = WAVE_FORMAT_PCM;
  format->nChannels = static_cast<WORD>(m_voice->channels);
  format->nSamplesPerSec = m_voice->rate;
  format->wBitsPerSample = static_cast<WORD>(m_voice->bits);
  format->nBlockAlign = static_cast<WORD>(m_voice->blockAlign);
  format->nAvgBytesPerSec = m_voice->rate * m_voice->blockAlign;
  format->cbSize = 0;
  return DS_OK;
}

HRESULT IDirectSoundBuffer8::Lock(DWORD offset, DWORD bytes, void** region1, DWORD* bytes1, void** region2,
                                  DWORD* bytes2, DWORD flags) {
  if (!region1 || !bytes1) return DSERR_INVALIDPARAM;
  if (m_locked) return DSERR_INVALIDCALL;
  const DWORD size = this->size();
  if (flags & DSBLOCK_ENTIREBUFFER) {
    offset = 0;
    bytes = size;
  } else if (flags & DSBLOCK_FROMWRITECURSOR) {
    GetCurrentPosition(nullptr, &offset);
  }
  if (offset >= size || bytes == 0 || bytes > size) return DSERR_INVALIDPARAM;
  const DWORD first = std::min(bytes, size - offset);
  const DWORD second = bytes - first;
  if (second > 0 && (!region2 || !bytes2)) return DSERR_INVALIDPARAM;

  m_lockStaging.resize(bytes);
  {
    // Hand out the current contents, so a partial write keeps the rest.
    std::lock_guard lock(m_mixer->mutex());
    const std::uint8_t* data = m_voice->data->data();
    std::memcpy(m_lockStaging.data(), data + offset, first);
    if (second > 0) std::memcpy(m_lockStaging.data() + first, data, second);
  }
  m_lockOffset = offset;
  m_lockBytes = bytes;
  m_locked = true;
  *region1 = m_lockStaging.data();
  *bytes1 = first;
  if (region2) *region2 = second > 0 ? m_lockStaging.data() + first : nullptr;
  if (bytes2) *bytes2 = second;
  return DS_OK;
}

HRESULT IDirectSoundBuffer8::Unlock(void* region1, DWORD bytes1, void* region2, DWORD bytes2) {
  if (!m_locked) return DSERR_INVALIDCALL;
  const DWORD size = this->size();
  const DWORD first = std::min(m_lockBytes, size - m_lockOffset);
  if (region1 != m_lockStaging.data() || bytes1 > first ||
      (bytes2 > 0 && (region2 != m_lockStaging.data() + first || bytes2 > m_lockBytes - first)))
    return DSERR_INVALIDPARAM;
  {
    std::lock_guard lock(m_mixer->mutex());
    std::uint8_t* data = m_voice->data->data();
    std::memcpy(data + m_lockOffset, m_lockStaging.data(), bytes1);
    if (bytes2 > 0) std::memcpy(data, m_lockStaging.data() + first, bytes2);
  }
  m_locked = false;
  return DS_OK;
}

HRESULT IDirectSoundBuffer8::Restore() { return DS_OK; }

std::shared_ptr<IDirectSound3DBuffer> IDirectSoundBuffer8::get3DBuffer() {
  if (!m_voice->is3D()) return nullptr;
  return std::shared_ptr<IDirectSound3DBuffer>(new IDirectSound3DBuffer(shared_from_this()));
}

DWORD IDirectSoundBuffer8::size() const { return static_cast<DWORD>(m_voice->data->size()); }
DWORD IDirectSoundBuffer8::flags() const { return m_voice->flags; }

// ---------------------------------------------------------------------------
// 3D buffer, listener, primary buffer

HRESULT IDirectSound3DBuffer::SetAllParameters(const DS3DBUFFER* params, DWORD apply) {
  if (!params || !finite(*params)) return DSERR_INVALIDPARAM;
  std::lock_guard lock(m_owner->m_mixer->mutex());
  MixerVoice& voice = *m_owner->m_voice;
  voice.pending3D = *params;
  if (apply == DS3D_DEFERRED) {
    voice.has3DPending = true;
  } else {
    voice.params3D = *params;
    voice.has3DPending = false;
  }
  return DS_OK;
}

HRESULT IDirectSound3DBuffer::GetAllParameters(DS3DBUFFER* params, bool pending) {
  if (!params) return DSERR_INVALIDPARAM;
  std::lock_guard lock(m_owner->m_mixer->mutex());
  const MixerVoice& voice = *m_owner->m_voice;
  *params = pending ? voice.pending3D : voice.params3D;
  return DS_OK;
}

HRESULT IDirectSound3DListener::SetAllParameters(const DS3DLISTENER* params, DWORD apply) {
  if (!params) return DSERR_INVALIDPARAM;
  return m_mixer->setListener(*params, apply);
}

HRESULT IDirectSound3DListener::GetAllParameters(DS3DLISTENER* params) {
  if (!params) return DSERR_INVALIDPARAM;
  *params = m_mixer->listener();
  return DS_OK;
}

HRESULT IDirectSound3DListener::CommitDeferredSettings() { return m_mixer->commitDeferredSettings(); }

std::shared_ptr<IDirectSound3DListener> IDirectSoundBuffer::getListener() const {
  if (!m_has3D) return nullptr;
  return std::make_shared<IDirectSound3DListener>(m_mixer);
}

// ---------------------------------------------------------------------------
// IDirectSound8: the parts that do not depend on the output device.

HRESULT IDirectSound8::SetCooperativeLevel(HWND, DWORD level) {
  return level >= DSSCL_NORMAL && level <= DSSCL_WRITEPRIMARY ? DS_OK : DSERR_INVALIDPARAM;
}

HRESULT IDirectSound8::CreatePrimaryBuffer(const DSBUFFERDESC* desc, std::shared_ptr<IDirectSoundBuffer>* buffer) {
  if (!desc || !buffer || !(desc->dwFlags & DSBCAPS_PRIMARYBUFFER) || desc->dwBufferBytes != 0 || desc->lpwfxFormat)
    return DSERR_INVALIDPARAM;
  auto primary = std::make_shared<IDirectSoundBuffer>(m_mixer);
  primary->m_has3D = (desc->dwFlags & DSBCAPS_CTRL3D) != 0;
  *buffer = std::move(primary);
  return DS_OK;
}

HRESULT IDirectSound8::CreateSoundBuffer(const DSBUFFERDESC* desc, std::shared_ptr<IDirectSoundBuffer8>* buffer) {
  if (!desc || !buffer || (desc->dwFlags & DSBCAPS_PRIMARYBUFFER)) return DSERR_INVALIDPARAM;
  const WAVEFORMATEX* format = desc->lpwfxFormat;
  if (!format) return DSERR_INVALIDPARAM;
  if (format->wFormatTag != WAVE_FORMAT_PCM || (format->nChannels != 1 && format->nChannels != 2) ||
      (format->wBitsPerSample != 8 && format->wBitsPerSample != 16) || format->nSamplesPerSec == 0 ||
      format->nBlockAlign != format->nChannels * format->wBitsPerSample / 8)
    return DSERR_BADFORMAT;
  if (desc->dwBufferBytes < DSBSIZE_MIN || desc->dwBufferBytes > DSBSIZE_MAX ||
      desc->dwBufferBytes < format->nBlockAlign)
    return DSERR_INVALIDPARAM;
  // 3D placement needs mono data and cannot be combined with panning.
  if ((desc->dwFlags & DSBCAPS_CTRL3D) && (format->nChannels != 1 || (desc->dwFlags & DSBCAPS_CTRLPAN)))
    return DSERR_INVALIDPARAM;

  auto voice = std::make_unique<MixerVoice>();
  voice->data =
      std::make_shared<std::vector<std::uint8_t>>(desc->dwBufferBytes, format->wBitsPerSample == 8 ? 0x80 : 0);
  voice->flags = desc->dwFlags;
  voice->channels = format->nChannels;
  voice->bits = format->wBitsPerSample;
  voice->rate = format->nSamplesPerSec;
  voice->blockAlign = format->nBlockAlign;
  buffer->reset(new IDirectSoundBuffer8(m_mixer, std::move(voice)));
  return DS_OK;
}

HRESULT IDirectSound8::DuplicateSoundBuffer(const std::shared_ptr<IDirectSoundBuffer8>& original,
                                            std::shared_ptr<IDirectSoundBuffer8>* duplicate) {
  if (!original || !duplicate || original->m_mixer != m_mixer) return DSERR_INVALIDPARAM;
  auto voice = std::make_unique<MixerVoice>();
  {
    std::lock_guard lock(m_mixer->mutex());
    *voice = *original->m_voice;
  }
  voice->playing = false;
  voice->looping = false;
  voice->position = 0;
  duplicate->reset(new IDirectSoundBuffer8(m_mixer, std::move(voice)));
  return DS_OK;
}
