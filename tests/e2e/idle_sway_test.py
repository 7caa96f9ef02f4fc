#!/usr/bin/env python3
# corvan3d --idle under sway 1.7, headless (run as the tests' unprivileged
# user: sway refuses root), through KDE's org_kde_kwin_idle protocol: while
# logind (a mock, on a system bus of the test's own) holds an "idle"
# inhibitor, nothing starts; once it is released the saver starts full screen
# through SDL's Wayland driver; the desktop's own idle timer (swayidle, as a
# lock would use it) still fires over the saver; a key (wtype) ends it, and
# the next idle time starts it again.
#
# usage: idle_sway_test.py CORVAN3D

import json, os, shutil, subprocess, sys, tempfile

import e2e

CORVAN3D = sys.argv[1]
LOGIND = ["org.freedesktop.login1", "/org/freedesktop/login1", "org.freedesktop.login1.Manager"]
e2e.need("sway", "swaymsg", "swayidle", "wtype", "dbus-daemon", "gdbus")
if e2e.run("/usr/bin/python3", "-c", "import dbusmock").returncode != 0:
    e2e.skip("python3-dbusmock not installed (scripts/install-deps installs it)")
USER = e2e.unprivileged_user("sway refuses to run as root")


def logind(method, *args):
    # A call to the mock logind on the test's system bus; True when it answered.
    return (
        e2e.run(
            "gdbus",
            "call",
            "--system",
            "-d",
            LOGIND[0],
            "-o",
            LOGIND[1],
            "-m",
            method,
            *args,
            env=env,
            timeout=30,
        ).returncode
        == 0
    )


def saver_window():
    # The saver's window in sway's tree: (its app_id, whether it is full screen), or None.
    said = e2e.run("swaymsg", "-s", socket, "-r", "-t", "get_tree", env=env).stdout
    todo = [json.loads(said)] if said.strip() else []
    while todo:
        node = todo.pop()
        if node.get("app_id") == "corvan3d":
            return node["app_id"], node.get("fullscreen_mode") == 1
        todo += node.get("nodes", []) + node.get("floating_nodes", [])
    return None


with tempfile.TemporaryDirectory(prefix="corvan3d-idle-sway-") as home:
    runtime = f"{home}/runtime"
    os.chmod(home, 0o711)  # for the user to reach its runtime folder
    os.mkdir(runtime, 0o700)
    shutil.chown(runtime, USER)
    open(f"{home}/sway.conf", "w").write("output * bg #000000 solid_color\n")
    compositor = subprocess.Popen(
        [
            "runuser",
            "-u",
            USER,
            "--",
            "env",
            "-i",
            f"HOME={home}",
            f"XDG_RUNTIME_DIR={runtime}",
            "PATH=/usr/bin:/bin",
            "WLR_BACKENDS=headless",
            "WLR_RENDERER=pixman",
            "WLR_LIBINPUT_NO_DEVICES=1",
            "sway",
            "-c",
            f"{home}/sway.conf",
        ],
        stdout=subprocess.DEVNULL,
        stderr=open(f"{home}/sway.log", "w"),
    )
    bus = subprocess.Popen(
        ["dbus-daemon", "--session", "--nofork", "--print-address=1"],
        stdout=subprocess.PIPE,
        text=True,
    )
    children = [bus]
    try:

        def sockets():  # the Wayland display's name and the IPC socket's path, once both are there
            names = os.listdir(runtime)
            display = next(
                (n for n in names if n.startswith("wayland-") and not n.endswith(".lock")), None
            )
            ipc = next((f"{runtime}/{n}" for n in names if n.startswith("sway-ipc")), None)
            return display and ipc and (display, ipc)

        display, socket = (
            e2e.wait_until(lambda: compositor.poll() is not None or sockets(), 60)
            and sockets()
            or (0, 0)
        )
        if not display:
            e2e.skip(f"sway did not start: {open(f'{home}/sway.log').read()[-300:]!r}")
        env = e2e.sdl_wayland_leaks(
            e2e.private_env(
                home,
                WAYLAND_DISPLAY=f"{runtime}/{display}",
                SDL_VIDEODRIVER="wayland",
                DBUS_SYSTEM_BUS_ADDRESS=bus.stdout.readline().strip(),
            ),
            home,
        )
        children.append(
            subprocess.Popen(
                ["/usr/bin/python3", "-m", "dbusmock", "--system", *LOGIND],
                env=env,
                stdout=subprocess.DEVNULL,
            )
        )
        e2e.check(
            e2e.wait_until(
                lambda: logind(
                    "org.freedesktop.DBus.Mock.AddProperty",
                    LOGIND[2],
                    "BlockInhibited",
                    "<'handle-power-key:idle'>",
                ),
                30,
            ),
            'logind (a mock) holds "idle"',
        )
        with e2e.Watcher(CORVAN3D, env) as watcher:
            held = e2e.wait_until(lambda: watcher.said("holds the saver off"), 60)
            e2e.check(
                held and watcher.said("through Wayland org_kde_kwin_idle"),
                "idle, with an inhibitor held, "
                "the watcher (on org_kde_kwin_idle) starts nothing",
                watcher.log(),
            )
            e2e.check(watcher.saver() is None, "no saver runs while it is held")
            e2e.check(
                logind(
                    "org.freedesktop.DBus.Properties.Set",
                    LOGIND[2],
                    "BlockInhibited",
                    "<'handle-power-key'>",
                ),
                "the inhibitor is released",
            )
            first = e2e.wait_until(watcher.saver, 60)
            e2e.check(first, "then the saver starts", watcher.log())
            e2e.check(
                e2e.wait_until(saver_window, 60) == ("corvan3d", True),
                "its window covers the screen",
                saver_window(),
            )
            locked = f"{home}/locked"
            children.append(
                subprocess.Popen(
                    ["swayidle", "timeout", "2", f"touch {locked}"],
                    env=env,
                    stdout=subprocess.DEVNULL,
                    stderr=subprocess.DEVNULL,
                )
            )
            e2e.check(
                e2e.wait_until(lambda: os.path.exists(locked), 60) and watcher.saver() == first,
                "the desktop's own idle timer (swayidle) fires while the saver runs",
                watcher.log(),
            )
            e2e.run("wtype", "a", env=env)
            e2e.check(e2e.wait_until(lambda: e2e.gone(first), 30), "a key ends it", watcher.log())
            second = e2e.wait_until(
                lambda: (pid := watcher.saver()) not in (None, first) and pid, 60
            )
            e2e.check(second, "the next idle time starts it again", watcher.log())
            e2e.check(e2e.stop(watcher.process) == 0, "SIGTERM ends the watcher", watcher.log())
    finally:
        for child in children:
            e2e.stop(child)
        e2e.stop(compositor)
e2e.finish()
