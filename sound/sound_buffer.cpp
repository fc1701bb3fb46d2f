// Silent, static and streaming sound buffers on the DirectSound stand-in.
#include "sound/sound_buffer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "platform/system/system.h"
#include "sound/sound_channel.h"
#include "sound/sound_system.h"

LONG soundVolumeToAttenuation(float volume) {
  if (!(volume > 0.0f)) return DSBVOLUME_MIN;
  if (volume > 1.0f) volume = 1.0f;
  const double attenuation = std::trunc(std::log10(static_cast<double>(volume)) * 3333.3333);
  return attenuation < DSBVOLUME_MIN ? DSBVOLUME_MIN : static_cast<LONG>(attenuation);
}

SoundBuffer::~SoundBuffer() {
  if (m_device) m_device->forget(this);
}

// ---------------------------------------------------------------------------
// SilentSoundBuffer

bool SilentSoundBuffer::init() {
  m_playing = false;
  m_startTime = 0.0;
  return true;
}

bool SilentSoundBuffer::play(bool) {
  m_playing = true;
  m_startTime = timeGetTime() * 0.001;
  return true;
}

bool SilentSoundBuffer::stop() {
  m_playing = false;
  return true;
}

double SilentSoundBuffer::getPosition() { return timeGetTime() * 0.001 - m_startTime; }

// ---------------------------------------------------------------------------
// StaticSoundBuffer

StaticSoundBuffer::~StaticSoundBuffer() {
  m_buffer3D.reset();
  if (m_buffer) m_buffer->Stop();
  m_buffer.reset();
}

bool StaticSoundBuffer::create(IDirectSound8* directSound, SoundChannel* source, int size, bool is3D) {
  if (!directSound || !source) return false;
  m_directSound = directSound;
  m_source = source;
  m_size = size;
  if (is3D && source->getChannelCount() > 1) return false;
  if (size <= 0) return false;

  WAVEFORMATEX format;
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = static_cast<WORD>(source->getChannelCount());
  format.nSamplesPerSec = static_cast<DWORD>(source->getSampleRate());
  format.wBitsPerSample = static_cast<WORD>(source->getBitsPerSample());
  format.nBlockAlign = static_cast<WORD>(format.nChannels * (format.wBitsPerSample / 8));
  format.nAvgBytesPerSec = format.nBlockAlign * format.nSamplesPerSec;
  format.cbSize = 0;

  DSBUFFERDESC desc;
  desc.dwFlags = DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_GLOBALFOCUS | DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLFREQUENCY;
  if (is3D) desc.dwFlags |= DSBCAPS_CTRL3D;
  desc.dwBufferBytes = static_cast<DWORD>(size);
  desc.lpwfxFormat = &format;
  if (FAILED(directSound->CreateSoundBuffer(&desc, &m_buffer))) return false;
  if (is3D) m_buffer3D = m_buffer->get3DBuffer();
  m_buffer->SetCurrentPosition(0);

  // Never ask for more than is left: a last piece running past the end would
  // wrap and overwrite the start of the sound. The padding a source hands
  // out after its end is not sound.
  std::vector<std::uint8_t> piece(16384);
  int position = 0;
  while (position < size) {
    const int n = source->Fill(piece.data(), std::min<int>(static_cast<int>(piece.size()), size - position));
    if (n <= 0 || source->atEnd()) break;
    write(position, piece.data(), n);
    position += n;
  }
  m_prefilled = position;

  m_params3D.dwMode = is3D ? DS3DMODE_NORMAL : DS3DMODE_DISABLE;
  set3DParameters(2.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f);
  const auto fullCircle = static_cast<float>(2.0 * std::numbers::pi);
  setCone(fullCircle, fullCircle, 0.0f);
  setDistances(100.0f, 10000.0f);
  return true;
}

template <typename Fill>
bool StaticSoundBuffer::lockAndFill(int offset, int length, Fill fill) {
  if (!m_buffer || offset < 0 || length <= 0 || length > m_size) return false;
  void* region1 = nullptr;
  void* region2 = nullptr;
  DWORD bytes1 = 0;
  DWORD bytes2 = 0;
  HRESULT hr = m_buffer->Lock(static_cast<DWORD>(offset % m_size), static_cast<DWORD>(length), &region1, &bytes1,
                              &region2, &bytes2, 0);
  if (hr == DSERR_BUFFERLOST) {
    m_buffer->Restore();
    hr = m_buffer->Lock(static_cast<DWORD>(offset % m_size), static_cast<DWORD>(length), &region1, &bytes1, &region2,
                        &bytes2, 0);
  }
  if (FAILED(hr)) return false;
  fill(static_cast<std::uint8_t*>(region1), bytes1, static_cast<std::uint8_t*>(region2), bytes2);
  return SUCCEEDED(m_buffer->Unlock(region1, bytes1, region2, bytes2));
}

