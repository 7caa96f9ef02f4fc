#!/usr/bin/env python3
# corvan3d --idle on a private Xvfb display, through the X server's idle time
# (MIT-SCREEN-SAVER): after the idle time it starts the saver, which draws
# over the screen; input (xdotool) ends it and the next idle time starts it
# again; SIGTERM ends the watcher and its saver. It follows IdleMinutes as the
# settings window saves it. Where an XScreenSaver daemon runs (its window
# carries _SCREENSAVER_VERSION), the watcher leaves it the work.
#
# usage: idle_x11_test.py CORVAN3D

import sys, tempfile

import e2e

CORVAN3D = sys.argv[1]
e2e.need("xdotool")


with tempfile.TemporaryDirectory(prefix="corvan3d-idle-x11-") as home, e2e.xvfb() as screen:
    env = e2e.private_env(home, DISPLAY=screen.name)
    env.pop("DBUS_SESSION_BUS_ADDRESS", None)  # no GNOME here: the watcher is to choose X11
    with e2e.Watcher(CORVAN3D, env) as watcher:
        named = e2e.wait_until(
            lambda: watcher.said(f"through X11 MIT-SCREEN-SAVER on {screen.name}"), 30
        )
        e2e.check(named, "the watcher names its backend, X11's MIT-SCREEN-SAVER", watcher.log())
        first = e2e.wait_until(watcher.saver, 60)
        e2e.check(first, "after the idle time it starts corvan3d --fullscreen", watcher.log())
        screen.drawn("the saver draws over the screen")
        e2e.run("xdotool", "mousemove", "200", "150", "mousemove", "400", "300", env=env)
        e2e.check(e2e.wait_until(lambda: e2e.gone(first), 30), "input ends it", watcher.log())
        second = e2e.wait_until(lambda: (pid := watcher.saver()) not in (None, first) and pid, 60)
        e2e.check(second, "the next idle time starts it again", watcher.log())
        status = e2e.stop(watcher.process)
        e2e.check(
            status == 0 and e2e.wait_until(lambda: e2e.gone(second), 10),
            "SIGTERM ends the watcher, and its saver",
            f"{status}: {watcher.log()}",
        )

    # The time follows the store's IdleMinutes, as the settings window saves it; 0 pauses the watcher.
    e2e.write_store(env, IdleMinutes=0)
    with e2e.Watcher(CORVAN3D, env, seconds=None) as watcher:
        e2e.check(
            e2e.wait_until(lambda: watcher.said("is off (IdleMinutes is 0"), 30),
            "IdleMinutes=0: it is off",
            watcher.log(),
        )
        e2e.write_store(env, IdleMinutes=7)
        e2e.check(
            e2e.wait_until(lambda: watcher.said("starts after 420 s without input"), 30),
            "IdleMinutes=7, saved while it runs: 7 minutes from then on",
            watcher.log(),
        )

    # A daemon's window, as XScreenSaver 6 marks it.
    window = screen("XCreateSimpleWindow", screen.root, 0, 0, 1, 1, 0, 0, 0)
    version = screen("XInternAtom", b"_SCREENSAVER_VERSION", 0)
    screen(
        "XChangeProperty", window, version, 31, 8, 0, b"6.06", 4
    )  # XA_STRING, 8 bits, PropModeReplace
    said = e2e.run(CORVAN3D, "--idle", env=env, timeout=60)
    e2e.check(
        said.returncode == 0 and f"XScreenSaver 6.06 runs on {screen.name}" in said.stderr,
        "with an XScreenSaver daemon running, the watcher says so and leaves",
        said.stderr,
    )
e2e.finish()
