#!/usr/bin/env python3
# corvan3d on a private Xvfb display: the window; full screen and the input
# that ends it; the XScreenSaver hack drawing only into the window it is given
# (--window-id before XSCREENSAVER_WINDOW before the root window), following
# its resizes, and ending on SIGTERM by that signal.
#
# usage: x11_test.py CORVAN3D

import re, signal, subprocess, sys, tempfile, time

import e2e

CORVAN3D = sys.argv[1]
WIDTH, HEIGHT = 1024, 768
e2e.need("xwininfo")


def start(env, *args):
    return subprocess.Popen(
        [CORVAN3D, *args], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True
    )


def geometry(display):
    # x, y, width and height of the window titled "Corvan 3D".
    said = e2e.run("xwininfo", "-name", "Corvan 3D", "-display", display).stdout
    return tuple(
        int(n) for n in re.findall(r"(?:Absolute upper-left [XY]|Width|Height):\s+(-?\d+)", said)
    )


with tempfile.TemporaryDirectory(prefix="corvan3d-e2e-") as home, e2e.xvfb(WIDTH, HEIGHT) as screen:
    env = e2e.private_env(home, DISPLAY=screen.name)
    saver = start(env)
    screen.drawn("the window draws", process=saver)
    e2e.check(
        geometry(screen.name)[2:] == (1280, 720), "in a 1280x720 window", geometry(screen.name)
    )
    e2e.check(
        e2e.stop(saver) == 0,
        "and closes cleanly on SIGTERM",
        f"{saver.returncode} {saver.stderr.read()[-400:]}",
    )

    def pointer(dx, dy):  # moves the pointer to dx, dy from the middle of the screen
        screen("XTestFakeMotionEvent", -1, WIDTH // 2 + dx, HEIGHT // 2 + dy, 0)

    key = screen("XKeysymToKeycode", 0x61)  # the keysym of "a"
    for what, act in (
        ("a key", lambda: [screen("XTestFakeKeyEvent", key, down, 0) for down in (1, 0)]),
        ("moving the mouse", lambda: pointer(60, 40)),
    ):
        pointer(0, 0)
        saver = start(env, "--fullscreen")
        screen.drawn("full screen draws", process=saver)
        e2e.check(
            geometry(screen.name) == (0, 0, WIDTH, HEIGHT),
            "over the whole screen",
            geometry(screen.name),
        )
        time.sleep(1.0)  # well past the moments of settling
        pointer(2, 1)
        time.sleep(1.0)
        e2e.check(saver.poll() is None, "a nudge of the mouse does not end it")
        act()
        e2e.check(
            e2e.wait_until(lambda: saver.poll() is not None, 10) and saver.returncode == 0,
            f"{what} ends it cleanly",
            saver.poll(),
        )
        e2e.stop(saver)

    r = e2e.run(CORVAN3D, "--window-id", "0x7fffff", env=env, timeout=30)
    e2e.check(
        r.returncode == 1 and "no window 0x7fffff" in r.stderr,
        "a window id naming nothing is said",
        r.stderr,
    )

    def reshape(width, height):  # and paints the window black
        screen("XResizeWindow", window, width, height)
        screen("XClearWindow", window)

    # The hack as XScreenSaver runs it, in a window of our own at the top left; each case: the
    # window named, the box the hack must draw in, the box after the window grows. The root
    # window comes last: what is drawn there stays.
    window = screen("XCreateSimpleWindow", screen.root, 0, 0, 320, 240, 0, 0, 0)
    screen("XMapWindow", window)
    for what, args, named, box, grown in (
        ("XSCREENSAVER_WINDOW", ["-root"], window, (0, 0, 320, 240), None),
        (
            "--window-id before XSCREENSAVER_WINDOW",
            ["--root", "--window-id", hex(window)],
            screen.root,
            (0, 0, 320, 240),
            (400, 0, 800, 600),
        ),
        ("the root window", ["--root"], None, (500, 0, WIDTH, HEIGHT), None),
    ):
        reshape(320, 240)
        hack = start(dict(env, XSCREENSAVER_WINDOW=hex(named)) if named else env, *args)
        screen.drawn(f"the hack draws into {what}", box, hack)
        if box[2] < WIDTH:
            outside = screen.lit((box[2] + 40, 0, WIDTH, HEIGHT)) + screen.lit(
                (0, box[3] + 40, WIDTH, HEIGHT)
            )
            e2e.check(outside < 0.0005, "and nowhere else", f"lit {outside:.4f} outside")
        if grown:  # the old viewport would stay in the lower left
            reshape(*grown[2:])
            screen.drawn("and follows the window's resize", grown, hack)
        sent = time.monotonic()
        status = e2e.stop(hack, timeout=5)
        e2e.check(
            status == -signal.SIGTERM and time.monotonic() - sent <= 1.0,
            "SIGTERM ends it within a second, " "by that signal",
            f"{status} after {time.monotonic() - sent:.2f} s: {hack.stderr.read()[-500:]}",
        )
e2e.finish()
