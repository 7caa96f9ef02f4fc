// The XScreenSaver hack: one view drawing straight into a window it is given,
// with a GLX context for that window's own visual. It follows the window's
// resizes, takes no input, and ends on SIGTERM by that very signal, as
// XScreenSaver expects of its hacks.
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "GlxChoice.h"
#include "HostCommon.h"
#include "Hosts.h"
#include "host/Corvan3DSSView.h"

namespace {

// --- signals ---------------------------------------------------------------------

volatile sig_atomic_t gStopSignal = 0;
int gWakePipe[2] = {-1, -1};

void OnStopSignal(int signal) {
  const int saved = errno;
  gStopSignal = signal;
  const char byte = 0;
  if (write(gWakePipe[1], &byte, 1) < 0) {
    // The pipe is full: the loop is awake already.
  }
  errno = saved;
}

// SIGTERM and SIGINT stop the loop through a flag and a pipe the loop polls.
bool CatchStopSignals() {
  if (pipe(gWakePipe) != 0) return false;
  struct sigaction action = {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  return sigaction(SIGTERM, &action, nullptr) == 0 && sigaction(SIGINT, &action, nullptr) == 0;
}

// Lets the signal that stopped us end the process, so that XScreenSaver sees
// a hack killed by its SIGTERM rather than one that exited.
void Redeliver(int signal) {
  std::signal(signal, SIG_DFL);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, signal);
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
  raise(signal);
}

// --- X ---------------------------------------------------------------------------

// Xlib's default handler exits; a hack must not die of a stale window id.
// The calls that matter check their own results.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

struct DisplayCloser {
  void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

template <typename T>
struct XFreer {
  void operator()(T* p) const { XFree(p); }
};

unsigned long WindowFromEnvironment(Display* display) {
  const char* text = std::getenv("XSCREENSAVER_WINDOW");
  unsigned long id = 0;
  if (text != nullptr && *text != '\0') {
    if (ParseWindowId(text, &id)) return id;
    std::fprintf(
        stderr,
        "corvan3d: XSCREENSAVER_WINDOW=\"%s\" is no window id; drawing on the root window\n", text);
  }
  return DefaultRootWindow(display);
}

std::vector<GlxConfigTraits> DescribeConfigs(Display* display, GLXFBConfig* configs, int count) {
  std::vector<GlxConfigTraits> traits(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    auto get = [&](int attribute) {
      int value = 0;
      glXGetFBConfigAttrib(display, configs[i], attribute, &value);
      return value;
    };
    GlxConfigTraits& t = traits[size_t(i)];
    t.visualId = static_cast<unsigned long>(get(GLX_VISUAL_ID));
    t.window = (get(GLX_DRAWABLE_TYPE) & GLX_WINDOW_BIT) != 0;
    t.rgba = (get(GLX_RENDER_TYPE) & GLX_RGBA_BIT) != 0;
    t.doubleBuffer = get(GLX_DOUBLEBUFFER) != 0;
    t.depth = get(GLX_DEPTH_SIZE);
    t.stencil = get(GLX_STENCIL_SIZE);
    t.samples = get(GLX_SAMPLES);
  }
  return traits;
}

// The monitors of the screen, as RandR 1.5 lists them; empty without it.
std::vector<MonitorRect> Monitors(Display* display, Window root) {
  int event = 0, error = 0, major = 0, minor = 0;
  std::vector<MonitorRect> rects;
  if (!XRRQueryExtension(display, &event, &error) || !XRRQueryVersion(display, &major, &minor) ||
      major * 100 + minor < 105)
    return rects;
  int count = 0;
  std::unique_ptr<XRRMonitorInfo, decltype(&XRRFreeMonitors)> monitors(
      XRRGetMonitors(display, root, True, &count), &XRRFreeMonitors);
  for (int i = 0; monitors && i < count; ++i) {
    const XRRMonitorInfo& m = monitors.get()[i];
    rects.push_back(MonitorRect{m.x, m.y, m.width, m.height, m.primary != 0});
  }
  return rects;
}

// --- the view's surface and services ----------------------------------------------

class GlxGLView : public GLView {
public:
  GlxGLView(Display* display, Window window, GLXContext context, bool doubleBuffer)
      : display(display), window(window), context(context), doubleBuffer(doubleBuffer) {}
  ~GlxGLView() override {
    glXMakeContextCurrent(display, None, None, nullptr);
    glXDestroyContext(display, context);
  }
  void MakeCurrent() override { glXMakeContextCurrent(display, window, window, context); }
  // A single-buffered visual shows what was drawn once it is flushed.
  void FlushBuffer() override {
    if (doubleBuffer)
      glXSwapBuffers(display, window);
    else
      glFlush();
  }
  void SetFrameSize(double, double) override {}  // the window's owner sizes it

private:
  Display* display;
  Window window;
  GLXContext context;
  bool doubleBuffer;
};

class XWindowServices : public CommonServices {
public:
  XWindowServices(PreferencesStore* store, Display* display, Window window, GLXFBConfig config,
                  bool doubleBuffer)
      : CommonServices(store),
        display(display),
        window(window),
        config(config),
        doubleBuffer(doubleBuffer) {}

  std::unique_ptr<GLView> CreateGLView() override {
    GLXContext context = glXCreateNewContext(display, config, GLX_RGBA_TYPE, nullptr, True);
    if (context == nullptr) return nullptr;
    return std::make_unique<GlxGLView>(display, window, context, doubleBuffer);
  }

