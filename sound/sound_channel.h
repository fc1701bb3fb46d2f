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
  int getByteSize() override { return static_cast<int>(m_data.size()); }

  const WaveFormat& format() const { return m_format; }

 private:
  WaveChannel() = default;
  bool read(File& file);

  WaveFormat m_format;
  std::vector<std::uint8_t> m_data;
};

// An Ogg Vorbis file held in memory, decoded on request to 16-bit
// little-endian signed PCM.
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

 private:
  VorbisChannel();
  // ov_read until bytes arrive, passing over holes; 0 at the end of the
  // stream, negative on a decoding error.
  int decode(std::uint8_t* buffer, int bytes);

  static std::size_t readCallback(void* out, std::size_t elementSize, std::size_t count, void* self);
  static int seekCallback(void* self, std::int64_t offset, int whence);
  static int closeCallback(void* self);
  static long tellCallback(void* self);

  std::unique_ptr<OggVorbis_File> m_file;
  bool m_opened = false;
  std::vector<std::uint8_t> m_data;
  int m_position = 0;
  int m_section = 0;
  int m_bits = 16;
  int m_rate = 0;
  int m_channels = 0;
};

// "ogg" or "wav" (any case) as the name's last three characters choose the
// decoder; anything else, a short name or a failed load gives null.
std::unique_ptr<SoundChannel> loadSoundChannel(File* prototype, const char* name);
