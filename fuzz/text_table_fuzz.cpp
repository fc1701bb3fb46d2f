// Feeds arbitrary bytes to the text table reader (TinyXML) as "Texts.xml",
// then asks for ids in and around what tables hold, in every language.
#include <cstdint>

#include "foundation/report.h"
#include "fuzz/byte_file.h"
#include "gui/text_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  g_messageLevel = 0;
  FuzzByteFile file(data, size);
  TextTable table(file, "Texts.xml");
  std::size_t length = 0;
  for (std::uint32_t language = 0; language < TextTable::kLanguageCount; ++language) {
    table.m_language = language;
    for (int id = -2; id < 300; ++id) length += table.getText(id).length();
    length += table.getText(0x7FFFFFFF).length() + table.getText(-0x7FFFFFFF - 1).length();
  }
  volatile std::size_t sink = length;
  (void)sink;
  return 0;
}
