// Texts by numeric id in six languages, read once from an XML table
// ("Texts.xml" for the menu, "IngameTexts.xml" for a race). Switching the
// language only changes which stored text getText returns.
#pragma once

#include <CEGUI/String.h>

#include <cstddef>
#include <cstdint>
#include <map>

class File;

class TextTable {
 public:
  static constexpr int kLanguageCount = 6;
  // Element names by language index: German, English, French, Spanish,
  // Italian, Russian.
  static const char* const kLanguageCodes[kLanguageCount];

  // Reads `name` through the mounted archive (g_fileSystem); a file that is
  // missing or not a text table leaves the table empty. A table is read up
  // to its first 4096 texts, each up to 8192 characters; one nested too deep
  // or with too many elements for that is refused. Each is reported.
  explicit TextTable(const char* name);
  // Reads `name` through `files` (opened, read and closed on that object).
  TextTable(File& files, const char* name);

  // The text of `id` in the current language, or an empty text. The
  // reference lives as long as the table.
  const CEGUI::String& getText(int id) const;

  // How many texts the table holds, over all languages.
  std::size_t storedTexts() const;

  // The settings' language (0..4) as an index; anything else is German.
  static std::uint32_t languageFromSetting(int setting);

  std::uint32_t m_language = 0;  // 0..5

 private:
  void load(File& files, const char* name);

  CEGUI::String m_missingText;
  std::map<int, CEGUI::String> m_texts[kLanguageCount];
};
