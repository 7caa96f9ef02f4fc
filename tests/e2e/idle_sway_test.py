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

import glob, json, os, shutil, subprocess, sys

import e2e

CORVAN3D = sys.argv[1]
LOGIND = ["org.freedesktop.login1", "/org/freedesktop/login1", "org.freedesktop.login1.Manager"]
e2e.need("sway", "swaymsg", "swayidle", "wtype", "dbus-daemon", "gdbus", module="dbusmock")
USER = e2e.unprivileged_user("sway refuses to run as root")


def inhibitors(what, method="org.freedesktop.DBus.Properties.Set"):
    # Sets what the mock logind on the test's system bus says is blocked; True when it answered.
    call = f"gdbus call --system -d {LOGIND[0]} -o {LOGIND[1]} -m {method} {LOGIND[2]}"
    return e2e.run(*call.split(), "BlockInhibited", f"<'{what}'>", env=env).returncode == 0


def saver_windows():
    # The full screen modes of the saver's windows in sway's tree (1: full screen).
    todo = [json.loads(e2e.run("swaymsg", "-s", socket, "-r", "-t", "get_tree", env=env).stdout)]
    for node in todo:
        todo += node.get("nodes", []) + node.get("floating_nodes", [])
    return [node.get("fullscreen_mode") for node in todo if node.get("app_id") == "corvan3d"]


home = e2e.make_home()
runtime = f"{home}/runtime"
# for the user to reach its runtime folder
os.chmod(home, 0o711)
os.mkdir(runtime, 0o700)
shutil.chown(runtime, USER)
open(f"{home}/sway.conf", "w").write("output * bg #000000 solid_color\n")
compositor = e2e.spawn(
    *f"runuser -u {USER} -- env -i HOME={home} XDG_RUNTIME_DIR={runtime}".split(),
    *"PATH=/usr/bin:/bin WLR_BACKENDS=headless WLR_RENDERER=pixman".split(),
    *f"WLR_LIBINPUT_NO_DEVICES=1 sway -c {home}/sway.conf".split(),
    stderr=open(f"{home}/sway.log", "w"),
)
bus = e2e.spawn(
    *"dbus-daemon --session --nofork --print-address=1".split(), stdout=subprocess.PIPE, text=True
)
# sway's IPC socket, made once the Wayland display (the first of its private folder) is up
ipc = lambda: glob.glob(f"{runtime}/sway-ipc.*")
if not e2e.wait_until(lambda: compositor.poll() is not None or ipc(), 60) or not ipc():
    e2e.skip(f"sway did not start: {open(f'{home}/sway.log').read()[-300:]!r}")
socket = ipc()[0]
env = e2e.private_env(
    home,
    WAYLAND_DISPLAY=f"{runtime}/wayland-1",
    SDL_VIDEODRIVER="wayland",
    DBUS_SYSTEM_BUS_ADDRESS=bus.stdout.readline().strip(),
)
e2e.spawn("/usr/bin/python3", "-m", "dbusmock", "--system", *LOGIND, env=env)
adding = "org.freedesktop.DBus.Mock.AddProperty"
e2e.wait_until(lambda: inhibitors("handle-power-key:idle", adding), 30, 'logind holds "idle"')


def shows(pid):
    # Full screen, and the desktop's idle timer still fires over it.
    e2e.wait_until(lambda: saver_windows() == [1], 60, "full screen")
    e2e.spawn(
        "swayidle", "timeout", "2", f"touch {home}/locked", env=env, stderr=subprocess.DEVNULL
    )
    e2e.wait_until(lambda: os.path.exists(f"{home}/locked"), 60, "swayidle fires")


e2e.Watcher(CORVAN3D, env).cycle(
    "Wayland org_kde_kwin_idle",
    shows,
    lambda: e2e.run("wtype", "a", env=env),
    lambda: inhibitors("handle-power-key"),
)
e2e.finish()
