// What every host of corvan3d shares: where the bundle and the user's
// currencies are, the clocks, the preferences store, and the pacing of ticks.
#pragma once

#include <memory>
#include <string>

#include "platform/Bundle.h"
#include "platform/ScreenSaverView.h"

double MonotonicSeconds();
double ProcessCpuSeconds();  // all threads, the GL driver's included
// Monotonic seconds since the process started (as the kernel counts it, to a
// hundredth of a second; else since its static initialisation).
double SecondsSinceStart();

// In sanitizer builds, keeps the loaded OpenGL drivers until the process
// ends: closing an X display unloads its driver, and LeakSanitizer, which
// looks at exit, could then no longer tell the driver's own leaks (suppressed
// by library name) from ours. Does nothing in other builds.
void KeepGLDriversLoaded();

// This program's own file, to run it again from; a file replaced since it
// started (an upgrade) in its new version.
std::string OwnProgram();

// The store of module "baCorvan3D" in the user's configuration folder.
std::unique_ptr<PreferencesStore> OpenPreferences();

// Starts decoding, on worker threads, the images a saver's view loads at its
// first tick, as the store names them: the currency's notes, the intro's
// images, then the artwork the first frames do not show. A host calls it
// before it starts OpenGL, whose driver takes about as long to load.
void PrefetchViewImages(PreferencesStore* store);

// The services a host gives its views, apart from their GL surfaces. The
// screen numbers say "main screen" unless a host knows better.
class CommonServices : public HostServices {
public:
  explicit CommonServices(PreferencesStore* store);

  double Now() override;
  double SecondsSinceEpoch() override;
  int WindowScreenNumber() override { return 0; }
  int MainScreenNumber() override { return 0; }
  std::string ResourcePath() override { return bundle; }
  std::string UserCurrencyFolder() override { return userFolder; }
  bool FileExists(const std::string& path) override;
  PreferencesStore* Defaults() override { return store; }

private:
  PreferencesStore* store;
  std::string bundle;
  std::string userFolder;
};

// Paces a host's ticks at the view's animation interval. A slow frame
// delays the next tick, but missed ticks are not made up in a burst.
class TickPacer {
public:
  explicit TickPacer(double interval) : interval(interval) {}
  bool Due(double now) const { return now >= next; }
  void Ticked(double now);
  // How long to sleep before the next tick, rounded up to whole milliseconds.
  int MillisecondsToNext(double now) const;

private:
  double interval;
  double next = 0.0;
};

// Decides whether pointer motion ends a full-screen saver. Windows appearing
// under the pointer send motion of their own, so motion in the first moments
// is ignored, and after that it takes a deliberate move of a few pixels.
class MotionGate {
public:
  explicit MotionGate(double start) : start(start) {}
  bool Quits(double now, int dx, int dy);

  static constexpr double kSettleSeconds = 0.75;
  static constexpr int kThresholdPixels = 8;

private:
  double start;
  long travelled = 0;
};
