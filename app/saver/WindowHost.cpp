// The SDL hosts: a resizable window with one view, or one borderless
// full-screen view per display that, like a screen saver, any input ends.
#include <GL/gl.h>
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "HostCommon.h"
#include "Hosts.h"
#include "host/Corvan3DSSView.h"

namespace {

constexpr int kWindowWidth = 1280;
constexpr int kWindowHeight = 720;

class SdlVideo {
public:
  SdlVideo() : ok(SDL_Init(SDL_INIT_VIDEO) == 0) {}
  ~SdlVideo() {
    if (ok) SDL_Quit();
  }
  SdlVideo(const SdlVideo&) = delete;
  SdlVideo& operator=(const SdlVideo&) = delete;
  const bool ok;
};

struct WindowDeleter {
  void operator()(SDL_Window* window) const { SDL_DestroyWindow(window); }
};
using WindowPtr = std::unique_ptr<SDL_Window, WindowDeleter>;

// The view's surface: the window's GL context, which it owns.
class SdlGLView : public GLView {
public:
  SdlGLView(SDL_Window* window, SDL_GLContext context) : window(window), context(context) {}
  ~SdlGLView() override {
    SDL_GL_MakeCurrent(window, nullptr);
    SDL_GL_DeleteContext(context);
  }
  void MakeCurrent() override { SDL_GL_MakeCurrent(window, context); }
  void FlushBuffer() override { SDL_GL_SwapWindow(window); }
  void SetFrameSize(double, double) override {}  // the window decides its size

private:
  SDL_Window* window;
  SDL_GLContext context;
};

// The services of one window's view; its screen is the display it is on.
class WindowServices : public CommonServices {
public:
  WindowServices(PreferencesStore* store, SDL_Window* window, int swapInterval)
      : CommonServices(store), window(window), swapInterval(swapInterval) {}

  std::unique_ptr<GLView> CreateGLView() override {
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (context == nullptr) return nullptr;
    SDL_GL_SetSwapInterval(swapInterval);
    return std::make_unique<SdlGLView>(window, context);
  }
  int WindowScreenNumber() override {
    const int display = SDL_GetWindowDisplayIndex(window);
    return display < 0 ? 0 : display;
  }
  int MainScreenNumber() override { return 0; }

private:
  SDL_Window* window;
  int swapInterval;
};

// One window and its view; the view goes first, its context with it.
struct Screen {
  WindowPtr window;
  std::unique_ptr<WindowServices> services;
  std::unique_ptr<Corvan3DSSView> view;
};

// Double buffer, 8-8-8 colour, depth of at least 16 bits, nothing else; the
// fixed-function pipeline needs a compatibility context.
void RequestPixelFormat() {
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, 0);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, 0);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
}

ViewSize DrawableSize(SDL_Window* window) {
  int w = 0, h = 0;
  SDL_GL_GetDrawableSize(window, &w, &h);
  return ViewSize{double(w), double(h)};
}

// A view that does not animate leaves its window dark: both buffers black.
void ShowBlack(Screen* screen) {
  screen->view->glView->MakeCurrent();
  for (int i = 0; i < 2; ++i) {
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    SDL_GL_SwapWindow(screen->window.get());
  }
}

bool AddScreen(SDL_Window* window, PreferencesStore* store, int swapInterval,
               std::vector<Screen>* screens) {
  if (window == nullptr) {
    std::fprintf(stderr, "corvan3d: cannot open a window: %s\n", SDL_GetError());
    return false;
  }
  Screen screen;
  screen.window.reset(window);
  screen.services = std::make_unique<WindowServices>(store, window, swapInterval);
  const ViewSize size = DrawableSize(window);
  screen.view = std::make_unique<Corvan3DSSView>(size, false, screen.services.get());
  if (!screen.view->viewAllocated) {
    std::fprintf(stderr, "corvan3d: cannot create an OpenGL context: %s\n", SDL_GetError());
    return false;
  }
  screen.view->setFrameSize(size);
  ShowBlack(&screen);
  screens->push_back(std::move(screen));
  return true;
}

bool OpenScreens(bool fullScreen, PreferencesStore* store, std::vector<Screen>* screens) {
  const Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN;
  if (!fullScreen)
    return AddScreen(SDL_CreateWindow("Corvan 3D", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                      kWindowWidth, kWindowHeight, flags | SDL_WINDOW_RESIZABLE),
                     store, 1, screens);
  const int displays = SDL_GetNumVideoDisplays();
  // Waiting for each display's vertical blank in turn would slow them all.
  const int swapInterval = displays > 1 ? 0 : 1;
  for (int i = 0; i < displays; ++i) {
    SDL_Rect bounds;
    if (SDL_GetDisplayBounds(i, &bounds) != 0) continue;
    SDL_Window* window =
        SDL_CreateWindow("Corvan 3D", bounds.x, bounds.y, bounds.w, bounds.h,
                         flags | SDL_WINDOW_BORDERLESS | SDL_WINDOW_FULLSCREEN_DESKTOP);
    if (!AddScreen(window, store, swapInterval, screens)) return false;
  }
  return !screens->empty();
}

