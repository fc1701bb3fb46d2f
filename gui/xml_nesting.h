// The GUI's own XML files (text tables, the branding file) go through
// TinyXML, whose parser recurses once per nested element: a small file
// nested tens of thousands deep would exhaust the stack. The depth is
// measured here first, on the raw text.
#pragma once

#include <string_view>

// Real files nest 3 to 4 deep.
inline constexpr int kMaxXmlNesting = 256;

// Whether no element of `text` lies more than `maxDepth` levels deep (the
// root element is level 1). Markup is followed as TinyXML reads it:
// comments, CDATA sections, declarations and other "<!" or "<?" constructs
// hold no elements, quoted attribute values may hold "<" and ">", and an
// end tag closes one level. Where the two could differ (broken markup) the
// count errs on the deep side.
bool xmlNestingWithin(std::string_view text, int maxDepth = kMaxXmlNesting);
