// The texts that tell a network player why a race cannot go on: the
// connection is lost, another player has left, or the host has.
#pragma once

enum NetworkMessageText : int {
  kTextConnectionLost = 9100,
  kTextPlayerLeft = 9110,
  kTextHostLeft = 9140,
};

// The text for the state the network control is in (NetControl::State):
// who left, else the connection lost.
int networkEndText(int netState);