  // Monitors are numbered as RandR lists them; the primary one is the main screen.
  int WindowScreenNumber() override {
    XWindowAttributes attributes;
    Window child = 0;
    int x = 0, y = 0;
    const Window root = DefaultRootWindow(display);
    if (!XGetWindowAttributes(display, window, &attributes) ||
        !XTranslateCoordinates(display, window, root, attributes.width / 2, attributes.height / 2,
                               &x, &y, &child))
      return MainScreenNumber();
    return MonitorAt(Monitors(display, root), x, y);
  }
  int MainScreenNumber() override {
    return PrimaryMonitor(Monitors(display, DefaultRootWindow(display)));
  }

private:
  Display* display;
  Window window;
  GLXFBConfig config;
  bool doubleBuffer;
};

// --- the hack ----------------------------------------------------------------------

class Hack {
public:
  Hack(Display* display, Window window) : display(display), window(window) {}

  bool Start(bool preview);
  void Loop();

private:
  bool ChooseConfig(const XWindowAttributes& attributes, GLXFBConfig* config, bool* doubleBuffer);
  bool HandleEvents();  // false once the window is gone
  void Wait(int milliseconds);

  Display* display;
  Window window;
  std::unique_ptr<PreferencesStore> store;
  std::unique_ptr<XWindowServices> services;
  std::unique_ptr<Corvan3DSSView> view;  // destroyed first, with its context current
  int width = 0, height = 0;
};

bool Hack::ChooseConfig(const XWindowAttributes& attributes, GLXFBConfig* config,
                        bool* doubleBuffer) {
  const unsigned long visualId = XVisualIDFromVisual(attributes.visual);
  int count = 0;
  std::unique_ptr<GLXFBConfig, XFreer<GLXFBConfig>> configs(
      glXGetFBConfigs(display, XScreenNumberOfScreen(attributes.screen), &count));
  if (!configs) count = 0;
  const std::vector<GlxConfigTraits> traits = DescribeConfigs(display, configs.get(), count);
  const int chosen = PickConfig(traits, visualId);
  if (chosen < 0) {
    std::fprintf(stderr, "corvan3d: the window's visual 0x%lx cannot be drawn with OpenGL\n",
                 visualId);
    return false;
  }
  *config = configs.get()[chosen];
  *doubleBuffer = traits[size_t(chosen)].doubleBuffer;
  return true;
}

bool Hack::Start(bool preview) {
  store = OpenPreferences();
  PrefetchViewImages(store.get());
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(display, window, &attributes)) {
    std::fprintf(stderr, "corvan3d: there is no window 0x%lx\n", window);
    return false;
  }
  GLXFBConfig config = nullptr;
  bool doubleBuffer = false;
  if (!ChooseConfig(attributes, &config, &doubleBuffer)) return false;
  XSelectInput(display, window, StructureNotifyMask);

  services = std::make_unique<XWindowServices>(store.get(), display, window, config, doubleBuffer);
  width = attributes.width;
  height = attributes.height;
  const ViewSize size{double(width), double(height)};
  view = std::make_unique<Corvan3DSSView>(size, preview, services.get());
  if (!view->viewAllocated) {
    std::fprintf(stderr, "corvan3d: cannot create an OpenGL context for window 0x%lx\n", window);
    return false;
  }
  KeepGLDriversLoaded();
  view->setFrameSize(size);
  view->startAnimation();
  return true;
}

bool Hack::HandleEvents() {
  while (XPending(display) > 0) {
    XEvent event;
    XNextEvent(display, &event);
    if (event.type == DestroyNotify && event.xdestroywindow.window == window) return false;
    if (event.type != ConfigureNotify || event.xconfigure.window != window) continue;
    if (event.xconfigure.width == width && event.xconfigure.height == height) continue;
    width = event.xconfigure.width;
    height = event.xconfigure.height;
    view->setFrameSize(ViewSize{double(width), double(height)});
  }
  return true;
}

// Sleeps until the next tick, an X event or a stop signal.
void Hack::Wait(int milliseconds) {
  pollfd fds[2] = {{ConnectionNumber(display), POLLIN, 0}, {gWakePipe[0], POLLIN, 0}};
  poll(fds, 2, milliseconds);
}

void Hack::Loop() {
  TickPacer pacer(view->animationTimeInterval());
  while (gStopSignal == 0) {
    if (view->isAnimating() && pacer.Due(MonotonicSeconds())) {
      pacer.Ticked(MonotonicSeconds());
      view->animateOneFrame();
    }
    if (!HandleEvents()) return;
    // A view that stopped (another monitor than the main one) waits for the signal.
    if (gStopSignal == 0)
      Wait(view->isAnimating() ? pacer.MillisecondsToNext(MonotonicSeconds()) : -1);
  }
}

}  // namespace

int RunXScreenSaverHost(const Options& options) {
  if (!CatchStopSignals()) {
    std::perror("corvan3d: cannot catch SIGTERM");
    return 1;
  }
  XSetErrorHandler(IgnoreXError);
  DisplayPtr display(XOpenDisplay(nullptr));
  if (!display) {
    std::fprintf(stderr, "corvan3d: cannot open the X display \"%s\"\n", XDisplayName(nullptr));
    return 1;
  }
  const bool given = options.windowId != 0;
  const Window window = given ? Window(options.windowId) : WindowFromEnvironment(display.get());
  {
    // XScreenSaver's settings dialog hands its small preview window to --window-id.
    Hack hack(display.get(), window);
    if (!hack.Start(given)) return 1;
    hack.Loop();
  }
  display.reset();
  if (gStopSignal != 0) Redeliver(gStopSignal);
  return 0;
}
