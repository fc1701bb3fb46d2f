// RIFF/WAVE and Ogg Vorbis sources read through the file layer.
#define OV_EXCLUDE_STATIC_CALLBACKS
#include "sound/sound_channel.h"

#include <vorbis/vorbisfile.h>

#include <strings.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "foundation/byte_fields.h"
#include "foundation/file.h"
#include "foundation/profiler.h"
#include "foundation/report.h"
#include "platform/audio/dsound.h"
#include "sound/vorbis_opening_check.h"
#include "sound/vorbis_setup_check.h"

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
  *value = FieldReader(bytes, 4).u32();
  return true;
}

bool readId(File& file, char id[4]) { return file.read(id, 4) == 4; }

// Bytes between the read position and the end of the open file.
std::int64_t remaining(File& file) { return static_cast<std::int64_t>(file.size()) - file.tell(); }

}  // namespace

std::unique_ptr<WaveChannel> WaveChannel::load(File* prototype, const char* name) {
  if (!prototype || !name) return nullptr;
  std::unique_ptr<File> file = prototype->cloneUnique();
  if (!file || !file->open(name)) return nullptr;
  std::unique_ptr<WaveChannel> channel(new WaveChannel);
  channel->m_name = name;
  const std::string refused = channel->read(*file);
  file->close();
  if (!refused.empty()) {
    reportError("WaveChannel: \"%s\" refused: %s\n", name, refused.c_str());
    return nullptr;
  }
  return channel;
}

namespace {

// Skips `length` bytes of a chunk and the pad byte that follows a chunk of
// odd length. Files from writers that leave the pad out are still read: a
// pad is zero, while the next chunk's id starts with a letter.
bool skipChunk(File& file, std::int64_t length, bool oddLength) {
  if (length > remaining(file) || !file.skip(static_cast<int>(length))) return false;
  if (!oddLength || remaining(file) <= 0) return true;
  std::uint8_t pad = 0;
  if (file.read(&pad, 1) != 1) return false;
  return pad == 0 || file.seek(file.tell() - 1);
}

}  // namespace

std::string WaveChannel::read(File& file) {
  char id[4];
  if (!file.seek(8) || !readId(file, id) || std::memcmp(id, "WAVE", 4) != 0) return "not a RIFF/WAVE file";

  // Chunks come in any order ("JUNK" or "LIST" may come first); the first
  // "fmt " and the first "data" count, the rest are skipped by their length.
  bool haveFormat = false;
  int dataStart = -1;
  std::uint32_t dataLength = 0;
  while (!haveFormat || dataStart < 0) {
    std::uint32_t length = 0;
    if (!readId(file, id) || !readU32(file, &length)) return haveFormat ? "no \"data\" chunk" : "no \"fmt \" chunk";
    std::int64_t rest = length;
    if (!haveFormat && std::memcmp(id, "fmt ", 4) == 0) {
      std::uint8_t formatBytes[16];
      if (length < 16) return "\"fmt \" chunk shorter than 16 bytes";
      if (file.read(formatBytes, 16) != 16) return "file ends in the \"fmt \" chunk";
      FieldReader fields(formatBytes, sizeof formatBytes);
      m_format.formatTag = fields.u16();
      m_format.channels = fields.u16();
      m_format.samplesPerSec = fields.u32();
      m_format.avgBytesPerSec = fields.u32();
      m_format.blockAlign = fields.u16();
      m_format.bitsPerSample = fields.u16();
      // Only what the mixer plays; anything else would make getLength
      // divide by zero or the buffers misread the samples.
      if (m_format.formatTag != 1) return "format tag " + std::to_string(m_format.formatTag) + " is not PCM";
      if (m_format.channels != 1 && m_format.channels != 2)
        return std::to_string(m_format.channels) + " channels (1 or 2 play)";
      if (m_format.bitsPerSample != 8 && m_format.bitsPerSample != 16)
        return std::to_string(m_format.bitsPerSample) + " bits per sample (8 or 16 play)";
      if (m_format.samplesPerSec == 0) return "sample rate 0";
      // Rates are ints from here on, and no buffer plays faster.
      if (m_format.samplesPerSec > DSBFREQUENCY_MAX)
        return "sample rate " + std::to_string(m_format.samplesPerSec) + " above " + std::to_string(DSBFREQUENCY_MAX);
      haveFormat = true;
      rest -= 16;
    } else if (dataStart < 0 && std::memcmp(id, "data", 4) == 0) {
      dataStart = file.tell();
      dataLength = length;
      if (haveFormat) break;
    }
    if (!skipChunk(file, rest, (length & 1) != 0))
      return haveFormat ? "a chunk runs past the end of the file" : "no \"fmt \" chunk";
  }

  // A data chunk claiming more than the file holds keeps what is there, in
  // whole frames.
  if (!file.seek(dataStart)) return "no \"data\" chunk";
  const int frameBytes = m_format.channels * (m_format.bitsPerSample / 8);
  std::int64_t size = std::min<std::int64_t>(dataLength, std::max<std::int64_t>(remaining(file), 0));
  size -= size % frameBytes;
  std::vector<std::uint8_t> data(static_cast<std::size_t>(size));
  int done = 0;
  while (done < size) {
    const int n = file.read(data.data() + done, static_cast<int>(size) - done);
    if (n <= 0) break;
    done += n;
  }
  done -= done % frameBytes;
  if (done == 0) return "no samples in the \"data\" chunk";
  data.resize(static_cast<std::size_t>(done));
  m_data = std::make_shared<const std::vector<std::uint8_t>>(std::move(data));
  return {};
}

