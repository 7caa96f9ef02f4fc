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

import os, shutil, sys

import e2e

CORVAN3D = os.path.abspath(sys.argv[1]) if "/" in sys.argv[1] else sys.argv[1]
SETTINGS = (
    "mode: one\nselected: 0\ncycle: 0\nlock: False\nfade: False\nunfade: False\n"
    "dpmsEnabled: False\n"
    f'programs: GL: "Corvan 3D" {CORVAN3D} --root \\n\n'
)
e2e.need("xscreensaver", "xscreensaver-command", "pgrep")
USER = e2e.unprivileged_user("XScreenSaver runs no hack as root")
home, screen = e2e.make_home(), e2e.Screen()
open(f"{home}/.xscreensaver", "w").write(SETTINGS)
shutil.chown(home, USER)
as_user = f"runuser -u {USER} -- env -i HOME={home} DISPLAY={screen.name} LIBGL_ALWAYS_SOFTWARE=1"
as_user = [*as_user.split(), "PATH=/usr/local/bin:/usr/bin:/bin", f"XDG_CONFIG_HOME={home}/.config"]
# says what it does
e2e.spawn(*as_user, "xscreensaver", "-no-splash", stdout=None)


def command(word):
    return e2e.run(*as_user, "xscreensaver-command", word, timeout=30).returncode == 0


def hacks():
    return e2e.run("pgrep", "-u", USER, "-x", "corvan3d").stdout.split()


e2e.wait_until(lambda: command("-version"), 60, "the XScreenSaver daemon answers")
command("-activate")
e2e.wait_until(hacks, 60, "activated, it runs the hack")
screen.drawn("the hack draws")
command("-deactivate")
e2e.wait_until(lambda: not hacks(), 60, "deactivated, the hack ends")
e2e.finish()
