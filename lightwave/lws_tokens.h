// The token table of a LightWave scene file: the whole text split in place
// at blanks and control characters (a double-quoted token keeps its
// blanks), and a cursor that every reader advances. Nothing reads past the
// table: at its end every reader yields an empty token and the cursor stays.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Numbers as the scene files write them, whatever the process locale:
// decimal integers (like atoi, 0 when there is none), decimal floats (like
// atof) and hexadecimal item ids (like "%x", 0 when there is none).
std::int32_t parseLwsInt(const char* text);
double parseLwsFloat(const char* text);
std::uint32_t parseLwsHex(const char* text);

class LwsTokens {
 public:
  // Splits `text`; the table keeps its own copy.
  explicit LwsTokens(const char* text, std::size_t size);
  LwsTokens(const LwsTokens&) = delete;
  LwsTokens& operator=(const LwsTokens&) = delete;

  int count() const { return static_cast<int>(m_starts.size()); }
  // Token `index`, or "" outside the table.
  const char* at(int index) const;
  bool atEnd() const { return m_cursor >= count(); }
  int cursor() const { return m_cursor; }
  // Moves the cursor, kept within 0 .. count().
  void seek(int index);
  void step(int delta) { seek(m_cursor + delta); }

  const char* next();
  std::int32_t nextInt() { return parseLwsInt(next()); }
  double nextFloat() { return parseLwsFloat(next()); }
  std::uint32_t nextItemId() { return parseLwsHex(next()); }
  // The token after a "{" (both consumed), else the current one.
  const char* nextBlockToken();
  // In a block of entries: at the block's "}" (stepped past) or at the end
  // of the table, null; else the next entry's keyword, a "{" before it
  // stepped over.
  const char* nextEntry();
  // From inside a block: steps past its closing "}", nested blocks
  // included; stops at the end of the table.
  void skipBlock();
  // The first token at or after `from` equal to one of `words`, ignoring
  // case; count() when there is none.
  int findFrom(int from, std::initializer_list<const char*> words) const;

 private:
  std::vector<char> m_text;
  std::vector<std::uint32_t> m_starts;
  int m_cursor = 0;
};

bool lwsEqualNoCase(const char* a, const char* b);
