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
  if (!xmlNestingWithin(std::string_view(text.get()))) {
    reportError("\"%s\": elements nested deeper than %d levels; the text table is not read", name, kMaxXmlNesting);
    return;
  }

  TiXmlDocument document;
  parseXmlText(document, std::string_view(text.get(), static_cast<std::size_t>(size)), TIXML_ENCODING_UTF8);
  text.reset();
  const TiXmlElement* root = document.FirstChildElement("Texts");
  if (!root) return;

  bool haveId = false;
  int id = 0;
  for (const TiXmlElement* take = root->FirstChildElement("Take"); take; take = take->NextSiblingElement("Take")) {
    // An unreadable id reuses the previous one; before any, the Take is skipped.
    if (readId(*take, &id)) haveId = true;
    if (!haveId) continue;
    for (int language = 0; language < kLanguageCount; ++language) {
      CEGUI::String value;
      for (const TiXmlElement* e = take->FirstChildElement(kLanguageCodes[language]); e;
           e = e->NextSiblingElement(kLanguageCodes[language])) {
        const TiXmlNode* child = e->FirstChild();
        if (child && child->ToText()) value = decodeUtf8(child->ValueStr());
      }
      m_texts[language][id] = value;
    }
  }
}
