// Feeds arbitrary bytes to the reader of "Branding_Demo.xml" (TinyXML); the
// records it fills must stay within their bounds.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "foundation/report.h"
#include "gui/branding.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  g_messageLevel = 0;
  BrandingScreen screens[kBrandingLanguages];
  readBranding(std::string_view(reinterpret_cast<const char*>(data), size), screens);
  for (const BrandingScreen& screen : screens) {
    if (screen.m_buttonCount < 0 || screen.m_buttonCount > BrandingScreen::kMaxButtons) std::abort();
    for (int i = 0; i < screen.m_buttonCount; ++i) {
      volatile std::size_t sink = screen.m_buttonList[i].m_url.size() + screen.m_buttonList[i].m_imageset.size();
      (void)sink;
    }
  }
  return 0;
}
