// The game's entry in the firewall's list of authorized applications: added
// at start-up so other machines can reach the relay server, removed at exit.
// The outcome is only printed; the game runs the same either way.
#pragma once

// Adds the running executable under `name`. Always returns 0.
int addFirewallException(const wchar_t* name);
// Removes the entry added at start-up. Always returns 0.
int removeFirewallException();
// True when the exception for `path` is usable (or the firewall is absent).
bool checkFirewallException(const wchar_t* path);
