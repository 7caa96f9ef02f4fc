#!/usr/bin/env python3
# corvan3d --idle on a private Xvfb display, through the X server's idle time
# (MIT-SCREEN-SAVER): after the idle time it starts the saver, which draws
# over the screen; input (xdotool) ends it and the next idle time starts it
# again; SIGTERM ends the watcher and its saver. It follows IdleMinutes as the
# settings window saves it. Where an XScreenSaver daemon runs (its window
# carries _SCREENSAVER_VERSION), the watcher leaves it the work.
#
# usage: idle_x11_test.py CORVAN3D

import sys

import e2e

CORVAN3D = sys.argv[1]
screen = e2e.Screen()
env = e2e.private_env(DISPLAY=screen.name)
# no GNOME here: the watcher is to choose X11
env["DBUS_SESSION_BUS_ADDRESS"] = "disabled:"

w = e2e.Watcher(CORVAN3D, env)
second = w.cycle(
    f"X11 MIT-SCREEN-SAVER on {screen.name}",
    lambda pid: screen.drawn("the saver draws over the screen"),
    lambda: screen.xdo("mousemove", 200, 150, "mousemove", 400, 300),
)
e2e.expect(e2e.stop(w.process), 0, "SIGTERM ends the watcher")
e2e.wait_until(lambda: e2e.gone(second), 60, "and its saver")

# The time follows the store's IdleMinutes, as the settings window saves it; 0 pauses the watcher.
e2e.store(env, IdleMinutes=0)
w = e2e.Watcher(CORVAN3D, env, seconds=None)
w.said("is off (IdleMinutes is 0", "IdleMinutes=0: off")
e2e.store(env, IdleMinutes=7)
w.said("starts after 420 s without input", "IdleMinutes=7")
e2e.stop(w.process)

# A daemon's window, as XScreenSaver 6 marks it.
window = screen("XCreateSimpleWindow", screen.root, 0, 0, 1, 1, 0, 0, 0)
version = screen("XInternAtom", b"_SCREENSAVER_VERSION", 0)
# XA_STRING, 8 bits, replace
screen("XChangeProperty", window, version, 31, 8, 0, b"6.06", 4)
w = e2e.Watcher(CORVAN3D, env, seconds=None)
e2e.expect(e2e.stop(w.process, None), 0, "with XScreenSaver running, the watcher leaves")
said = f"XScreenSaver 6.06 runs on {screen.name} and starts the saver itself"
w.said(f"{said} (corvan3d --root in ~/.xscreensaver's programs); this watcher leaves\n", "says so")
e2e.finish()
