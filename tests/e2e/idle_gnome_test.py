#!/usr/bin/env python3
# corvan3d --idle under GNOME's compositor, Mutter, headless on Wayland (run
# on a session bus of its own, by dbus-run-session): the watcher uses Mutter's
# idle monitor; while GNOME's session manager (a mock) reports idle inhibited,
# as for a video playing, nothing starts; once released the saver starts,
# drawing through SDL's Wayland driver; the user's return (the idle monitor's
# ResetIdletime) ends it, and the watcher says so; when the compositor goes,
# the watcher exits with status 1, saying why. (That quitting ends the saver
# is idle_x11's check.)
#
# usage: dbus-run-session -- idle_gnome_test.py CORVAN3D

import contextlib, sys

import e2e

CORVAN3D = sys.argv[1]
SESSION = ["org.gnome.SessionManager", "/org/gnome/SessionManager"]
MONITOR = ["org.gnome.Mutter.IdleMonitor", "/org/gnome/Mutter/IdleMonitor/Core"]
e2e.need("mutter", "gdbus", module="dbusmock")


def call(service, path, method, *args):
    # A method call on the session bus; True when it answered.
    call = ["gdbus", "call", "--session", "-d", service, "-o", path, "-m", method]
    return e2e.run(*call, *args).returncode == 0


def monitor(method):
    return call(*MONITOR, f"{MONITOR[0]}.{method}")


def inhibit(actions, method="org.freedesktop.DBus.Properties.Set"):
    # GNOME's session manager reports these actions inhibited (8: idle).
    return call(*SESSION, method, SESSION[0], "InhibitedActions", f"<uint32 {actions}>")


def gl_driver(pid):
    # Whether the process has loaded Mesa's driver, as SDL does for a window's OpenGL context.
    with contextlib.suppress(OSError), open(f"/proc/{pid}/maps") as maps:
        return "_dri.so" in maps.read()


env = e2e.private_env(WAYLAND_DISPLAY="corvan3d-mutter", SDL_VIDEODRIVER="wayland")
home = env["HOME"]
mutter = e2e.spawn(
    *"mutter --headless --wayland --no-x11 --virtual-monitor 1280x720".split(),
    *("--wayland-display", env["WAYLAND_DISPLAY"]),
    env=dict(env, MUTTER_DEBUG_RESET_IDLETIME="1"),
    stderr=open(f"{home}/mutter.log", "w"),
)
e2e.spawn("/usr/bin/python3", "-m", "dbusmock", *SESSION, SESSION[0])
if not e2e.wait_until(lambda: mutter.poll() is None and monitor("GetIdletime"), 60):
    said = open(f"{home}/mutter.log").read()[-300:]
    e2e.skip(f"mutter --headless did not start (exit status {e2e.stop(mutter)}): {said!r}")
e2e.wait_until(lambda: inhibit(8, "org.freedesktop.DBus.Mock.AddProperty"), 30, "mock runs")
w = e2e.Watcher(CORVAN3D, env)
w.cycle(
    "GNOME's org.gnome.Mutter.IdleMonitor",
    lambda pid: e2e.wait_until(lambda: gl_driver(pid), 60, "OpenGL"),
    lambda: monitor("ResetIdletime"),
    lambda: inhibit(0),
)
w.said("the user is back", "the watcher says so")
e2e.stop(mutter)
e2e.expect(e2e.stop(w.process, None), 1, "compositor gone")
w.said("the idle watch ended", "saying why")
e2e.finish()
