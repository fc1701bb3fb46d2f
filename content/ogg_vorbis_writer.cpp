#include "content/ogg_vorbis_writer.h"

#include <ogg/ogg.h>
#include <vorbis/vorbisenc.h>

#include <algorithm>

namespace {

// The encoder's state with its teardown in one place.
struct Encoder {
  vorbis_info info;
  vorbis_comment comment;
  vorbis_dsp_state dsp;
  vorbis_block block;
  ogg_stream_state stream;
  bool analysis = false;

  Encoder() {
    vorbis_info_init(&info);
    vorbis_comment_init(&comment);
  }
  ~Encoder() {
    if (analysis) {
      ogg_stream_clear(&stream);
      vorbis_block_clear(&block);
      vorbis_dsp_clear(&dsp);
    }
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
  }
};

void appendPage(std::vector<std::uint8_t>& out, const ogg_page& page) {
  out.insert(out.end(), page.header, page.header + page.header_len);
  out.insert(out.end(), page.body, page.body + page.body_len);
}

// Moves every finished packet of the encoder into pages.
void drain(Encoder& e, std::vector<std::uint8_t>& out) {
  ogg_packet packet;
  ogg_page page;
  while (vorbis_analysis_blockout(&e.dsp, &e.block) == 1) {
    vorbis_analysis(&e.block, nullptr);
    vorbis_bitrate_addblock(&e.block);
    while (vorbis_bitrate_flushpacket(&e.dsp, &packet)) {
      ogg_stream_packetin(&e.stream, &packet);
      while (ogg_stream_pageout(&e.stream, &page)) appendPage(out, page);
    }
  }
}

}  // namespace

std::vector<std::uint8_t> encodeOggVorbis(const std::vector<std::int16_t>& samples, int channels, int sampleRate,
                                          float quality, int serial) {
  if (channels < 1 || channels > 2 || sampleRate <= 0) return {};
  Encoder e;
  if (vorbis_encode_init_vbr(&e.info, channels, sampleRate, quality) != 0) return {};
  vorbis_comment_add_tag(&e.comment, "ENCODER", "tessaline");
  vorbis_analysis_init(&e.dsp, &e.info);
  vorbis_block_init(&e.dsp, &e.block);
  ogg_stream_init(&e.stream, serial);
  e.analysis = true;

  std::vector<std::uint8_t> out;
  ogg_packet header, comments, codebooks;
  vorbis_analysis_headerout(&e.dsp, &e.comment, &header, &comments, &codebooks);
  ogg_stream_packetin(&e.stream, &header);
  ogg_stream_packetin(&e.stream, &comments);
  ogg_stream_packetin(&e.stream, &codebooks);
  ogg_page page;
  while (ogg_stream_flush(&e.stream, &page)) appendPage(out, page);

  const std::size_t frames = samples.size() / channels;
  const std::size_t chunk = 4096;
  for (std::size_t start = 0; start < frames; start += chunk) {
    const std::size_t count = std::min(chunk, frames - start);
    float** buffer = vorbis_analysis_buffer(&e.dsp, static_cast<int>(count));
    for (std::size_t i = 0; i < count; ++i)
      for (int c = 0; c < channels; ++c) buffer[c][i] = samples[(start + i) * channels + c] / 32768.0f;
    vorbis_analysis_wrote(&e.dsp, static_cast<int>(count));
    drain(e, out);
  }
  vorbis_analysis_wrote(&e.dsp, 0);
  drain(e, out);
  while (ogg_stream_flush(&e.stream, &page)) appendPage(out, page);
  return out;
}
