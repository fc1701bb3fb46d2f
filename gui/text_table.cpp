#include "gui/text_table.h"

#include <tinyxml.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "foundation/archive_file.h"
#include "foundation/file.h"
#include "foundation/report.h"
#include "gui/utf8_text.h"
#include "gui/xml_nesting.h"

const char* const TextTable::kLanguageCodes[kLanguageCount] = {"De", "En", "Fr", "Sp", "It", "Ru"};

namespace {

// A table larger than this is not a text table.
constexpr int kMaxTableBytes = 16 * 1024 * 1024;
// A game holds a few thousand texts, each of a few hundred characters at
// most. A table with more is read up to this many, and a longer text is cut.
constexpr std::size_t kMaxTexts = 4096;
constexpr std::size_t kMaxTextLength = 8192;
// A text's Take and up to seven children; the parser's own records for
// elements take some hundred bytes each, so the count is bounded before it
// sees them.
constexpr std::size_t kMaxElements = 8 * kMaxTexts;

// The id as "%d" reads it: optional sign and digits, the rest ignored.
bool readId(const TiXmlElement& take, int* id) {
  const char* text = take.Attribute("id");
  if (!text) return false;
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 10);
  if (end == text || errno == ERANGE || value < INT_MIN || value > INT_MAX) return false;
  *id = static_cast<int>(value);
  return true;
}

}  // namespace

TextTable::TextTable(const char* name) {
  if (g_fileSystem) load(*g_fileSystem, name);
}

TextTable::TextTable(File& files, const char* name) { load(files, name); }

std::uint32_t TextTable::languageFromSetting(int setting) {
  return setting >= 0 && setting <= 4 ? static_cast<std::uint32_t>(setting) : 0;
}

const CEGUI::String& TextTable::getText(int id) const {
  if (m_language >= kLanguageCount) return m_missingText;
  const auto& texts = m_texts[m_language];
  const auto it = texts.find(id);
  return it == texts.end() ? m_missingText : it->second;
}

void TextTable::load(File& files, const char* name) {
  if (!files.open(name)) return;
  const int size = files.size();
  if (size <= 0 || size > kMaxTableBytes) {
    files.close();
    return;
  }
  std::unique_ptr<char[]> text(new char[static_cast<std::size_t>(size) + 1]);
  const int got = files.read(text.get(), size);
  files.close();
  if (got != size) return;  // a table read short is no table
  text[static_cast<std::size_t>(size)] = '\0';
  const XmlShape shape = measureXml(std::string_view(text.get()));
  if (shape.depth > kMaxXmlNesting) {
    reportRefusal("\"%s\": elements nested deeper than %d levels; the text table is not read", name, kMaxXmlNesting);
    return;
  }
  if (shape.elements > kMaxElements) {
    reportRefusal("\"%s\": %zu elements, more than the %zu a table of %zu texts holds; the text table is not read",
                  name, shape.elements, kMaxElements, kMaxTexts);
    return;
  }

  TiXmlDocument document;
  parseXmlText(document, std::string_view(text.get(), static_cast<std::size_t>(size)), TIXML_ENCODING_UTF8);
  text.reset();
  const TiXmlElement* root = document.FirstChildElement("Texts");
  if (!root) return;

  bool haveId = false;
  int id = 0;
  std::size_t texts = 0, cut = 0;
  for (const TiXmlElement* take = root->FirstChildElement("Take"); take; take = take->NextSiblingElement("Take")) {
    // An unreadable id reuses the previous one; before any, the Take is skipped.
    if (readId(*take, &id)) haveId = true;
    if (!haveId) continue;
    if (++texts > kMaxTexts) {
      reportRefusal("\"%s\": more than %zu texts; the rest is not read", name, kMaxTexts);
      break;
    }
    for (int language = 0; language < kLanguageCount; ++language) {
      // The last element of the language with a text gives it; a language
      // without one has no text, as if it had never been stored.
      const TiXmlNode* last = nullptr;
      for (const TiXmlElement* e = take->FirstChildElement(kLanguageCodes[language]); e;
           e = e->NextSiblingElement(kLanguageCodes[language])) {
        const TiXmlNode* child = e->FirstChild();
        if (child && child->ToText()) last = child;
      }
      if (!last) {
        m_texts[language].erase(id);
        continue;
      }
      bool longer = false;
      m_texts[language][id] = decodeUtf8(last->ValueStr(), kMaxTextLength, &longer);
      cut += longer;
    }
  }
  if (cut > 0) reportRefusal("\"%s\": %zu texts longer than %zu characters are cut there", name, cut, kMaxTextLength);
}

std::size_t TextTable::storedTexts() const {
  std::size_t count = 0;
  for (const auto& texts : m_texts) count += texts.size();
  return count;
}
