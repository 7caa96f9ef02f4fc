#!/usr/bin/env python3
# corvan3d --idle under GNOME's compositor, Mutter, headless on Wayland (run
# on a session bus of its own, by dbus-run-session): the watcher uses Mutter's
# idle monitor; while GNOME's session manager (a mock) reports idle inhibited,
# as for a video playing, nothing starts; once released the saver starts,
# drawing through SDL's Wayland driver; the user's return (the idle monitor's
# ResetIdletime) ends it; when the compositor goes, the watcher ends its saver
# and exits with status 1.
#
# usage: dbus-run-session -- idle_gnome_test.py CORVAN3D

import contextlib, subprocess, sys, tempfile

import e2e

CORVAN3D = sys.argv[1]
MONITOR = [
    "org.gnome.Mutter.IdleMonitor",
    "/org/gnome/Mutter/IdleMonitor/Core",
    "org.gnome.Mutter.IdleMonitor",
]
SESSION = ["org.gnome.SessionManager", "/org/gnome/SessionManager", "org.gnome.SessionManager"]
e2e.need("mutter", "gdbus")
if e2e.run("/usr/bin/python3", "-c", "import dbusmock").returncode != 0:
    e2e.skip("python3-dbusmock not installed (scripts/install-deps installs it)")


def call(service, path, interface, method, *args):
    # A method call on the session bus; True when it answered.
    return (
        e2e.run(
            "gdbus",
            "call",
            "--session",
            "-d",
            service,
            "-o",
            path,
            "-m",
            f"{interface}.{method}",
            *args,
            timeout=30,
        ).returncode
        == 0
    )


def gl_driver(pid):
    # Whether the process has loaded Mesa's driver, as SDL does for a window's OpenGL context.
    with contextlib.suppress(OSError), open(f"/proc/{pid}/maps") as maps:
        return "_dri.so" in maps.read()


def inhibit(actions):
    # GNOME's session manager reports these actions inhibited (8: idle).
    return call(
        *SESSION[:2],
        "org.freedesktop.DBus.Properties",
        "Set",
        SESSION[2],
        "InhibitedActions",
        f"<uint32 {actions}>",
    )


with tempfile.TemporaryDirectory(prefix="corvan3d-idle-gnome-") as home:
    env = e2e.sdl_wayland_leaks(
        e2e.private_env(home, WAYLAND_DISPLAY="corvan3d-mutter", SDL_VIDEODRIVER="wayland"), home
    )
    mutter = subprocess.Popen(
        [
            "mutter",
            "--headless",
            "--wayland",
            "--no-x11",
            "--virtual-monitor",
            "1280x720",
            "--wayland-display",
            env["WAYLAND_DISPLAY"],
        ],
        env=dict(env, MUTTER_DEBUG_RESET_IDLETIME="1"),
        stdout=subprocess.DEVNULL,
        stderr=open(f"{home}/mutter.log", "w"),
    )
    mock = subprocess.Popen(
        ["/usr/bin/python3", "-m", "dbusmock", *SESSION], stdout=subprocess.DEVNULL
    )
    try:
        if not e2e.wait_until(lambda: mutter.poll() is None and call(*MONITOR, "GetIdletime"), 60):
            said = open(f"{home}/mutter.log").read()[-300:]
            e2e.skip(f"mutter --headless did not start (exit status {e2e.stop(mutter)}): {said!r}")
        e2e.check(
            e2e.wait_until(
                lambda: call(
                    *SESSION[:2],
                    "org.freedesktop.DBus.Mock",
                    "AddProperty",
                    SESSION[2],
                    "InhibitedActions",
                    "<uint32 8>",
                ),
                30,
            ),
            "the mock session manager runs",
        )
        with e2e.Watcher(CORVAN3D, env) as watcher:
            held = e2e.wait_until(lambda: watcher.said("holds the saver off"), 60)
            e2e.check(
                held and watcher.said("through GNOME's org.gnome.Mutter.IdleMonitor"),
                "idle, with idle "
                "inhibited, the watcher (on Mutter's idle monitor) starts nothing",
                watcher.log(),
            )
            e2e.check(watcher.saver() is None, "no saver runs while idle is inhibited")
            e2e.check(inhibit(0), "the inhibitor is released")
            first = e2e.wait_until(watcher.saver, 60)
            e2e.check(first, "then the saver starts", watcher.log())
            e2e.check(
                e2e.wait_until(lambda: gl_driver(first), 60) and watcher.saver() == first,
                "and runs on, its window open with an OpenGL context",
                watcher.log(),
            )
            back = call(*MONITOR, "ResetIdletime") and e2e.wait_until(lambda: e2e.gone(first), 30)
            e2e.check(
                back and watcher.said("the user is back"),
                "the user's return ends it",
                watcher.log(),
            )
            second = e2e.wait_until(
                lambda: (pid := watcher.saver()) not in (None, first) and pid, 60
            )
            e2e.check(second, "the next idle time starts it again", watcher.log())
            e2e.stop(mutter)
            ended = e2e.wait_until(lambda: watcher.process.poll() is not None, 30)
            e2e.check(
                ended
                and watcher.process.returncode == 1
                and watcher.said("the idle watch ended")
                and e2e.gone(second),
                "when the compositor goes, the watcher ends its " "saver and exits with status 1",
                watcher.log(),
            )
    finally:
        e2e.stop(mock)
        e2e.stop(mutter)
e2e.finish()
