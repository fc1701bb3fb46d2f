// The four kinds of score table. The score file keeps one table per kind and
// engine class; the settings name by kind the table the menu opens on
// (Config::m_highscoreKind).
#pragma once

enum HighscoreKind : int {
  kTableTimeTrial = 0,        // per track
  kTableLastManStanding = 1,  // per track
  kTableCup1 = 2,
  kTableCup2 = 3,
};
inline constexpr int kHighscoreKinds = 4;
