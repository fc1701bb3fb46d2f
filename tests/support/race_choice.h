// The menu's choice of a race on one machine, as the race tests make it.
#pragma once

#include "game/saves/config.h"

// A race of kind `game` on `track` in engine class `engineClass` over
// `laps` laps for one local player: record 0 drives character and kart 0
// from grid slot 0 under `playerControl`; the other records stay empty, for
// the race to give to computer drivers, under `othersControl`.
inline void chooseOnePlayerRace(Config& config, int game, int track, int engineClass, int laps, int playerControl,
                                int othersControl) {
  config.m_game.set(game);
  config.m_track.set(track);
  config.m_ccm.set(engineClass);
  config.m_laps.set(laps);
  config.m_playType = 0;
  config.m_isAuthority = 1;
  for (int i = 0; i < Config::kPlayerCount; ++i) {
    ConfigPlayer* r = config.m_player[i].modify();
    *r = ConfigPlayer();
    r->character = r->kart = i == 0 ? 0 : -1;
    r->startPosition = i;
    config.m_controlType[i] = i == 0 ? playerControl : othersControl;
  }
}
