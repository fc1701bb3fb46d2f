// The GUI's data under "D:\Tamberlok\menu\": the Quillfen scheme and look,
// its imagesets with plain-colour pictures, six fonts over the DejaVu faces
// and the two text tables in five languages.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "content/archive_writer.h"
#include "content/png_writer.h"
#include "tools/sample_data/gui_sample_names.h"
#include "tools/sample_data/options_samples.h"
#include "tools/sample_data/picture_imageset.h"
#include "tools/sample_data/sample_look.h"
#include "tools/sample_data/sample_sources.h"
#include "tools/sample_data/screen_samples.h"
#include "tools/sample_data/text_words.h"

namespace {

using namespace sample_look;

const std::string kFolder = "D:\\Tamberlok\\menu\\";
const std::string kFontLicence = "DejaVu-LICENSE.txt";

// ---- the look ---------------------------------------------------------------

std::string dim(const char* type, const char* inner) {
  return std::string("<Dim type=\"") + type + "\">" + inner + "</Dim>";
}

// An area inset by `inset` pixels on each side.
std::string area(int inset = 0) {
  const std::string a = std::to_string(inset);
  const std::string left = "<AbsoluteDim value=\"" + a + "\"/>";
  const std::string right =
      "<OperatorDim op=\"Subtract\"><UnifiedDim scale=\"1\" type=\"RightEdge\"/><AbsoluteDim value=\"" + a +
      "\"/></OperatorDim>";
  const std::string bottom =
      "<OperatorDim op=\"Subtract\"><UnifiedDim scale=\"1\" type=\"BottomEdge\"/><AbsoluteDim value=\"" + a +
      "\"/></OperatorDim>";
  return "<Area>" + dim("LeftEdge", left.c_str()) + dim("TopEdge", left.c_str()) + dim("RightEdge", right.c_str()) +
         dim("BottomEdge", bottom.c_str()) + "</Area>";
}

// The edit box's caret: a bar two pixels wide, as high as the box. The
// box draws it at the caret's place with the width its area gives, over
// the text: an area as wide as the box would hide every character.
std::string caretArea() {
  return "<Area>" + dim("LeftEdge", "<AbsoluteDim value=\"0\"/>") + dim("TopEdge", "<AbsoluteDim value=\"0\"/>") +
         dim("Width", "<AbsoluteDim value=\"2\"/>") +
         dim("BottomEdge", "<UnifiedDim scale=\"1\" type=\"BottomEdge\"/>") + "</Area>";
}

// A plain brush over an area, tinted by a fixed colour or a property.
std::string brush(int inset, const std::string& colour) {
  const std::string tint = colour.empty()     ? ""
                           : colour[0] == '@' ? "<ColourRectProperty name=\"" + colour.substr(1) + "\"/>"
                                              : "<Colours topLeft=\"" + colour + "\" topRight=\"" + colour +
                                                    "\" bottomLeft=\"" + colour + "\" bottomRight=\"" + colour + "\"/>";
  return "<ImageryComponent>" + area(inset) + "<Image name=\"Quillfen/GenericBrush\"/>" + tint +
         "<VertFormat type=\"Stretched\"/><HorzFormat type=\"Stretched\"/></ImageryComponent>";
}

std::string section(const std::string& name, const std::string& body) {
  return "<ImagerySection name=\"" + name + "\">" + body + "</ImagerySection>";
}

// A state drawing the named sections in one layer.
std::string state(const std::string& name, std::initializer_list<std::string> sections = {}) {
  std::string s = "<StateImagery name=\"" + name + "\"><Layer>";
  for (const std::string& sec : sections) s += "<Section section=\"" + sec + "\"/>";
  return s + "</Layer></StateImagery>";
}

std::string namedArea(const std::string& name, int inset) {
  return "<NamedArea name=\"" + name + "\">" + area(inset) + "</NamedArea>";
}

std::string child(const std::string& name, const std::string& type, const std::string& areaXml,
                  const std::string& properties = "") {
  return "<Child type=\"" + type + "\" nameSuffix=\"" + name + "\">" + areaXml + properties + "</Child>";
}

std::string property(const char* name, const char* value) {
  return std::string("<Property name=\"") + name + "\" value=\"" + value + "\"/>";
}

// 0xAARRGGBB as the look writes colours ("FF6C7684").
std::string hex(std::uint32_t argb) {
  char text[9];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(argb));
  return text;
}

