// The audio service: a DirectSound-shaped mixer of our own over SDL2 audio.
// Secondary buffers hold PCM (8/16-bit, mono or stereo, any rate), play and
// loop, resample to their frequency, attenuate by their volume and, when made
// with DSBCAPS_CTRL3D, by their place relative to the 3D listener. The mixing
// core renders any number of frames on demand (tests call it directly); the
// SDL callback renders through the same function.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/win32_types.h"

// Results.
inline constexpr HRESULT DS_OK = 0;
inline constexpr HRESULT DSERR_BUFFERLOST = static_cast<HRESULT>(0x88780096u);
inline constexpr HRESULT DSERR_INVALIDPARAM = static_cast<HRESULT>(0x80070057u);
inline constexpr HRESULT DSERR_INVALIDCALL = static_cast<HRESULT>(0x88780032u);
inline constexpr HRESULT DSERR_CONTROLUNAVAIL = static_cast<HRESULT>(0x8878001Eu);
inline constexpr HRESULT DSERR_PRIOLEVELNEEDED = static_cast<HRESULT>(0x88780046u);
inline constexpr HRESULT DSERR_NODRIVER = static_cast<HRESULT>(0x88780078u);
inline constexpr HRESULT DSERR_BADFORMAT = static_cast<HRESULT>(0x88780064u);

// Cooperative levels.
inline constexpr DWORD DSSCL_NORMAL = 1;
inline constexpr DWORD DSSCL_PRIORITY = 2;
inline constexpr DWORD DSSCL_EXCLUSIVE = 3;
inline constexpr DWORD DSSCL_WRITEPRIMARY = 4;

// Buffer capabilities.
inline constexpr DWORD DSBCAPS_PRIMARYBUFFER = 0x1;
inline constexpr DWORD DSBCAPS_STATIC = 0x2;
inline constexpr DWORD DSBCAPS_LOCHARDWARE = 0x4;
inline constexpr DWORD DSBCAPS_LOCSOFTWARE = 0x8;
inline constexpr DWORD DSBCAPS_CTRL3D = 0x10;
inline constexpr DWORD DSBCAPS_CTRLFREQUENCY = 0x20;
inline constexpr DWORD DSBCAPS_CTRLPAN = 0x40;
inline constexpr DWORD DSBCAPS_CTRLVOLUME = 0x80;
inline constexpr DWORD DSBCAPS_CTRLPOSITIONNOTIFY = 0x100;
inline constexpr DWORD DSBCAPS_CTRLFX = 0x200;
inline constexpr DWORD DSBCAPS_STICKYFOCUS = 0x4000;
inline constexpr DWORD DSBCAPS_GLOBALFOCUS = 0x8000;
inline constexpr DWORD DSBCAPS_GETCURRENTPOSITION2 = 0x10000;
inline constexpr DWORD DSBCAPS_MUTE3DATMAXDISTANCE = 0x20000;
inline constexpr DWORD DSBCAPS_LOCDEFER = 0x40000;

inline constexpr DWORD DSBPLAY_LOOPING = 0x1;
inline constexpr DWORD DSBSTATUS_PLAYING = 0x1;
inline constexpr DWORD DSBSTATUS_BUFFERLOST = 0x2;
inline constexpr DWORD DSBSTATUS_LOOPING = 0x4;
inline constexpr DWORD DSBLOCK_FROMWRITECURSOR = 0x1;
inline constexpr DWORD DSBLOCK_ENTIREBUFFER = 0x2;

inline constexpr LONG DSBVOLUME_MIN = -10000;
inline constexpr LONG DSBVOLUME_MAX = 0;
inline constexpr DWORD DSBFREQUENCY_ORIGINAL = 0;
inline constexpr DWORD DSBFREQUENCY_MIN = 100;
inline constexpr DWORD DSBFREQUENCY_MAX = 200000;
inline constexpr DWORD DSBSIZE_MIN = 4;
inline constexpr DWORD DSBSIZE_MAX = 0x0FFFFFFF;

inline constexpr DWORD DS3D_IMMEDIATE = 0;
inline constexpr DWORD DS3D_DEFERRED = 1;
inline constexpr DWORD DS3DMODE_NORMAL = 0;
inline constexpr DWORD DS3DMODE_HEADRELATIVE = 1;
inline constexpr DWORD DS3DMODE_DISABLE = 2;

inline constexpr WORD WAVE_FORMAT_PCM = 1;

struct WAVEFORMATEX {
  WORD wFormatTag = 0;
  WORD nChannels = 0;
  DWORD nSamplesPerSec = 0;
  DWORD nAvgBytesPerSec = 0;
  WORD nBlockAlign = 0;
  WORD wBitsPerSample = 0;
  WORD cbSize = 0;
};