std::unique_ptr<SoundChannel> WaveChannel::openReader() const {
  std::unique_ptr<WaveChannel> reader(new WaveChannel);
  reader->m_name = m_name;
  reader->m_format = m_format;
  reader->m_data = m_data;
  return reader;
}

int WaveChannel::setReadPosition(int bytes) {
  m_readPosition = std::clamp(bytes, 0, static_cast<int>(m_data->size()));
  m_atEnd = false;
  return m_readPosition;
}

int WaveChannel::Fill(std::uint8_t* buffer, int bytes) {
  if (!buffer || bytes <= 0) return 0;
  const int size = static_cast<int>(m_data->size());
  m_readPosition = std::clamp(m_readPosition, 0, size);
  int written = 0;
  while (written < bytes) {
    if (m_readPosition >= size) {
      // A looping source goes on from the start within the same request.
      if (!m_loop || size == 0) break;
      m_readPosition = 0;
    }
    const int count = std::min(bytes - written, size - m_readPosition);
    std::memcpy(buffer + written, m_data->data() + m_readPosition, static_cast<std::size_t>(count));
    m_readPosition += count;
    written += count;
  }
  m_atEnd = written == 0;
  return written;
}

double WaveChannel::getLength() {
  const double bytesPerSecond =
      (m_format.bitsPerSample / 8) * static_cast<double>(m_format.samplesPerSec) * m_format.channels;
  return bytesPerSecond > 0.0 ? m_data->size() / bytesPerSecond : 0.0;
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
    std::vector<std::uint8_t> data(static_cast<std::size_t>(std::max(size, 0)));
    int done = 0;
    while (done < size) {
      const int n = file->read(data.data() + done, size - done);
      if (n <= 0) break;
      done += n;
    }
    file->close();
    if (done == 0) {
      reportError("VorbisChannel: \"%s\" refused: the file is empty or cannot be read\n", name);
      return nullptr;
    }
    data.resize(static_cast<std::size_t>(done));
    // The system's decoder divides by zero on some setup headers it should
    // refuse: read them first. Readers opened later share the checked bytes.
    std::string refused = checkVorbisSetupHeaders(data.data(), data.size());
    if (!refused.empty()) {
      reportError("Ogg Vorbis file %s: %s\n", name, refused.c_str());
      return nullptr;
    }
    // Headers the decoder would not open are refused before it sees them:
    // its failed opening loses memory.
    refused = checkVorbisOpening(data.data(), data.size());
    if (!refused.empty()) {
      reportError("VorbisChannel: \"%s\" refused: %s\n", name, refused.c_str());
      return nullptr;
    }
    channel->m_data = std::make_shared<const std::vector<std::uint8_t>>(std::move(data));
  }
  const std::string refused = channel->start();
  if (!refused.empty()) {
    reportError("VorbisChannel: \"%s\" refused: %s\n", name, refused.c_str());
    return nullptr;
  }
  return channel;
}

