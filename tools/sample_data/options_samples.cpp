// The highscores and options screens' data: the six end pictures, one per
// championship character, in that character's colour.
#include "tools/sample_data/options_samples.h"

#include <string>

#include "content/archive_writer.h"
#include "tools/sample_data/gui_sample_names.h"
#include "tools/sample_data/picture_imageset.h"
#include "tools/sample_data/sample_sources.h"

namespace {

constexpr const char* kEndPictures[] = {"Endscreen_Quorrel", "Endscreen_Affe",    "Endscreen_Alien",
                                        "Endscreen_Kroet",   "Endscreen_Pumpkin", "Endscreen_Tod"};

}  // namespace

// ---- the options screen's controls ------------------------------------------

namespace {

// `image` of the look's imageset stretched over the window less `inset`
// pixels on every side, tinted `colour`.
std::string picture(const char* image, const char* colour, const char* inset) {
  const std::string i = inset;
  return std::string("<ImageryComponent><Area><Dim type=\"LeftEdge\"><AbsoluteDim value=\"") + inset +
         "\"/></Dim><Dim type=\"TopEdge\"><AbsoluteDim value=\"" + inset +
         "\"/></Dim><Dim type=\"RightEdge\"><OperatorDim op=\"Subtract\"><UnifiedDim scale=\"1\" "
         "type=\"RightEdge\"/><AbsoluteDim value=\"" +
         i +
         "\"/></OperatorDim></Dim><Dim type=\"BottomEdge\"><OperatorDim op=\"Subtract\"><UnifiedDim scale=\"1\" "
         "type=\"BottomEdge\"/><AbsoluteDim value=\"" +
         i + "\"/></OperatorDim></Dim></Area><Image name=\"Quillfen/" + image + "\"/><Colours topLeft=\"" + colour +
         "\" topRight=\"" + colour + "\" bottomLeft=\"" + colour + "\" bottomRight=\"" + colour +
         "\"/><VertFormat type=\"Stretched\"/><HorzFormat type=\"Stretched\"/></ImageryComponent>";
}

std::string fill(const char* colour, const char* inset = "0") { return picture("GenericBrush", colour, inset); }

std::string states(std::initializer_list<std::pair<const char*, const char*>> stateSections) {
  std::string s;
  for (const auto& [state, section] : stateSections)
    s += std::string("<StateImagery name=\"") + state + "\"><Layer>" +
         (*section ? std::string("<Section section=\"") + section + "\"/>" : std::string()) + "</Layer></StateImagery>";
  return s;
}

// An area given as four dims in XML.
std::string area(const std::string& left, const std::string& top, const std::string& right, const std::string& bottom) {
  return "<Area><Dim type=\"LeftEdge\">" + left + "</Dim><Dim type=\"TopEdge\">" + top +
         "</Dim><Dim type=\"RightEdge\">" + right + "</Dim><Dim type=\"BottomEdge\">" + bottom + "</Dim></Area>";
}
const std::string kZero = "<AbsoluteDim value=\"0\"/>";
const std::string kRight = "<UnifiedDim scale=\"1\" type=\"RightEdge\"/>";
const std::string kBottom = "<UnifiedDim scale=\"1\" type=\"BottomEdge\"/>";
const std::string kWhole = area(kZero, kZero, kRight, kBottom);

}  // namespace

