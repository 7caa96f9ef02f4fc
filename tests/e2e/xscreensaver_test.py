#!/usr/bin/env python3
"""XScreenSaver itself runs corvan3d as a hack on a private Xvfb display: the
daemon, as an unprivileged user (it will not run hacks as root), starts
"corvan3d --root" in its own window when activated, the hack draws, and it
is gone once the saver is deactivated.

usage: xscreensaver_test.py CORVAN3D
CORVAN3D is a path, or a bare name that XScreenSaver finds in the PATH (an
installed corvan3d)."""

import os
import pwd
import shutil
import subprocess
import sys

from e2e import Tally, skip, stop, temp_folder, wait_for_drawing, wait_until, write_png, xvfb

USER = "corvan-e2e"
corvan3d = os.path.abspath(sys.argv[1]) if "/" in sys.argv[1] else sys.argv[1]
t = Tally()


def ensure_user():
    """The unprivileged user the daemon runs as; made when missing (CI runs as root)."""
    try:
        return pwd.getpwnam(USER)
    except KeyError:
        pass
    if os.geteuid() != 0:
        return None
    subprocess.run(["useradd", "--system", "-M", "-s", "/usr/sbin/nologin", USER], check=True, timeout=30)
    return pwd.getpwnam(USER)


def as_user(user, env, args, **kwargs):
    """Runs args as the user (when we are root) with exactly the environment given."""
    if os.geteuid() == 0:
        args = ["runuser", "-u", user.pw_name, "--", "env", "-i"] + [f"{k}={v}" for k, v in env.items()] + args
        env = None
    return subprocess.Popen(args, env=env, **kwargs)


def command(user, env, *words):
    process = as_user(user, env, ["xscreensaver-command"] + list(words), stdout=subprocess.PIPE,
                      stderr=subprocess.STDOUT, text=True)
    try:
        output, _ = process.communicate(timeout=15)
    except subprocess.TimeoutExpired:
        stop(process)
        return False, "timed out"
    return process.returncode == 0, output


def hack_processes(display):
    """corvan3d processes on the display: (pid, state, arguments, environment)."""
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            args = open(f"/proc/{pid}/cmdline", "rb").read().split(b"\0")
            if not args or os.path.basename(args[0]) != b"corvan3d":
                continue
            state = open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()[0]
            environ = dict(e.split(b"=", 1) for e in open(f"/proc/{pid}/environ", "rb").read().split(b"\0") if b"=" in e)
        except OSError:
            continue  # gone meanwhile, or not ours to read
        if environ.get(b"DISPLAY", b"").split(b".")[0] != display.encode():  # ":1" or ":1.0"
            continue
        found.append((int(pid), state, [a.decode() for a in args if a], environ))
    return found


def running_hacks(display):
    return [h for h in hack_processes(display) if h[1] != "Z"]


def configure(home, user):
    """The daemon's settings: just our hack, no fading, no lock, no splash."""
    with open(os.path.join(home, ".xscreensaver"), "w") as f:
        f.write("mode:\t\tone\n"
                "selected:\t0\n"
                "timeout:\t0:10:00\n"
                "cycle:\t\t0\n"
                "lock:\t\tFalse\n"
                "splash:\t\tFalse\n"
                "fade:\t\tFalse\n"
                "unfade:\t\tFalse\n"
                "dpmsEnabled:\tFalse\n"
                "verbose:\tTrue\n"
                f'programs:\tGL: "Corvan 3D" {corvan3d} --root \\n\\\n')
    for root, folders, files in os.walk(home):
        for name in [root] + [os.path.join(root, n) for n in folders + files]:
            os.chown(name, user.pw_uid, user.pw_gid)


def main():
    if shutil.which("xscreensaver") is None:
        skip("xscreensaver is not installed")
    user = ensure_user()
    if user is None:
        t.check(False, f"a user {USER} to run XScreenSaver as (create it, or run this as root)")
        t.finish()
    keep = os.environ.get("CORVAN_E2E_SCREENSHOTS")

    with temp_folder("corvan3d-xscreensaver-") as home, xvfb() as display:
        os.chmod(home, 0o755)
        configure(home, user)
        env = {"HOME": home, "DISPLAY": display, "PATH": "/usr/local/bin:/usr/bin:/bin",
               "XDG_CONFIG_HOME": os.path.join(home, ".config"), "XDG_DATA_HOME": os.path.join(home, ".local/share"),
               "LIBGL_ALWAYS_SOFTWARE": "1"}
        log = open(os.path.join(home, "xscreensaver.log"), "w")
        daemon = as_user(user, env, ["xscreensaver", "-no-splash"], stdout=log, stderr=subprocess.STDOUT)
        try:
            ready = wait_until(lambda: command(user, env, "-version")[0], 20, interval=0.3)
            t.check(ready, "the XScreenSaver daemon answers")
            ok, said = command(user, env, "-activate")
            t.check(ok, "xscreensaver-command -activate", said)

            hacks = wait_until(lambda: running_hacks(display), 20)
            t.check(len(hacks) == 1, "XScreenSaver starts one corvan3d hack", hack_processes(display))
            if hacks:
                pid, state, args, environ = hacks[0]
                t.check(args[1:] == ["--root"], "with the arguments of its programs line", args)
                t.check(environ.get(b"XSCREENSAVER_WINDOW", b"").startswith(b"0x"),
                        "in the window XScreenSaver names", environ.get(b"XSCREENSAVER_WINDOW"))
                t.check(os.stat(f"/proc/{pid}").st_uid == user.pw_uid, f"as {USER}")
            fraction, shot = wait_for_drawing(display)
            t.check(fraction >= 0.002, "the hack draws", f"lit {fraction:.4f}")
            if keep and shot:
                write_png(os.path.join(keep, "xscreensaver.png"), shot[0], shot[1])
            t.check(len(running_hacks(display)) == 1, "and is still running, not a zombie", hack_processes(display))

            ok, said = command(user, env, "-deactivate")
            t.check(ok, "xscreensaver-command -deactivate", said)
            t.check(wait_until(lambda: not running_hacks(display), 10), "the hack is gone once deactivated",
                    hack_processes(display))
            ok, said = command(user, env, "-exit")
            t.check(ok, "xscreensaver-command -exit", said)
            t.check(wait_until(lambda: daemon.poll() is not None, 10), "the daemon exits")
        finally:
            stop(daemon)
            for pid, *_ in running_hacks(display):
                os.kill(pid, 9)
            log.close()
            if t.failed:
                print(open(os.path.join(home, "xscreensaver.log")).read()[-3000:])
    t.finish()


main()
