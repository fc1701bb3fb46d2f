#include "game/race/championship_flow.h"

#include "game/saves/config.h"
#include "game/saves/highscore.h"
#include "game/saves/highscore_kind.h"
#include "game/track/track_numbers.h"

bool finishChampionshipRace(Config& config, HighscoreTables* tables) {
  config.m_raceEndedFromPause = 0;
  const int track = config.m_track.get();
  const bool lastOfCup = track % kCupTracks == kCupTracks - 1;
  if (track >= 0 && track < kTrackCount && !lastOfCup) {
    // The race end set the hints for a one-player race; between the races
    // of a cup the highscores screen has nothing to show.
    config.m_showHighscores = 0;
    config.m_highscoreMusic = 0;
    config.m_highscoreTrack = 0;
    config.m_track.set(track + 1);
    config.m_skipMenu = 1;
    return true;
  }
  if (!lastOfCup) {
    // A track outside the cups: end as the race end always did.
    config.m_showHighscores = 0;
    config.m_highscoreMusic = 0;
    config.m_highscoreTrack = 0;
    return false;
  }
  const int kind = track < kCupTracks ? kTableCup1 : kTableCup2;
  HighscoreBase* table = tables ? tables->table(kind, config.m_ccm.get()) : nullptr;
  if (table) {
    const Config::Player& player = config.m_player[0].get();
    const HighscoreEntry entry(player.totalTime, player.name, player.totalPoints,
                               static_cast<std::int8_t>(player.character), static_cast<std::int8_t>(player.kart));
    table->setLatest(0, entry);
    table->insert(0, entry);
    tables->save(HighscoreTables::kFileName);
    // The standings' button has cleared the race end's hints: the menu
    // opens on the cup's table with the highscore music.
    config.m_showHighscores = 1;
    config.m_highscoreMusic = 1;
    config.m_highscoreKind = kind;
    config.m_highscoreClass = config.m_ccm.get();
    config.m_highscoreTrack = 0;
  }
  return false;
}