std::string screenControlLooks() {
  std::string s = "<?xml version=\"1.0\" ?>\n<Falagard version=\"7\">";
  // A horizontal track with a thumb 16 pixels wide.
  s += "<WidgetLook name=\"Quillfen/Slider\"><Property name=\"VerticalSlider\" value=\"false\"/>"
       "<NamedArea name=\"ThumbTrackArea\">" +
       kWhole + "</NamedArea><Child type=\"Quillfen/SliderThumb\" nameSuffix=\"__auto_thumb__\">" +
       area(kZero, kZero, "<AbsoluteDim value=\"16\"/>", kBottom) +
       "<Property name=\"HorzFree\" value=\"true\"/></Child><ImagerySection name=\"track\">" + fill("FF202020", "4") +
       "</ImagerySection>" + states({{"Enabled", "track"}, {"Disabled", "track"}}) + "</WidgetLook>";
  s += "<WidgetLook name=\"Quillfen/SliderThumb\"><ImagerySection name=\"thumb\">" + fill("FFE06600") +
       "</ImagerySection>" +
       states({{"Normal", "thumb"},
               {"Hover", "thumb"},
               {"Pushed", "thumb"},
               {"PushedOff", "thumb"},
               {"Disabled", "thumb"}}) +
       "</WidgetLook>";
  // A box, filled while selected.
  s += "<WidgetLook name=\"Quillfen/RadioButton\"><ImagerySection name=\"box\">" + fill("FF404040") +
       "</ImagerySection><ImagerySection name=\"mark\">" + fill("FF404040") + fill("FFE06600", "8") +
       "</ImagerySection>" +
       states({{"Normal", "box"},
               {"Hover", "box"},
               {"Pushed", "box"},
               {"PushedOff", "box"},
               {"Disabled", "box"},
               {"SelectedNormal", "mark"},
               {"SelectedHover", "mark"},
               {"SelectedPushed", "mark"},
               {"SelectedPushedOff", "mark"},
               {"SelectedDisabled", "mark"}}) +
       "</WidgetLook>";
  // Edit box 40 pixels high with the button at its right, the list below.
  const std::string fortyDown = "<AbsoluteDim value=\"40\"/>";
  const std::string buttonLeft =
      "<OperatorDim op=\"Subtract\"><UnifiedDim scale=\"1\" type=\"RightEdge\"/><AbsoluteDim "
      "value=\"40\"/></OperatorDim>";
  s += "<WidgetLook name=\"Quillfen/Combobox\"><Child type=\"Quillfen/Editbox\" nameSuffix=\"__auto_editbox__\">" +
       area(kZero, kZero, buttonLeft, fortyDown) +
       "</Child><Child type=\"Quillfen/ComboDropList\" nameSuffix=\"__auto_droplist__\">" +
       area(kZero, fortyDown, kRight, kBottom) +
       "</Child><Child type=\"Quillfen/ComboButton\" nameSuffix=\"__auto_button__\">" +
       area(buttonLeft, kZero, kRight, fortyDown) + "</Child>" + states({{"Enabled", ""}, {"Disabled", ""}}) +
       "</WidgetLook>";
  // The drop button: the look's button colours under a down arrow.
  s += "<WidgetLook name=\"Quillfen/ComboButton\"><ImagerySection name=\"normal\">" + fill("FF2E3A5C") +
       picture("DropArrow", "FFFFFFFF", "10") + "</ImagerySection><ImagerySection name=\"hover\">" + fill("FF44578A") +
       picture("DropArrow", "FFFFF2A0", "10") + "</ImagerySection><ImagerySection name=\"disabled\">" +
       fill("FF303238") + picture("DropArrow", "FFA8A8A8", "10") + "</ImagerySection>" +
       states({{"Normal", "normal"},
               {"Hover", "hover"},
               {"Pushed", "hover"},
               {"PushedOff", "normal"},
               {"Disabled", "disabled"}}) +
       "</WidgetLook>";
  s += "<WidgetLook name=\"Quillfen/ComboDropList\">";
  for (const char* suffix : {"", "HScroll", "VScroll", "HVScroll"})
    s += std::string("<NamedArea name=\"ItemRenderingArea") + suffix + "\">" +
         area("<AbsoluteDim value=\"2\"/>", "<AbsoluteDim value=\"2\"/>",
              "<OperatorDim op=\"Subtract\"><UnifiedDim scale=\"1\" type=\"RightEdge\"/><AbsoluteDim value=\"14\"/>"
              "</OperatorDim>",
              kBottom) +
         "</NamedArea>";
  s += "<Child type=\"Quillfen/VerticalScrollbar\" nameSuffix=\"__auto_vscrollbar__\">" +
       area(
           "<OperatorDim op=\"Subtract\"><UnifiedDim scale=\"1\" type=\"RightEdge\"/><AbsoluteDim value=\"12\"/>"
           "</OperatorDim>",
           kZero, kRight, kBottom) +
       "</Child><Child type=\"Quillfen/HorizontalScrollbar\" nameSuffix=\"__auto_hscrollbar__\">" +
       area(kZero,
            "<OperatorDim op=\"Subtract\"><UnifiedDim scale=\"1\" type=\"BottomEdge\"/><AbsoluteDim value=\"12\"/>"
            "</OperatorDim>",
            kRight, kBottom) +
       "</Child><ImagerySection name=\"list\">" + fill("FFF0F0F0") + "</ImagerySection>" +
       states({{"Enabled", "list"}, {"Disabled", "list"}}) + "</WidgetLook>";
  return s + "</Falagard>\n";
}

std::string screenControlsSchemeEntries() {
  std::string s = "<LookNFeel filename=\"QuillfenControls.looknfeel\"/>";
  const char* const mappings[][3] = {
      {"Slider", "CEGUI/Slider", "Core/Slider"},
      {"SliderThumb", "CEGUI/Thumb", "Core/Button"},
      {"RadioButton", "CEGUI/RadioButton", "Core/ToggleButton"},
      {"Combobox", "CEGUI/Combobox", "Core/Default"},
      {"ComboButton", "CEGUI/PushButton", "Core/Button"},
      {"ComboDropList", "CEGUI/ComboDropList", "Core/Listbox"},
  };
  for (const auto& m : mappings)
    s += std::string("<FalagardMapping windowType=\"Quillfen/") + m[0] + "\" targetType=\"" + m[1] + "\" renderer=\"" +
         m[2] + "\" lookNFeel=\"Quillfen/" + m[0] + "\"/>";
  return s;
}

bool addOptionsSamples(ArchiveWriter& writer) {
  bool ok = true;
  for (int c = 0; c < 6; ++c) {
    ok = ok && addPictureImageset(writer, kEndPictures[c], drawEndPicture(c));
  }
  return ok;
}