std::string colourProperty(const char* name, const std::string& initial) {
  return std::string("<PropertyDefinition name=\"") + name + "\" type=\"ColourRect\" initialValue=\"" + initial +
         "\" redrawOnWrite=\"true\"/>";
}

std::string imageProperty(const char* name) {
  return std::string("<PropertyDefinition name=\"") + name +
         "\" type=\"Image\" initialValue=\"\" redrawOnWrite=\"true\"/>";
}

// An area at the right edge (vertical bar) or bottom edge (horizontal bar).
std::string edgeArea(bool vertical, int thickness) {
  const std::string t = std::to_string(thickness);
  const std::string sub = "<OperatorDim op=\"Subtract\"><UnifiedDim scale=\"1\" type=\"" +
                          std::string(vertical ? "RightEdge" : "BottomEdge") + "\"/><AbsoluteDim value=\"" + t +
                          "\"/></OperatorDim>";
  if (vertical)
    return "<Area>" + dim("LeftEdge", sub.c_str()) + dim("TopEdge", "<AbsoluteDim value=\"0\"/>") +
           dim("Width", ("<AbsoluteDim value=\"" + t + "\"/>").c_str()) +
           dim("BottomEdge", "<UnifiedDim scale=\"1\" type=\"BottomEdge\"/>") + "</Area>";
  return "<Area>" + dim("LeftEdge", "<AbsoluteDim value=\"0\"/>") + dim("TopEdge", sub.c_str()) +
         dim("RightEdge", "<UnifiedDim scale=\"1\" type=\"RightEdge\"/>") +
         dim("Height", ("<AbsoluteDim value=\"" + t + "\"/>").c_str()) + "</Area>";
}

// A square at the start (decrease) or end (increase) of a scrollbar.
std::string endArea(bool vertical, bool atEnd) {
  const std::string size = "<AbsoluteDim value=\"12\"/>";
  const std::string far = "<OperatorDim op=\"Subtract\"><UnifiedDim scale=\"1\" type=\"" +
                          std::string(vertical ? "BottomEdge" : "RightEdge") +
                          "\"/><AbsoluteDim value=\"12\"/></OperatorDim>";
  const std::string zero = "<AbsoluteDim value=\"0\"/>";
  const std::string along = atEnd ? far : zero;
  if (vertical)
    return "<Area>" + dim("LeftEdge", zero.c_str()) + dim("TopEdge", along.c_str()) +
           dim("RightEdge", "<UnifiedDim scale=\"1\" type=\"RightEdge\"/>") + dim("Height", size.c_str()) + "</Area>";
  return "<Area>" + dim("LeftEdge", along.c_str()) + dim("TopEdge", zero.c_str()) + dim("Width", size.c_str()) +
         dim("BottomEdge", "<UnifiedDim scale=\"1\" type=\"BottomEdge\"/>") + "</Area>";
}

std::string staticStates() {
  return section("frame", brush(0, "FF707070")) + section("background", brush(0, "@BackgroundColours")) +
         section("background_inner", brush(2, "@BackgroundColours")) + state("Enabled") + state("Disabled") +
         state("EnabledFrame", {"frame"}) + state("DisabledFrame", {"frame"}) +
         state("WithFrameEnabledBackground", {"background_inner"}) +
         state("WithFrameDisabledBackground", {"background_inner"}) +
         state("NoFrameEnabledBackground", {"background"}) + state("NoFrameDisabledBackground", {"background"});
}

std::string buttonLook(const std::string& name, bool images) {
  std::string s = "<WidgetLook name=\"Quillfen/" + name + "\">" + colourProperty("NormalTextColour", hex(kButtonText)) +
                  colourProperty("HoverTextColour", hex(kButtonHoverText)) +
                  colourProperty("PushedTextColour", hex(kButtonHoverText)) +
                  colourProperty("DisabledTextColour", hex(kButtonDisabledText)) +
                  // Quick presses are clicks, each of them, not double clicks.
                  property("WantsMultiClickEvents", "false");
  if (images)
    s += imageProperty("NormalImage") + imageProperty("HoverImage") + imageProperty("PushedImage") +
         imageProperty("DisabledImage");
  const std::string label = "<TextComponent>" + area() +
                            "<VertFormat type=\"CentreAligned\"/><HorzFormat type=\"CentreAligned\"/></TextComponent>";
  auto picture = [&](const char* property) {
    return std::string("<ImageryComponent>") + area() + "<ImageProperty name=\"" + property +
           "\"/><VertFormat type=\"Stretched\"/><HorzFormat type=\"Stretched\"/></ImageryComponent>";
  };
  if (images) {
    s += section("normal", picture("NormalImage")) + section("hover", picture("HoverImage")) +
         section("pushed", picture("PushedImage")) + section("disabled", picture("DisabledImage"));
  } else {
    s += section("normal", brush(0, hex(kButtonNormal))) + section("hover", brush(0, hex(kButtonHover))) +
         section("pushed", brush(0, hex(kButtonPushed))) + section("disabled", brush(0, hex(kButtonDisabled)));
  }
  s += section("label", label) + state("Normal", {"normal", "label"}) + state("Hover", {"hover", "label"}) +
       state("Pushed", {"pushed", "label"}) + state("PushedOff", {"hover", "label"}) +
       state("Disabled", {"disabled", "label"});
  return s + "</WidgetLook>";
}

