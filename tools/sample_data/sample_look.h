// The colours of the sample look (frames, buttons, edit boxes, lists) and the
// places on the screens that the generated backgrounds are drawn around:
// the pictures and the look are made to keep every text legible over them.
#pragma once

#include <cstdint>

namespace sample_look {

// A dialog's client area carries black texts (main menu, lobby, race) and a
// white one (the splash screen's quit question): this slate keeps both above
// 4.5 : 1.
inline constexpr std::uint32_t kFrameClient = 0xFF6C7684, kFrameBorder = 0xFF2A3140;
inline constexpr std::uint32_t kButtonNormal = 0xFF2E3A5C, kButtonHover = 0xFF44578A, kButtonPushed = 0xFF232C46,
                               kButtonDisabled = 0xFF303238;
inline constexpr std::uint32_t kButtonText = 0xFFFFFFFF, kButtonHoverText = 0xFFFFF2A0,
                               kButtonDisabledText = 0xFFA8A8A8;
inline constexpr std::uint32_t kEditBox = 0xFF101018, kEditBoxDisabled = 0xFF303030, kEditText = 0xFFFFFFFF;
inline constexpr std::uint32_t kListBox = 0xFFF0F0F0, kScrollTrack = 0xFF202020, kScrollThumb = 0xFF8080A0;
inline constexpr std::uint32_t kBlackPanel = 0xFF000000;

// The mode screens' backgrounds, images of the "Championship" imageset, one
// per layout (left, top, width, height in layout pixels).
struct Rect {
  float x, y, w, h;
};
struct ModeLayout {
  const char* image;
  // Clear, so that the 3D preview drawn before the GUI shows through.
  Rect previews[2];
  int previewCount;
  // Dark plates under the names printed over a preview.
  Rect plates[2];
  int plateCount;
  // Framed panels that group a screen's other windows (the race choice,
  // the players' rows); a picture window's frame hugs the picture.
  Rect panels[2];
  int panelCount;
  Rect pictureFrame;
};
inline constexpr Rect kNoRect = {0, 0, 0, 0};
inline constexpr Rect kSinglePreviewPlates[2] = {{150, 270, 240, 30}, {150, 535, 240, 30}};
inline constexpr ModeLayout kModeLayouts[] = {
    {"Background",
     {{60, 262, 412, 331.5f}, kNoRect},
     1,
     {kSinglePreviewPlates[0], kSinglePreviewPlates[1]},
     2,
     {{512, 270, 492, 275}, kNoRect},
     1,
     {592, 290, 332, 237}},
    {"TimeTrial",
     {{60, 262, 412, 331.5f}, kNoRect},
     1,
     {kSinglePreviewPlates[0], kSinglePreviewPlates[1]},
     2,
     {{512, 150, 492, 390}, kNoRect},
     1,
     {592, 350, 332, 120}},
    {"LastManStanding",
     {{60, 262, 421, 331.5f}, kNoRect},
     1,
     {kSinglePreviewPlates[0], kSinglePreviewPlates[1]},
     2,
     {{512, 330, 492, 210}, kNoRect},
     1,
     {592, 350, 332, 120}},
    {"TwoPlayers",
     {{48, 30, 422, 331.5f}, {559, 30, 422, 331.5f}},
     2,
     {kNoRect, kNoRect},
     0,
     {{290, 550, 494, 198}, kNoRect},
     1,
     {371, 560, 332, 120}},
    {"Lobby",
     {{60, 30, 422, 331.5f}, kNoRect},
     1,
     {kNoRect, kNoRect},
     0,
     {{512, 22, 492, 366}, {160, 474, 700, 150}},
     2,
     {592, 70, 332, 150}},
};

// The main menu's round buttons (top-left corners, 76 x 73) in entry order:
// time trial, last man standing, championship, two players, multiplayer,
// highscores, options, credits. Their icons lie in the "main" background,
// seen through the button ring.
inline constexpr float kMenuButtons[8][2] = {{518, 452}, {371, 384}, {195, 339}, {708, 672},
                                             {631, 542}, {472, 672}, {309, 571}, {129, 505}};
inline constexpr float kMenuButtonWidth = 76, kMenuButtonHeight = 73;

}  // namespace sample_look
