// The engine's one random sequence, with the range the game's tuning assumes
// (integers 0 to 32767, whatever the C library's rand() gives). Particles,
// wind, scatter, flicker and the extras' rolls draw from it. Each thread has
// its own state, seeded 1, as the runtime the game was tuned on did.
#pragma once

inline constexpr int ENGINE_RAND_MAX = 32767;

int engineRand();
void engineSrand(unsigned seed);
