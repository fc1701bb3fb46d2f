// WAVE and Ogg Vorbis sources read through the file layer, with bad input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

#include <ogg/ogg.h>

#include "content/ogg_vorbis_writer.h"
#include "content/wav_writer.h"
#include "foundation/profiler.h"
#include "sound/sound_channel.h"
#include "tests/support/memory_file.h"
#include "tests/support/report_capture.h"

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
  // Rates are ints in the buffers, which play up to 200000 Hz.
  EXPECT_EQ(broken([](auto& b) { setU32(b, 24, 0x90000000u); }), nullptr);
  EXPECT_EQ(broken([](auto& b) { setU32(b, 24, 200001); }), nullptr);
  ASSERT_NE(broken([](auto& b) { setU32(b, 24, 200000); }), nullptr);
  EXPECT_EQ(broken([](auto& b) { setU32(b, 24, 200000); })->getSampleRate(), 200000);
  EXPECT_EQ(broken([](auto& b) { b[36] = 'j'; }), nullptr);   // no data chunk at all
  EXPECT_EQ(broken([](auto& b) { b.resize(44); }), nullptr);  // empty data
  EXPECT_EQ(broken([](auto& b) { b.resize(30); }), nullptr);  // cut in the fmt chunk
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

TEST(WaveChannel, OddChunksArePaddedAndChunksBeforeTheFormatAreSkipped) {
  // Written out by hand: an odd "JUNK" chunk and its pad byte before "fmt ",
  // an odd "LIST" chunk and its pad before "data".
  const std::vector<std::uint8_t> padded = {'R', 'I', 'F',  'F',  66, 0, 0, 0, 'W', 'A', 'V', 'E',  //
                                            'J', 'U', 'N',  'K',  3,  0, 0, 0, 'a', 'b', 'c', 0,    //
                                            'f', 'm', 't',  ' ',  16, 0, 0, 0, 1,   0,   1,   0,   0x44, 0xAC,
                                            0,   0,   0x88, 0x58,                                            //
                                            1,   0,   2,    0,    16, 0,                                     //
                                            'L', 'I', 'S',  'T',  5,  0, 0, 0, 'I', 'N', 'F', 'O', 'x',  0,  //
                                            'd', 'a', 't',  'a',  4,  0, 0, 0, 1,   0,   2,   0};
  const std::vector<std::uint8_t> unpadded = [&] {  // as older writers left them
    std::vector<std::uint8_t> bytes = padded;
    bytes.erase(bytes.begin() + 61);
    bytes.erase(bytes.begin() + 23);
    return bytes;
  }();
  for (const std::vector<std::uint8_t>* bytes : {&padded, &unpadded}) {
    auto channel = loadFrom(*bytes);
    ASSERT_NE(channel, nullptr) << (bytes == &padded ? "padded" : "unpadded");
    EXPECT_EQ(channel->getSampleRate(), 44100);
    EXPECT_EQ(channel->getChannelCount(), 1);
    std::uint8_t pcm[8] = {};
    EXPECT_EQ(channel->Fill(pcm, 8), 4);
    EXPECT_EQ(pcm[0], 1);
    EXPECT_EQ(pcm[2], 2);
  }

  // The writer pads odd chunks too, and counts the pads in the RIFF length.
  WavDescription description;
  description.bitsPerSample = 8;
  description.sampleRate = 8000;
  description.extraChunks = {{"LIST", {'a', 'b', 'c'}}};
  const std::vector<std::uint8_t> expected = {'R',  'I',  'F', 'F', 52,   0,    0, 0, 'W',  'A',  'V',  'E',  //
                                              'f',  'm',  't', ' ', 16,   0,    0, 0, 1,    0,    1,    0,
                                              0x40, 0x1F, 0,   0,   0x40, 0x1F, 0, 0, 1,    0,    8,    0,  //
                                              'L',  'I',  'S', 'T', 3,    0,    0, 0, 'a',  'b',  'c',  0,  //
                                              'd',  'a',  't', 'a', 3,    0,    0, 0, 0x80, 0x81, 0x82, 0};
  EXPECT_EQ(writeWav(description, {0x80, 0x81, 0x82}), expected);
}

class SoundLoaderReports : public ReportCapture {};

