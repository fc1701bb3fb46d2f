// The header fetch of vorbisfile's opening, step for step, on bytes in
// memory.
#include "sound/vorbis_opening_check.h"

#include <ogg/ogg.h>
#include <vorbis/codec.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// vorbisfile gives up looking for the next page after this many bytes.
constexpr std::size_t kPageSearchLimit = 65536;

// Hands out the pages of the bytes as vorbisfile finds them.
class PageSource {
 public:
  PageSource(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) { ogg_sync_init(&m_sync); }
  ~PageSource() { ogg_sync_clear(&m_sync); }
  PageSource(const PageSource&) = delete;
  PageSource& operator=(const PageSource&) = delete;

  // False when no page starts within the search limit or the bytes end.
  bool next(ogg_page& page) {
    const std::size_t limit = m_offset + kPageSearchLimit;
    while (m_offset < limit) {
      const long more = ogg_sync_pageseek(&m_sync, &page);
      if (more < 0) {
        m_offset += static_cast<std::size_t>(-more);
      } else if (more > 0) {
        m_offset += static_cast<std::size_t>(more);
        return true;
      } else {
        if (m_fed == m_size) return false;
        const std::size_t piece = std::min<std::size_t>(m_size - m_fed, 1 << 16);
        char* buffer = ogg_sync_buffer(&m_sync, static_cast<long>(piece));
        if (!buffer) return false;
        std::memcpy(buffer, m_data + m_fed, piece);
        ogg_sync_wrote(&m_sync, static_cast<long>(piece));
        m_fed += piece;
      }
    }
    return false;
  }

 private:
  ogg_sync_state m_sync;
  const std::uint8_t* m_data;
  std::size_t m_size;
  std::size_t m_fed = 0;
  std::size_t m_offset = 0;  // of the next byte a page search looks at
};

// The decoder's header state for one attempt.
struct Headers {
  Headers() {
    vorbis_info_init(&info);
    vorbis_comment_init(&comment);
    ogg_stream_init(&stream, 0);
  }
  ~Headers() {
    ogg_stream_clear(&stream);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
  }
  Headers(const Headers&) = delete;
  Headers& operator=(const Headers&) = delete;

  vorbis_info info;
  vorbis_comment comment;
  ogg_stream_state stream;
};

}  // namespace

std::string checkVorbisOpening(const std::uint8_t* data, std::size_t size) {
  PageSource pages(data, size);
  ogg_page page;
  if (!pages.next(page)) return "not Ogg Vorbis data";
  Headers h;
  std::vector<int> serials;
  bool streamSet = false;
  ogg_packet packet;
  while (ogg_page_bos(&page)) {
    const int serial = ogg_page_serialno(&page);
    if (std::find(serials.begin(), serials.end(), serial) != serials.end())
      return "two streams begin with one serial number";
    serials.push_back(serial);
    if (!streamSet) {
      ogg_stream_reset_serialno(&h.stream, serial);
      ogg_stream_pagein(&h.stream, &page);
      if (ogg_stream_packetout(&h.stream, &packet) > 0 && vorbis_synthesis_idheader(&packet)) {
        streamSet = true;
        if (vorbis_synthesis_headerin(&h.info, &h.comment, &packet) != 0) return "damaged identification header";
      }
    }
    if (!pages.next(page)) return "the data ends in the first pages";
    if (streamSet && h.stream.serialno == ogg_page_serialno(&page)) {
      ogg_stream_pagein(&h.stream, &page);
      break;
    }
  }
  if (!streamSet) return "not Ogg Vorbis data";

  // The comment and setup headers, on the pages of that stream.
  bool allBegin = false;
  int headers = 0;
  while (headers < 2) {
    while (headers < 2) {
      const int result = ogg_stream_packetout(&h.stream, &packet);
      if (result == 0) break;
      if (result < 0) return "a gap in the headers";
      if (vorbis_synthesis_headerin(&h.info, &h.comment, &packet) != 0)
        return headers == 0 ? "damaged comment header" : "damaged setup header";
      ++headers;
    }
    while (headers < 2) {
      if (!pages.next(page)) return "the data ends before the headers do";
      if (h.stream.serialno == ogg_page_serialno(&page)) {
        ogg_stream_pagein(&h.stream, &page);
        break;
      }
      // A second page that begins a stream: the link ended without them.
      if (ogg_page_bos(&page)) {
        if (allBegin) return "the link ends before the headers do";
        allBegin = true;
      }
    }
  }
  return {};
}
