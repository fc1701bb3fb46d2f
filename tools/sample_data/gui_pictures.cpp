// The look's pictures (cursor, round and arrow buttons with their marks,
// ready icons), the logo, the language flags, the loading screen and the
// extras' icons.
#include <cmath>

#include "tools/sample_data/menu_icons.h"
#include "tools/sample_data/picture_imageset.h"

namespace {

constexpr float kPi = 3.14159265f;
constexpr std::uint32_t kWhite = 0xFFFFFFFF, kInk = 0xFF1A1A22;

// A domed disc: the base colour, a darker rim and a soft highlight.
void roundButton(Canvas& c, float cx, float cy, float r, std::uint32_t base) {
  c.disc(cx, cy + r * 0.04f, r, mixColour(base, 0xFF000000, 0.55f));
  c.disc(cx, cy, r * 0.92f, base);
  c.disc(cx, cy - r * 0.35f, r * 0.55f, withAlpha(kWhite, 40));
}

Canvas backButton(bool hover) {
  Canvas c(128, 128);
  roundButton(c, 64, 64, 60, hover ? 0xFFE08A3A : 0xFFB8662A);
  // A U-turn arrow: back the way you came.
  const float cx = 72, cy = 66, r = 22;
  for (int i = 0; i < 12; ++i) {
    const float a0 = -kPi / 2 + kPi * static_cast<float>(i) / 12, a1 = -kPi / 2 + kPi * static_cast<float>(i + 1) / 12;
    c.line(cx + std::cos(a0) * r, cy + std::sin(a0) * r, cx + std::cos(a1) * r, cy + std::sin(a1) * r, 12, kWhite);
  }
  c.line(cx, cy + r, 52, cy + r, 12, kWhite);
  c.line(cx, cy - r, 48, cy - r, 12, kWhite);
  c.fillPolygon({{28, cy - r}, {52, cy - r - 17}, {52, cy - r + 17}}, kWhite);
  return c;
}

Canvas okButton(std::uint32_t base) {
  Canvas c(128, 128);
  roundButton(c, 64, 64, 60, base);
  c.line(36, 66, 56, 86, 15, kWhite);
  c.line(56, 86, 94, 42, 15, kWhite);
  return c;
}

Canvas offButton(bool hover) {
  Canvas c(128, 128);
  roundButton(c, 64, 64, 60, hover ? 0xFFE04848 : 0xFFB02828);
  // The power sign: an open ring and a bar through its gap.
  const float r = 28;
  for (int i = 0; i < 20; ++i) {
    const float a0 = -kPi / 2 + 0.7f + (2 * kPi - 1.4f) * static_cast<float>(i) / 20;
    const float a1 = -kPi / 2 + 0.7f + (2 * kPi - 1.4f) * static_cast<float>(i + 1) / 20;
    c.line(64 + std::cos(a0) * r, 68 + std::sin(a0) * r, 64 + std::cos(a1) * r, 68 + std::sin(a1) * r, 11, kWhite);
  }
  c.line(64, 28, 64, 64, 11, kWhite);
  return c;
}

Canvas helpButton(std::uint32_t base) {
  Canvas c(64, 64);
  roundButton(c, 32, 32, 30, base);
  c.text("DejaVuSans-Bold.ttf", "?", 44, 32, 48, kWhite);
  return c;
}

Canvas arrowButton(bool right, std::uint32_t base, std::uint32_t mark) {
  Canvas c(64, 60);
  c.roundedRect(2, 3, 62, 59, 14, mixColour(base, 0xFF000000, 0.5f));
  c.roundedRect(2, 1, 62, 56, 14, base);
  c.roundedRect(6, 4, 58, 24, 10, withAlpha(kWhite, 36));
  const float s = right ? 1.0f : -1.0f;
  c.fillPolygon({{32 + s * 18, 29}, {32 - s * 12, 11}, {32 - s * 12, 47}}, mark);
  return c;
}

Canvas menuRing(std::uint32_t colour, std::uint32_t shine) {
  // 76 x 73 windows: the ring lies just inside, the middle stays clear so
  // the icon of the background shows through.
  Canvas c(80, 77);
  c.ring(40, 38.5f, 29, 37.5f, mixColour(colour, 0xFF000000, 0.45f));
  c.ring(40, 37.5f, 30, 36, colour);
  c.ring(40, 36.5f, 31, 34, shine);
  c.disc(40, 38.5f, 30, withAlpha(kWhite, 18));
  return c;
}

// The network screen's two choices in a menu ring: a machine sending out
// (hosting) and an arrow going into one (joining).
Canvas networkButton(bool host, std::uint32_t colour, std::uint32_t shine) {
  Canvas c = menuRing(colour, shine);
  c.disc(40, 38.5f, 29.5f, 0xFF1B2A4A);
  const std::uint32_t ink = mixColour(shine, kWhite, 0.5f);
  const float mx = host ? 40 : 46, my = host ? 46 : 40;
  c.roundedRect(mx - 13, my - 9, mx + 13, my + 9, 3, ink);
  c.fillRect(mx - 10, my - 6, mx + 10, my + 6, 0xFF1B2A4A);
  c.fillRect(mx - 2, my + 9, mx + 2, my + 13, ink);
  c.line(mx - 7, my + 14, mx + 7, my + 14, 2.5f, ink);
  if (host) {
    for (int i = 1; i <= 2; ++i) {
      const float r = 6.0f * static_cast<float>(i) + 4;
      for (int s = 0; s < 8; ++s) {
        const float a0 = -kPi / 2 - 0.7f + 1.4f * static_cast<float>(s) / 8;
        const float a1 = -kPi / 2 - 0.7f + 1.4f * static_cast<float>(s + 1) / 8;
        c.line(40 + std::cos(a0) * r, 34 + std::sin(a0) * r, 40 + std::cos(a1) * r, 34 + std::sin(a1) * r, 2.5f, ink);
      }
    }
  } else {
    c.line(18, 40, 36, 40, 4, ink);
    c.fillPolygon({{40, 40}, {32, 33}, {32, 47}}, ink);
  }
  return c;
}

Canvas cursor() {
  Canvas c(32, 32);
  const std::vector<Point2f> arrow = {{1, 1}, {1, 24}, {7, 18}, {12, 29}, {16, 27}, {11, 17}, {19, 17}};
  c.fillPolygon(arrow, kInk);
  std::vector<Point2f> inner;
  for (const Point2f& p : arrow) inner.push_back({1 + (p.x - 1) * 0.78f + 1.2f, 1 + (p.y - 1) * 0.78f + 2.4f});
  c.fillPolygon(inner, kWhite);
  return c;
}

Canvas statusIcon(bool ready) {
  Canvas c(32, 32);
  c.disc(16, 16, 15, ready ? 0xFF1E9A40 : 0xFFC08818);
  if (ready) {
    c.line(9, 16, 14, 21, 4, kWhite);
    c.line(14, 21, 23, 11, 4, kWhite);
  } else {
    c.line(16, 16, 16, 8, 3.5f, kWhite);
    c.line(16, 16, 22, 19, 3.5f, kWhite);
  }
  return c;
}

Canvas plain(int w, int h, std::uint32_t argb) { return Canvas(w, h, argb); }

// ---- flags --------------------------------------------------------------------

Canvas flag(int language, bool hover) {
  Canvas c(120, 100);
  const float x0 = 6, y0 = 10, x1 = 114, y1 = 90;
  c.roundedRect(x0 - 3, y0 - 3, x1 + 3, y1 + 3, 6, hover ? 0xFFFFD84A : 0xFF20242C);
  const float w = x1 - x0, h = y1 - y0;
  auto band = [&](float a, float b, std::uint32_t colour, bool vertical) {
    if (vertical)
      c.fillRect(x0 + w * a, y0, x0 + w * b, y1, colour);
    else
      c.fillRect(x0, y0 + h * a, x1, y0 + h * b, colour);
  };
  switch (language) {
    case 0:
      band(0, 1 / 3.0f, 0xFF111111, false), band(1 / 3.0f, 2 / 3.0f, 0xFFDD0000, false),
          band(2 / 3.0f, 1, 0xFFFFCE00, false);
      break;
    case 1:  // a red cross on white
      band(0, 1, 0xFFFFFFFF, false);
      c.fillRect(x0 + w * 0.42f, y0, x0 + w * 0.58f, y1, 0xFFCE1124);
      c.fillRect(x0, y0 + h * 0.4f, x1, y0 + h * 0.6f, 0xFFCE1124);
      break;
    case 2:
      band(0, 1 / 3.0f, 0xFF0055A4, true), band(1 / 3.0f, 2 / 3.0f, 0xFFFFFFFF, true),
          band(2 / 3.0f, 1, 0xFFEF4135, true);
      break;
    case 3:
      band(0, 0.25f, 0xFFC60B1E, false), band(0.25f, 0.75f, 0xFFFFC400, false), band(0.75f, 1, 0xFFC60B1E, false);
      break;
    default:
      band(0, 1 / 3.0f, 0xFF009246, true), band(1 / 3.0f, 2 / 3.0f, 0xFFFFFFFF, true),
          band(2 / 3.0f, 1, 0xFFCE2B37, true);
  }
  if (hover) c.fillRect(x0, y0, x1, y1, withAlpha(kWhite, 40));
  return c;
}

}  // namespace