TEST_F(SoundLoaderReports, RefusedFilesSayWhy) {
  const std::vector<std::uint8_t> good = writeWav(WavDescription{}, std::vector<std::uint8_t>(64, 1));
  std::vector<std::uint8_t> floats = good;
  floats[20] = 3;
  EXPECT_EQ(loadFrom(floats, "float.wav"), nullptr);
  EXPECT_NE(takeMessage().find("\"float.wav\" refused: format tag 3 is not PCM"), std::string::npos);
  std::vector<std::uint8_t> noData = good;
  noData[36] = 'j';
  EXPECT_EQ(loadFrom(noData, "nodata.wav"), nullptr);
  EXPECT_NE(takeMessage().find("no \"data\" chunk"), std::string::npos);
  EXPECT_EQ(loadFrom(std::vector<std::uint8_t>(1000, 0x4F), "noise.ogg"), nullptr);
  EXPECT_NE(takeMessage().find("\"noise.ogg\" refused"), std::string::npos);
  EXPECT_EQ(loadFrom(good, "music.mp3"), nullptr);
  EXPECT_NE(takeMessage().find("\"music.mp3\" refused"), std::string::npos);
  ASSERT_NE(loadFrom(good), nullptr);
  EXPECT_EQ(takeMessage(), "");
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

TEST(VorbisChannel, ChainedLinksAreConvertedToTheFirstLinksFormat) {
  // Half a second of mono at 22050 Hz, then half a second of a stereo
  // 882 Hz tone at 44100 Hz (each link with its own serial number).
  auto chained = encodeOggVorbis(sine16(11025, 1, 22050), 1, 22050, 0.4f, 1);
  const auto second = encodeOggVorbis(sine16(22050, 2, 44100, 882.0), 2, 44100, 0.4f, 2);
  chained.insert(chained.end(), second.begin(), second.end());
  auto channel = loadFrom(chained, "chain.ogg");
  ASSERT_NE(channel, nullptr);
  EXPECT_EQ(channel->getChannelCount(), 1);
  EXPECT_EQ(channel->getSampleRate(), 22050);
  EXPECT_EQ(channel->getByteSize(), (11025 + 11025) * 2);
  EXPECT_NEAR(channel->getLength(), 1.0, 1e-9);

  std::vector<std::uint8_t> all;
  std::vector<std::uint8_t> piece(3000);
  while (static_cast<int>(all.size()) < channel->getByteSize()) {
    const int n = channel->Fill(piece.data(), static_cast<int>(piece.size()));
    ASSERT_GT(n, 0);
    ASSERT_FALSE(channel->atEnd());
    all.insert(all.end(), piece.begin(), piece.begin() + n);
  }
  EXPECT_EQ(static_cast<int>(all.size()), channel->getByteSize());
  channel->Fill(piece.data(), 64);
  EXPECT_TRUE(channel->atEnd());

  // The second link keeps its pitch: 882 Hz crosses zero 1764 times a
  // second, counted over 0.4 s of it.
  const auto sample = [&](int frame) { return static_cast<std::int16_t>(all[2 * frame] | (all[2 * frame + 1] << 8)); };
  int crossings = 0;
  for (int i = 11025 + 1000; i < 11025 + 1000 + 8820; ++i) crossings += (sample(i) < 0) != (sample(i + 1) < 0);
  EXPECT_NEAR(crossings, 706, 10);

  // A reader on the same data starts again from the beginning.
  auto reader = channel->openReader();
  ASSERT_NE(reader, nullptr);
  std::vector<std::uint8_t> again(4096);
  int got = 0;
  while (got < 4096) {
    const int n = reader->Fill(again.data() + got, 4096 - got);
    ASSERT_GT(n, 0);
    got += n;
  }
  EXPECT_TRUE(std::equal(again.begin(), again.end(), all.begin()));
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

// The identification header stores the rate in 32 bits; one past the int
// range would come out of getSampleRate negative.
TEST_F(SoundLoaderReports, VorbisRatesAboveWhatBuffersPlayAreRefused) {
  const auto withRate = [](std::uint32_t rate) {
    auto ogg = encodeOggVorbis(sine16(4000, 1, 22050), 1, 22050);
    // First page: 27 header bytes and one lacing value (30) for the 30-byte
    // identification packet: 1, "vorbis", version (4), channels (1), rate.
    EXPECT_EQ(ogg[26], 1);
    EXPECT_EQ(ogg[27], 30);
    setU32(ogg, 28 + 12, rate);
    ogg_page first{ogg.data(), 28, ogg.data() + 28, 30};
    ogg_page_checksum_set(&first);
    return ogg;
  };
  EXPECT_EQ(loadFrom(withRate(0x90000000u), "high.ogg"), nullptr);
  EXPECT_NE(takeMessage().find("\"high.ogg\" refused: sample rate 2415919104 above 200000"), std::string::npos);
  EXPECT_EQ(loadFrom(withRate(200001), "high.ogg"), nullptr);
  auto top = loadFrom(withRate(200000), "top.ogg");
  ASSERT_NE(top, nullptr);
  EXPECT_EQ(top->getSampleRate(), 200000);
}

TEST(VorbisChannel, RejectsCutOrEmptyStreams) {
  auto ogg = encodeOggVorbis(sine16(4000, 1, 22050), 1, 22050);
  ogg.resize(100);  // cut inside the headers
  EXPECT_EQ(loadFrom(ogg, "cut.ogg"), nullptr);
  EXPECT_EQ(loadFrom({}, "empty.ogg"), nullptr);
}

TEST(VorbisChannel, EachFillIsProfiled) {
  auto channel = loadFrom(encodeOggVorbis(sine16(4410, 1, 22050), 1, 22050), "music.ogg");
  ASSERT_NE(channel, nullptr);
  clearProfileCounters();
  registerGameProfileCounters();
  std::vector<std::uint8_t> piece(512);
  for (int i = 0; i < 5; ++i) channel->Fill(piece.data(), static_cast<int>(piece.size()));
  EXPECT_EQ(profileCounter(static_cast<int>(GameCounter::kVorbisChannelFill)).executions, 5u);
  clearProfileCounters();
}
