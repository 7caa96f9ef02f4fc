#!/usr/bin/env python3
# XScreenSaver itself runs corvan3d as a hack on a private Xvfb display: the
# daemon, as an unprivileged user of the test's own (it runs no hack as root,
# so the test runs as root to be that user), starts "corvan3d --root" when
# activated, the hack draws in the daemon's window (which covers the root
# window), and it is gone once the saver is deactivated.
#
# usage: xscreensaver_test.py CORVAN3D
# CORVAN3D is a path, or a bare name that XScreenSaver finds in the PATH (an
# installed corvan3d).

import os, shutil, subprocess, sys, tempfile

import e2e

CORVAN3D = os.path.abspath(sys.argv[1]) if "/" in sys.argv[1] else sys.argv[1]
SETTINGS = (
    "mode: one\nselected: 0\ntimeout: 0:10:00\ncycle: 0\nlock: False\nsplash: False\nfade: False\n"
    f'unfade: False\ndpmsEnabled: False\nverbose: True\nprograms: GL: "Corvan 3D" {CORVAN3D} --root \\n\n'
)
e2e.need("xscreensaver", "xscreensaver-command", "pgrep")
USER = e2e.unprivileged_user("XScreenSaver runs no hack as root")

with tempfile.TemporaryDirectory(prefix="corvan3d-xscreensaver-") as home, e2e.xvfb() as screen:
    open(f"{home}/.xscreensaver", "w").write(SETTINGS)
    shutil.chown(home, USER)
    env = [
        f"HOME={home}",
        f"DISPLAY={screen.name}",
        "PATH=/usr/local/bin:/usr/bin:/bin",
        "LIBGL_ALWAYS_SOFTWARE=1",
        f"XDG_CONFIG_HOME={home}/.config",
        f"XDG_DATA_HOME={home}/.local/share",
    ]
    as_user = ["runuser", "-u", USER, "--", "env", "-i", *env]
    daemon = subprocess.Popen(
        [*as_user, "xscreensaver", "-no-splash"]
    )  # saying what it does, shown on failure

    def command(word):
        return e2e.run(*as_user, "xscreensaver-command", word, timeout=15).returncode == 0

    def hacks():
        return e2e.run("pgrep", "-u", USER, "-x", "corvan3d").stdout.split()

    try:
        e2e.check(
            e2e.wait_until(lambda: command("-version"), 20, 0.3), "the XScreenSaver daemon answers"
        )
        e2e.check(
            command("-activate") and len(e2e.wait_until(hacks, 20)) == 1,
            "activated, it runs one hack",
            hacks(),
        )
        screen.drawn("the hack draws")
        e2e.check(len(hacks()) == 1, "and runs on", hacks())
        e2e.check(
            command("-deactivate") and e2e.wait_until(lambda: not hacks(), 10),
            "deactivated, it ends",
            hacks(),
        )
        e2e.check(
            command("-exit") and e2e.wait_until(lambda: daemon.poll() is not None, 10),
            "the daemon exits",
        )
    finally:
        e2e.stop(daemon)
        for pid in hacks():
            os.kill(int(pid), 9)
e2e.finish()
