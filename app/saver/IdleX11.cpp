// The idle watch on X11 desktops without a better one: the X server's own
// count of the time since the last input (MIT-SCREEN-SAVER, through libXss),
// read once a second. Where an XScreenSaver daemon runs, it blanks the
// screen and runs the saver as its hack itself, so this watch stays out.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>
#include <glib.h>

#include <cstdio>
#include <cstdlib>

#include "IdleBackends.h"

namespace {

constexpr guint kPollMs = 1000;

// Called by Xlib when the connection to the X server breaks. Xlib's default
// would exit at once; the watcher instead ends its saver first.
bool gDisplayBroken = false;
int QuietIOError(Display*) { return 0; }
void NoteBrokenDisplay(Display*, void*) { gDisplayBroken = true; }

// The XScreenSaver daemon marks a window of its own, a child of the root
// window, with its version; xscreensaver-command finds it the same way.
std::string XScreenSaverVersion(Display* display) {
  const Atom property = XInternAtom(display, "_SCREENSAVER_VERSION", False);
  Window root = DefaultRootWindow(display), parent = 0, *children = nullptr;
  unsigned count = 0;
  std::string version;
  if (XQueryTree(display, root, &root, &parent, &children, &count) == 0) return version;
  for (unsigned i = 0; i < count && version.empty(); ++i) {
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* value = nullptr;
    const int status = XGetWindowProperty(display, children[i], property, 0, 64, False, XA_STRING,
                                          &type, &format, &items, &after, &value);
    if (status == Success && type == XA_STRING && value != nullptr)
      version = reinterpret_cast<char*>(value);
    if (value != nullptr) XFree(value);
  }
  if (children != nullptr) XFree(children);
  return version;
}

class X11Idle : public IdleWatch {
public:
  explicit X11Idle(Display* display) : display(display), info(XScreenSaverAllocInfo()) {}
  ~X11Idle() override;

  std::string Name() const override {
    return std::string("X11 MIT-SCREEN-SAVER on ") + DisplayString(display);
  }
  bool Watch(unsigned seconds, IdleListener* listener, std::string* why) override;

private:
  static gboolean Poll(gpointer data) { return static_cast<X11Idle*>(data)->Poll(); }
  gboolean Poll();
  bool DaemonTakesOver();

  Display* display;
  XScreenSaverInfo* info;
  IdleListener* listener = nullptr;
  unsigned long idleMs = 0;
  unsigned long lastIdle = 0;
  bool idle = false;
  bool daemonSaid = false;
  guint timer = 0;
};

X11Idle::~X11Idle() {
  if (timer != 0) g_source_remove(timer);
  XFree(info);
  if (!gDisplayBroken) XCloseDisplay(display);
}

bool X11Idle::Watch(unsigned seconds, IdleListener* watcher, std::string*) {
  listener = watcher;
  idleMs = seconds * 1000ul;
  timer = g_timeout_add(kPollMs, Poll, this);
  return true;
}

gboolean X11Idle::Poll() {
  const Status got = XScreenSaverQueryInfo(display, DefaultRootWindow(display), info);
  if (gDisplayBroken || got == 0) {
    timer = 0;
    listener->WatchLost(std::string("lost X display ") + DisplayString(display));
    return G_SOURCE_REMOVE;
  }
  const unsigned long now = info->idle;
  if (idle && now < lastIdle) {
    idle = false;
    listener->UserActive();
  } else if (!idle && now >= idleMs && !DaemonTakesOver()) {
    idle = true;
    listener->UserIdle();
  }
  lastIdle = now;
  return G_SOURCE_CONTINUE;
}

// A daemon started after the watcher: it blanks the screen itself, so the
// watcher stays out while it runs.
bool X11Idle::DaemonTakesOver() {
  const std::string version = XScreenSaverVersion(display);
  if (!version.empty() && !daemonSaid)
    std::fprintf(
        stderr, "corvan3d: XScreenSaver %s now runs on %s: it starts the saver, not this watcher\n",
        version.c_str(), DisplayString(display));
  daemonSaid = !version.empty();
  return daemonSaid;
}

}  // namespace

std::unique_ptr<IdleWatch> OpenX11Idle(std::string* looked, std::string* handOver) {
  const char* name = std::getenv("DISPLAY");
  if (name == nullptr || *name == '\0') {
    *looked += "no X display (DISPLAY is not set)";
    return nullptr;
  }
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    *looked += std::string("cannot open X display ") + name;
    return nullptr;
  }
  XSetIOErrorHandler(QuietIOError);
  XSetIOErrorExitHandler(display, NoteBrokenDisplay, nullptr);
  int events = 0, errors = 0;
  if (!XScreenSaverQueryExtension(display, &events, &errors)) {
    *looked += std::string("X display ") + name + " has no MIT-SCREEN-SAVER extension";
    XCloseDisplay(display);
    return nullptr;
  }
  const std::string version = XScreenSaverVersion(display);
  if (!version.empty()) {
    *handOver = "XScreenSaver " + version + " runs on " + name +
                " and starts the saver itself (corvan3d --root in ~/.xscreensaver's programs)";
    XCloseDisplay(display);
    return nullptr;
  }
  return std::make_unique<X11Idle>(display);
}
