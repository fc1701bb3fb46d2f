// The header fetch and the link walk of vorbisfile's opening, step for step,
// on bytes in memory.
#include "sound/vorbis_opening_check.h"

#include <ogg/ogg.h>
#include <vorbis/codec.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// vorbisfile reads this much at a time.
constexpr std::int64_t kReadSize = 2048;
// It gives up looking for the next header page after this many bytes, and
// steps back through the data by as many when it looks for the last page.
constexpr std::int64_t kChunk = 65536;
// Searching the links reads some bytes more than once; past this many bytes
// read in all the file is refused rather than followed.
constexpr std::int64_t kReadBudgetPerByte = 32;
constexpr std::int64_t kReadBudgetBase = 8 << 20;

// The bytes as vorbisfile reads them: a position, the bytes buffered past
// it, and what it has read so far.
class PageReader {
 public:
  PageReader(const std::uint8_t* data, std::size_t size)
      : m_data(data),
        m_size(static_cast<std::int64_t>(size)),
        m_budget(kReadBudgetBase + kReadBudgetPerByte * static_cast<std::int64_t>(size)) {
    ogg_sync_init(&m_sync);
  }
  ~PageReader() { ogg_sync_clear(&m_sync); }
  PageReader(const PageReader&) = delete;
  PageReader& operator=(const PageReader&) = delete;

  std::int64_t size() const { return m_size; }
  std::int64_t offset() const { return m_offset; }
  bool overBudget() const { return m_read > m_budget; }

  // Like vorbisfile, keeps what is buffered when already there.
  void seek(std::int64_t to) {
    if (to == m_offset) return;
    m_offset = to;
    m_fed = to;
    ogg_sync_reset(&m_sync);
  }

  // The offset of the next page, or -1 when none starts within `limit`
  // bytes of the position (no limit when negative) or the bytes end.
  std::int64_t next(ogg_page& page, std::int64_t limit) {
    const std::int64_t boundary = limit < 0 ? -1 : m_offset + limit;
    for (;;) {
      if (boundary >= 0 && m_offset >= boundary) return -1;
      const long more = ogg_sync_pageseek(&m_sync, &page);
      if (more < 0) {
        m_offset -= more;
      } else if (more > 0) {
        const std::int64_t at = m_offset;
        m_offset += more;
        return at;
      } else if (!feed()) {
        return -1;
      }
    }
  }

 private:
  bool feed() {
    if (m_fed >= m_size || overBudget()) return false;
    const std::int64_t piece = std::min(m_size - m_fed, kReadSize);
    char* buffer = ogg_sync_buffer(&m_sync, static_cast<long>(piece));
    if (!buffer) return false;
    std::memcpy(buffer, m_data + m_fed, static_cast<std::size_t>(piece));
    ogg_sync_wrote(&m_sync, static_cast<long>(piece));
    m_fed += piece;
    m_read += piece;
    return true;
  }

  ogg_sync_state m_sync;
  const std::uint8_t* m_data;
  std::int64_t m_size;
  std::int64_t m_budget;
  std::int64_t m_fed = 0;     // the bytes before this are buffered or passed
  std::int64_t m_offset = 0;  // of the next byte a page search looks at
  std::int64_t m_read = 0;
};

// The decoder's header state for one link.
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

using Serials = std::vector<int>;

bool contains(const Serials& serials, int serial) {
  return std::find(serials.begin(), serials.end(), serial) != serials.end();
}