std::string scrollbarLook(bool vertical) {
  const char* which = vertical ? "Vertical" : "Horizontal";
  std::string s = std::string("<WidgetLook name=\"Quillfen/") + which + "Scrollbar\">" +
                  property("VerticalScrollbar", vertical ? "true" : "false") +
                  section("track", brush(0, hex(kScrollTrack))) + state("Enabled", {"track"}) +
                  state("Disabled", {"track"});
  const std::string track =
      "<NamedArea name=\"ThumbTrackArea\"><Area>" +
      (vertical ? dim("LeftEdge", "<AbsoluteDim value=\"0\"/>") + dim("TopEdge", "<AbsoluteDim value=\"12\"/>") +
                      dim("RightEdge", "<UnifiedDim scale=\"1\" type=\"RightEdge\"/>") +
                      dim("BottomEdge",
                          "<OperatorDim op=\"Subtract\"><UnifiedDim scale=\"1\" "
                          "type=\"BottomEdge\"/><AbsoluteDim value=\"12\"/></OperatorDim>")
                : dim("LeftEdge", "<AbsoluteDim value=\"12\"/>") + dim("TopEdge", "<AbsoluteDim value=\"0\"/>") +
                      dim("RightEdge",
                          "<OperatorDim op=\"Subtract\"><UnifiedDim scale=\"1\" "
                          "type=\"RightEdge\"/><AbsoluteDim value=\"12\"/></OperatorDim>") +
                      dim("BottomEdge", "<UnifiedDim scale=\"1\" type=\"BottomEdge\"/>")) +
      "</Area></NamedArea>";
  const std::string thumbArea =
      "<Area>" + dim("LeftEdge", "<AbsoluteDim value=\"0\"/>") + dim("TopEdge", "<AbsoluteDim value=\"0\"/>") +
      dim("Width", vertical ? "<UnifiedDim scale=\"1\" type=\"Width\"/>" : "<AbsoluteDim value=\"12\"/>") +
      dim("Height", vertical ? "<AbsoluteDim value=\"12\"/>" : "<UnifiedDim scale=\"1\" type=\"Height\"/>") + "</Area>";
  s += track +
       child("__auto_thumb__", std::string("Quillfen/") + which + "ScrollbarThumb", thumbArea,
             property(vertical ? "VertFree" : "HorzFree", "true")) +
       child("__auto_incbtn__", "Quillfen/Button", endArea(vertical, true)) +
       child("__auto_decbtn__", "Quillfen/Button", endArea(vertical, false));
  return s + "</WidgetLook>";
}

std::string thumbLook(bool vertical) {
  return std::string("<WidgetLook name=\"Quillfen/") + (vertical ? "Vertical" : "Horizontal") + "ScrollbarThumb\">" +
         section("thumb", brush(0, hex(kScrollThumb))) + state("Normal", {"thumb"}) + state("Hover", {"thumb"}) +
         state("Pushed", {"thumb"}) + state("PushedOff", {"thumb"}) + state("Disabled", {"thumb"}) + "</WidgetLook>";
}