std::vector<NamedPicture> drawQuillfen() {
  const std::uint32_t disabled = 0xFF5A5E66;
  std::vector<NamedPicture> p;
  p.push_back({"MouseArrow", cursor()});
  p.push_back({"GenericBrush", plain(8, 8, kWhite)});
  p.push_back({"TransparentBrush", plain(8, 8, 0)});
  p.push_back({"BackButton", backButton(false)});
  p.push_back({"BackButtonHover", backButton(true)});
  p.push_back({"HelpButton", helpButton(0xFF2A7FA8)});
  p.push_back({"HelpButtonDisabled", helpButton(disabled)});
  p.push_back({"HelpButtonHover", helpButton(0xFF3FA6D6)});
  for (bool right : {false, true}) {
    const std::string side = right ? "Right" : "Left";
    p.push_back({side + "Button", arrowButton(right, 0xFF2E4A8C, kWhite)});
    p.push_back({side + "ButtonDisabled", arrowButton(right, disabled, 0xFFB0B0B0)});
    p.push_back({side + "ButtonHover", arrowButton(right, 0xFF4A70C8, 0xFFFFF2A0)});
  }
  p.push_back({"OKButton", okButton(0xFF249A3C)});
  p.push_back({"OKButtonDisabled", okButton(disabled)});
  p.push_back({"OKButtonHover", okButton(0xFF35C452)});
  p.push_back({"OffButton", offButton(false)});
  p.push_back({"OffButtonHover", offButton(true)});
  p.push_back({"RoundedMiniButton", menuRing(0xFFC9CED8, 0xFFF4F6FA)});
  p.push_back({"RoundedMiniButtonDisabled", menuRing(0xFF6A6E76, 0xFF8A8E96)});
  p.push_back({"RoundedMiniButtonHover", menuRing(0xFFFFC233, 0xFFFFE9A8)});
  for (bool host : {true, false}) {
    const std::string name = host ? "HostButton" : "JoinButton";
    p.push_back({name, networkButton(host, 0xFFC9CED8, 0xFFF4F6FA)});
    p.push_back({name + "Disabled", networkButton(host, 0xFF6A6E76, 0xFF8A8E96)});
    p.push_back({name + "Hover", networkButton(host, 0xFFFFC233, 0xFFFFE9A8)});
  }
  // White, tinted by the combo box's drop button.
  Canvas dropArrow(20, 20);
  dropArrow.fillPolygon({{2, 5}, {18, 5}, {10, 16}}, kWhite);
  p.push_back({"DropArrow", dropArrow});
  p.push_back({"IconReady", statusIcon(true)});
  p.push_back({"IconWaiting", statusIcon(false)});
  return p;
}

