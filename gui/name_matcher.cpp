#include "gui/name_matcher.h"

bool NameMatcher::Atom::accepts(CEGUI::utf32 c) const {
  if (any) return true;
  bool inside = false;
  for (const auto& [low, high] : ranges)
    if (c >= low && c <= high) inside = true;
  return inside != negated;
}

void NameMatcher::setRegexString(const CEGUI::String& pattern) {
  m_pattern = pattern;
  m_atoms.clear();
  m_valid = false;
  const std::size_t n = pattern.length();
  std::size_t i = 0;
  while (i < n) {
    CEGUI::utf32 c = pattern[i];
    if (c == '*' || c == '+' || c == '?') {
      if (m_atoms.empty() || m_atoms.back().minCount != 1 || m_atoms.back().maxCount != 1) return;
      Atom& last = m_atoms.back();
      if (c != '+') last.minCount = 0;
      if (c != '?') last.maxCount = -1;
      ++i;
      continue;
    }
    Atom atom;
    if (c == '[') {
      ++i;
      if (i < n && pattern[i] == '^') atom.negated = true, ++i;
      bool first = true;
      while (i < n && (pattern[i] != ']' || first)) {
        CEGUI::utf32 low = pattern[i];
        if (low == '\\' && i + 1 < n) low = pattern[++i];
        CEGUI::utf32 high = low;
        if (i + 2 < n && pattern[i + 1] == '-' && pattern[i + 2] != ']') {
          high = pattern[i + 2];
          i += 2;
          if (high < low) return;
        }
        atom.ranges.emplace_back(low, high);
        ++i;
        first = false;
      }
      if (i >= n) return;  // unclosed
      ++i;
    } else if (c == '.') {
      atom.any = true;
      ++i;
    } else {
      if (c == '\\') {
        if (++i >= n) return;
        c = pattern[i];
      }
      atom.ranges.emplace_back(c, c);
      ++i;
    }
    m_atoms.push_back(std::move(atom));
  }
  m_valid = true;
}

bool NameMatcher::matches(const CEGUI::String& text) const {
  if (!m_valid) return false;
  const std::size_t n = text.length();
  // reach[p]: the text's first p characters match the atoms so far.
  std::vector<char> reach(n + 1, 0), next(n + 1, 0);
  reach[0] = 1;
  for (const Atom& atom : m_atoms) {
    std::fill(next.begin(), next.end(), 0);
    for (std::size_t p = 0; p <= n; ++p) {
      if (!reach[p]) continue;
      if (atom.minCount == 0) next[p] = 1;
      std::size_t q = p;
      int count = 0;
      while (q < n && (atom.maxCount < 0 || count < atom.maxCount) && atom.accepts(text[q])) {
        ++q;
        ++count;
        if (count >= atom.minCount) next[q] = 1;
      }
    }
    reach.swap(next);
  }
  return reach[n] != 0;
}

CEGUI::RegexMatcher::MatchState NameMatcher::getMatchStateOfString(const CEGUI::String& text) const {
  return matches(text) ? MS_VALID : MS_INVALID;
}