struct DSBUFFERDESC {
  DWORD dwSize = 36;
  DWORD dwFlags = 0;
  DWORD dwBufferBytes = 0;
  DWORD dwReserved = 0;
  const WAVEFORMATEX* lpwfxFormat = nullptr;
  GUID guid3DAlgorithm;
};

// Left-handed: x right, y up, z forward.
struct DSVECTOR {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
};

struct DS3DBUFFER {
  DWORD dwSize = 64;
  DSVECTOR vPosition;
  DSVECTOR vVelocity;
  DWORD dwInsideConeAngle = 360;
  DWORD dwOutsideConeAngle = 360;
  DSVECTOR vConeOrientation{0.0f, 0.0f, 1.0f};
  LONG lConeOutsideVolume = 0;
  float flMinDistance = 1.0f;
  float flMaxDistance = 1e9f;
  DWORD dwMode = DS3DMODE_NORMAL;
};

struct DS3DLISTENER {
  DWORD dwSize = 64;
  DSVECTOR vPosition;
  DSVECTOR vVelocity;
  DSVECTOR vOrientFront{0.0f, 0.0f, 1.0f};
  DSVECTOR vOrientTop{0.0f, 1.0f, 0.0f};
  float flDistanceFactor = 1.0f;
  float flRolloffFactor = 1.0f;
  float flDopplerFactor = 1.0f;
};

// ---------------------------------------------------------------------------
// The mixing core. Every voice and the listener live behind one mutex, taken
// by the audio callback for each block it renders and by every buffer call
// from the game's threads.

struct MixerVoice;

class SoundMixer {
 public:
  // outputRate: frames per second of the rendered stereo stream;
  // periodFrames: frames per audio callback, which sets how far the write
  // cursor leads the play cursor.
  explicit SoundMixer(int outputRate = 44100, int periodFrames = 1024);
  ~SoundMixer();
  SoundMixer(const SoundMixer&) = delete;
  SoundMixer& operator=(const SoundMixer&) = delete;

  int outputRate() const { return m_outputRate; }
  int periodFrames() const { return m_periodFrames; }

  // Mixes `frames` frames of interleaved stereo into `out` (2 x frames
  // values), replacing what was there. Deterministic: the same calls give the
  // same samples.
  void render(float* out, int frames);
  void render(std::int16_t* out, int frames);

  // Listener, in DirectSound terms (DS3D_IMMEDIATE or DS3D_DEFERRED).
  HRESULT setListener(const DS3DLISTENER& params, DWORD apply);
  DS3DLISTENER listener(bool pending = false) const;
  // Applies every deferred listener and buffer setting at once.
  HRESULT commitDeferredSettings();

  // Voice registry, used by the buffers.
  void attach(MixerVoice* voice);
  void detach(MixerVoice* voice);
  std::mutex& mutex() const { return m_mutex; }

 private:
  void renderLocked(float* out, int frames);
  void mixVoice(MixerVoice& voice, float* out, int frames);

  mutable std::mutex m_mutex;
  int m_outputRate;
  int m_periodFrames;
  std::vector<MixerVoice*> m_voices;
  std::vector<float> m_scratch;
  DS3DLISTENER m_listener;
  DS3DLISTENER m_pendingListener;
  bool m_listenerPending = false;
};

// ---------------------------------------------------------------------------
// Buffers and device, shaped like their DirectSound namesakes. Objects are
// shared: a buffer keeps its mixer alive, so buffers may outlive the device
// object that made them (they then fall silent when the device closes).

class IDirectSound3DBuffer;

class IDirectSoundBuffer8 : public std::enable_shared_from_this<IDirectSoundBuffer8> {
 public:
  ~IDirectSoundBuffer8();
  IDirectSoundBuffer8(const IDirectSoundBuffer8&) = delete;
  IDirectSoundBuffer8& operator=(const IDirectSoundBuffer8&) = delete;

  HRESULT Play(DWORD reserved1, DWORD priority, DWORD flags);
  // Stops where it is; the position is kept.
  HRESULT Stop();
  HRESULT GetStatus(DWORD* status);
  HRESULT GetCurrentPosition(DWORD* playCursor, DWORD* writeCursor);
  HRESULT SetCurrentPosition(DWORD position);
  HRESULT SetFrequency(DWORD hertz);
  HRESULT GetFrequency(DWORD* hertz);
  HRESULT SetVolume(LONG volume);
  HRESULT GetVolume(LONG* volume);
  HRESULT GetFormat(WAVEFORMATEX* format);
  // Locks a range of `bytes` at `offset` (or the whole buffer, or from the
  // write cursor). A range running past the end continues at the start in
  // the second region. The regions are staging memory that Unlock copies into
  // the buffer, so the mixer never reads half-written samples. One lock at a
  // time per buffer: callers on several threads serialise their locks.
  HRESULT Lock(DWORD offset, DWORD bytes, void** region1, DWORD* bytes1, void** region2, DWORD* bytes2, DWORD flags);
  HRESULT Unlock(void* region1, DWORD bytes1, void* region2, DWORD bytes2);
  // Our buffers are never lost.
  HRESULT Restore();