bool StaticSoundBuffer::write(int offset, const void* data, int length) {
  if (!data) return false;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  return lockAndFill(offset, length, [bytes](std::uint8_t* r1, DWORD n1, std::uint8_t* r2, DWORD n2) {
    std::memcpy(r1, bytes, n1);
    if (n2 > 0) std::memcpy(r2, bytes + n1, n2);
  });
}

bool StaticSoundBuffer::clear(int offset, int length) {
  // Silence is 0x80 in 8-bit data, 0 in 16-bit data.
  WAVEFORMATEX format;
  const std::uint8_t silence =
      m_buffer && SUCCEEDED(m_buffer->GetFormat(&format)) && format.wBitsPerSample == 8 ? 0x80 : 0;
  return lockAndFill(offset, length, [silence](std::uint8_t* r1, DWORD n1, std::uint8_t* r2, DWORD n2) {
    std::memset(r1, silence, n1);
    if (n2 > 0) std::memset(r2, silence, n2);
  });
}

std::unique_ptr<SoundBuffer> StaticSoundBuffer::duplicate() {
  if (!m_buffer || !device()) return nullptr;
  std::shared_ptr<IDirectSoundBuffer8> copied;
  if (FAILED(m_directSound->DuplicateSoundBuffer(m_buffer, &copied))) return nullptr;
  auto copy = std::make_unique<StaticSoundBuffer>();
  copy->m_directSound = m_directSound;
  copy->m_buffer = std::move(copied);
  copy->m_buffer3D = copy->m_buffer->get3DBuffer();
  copy->m_size = m_size;
  // Sent to the mixer with the copy's next 3D call.
  copy->m_params3D = m_params3D;
  device()->adopt(copy.get());
  return copy;
}

bool StaticSoundBuffer::play(bool loop) {
  if (!m_buffer) return false;
  if (isPlaying()) stop();
  m_buffer->Play(0, 0, loop ? DSBPLAY_LOOPING : 0);
  return true;
}

bool StaticSoundBuffer::setFrequency(std::uint32_t hertz) {
  if (!m_buffer) return false;
  m_buffer->SetFrequency(hertz);
  return true;
}

bool StaticSoundBuffer::stop() {
  if (!m_buffer) return false;
  m_buffer->Stop();
  m_buffer->SetCurrentPosition(0);
  return true;
}

double StaticSoundBuffer::getPosition() {
  DWORD play = 0;
  if (m_buffer) m_buffer->GetCurrentPosition(&play, nullptr);
  return play * (1.0f / kSoundBytesPerSecond);
}

bool StaticSoundBuffer::setVolume(float volume) {
  if (!m_buffer) return false;
  m_buffer->SetVolume(soundVolumeToAttenuation(volume));
  return true;
}

bool StaticSoundBuffer::isPlaying() {
  DWORD status = 0;
  return m_buffer && SUCCEEDED(m_buffer->GetStatus(&status)) && (status & DSBSTATUS_PLAYING) != 0;
}

bool StaticSoundBuffer::setPosition(double seconds) {
  const double bytes = std::trunc(seconds * kSoundBytesPerSecond);
  if (!m_buffer || !(bytes >= 0.0) || bytes >= m_size) return false;
  m_buffer->SetCurrentPosition(static_cast<DWORD>(bytes));
  return true;
}

int StaticSoundBuffer::getPlayCursor() {
  DWORD play = 0;
  if (m_buffer) m_buffer->GetCurrentPosition(&play, nullptr);
  return static_cast<int>(play);
}

void StaticSoundBuffer::apply3D(DWORD when) {
  if (m_buffer3D) m_buffer3D->SetAllParameters(&m_params3D, when);
}

