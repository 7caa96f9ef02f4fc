// What a screen saver view needs from the host that runs it, and the base
// class the hosts drive. Each host (a window, full screen, an XScreenSaver
// window, an offscreen buffer, a test) provides these services; the view's
// own logic is the same everywhere.
#pragma once

#include <memory>
#include <string>

class Network;
class SheetWindow;
class Toolkit;

// The view's drawing surface and its OpenGL context.
class GLView {
public:
  virtual ~GLView() = default;
  virtual void MakeCurrent() = 0;
  virtual void FlushBuffer() = 0;  // presents the frame (swaps the buffers)
  virtual void SetFrameSize(double width, double height) = 0;
};

// The preferences store of one module: typed reads give "", false or 0 for a
// missing key; writes take effect at once and last after Synchronize.
class PreferencesStore {
public:
  virtual ~PreferencesStore() = default;
  virtual bool HasKey(const char* key) = 0;
  virtual std::string StringForKey(const char* key) = 0;
  virtual bool BoolForKey(const char* key) = 0;
  virtual long long IntegerForKey(const char* key) = 0;
  virtual void SetString(const char* key, const std::string& value) = 0;
  virtual void SetBool(const char* key, bool value) = 0;
  virtual void SetInteger(const char* key, long long value) = 0;
  virtual bool Synchronize() = 0;
  // Why the last load or save went wrong, for people; empty when it did not.
  virtual std::string Problem() const { return std::string(); }
};

// Services of the host and the platform.
class HostServices {
public:
  virtual ~HostServices() = default;
  virtual std::unique_ptr<GLView> CreateGLView() = 0;
  virtual double Now() = 0;                // monotonic seconds, for frame timing
  virtual double SecondsSinceEpoch() = 0;  // wall clock, for the random seed
  virtual int WindowScreenNumber() = 0;    // the screen that holds the view
  virtual int MainScreenNumber() = 0;
  virtual std::string ResourcePath() = 0;  // the bundle's data folder
  virtual std::string UserCurrencyFolder() = 0;
  virtual bool FileExists(const std::string& path) = 0;
  virtual PreferencesStore* Defaults() = 0;  // module "baCorvan3D"
  // The settings window's toolkit and network; only an interactive host has them.
  virtual Toolkit* Interface() { return nullptr; }
  virtual Network* Net() { return nullptr; }
  // Whether the idle watcher starts with the user's session, and turning that
  // on or off (false, saying why, when it could not); only the settings
  // window's host can.
  virtual bool IdleStartEnabled() { return false; }
  virtual bool SetIdleStart(bool on, std::string* why) {
    *why = on ? "this host cannot start the idle watcher" : "";
    return !on;
  }
};

struct ViewSize {
  double width = 0.0;
  double height = 0.0;
};

class ScreenSaverView {
public:
  ScreenSaverView(ViewSize frame, bool isPreview, HostServices* host)
      : frame(frame), preview(isPreview), host(host) {}
  virtual ~ScreenSaverView() = default;
  ScreenSaverView(const ScreenSaverView&) = delete;
  ScreenSaverView& operator=(const ScreenSaverView&) = delete;

  bool isPreview() const { return preview; }
  ViewSize bounds() const { return frame; }
  double animationTimeInterval() const { return interval; }
  void setAnimationTimeInterval(double seconds) { interval = seconds; }
  bool isAnimating() const { return animating; }

  // The host calls animateOneFrame about every interval while animating.
  virtual void startAnimation() { animating = true; }
  virtual void stopAnimation() { animating = false; }
  virtual void animateOneFrame() {}
  virtual void setFrameSize(ViewSize size) { frame = size; }
  // The settings sheet the host shows over its window, or null.
  virtual bool hasConfigureSheet() { return false; }
  virtual SheetWindow* configureSheet() { return nullptr; }

protected:
  HostServices* Host() const { return host; }

private:
  ViewSize frame;
  bool preview;
  HostServices* host;
  double interval = 1.0 / 30;
  bool animating = false;
};
