// The menu screens' backgrounds, the track and cup pictures drawn from the
// tracks' own maps, and the championship's end pictures.
#include <cmath>

#include "tools/sample_data/menu_icons.h"
#include "tools/sample_data/picture_imageset.h"
#include "tools/sample_data/sample_look.h"
#include "tools/sample_data/track_pictures.h"

namespace {

constexpr float kPi = 3.14159265f;
constexpr int kW = 1024, kH = 768;

// Black labels sit on it (main menu, options, help): every colour here
// stays light.
Canvas lightBackground(std::uint32_t top, std::uint32_t bottom) {
  Canvas c(kW, kH);
  c.gradient(0, 0, kW, kH, top, bottom);
  return c;
}

Canvas mainBackground() {
  Canvas c = lightBackground(0xFFCBE6FF, 0xFFFFF0C8);
  // Rolling hills and a road winding past the menu's stations.
  std::vector<Point2f> hill = {{0, kH}};
  for (int i = 0; i <= 64; ++i) {
    const float x = static_cast<float>(kW) * static_cast<float>(i) / 64;
    hill.push_back({x, 300 + 40 * std::sin(x / 170) + 25 * std::sin(x / 61 + 1)});
  }
  hill.push_back({kW, kH});
  c.fillPolygon(hill, 0xFFD4EDB4);
  std::vector<Point2f> road;
  for (int i = 0; i <= 48; ++i) {
    const float t = static_cast<float>(i) / 48;
    road.push_back({60 + 900 * t, 330 + 360 * t + 40 * std::sin(t * 9)});
  }
  for (int i = 48; i >= 0; --i) {
    const float t = static_cast<float>(i) / 48;
    road.push_back({60 + 900 * t + 26, 330 + 360 * t + 40 * std::sin(t * 9) - 10});
  }
  c.fillPolygon(road, 0xFFE6E2D8);
  // The round buttons are rings: each entry's icon lies under its ring.
  for (int entry = 0; entry < 8; ++entry) {
    const float cx = sample_look::kMenuButtons[entry][0] + sample_look::kMenuButtonWidth / 2;
    const float cy = sample_look::kMenuButtons[entry][1] + sample_look::kMenuButtonHeight / 2;
    c.disc(cx, cy + 2, 33, 0x40000000);
    c.disc(cx, cy, 31, 0xFF1B2A4A);
    menuIcon(c, entry, cx, cy, 40, 0xFFFFFFFF);
  }
  return c;
}

// White texts (highscores, credits) sit on these: every colour stays dark.
Canvas darkBackground(std::uint32_t top, std::uint32_t bottom) {
  Canvas c(kW, kH);
  c.gradient(0, 0, kW, kH, top, bottom);
  return c;
}

Canvas highscoresBackground() {
  Canvas c = darkBackground(0xFF0E1F3A, 0xFF1E3A5C);
  c.roundedRect(70, 180, 955, 532, 16, 0xFF0A1628);
  for (int r = 0; r < 10; r += 2)
    c.fillRect(76, 225 + 30.0f * static_cast<float>(r), 949, 250 + 30.0f * static_cast<float>(r), 0xFF12223A);
  return c;
}

Canvas creditsBackground() {
  Canvas c = darkBackground(0xFF120A2A, 0xFF2A1850);
  std::vector<Point2f> skyline = {{0, kH}};
  for (int i = 0; i <= 40; ++i) {
    const float x = static_cast<float>(kW) * static_cast<float>(i) / 40;
    skyline.push_back({x, 700 + 30 * std::sin(x / 90) + 12 * std::sin(x / 23)});
  }
  skyline.push_back({kW, kH});
  c.fillPolygon(skyline, 0xFF0A0616);
  return c;
}

Canvas helpBackground() {
  Canvas c = lightBackground(0xFFFBF5E6, 0xFFEADFC4);
  c.gradient(0, 0, 180, kH, 0xFF2A5A8A, 0xFF1B3A5E);
  c.text("DejaVuSans-Bold.ttf", "?", 150, 90, 300, 0x50FFFFFF);
  return c;
}

Canvas optionsBackground() {
  Canvas c = lightBackground(0xFFF0F4FA, 0xFFC8D6E8);
  for (int i = 0; i < 32; ++i)
    for (int row = 0; row < 2; ++row)
      if ((i + row) % 2 == 0)
        c.fillRect(32.0f * static_cast<float>(i), 10.0f * static_cast<float>(row), 32.0f * static_cast<float>(i + 1),
                   10.0f * static_cast<float>(row + 1), 0xFF3A4050);
  menuIcon(c, 6, 940, 80, 90, 0xFF9AA8BC);
  return c;
}

Canvas splashBackground() {
  Canvas c(kW, kH);
  c.gradient(0, 0, kW, kH, 0xFF3A6FB0, 0xFFF2C36B);
  c.disc(800, 520, 120, 0x60FFE8A0);
  for (int dy = -6; dy <= 6; dy += 6)
    for (int dx = -6; dx <= 6; dx += 6)
      c.text("DejaVuSans-Bold.ttf", "Tessaline", 150, 512 + static_cast<float>(dx), 330 + static_cast<float>(dy),
             0xFF3A1400);
  c.text("DejaVuSans-Bold.ttf", "Tessaline", 150, 512, 330, 0xFFFFB21E);
  c.fillRect(0, 620, kW, 760, 0x60000000);
  return c;
}

// A mode screen: clear where its 3D previews show, a dark plate under the
// names printed over a preview, framed panels behind its other groups.
Canvas modeBackground(const sample_look::ModeLayout& layout) {
  Canvas c = darkBackground(0xFF101828, 0xFF2A2040);
  for (int i = 0; i < 12; ++i) {
    const float x = 512 + 90.0f * static_cast<float>(i) - 500;
    c.line(x, 0, x + 300, kH, 1.5f, 0x18FFFFFF);
  }
  for (int i = 0; i < layout.panelCount; ++i) {
    const sample_look::Rect& r = layout.panels[i];
    c.roundedRect(r.x, r.y, r.x + r.w, r.y + r.h, 12, 0xFF5A6A8A);
    c.roundedRect(r.x + 3, r.y + 3, r.x + r.w - 3, r.y + r.h - 3, 10, 0xFF141C30);
  }
  const sample_look::Rect& p = layout.pictureFrame;
  c.roundedRect(p.x - 4, p.y - 4, p.x + p.w + 4, p.y + p.h + 4, 4, 0xFF8A9ABA);
  c.fillRect(p.x, p.y, p.x + p.w, p.y + p.h, 0xFF0A0E18);
  for (int i = 0; i < layout.previewCount; ++i) {
    const sample_look::Rect& r = layout.previews[i];
    c.roundedRect(r.x - 4, r.y - 4, r.x + r.w + 4, r.y + r.h + 4, 10, 0xFF5A6A8A);
  }
  for (int i = 0; i < layout.previewCount; ++i) {
    const sample_look::Rect& r = layout.previews[i];
    c.set(static_cast<int>(r.x), static_cast<int>(r.y), static_cast<int>(std::ceil(r.x + r.w)),
          static_cast<int>(std::ceil(r.y + r.h)), 0);
  }
  for (int i = 0; i < layout.plateCount; ++i) {
    const sample_look::Rect& r = layout.plates[i];
    c.roundedRect(r.x - 10, r.y - 1, r.x + r.w + 10, r.y + r.h + 1, 8, 0xC8080C18);
  }
  return c;
}

// The host-or-join screen: two machines linked across a light sky, the
// network's icon faint behind the address.
Canvas networkBackground() {
  Canvas c = lightBackground(0xFFE8F2FF, 0xFFC4D8EE);
  for (float x : {150.0f, 874.0f}) {
    c.roundedRect(x - 70, 120, x + 70, 210, 8, 0xFF3A4A68);
    c.fillRect(x - 62, 128, x + 62, 202, 0xFF9EC8F0);
    c.fillRect(x - 12, 210, x + 12, 236, 0xFF3A4A68);
    c.roundedRect(x - 50, 236, x + 50, 248, 4, 0xFF3A4A68);
  }
  for (int i = 0; i < 9; ++i) {
    const float x = 250 + 65.0f * static_cast<float>(i);
    c.disc(x, 165, 7, 0xFF5A78A8);
  }
  menuIcon(c, 4, 512, 620, 110, 0xFFAFC2DC);
  return c;
}

}  // namespace

