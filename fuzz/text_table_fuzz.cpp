// Feeds arbitrary bytes to the text table reader (TinyXML) as "Texts.xml",
// then asks for ids in and around what tables hold, in every language. No
// text is longer than 8192 characters, and no table holds more than 4096
// texts in a language.
#include <cstdint>
#include <cstdlib>

#include "foundation/report.h"
#include "fuzz/byte_file.h"
#include "gui/text_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  g_messageLevel = 0;
  FuzzByteFile file(data, size);
  TextTable table(file, "Texts.xml");
  if (table.storedTexts() > 4096u * TextTable::kLanguageCount) std::abort();
  std::size_t length = 0;
  for (std::uint32_t language = 0; language < TextTable::kLanguageCount; ++language) {
    table.m_language = language;
    for (int id = -2; id < 300; ++id) {
      const std::size_t one = table.getText(id).length();
      if (one > 8192) std::abort();
      length += one;
    }
    length += table.getText(0x7FFFFFFF).length() + table.getText(-0x7FFFFFFF - 1).length();
  }
  volatile std::size_t sink = length;
  (void)sink;
  return 0;
}