// The pages that begin the link at the position (their serials go to
// `serials`), the first of those streams that starts with an identification
// header, then its comment and setup headers. Empty when all are there.
std::string fetchHeaders(PageReader& pages, Headers& h, Serials& serials) {
  ogg_page page;
  if (pages.next(page, kChunk) < 0) return "not Ogg Vorbis data";
  bool streamSet = false;
  ogg_packet packet;
  while (ogg_page_bos(&page)) {
    const int serial = ogg_page_serialno(&page);
    if (contains(serials, serial)) return "two streams begin with one serial number";
    serials.push_back(serial);
    if (!streamSet) {
      ogg_stream_reset_serialno(&h.stream, serial);
      ogg_stream_pagein(&h.stream, &page);
      if (ogg_stream_packetout(&h.stream, &packet) > 0 && vorbis_synthesis_idheader(&packet)) {
        streamSet = true;
        if (vorbis_synthesis_headerin(&h.info, &h.comment, &packet) != 0) return "damaged identification header";
      }
    }
    if (pages.next(page, kChunk) < 0) return "the data ends in the first pages";
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
      if (pages.next(page, kChunk) < 0) return "the data ends before the headers do";
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

// The last page that starts before `end`, found by stepping back a chunk at
// a time: the last one of stream `serial` when no page of another link
// follows it in its chunk; otherwise the last page, whose serial `serial`
// then becomes. -1 when no page starts before `end` (vorbisfile would search
// the start of the data again and again) or the reading is over budget.
std::int64_t previousPage(PageReader& pages, std::int64_t end, const Serials& serials, int& serial) {
  std::int64_t begin = end;
  std::int64_t found = -1;
  std::int64_t preferred = -1;
  int foundSerial = 0;
  ogg_page page;
  while (found < 0) {
    if (begin == 0 || pages.overBudget()) return -1;
    begin = std::max<std::int64_t>(begin - kChunk, 0);
    pages.seek(begin);
    while (pages.offset() < end) {
      const std::int64_t at = pages.next(page, end - pages.offset());
      if (at < 0) break;
      found = at;
      foundSerial = ogg_page_serialno(&page);
      if (foundSerial == serial) preferred = at;
      if (!contains(serials, foundSerial)) preferred = -1;
    }
  }
  if (preferred >= 0) return preferred;
  serial = foundSerial;
  return found;
}

// Steps back from `from`, a page of stream `found`, to the last page of
// stream `serial`, as vorbisfile does to learn where a link's sound ends.
// False when it cannot.
bool findLastPageOf(PageReader& pages, std::int64_t from, int found, const Serials& serials, int serial) {
  while (found != serial) {
    found = serial;
    from = previousPage(pages, from, serials, found);
    if (from < 0) return false;
  }
  return true;
}

// The pages up to the first that states a granule position, which
// vorbisfile reads to learn where a link's sound starts.
void passFirstGranule(PageReader& pages, int serial) {
  ogg_page page;
  while (pages.next(page, -1) >= 0) {
    if (ogg_page_bos(&page)) return;
    if (ogg_page_serialno(&page) != serial) continue;
    if (ogg_page_granulepos(&page) != -1) return;
  }
}

// Where a link that began before `searched` ends: the first page past it
// whose stream is not the link's, found by halving the span up to `end`
// while it is larger than a chunk.
std::int64_t linkEnd(PageReader& pages, std::int64_t searched, std::int64_t end, const Serials& serials) {
  std::int64_t endSearched = end;
  std::int64_t next = end;
  ogg_page page;
  while (searched < endSearched && !pages.overBudget()) {
    const std::int64_t bisect = endSearched - searched < kChunk ? searched : (searched + endSearched) / 2;
    pages.seek(bisect);
    const std::int64_t at = pages.next(page, -1);
    if (at < 0 || !contains(serials, ogg_page_serialno(&page))) {
      endSearched = bisect;
      if (at >= 0) next = at;
    } else {
      searched = pages.offset();
    }
  }
  return next;
}

// Every link after the first, opened as vorbisfile opens a file it can seek
// in: the last page of the data tells whether there is another link; if so,
// its start is searched for and its headers fetched, and so on.
std::string checkLaterLinks(PageReader& pages, Serials serials, int serial) {
  static const std::string kLost = "the links cannot be located";
  static const std::string kTooLong = "the links take too long to search";
  std::int64_t searched = pages.offset();
  pages.seek(pages.size());
  int endSerial = serial;
  const std::int64_t end = previousPage(pages, pages.size(), serials, endSerial);
  if (end < 0) return pages.overBudget() ? kTooLong : kLost;
  std::int64_t previous = -1;
  for (int link = 2; !contains(serials, endSerial); ++link) {
    const std::int64_t next = linkEnd(pages, searched, end, serials);
    if (pages.overBudget()) return kTooLong;
    if (next <= previous || !findLastPageOf(pages, next, serial + 1, serials, serial))
      return pages.overBudget() ? kTooLong : kLost;
    pages.seek(next);
    Headers h;
    serials.clear();
    const std::string why = fetchHeaders(pages, h, serials);
    if (pages.overBudget()) return kTooLong;
    if (!why.empty()) return "link " + std::to_string(link) + " at byte " + std::to_string(next) + ": " + why;
    serial = h.stream.serialno;
    passFirstGranule(pages, serial);
    searched = pages.offset();
    previous = next;
  }
  if (!findLastPageOf(pages, end, endSerial, serials, serial)) return pages.overBudget() ? kTooLong : kLost;
  return {};
}

}  // namespace

std::string checkVorbisOpening(const std::uint8_t* data, std::size_t size) {
  PageReader pages(data, size);
  Headers h;
  Serials serials;
  const std::string why = fetchHeaders(pages, h, serials);
  if (!why.empty()) return why;
  return checkLaterLinks(pages, serials, h.stream.serialno);
}
