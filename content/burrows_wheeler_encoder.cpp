#include "content/burrows_wheeler_encoder.h"

#include <cstring>
#include <stdexcept>

namespace {

// SA-IS (Nong, Zhang and Chan): sorts the suffixes of s[0..n) whose last
// symbol s[n-1] is a unique smallest sentinel 0, over symbols 0..k-1. Linear
// time; the reduced problem reuses `sa` as its work space.
template <typename Symbol>
class SuffixSorter {
 public:
  SuffixSorter(const Symbol* s, std::int32_t* sa, std::int32_t n, std::int32_t k)
      : m_s(s), m_sa(sa), m_n(n), m_sType(n), m_buckets(k) {}

  void run() {
    const std::int32_t n = m_n;
    if (n == 1) {
      m_sa[0] = 0;
      return;
    }
    classify();

    // Sort the LMS substrings by inducing from their unsorted positions.
    bucketEnds();
    std::fill(m_sa, m_sa + n, -1);
    for (std::int32_t i = 1; i < n; ++i)
      if (isLms(i)) m_sa[--m_buckets[m_s[i]]] = i;
    induceLType();
    induceSType();

    // Gather the sorted LMS positions at the front and name each substring.
    std::int32_t lmsCount = 0;
    for (std::int32_t i = 0; i < n; ++i)
      if (isLms(m_sa[i])) m_sa[lmsCount++] = m_sa[i];
    std::fill(m_sa + lmsCount, m_sa + n, -1);
    std::int32_t names = 0;
    std::int32_t previous = -1;
    for (std::int32_t i = 0; i < lmsCount; ++i) {
      const std::int32_t position = m_sa[i];
      if (previous < 0 || !sameLmsSubstring(previous, position)) {
        ++names;
        previous = position;
      }
      // Two LMS positions are at least two apart, so position / 2 is unique.
      m_sa[lmsCount + position / 2] = names - 1;
    }
    for (std::int32_t i = n - 1, j = n - 1; i >= lmsCount; --i)
      if (m_sa[i] >= 0) m_sa[j--] = m_sa[i];

    // Sort the reduced string, recursively while its names repeat.
    std::int32_t* reduced = m_sa + n - lmsCount;
    if (names < lmsCount) {
      SuffixSorter<std::int32_t>(reduced, m_sa, lmsCount, names).run();
    } else {
      for (std::int32_t i = 0; i < lmsCount; ++i) m_sa[reduced[i]] = i;
    }

    // Place the LMS suffixes in their final order and induce the rest.
    for (std::int32_t i = 1, j = 0; i < n; ++i)
      if (isLms(i)) reduced[j++] = i;
    for (std::int32_t i = 0; i < lmsCount; ++i) m_sa[i] = reduced[m_sa[i]];
    std::fill(m_sa + lmsCount, m_sa + n, -1);
    bucketEnds();
    for (std::int32_t i = lmsCount - 1; i >= 0; --i) {
      const std::int32_t j = m_sa[i];
      m_sa[i] = -1;
      m_sa[--m_buckets[m_s[j]]] = j;
    }
    induceLType();
    induceSType();
  }

 private:
  void classify() {
    const std::int32_t n = m_n;
    m_sType[n - 1] = 1;
    m_sType[n - 2] = 0;
    for (std::int32_t i = n - 3; i >= 0; --i)
      m_sType[i] = m_s[i] < m_s[i + 1] || (m_s[i] == m_s[i + 1] && m_sType[i + 1]);
  }
  bool isLms(std::int32_t i) const { return i > 0 && m_sType[i] && !m_sType[i - 1]; }

  void countBuckets() {
    std::fill(m_buckets.begin(), m_buckets.end(), 0);
    for (std::int32_t i = 0; i < m_n; ++i) ++m_buckets[m_s[i]];
  }
  void bucketStarts() {
    countBuckets();
    std::int32_t sum = 0;
    for (std::int32_t& b : m_buckets) {
      const std::int32_t count = b;
      b = sum;
      sum += count;
    }
  }
  void bucketEnds() {
    countBuckets();
    std::int32_t sum = 0;
    for (std::int32_t& b : m_buckets) b = sum += b;
  }
  void induceLType() {
    bucketStarts();
    for (std::int32_t i = 0; i < m_n; ++i) {
      const std::int32_t j = m_sa[i] - 1;
      if (m_sa[i] > 0 && !m_sType[j]) m_sa[m_buckets[m_s[j]]++] = j;
    }
  }
  void induceSType() {
    bucketEnds();
    for (std::int32_t i = m_n - 1; i >= 0; --i) {
      const std::int32_t j = m_sa[i] - 1;
      if (m_sa[i] > 0 && m_sType[j]) m_sa[--m_buckets[m_s[j]]] = j;
    }
  }
  // LMS substrings run from one LMS position to the next, inclusive.
  bool sameLmsSubstring(std::int32_t a, std::int32_t b) const {
    for (std::int32_t d = 0;; ++d) {
      if (m_s[a + d] != m_s[b + d] || m_sType[a + d] != m_sType[b + d]) return false;
      if (d > 0 && (isLms(a + d) || isLms(b + d))) return isLms(a + d) && isLms(b + d);
    }
  }

  const Symbol* m_s;
  std::int32_t* m_sa;
  std::int32_t m_n;
  std::vector<std::uint8_t> m_sType;
  std::vector<std::int32_t> m_buckets;
};

}  // namespace

std::vector<std::int32_t> buildSuffixArray(const std::uint8_t* text, std::size_t size) {
  if (size >= 0x7FFFFFFFu) throw std::length_error("text too long for a suffix array");
  const std::int32_t n = static_cast<std::int32_t>(size) + 1;
  // Bytes shift up by one to make room for the sentinel 0.
  std::vector<std::int32_t> shifted(n);
  for (std::int32_t i = 0; i + 1 < n; ++i) shifted[i] = text[i] + 1;
  shifted[n - 1] = 0;
  std::vector<std::int32_t> sa(n);
  SuffixSorter<std::int32_t>(shifted.data(), sa.data(), n, 257).run();
  return sa;
}

BurrowsWheelerBlock forwardBurrowsWheeler(const std::uint8_t* text, std::size_t size) {
  const std::vector<std::int32_t> sa = buildSuffixArray(text, size);
  BurrowsWheelerBlock block;
  block.lastColumn.reserve(size);
  for (std::size_t row = 0; row < sa.size(); ++row) {
    if (sa[row] == 0) {
      block.primaryIndex = static_cast<std::uint32_t>(row);
    } else {
      block.lastColumn.push_back(text[sa[row] - 1]);
    }
  }
  return block;
}

std::vector<std::uint8_t> encodeMoveToFront(const std::uint8_t* data, std::size_t size) {
  std::uint8_t table[256];
  for (int i = 0; i < 256; ++i) table[i] = static_cast<std::uint8_t>(i);
  int insert = 0;
  std::vector<std::uint8_t> out(size);
  for (std::size_t k = 0; k < size; ++k) {
    const std::uint8_t v = data[k];
    int c = 0;
    while (table[c] != v) ++c;
    out[k] = static_cast<std::uint8_t>(c);
    if (c == 1) {
      table[1] = table[0];
      table[0] = v;
    } else if (c >= 2) {
      std::memmove(table + insert + 1, table + insert, static_cast<std::size_t>(c - insert));
      table[insert] = v;
    }
    insert = c <= 1 ? 1 : 0;
  }
  return out;
}
