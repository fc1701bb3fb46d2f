#include "gui/branding.h"

#include <tinyxml.h>

#include <cstring>

#include "foundation/report.h"
#include "gui/xml_nesting.h"

const char* const kBrandingLanguageCodes[kBrandingLanguages] = {"De", "En", "Fr", "Sp", "It"};

namespace {

void replaceIfPresent(const TiXmlElement& element, const char* name, std::string& field) {
  if (const char* value = element.Attribute(name)) field = value;
}

int intAttribute(const TiXmlElement& element, const char* name) {
  int value = 0;
  if (element.QueryIntAttribute(name, &value) != TIXML_SUCCESS) value = 0;
  return value;
}

int languageIndex(const char* code) {
  if (!code) return -1;
  for (int i = 0; i < kBrandingLanguages; ++i)
    if (std::strcmp(code, kBrandingLanguageCodes[i]) == 0) return i;
  return -1;
}

}  // namespace

void readBranding(std::string_view xml, BrandingScreen (&screens)[kBrandingLanguages], const char* name) {
  const std::string text(xml.substr(0, xml.find('\0')));
  if (!xmlNestingWithin(text)) {
    reportRefusal("\"%s\": elements nested deeper than %d levels; the branding file is not read", name, kMaxXmlNesting);
    return;
  }
  TiXmlDocument document;
  parseXmlText(document, text, TIXML_DEFAULT_ENCODING);
  const TiXmlElement* branding = document.FirstChildElement("Branding");
  if (!branding) return;
  for (const TiXmlElement* element = branding->FirstChildElement("Screen"); element;
       element = element->NextSiblingElement("Screen")) {
    const int language = languageIndex(element->Attribute("Lang"));
    if (language < 0) continue;  // no record for it
    BrandingScreen& screen = screens[language];
    const char* show = element->Attribute("Show");
    screen.m_show = show && std::strcmp(show, "True") == 0;
    replaceIfPresent(*element, "Imageset", screen.m_imageset);
    for (const TiXmlElement* button = element->FirstChildElement("Button");
         button && screen.m_buttonCount < BrandingScreen::kMaxButtons; button = button->NextSiblingElement("Button")) {
      BrandingButton& b = screen.m_buttonList[screen.m_buttonCount++];
      replaceIfPresent(*button, "URL", b.m_url);
      replaceIfPresent(*button, "Imageset", b.m_imageset);
      replaceIfPresent(*button, "NormalImage", b.m_normalImage);
      replaceIfPresent(*button, "HoverImage", b.m_hoverImage);
      b.m_x = intAttribute(*button, "XPos");
      b.m_y = intAttribute(*button, "YPos");
      b.m_width = intAttribute(*button, "Width");
      b.m_height = intAttribute(*button, "Height");
    }
  }
}