std::string lookNFeel() {
  std::string s = "<?xml version=\"1.0\" ?>\n<Falagard version=\"7\">";
  // A picture, with an optional frame and background.
  s += "<WidgetLook name=\"Quillfen/StaticImage\">" + colourProperty("BackgroundColours", "FFFFFFFF") +
       colourProperty("ImageColours", "FFFFFFFF") + property("FrameEnabled", "false") +
       property("BackgroundEnabled", "false") + staticStates() +
       section("image_withframe", "<ImageryComponent>" + area(2) +
                                      "<ImageProperty name=\"Image\"/><ColourRectProperty name=\"ImageColours\"/>"
                                      "<VertFormat type=\"Stretched\"/><HorzFormat type=\"Stretched\"/>"
                                      "</ImageryComponent>") +
       section("image_noframe", "<ImageryComponent>" + area() +
                                    "<ImageProperty name=\"Image\"/><ColourRectProperty name=\"ImageColours\"/>"
                                    "<VertFormat type=\"Stretched\"/><HorzFormat type=\"Stretched\"/>"
                                    "</ImageryComponent>") +
       state("WithFrameImage", {"image_withframe"}) + state("NoFrameImage", {"image_noframe"}) + "</WidgetLook>";
  // Text, with an optional frame and background; scrollbars stay hidden.
  s += "<WidgetLook name=\"Quillfen/StaticText\">" + colourProperty("BackgroundColours", "FF000000") +
       property("FrameEnabled", "false") + property("BackgroundEnabled", "false") + staticStates();
  for (const char* frame : {"WithFrame", "NoFrame"}) {
    const int inset = std::string(frame) == "WithFrame" ? 2 : 0;
    for (const char* scroll : {"", "HScroll", "VScroll", "HVScroll"})
      s += namedArea(std::string(frame) + "TextRenderArea" + scroll, inset);
  }
  s += child("__auto_hscrollbar__", "Quillfen/HorizontalScrollbar", edgeArea(false, 12),
             property("AlwaysOnTop", "true")) +
       child("__auto_vscrollbar__", "Quillfen/VerticalScrollbar", edgeArea(true, 12), property("AlwaysOnTop", "true")) +
       "</WidgetLook>";
  // An opaque black panel.
  s += "<WidgetLook name=\"Quillfen/BlackWindow\">" + section("panel", brush(0, hex(kBlackPanel))) +
       state("Enabled", {"panel"}) + state("Disabled", {"panel"}) + "</WidgetLook>";
  s += buttonLook("Button", false) + buttonLook("ImageButton", true);
  s += thumbLook(true) + thumbLook(false) + scrollbarLook(true) + scrollbarLook(false);
  // Title bar and frame window.
  s += "<WidgetLook name=\"Quillfen/Titlebar\">" + colourProperty("CaptionColour", "FFFFFFFF") +
       section("bar", brush(0, "FF303050")) +
       section("caption", "<TextComponent>" + area(2) +
                              "<ColourRectProperty name=\"CaptionColour\"/><VertFormat type=\"CentreAligned\"/>"
                              "<HorzFormat type=\"LeftAligned\"/></TextComponent>") +
       state("Active", {"bar", "caption"}) + state("Inactive", {"bar", "caption"}) +
       state("Disabled", {"bar", "caption"}) + "</WidgetLook>";
  s += "<WidgetLook name=\"Quillfen/FrameWindow\">" + colourProperty("BackgroundColours", hex(kFrameClient)) +
       section("frame", brush(0, hex(kFrameBorder))) + section("client", brush(2, "@BackgroundColours")) +
       section("client_noframe", brush(0, "@BackgroundColours"));
  for (const char* activity : {"Active", "Inactive", "Disabled"})
    for (const char* title : {"WithTitle", "NoTitle"}) {
      s += state(std::string(activity) + title + "WithFrame", {"frame", "client"});
      s += state(std::string(activity) + title + "NoFrame", {"client_noframe"});
    }
  const std::string titleArea = "<Area>" + dim("LeftEdge", "<AbsoluteDim value=\"0\"/>") +
                                dim("TopEdge", "<AbsoluteDim value=\"0\"/>") +
                                dim("RightEdge", "<UnifiedDim scale=\"1\" type=\"RightEdge\"/>") +
                                dim("Height", "<AbsoluteDim value=\"24\"/>") + "</Area>";
  const std::string closeArea = "<Area>" +
                                dim("LeftEdge",
                                    "<OperatorDim op=\"Subtract\"><UnifiedDim scale=\"1\" "
                                    "type=\"RightEdge\"/><AbsoluteDim value=\"22\"/></OperatorDim>") +
                                dim("TopEdge", "<AbsoluteDim value=\"2\"/>") +
                                dim("Width", "<AbsoluteDim value=\"20\"/>") +
                                dim("Height", "<AbsoluteDim value=\"20\"/>") + "</Area>";
  for (const char* frame : {"WithFrame", "NoFrame"}) {
    s += namedArea(std::string("ClientWithTitle") + frame, std::string(frame) == "WithFrame" ? 2 : 0);
    s += namedArea(std::string("ClientNoTitle") + frame, std::string(frame) == "WithFrame" ? 2 : 0);
  }
  s += child("__auto_titlebar__", "Quillfen/Titlebar", titleArea) +
       child("__auto_closebutton__", "Quillfen/Button", closeArea) + "</WidgetLook>";
  // A scrolled page: its content in what its scrollbars leave free.
  auto viewable = [](const char* name, int right, int bottom) {
    auto edge = [](const char* type, int less) {
      return dim(type, ("<OperatorDim op=\"Subtract\"><UnifiedDim scale=\"1\" type=\"" + std::string(type) +
                        "\"/><AbsoluteDim value=\"" + std::to_string(less) + "\"/></OperatorDim>")
                           .c_str());
    };
    return std::string("<NamedArea name=\"") + name + "\"><Area>" + dim("LeftEdge", "<AbsoluteDim value=\"0\"/>") +
           dim("TopEdge", "<AbsoluteDim value=\"0\"/>") + edge("RightEdge", right) + edge("BottomEdge", bottom) +
           "</Area></NamedArea>";
  };
  s += "<WidgetLook name=\"Quillfen/ScrollablePane\">" + viewable("ViewableArea", 0, 0) +
       viewable("ViewableAreaHScroll", 0, 12) + viewable("ViewableAreaVScroll", 12, 0) +
       viewable("ViewableAreaHVScroll", 12, 12) +
       child("__auto_hscrollbar__", "Quillfen/HorizontalScrollbar", edgeArea(false, 12)) +
       child("__auto_vscrollbar__", "Quillfen/VerticalScrollbar", edgeArea(true, 12)) + state("Enabled") +
       state("Disabled") + "</WidgetLook>";
  // One-line text entry.
  s += "<WidgetLook name=\"Quillfen/Editbox\">" + colourProperty("NormalTextColour", hex(kEditText)) +
       colourProperty("SelectedTextColour", "FF000000") + colourProperty("ActiveSelectionColour", "FF6060FF") +
       colourProperty("InactiveSelectionColour", "FF808080") + namedArea("TextArea", 3) +
       section("box", brush(0, hex(kEditBox))) + section("box_disabled", brush(0, hex(kEditBoxDisabled))) +
       section("Caret", "<ImageryComponent>" + caretArea() +
                            "<Image name=\"Quillfen/GenericBrush\"/><VertFormat type=\"Stretched\"/>"
                            "<HorzFormat type=\"Stretched\"/></ImageryComponent>") +
       section("selection", brush(0, "@ActiveSelectionColour")) +
       section("inactive_selection", brush(0, "@InactiveSelectionColour")) + state("Enabled", {"box"}) +
       state("EnabledFocused", {"box"}) + state("ReadOnly", {"box"}) + state("ReadOnlyFocused", {"box"}) +
       state("Disabled", {"box_disabled"}) + state("DisabledFocused", {"box_disabled"}) +
       state("ActiveSelection", {"selection"}) + state("InactiveSelection", {"inactive_selection"}) + "</WidgetLook>";
  return s + "</Falagard>\n";
}