std::string VorbisChannel::start() {
  const ov_callbacks callbacks{&VorbisChannel::readCallback, &VorbisChannel::seekCallback,
                               &VorbisChannel::closeCallback, &VorbisChannel::tellCallback};
  const int result = ov_open_callbacks(this, m_file.get(), nullptr, 0, callbacks);
  if (result < 0) {
    switch (result) {
      case OV_ENOTVORBIS:
        return "not Ogg Vorbis data";
      case OV_EVERSION:
        return "unsupported Vorbis version";
      case OV_EBADHEADER:
        return "damaged Vorbis headers";
      default:
        return "the Ogg stream cannot be opened (error " + std::to_string(result) + ")";
    }
  }
  m_opened = true;
  // Opening a chained file scans every link and can leave the decoder at
  // the end of the data, so that reading ends after the first link: start
  // it again at the first sample.
  if (ov_streams(m_file.get()) > 1 && ov_pcm_seek(m_file.get(), 0) != 0) return "the links cannot be located";
  const vorbis_info* info = ov_info(m_file.get(), -1);
  if (!info) return "no stream information";
  // The header holds 32 bits: rates are ints from here on, and no buffer
  // plays faster.
  if (info->rate > static_cast<long>(DSBFREQUENCY_MAX))
    return "sample rate " + std::to_string(info->rate) + " above " + std::to_string(DSBFREQUENCY_MAX);
  m_rate = static_cast<int>(info->rate);
  m_channels = info->channels;
  return {};
}

std::unique_ptr<SoundChannel> VorbisChannel::openReader() const {
  std::unique_ptr<VorbisChannel> reader(new VorbisChannel);
  reader->m_name = m_name;
  reader->m_data = m_data;
  if (!reader->start().empty()) return nullptr;
  return reader;
}

std::size_t VorbisChannel::readCallback(void* out, std::size_t elementSize, std::size_t count, void* self) {
  auto* channel = static_cast<VorbisChannel*>(self);
  const std::vector<std::uint8_t>& data = *channel->m_data;
  const std::size_t left = data.size() - static_cast<std::size_t>(channel->m_position);
  if (elementSize == 0 || count == 0 || left == 0) return 0;
  count = std::min(count, left / elementSize);
  const std::size_t bytes = count * elementSize;
  std::memcpy(out, data.data() + channel->m_position, bytes);
  channel->m_position += static_cast<int>(bytes);
  return count;
}

