// The headless host: one view drawing into an offscreen EGL buffer, driven
// by a simulated clock that advances a fixed step before each tick, so a run
// is the same whatever the machine's speed. Each drawn frame can be written
// as a PNG and traced as a line of JSON.
#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "HeadlessGL.h"
#include "HostCommon.h"
#include "Hosts.h"
#include "PngIO.h"
#include "Trace.h"
#include "host/Corvan3DSSView.h"
#include "maths/Random.h"
#include "world/Notes.h"

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// The process's resident memory in KiB (VmRSS), or -1 where /proc cannot say.
long ResidentKiB() {
  FilePtr status(std::fopen("/proc/self/status", "r"));
  char line[256];
  long kib = -1;
  while (status && std::fgets(line, sizeof line, status.get()) != nullptr)
    if (std::sscanf(line, "VmRSS: %ld kB", &kib) == 1) break;
  return kib;
}

bool Finite(const VECTOR3D& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

bool Finite(const ONENOTE& note) {
  return Finite(note.Pos) && Finite(note.Vel) && Finite(note.Rot) && Finite(note.RotSpeed) &&
         std::isfinite(note.Brightness);
}

bool Finite(const ONECAMERA& c) {
  for (const VECTOR3D* v : {&c.Pos, &c.LookAt, &c.Up, &c.TargetPos, &c.TargetLookAt, &c.Angle,
                            &c.AngleSpeed, &c.TargetAngle})
    if (!Finite(*v)) return false;
  for (float f : {c.RotateTimer, c.FollowTimer, c.MoveSpeed, c.AngleRate, c.FadeRange})
    if (!std::isfinite(f)) return false;
  return true;
}

class HeadlessHost;

// The pbuffer has the size of the run; the view cannot change it.
class HeadlessGLView : public GLView {
public:
  HeadlessGLView(HeadlessGL* gl, HeadlessHost* host) : gl(gl), host(host) {}
  void MakeCurrent() override { gl->MakeCurrent(); }
  void FlushBuffer() override;
  void SetFrameSize(double, double) override {}

private:
  HeadlessGL* gl;
  HeadlessHost* host;
};

class HeadlessHost : public CommonServices {
public:
  HeadlessHost(const Options& options, PreferencesStore* store, HeadlessGL* gl)
      : CommonServices(store), options(options), gl(gl) {}

  std::unique_ptr<GLView> CreateGLView() override {
    return std::make_unique<HeadlessGLView>(gl, this);
  }
  double Now() override { return clock; }
  double SecondsSinceEpoch() override {
    return options.hasSeed ? double(options.seed) : CommonServices::SecondsSinceEpoch();
  }

  bool OpenOutputs();
  int Run();
  void FrameDrawn();

private:
  bool WriteFrame();
  void WriteTrace();
  void PrintSummary(double wall, double cpu) const;
  void PrintStats() const;

  const Options& options;
  HeadlessGL* gl;
  std::unique_ptr<Corvan3DSSView> view;
  FilePtr trace;
  double clock = 0.0;
  int drawn = 0;
  bool failed = false;
  double firstFrameAt = -1.0;  // seconds after start
  double outputWall = 0.0;     // spent writing frames and trace, not drawing
  double outputCpu = 0.0;
};

void HeadlessGLView::FlushBuffer() {
  gl->SwapBuffers();
  host->FrameDrawn();
}

bool HeadlessHost::OpenOutputs() {
  if (!options.outDir.empty()) {
    std::error_code error;
    std::filesystem::create_directories(options.outDir, error);
    if (error) {
      std::fprintf(stderr, "corvan3d: cannot create %s: %s\n", options.outDir.c_str(),
                   error.message().c_str());
      return false;
    }
  }
  if (!options.traceFile.empty()) {
    trace.reset(std::fopen(options.traceFile.c_str(), "w"));
    if (!trace) {
      std::perror(("corvan3d: " + options.traceFile).c_str());
      return false;
    }
  }
  return true;
}

void HeadlessHost::FrameDrawn() {
  // Finish the frame here so that the time measured is the time drawing took.
  glFinish();
  ++drawn;
  if (firstFrameAt < 0.0) firstFrameAt = SecondsSinceStart();
  const double wall = MonotonicSeconds(), cpu = ProcessCpuSeconds();
  if (!options.outDir.empty() && !WriteFrame()) failed = true;
  if (trace) WriteTrace();
  if (options.stats && (drawn == options.frames / 10 || drawn == options.frames)) PrintStats();
  outputWall += MonotonicSeconds() - wall;
  outputCpu += ProcessCpuSeconds() - cpu;
}

bool HeadlessHost::WriteFrame() {
  const int w = options.width, h = options.height;
  const size_t row = size_t(w) * 3;
  std::vector<unsigned char> bottomUp(row * size_t(h));
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
  Image image;
  image.width = uint32_t(w);
  image.height = uint32_t(h);
  image.bitsPerPixel = 24;
  image.pixels.resize(bottomUp.size());
  for (int y = 0; y < h; ++y)  // GL's rows run bottom to top, PNG's top to bottom
    std::copy_n(&bottomUp[size_t(h - 1 - y) * row], row, &image.pixels[size_t(y) * row]);

  char name[32];
  std::snprintf(name, sizeof name, "frame-%04d.png", drawn);
  const std::string path = (std::filesystem::path(options.outDir) / name).string();
  std::string error;
  if (WritePNG(path, image, &error)) return true;
  std::fprintf(stderr, "corvan3d: cannot write %s: %s\n", path.c_str(), error.c_str());
  return false;
}

// How a long run stands: memory, the GL objects alive and whether the
// scene's state is still made of finite numbers.
void HeadlessHost::PrintStats() const {
  const SSMAIN* driver = view ? view->ssMain : nullptr;
  const MONEYSS* world = driver != nullptr ? driver->World : nullptr;
  int64_t notes = 0, finite = 0;
  if (world != nullptr && world->Notes != nullptr) {
    notes = world->TOT_NUM_NOTES;
    for (int64_t i = 0; i < notes; ++i) finite += Finite(world->Notes[i]);
  }
  const bool cameraFinite = world == nullptr || Finite(world->Camera);
  const GLObjectCount objects = CountGLObjects();
  std::printf(
      "corvan3d: stats at frame %d of %d, %.0f s animated: resident %ld KiB; notes %lld of %lld "
      "finite; "
      "camera %s; GL textures %d (%llu bytes of texels), display lists %d\n",
      drawn, options.frames, driver != nullptr ? driver->RunTime : 0.0, ResidentKiB(),
      static_cast<long long>(finite), static_cast<long long>(notes),
      cameraFinite ? "finite" : "NOT FINITE", objects.textures,
      static_cast<unsigned long long>(objects.texelBytes), objects.lists);
  std::fflush(stdout);
}

void HeadlessHost::WriteTrace() {
  const SSMAIN* driver = view ? view->ssMain : nullptr;
  const std::string line = driver != nullptr ? TraceLine(driver->RunTime, driver->StepTime,
                                                         RandomDrawCount(), driver->World)
                                             : TraceLine(0.0, 0.0, RandomDrawCount(), nullptr);
  std::fprintf(trace.get(), "%s\n", line.c_str());
  std::fflush(trace.get());
}

int HeadlessHost::Run() {
  const ViewSize size{double(options.width), double(options.height)};
  view = std::make_unique<Corvan3DSSView>(size, false, this);
  view->setFrameSize(size);
  view->startAnimation();

  // The first tick sets up and draws nothing; after it a frame is drawn once
  // the steps add up to more than the view's shortest step. Bound the ticks
  // so that nothing can loop for ever.
  const long long ticksPerFrame = (long long)(1.0 / (60.0 * options.step)) + 2;
  const long long maxTicks = 3 + ticksPerFrame * options.frames;
  double wall = 0.0, cpu = 0.0;
  for (long long tick = 0;
       tick < maxTicks && drawn < options.frames && !failed && view->isAnimating(); ++tick) {
    if (tick == 1) {  // measure from after the setup
      wall = MonotonicSeconds();
      cpu = ProcessCpuSeconds();
    }
    clock += options.step;
    view->animateOneFrame();
  }
  wall = MonotonicSeconds() - wall - outputWall;
  cpu = ProcessCpuSeconds() - cpu - outputCpu;
  PrintSummary(wall, cpu);
  view.reset();  // with its context current
  if (failed) return 1;
  if (drawn < options.frames) {
    std::fprintf(stderr, "corvan3d: only %d of %d frames were drawn\n", drawn, options.frames);
    return 1;
  }
  return 0;
}

void HeadlessHost::PrintSummary(double wall, double cpu) const {
  const double frames = drawn > 0 ? drawn : 1;
  std::printf(
      "corvan3d: %d frames at %dx%d on %s through %s: %.1f frames/s, %.2f ms/frame wall, "
      "%.2f ms/frame CPU; first frame %.3f s after start",
      drawn, options.width, options.height, gl->Renderer().c_str(), gl->PlatformName().c_str(),
      wall > 0.0 ? drawn / wall : 0.0, wall * 1000.0 / frames, cpu * 1000.0 / frames, firstFrameAt);
  if (!options.outDir.empty()) {
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::absolute(options.outDir, error);
    std::printf("; frames written to %s",
                (error ? options.outDir : folder.lexically_normal().string()).c_str());
  }
  std::printf("\n");
  std::fflush(stdout);
}

}  // namespace

int RunHeadlessHost(const Options& options) {
  std::unique_ptr<PreferencesStore> store = OpenPreferences();
  PrefetchViewImages(store.get());
  HeadlessGL gl;
  std::string error;
  if (!gl.Create(options.width, options.height, &error)) {
    std::fprintf(stderr, "corvan3d: no offscreen OpenGL: %s\n", error.c_str());
    return 1;
  }
  HeadlessHost host(options, store.get(), &gl);
  if (!host.OpenOutputs()) return 1;
  return host.Run();
}
