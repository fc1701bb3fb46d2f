// The edit boxes' validator: Debian's CEGUI has no regular-expression
// matcher, so this one reads the small pattern language the screens use:
// literals, classes in brackets with ranges and a leading '^' for negation
// ("[-+._0-9a-zA-Z ]"), '.' for any character, '\' to quote the next one,
// and the quantifiers '*', '+' and '?'. The whole text must match.
#pragma once

#include <CEGUI/RegexMatcher.h>
#include <CEGUI/String.h>

#include <vector>

class NameMatcher : public CEGUI::RegexMatcher {
 public:
  NameMatcher() = default;
  explicit NameMatcher(const CEGUI::String& pattern) { setRegexString(pattern); }

  // A pattern that does not parse (an unclosed class, a quantifier with
  // nothing before it) matches no text.
  void setRegexString(const CEGUI::String& pattern) override;
  const CEGUI::String& getRegexString() const override { return m_pattern; }
  // MS_VALID when the whole text matches, else MS_INVALID (an edit box then
  // refuses the change that made it).
  MatchState getMatchStateOfString(const CEGUI::String& text) const override;

  bool matches(const CEGUI::String& text) const;

 private:
  struct Atom {
    std::vector<std::pair<CEGUI::utf32, CEGUI::utf32>> ranges;  // inclusive
    bool negated = false;
    bool any = false;
    int minCount = 1, maxCount = 1;  // maxCount -1: unbounded
    bool accepts(CEGUI::utf32 c) const;
  };

  CEGUI::String m_pattern;
  std::vector<Atom> m_atoms;
  bool m_valid = false;
};