std::vector<NamedPicture> drawLogo() {
  Canvas c(512, 256);
  // A road sweeping under the name, with its start line.
  std::vector<Point2f> road;
  for (int i = 0; i <= 32; ++i) {
    const float t = static_cast<float>(i) / 32;
    road.push_back({20 + 470 * t, 200 - 36 * std::sin(t * kPi)});
  }
  for (int i = 32; i >= 0; --i) {
    const float t = static_cast<float>(i) / 32;
    road.push_back({20 + 470 * t, 226 - 36 * std::sin(t * kPi)});
  }
  c.fillPolygon(road, 0xFF3A3F4A);
  for (int i = 2; i < 32; i += 3) {
    const float t0 = static_cast<float>(i) / 32, t1 = static_cast<float>(i + 1) / 32;
    c.line(20 + 470 * t0, 213 - 36 * std::sin(t0 * kPi), 20 + 470 * t1, 213 - 36 * std::sin(t1 * kPi), 4, kWhite);
  }
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 2; ++col)
      c.fillRect(60 + 8.0f * static_cast<float>(col), 190 + 9.0f * static_cast<float>(row) - 9,
                 68 + 8.0f * static_cast<float>(col), 199 + 9.0f * static_cast<float>(row) - 9,
                 (row + col) % 2 ? kWhite : kInk);
  // The name, outlined so it reads over any background.
  const char* face = "DejaVuSans-Bold.ttf";
  for (int dy = -5; dy <= 5; dy += 5)
    for (int dx = -5; dx <= 5; dx += 5)
      c.text(face, "Tessaline", 96, 256 + static_cast<float>(dx), 140 + static_cast<float>(dy), 0xFF3A1400);
  c.text(face, "Tessaline", 96, 256, 140, 0xFFFFB21E);
  c.text(face, "Tessaline", 96, 256, 136, withAlpha(0xFFFFE27A, 150));
  return {{"Logo", c}};
}

