#include "content/ogg_vorbis_writer.h"

#include <ogg/ogg.h>
#include <vorbis/vorbisenc.h>

#include <algorithm>

#include "sound/vorbis_setup_check.h"

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

namespace {

// Header, lacing values and body of the page at `at`; 0 when it does not fit.
std::size_t pageLength(const std::vector<std::uint8_t>& ogg, std::size_t at) {
  if (at + 27 > ogg.size() || ogg[at + 26] == 0 || at + 27 + ogg[at + 26] > ogg.size()) return 0;
  std::size_t length = 27 + ogg[at + 26];
  for (std::size_t i = 0; i < ogg[at + 26]; ++i) length += ogg[at + 27 + i];
  return at + length <= ogg.size() ? length : 0;
}

}  // namespace

VorbisSetupPlace findVorbisSetup(const std::vector<std::uint8_t>& ogg) {
  const std::size_t page = pageLength(ogg, 0);
  if (page == 0 || pageLength(ogg, page) == 0) return {};
  // Lacing values: the comment packet's, then the setup packet's, each
  // ending with a value below 255.
  const std::size_t segments = ogg[page + 26];
  std::size_t packet = page + 27 + segments, size = 0, i = 0;
  for (bool comment = true; i < segments; ++i) {
    const std::uint8_t lacing = ogg[page + 27 + i];
    (comment ? packet : size) += lacing;
    if (lacing < 255 && !comment) return {page, packet, size};
    if (lacing < 255) comment = false;
  }
  return {};
}

std::vector<std::uint8_t> withResidueClassbookOfDimensionZero(std::vector<std::uint8_t> ogg) {
  const VorbisSetupPlace place = findVorbisSetup(ogg);
  VorbisSetupLayout layout;
  if (place.size == 0 || !readVorbisSetup(&ogg[place.packet], place.size, &layout).empty()) return {};
  // The 16 dimension bits follow the 24-bit sync pattern, least significant
  // bit first.
  const std::size_t first = place.packet * 8 + layout.codebooks[layout.residues[0].classbook].bitOffset + 24;
  for (std::size_t bit = first; bit < first + 16; ++bit) ogg[bit / 8] &= static_cast<std::uint8_t>(~(1u << bit % 8));
  const std::size_t header = 27 + ogg[place.page + 26];
  const std::size_t body = pageLength(ogg, place.page) - header;
  ogg_page page{&ogg[place.page], static_cast<long>(header), &ogg[place.page + header], static_cast<long>(body)};
  ogg_page_checksum_set(&page);
  return ogg;
}