std::string scheme() {
  std::string s =
      "<?xml version=\"1.0\" ?>\n<GUIScheme version=\"5\" name=\"Quillfen\">"
      "<Imageset filename=\"Quillfen.imageset\"/><LookNFeel filename=\"Quillfen.looknfeel\"/>"
      "<WindowRendererSet filename=\"CEGUICoreWindowRendererSet\"/>";
  struct Mapping {
    const char *type, *target, *renderer;
  };
  const Mapping mappings[] = {
      {"StaticImage", "DefaultWindow", "Core/StaticImage"},
      {"StaticText", "DefaultWindow", "Core/StaticText"},
      {"BlackWindow", "DefaultWindow", "Core/Default"},
      {"Button", "CEGUI/PushButton", "Core/Button"},
      {"ImageButton", "CEGUI/PushButton", "Core/Button"},
      {"Titlebar", "CEGUI/Titlebar", "Core/Titlebar"},
      {"FrameWindow", "CEGUI/FrameWindow", "Core/FrameWindow"},
      {"Editbox", "CEGUI/Editbox", "Core/Editbox"},
      {"VerticalScrollbarThumb", "CEGUI/Thumb", "Core/Button"},
      {"HorizontalScrollbarThumb", "CEGUI/Thumb", "Core/Button"},
      {"VerticalScrollbar", "CEGUI/Scrollbar", "Core/Scrollbar"},
      {"HorizontalScrollbar", "CEGUI/Scrollbar", "Core/Scrollbar"},
      {"ScrollablePane", "CEGUI/ScrollablePane", "Core/ScrollablePane"},
  };
  for (const Mapping& m : mappings)
    s += std::string("<FalagardMapping windowType=\"Quillfen/") + m.type + "\" targetType=\"" + m.target +
         "\" renderer=\"" + m.renderer + "\" lookNFeel=\"Quillfen/" + m.type + "\"/>";
  s += screenControlsSchemeEntries();
  return s + "</GUIScheme>\n";
}

