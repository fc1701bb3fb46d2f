// Stands in for the race end until the progress code defines it; the
// linker takes that definition over this one.
#include "game/race.h"

[[gnu::weak]] void Race::showResults() { m_resultsShown = 1; }
