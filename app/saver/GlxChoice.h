// The choices the XScreenSaver hack makes about its window, kept apart from
// Xlib so that they can be tested: which GLX configuration of the window's
// own visual to draw with, and which monitor the window is on.
#pragma once

#include <vector>

// What matters of one GLX frame-buffer configuration.
struct GlxConfigTraits {
  unsigned long visualId = 0;
  bool window = false;  // can draw to windows
  bool rgba = false;
  bool doubleBuffer = false;
  int depth = 0;
  int stencil = 0;
  int samples = 0;
};

// Among the configurations of the window's visual, the closest to what the
// view asks for: double-buffered, a depth buffer of at least 16 bits (the
// largest there is), no stencil, no multisampling. -1 when the visual has no
// configuration that can draw RGBA into a window.
int PickConfig(const std::vector<GlxConfigTraits>& configs, unsigned long visualId);

struct MonitorRect {
  int x = 0, y = 0, width = 0, height = 0;
  bool primary = false;
};

// The monitor that holds the point (x, y) of the root window; 0 when none does.
int MonitorAt(const std::vector<MonitorRect>& monitors, int x, int y);
// The primary monitor; 0 when none is marked.
int PrimaryMonitor(const std::vector<MonitorRect>& monitors);
