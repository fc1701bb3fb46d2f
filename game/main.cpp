// The game's executable. The race game and its entry point are not built
// yet; until they are, say so instead of pretending to start.
#include <cstdio>

int main() {
  std::puts("Tessaline cannot start yet: the game's entry point is not built.");
  return 1;
}
