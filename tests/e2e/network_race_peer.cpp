// The client's machine of a network race, as a process of its own: it
// joins the relay on 127.0.0.1:<port> in <folder>, loads the race the host
// chose, runs its part (Space, its kart driven and braked to a stand) on
// its own clock, meets the host at the relay's barrier, writes where it
// sees every kart and leaves. Each step is one line on standard output;
// "failed: ..." ends it with status 1.
//
//   tessaline_network_race_peer <port> <folder>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "foundation/archive_file.h"
#include "foundation/file.h"
#include "tests/e2e/network_race_machine.h"

namespace {

int fail(const std::string& why) {
  std::printf("failed: %s\n", why.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  if (argc != 3) return fail("usage: tessaline_network_race_peer <port> <folder>");
  const int port = std::atoi(argv[1]);
  if (port <= 0 || port > 65535 || ::chdir(argv[2]) != 0) return fail("bad port or folder");

  RecordingScreen screen;
  if (!screen.pipeline()) return fail("no screen");
  ArchiveFile archive{DiskFile()};
  if (!archive.mount(TESSALINE_SAMPLE_ARCHIVE)) return fail("no sample archive");
  SteppedClock clock;
  {
    NetworkRaceMachine me(screen.pipeline(), clock, false);
    if (!me.seat(static_cast<unsigned short>(port))) return fail("no seat");
    me.choose(1);
    std::printf("seated %d\n", me.control.playerSlot());
    if (!me.load(archive)) return fail("the race did not load");
    std::printf("loaded\n");
    std::string why;
    if (!me.driveAndStop(clock, 0.05, why)) return fail(why);
    // The host's last values went out before its barrier message, and the
    // relay hands them on in order: after the barrier they are all here.
    if (!me.control.barrier(NetworkRaceMachine::kAllStand, NetworkRaceMachine::kBarrierTimeoutMs))
      return fail("the host never stood");
    for (int f = 0; f < 5; ++f) {
      clock.advance(0.05);
      me.frame(f);
    }
    std::printf("places %s\n", me.placesLine().c_str());
    if (!me.control.barrier(NetworkRaceMachine::kPlacesWritten, NetworkRaceMachine::kBarrierTimeoutMs))
      return fail("the host never read the places");
    me.control.leave();
    if (!me.race->unload()) return fail("unload");
  }
  std::printf("done\n");
  return 0;
}
