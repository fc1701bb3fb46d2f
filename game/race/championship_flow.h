// What the championship standings' button does between the races of a cup.
// A cup is four races on consecutive tracks (0-3 or 4-7): before the cup's
// last track the next race follows straight away, without the menu and with
// the totals kept; after it the cup's result goes into its highscore table
// and the menu opens on that table.
#pragma once

class Config;
class HighscoreTables;

// True when another race of the cup follows: `m_track` is then the next
// track and `m_skipMenu` is set. After the cup's last race the player's
// totals become the cup table's latest row and enter its ranking where they
// place, the tables are saved as "highscore.dat" (without tables nothing is
// entered), and the highscore hints name that table for the menu.
bool finishChampionshipRace(Config& config, HighscoreTables* tables);
