#include "Help.h"

#ifndef CORVAN_VERSION
#error "CORVAN_VERSION must be the project's version"
#endif

const char* HelpText() {
  return "Banknotes falling through space, in a window, full screen, as an XScreenSaver hack\n"
         "or offscreen. The options choose where it runs; what it shows comes from its\n"
         "preferences ($XDG_CONFIG_HOME/corvan3d/baCorvan3D.conf), set in --settings.\n"
         "\n"
         "  (no option)       a 1280x720 window; Esc or closing it quits (without a\n"
         "                    display: 150 frames rendered offscreen, folder named)\n"
         "  --fullscreen      one full-screen view per display; a key, a click or\n"
         "                    moving the mouse quits\n"
         "  --idle            starts --fullscreen after IdleMinutes (settings) without\n"
         "                    input and ends it when the user is back; never locks\n"
         "  --root            an XScreenSaver hack: draws into $XSCREENSAVER_WINDOW,\n"
         "                    else the root window, until SIGTERM\n"
         "  --window-id ID    the hack drawing into window ID (0x... or decimal)\n"
         "  --settings        the settings window\n"
         "  --headless        draws offscreen on a simulated clock, then prints\n"
         "                    frames per second; with:\n"
         "    --frames N      frames to draw (default 100)\n"
         "    --size WxH      frame size (default 1280x720)\n"
         "    --step S        seconds per tick, decimal or fraction (default 1/35)\n"
         "    --seed N        random seed instead of the time\n"
         "    --out DIR       writes DIR/frame-0001.png, ...\n"
         "    --trace FILE    writes the scene's state per frame as JSON lines\n"
         "    --stats         at 10 % and 100 % of the frames: resident memory, GL\n"
         "                    objects alive, whether the scene is still finite\n"
         "  --help, -h        this text\n"
         "  --version         the version\n"
         "\n"
         "Every option may be written with one dash or two. See corvan3d(6).\n";
}

const char* VersionLine() { return "corvan3d " CORVAN_VERSION; }
