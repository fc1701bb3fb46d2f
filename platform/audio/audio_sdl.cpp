// Output devices of the DirectSound stand-in: SDL2 audio devices, their
// enumeration, and the callback that feeds them from the mixing core.
#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/audio/dsound.h"

namespace {

// SDL's audio subsystem is shared by every device object; this counts our
// own users so that we may switch it to the dummy driver while nobody uses it.
std::mutex g_audioMutex;
int g_audioUsers = 0;

bool driverChosenByUser() {
  const char* chosen = std::getenv("SDL_AUDIODRIVER");
  return chosen && *chosen;
}

bool onDummyDriver() {
  const char* current = SDL_GetCurrentAudioDriver();
  return current && std::strcmp(current, "dummy") == 0;
}

// Call with g_audioMutex held.
bool initAudioLocked() {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) return true;
  if (driverChosenByUser()) return false;
  SDL_SetHint(SDL_HINT_AUDIODRIVER, "dummy");
  return SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
}

bool acquireAudio() {
  std::lock_guard lock(g_audioMutex);
  if (!initAudioLocked()) return false;
  ++g_audioUsers;
  return true;
}

void releaseAudio() {
  std::lock_guard lock(g_audioMutex);
  if (g_audioUsers <= 0) return;
  --g_audioUsers;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

// The names of SDL's output devices (an empty list where the driver cannot
// tell).
std::vector<std::string> outputDeviceNames() {
  std::vector<std::string> names;
  const int count = SDL_GetNumAudioDevices(0);
  for (int i = 0; i < count; ++i) {
    const char* name = SDL_GetAudioDeviceName(i, 0);
    if (name) names.emplace_back(name);
  }
  return names;
}

std::uint64_t fnv1a(const char* text, std::uint64_t hash) {
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
    hash ^= *p;
    hash *= 0x100000001B3ull;
  }
  return hash;
}

bool isNullGuid(const GUID& guid) { return guid == GUID{}; }

}  // namespace

GUID audioDeviceGuid(const char* name) {
  if (!name) name = "";
  const std::uint64_t high = fnv1a(name, 0xCBF29CE484222325ull);
  const std::uint64_t low = fnv1a(name, 0x6C62272E07BB0142ull ^ high);
  GUID guid;
  guid.Data1 = static_cast<DWORD>(high >> 32);
  guid.Data2 = static_cast<WORD>(high >> 16);
  // A name-based GUID: version 5 in the high nibble, RFC 4122 variant.
  guid.Data3 = static_cast<WORD>((high & 0x0FFF) | 0x5000);
  for (int i = 0; i < 8; ++i) guid.Data4[i] = static_cast<BYTE>(low >> (56 - 8 * i));
  guid.Data4[0] = static_cast<BYTE>((guid.Data4[0] & 0x3F) | 0x80);
  return guid;
}

// One open SDL device feeding from a mixer.
class AudioOutput {
 public:
  ~AudioOutput() {
    if (m_device != 0) SDL_CloseAudioDevice(m_device);  // waits for a running callback
    releaseAudio();
  }

  // Opens `name` (null: the default device). Returns null on failure.
  static std::unique_ptr<AudioOutput> open(const char* name, std::shared_ptr<SoundMixer>* mixer) {
    if (!acquireAudio()) return nullptr;
    std::unique_ptr<AudioOutput> output(new AudioOutput);
    if (output->start(name, mixer)) return output;
    // With no driver chosen, a machine without a sound card gets SDL's default
    // driver, which opens nothing: retry on the dummy driver, but only while
    // no other device of ours holds the subsystem.
    const bool retry = !name && !driverChosenByUser() && !onDummyDriver();
    output.reset();
    if (!retry) return nullptr;
    {
      std::lock_guard lock(g_audioMutex);
      if (g_audioUsers != 0) return nullptr;
      SDL_SetHint(SDL_HINT_AUDIODRIVER, "dummy");
      if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return nullptr;
      ++g_audioUsers;
    }
    output.reset(new AudioOutput);
    if (output->start(nullptr, mixer)) return output;
    return nullptr;
  }

 private:
  AudioOutput() = default;

  bool start(const char* name, std::shared_ptr<SoundMixer>* mixer) {
    SDL_AudioSpec wanted{};
    wanted.freq = 44100;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 2;
    wanted.samples = 1024;
    wanted.callback = &AudioOutput::callback;
    wanted.userdata = this;
    SDL_AudioSpec obtained{};
    m_device = SDL_OpenAudioDevice(name, 0, &wanted, &obtained, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
    if (m_device == 0) return false;
    // The device starts paused, so the mixer is in place before the first
    // callback.
    m_mixer = std::make_shared<SoundMixer>(obtained.freq, obtained.samples);
    *mixer = m_mixer;
    SDL_PauseAudioDevice(m_device, 0);
    return true;
  }

  static void callback(void* user, Uint8* stream, int length) {
    auto* self = static_cast<AudioOutput*>(user);
    self->m_mixer->render(reinterpret_cast<std::int16_t*>(stream), length / 4);
  }

  SDL_AudioDeviceID m_device = 0;
  std::shared_ptr<SoundMixer> m_mixer;
};

IDirectSound8::IDirectSound8(std::shared_ptr<SoundMixer> mixer) : m_mixer(std::move(mixer)) {}

IDirectSound8::~IDirectSound8() = default;

HRESULT DirectSoundCreate8(const GUID* device, std::unique_ptr<IDirectSound8>* out, void*) {
  if (!out) return DSERR_INVALIDPARAM;
  out->reset();
  std::string name;
  const bool byName = device && !isNullGuid(*device);
  if (byName) {
    if (!acquireAudio()) return DSERR_NODRIVER;
    for (const std::string& candidate : outputDeviceNames())
      if (audioDeviceGuid(candidate.c_str()) == *device) name = candidate;
    releaseAudio();
    if (name.empty()) return DSERR_NODRIVER;
  }
  std::shared_ptr<SoundMixer> mixer;
  std::unique_ptr<AudioOutput> output = AudioOutput::open(byName ? name.c_str() : nullptr, &mixer);
  if (!output) return DSERR_NODRIVER;
  auto directSound = std::make_unique<IDirectSound8>(mixer);
  directSound->m_output = std::move(output);
  *out = std::move(directSound);
  return DS_OK;
}

HRESULT DirectSoundEnumerateA(LPDSENUMCALLBACKA callback, void* context) {
  if (!callback) return DSERR_INVALIDPARAM;
  if (!acquireAudio()) return DS_OK;
  const char* driver = SDL_GetCurrentAudioDriver();
  const std::string module = driver ? driver : "";
  const std::vector<std::string> names = outputDeviceNames();
  releaseAudio();
  if (!callback(nullptr, "Primary Sound Driver", module.c_str(), context)) return DS_OK;
  for (const std::string& name : names) {
    GUID guid = audioDeviceGuid(name.c_str());
    if (!callback(&guid, name.c_str(), module.c_str(), context)) break;
  }
  return DS_OK;
}
