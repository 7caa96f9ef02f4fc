// The hosts of corvan3d. Each creates the views, sizes them, starts them and
// calls animateOneFrame every animation interval on its one thread, then
// destroys them with their GL context current. Each returns the process's
// exit status.
#pragma once

#include "Options.h"

// The window host could not reach a display (SDL has no video).
constexpr int kNoDisplay = -1;

// A resizable 1280 x 720 window, or with fullScreen one borderless view per
// display that any input ends. kNoDisplay when there is no display to use.
int RunWindowHost(bool fullScreen);

// Starts --fullscreen when the user has been idle for the store's
// IdleMinutes, and ends it when they are back, until SIGTERM.
int RunIdleHost();

// A hack drawing into the window XScreenSaver gives it (--window-id, else
// $XSCREENSAVER_WINDOW, else the root window) until SIGTERM.
int RunXScreenSaverHost(const Options& options);

// The settings window is a program of its own, corvan3d-settings, beside
// this one: it takes this process's place.
int StartSettingsWindow();

// Offscreen frames through EGL on a simulated clock.
int RunHeadlessHost(const Options& options);
