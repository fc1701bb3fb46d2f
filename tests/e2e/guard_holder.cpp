// Takes the game's single-instance block as the game does and says what it
// got ("first", "later" or "failed"), then holds it until its input closes
// or it is killed: a first instance the tests can kill.
#include <unistd.h>

#include <cstdio>

#include "app/entry_point.h"
#include "app/single_instance.h"
#include "platform/system/process.h"

int main() {
  UINT message = 0;
  SingleInstanceGuard guard(kInstanceGuardName, GetCommandLineA(), &message);
  std::puts(guard.failed() ? "failed" : guard.isFirst() ? "first" : "later");
  std::fflush(stdout);
  char c = 0;
  while (::read(0, &c, 1) > 0) {
  }
  return 0;
}