void StaticSoundBuffer::set3DParameters(float px, float py, float pz, float ox, float oy, float oz, float vx, float vy,
                                        float vz) {
  // A NaN from a broken physics step keeps the last good placement.
  for (float value : {px, py, pz, ox, oy, oz, vx, vy, vz})
    if (!std::isfinite(value)) return;
  m_params3D.vPosition = {px, py, pz};
  m_params3D.vConeOrientation = {ox, oy, oz};
  m_params3D.vVelocity = {vx, vy, vz};
  apply3D(DS3D_DEFERRED);
}

void StaticSoundBuffer::setCone(float insideAngle, float outsideAngle, float outsideVolume) {
  // Whole degrees within 0..360; the outside volume is an attenuation.
  const auto degrees = [](float radians) {
    const double value = std::trunc(radians * 57.29577951308232);
    return static_cast<DWORD>(std::clamp(std::isnan(value) ? 360.0 : value, 0.0, 360.0));
  };
  m_params3D.dwInsideConeAngle = degrees(insideAngle);
  m_params3D.dwOutsideConeAngle = degrees(outsideAngle);
  const double attenuation = std::trunc((1.0 - outsideVolume) * -4000.0);
  m_params3D.lConeOutsideVolume =
      static_cast<LONG>(std::clamp(std::isnan(attenuation) ? 0.0 : attenuation, -10000.0, 0.0));
  apply3D(DS3D_DEFERRED);
}

void StaticSoundBuffer::setDistances(float minDistance, float maxDistance) {
  if (!std::isfinite(minDistance) || !std::isfinite(maxDistance)) return;
  m_params3D.flMinDistance = minDistance;
  m_params3D.flMaxDistance = maxDistance;
  apply3D(DS3D_IMMEDIATE);
}

void StaticSoundBuffer::set3DEnabled(bool on) {
  m_params3D.dwMode = on ? DS3DMODE_NORMAL : DS3DMODE_DISABLE;
  apply3D(DS3D_DEFERRED);
}

// ---------------------------------------------------------------------------
// StreamingSoundBuffer

StreamingSoundBuffer::~StreamingSoundBuffer() {
  if (m_thread.joinable()) {
    {
      std::lock_guard lock(m_mutex);
      m_quit = true;
    }
    m_wakeUp.notify_one();
    m_thread.join();
  }
  if (m_playing && m_buffer) m_buffer->Stop();
}

bool StreamingSoundBuffer::open(IDirectSound8* directSound, SoundChannel* source, int segmentSize, bool is3D,
                                int segmentCount) {
  // The writer rests two segments behind the player, so a ring needs three.
  if (segmentSize <= 0 || segmentCount < 3 || segmentSize > 0x0FFFFFFF / segmentCount) return false;
  m_segmentSize = segmentSize;
  m_segmentCount = segmentCount;
  if (!create(directSound, source, segmentSize * segmentCount, is3D)) return false;
  // Pieces never span more than one segment boundary.
  m_piece.resize(static_cast<std::size_t>(std::min(4096, segmentSize)));
  m_wrapCount = 0;
  m_lastCursor = 0;
  m_loopWanted = source->loop();
  // The prefill filled the whole ring: the first refill belongs in segment 0
  // once the player has left it far enough behind.
  m_writeOffset = m_prefilled % ringSize();
  m_lastSegment = 0;
  // A sound shorter than the ring ended in the prefill.
  if (source->atEnd()) beginEndLocked(0, m_prefilled);
  m_waitMs = 100;
  m_thread = std::thread(&StreamingSoundBuffer::run, this);
  return true;
}

void StreamingSoundBuffer::run() {
  for (;;) {
    {
      std::unique_lock lock(m_mutex);
      m_wakeUp.wait_for(lock, std::chrono::milliseconds(m_waitMs), [this] { return m_signalled || m_quit; });
      if (m_quit) return;
      m_signalled = false;
    }
    refill();
  }
}