class WindowLoop {
public:
  WindowLoop(std::vector<Screen>* screens, bool fullScreen)
      : screens(*screens), fullScreen(fullScreen), motion(MonotonicSeconds()) {}
  void Run();

private:
  void Handle(const SDL_Event& event);
  void HandleWindowEvent(const SDL_WindowEvent& event);
  Screen* Find(Uint32 windowId);
  bool AnyAnimating() const;

  std::vector<Screen>& screens;
  bool fullScreen;
  MotionGate motion;
  bool quit = false;
};

Screen* WindowLoop::Find(Uint32 windowId) {
  for (Screen& screen : screens)
    if (SDL_GetWindowID(screen.window.get()) == windowId) return &screen;
  return nullptr;
}

bool WindowLoop::AnyAnimating() const {
  for (const Screen& screen : screens)
    if (screen.view->isAnimating()) return true;
  return false;
}

void WindowLoop::HandleWindowEvent(const SDL_WindowEvent& event) {
  Screen* screen = Find(event.windowID);
  if (screen == nullptr) return;
  if (event.event == SDL_WINDOWEVENT_CLOSE) quit = true;
  if (event.event == SDL_WINDOWEVENT_SIZE_CHANGED)
    screen->view->setFrameSize(DrawableSize(screen->window.get()));
  if (event.event == SDL_WINDOWEVENT_EXPOSED && !screen->view->isAnimating()) ShowBlack(screen);
}

void WindowLoop::Handle(const SDL_Event& event) {
  switch (event.type) {
    case SDL_QUIT:  // also what SDL makes of SIGTERM and SIGINT
      quit = true;
      break;
    case SDL_WINDOWEVENT:
      HandleWindowEvent(event.window);
      break;
    case SDL_KEYDOWN:
      quit = quit || fullScreen || event.key.keysym.sym == SDLK_ESCAPE;
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEWHEEL:
    case SDL_FINGERDOWN:
      quit = quit || fullScreen;
      break;
    case SDL_MOUSEMOTION:
      if (fullScreen && motion.Quits(MonotonicSeconds(), event.motion.xrel, event.motion.yrel))
        quit = true;
      break;
    default:
      break;
  }
}

void WindowLoop::Run() {
  for (Screen& screen : screens) screen.view->startAnimation();
  TickPacer pacer(screens.front().view->animationTimeInterval());
  while (!quit) {
    if (AnyAnimating() && pacer.Due(MonotonicSeconds())) {
      pacer.Ticked(MonotonicSeconds());
      for (Screen& screen : screens)
        if (screen.view->isAnimating()) screen.view->animateOneFrame();
    }
    // Sleep until the next tick or an event; with nothing animating, until an event.
    SDL_Event event;
    const bool got =
        AnyAnimating() ? SDL_WaitEventTimeout(&event, pacer.MillisecondsToNext(MonotonicSeconds()))
                       : SDL_WaitEvent(&event);
    if (!got) continue;
    Handle(event);
    while (SDL_PollEvent(&event)) Handle(event);
  }
  for (Screen& screen : screens) screen.view->stopAnimation();
}

}  // namespace

int RunWindowHost(bool fullScreen) {
  // Full-screen windows on several displays must not minimise each other.
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  // SDL holds the desktop's screen saver off by default (an idle inhibitor on
  // Wayland, the X server's idle time reset every 30 s): the desktop's own
  // blanking and lock must still come while the saver or its window runs.
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  // SDL prefers DirectColor visuals for gamma ramps we never set; their
  // colours are only right while their colormap is installed.
  setenv("SDL_VIDEO_X11_NODIRECTCOLOR", "1", 0);
  std::unique_ptr<PreferencesStore> store = OpenPreferences();
  PrefetchViewImages(store.get());
  SdlVideo video;
  if (!video.ok) {
    std::fprintf(stderr, "corvan3d: no display: %s\n", SDL_GetError());
    return kNoDisplay;
  }
  RequestPixelFormat();
  std::vector<Screen> screens;
  const bool opened = OpenScreens(fullScreen, store.get(), &screens);
  KeepGLDriversLoaded();
  if (opened) {
    if (fullScreen) SDL_ShowCursor(SDL_DISABLE);
    WindowLoop(&screens, fullScreen).Run();
  }
  screens.clear();  // views first, each with its context current, then the windows
  return opened ? 0 : 1;
}
