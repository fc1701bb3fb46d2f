#include "lightwave/lws_tokens.h"

#include <locale.h>
#include <strings.h>
#include <algorithm>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

const char* skipSpace(const char* text) {
  while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
  return text;
}

}  // namespace

std::int32_t parseLwsInt(const char* text) {
  const char* p = skipSpace(text);
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  long long value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    // Saturates instead of overflowing: a huge count is refused later.
    value = std::min<long long>(value * 10 + (*p - '0'), 1LL << 32);
  }
  if (negative) value = -value;
  return static_cast<std::int32_t>(
      std::clamp<long long>(value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

double parseLwsFloat(const char* text) {
  // strtod in the "C" locale: atof's grammar with a '.' whatever the
  // process locale says.
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
  return cLocale ? strtod_l(text, nullptr, cLocale) : std::strtod(text, nullptr);
}

std::uint32_t parseLwsHex(const char* text) {
  const char* p = skipSpace(text);
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) p += 2;
  std::uint32_t value = 0;
  const auto result = std::from_chars(p, p + std::strlen(p), value, 16);
  if (result.ec == std::errc::result_out_of_range) return std::numeric_limits<std::uint32_t>::max();
  return result.ec == std::errc() ? value : 0;
}

bool lwsEqualNoCase(const char* a, const char* b) { return strcasecmp(a, b) == 0; }

LwsTokens::LwsTokens(const char* text, std::size_t size) : m_text(text, text + size) {
  m_text.push_back('\0');
  m_text.push_back('\0');
  // A byte of 0x80 or more never starts a token (it compares below 33 as a
  // signed character) but belongs to one it occurs in.
  auto startsToken = [](char c) { return static_cast<signed char>(c) > 32; };
  std::size_t i = 0;
  while (i < size) {
    if (!startsToken(m_text[i])) {
      ++i;
      continue;
    }
    if (m_text[i] == '"') {
      const std::size_t start = i + 1;
      const void* close = std::memchr(&m_text[start], '"', size - start);
      // An unterminated quote runs to the end of the text.
      const std::size_t end = close ? static_cast<std::size_t>(static_cast<const char*>(close) - m_text.data()) : size;
      m_starts.push_back(static_cast<std::uint32_t>(start));
      m_text[end] = '\0';
      i = end + 1;
      continue;
    }
    m_starts.push_back(static_cast<std::uint32_t>(i));
    while (i<size&& static_cast<unsigned char>(m_text[i])> 32) ++i;
    m_text[i] = '\0';
    ++i;
  }
  m_limit = count();
}

LwsTokens::Bound::Bound(LwsTokens& tokens, int end) : m_tokens(tokens), m_saved(tokens.m_limit) {
  tokens.m_limit = std::clamp(end, tokens.m_cursor, m_saved);
}

const char* LwsTokens::at(int index) const {
  if (index < 0 || index >= m_limit) return "";
  return &m_text[m_starts[static_cast<std::size_t>(index)]];
}

bool LwsTokens::is(int index, const char* word) const { return std::strcmp(at(index), word) == 0; }

void LwsTokens::seek(int index) { m_cursor = std::clamp(index, 0, m_limit); }

const char* LwsTokens::next() {
  const char* token = at(m_cursor);
  if (m_cursor < m_limit) ++m_cursor;
  return token;
}

const char* LwsTokens::nextBlockToken() {
  const char* token = next();
  return std::strcmp(token, "{") == 0 ? next() : token;
}

const char* LwsTokens::nextEntry() {
  m_entryLevels = 0;
  while (!atEnd()) {
    if (is(m_cursor, "}")) {
      ++m_cursor;
      return nullptr;
    }
    if (!is(m_cursor, "{")) return next();
    if (is(m_cursor + 1, "}")) {
      m_cursor += 2;  // an empty block
      continue;
    }
    ++m_cursor;
    m_entryLevels = is(m_cursor, "{") ? 2 : 1;  // "{ {": a block without keyword, entered too
    return next();
  }
  return nullptr;
}

void LwsTokens::skipEntry() {
  for (int level = 0; level < m_entryLevels; ++level) skipBlock();
  m_entryLevels = 0;
}

void LwsTokens::skipBlock() {
  // Iterative, so that a file of nested braces cannot exhaust the stack.
  int depth = 0;
  while (!atEnd()) {
    const char* token = at(m_cursor++);
    if (std::strcmp(token, "{") == 0) {
      ++depth;
    } else if (std::strcmp(token, "}") == 0) {
      if (depth == 0) return;
      --depth;
    }
  }
}

int LwsTokens::blockEnd(const char* sibling, bool braced) const {
  int depth = 0;
  for (int i = m_cursor; i < m_limit; ++i) {
    if (braced ? is(i, "{") && is(i + 1, sibling) : is(i, sibling)) return i;
    if (is(i, "{")) {
      ++depth;
    } else if (is(i, "}")) {
      if (depth == 0) return i + 1;
      --depth;
    }
  }
  return m_limit;
}

int LwsTokens::pluginEnd(int from) const {
  int depth = 0, closed = -1;
  for (int i = std::max(from, 0); i < m_limit; ++i) {
    if (is(i, "EndPlugin") || is(i, "Plugin")) return i;
    if (is(i, "{")) {
      ++depth;
    } else if (is(i, "}")) {
      if (depth == 0 && closed < 0) closed = i + 1;
      depth = std::max(depth - 1, 0);
    }
  }
  return closed >= 0 ? closed : m_limit;
}

int LwsTokens::findFrom(int from, std::initializer_list<const char*> words) const {
  for (int i = std::max(from, 0); i < m_limit; ++i) {
    for (const char* word : words) {
      if (lwsEqualNoCase(at(i), word)) return i;
    }
  }
  return count();
}