void StreamingSoundBuffer::refill() {
  std::lock_guard refilling(m_refillMutex);
  for (;;) {
    int offset = 0;
    bool loop = false;
    {
      std::lock_guard lock(m_mutex);
      if (!m_playing || m_quit || !m_buffer) return;
      if (m_ending && !m_loopWanted) {
        followEndLocked();
        return;
      }
      // Asked to loop after the end: the source starts again, and its data
      // goes on where the old data ended.
      m_ending = false;
      DWORD play = 0;
      m_buffer->GetCurrentPosition(&play, nullptr);
      const int playSegment = static_cast<int>(play) / m_segmentSize;
      const int behind = (m_segmentCount - m_lastSegment + playSegment) % m_segmentCount;
      if (behind <= 2) return;
      offset = m_writeOffset;
      loop = m_loopWanted;
    }
    // Decoding takes the longest; the game thread's calls go on meanwhile.
    m_source->setLoop(loop);
    const int n = m_source->Fill(m_piece.data(), static_cast<int>(m_piece.size()));
    const bool ended = m_source->atEnd();

    std::lock_guard lock(m_mutex);
    if (ended) {
      DWORD play = 0;
      m_buffer->GetCurrentPosition(&play, nullptr);
      beginEndLocked(play, (offset - static_cast<int>(play) + ringSize()) % ringSize());
      followEndLocked();
      return;
    }
    // Nothing to write: wait for the next wake-up instead of spinning.
    if (n <= 0) return;
    StaticSoundBuffer::write(offset, m_piece.data(), n);
    m_lastSegment = offset / m_segmentSize;
    m_writeOffset = (offset + n) % ringSize();
  }
}

void StreamingSoundBuffer::beginEndLocked(DWORD cursor, int left) {
  m_ending = true;
  m_endLeft = left;
  m_endCursor = cursor;
  // The ring behind the data holds sound already played.
  if (left < ringSize()) StaticSoundBuffer::clear(m_writeOffset, ringSize() - left);
}

void StreamingSoundBuffer::followEndLocked() {
  DWORD play = 0;
  m_buffer->GetCurrentPosition(&play, nullptr);
  m_endLeft -= (static_cast<int>(play) - static_cast<int>(m_endCursor) + ringSize()) % ringSize();
  m_endCursor = play;
  if (m_endLeft > 0) return;
  m_buffer->Stop();
  m_playing = false;
}

bool StreamingSoundBuffer::write(int offset, const void* data, int length) {
  std::lock_guard lock(m_mutex);
  return StaticSoundBuffer::write(offset, data, length);
}

bool StreamingSoundBuffer::clear(int offset, int length) {
  std::lock_guard lock(m_mutex);
  return StaticSoundBuffer::clear(offset, length);
}

void StreamingSoundBuffer::wake() {
  m_signalled = true;
  m_wakeUp.notify_one();
}

std::unique_ptr<SoundBuffer> StreamingSoundBuffer::duplicate() {
  if (!device() || !m_source) return nullptr;
  // Only what loading set is read from the source, so its own refill may
  // go on meanwhile.
  std::unique_ptr<SoundChannel> reader = m_source->openReader();
  if (!reader) return nullptr;
  {
    std::lock_guard lock(m_mutex);
    reader->setLoop(m_loopWanted);
  }
  auto copy = std::make_unique<StreamingSoundBuffer>();
  if (!copy->open(m_directSound, reader.get(), m_segmentSize, false, m_segmentCount)) return nullptr;
  copy->m_ownSource = std::move(reader);
  device()->adopt(copy.get());
  return copy;
}

bool StreamingSoundBuffer::play(bool loop) {
  std::lock_guard lock(m_mutex);
  if (!m_buffer) return false;
  m_loopWanted = loop;
  if (m_playing) return false;
  m_buffer->Play(0, 0, DSBPLAY_LOOPING);
  m_playing = true;
  wake();
  return true;
}

bool StreamingSoundBuffer::setLoop(bool loop) {
  std::lock_guard lock(m_mutex);
  m_loopWanted = loop;
  return true;
}

bool StreamingSoundBuffer::stop() {
  std::lock_guard lock(m_mutex);
  if (!m_playing) return false;
  m_playing = false;
  if (m_buffer) m_buffer->Stop();
  return true;
}

double StreamingSoundBuffer::getPosition() {
  std::lock_guard lock(m_mutex);
  DWORD cursor = 0;
  if (m_buffer) m_buffer->GetCurrentPosition(&cursor, nullptr);
  if (cursor < m_lastCursor) ++m_wrapCount;
  m_lastCursor = cursor;
  return (static_cast<double>(m_wrapCount) * m_segmentCount * m_segmentSize + cursor) / kSoundBytesPerSecond;
}

void StreamingSoundBuffer::update() {
  std::lock_guard lock(m_mutex);
  if (m_playing) wake();
}
