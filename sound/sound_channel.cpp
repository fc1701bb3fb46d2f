// RIFF/WAVE and Ogg Vorbis sources read through the file layer.
#define OV_EXCLUDE_STATIC_CALLBACKS
#include "sound/sound_channel.h"

#include <vorbis/vorbisfile.h>

#include <strings.h>
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "foundation/file.h"

bool SoundChannel::setLoop(bool loop) {
  m_loop = loop;
  return true;
}

int SoundChannel::setReadPosition(int bytes) {
  m_readPosition = bytes;
  return m_readPosition;
}

// ---------------------------------------------------------------------------
// WaveChannel

namespace {

bool readU32(File& file, std::uint32_t* value) {
  std::uint8_t bytes[4];
  if (file.read(bytes, 4) != 4) return false;
  *value = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
  return true;
}

bool readId(File& file, char id[4]) { return file.read(id, 4) == 4; }

std::uint16_t u16At(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t u32At(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// Bytes between the read position and the end of the open file.
std::int64_t remaining(File& file) { return static_cast<std::int64_t>(file.size()) - file.tell(); }

}  // namespace

std::unique_ptr<WaveChannel> WaveChannel::load(File* prototype, const char* name) {
  if (!prototype || !name) return nullptr;
  std::unique_ptr<File> file = prototype->cloneUnique();
  if (!file || !file->open(name)) return nullptr;
  std::unique_ptr<WaveChannel> channel(new WaveChannel);
  channel->m_name = name;
  const bool ok = channel->read(*file);
  file->close();
  if (!ok) return nullptr;
  return channel;
}

bool WaveChannel::read(File& file) {
  char id[4];
  if (!file.seek(8) || !readId(file, id) || std::memcmp(id, "WAVE", 4) != 0) return false;

  std::uint32_t formatLength = 0;
  std::uint8_t formatBytes[16];
  if (!readId(file, id) || !readU32(file, &formatLength)) return false;
  // A shorter chunk would be read past its end and skipped backwards.
  if (formatLength < 16 || file.read(formatBytes, 16) != 16) return false;
  m_format.formatTag = u16At(formatBytes);
  m_format.channels = u16At(formatBytes + 2);
  m_format.samplesPerSec = u32At(formatBytes + 4);
  m_format.avgBytesPerSec = u32At(formatBytes + 8);
  m_format.blockAlign = u16At(formatBytes + 12);
  m_format.bitsPerSample = u16At(formatBytes + 14);
  // Only what the mixer plays; anything else would make getLength divide by
  // zero or the buffers misread the samples.
  if (m_format.formatTag != 1) return false;
  if (m_format.channels != 1 && m_format.channels != 2) return false;
  if (m_format.bitsPerSample != 8 && m_format.bitsPerSample != 16) return false;
  if (m_format.samplesPerSec == 0) return false;
  if (formatLength - 16 > remaining(file) || !file.skip(static_cast<int>(formatLength - 16))) return false;

  // Chunks before "data" are skipped as stored; the end of the file without
  // one fails.
  std::uint32_t length = 0;
  for (;;) {
    if (!readId(file, id) || !readU32(file, &length)) return false;
    if (std::memcmp(id, "data", 4) == 0) break;
    if (length > remaining(file) || !file.skip(static_cast<int>(length))) return false;
  }
  // A data chunk claiming more than the file holds keeps what is there.
  const auto size = static_cast<int>(std::min<std::int64_t>(length, std::max<std::int64_t>(remaining(file), 0)));
  m_data.resize(static_cast<std::size_t>(size));
  int done = 0;
  while (done < size) {
    const int n = file.read(m_data.data() + done, size - done);
    if (n <= 0) break;
    done += n;
  }
  if (done == 0) return false;
  m_data.resize(static_cast<std::size_t>(done));
  return true;
}

int WaveChannel::setReadPosition(int bytes) {
  m_readPosition = std::clamp(bytes, 0, static_cast<int>(m_data.size()));
  return m_readPosition;
}

int WaveChannel::Fill(std::uint8_t* buffer, int bytes) {
  if (!buffer || bytes <= 0) return 0;
  const int size = static_cast<int>(m_data.size());
  m_readPosition = std::clamp(m_readPosition, 0, size);
  int written = 0;
  while (written < bytes) {
    if (m_readPosition >= size) {
      // A looping source goes on from the start within the same request.
      if (!m_loop || size == 0) break;
      m_readPosition = 0;
    }
    const int count = std::min(bytes - written, size - m_readPosition);
    std::memcpy(buffer + written, m_data.data() + m_readPosition, static_cast<std::size_t>(count));
    m_readPosition += count;
    written += count;
  }
  return written;
}

double WaveChannel::getLength() {
  const double bytesPerSecond =
      (m_format.bitsPerSample / 8) * static_cast<double>(m_format.samplesPerSec) * m_format.channels;
  return bytesPerSecond > 0.0 ? m_data.size() / bytesPerSecond : 0.0;
}

// ---------------------------------------------------------------------------
// VorbisChannel

VorbisChannel::VorbisChannel() : m_file(std::make_unique<OggVorbis_File>()) {}

VorbisChannel::~VorbisChannel() {
  if (m_opened) ov_clear(m_file.get());
}

std::unique_ptr<VorbisChannel> VorbisChannel::open(File* prototype, const char* name) {
  if (!prototype || !name) return nullptr;
  std::unique_ptr<VorbisChannel> channel(new VorbisChannel);
  channel->m_name = name;
  {
    std::unique_ptr<File> file = prototype->cloneUnique();
    if (!file || !file->open(name)) return nullptr;
    const int size = file->size();
    channel->m_data.resize(static_cast<std::size_t>(std::max(size, 0)));
    int done = 0;
    while (done < size) {
      const int n = file->read(channel->m_data.data() + done, size - done);
      if (n <= 0) break;
      done += n;
    }
    file->close();
    if (done == 0) return nullptr;
    channel->m_data.resize(static_cast<std::size_t>(done));
  }
  const ov_callbacks callbacks{&VorbisChannel::readCallback, &VorbisChannel::seekCallback,
                               &VorbisChannel::closeCallback, &VorbisChannel::tellCallback};
  if (ov_open_callbacks(channel.get(), channel->m_file.get(), nullptr, 0, callbacks) < 0) return nullptr;
  channel->m_opened = true;
  const vorbis_info* info = ov_info(channel->m_file.get(), -1);
  if (!info) return nullptr;
  channel->m_rate = static_cast<int>(info->rate);
  channel->m_channels = info->channels;
  return channel;
}

std::size_t VorbisChannel::readCallback(void* out, std::size_t elementSize, std::size_t count, void* self) {
  auto* channel = static_cast<VorbisChannel*>(self);
  const std::size_t left = channel->m_data.size() - static_cast<std::size_t>(channel->m_position);
  if (elementSize == 0 || count == 0 || left == 0) return 0;
  count = std::min(count, left / elementSize);
  const std::size_t bytes = count * elementSize;
  std::memcpy(out, channel->m_data.data() + channel->m_position, bytes);
  channel->m_position += static_cast<int>(bytes);
  return count;
}

int VorbisChannel::seekCallback(void* self, std::int64_t offset, int whence) {
  auto* channel = static_cast<VorbisChannel*>(self);
  const auto size = static_cast<std::int64_t>(channel->m_data.size());
  std::int64_t target;
  switch (whence) {
    case SEEK_SET:
      target = offset;
      break;
    case SEEK_CUR:
      target = channel->m_position + offset;
      break;
    case SEEK_END:
      if (offset > 0) return -1;
      target = size + offset;
      break;
    default:
      return 0;
  }
  if (target < 0 || target > size) return -1;
  channel->m_position = static_cast<int>(target);
  return 0;
}

int VorbisChannel::closeCallback(void*) { return 0; }  // the data belongs to the channel

long VorbisChannel::tellCallback(void* self) { return static_cast<VorbisChannel*>(self)->m_position; }

int VorbisChannel::decode(std::uint8_t* buffer, int bytes) {
  // A hole is a gap in the stream that decoding steps over; give up after a
  // run of them rather than spin on a damaged file.
  for (int holes = 0; holes < 64; ++holes) {
    const long r = ov_read(m_file.get(), reinterpret_cast<char*>(buffer), bytes, 0, 2, 1, &m_section);
    if (r != OV_HOLE) return static_cast<int>(r);
  }
  return OV_EREAD;
}

int VorbisChannel::Fill(std::uint8_t* buffer, int bytes) {
  if (!buffer || bytes <= 0) return 0;
  const int r = decode(buffer, bytes);
  if (r > 0) return r;
  // The end of the stream, or a decoding error that ends it.
  if (!m_loop) {
    std::memset(buffer, 0, static_cast<std::size_t>(bytes));
    return bytes;
  }
  if (ov_pcm_seek(m_file.get(), 0) != 0) return 0;
  return std::max(decode(buffer, bytes), 0);
}

double VorbisChannel::getLength() { return ov_time_total(m_file.get(), -1); }

int VorbisChannel::getByteSize() {
  const ogg_int64_t frames = ov_pcm_total(m_file.get(), -1);
  if (frames < 0) return 0;
  const std::int64_t bytes = frames * m_channels * m_bits / 8;
  return bytes > 0x7FFFFFFF ? 0 : static_cast<int>(bytes);
}

// ---------------------------------------------------------------------------

std::unique_ptr<SoundChannel> loadSoundChannel(File* prototype, const char* name) {
  if (!name) return nullptr;
  const std::size_t length = std::strlen(name);
  if (length < 3) return nullptr;
  const char* extension = name + length - 3;
  if (strncasecmp(extension, "ogg", 4) == 0) return VorbisChannel::open(prototype, name);
  if (strncasecmp(extension, "wav", 4) == 0) return WaveChannel::load(prototype, name);
  return nullptr;
}
