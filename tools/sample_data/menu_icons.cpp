#include "tools/sample_data/menu_icons.h"

#include <cmath>
#include <tuple>

namespace {

constexpr float kPi = 3.14159265f;

void gear(Canvas& c, float cx, float cy, float r, std::uint32_t ink, std::uint32_t hole) {
  c.disc(cx, cy, r * 0.78f, ink);
  for (int i = 0; i < 8; ++i) {
    const float a = kPi * static_cast<float>(i) / 4;
    c.line(cx + std::cos(a) * r * 0.6f, cy + std::sin(a) * r * 0.6f, cx + std::cos(a) * r, cy + std::sin(a) * r,
           r * 0.32f, ink);
  }
  c.disc(cx, cy, r * 0.32f, hole);
}

void helmet(Canvas& c, float cx, float cy, float r, std::uint32_t ink, std::uint32_t visor) {
  c.disc(cx, cy, r, ink);
  c.fillRect(cx - r, cy, cx + r * 0.2f, cy + r * 0.75f, ink);
  c.roundedRect(cx - r * 0.1f, cy - r * 0.3f, cx + r * 1.05f, cy + r * 0.25f, r * 0.2f, visor);
}

}  // namespace

void menuIcon(Canvas& c, int entry, float cx, float cy, float size, std::uint32_t ink) {
  const float s = size / 40.0f;  // drawn on a 40-pixel grid
  auto X = [&](float v) { return cx + (v - 20) * s; };
  auto Y = [&](float v) { return cy + (v - 20) * s; };
  const std::uint32_t clear = 0xFF1B2A4A;  // the icon disc's own colour, for holes
  switch (entry) {
    case 0:  // stopwatch
      c.ring(X(20), Y(23), 12 * s, 15 * s, ink);
      c.fillRect(X(17), Y(3), X(23), Y(8), ink);
      c.line(X(20), Y(23), X(20), Y(13), 2.6f * s, ink);
      c.line(X(20), Y(23), X(26), Y(26), 2.6f * s, ink);
      c.line(X(31), Y(9), X(34), Y(6), 3 * s, ink);
      break;
    case 1:  // crossed flags
      for (float side : {-1.0f, 1.0f}) {
        c.line(X(20 - side * 16), Y(38), X(20 + side * 10), Y(4), 2.4f * s, ink);
        const float fx = 20 + side * 10, fy = 4;
        for (int row = 0; row < 3; ++row)
          for (int col = 0; col < 4; ++col)
            if ((row + col) % 2 == 0)
              c.fillRect(X(fx - (side > 0 ? 0 : 12) + 3.0f * static_cast<float>(col)),
                         Y(fy + 3.0f * static_cast<float>(row)),
                         X(fx - (side > 0 ? 0 : 12) + 3.0f * static_cast<float>(col + 1)),
                         Y(fy + 3.0f * static_cast<float>(row + 1)), ink);
      }
      break;
    case 2:  // cup
      c.fillPolygon({{X(9), Y(4)}, {X(31), Y(4)}, {X(29), Y(16)}, {X(24), Y(23)}, {X(16), Y(23)}, {X(11), Y(16)}}, ink);
      c.ring(X(9), Y(11), 3.5f * s, 6.5f * s, ink);
      c.ring(X(31), Y(11), 3.5f * s, 6.5f * s, ink);
      c.fillRect(X(18), Y(22), X(22), Y(31), ink);
      c.fillRect(X(12), Y(31), X(28), Y(36), ink);
      break;
    case 3:  // two helmets
      helmet(c, X(13), Y(17), 9 * s, ink, clear);
      helmet(c, X(25), Y(24), 10 * s, ink, clear);
      break;
    case 4:  // network: three linked stations
      c.line(X(20), Y(8), X(8), Y(31), 2.5f * s, ink);
      c.line(X(20), Y(8), X(32), Y(31), 2.5f * s, ink);
      c.line(X(8), Y(31), X(32), Y(31), 2.5f * s, ink);
      for (auto [x, y] : {std::pair{20.0f, 8.0f}, std::pair{8.0f, 31.0f}, std::pair{32.0f, 31.0f}})
        c.disc(X(x), Y(y), 6 * s, ink);
      break;
    case 5:  // podium
      c.fillRect(X(14), Y(14), X(26), Y(36), ink);
      c.fillRect(X(2), Y(22), X(14.5f), Y(36), ink);
      c.fillRect(X(25.5f), Y(27), X(38), Y(36), ink);
      c.fillPolygon({{X(20), Y(3)},
                     {X(22.4f), Y(8)},
                     {X(27.5f), Y(8.5f)},
                     {X(23.6f), Y(11.8f)},
                     {X(24.7f), Y(17)},
                     {X(20), Y(14.3f)},
                     {X(15.3f), Y(17)},
                     {X(16.4f), Y(11.8f)},
                     {X(12.5f), Y(8.5f)},
                     {X(17.6f), Y(8)}},
                    ink);
      break;
    case 6:  // gears
      gear(c, X(15), Y(15), 11 * s, ink, clear);
      gear(c, X(28), Y(28), 8.5f * s, ink, clear);
      break;
    default:  // scroll
      c.roundedRect(X(8), Y(6), X(32), Y(34), 2 * s, ink);
      c.disc(X(8), Y(8), 4 * s, ink), c.disc(X(32), Y(32), 4 * s, ink);
      for (int i = 0; i < 4; ++i)
        c.line(X(13), Y(13 + 5.0f * static_cast<float>(i)), X(27), Y(13 + 5.0f * static_cast<float>(i)), 1.8f * s,
               clear);
      break;
  }
}

