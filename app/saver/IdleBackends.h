// The idle watcher's backends, tried in this order. Each returns null when
// its desktop is not here, adding what it looked for to *looked; they run on
// GLib's default main context, where the watcher's loop dispatches them.
#pragma once

#include <memory>
#include <string>

#include "platform/IdleWatch.h"

// Wayland: ext_idle_notifier_v1, else org_kde_kwin_idle.
std::unique_ptr<IdleWatch> OpenWaylandIdle(std::string* looked);

// GNOME (Wayland or X11): Mutter's org.gnome.Mutter.IdleMonitor on the session bus.
std::unique_ptr<IdleWatch> OpenMutterIdle(std::string* looked);

// X11: the MIT-SCREEN-SAVER extension, polled. When an XScreenSaver daemon
// runs there it returns null and says so in *handOver: the daemon starts the
// saver itself.
std::unique_ptr<IdleWatch> OpenX11Idle(std::string* looked, std::string* handOver);

// logind's "idle" inhibitors (system bus) and GNOME's inhibited idle action
// (session bus); a bus or service that is not there holds nothing. A bus
// that cannot be reached is noted in *note, for the log.
std::unique_ptr<IdleInhibitors> OpenInhibitors(std::string* note);