std::vector<NamedPicture> drawBackground(const std::string& imageset) {
  if (imageset == "main") return {{"Background", mainBackground()}};
  if (imageset == "Highscores") return {{"Background", highscoresBackground()}};
  if (imageset == "Credits") return {{"Background", creditsBackground()}};
  if (imageset == "HelpScreen") return {{"Background", helpBackground()}};
  if (imageset == "Options") return {{"Background", optionsBackground()}, {"Network", networkBackground()}};
  if (imageset == "splash") return {{"Background", splashBackground()}};
  if (imageset == "Championship") {
    std::vector<NamedPicture> screens;
    for (const sample_look::ModeLayout& layout : sample_look::kModeLayouts)
      screens.push_back({layout.image, modeBackground(layout)});
    return screens;
  }
  return {};
}

// ---- the championship's end pictures ------------------------------------------

namespace {

constexpr std::uint32_t kEndColours[6] = {0xFFC0C0C0, 0xFF805030, 0xFF30B060, 0xFF508020, 0xFFE07010, 0xFF503070};

}  // namespace

std::uint32_t sampleEndPictureColour(int character) { return kEndColours[character]; }

std::vector<NamedPicture> drawEndPicture(int character) {
  const std::uint32_t colour = kEndColours[character];
  Canvas c(kW, kH);
  c.gradient(0, 0, kW, kH, mixColour(colour, 0xFFFFFFFF, 0.35f), mixColour(colour, 0xFF000000, 0.35f));
  // The winner on the podium, arms up, with the cup.
  c.fillRect(362, 560, 662, kH, 0xFF2A2E38);
  c.fillRect(372, 570, 652, kH, 0xFFE8C040);
  const std::uint32_t body = mixColour(colour, 0xFF000000, 0.55f);
  c.roundedRect(447, 330, 577, 560, 40, body);
  c.disc(512, 270, 70, body);
  c.disc(488, 258, 12, 0xFFFFFFFF), c.disc(536, 258, 12, 0xFFFFFFFF);
  c.disc(490, 260, 5, 0xFF101010), c.disc(538, 260, 5, 0xFF101010);
  c.line(470, 360, 400, 230, 30, body);
  c.line(554, 360, 624, 230, 30, body);
  menuIcon(c, 2, 620, 200, 110, 0xFFFFD040);
  for (int i = 0; i < 40; ++i) {
    const float a = 2 * kPi * static_cast<float>(i) / 40;
    c.line(512 + std::cos(a) * 200, 300 + std::sin(a) * 200, 512 + std::cos(a) * 212, 300 + std::sin(a) * 212, 5,
           0x70FFFFFF);
  }
  return {{"Background", c}};
}