int VorbisChannel::seekCallback(void* self, std::int64_t offset, int whence) {
  auto* channel = static_cast<VorbisChannel*>(self);
  const auto size = static_cast<std::int64_t>(channel->m_data->size());
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

int VorbisChannel::decode(std::uint8_t* buffer, int bytes, int* section) {
  // A hole is a gap in the stream that decoding steps over; give up after a
  // run of them rather than spin on a damaged file.
  for (int holes = 0; holes < 64; ++holes) {
    const long r = ov_read(m_file.get(), reinterpret_cast<char*>(buffer), bytes, 0, 2, 1, section);
    if (r != OV_HOLE) return static_cast<int>(r);
  }
  return OV_EREAD;
}

void VorbisChannel::resetConversion() {
  m_linkChannels = 0;
  m_linkRate = 0;
  m_linkEnded = false;
  m_linkFrames.clear();
  m_linkPhase = 0;
  m_nextLink.clear();
}

void VorbisChannel::beginLink(int section, const std::uint8_t* bytes, int count) {
  const vorbis_info* info = ov_info(m_file.get(), section);
  m_linkSection = section;
  m_linkChannels = info && info->channels > 0 ? info->channels : m_channels;
  m_linkRate = info && info->rate > 0 && info->rate <= static_cast<long>(DSBFREQUENCY_MAX)
                   ? static_cast<int>(info->rate)
                   : m_rate;
  m_linkEnded = false;
  m_linkPhase = 0;
  m_linkFrames.resize(static_cast<std::size_t>(count / 2));
  FieldReader samples(bytes, m_linkFrames.size() * 2);
  for (std::int16_t& frame : m_linkFrames) frame = static_cast<std::int16_t>(samples.u16());
  m_linkFrames.resize(m_linkFrames.size() - m_linkFrames.size() % m_linkChannels);
}

int VorbisChannel::convert(std::uint8_t* out, int frames) {
  const auto outRate = static_cast<std::uint64_t>(m_rate);
  FieldWriter samples(out, static_cast<std::size_t>(frames) * static_cast<std::size_t>(m_channels) * 2);
  std::vector<std::uint8_t> piece;
  int produced = 0;
  while (produced < frames) {
    const std::size_t linkFrames = m_linkFrames.size() / m_linkChannels;
    const std::uint64_t index = m_linkPhase / outRate;
    if (index + 1 < linkFrames || (m_linkEnded && index < linkFrames)) {
      // Linear interpolation between two input frames; the last frame of a
      // link is held.
      const std::int16_t* a = &m_linkFrames[index * m_linkChannels];
      const std::int16_t* b = index + 1 < linkFrames ? a + m_linkChannels : a;
      const float fraction = static_cast<float>(m_linkPhase % outRate) / static_cast<float>(outRate);
      const auto sampleAt = [&](const std::int16_t* frame, int channel) -> float {
        if (m_channels == 1) {
          float sum = 0.0f;
          for (int c = 0; c < m_linkChannels; ++c) sum += frame[c];
          return sum / static_cast<float>(m_linkChannels);
        }
        if (m_linkChannels == 1) return frame[0];
        // Vorbis puts the centre second in three- and five-or-more-channel
        // layouts; the right front is then third.
        const int right = m_linkChannels == 3 || m_linkChannels >= 5 ? 2 : 1;
        return frame[channel == 0 ? 0 : right];
      };
      for (int c = 0; c < m_channels; ++c) {
        const float va = sampleAt(a, c);
        const float value = va + (sampleAt(b, c) - va) * fraction;
        const auto sample = static_cast<std::int16_t>(std::lrint(std::clamp(value, -32768.0f, 32767.0f)));
        samples.u16(static_cast<std::uint16_t>(sample));
      }
      ++produced;
      m_linkPhase += static_cast<std::uint64_t>(m_linkRate);
      continue;
    }
    if (m_linkEnded) {
      // This link is used up: go on with the next one, or end.
      if (m_nextLink.empty()) {
        resetConversion();
        return produced;
      }
      std::vector<std::uint8_t> next = std::move(m_nextLink);
      m_nextLink.clear();
      beginLink(m_nextSection, next.data(), static_cast<int>(next.size()));
      continue;
    }
    // Drop what is used up (a step may pass the frames decoded so far) and
    // decode more of the link.
    const std::uint64_t used = std::min<std::uint64_t>(index, linkFrames);
    m_linkFrames.erase(m_linkFrames.begin(), m_linkFrames.begin() + static_cast<std::ptrdiff_t>(used * m_linkChannels));
    m_linkPhase -= used * outRate;
    if (m_linkFrames.empty() && m_linkPhase == 0 && m_linkChannels == m_channels &&
        static_cast<std::uint64_t>(m_linkRate) == outRate) {
      resetConversion();  // a link in the channel's own format is read as it is
      return produced;
    }
    piece.resize(4096);
    int section = m_linkSection;
    const int r = decode(piece.data(), static_cast<int>(piece.size()), &section);
    if (r <= 0) {
      m_linkEnded = true;
    } else if (section == m_linkSection) {
      FieldReader decoded(piece.data(), static_cast<std::size_t>(r));
      for (int i = 0; i + 1 < r; i += 2) m_linkFrames.push_back(static_cast<std::int16_t>(decoded.u16()));
    } else {
      m_linkEnded = true;
      m_nextLink.assign(piece.begin(), piece.begin() + r);
      m_nextSection = section;
    }
  }
  return produced;
}

int VorbisChannel::read(std::uint8_t* out, int bytes) {
  const int frameBytes = 2 * m_channels;
  int done = 0;
  while (bytes - done >= frameBytes) {
    if (!converting()) {
      int section = m_section;
      const int r = decode(out + done, bytes - done, &section);
      if (r <= 0) return done > 0 ? done : r;
      const vorbis_info* info = ov_info(m_file.get(), section);
      m_section = section;
      if (!info || (info->channels == m_channels && info->rate == m_rate)) return done + r;
      // A link of a chained file in another format: its bytes are not ours.
      beginLink(section, out + done, r);
      continue;
    }
    const int frames = convert(out + done, (bytes - done) / frameBytes);
    done += frames * frameBytes;
    if (frames == 0 && converting()) break;
  }
  return done;
}

int VorbisChannel::Fill(std::uint8_t* buffer, int bytes) {
  if (!buffer || bytes <= 0) return 0;
  // Streams fill on their own threads while the game fills static buffers.
  SharedProfileScope timed(GameCounter::kVorbisChannelFill);
  const int r = read(buffer, bytes);
  if (r > 0) {
    m_atEnd = false;
    return r;
  }
  // The end of the stream, or a decoding error that ends it.
  if (!m_loop) {
    std::memset(buffer, 0, static_cast<std::size_t>(bytes));
    m_atEnd = true;
    return bytes;
  }
  m_atEnd = false;
  resetConversion();
  if (ov_pcm_seek(m_file.get(), 0) != 0) return 0;
  return std::max(read(buffer, bytes), 0);
}

double VorbisChannel::getLength() { return ov_time_total(m_file.get(), -1); }

int VorbisChannel::getByteSize() {
  // Each link in the channel's format: a converted link of n frames gives
  // n x m_rate / its own rate of them, rounded up.
  std::int64_t frames = 0;
  const long links = ov_streams(m_file.get());
  for (long link = 0; link < links; ++link) {
    const ogg_int64_t linkFrames = ov_pcm_total(m_file.get(), static_cast<int>(link));
    const vorbis_info* info = ov_info(m_file.get(), static_cast<int>(link));
    // Lengths come from the file's granule positions: a size past the int
    // range is no size, and is caught before the products can overflow.
    if (linkFrames < 0 || linkFrames > 0x7FFFFFFF || !info || info->rate <= 0) return 0;
    frames += (linkFrames * m_rate + info->rate - 1) / info->rate;
    if (frames > 0x7FFFFFFF) return 0;
  }
  const std::int64_t bytes = frames * m_channels * m_bits / 8;
  return bytes > 0x7FFFFFFF ? 0 : static_cast<int>(bytes);
}

// ---------------------------------------------------------------------------

std::unique_ptr<SoundChannel> loadSoundChannel(File* prototype, const char* name) {
  if (!name) return nullptr;
  const std::size_t length = std::strlen(name);
  if (length >= 3) {
    const char* extension = name + length - 3;
    if (strncasecmp(extension, "ogg", 4) == 0) return VorbisChannel::open(prototype, name);
    if (strncasecmp(extension, "wav", 4) == 0) return WaveChannel::load(prototype, name);
  }
  reportError("loadSoundChannel: \"%s\" refused: only .wav and .ogg files are sounds\n", name);
  return nullptr;
}
