// Feeds arbitrary bytes to the client end of the relay protocol, as a
// hostile relay could. No socket is opened: the control is marked connected
// and the bytes go straight to its receive path. Replicated values of every
// wire size are registered, one of them only receiving, plus a player record
// whose decoding makes names and choices safe.
//
// Each step starts with a control byte. Below 0x80 it is followed by a chunk
// of 1 + control bytes that arrives as one receive, so messages split and
// merge. From 0x80 on it is an action (low three bits): 0 the frame's
// update (one value changed locally is sent, which ends the socketless
// connection; received values are committed and checked), 1 a new
// connection after the old one ended, 2 leaving, 3 a value leaving and
// joining the registry again, 4 a host or join request awaiting its answer,
// 5 a request for the stored values (its send fails too), 6 and 7 nothing.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "game/saves/config.h"
#include "net/message.h"
#include "net/net_control.h"
#include "net/net_value.h"

namespace {

class FuzzNetControl : public NetControl {
 public:
  void markConnected() { m_connected = 1; }
  using NetControl::expectJoinReply;
};

void require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzNetControl control;
  NetValue<bool> flag(control);
  NetValue<int> count(control);
  NetValue<float> speed(control);
  NetValue<Position3> where(control);
  NetValue<Matrix4x3> pose(control);
  NetValue<int> receivedOnly(control);
  NetValue<ConfigPlayer> player(control);
  flag.init(0);
  count.init(5);
  speed.init(12);
  where.init(13);
  pose.init(40);
  player.init(25);
  receivedOnly.setFlags(kNetAcceptReceived);
  receivedOnly.init(1999);
  control.markConnected();

  std::size_t pos = 0;
  while (pos < size) {
    const std::uint8_t step = data[pos++];
    if (step < 0x80) {
      const std::size_t length = std::min<std::size_t>(size - pos, 1u + step);
      control.onReceive(data + pos, static_cast<int>(length));
      pos += length;
    } else {
      switch (step & 7) {
        case 0: {
          count.set(count.get() ^ 1);
          control.update();
          const ConfigPlayer& p = player.get();
          require(p.name[ConfigPlayer::kNameSize - 1] == '\0');
          require(p.character >= -1 && p.character <= 5 && p.kart >= -1 && p.kart <= 7);
          break;
        }
        case 1:
          if (!control.isConnected()) control.markConnected();
          break;
        case 2:
          control.leave();
          require(control.getState() == NetControl::kStateLeft && !control.isConnected());
          break;
        case 3:
          control.removeValue(&count);
          control.addValue(&count);
          break;
        case 4:
          control.expectJoinReply();
          break;
        case 5:
          require(!control.requestValues(0));
          break;
        default:
          break;
      }
    }
    const int state = control.getState();
    require(state == NetControl::kStateInitial || state == NetControl::kStateHostLeft ||
            state == NetControl::kStatePlayerLeft || state == NetControl::kStateLeft);
    require(control.playerSlot() >= 0 && control.playerSlot() < net::kPlayerSlots);
  }
  return 0;
}
