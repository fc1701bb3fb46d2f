#include "game/race/network_messages.h"

#include "net/net_control.h"

int networkEndText(int netState) {
  switch (netState) {
    case NetControl::kStateHostLeft:
      return kTextHostLeft;
    case NetControl::kStatePlayerLeft:
      return kTextPlayerLeft;
    default:
      return kTextConnectionLost;
  }
}
