#!/usr/bin/env python3
"""corvan3d on a private Xvfb display: the window, full screen with the input
that ends it, and the XScreenSaver hack drawing into a given window, the
window named by XSCREENSAVER_WINDOW and the root window, following resizes,
and ending on SIGTERM by that signal.

usage: x11_test.py CORVAN3D"""

import ctypes
import os
import re
import shutil
import signal
import subprocess
import sys
import time

from e2e import Tally, lit_fraction, private_env, screenshot, stop, temp_folder, wait_for_drawing, wait_until, \
    write_png, xvfb

corvan3d = sys.argv[1]
here = os.path.dirname(os.path.abspath(__file__))
t = Tally()
WIDTH, HEIGHT = 1024, 768


def start(args, env):
    return subprocess.Popen([corvan3d] + args, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)


def drawn(process, display, what, box=None, keep=None):
    fraction, shot = wait_for_drawing(display, box)
    ok = t.check(fraction >= 0.002 and process.poll() is None, what,
                 f"lit {fraction:.4f}, exit status {process.poll()}")
    if keep and shot:
        write_png(keep, shot[0], shot[1])
    return ok


def black_outside(display, box, what):
    _, _, rows = screenshot(display)
    outside = lit_fraction(rows, box[2] + 40, 0, WIDTH, HEIGHT) + lit_fraction(rows, 0, box[3] + 40, WIDTH, HEIGHT)
    t.check(outside < 0.0005, what, f"lit {outside:.4f} outside the window")


def ends_by_sigterm(process, what):
    """SIGTERM must end a hack promptly, by the signal, as XScreenSaver expects."""
    process.send_signal(signal.SIGTERM)
    sent = time.monotonic()
    try:
        status = process.wait(5)
    except subprocess.TimeoutExpired:
        status = stop(process, signal.SIGKILL)
    took = time.monotonic() - sent
    t.check(status == -signal.SIGTERM and took <= 1.0, what,
            f"exit status {status}, {took:.2f} s; stderr: {process.stderr.read()[-500:]}")


class XTest:
    """Pointer motion and key presses as a person would make them."""

    def __init__(self, display):
        self.x = ctypes.CDLL("libX11.so.6")
        self.xtst = ctypes.CDLL("libXtst.so.6")
        self.x.XOpenDisplay.restype = ctypes.c_void_p
        self.x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x.XFlush.argtypes = [ctypes.c_void_p]
        self.x.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.x.XStringToKeysym.restype = ctypes.c_ulong
        self.xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int,
                                                   ctypes.c_ulong]
        self.xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
        self.display = self.x.XOpenDisplay(display.encode())

    def move_to(self, x, y):
        self.xtst.XTestFakeMotionEvent(self.display, -1, x, y, 0)
        self.x.XFlush(self.display)

    def press(self, key):
        code = self.x.XKeysymToKeycode(self.display, self.x.XStringToKeysym(key.encode()))
        self.xtst.XTestFakeKeyEvent(self.display, code, 1, 0)
        self.xtst.XTestFakeKeyEvent(self.display, code, 0, 0)
        self.x.XFlush(self.display)


def window_geometry(display, title):
    tree = subprocess.run(["xwininfo", "-root", "-tree", "-display", display], stdout=subprocess.PIPE, text=True,
                          timeout=20).stdout
    found = re.search(r'"' + re.escape(title) + r'".*?(\d+)x(\d+)\+(-?\d+)\+(-?\d+)', tree)
    return tuple(int(v) for v in found.groups()) if found else None