// ---- fonts and texts ----------------------------------------------------------

// A file of the system's DejaVu package, added under `name`.
bool addPackageFile(ArchiveWriter& writer, const std::string& path, const std::string& name, int flags) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "tessaline-sample-data: %s is missing\n", path.c_str());
    return false;
  }
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return writer.add(kFolder + name, bytes, flags);
}

bool addFontFile(ArchiveWriter& writer, const char* file) {
  return addPackageFile(writer, std::string("/usr/share/fonts/truetype/dejavu/") + file, file, 0);
}

}  // namespace

// ---- pictures ---------------------------------------------------------------

// Images are 16 x 16 cells of one colour, each centred in a 32 x 32 block of
// that colour, so that filtering at their edges never picks up a neighbour.
bool addSampleImageset(ArchiveWriter& writer, const std::string& name, std::span<const SampleImage> images) {
  constexpr int kBlock = 32, kColumns = 8;
  const int rows = (static_cast<int>(images.size()) + kColumns - 1) / kColumns;
  const int width = kBlock * kColumns, height = kBlock * rows;
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height, 0);
  std::string xml = "<?xml version=\"1.0\" ?>\n<Imageset version=\"2\" name=\"" + name + "\" imagefile=\"" + name +
                    ".png\" nativeHorzRes=\"1024\" nativeVertRes=\"768\" autoScaled=\"false\">";
  for (std::size_t i = 0; i < images.size(); ++i) {
    const int bx = static_cast<int>(i % kColumns) * kBlock, by = static_cast<int>(i / kColumns) * kBlock;
    for (int y = 0; y < kBlock; ++y)
      for (int x = 0; x < kBlock; ++x) pixels[static_cast<std::size_t>(by + y) * width + bx + x] = images[i].argb;
    xml += std::string("<Image name=\"") + images[i].name + "\" xPos=\"" + std::to_string(bx + 8) + "\" yPos=\"" +
           std::to_string(by + 8) + "\" width=\"16\" height=\"16\"/>";
  }
  xml += "</Imageset>\n";
  const std::vector<std::uint8_t> png = writePng(width, height, pixels);
  return !png.empty() && writer.add(kFolder + name + ".png", png, 0) && writer.add(kFolder + name + ".imageset", xml);
}

bool addGuiSamples(ArchiveWriter& writer) {
  bool ok = writer.add(kFolder + "Quillfen.scheme", scheme()) &&
            writer.add(kFolder + "Quillfen.looknfeel", lookNFeel()) &&
            writer.add(kFolder + "QuillfenControls.looknfeel", screenControlLooks());
  ok = ok && addPictureImageset(writer, "Quillfen", drawImageset("Quillfen")) &&
       addPictureImageset(writer, "LoadingScreen", drawImageset("LoadingScreen"));
  ok = ok && addFontFile(writer, "DejaVuSans.ttf") && addFontFile(writer, "DejaVuSans-Oblique.ttf");
  // The faces' licence travels with them.
  ok = ok && addPackageFile(writer, "/usr/share/doc/fonts-dejavu-core/copyright", kFontLicence, 3);
  for (const SampleFont& font : sampleFonts()) {
    const std::string xml =
        std::string("<?xml version=\"1.0\" ?>\n<Font version=\"3\" name=\"") + font.name + "\" filename=\"" +
        font.face + "\" type=\"FreeType\" size=\"" + std::to_string(font.points) +
        "\" nativeHorzRes=\"1024\" nativeVertRes=\"768\" autoScaled=\"disabled\" antiAlias=\"true\"/>\n";
    ok = ok && writer.add(kFolder + font.name + ".font", xml);
  }
  ok = ok && writer.add(kFolder + "Texts.xml", textTableXml(menuTexts())) &&
       writer.add(kFolder + "IngameTexts.xml", textTableXml(raceTexts()));
  ok = ok && addScreenSamples(writer);
  return ok;
}