  // The 3D interface of a buffer made with DSBCAPS_CTRL3D, else null. It
  // keeps the buffer alive.
  std::shared_ptr<IDirectSound3DBuffer> get3DBuffer();

  DWORD size() const;
  DWORD flags() const;

 private:
  friend class IDirectSound8;
  friend class IDirectSound3DBuffer;
  IDirectSoundBuffer8(std::shared_ptr<SoundMixer> mixer, std::unique_ptr<MixerVoice> voice);

  std::shared_ptr<SoundMixer> m_mixer;
  std::unique_ptr<MixerVoice> m_voice;
  std::vector<std::uint8_t> m_lockStaging;
  DWORD m_lockOffset = 0;
  DWORD m_lockBytes = 0;
  bool m_locked = false;
};

class IDirectSound3DBuffer {
 public:
  HRESULT SetAllParameters(const DS3DBUFFER* params, DWORD apply);
  // The parameters in effect (pending = false) or as last set (true).
  HRESULT GetAllParameters(DS3DBUFFER* params, bool pending = false);

 private:
  friend class IDirectSoundBuffer8;
  explicit IDirectSound3DBuffer(std::shared_ptr<IDirectSoundBuffer8> owner) : m_owner(std::move(owner)) {}
  std::shared_ptr<IDirectSoundBuffer8> m_owner;
};

class IDirectSound3DListener {
 public:
  explicit IDirectSound3DListener(std::shared_ptr<SoundMixer> mixer) : m_mixer(std::move(mixer)) {}
  HRESULT SetAllParameters(const DS3DLISTENER* params, DWORD apply);
  HRESULT GetAllParameters(DS3DLISTENER* params);
  HRESULT CommitDeferredSettings();

 private:
  std::shared_ptr<SoundMixer> m_mixer;
};

// The primary buffer: only its listener is of use to the engine.
class IDirectSoundBuffer {
 public:
  explicit IDirectSoundBuffer(std::shared_ptr<SoundMixer> mixer) : m_mixer(std::move(mixer)) {}
  std::shared_ptr<IDirectSound3DListener> getListener() const;

 private:
  std::shared_ptr<SoundMixer> m_mixer;
  bool m_has3D = false;
  friend class IDirectSound8;
};

class AudioOutput;

class IDirectSound8 {
 public:
  // A device that renders nowhere: its mixer advances only when someone
  // calls mixer().render. Tests build on it.
  explicit IDirectSound8(std::shared_ptr<SoundMixer> mixer);
  ~IDirectSound8();
  IDirectSound8(const IDirectSound8&) = delete;
  IDirectSound8& operator=(const IDirectSound8&) = delete;

  HRESULT SetCooperativeLevel(HWND window, DWORD level);
  // A primary buffer (DSBCAPS_PRIMARYBUFFER, no format) or a secondary one.
  HRESULT CreateSoundBuffer(const DSBUFFERDESC* desc, std::shared_ptr<IDirectSoundBuffer8>* buffer);
  HRESULT CreatePrimaryBuffer(const DSBUFFERDESC* desc, std::shared_ptr<IDirectSoundBuffer>* buffer);
  // A buffer sharing the original's sound data, with its own play state.
  HRESULT DuplicateSoundBuffer(const std::shared_ptr<IDirectSoundBuffer8>& original,
                               std::shared_ptr<IDirectSoundBuffer8>* duplicate);

  SoundMixer& mixer() { return *m_mixer; }

 private:
  friend HRESULT DirectSoundCreate8(const GUID* device, std::unique_ptr<IDirectSound8>* out, void* unused);
  std::shared_ptr<SoundMixer> m_mixer;
  std::unique_ptr<AudioOutput> m_output;
};

// Opens an output device through SDL: null or an all-zero GUID for the
// default device, else a GUID reported by DirectSoundEnumerateA. When no
// driver was chosen through SDL_AUDIODRIVER and the default driver opens no
// device, SDL's "dummy" driver is tried. Fails with DSERR_NODRIVER.
HRESULT DirectSoundCreate8(const GUID* device, std::unique_ptr<IDirectSound8>* out, void* unused);

// Reports the default device ("Primary Sound Driver", null GUID) and then
// every SDL output device, whose GUID is derived from its name, until the
// callback returns FALSE. Reports nothing when SDL audio cannot start.
using LPDSENUMCALLBACKA = BOOL (*)(GUID* guid, const char* description, const char* module, void* context);
HRESULT DirectSoundEnumerateA(LPDSENUMCALLBACKA callback, void* context);

// The stable GUID of an output device name.
GUID audioDeviceGuid(const char* name);
