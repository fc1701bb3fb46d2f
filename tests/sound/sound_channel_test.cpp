// WAVE and Ogg Vorbis sources read through the file layer, with bad input.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <numbers>

#include "content/ogg_vorbis_writer.h"
#include "content/wav_writer.h"
#include "sound/sound_channel.h"
#include "tests/support/memory_file.h"

namespace {

std::vector<std::int16_t> sine16(int frames, int channels, int rate, double hertz = 440.0) {
  std::vector<std::int16_t> samples;
  for (int i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      samples.push_back(
          static_cast<std::int16_t>(12000 * std::sin(2 * std::numbers::pi * hertz * i / rate) * (c + 1) / 2));
  return samples;
}

void setU32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::unique_ptr<SoundChannel> loadFrom(const std::vector<std::uint8_t>& bytes, const char* name = "s.wav") {
  MemoryFile files;
  files.put(name, bytes);
  return loadSoundChannel(&files, name);
}

}  // namespace

TEST(WaveChannel, LoadsEveryFormatAndSkipsChunksBeforeData) {
  for (int bits : {8, 16}) {
    for (int channels : {1, 2}) {
      WavDescription description;
      description.bitsPerSample = bits;
      description.channels = channels;
      description.sampleRate = 11025;
      description.extraChunks = {{"LIST", {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 2, 0, 0, 0, 'x', 0}}};
      std::vector<std::uint8_t> pcm(static_cast<std::size_t>(11025 * channels * bits / 8));
      for (std::size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<std::uint8_t>(i * 7);
      auto channel = loadFrom(writeWav(description, pcm));
      ASSERT_NE(channel, nullptr) << bits << " bits, " << channels << " channels";
      EXPECT_EQ(channel->getBitsPerSample(), bits);
      EXPECT_EQ(channel->getChannelCount(), channels);
      EXPECT_EQ(channel->getSampleRate(), 11025);
      EXPECT_EQ(channel->getByteSize(), static_cast<int>(pcm.size()));
      EXPECT_DOUBLE_EQ(channel->getLength(), 1.0);
      std::vector<std::uint8_t> read(pcm.size());
      EXPECT_EQ(channel->Fill(read.data(), static_cast<int>(read.size())), static_cast<int>(pcm.size()));
      EXPECT_EQ(read, pcm);
    }
  }
}

TEST(WaveChannel, FillStopsAtTheEndOrWrapsWhenLooping) {
  WavDescription description;
  std::vector<std::uint8_t> pcm(17384);
  for (std::size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<std::uint8_t>(i);
  auto channel = loadFrom(writeWav(description, pcm));
  ASSERT_NE(channel, nullptr);
  std::vector<std::uint8_t> buffer(16384);
  EXPECT_EQ(channel->Fill(buffer.data(), 16384), 16384);
  EXPECT_EQ(channel->Fill(buffer.data(), 16384), 1000);
  EXPECT_EQ(channel->Fill(buffer.data(), 16384), 0);

  channel->setLoop(true);
  channel->setReadPosition(17000);
  EXPECT_EQ(channel->Fill(buffer.data(), 1000), 1000);
  EXPECT_EQ(buffer[383], pcm[17383]);
  EXPECT_EQ(buffer[384], pcm[0]);  // went on from the start

  // Read positions outside the data are held to it.
  channel->setLoop(false);
  EXPECT_EQ(channel->setReadPosition(1 << 30), static_cast<int>(pcm.size()));
  EXPECT_EQ(channel->Fill(buffer.data(), 16), 0);
  EXPECT_EQ(channel->setReadPosition(-5), 0);
}

TEST(WaveChannel, RejectsFilesItCannotPlay) {
  WavDescription description;
  const std::vector<std::uint8_t> pcm(64, 1);
  const std::vector<std::uint8_t> good = writeWav(description, pcm);
  ASSERT_NE(loadFrom(good), nullptr);
  // Offsets: 8 "WAVE", 16 fmt length, 20 tag, 22 channels, 24 rate, 34 bits,
  // 36 "data", 40 data length.
  const auto broken = [&](auto change) {
    std::vector<std::uint8_t> bytes = good;
    change(bytes);
    return loadFrom(bytes);
  };
  EXPECT_EQ(broken([](auto& b) { b[8] = 'X'; }), nullptr);
  EXPECT_EQ(broken([](auto& b) { b[20] = 3; }), nullptr);          // float samples
  EXPECT_EQ(broken([](auto& b) { setU32(b, 16, 14); }), nullptr);  // short fmt chunk
  EXPECT_EQ(broken([](auto& b) { b[22] = 3; }), nullptr);          // three channels
  EXPECT_EQ(broken([](auto& b) { b[34] = 24; }), nullptr);         // 24-bit
  EXPECT_EQ(broken([](auto& b) { setU32(b, 24, 0); }), nullptr);   // rate 0
  EXPECT_EQ(broken([](auto& b) { b[36] = 'j'; }), nullptr);        // no data chunk at all
  EXPECT_EQ(broken([](auto& b) { b.resize(44); }), nullptr);       // empty data
  EXPECT_EQ(broken([](auto& b) { b.resize(30); }), nullptr);       // cut in the fmt chunk
  EXPECT_EQ(broken([](auto& b) { setU32(b, 16, 0xFFFFFFF0u); }), nullptr);
  EXPECT_EQ(broken([](auto& b) {
              b[36] = 'j';
              setU32(b, 40, 0x7FFFFFF0u);
            }),
            nullptr);

  // A data length beyond the file keeps the bytes that are there.
  auto clamped = broken([](auto& b) { setU32(b, 40, 100000); });
  ASSERT_NE(clamped, nullptr);
  EXPECT_EQ(clamped->getByteSize(), 64);

  MemoryFile files;
  EXPECT_EQ(WaveChannel::load(&files, "missing.wav"), nullptr);
  EXPECT_EQ(WaveChannel::load(nullptr, "missing.wav"), nullptr);
}

TEST(LoadSoundChannel, ChoosesByTheLastThreeCharacters) {
  MemoryFile files;
  const auto wav = writeWav(WavDescription{}, std::vector<std::uint8_t>(32, 0));
  const auto ogg = encodeOggVorbis(sine16(4000, 1, 22050), 1, 22050);
  for (const char* name : {"a.wav", "A.WAV", "engine.Wav"}) files.put(name, wav);
  for (const char* name : {"b.ogg", "B.OGG", "x.ogg.bak", "y.wave", "wa"}) files.put(name, ogg);
  for (const char* name : {"a.wav", "A.WAV", "engine.Wav"})
    EXPECT_NE(dynamic_cast<WaveChannel*>(loadSoundChannel(&files, name).get()), nullptr) << name;
  for (const char* name : {"b.ogg", "B.OGG"})
    EXPECT_NE(dynamic_cast<VorbisChannel*>(loadSoundChannel(&files, name).get()), nullptr) << name;
  for (const char* name : {"x.ogg.bak", "y.wave", "wa"}) EXPECT_EQ(loadSoundChannel(&files, name), nullptr) << name;
  EXPECT_EQ(loadSoundChannel(&files, nullptr), nullptr);
  // The extension decides, not the content.
  files.put("wrong.ogg", wav);
  EXPECT_EQ(loadSoundChannel(&files, "wrong.ogg"), nullptr);
}

TEST(VorbisChannel, DecodesFromMemoryWithExactLengthSilenceAndLooping) {
  const int rate = 22050;
  const int frames = 11025;
  const auto samples = sine16(frames, 2, rate);
  const auto ogg = encodeOggVorbis(samples, 2, rate);
  ASSERT_FALSE(ogg.empty());
  auto channel = loadFrom(ogg, "music.ogg");
  ASSERT_NE(channel, nullptr);
  EXPECT_EQ(channel->getChannelCount(), 2);
  EXPECT_EQ(channel->getSampleRate(), rate);
  EXPECT_EQ(channel->getBitsPerSample(), 16);
  EXPECT_EQ(channel->getByteSize(), frames * 2 * 2);
  EXPECT_NEAR(channel->getLength(), 0.5, 1e-9);

  std::vector<std::uint8_t> all;
  std::vector<std::uint8_t> piece(4096);
  while (static_cast<int>(all.size()) < channel->getByteSize()) {
    const int n = channel->Fill(piece.data(), 4096);
    ASSERT_GT(n, 0);
    all.insert(all.end(), piece.begin(), piece.begin() + n);
  }
  ASSERT_EQ(static_cast<int>(all.size()), channel->getByteSize());
  // Lossy, but close to what went in.
  double error = 0.0;
  for (int i = 1000; i < 2000; ++i)
    error += std::abs(static_cast<std::int16_t>(all[2 * i] | (all[2 * i + 1] << 8)) - samples[i]);
  EXPECT_LT(error / 1000, 600.0);

  // The end: silence for the full request.
  std::fill(piece.begin(), piece.end(), 0xAA);
  EXPECT_EQ(channel->Fill(piece.data(), 4096), 4096);
  EXPECT_TRUE(std::all_of(piece.begin(), piece.end(), [](std::uint8_t b) { return b == 0; }));

  // Looping seeks back to the start.
  channel->setLoop(true);
  const int n = channel->Fill(piece.data(), 64);
  ASSERT_GT(n, 0);
  EXPECT_TRUE(std::equal(piece.begin(), piece.begin() + n, all.begin()));
}

TEST(VorbisChannel, DamagedPagesNeverYieldNegativeLengths) {
  // Noise keeps the stream long enough for a damaged page in the middle to
  // leave a hole behind the intact headers.
  std::vector<std::int16_t> noise(66150);
  unsigned state = 1;
  for (auto& sample : noise) {
    state = state * 1103515245u + 12345u;
    sample = static_cast<std::int16_t>(static_cast<int>((state >> 16) & 0x3FFF) - 8192);
  }
  auto ogg = encodeOggVorbis(noise, 1, 22050);
  for (std::size_t i = ogg.size() * 6 / 10; i < ogg.size() * 6 / 10 + 40; ++i) ogg[i] ^= 0x5A;
  auto channel = loadFrom(ogg, "damaged.ogg");
  ASSERT_NE(channel, nullptr);
  std::vector<std::uint8_t> piece(4096);
  int decoded = 0;
  for (int i = 0; i < 1000; ++i) {
    const int n = channel->Fill(piece.data(), 4096);
    ASSERT_GT(n, 0) << "piece " << i;
    ASSERT_LE(n, 4096);
    if (std::all_of(piece.begin(), piece.begin() + n, [](std::uint8_t b) { return b == 0; })) break;
    decoded += n;
  }
  EXPECT_GT(decoded, channel->getByteSize() * 3 / 4);  // a page is lost, the rest decodes
}

TEST(VorbisChannel, RejectsDataThatIsNotVorbis) {
  EXPECT_EQ(loadFrom(std::vector<std::uint8_t>(1000, 0x4F), "noise.ogg"), nullptr);
  auto ogg = encodeOggVorbis(sine16(4000, 1, 22050), 1, 22050);
  ogg.resize(100);  // cut inside the headers
  EXPECT_EQ(loadFrom(ogg, "cut.ogg"), nullptr);
  EXPECT_EQ(loadFrom({}, "empty.ogg"), nullptr);
}
