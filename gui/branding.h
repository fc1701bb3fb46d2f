// "Branding_Demo.xml": per language whether the exit screen is shown, its
// imageset (with the image "Background") and up to eight link buttons
// placed in pixels of an 800 x 600 layout.
#pragma once

#include <string>
#include <string_view>

struct BrandingButton {
  int m_x = 0, m_y = 0, m_width = 0, m_height = 0;
  std::string m_url;
  std::string m_imageset;  // its file is this name and ".imageset"
  std::string m_normalImage, m_hoverImage;
};

struct BrandingScreen {
  static constexpr int kMaxButtons = 8;
  bool m_show = false;
  std::string m_imageset;
  int m_buttonCount = 0;
  BrandingButton m_buttonList[kMaxButtons];
};

// Languages by index, as the "Lang" attribute names them: De, En, Fr, Sp, It.
constexpr int kBrandingLanguages = 5;
extern const char* const kBrandingLanguageCodes[kBrandingLanguages];

// Fills the records from the document's "Branding" element: each "Screen"
// works on the record its "Lang" names (another Lang is skipped), sets
// whether it is shown ("Show" exactly "True"), may replace the imageset and
// appends its buttons up to eight. Text after a 0 byte is not read; text
// nested too deep for the XML parser is refused with a report naming
// `name`, and no record changes.
void readBranding(std::string_view xml, BrandingScreen (&screens)[kBrandingLanguages],
                  const char* name = "Branding_Demo.xml");