std::vector<NamedPicture> drawFlags() {
  static const char* const kCodes[] = {"DE", "EN", "FR", "SP", "IT"};
  std::vector<NamedPicture> p;
  for (int i = 0; i < 5; ++i) {
    p.push_back({std::string("Flag") + kCodes[i] + "_Normal", flag(i, false)});
    p.push_back({std::string("Flag") + kCodes[i] + "_Hover", flag(i, true)});
  }
  return p;
}

std::vector<NamedPicture> drawLoadingScreen() {
  Canvas background(1024, 768);
  background.gradient(0, 0, 1024, 768, 0xFF0B1838, 0xFF23406E);
  background.text("DejaVuSans-Bold.ttf", "Tessaline", 120, 512, 420, withAlpha(0xFFFFB21E, 220));
  background.fillRect(76, 673, 946, 708, 0xFF0A1020);  // the bar's groove
  Canvas bar(32, 25);
  bar.gradient(0, 0, 32, 25, 0xFFFFB040, 0xFFC85A10);
  return {{"Background", background}, {"Bar", bar}};
}

std::vector<NamedPicture> drawExtras() {
  static const char* const kNames[] = {"Extra_None",  "Extra_Rocket1",  "Extra_Rocket2", "Extra_Mine",  "Extra_Oil",
                                       "Extra_Turbo", "Extra_Shield",   "Extra_Magnet",  "Extra_Flash", "Extra_Froster",
                                       "Extra_Soap",  "Extra_Shrinker", "Extra_Weight"};
  std::vector<NamedPicture> p;
  for (int i = 0; i < 13; ++i) p.push_back({kNames[i], extraIcon(kNames[i])});
  return p;
}
