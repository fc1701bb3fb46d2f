// The ring (track 1) in whole race frames as a player sees it, in German and
// in English: its minimap draws the loop large in the corner, and once the
// computer drivers race their markers lie along it, apart from the
// player's kart still on the grid. The frames are kept under the build's
// screenshot folder for a look by eye.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "content/png_writer.h"
#include "game/race/game_mode.h"
#include "gui/ingame/hud_layout.h"
#include "tests/gui/race_frames_fixture.h"

namespace {

constexpr int kRing = 1;

class RingFrames : public RaceFrames {
 protected:
  // The back buffer, top row first, as 0xAARRGGBB with full alpha.
  std::vector<std::uint32_t> shown() {
    std::vector<DWORD> pixels(static_cast<std::size_t>(kWidth) * kHeight);
    EXPECT_EQ(pipeline->currentDevice->ReadBackBuffer(0, 0, kWidth, kHeight, pixels.data()), D3D_OK);
    std::vector<std::uint32_t> argb(pixels.begin(), pixels.end());
    for (std::uint32_t& p : argb) p |= 0xFF000000u;
    return argb;
  }
  static void keep(const std::vector<std::uint32_t>& argb, const std::string& name) {
    const std::string folder = std::string(TESSALINE_SCREENS) + "/TheRingInARaceFrame";
    std::filesystem::create_directories(folder);
    const std::vector<std::uint8_t> png = writePng(kWidth, kHeight, argb);
    std::ofstream(folder + "/" + name + ".png", std::ios::binary)
        .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  }
};

// The minimap's road is drawn light grey (0xD8D8D0); nothing behind it in
// the ring's view (sand, sky, basalt) is that colour.
bool roadGrey(std::uint32_t argb) {
  const int r = static_cast<int>(argb >> 16 & 0xFF), g = static_cast<int>(argb >> 8 & 0xFF),
            b = static_cast<int>(argb & 0xFF);
  return std::abs(r - 0xD8) <= 16 && std::abs(g - 0xD8) <= 16 && std::abs(b - 0xD0) <= 16;
}

TEST_F(RingFrames, TheMinimapDrawsTheLoopLargeAndTheRacingKartsAlongIt) {
  for (int language : {0, 1}) {
    const std::string code = language ? "en-" : "de-";
    SCOPED_TRACE(code);
    config->m_language = language;
    chooseRace(kModeRace, kRing, 1);
    ASSERT_TRUE(load());
    frame();
    const std::vector<std::uint32_t> waiting = shown();
    keep(waiting, code + "ring-waiting");

    // The loop's light road across a good part of the minimap's square:
    // a shape to read, not a dot.
    const hud_layout::Minimap& map = displays().m_minimap;
    ASSERT_GT(map.width, 300.0f);
    int left = kWidth, right = -1, top = kHeight, bottom = -1;
    for (int y = static_cast<int>(map.top[0]); y < static_cast<int>(map.top[0] + map.height); ++y)
      for (int x = static_cast<int>(map.left[0]); x < static_cast<int>(map.left[0] + map.width); ++x)
        if (roadGrey(waiting[static_cast<std::size_t>(y) * kWidth + x])) {
          left = std::min(left, x), right = std::max(right, x);
          top = std::min(top, y), bottom = std::max(bottom, y);
        }
    ASSERT_GE(right, 0) << "no road on the minimap";
    const float across = static_cast<float>(right - left + 1), along = static_cast<float>(bottom - top + 1);
    EXPECT_GE(std::max(across, along), 0.4f * map.width) << across << " x " << along;
    EXPECT_GE(std::min(across, along), 0.2f * map.height) << across << " x " << along;

    // Ten seconds on, the computer drivers' markers have left the
    // player's, still on the grid, by many markers' widths.
    startRace();
    frames(200);
    keep(shown(), code + "ring-racing");
    const OnscreenDisplays::View& view = displays().m_views[0];
    const float marker = 17.0f * map.scale;
    float farthest = 0.0f;
    for (int k = 1; k < 6; ++k)
      farthest = std::max(farthest,
                          std::hypot(view.markerLeft[k] - view.markerLeft[0], view.markerTop[k] - view.markerTop[0]));
    EXPECT_GT(farthest, 4.0f * marker);
    ASSERT_TRUE(unload());
  }
}

}  // namespace
