#include "gui/xml_nesting.h"

#include <tinyxml.h>

#include <algorithm>
#include <string>

namespace {

// One past the first `end` at or after `from`, or the end of the text.
std::size_t pastNext(std::string_view text, std::size_t from, std::string_view end) {
  const std::size_t at = text.find(end, from);
  return at == std::string_view::npos ? text.size() : at + end.size();
}

// Whether `tag` (from its "<") opens an element as TinyXML decides: a
// letter or "_" after the "<", where every byte from 127 up counts as a
// letter.
bool startsElementName(std::string_view tag) {
  if (tag.size() < 2) return false;
  const auto c = static_cast<unsigned char>(tag[1]);
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 127;
}

}  // namespace

bool xmlNestingWithin(std::string_view text, int maxDepth) { return measureXml(text).depth <= maxDepth; }

XmlShape measureXml(std::string_view text) {
  XmlShape shape;
  int depth = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] != '<') {
      ++i;
      continue;
    }
    const std::string_view rest = text.substr(i);
    if (rest.starts_with("<!--")) {
      i = pastNext(text, i + 4, "-->");
    } else if (rest.starts_with("<![CDATA[")) {
      i = pastNext(text, i + 9, "]]>");
    } else if (rest.starts_with("<!") || rest.starts_with("<?")) {
      i = pastNext(text, i + 2, ">");
    } else if (rest.starts_with("</")) {
      depth = std::max(depth - 1, 0);
      i = pastNext(text, i + 2, ">");
    } else if (!startsElementName(rest)) {
      // TinyXML takes any other "<" as an unknown node that ends at the
      // first ">", quotes or not.
      i = pastNext(text, i + 1, ">");
    } else {
      // A start tag: up to its ">", over quoted attribute values.
      std::size_t j = i + 1;
      char quote = 0;
      for (; j < text.size(); ++j) {
        const char c = text[j];
        if (quote) {
          if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
          quote = c;
        } else if (c == '>') {
          break;
        }
      }
      const bool empty = j < text.size() && j > i + 1 && text[j - 1] == '/';
      ++shape.elements;
      if (!empty) shape.depth = std::max(shape.depth, ++depth);
      i = j + 1;
    }
  }
  return shape;
}

void parseXmlText(TiXmlDocument& document, std::string_view text, int encoding) {
  // The longest UTF-8 sequence is four bytes: four NULs past the end keep
  // every step TinyXML takes inside the copy.
  std::string padded(text.substr(0, text.find('\0')));
  padded.append(4, '\0');
  document.Parse(padded.c_str(), nullptr, static_cast<TiXmlEncoding>(encoding));
}
