// The token table of a LightWave scene file: the whole text split in place
// at blanks and control characters (a double-quoted token keeps its
// blanks), and a cursor that every reader advances. Nothing reads past the
// table, or past the bound a block reader sets: there every reader yields an
// empty token and the cursor stays.
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

  // Keeps the readers of one block from reading at or past `end` (never
  // further than an outer bound allows) while it lives: there every reader
  // yields an empty token, as at the end of the table.
  class Bound {
   public:
    Bound(LwsTokens& tokens, int end);
    ~Bound() { m_tokens.m_limit = m_saved; }
    Bound(const Bound&) = delete;
    Bound& operator=(const Bound&) = delete;

   private:
    LwsTokens& m_tokens;
    int m_saved;
  };

  int count() const { return static_cast<int>(m_starts.size()); }
  // Token `index`, or "" outside the table or the current bound.
  const char* at(int index) const;
  bool atEnd() const { return m_cursor >= m_limit; }
  int cursor() const { return m_cursor; }
  // Moves the cursor, kept within 0 .. the bound.
  void seek(int index);
  void step(int delta) { seek(m_cursor + delta); }

  const char* next();
  std::int32_t nextInt() { return parseLwsInt(next()); }
  double nextFloat() { return parseLwsFloat(next()); }
  std::uint32_t nextItemId() { return parseLwsHex(next()); }
  // The token after a "{" (both consumed), else the current one.
  const char* nextBlockToken();
  // In a block of entries: at the block's "}" (stepped past) or at the end,
  // null; else the next entry's keyword, a "{" before it stepped over (an
  // empty "{ }" is passed over).
  const char* nextEntry();
  // Whether the entry nextEntry gave last opened a block of its own.
  bool entryOpenedBlock() const { return m_entryLevels > 0; }
  // Passes over the entry nextEntry gave last, for a reader that does not
  // know it: a block it opened is skipped to its own "}"; a keyword without
  // a block is passed over alone (its values follow as entries the reader
  // does not know either), so that it never takes the end of the block it
  // stands in.
  void skipEntry();
  // From inside a block: steps past its closing "}", nested blocks
  // included (a "{" under the cursor opens one); stops at the end.
  void skipBlock();
  // Where the block the cursor is in ends: one past its own "}" or, when
  // its braces do not balance, where the next block of its kind begins
  // (`sibling` after a "{", or the bare token `sibling` when `braced` is
  // false), whichever comes first; the bound when neither does.
  int blockEnd(const char* sibling, bool braced) const;
  // The end of a plug-in's entries starting at `from`: its "EndPlugin" (or a
  // following "Plugin" when that line is missing), else one past the first
  // "}" that closes the block, else the bound.
  int pluginEnd(int from) const;
  // The first token at or after `from` equal to one of `words`, ignoring
  // case; count() when there is none.
  int findFrom(int from, std::initializer_list<const char*> words) const;

 private:
  bool is(int index, const char* word) const;

  std::vector<char> m_text;
  std::vector<std::uint32_t> m_starts;
  int m_cursor = 0;
  int m_limit = 0;        // the table's end or the current bound
  int m_entryLevels = 0;  // blocks the last entry's keyword opened
};

bool lwsEqualNoCase(const char* a, const char* b);