class HelperWindow:
    """A window of our own, as XScreenSaver would make one."""

    def __init__(self, env, width, height):
        self.process = subprocess.Popen([sys.executable, os.path.join(here, "xwindow.py"), str(width), str(height)],
                                        env=env, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.id = self.process.stdout.readline().strip()

    def resize(self, width, height):
        self.process.stdin.write(f"resize {width} {height}\n")
        self.process.stdin.flush()
        self.process.stdout.readline()

    def close(self):
        self.process.stdin.close()
        stop(self.process)


def window_test(env, display, keep):
    saver = start([], env)
    try:
        drawn(saver, display, "the window host draws", keep=keep)
        t.check(window_geometry(display, "Corvan 3D")[:2] == (1280, 720), "in a 1280x720 window",
                window_geometry(display, "Corvan 3D"))
    finally:
        status = stop(saver)
    t.check(status == 0, "the window closes cleanly on SIGTERM", f"{status}: {saver.stderr.read()[-500:]}")


def fullscreen_test(env, display):
    saver = start(["--fullscreen"], env)
    xtest = XTest(display)
    try:
        xtest.move_to(WIDTH // 2, HEIGHT // 2)
        drawn(saver, display, "full screen draws")
        t.check(window_geometry(display, "Corvan 3D") == (WIDTH, HEIGHT, 0, 0), "over the whole screen",
                window_geometry(display, "Corvan 3D"))
        time.sleep(1.0)  # well past the moments of settling
        xtest.move_to(WIDTH // 2 + 2, HEIGHT // 2 + 1)
        time.sleep(1.0)
        t.check(saver.poll() is None, "a nudge of the mouse does not end it")
        xtest.press("a")
        t.check(wait_until(lambda: saver.poll() is not None, 10), "a key ends it")
        t.check(saver.returncode == 0, "cleanly", saver.returncode)
    finally:
        stop(saver)

    saver = start(["-fullscreen"], env)
    try:
        drawn(saver, display, "full screen again")
        time.sleep(1.0)
        xtest.move_to(WIDTH // 2 + 60, HEIGHT // 2 + 40)
        t.check(wait_until(lambda: saver.poll() is not None, 10), "moving the mouse ends it")
    finally:
        stop(saver)


def window_id_test(env, display, root_id):
    window = HelperWindow(env, 320, 240)
    # --window-id wins over XSCREENSAVER_WINDOW, here the root window.
    hack = start(["--root", "--window-id", window.id], dict(env, XSCREENSAVER_WINDOW=str(root_id)))
    try:
        drawn(hack, display, "--window-id: the hack draws into the window", box=(0, 0, 320, 240))
        black_outside(display, (0, 0, 320, 240), "and nowhere else")
        # Without following the resize, the old viewport would stay in the lower left.
        window.resize(800, 600)
        drawn(hack, display, "it follows the window's resize", box=(400, 0, 800, 300))
        ends_by_sigterm(hack, "SIGTERM ends it within a second, by that signal")
    finally:
        stop(hack)
        window.close()


def environment_window_test(env, display):
    window = HelperWindow(env, 400, 300)
    hack = start(["-root"], dict(env, XSCREENSAVER_WINDOW=window.id))
    try:
        drawn(hack, display, "-root draws into the window XSCREENSAVER_WINDOW names", box=(0, 0, 400, 300))
        black_outside(display, (0, 0, 400, 300), "and nowhere else")
        ends_by_sigterm(hack, "SIGTERM ends it within a second, by that signal")
    finally:
        stop(hack)
        window.close()


def root_test(env, display, keep):
    hack = start(["--root"], env)
    try:
        drawn(hack, display, "--root alone draws on the root window", box=(500, 0, WIDTH, HEIGHT), keep=keep)
        ends_by_sigterm(hack, "SIGTERM ends it within a second, by that signal")
    finally:
        stop(hack)


def no_such_window_test(env):
    r = subprocess.run([corvan3d, "--window-id", "0x7fffff"], env=env, stdout=subprocess.PIPE,
                       stderr=subprocess.PIPE, text=True, timeout=30)
    t.check(r.returncode == 1 and "no window 0x7fffff" in r.stderr, "a window id that names nothing is reported",
            f"{r.returncode}: {r.stderr}")


def root_window_id(env):
    info = subprocess.run(["xwininfo", "-root"], env=env, stdout=subprocess.PIPE, text=True, timeout=20).stdout
    return int(re.search(r"Window id: (0x[0-9a-f]+)", info).group(1), 16)


def main():
    for tool in ("Xvfb", "xwd", "xwininfo"):
        if shutil.which(tool) is None:
            t.check(False, f"{tool} is installed (scripts/install-deps)")
            t.finish()
    keep = os.environ.get("CORVAN_E2E_SCREENSHOTS")  # a folder to keep screenshots in
    with temp_folder("corvan3d-e2e-") as home, xvfb(WIDTH, HEIGHT) as display:
        env = private_env(home, DISPLAY=display)
        window_test(env, display, keep and os.path.join(keep, "window.png"))
        fullscreen_test(env, display)
        no_such_window_test(env)
        window_id_test(env, display, root_window_id(env))
        environment_window_test(env, display)
        root_test(env, display, keep and os.path.join(keep, "root.png"))
    t.finish()


main()
