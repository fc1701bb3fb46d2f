// The GUI's own XML files (text tables, the branding file) go through
// TinyXML, whose parser recurses once per nested element: a small file
// nested tens of thousands deep would exhaust the stack. The depth is
// measured here first, on the raw text.
#pragma once

#include <cstddef>
#include <string_view>

class TiXmlDocument;

// Real files nest 3 to 4 deep.
inline constexpr int kMaxXmlNesting = 256;

// The elements of a text, counted as the parser will find them (see
// xmlNestingWithin): how deep the deepest element with content lies (the
// root element is level 1; an empty element takes no level) and how many
// there are. The parser takes some hundred bytes for each,
// so a file of short empty elements takes fifty times its size once parsed;
// callers bound both before they parse.
struct XmlShape {
  int depth = 0;
  std::size_t elements = 0;
};
XmlShape measureXml(std::string_view text);

// Whether no element of `text` lies more than `maxDepth` levels deep (the
// root element is level 1). Markup is followed as TinyXML reads it:
// comments, CDATA sections, declarations and other "<!" or "<?" constructs
// hold no elements, an element starts only where a letter or "_" follows
// the "<" (any other "<" runs to the first ">"), quoted attribute values may
// hold "<" and ">", and an end tag closes one level. Where the two could differ (broken markup) the
// count errs on the deep side.
bool xmlNestingWithin(std::string_view text, int maxDepth = kMaxXmlNesting);

// Parses `text` (up to its first NUL) into `document` with TinyXML's
// `encoding` (a TiXmlEncoding). TinyXML steps over a UTF-8 lead byte's whole
// length even where the text ends inside it, so it reads a copy padded
// with NULs, never past the end of ours.
void parseXmlText(TiXmlDocument& document, std::string_view text, int encoding);
