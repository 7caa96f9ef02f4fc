#!/usr/bin/env python3
# corvan3d on a private Xvfb display: the window; full screen and the input
# that ends it; the XScreenSaver hack drawing only into the window it is given
# (--window-id before XSCREENSAVER_WINDOW before the root window), following
# its resizes, and ending on SIGTERM by that signal.
#
# usage: x11_test.py CORVAN3D

import re, signal, sys, time

import e2e

CORVAN3D = sys.argv[1]
e2e.need("xwininfo")
screen = e2e.Screen()
env = e2e.private_env(DISPLAY=screen.name)


def geometry():
    # x, y, width and height of the window titled "Corvan 3D".
    said = e2e.run("xwininfo", "-name", "Corvan 3D", "-display", screen.name).stdout
    return tuple(
        map(int, re.findall(r"(?:Absolute upper-left [XY]|Width|Height):\s+(-?\d+)", said))
    )


# moves the pointer to dx, dy from the middle of the 1024x768 screen
def pointer(dx, dy):
    screen.xdo("mousemove", 512 + dx, 384 + dy)


saver = e2e.spawn(CORVAN3D, env=env)
screen.drawn("the window draws")
e2e.expect(geometry()[2:], (1280, 720), "in a 1280x720 window")
e2e.expect(e2e.stop(saver), 0, "and closes cleanly on SIGTERM")

for what, act in (
    ("a key", lambda: screen.xdo("key", "a")),
    ("moving the mouse", lambda: pointer(60, 40)),
):
    pointer(0, 0)
    saver = e2e.spawn(CORVAN3D, "--fullscreen", env=env)
    screen.drawn("full screen draws")
    e2e.expect(geometry(), (0, 0, 1024, 768), "over the whole screen")
    # It ignores motion for 0.75 s from its first frame; after that a nudge of 3 pixels is still too
    # little. Two frames drawn after the nudge show that it has been handled.
    drew = time.monotonic()
    e2e.wait_until(lambda: time.monotonic() > drew + 1, 10)
    pointer(2, 1)
    for _ in range(2):
        shown = screen.image()
        e2e.wait_until(lambda: screen.image() != shown, 30, "it draws on")
    e2e.expect(saver.poll(), None, "a nudge of the mouse does not end it")
    act()
    e2e.expect(e2e.stop(saver, None), 0, f"{what} ends it")

r = e2e.run(CORVAN3D, "--window-id", "0x7fffff", env=env)
e2e.expect((r.returncode, r.stderr), (1, "corvan3d: there is no window 0x7fffff\n"), "no window")


# and paints the window black
def reshape(width, height):
    screen("XResizeWindow", window, width, height)
    screen("XClearWindow", window)


# The hack as XScreenSaver runs it, in a 320x240 window of our own at the top left; each case: the
# arguments, the window XSCREENSAVER_WINDOW names (none: the hack draws on the root window, right of
# ours), the box after the window grows. A hack drawing elsewhere leaves its window black. The root
# window comes last: what is drawn there stays.
window = screen("XCreateSimpleWindow", screen.root, 0, 0, 320, 240, 0, 0, 0)
screen("XMapWindow", window)
for what, args, named, grown in (
    ("XSCREENSAVER_WINDOW", ["-root"], window, None),
    ("--window-id first", ["--root", "--window-id", hex(window)], screen.root, (400, 0, 800, 600)),
    ("the root window", ["--root"], None, None),
):
    reshape(320, 240)
    hack = e2e.spawn(
        CORVAN3D, *args, env=dict(env, XSCREENSAVER_WINDOW=hex(named)) if named else env
    )
    box = (0, 0, 320, 240) if named else (500, 0, 1024, 768)
    screen.drawn(f"the hack draws into {what}", box)
    # the old viewport would stay in the lower left
    if grown:
        reshape(*grown[2:])
        screen.drawn("and follows the window's resize", grown)
    e2e.expect(e2e.stop(hack), -signal.SIGTERM, "SIGTERM ends it, by that signal")
e2e.finish()
