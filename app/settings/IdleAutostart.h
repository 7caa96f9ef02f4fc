// Whether the idle watcher (corvan3d --idle) starts with the user's session:
// the switch "Start when the computer is idle" of the settings window.
// Where the user's systemd manager runs and knows the unit
// corvan3d-idle.service, the unit is enabled or disabled (and started or
// stopped at once); elsewhere an XDG autostart entry,
// $XDG_CONFIG_HOME/autostart/corvan3d-idle.desktop, is written or removed.
// Both calls wait for systemctl, which takes a moment.
#pragma once

#include <string>

// True when the unit is enabled or the user's autostart entry is there and not hidden.
bool IdleStartEnabled();

// Turns the start with the session on or off. False, with why (what failed
// and where), when it could not.
bool SetIdleStart(bool on, std::string* why);