Canvas extraIcon(const std::string& name) {
  Canvas c(96, 96);
  if (name == "Extra_None") return c;
  // Every extra sits on a round token so it reads on the track and the page.
  c.disc(48, 50, 44, 0xFF101420);
  c.disc(48, 48, 42, 0xFF2C3448);
  const std::uint32_t white = 0xFFFFFFFF;
  if (name == "Extra_Rocket1" || name == "Extra_Rocket2") {
    const std::uint32_t body = name == "Extra_Rocket1" ? 0xFFE0E0E8 : 0xFFD83A2A;
    c.fillPolygon({{20, 76}, {60, 36}, {70, 46}, {30, 86}}, body);
    c.fillPolygon({{60, 36}, {78, 18}, {70, 46}}, 0xFFF0C040);
    c.fillPolygon({{22, 60}, {34, 62}, {24, 74}}, 0xFF8090A0);
    c.fillPolygon({{36, 74}, {34, 86}, {46, 76}}, 0xFF8090A0);
    c.disc(22, 82, 7, 0xFFFF9A20);
  } else if (name == "Extra_Mine") {
    for (int i = 0; i < 8; ++i) {
      const float a = kPi * static_cast<float>(i) / 4;
      c.line(48, 50, 48 + std::cos(a) * 30, 50 + std::sin(a) * 30, 6, 0xFF606670);
    }
    c.disc(48, 50, 22, 0xFF14161A);
    c.disc(41, 43, 6, 0xFF5A6070);
    c.disc(48, 50, 5, 0xFFE02020);
  } else if (name == "Extra_Oil") {
    c.fillPolygon({{18, 58}, {30, 40}, {52, 44}, {76, 38}, {82, 58}, {66, 74}, {38, 72}}, 0xFF0A0A0C);
    c.disc(40, 52, 5, 0xFF50586A);
  } else if (name == "Extra_Turbo") {
    for (int i = 0; i < 3; ++i) {
      const float x = 26 + 16.0f * static_cast<float>(i);
      c.fillPolygon({{x, 26}, {x + 16, 48}, {x, 70}, {x + 8, 70}, {x + 24, 48}, {x + 8, 26}},
                    i == 2 ? 0xFFFFE040 : 0xFFFF9020);
    }
  } else if (name == "Extra_Shield") {
    c.fillPolygon({{48, 14}, {78, 26}, {74, 56}, {48, 82}, {22, 56}, {18, 26}}, 0xFF3A8CF0);
    c.fillPolygon({{48, 22}, {70, 31}, {67, 54}, {48, 73}}, 0xFF8CC4FF);
  } else if (name == "Extra_Magnet") {
    for (int i = 0; i < 16; ++i) {
      const float a0 = kPi * static_cast<float>(i) / 16, a1 = kPi * static_cast<float>(i + 1) / 16;
      c.line(48 + std::cos(a0) * 20, 44 + std::sin(a0) * 20, 48 + std::cos(a1) * 20, 44 + std::sin(a1) * 20, 14,
             0xFFD83030);
    }
    c.fillRect(21, 22, 35, 44, 0xFFD83030), c.fillRect(61, 22, 75, 44, 0xFFD83030);
    c.fillRect(21, 16, 35, 24, 0xFFE8E8F0), c.fillRect(61, 16, 75, 24, 0xFFE8E8F0);
  } else if (name == "Extra_Flash") {
    c.fillPolygon({{56, 10}, {26, 54}, {46, 54}, {38, 86}, {72, 38}, {52, 38}}, 0xFFFFE040);
  } else if (name == "Extra_Froster") {
    for (int i = 0; i < 3; ++i) {
      const float a = kPi * static_cast<float>(i) / 3;
      c.line(48 - std::cos(a) * 30, 48 - std::sin(a) * 30, 48 + std::cos(a) * 30, 48 + std::sin(a) * 30, 6, 0xFFBFEFFF);
      for (float side : {-1.0f, 1.0f}) {
        const float tx = 48 + side * std::cos(a) * 20, ty = 48 + side * std::sin(a) * 20;
        c.line(tx, ty, tx + std::cos(a + side * 2.2f) * 9, ty + std::sin(a + side * 2.2f) * 9, 4, 0xFFBFEFFF);
        c.line(tx, ty, tx + std::cos(a - side * 2.2f) * 9, ty + std::sin(a - side * 2.2f) * 9, 4, 0xFFBFEFFF);
      }
    }
  } else if (name == "Extra_Soap") {
    for (auto [x, y, r] :
         {std::tuple{36.0f, 56.0f, 17.0f}, std::tuple{60.0f, 40.0f, 14.0f}, std::tuple{62.0f, 68.0f, 9.0f}}) {
      c.disc(x, y, r, 0x60F0B8F0);
      c.ring(x, y, r - 3, r, 0xFFF0C0F8);
      c.disc(x - r * 0.35f, y - r * 0.35f, r * 0.22f, white);
    }
  } else if (name == "Extra_Shrinker") {
    for (int i = 0; i < 4; ++i) {
      const float a = kPi / 4 + kPi * static_cast<float>(i) / 2;
      const float ox = 48 + std::cos(a) * 32, oy = 48 + std::sin(a) * 32, ix = 48 + std::cos(a) * 14,
                  iy = 48 + std::sin(a) * 14;
      c.line(ox, oy, ix, iy, 6, 0xFF60E060);
      const float px = -std::sin(a), py = std::cos(a);
      c.fillPolygon({{ix, iy},
                     {ix + std::cos(a) * 10 + px * 8, iy + std::sin(a) * 10 + py * 8},
                     {ix + std::cos(a) * 10 - px * 8, iy + std::sin(a) * 10 - py * 8}},
                    0xFF60E060);
    }
    c.disc(48, 48, 7, 0xFF60E060);
  } else if (name == "Extra_Weight") {
    c.fillPolygon({{30, 30}, {66, 30}, {78, 78}, {18, 78}}, 0xFF6A6E80);
    c.ring(48, 24, 6, 11, 0xFF6A6E80);
    c.text("DejaVuSans-Bold.ttf", "16t", 22, 48, 66, white);
  }
  return c;
}
