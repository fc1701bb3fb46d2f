// What a race is played for: the settings' game mode (Config::m_game).
#pragma once

enum GameMode : int {
  kModeTimeTrial = 0,        // one kart alone against the clock
  kModeRace = 1,             // six karts over the chosen laps
  kModeLastManStanding = 2,  // no lap limit; the last kart drops out lap by lap
  kModeChampionship = 3,     // a cup of four tracks
};
