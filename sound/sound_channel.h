// Decoded sound sources: a source reports its PCM format and hands out PCM
// bytes on request. Sound buffers are filled from them; loadSoundChannel
// picks the decoder by the file name's extension.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class File;
struct OggVorbis_File;

class SoundChannel {
 public:
  virtual ~SoundChannel() = default;

  // When set, Fill starts again at the beginning at the end of the data.
  virtual bool setLoop(bool loop);
  // Moves the read position (bytes into the PCM data); returns it.
  virtual int setReadPosition(int bytes);
  // Writes up to `bytes` PCM bytes into `buffer`; returns how many.
  virtual int Fill(std::uint8_t* buffer, int bytes) = 0;
  virtual int getBitsPerSample() = 0;
  virtual int getChannelCount() = 0;
  virtual int getSampleRate() = 0;
  // Length in seconds.
  virtual double getLength() { return 0.0; }
  // Total PCM bytes.
  virtual int getByteSize() { return 0; }
  // A new source on the same data, reading from its start with a decoder
  // and read position of its own, so that two threads may read the two at
  // once; null when this kind cannot make one. Reads only what loading set.
  virtual std::unique_ptr<SoundChannel> openReader() const { return nullptr; }
  // True once a Fill found no data left in a source that does not loop; the
  // bytes that Fill returned, if any, were padding.
  virtual bool atEnd() const { return false; }

  bool loop() const { return m_loop; }
  int readPosition() const { return m_readPosition; }
  const std::string& name() const { return m_name; }

 protected:
  int m_readPosition = 0;
  bool m_loop = false;
  std::string m_name;
};

// The 16 bytes of a RIFF/WAVE format chunk.
struct WaveFormat {
  std::uint16_t formatTag = 0;
  std::uint16_t channels = 0;
  std::uint32_t samplesPerSec = 0;
  std::uint32_t avgBytesPerSec = 0;
  std::uint16_t blockAlign = 0;
  std::uint16_t bitsPerSample = 0;
};

// A RIFF/WAVE file of PCM data, held in memory.
class WaveChannel : public SoundChannel {
 public:
  // Null when the file is missing or is not 8/16-bit mono/stereo PCM WAVE.
  static std::unique_ptr<WaveChannel> load(File* prototype, const char* name);

  int setReadPosition(int bytes) override;
  int Fill(std::uint8_t* buffer, int bytes) override;
  int getBitsPerSample() override { return m_format.bitsPerSample; }
  int getChannelCount() override { return m_format.channels; }
  int getSampleRate() override { return static_cast<int>(m_format.samplesPerSec); }
  double getLength() override;
  int getByteSize() override { return static_cast<int>(m_data->size()); }
  std::unique_ptr<SoundChannel> openReader() const override;
  bool atEnd() const override { return m_atEnd; }

  const WaveFormat& format() const { return m_format; }

 private:
  WaveChannel() = default;
  // Empty when the file was read, else why it is refused.
  std::string read(File& file);

  WaveFormat m_format;
  // Shared with the readers opened on this source; never changed after load.
  std::shared_ptr<const std::vector<std::uint8_t>> m_data = std::make_shared<const std::vector<std::uint8_t>>();
  bool m_atEnd = false;
};

// An Ogg Vorbis file held in memory, decoded on request to 16-bit
// little-endian signed PCM. The format is the first link's; later links of a
// chained file with other channels or another rate are converted to it.
class VorbisChannel : public SoundChannel {
 public:
  // Null when the file is missing or vorbisfile cannot open it.
  static std::unique_ptr<VorbisChannel> open(File* prototype, const char* name);
  ~VorbisChannel() override;

  int Fill(std::uint8_t* buffer, int bytes) override;
  int getBitsPerSample() override { return m_bits; }
  int getChannelCount() override { return m_channels; }
  int getSampleRate() override { return m_rate; }
  double getLength() override;
  int getByteSize() override;
  std::unique_ptr<SoundChannel> openReader() const override;
  bool atEnd() const override { return m_atEnd; }

 private:
  VorbisChannel();
  // Opens the decoder on m_data; empty, or why the data is refused.
  std::string start();
  // ov_read until bytes arrive, passing over holes; 0 at the end of the
  // stream, negative on a decoding error.
  int decode(std::uint8_t* buffer, int bytes, int* section);
  // Up to `bytes` bytes in the channel's format; 0 at the end, negative on
  // a decoding error.
  int read(std::uint8_t* out, int bytes);
  // Frames in the channel's format made from the link being converted.
  int convert(std::uint8_t* out, int frames);
  bool converting() const { return m_linkChannels != 0; }
  void beginLink(int section, const std::uint8_t* bytes, int count);
  void resetConversion();

  static std::size_t readCallback(void* out, std::size_t elementSize, std::size_t count, void* self);
  static int seekCallback(void* self, std::int64_t offset, int whence);
  static int closeCallback(void* self);
  static long tellCallback(void* self);

  std::unique_ptr<OggVorbis_File> m_file;
  bool m_opened = false;
  // Shared with the readers opened on this source; never changed after load.
  std::shared_ptr<const std::vector<std::uint8_t>> m_data;
  int m_position = 0;
  int m_section = 0;
  int m_bits = 16;
  int m_rate = 0;
  int m_channels = 0;
  bool m_atEnd = false;

  // Conversion of a link whose format differs from the channel's: its
  // decoded frames not yet used up, the position of the next output frame
  // in them (in 1/m_rate input frames), and data of the following link
  // decoded before this one was used up.
  int m_linkSection = 0;
  int m_linkChannels = 0;  // 0 while not converting
  int m_linkRate = 0;
  bool m_linkEnded = false;
  std::vector<std::int16_t> m_linkFrames;
  std::uint64_t m_linkPhase = 0;
  std::vector<std::uint8_t> m_nextLink;
  int m_nextSection = 0;
};

// "ogg" or "wav" (any case) as the name's last three characters choose the
// decoder; anything else, a short name or a failed load gives null.
std::unique_ptr<SoundChannel> loadSoundChannel(File* prototype, const char* name);
