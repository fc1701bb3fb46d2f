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
    {"HostButton", 0xFF505050},
    {"HostButtonDisabled", 0xFF303030},
    {"HostButtonHover", 0xFF707070},
    {"JoinButton", 0xFF505050},
    {"JoinButtonDisabled", 0xFF303030},
    {"JoinButtonHover", 0xFF707070},
    {"DropArrow", 0xFFFFFFFF},
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
    {"VerdanaLarge", "DejaVuSans.ttf", 19},  {"VerdanaLargeItalic", "DejaVuSans-Oblique.ttf", 19},
};

}  // namespace

std::span<const SampleImage> quillfenImages() { return kQuillfen; }
std::span<const SampleImage> loadingImages() { return kLoading; }
std::span<const SampleFont> sampleFonts() { return kFonts; }
