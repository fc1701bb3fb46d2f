// Which seat of a network race may send each replicated value, for the
// relay the game hosts: it refuses a value from any other seat.
#pragma once

#include "net/relay_server.h"

// The race choice is the host's (seat 0); player record s is seat s's; a
// kart's values that only the machine simulating it sends belong to seat k
// for kart k (the host's when nobody sits there: a computer driver). What
// machines following a kart send of it (the hits it takes, its magnet, its
// rockets in flight, whether it still races) stays open to every seat, as
// does every id the race does not use.
GameDaemon::ValueOwners raceValueOwners();
