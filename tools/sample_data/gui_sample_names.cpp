#include "tools/sample_data/gui_sample_names.h"

#include <vector>

namespace {

constexpr SampleImage kQuillfen[] = {
    {"MouseArrow", 0xFFFFFFFF},
    {"GenericBrush", 0xFFFFFFFF},
    {"TransparentBrush", 0x00000000},
    {"BackButton", 0xFF6A4020},
    {"BackButtonHover", 0xFF9A6030},
    {"HelpButton", 0xFF205A6A},
    {"HelpButtonDisabled", 0xFF404040},
    {"HelpButtonHover", 0xFF308A9A},
    {"LeftButton", 0xFF30305A},
    {"LeftButtonDisabled", 0xFF404040},
    {"LeftButtonHover", 0xFF50508A},
    {"OKButton", 0xFF206A30},
    {"OKButtonDisabled", 0xFF404040},
    {"OKButtonHover", 0xFF309A48},
    {"OffButton", 0xFF6A2020},
    {"OffButtonHover", 0xFF9A3030},
    {"RightButton", 0xFF30305A},
    {"RightButtonDisabled", 0xFF404040},
    {"RightButtonHover", 0xFF50508A},
    {"RoundedMiniButton", 0xFF505050},
    {"RoundedMiniButtonDisabled", 0xFF303030},
    {"RoundedMiniButtonHover", 0xFF707070},
    {"IconReady", 0xFF20A040},
    {"IconWaiting", 0xFFA08020},
};

constexpr SampleImage kLoading[] = {
    {"Background", 0xFF203060},
    {"Bar", 0xFFE08020},
};

constexpr SampleFont kFonts[] = {
    {"VerdanaSmall", "DejaVuSans.ttf", 10},  {"VerdanaSmallItalic", "DejaVuSans-Oblique.ttf", 10},
    {"VerdanaMedium", "DejaVuSans.ttf", 14}, {"VerdanaMediumItalic", "DejaVuSans-Oblique.ttf", 14},
    {"VerdanaLarge", "DejaVuSans.ttf", 20},  {"VerdanaLargeItalic", "DejaVuSans-Oblique.ttf", 20},
};

std::vector<int> textIds() {
  std::vector<int> ids;
  auto range = [&](int first, int last, int step) {
    for (int id = first; id <= last; id += step) ids.push_back(id);
  };
  range(100, 600, 100);  // characters
  range(700, 707, 1);    // karts
  range(800, 820, 10);   // engine classes
  range(1000, 1010, 1);  // main menu
  range(1020, 1022, 1);
  range(1030, 1031, 1);
  ids.push_back(1040);
  for (int id : {2000, 2002, 2010, 2020, 2100, 2110, 2120, 2200, 2300, 2350, 2400,
                 2420, 2430, 2440, 2450, 2471, 2480, 2500, 2510, 2515, 2516, 2517})
    ids.push_back(id);
  range(2520, 2580, 10);
  range(2590, 2595, 1);
  ids.push_back(2600);
  for (int id : {4026, 4027, 4028, 4029, 4031, 4033, 5010, 5011, 5020, 5021, 5030, 5031, 5040,
                 5041, 5050, 5051, 5060, 5061, 5070, 5071, 5090, 5091, 6000, 6001, 6020, 6021})
    ids.push_back(id);     // help page
  range(3000, 3700, 100);  // tracks
  for (int id : {3999, 4000, 4001}) ids.push_back(id);
  range(4010, 4025, 1);
  for (int id : {4030, 4032, 5000, 5001, 9000, 9001, 9004, 9008, 9010, 9020, 9050, 9100, 9110, 9140, 10000})
    ids.push_back(id);
  return ids;
}

}  // namespace

std::span<const SampleImage> quillfenImages() { return kQuillfen; }
std::span<const SampleImage> loadingImages() { return kLoading; }
std::span<const SampleFont> sampleFonts() { return kFonts; }
std::span<const int> sampleTextIds() {
  static const std::vector<int> ids = textIds();
  return ids;
}
