#!/usr/bin/env python3
"""A plain black X window at the top-left corner of the screen for corvan3d to
draw into, as XScreenSaver's windows are: prints its id, then obeys lines on
standard input ("resize W H") until it ends.

usage: xwindow.py WIDTH HEIGHT   (DISPLAY names the server)"""

import ctypes
import sys

x = ctypes.CDLL("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XOpenDisplay.argtypes = [ctypes.c_char_p]
x.XDefaultRootWindow.restype = ctypes.c_ulong
x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x.XDefaultScreen.argtypes = [ctypes.c_void_p]
x.XBlackPixel.restype = ctypes.c_ulong
x.XBlackPixel.argtypes = [ctypes.c_void_p, ctypes.c_int]
x.XCreateSimpleWindow.restype = ctypes.c_ulong
x.XCreateSimpleWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                                  ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_ulong]
x.XMapWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x.XResizeWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_uint, ctypes.c_uint]
x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]

display = x.XOpenDisplay(None)
if not display:
    sys.exit("xwindow.py: cannot open the display")
black = x.XBlackPixel(display, x.XDefaultScreen(display))
window = x.XCreateSimpleWindow(display, x.XDefaultRootWindow(display), 0, 0, int(sys.argv[1]), int(sys.argv[2]),
                               0, black, black)
x.XMapWindow(display, window)
x.XSync(display, 0)
print(hex(window), flush=True)

for line in sys.stdin:
    words = line.split()
    if len(words) == 3 and words[0] == "resize":
        x.XResizeWindow(display, window, int(words[1]), int(words[2]))
        x.XSync(display, 0)
        print("resized", flush=True)
