// A host for the view made of fakes: a clock the test moves, numbered
// screens, an in-memory preferences store, and a GL surface that is the
// test's one offscreen context. Also the saver's artwork, made by the
// project's own writers.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>

#include "../gl/GLTest.h"
#include "host/Corvan3DSSView.h"

// The host, its preferences store (kept in memory) included.
struct FakeHost : HostServices, PreferencesStore {
  FakeHost(HeadlessGL* gl, std::string bundle, std::string user)
      : gl(gl), bundle(bundle), user(user) {}
  bool HasKey(const char* key) override { return values.count(key) > 0; }
  std::string StringForKey(const char* key) override { return HasKey(key) ? values[key] : ""; }
  bool BoolForKey(const char* key) override { return StringForKey(key) == "true"; }
  long long IntegerForKey(const char* key) override {
    return HasKey(key) ? std::stoll(values[key]) : 0;
  }
  void SetString(const char* key, const std::string& value) override { values[key] = value; }
  void SetBool(const char* key, bool value) override { values[key] = value ? "true" : "false"; }
  void SetInteger(const char* key, long long value) override {
    values[key] = std::to_string(value);
  }
  bool Synchronize() override {
    ++synchronizations;
    return problem.empty();
  }
  std::string Problem() const override { return problem; }
  // Every view's surface is the test's one context; presenting a frame counts it.
  struct Surface : GLView {
    explicit Surface(FakeHost* host) : host(host) {}
    FakeHost* host;
    void MakeCurrent() override { host->gl->MakeCurrent(); }
    void FlushBuffer() override { ++host->flushes; }
    void SetFrameSize(double, double) override {}
  };
  std::unique_ptr<GLView> CreateGLView() override { return std::make_unique<Surface>(this); }
  double Now() override { return now; }
  double SecondsSinceEpoch() override { return 1700000000.0; }
  int WindowScreenNumber() override { return screen; }
  int MainScreenNumber() override { return 0; }
  std::string ResourcePath() override { return bundle; }
  std::string UserCurrencyFolder() override { return user; }
  bool FileExists(const std::string& path) override { return access(path.c_str(), F_OK) == 0; }
  PreferencesStore* Defaults() override { return this; }
  Toolkit* Interface() override { return toolkit; }
  Network* Net() override { return network; }
  bool IdleStartEnabled() override { return idleStart; }
  bool SetIdleStart(bool on, std::string* why) override {
    *why = "systemctl: no user manager";
    idleStart = idleStartWorks ? on : idleStart;
    return idleStartWorks;
  }
  bool idleStart = false, idleStartWorks = true;  // the idle watcher's start with the session
  HeadlessGL* gl;
  std::string bundle, user;
  double now = 0.0;  // the clock, which only the test moves
  int screen = 0, flushes = 0;
  Toolkit* toolkit = nullptr;  // the settings window's, when a test gives them
  Network* network = nullptr;
  std::map<std::string, std::string> values;  // the store
  int synchronizations = 0;                   // saves asked for
  std::string problem;                        // not empty: saving fails, saying this
};

inline std::string ReadText(const std::string& path) {
  const Bytes bytes = ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

// A 24-bit TGA whose pixel (x, y), y from the bottom, is rgb(x, y) = 0xRRGGBB.
inline Bytes Tga(uint32_t width, uint32_t height,
                 const std::function<uint32_t(uint32_t, uint32_t)>& rgb) {
  Image image{width, height, 24, {}};
  for (uint32_t i = 0; i < width * height * 3; ++i)
    image.pixels.push_back(uint8_t(rgb(i / 3 % width, i / 3 / width) >> (16 - i % 3 * 8)));
  return EncodeTGA(image, 2);
}

// The saver's artwork: these images in this order, then grey ones up to `count`.
inline void WriteArtwork(const TempDir& dir, std::vector<Bytes> images, size_t count = 0) {
  images.resize(std::max(images.size(), count),
                Tga(8, 8, [](uint32_t, uint32_t) { return 0xC0C0C0u; }));
  std::vector<ResourceLump> lumps;
  for (const auto& image : images) lumps.push_back(ResourceLump{image});
  dir.Write("brimble.artifacts", BuildResourceFile(lumps));
}

// A test on the fake host: a GL surface of 1024 x 768, a bundle and a user's
// folder, and the loading errors said so far, one a line.
class HostTest : public GLTestOf<1024, 768> {
protected:
  void SetUp() override {
    GLTestOf::SetUp();
    previous = SetErrorHandler([this](const char* m) { errors += std::string(m) + "\n"; });
  }
  void TearDown() override {
    SetErrorHandler(std::move(previous));
    GLTestOf::TearDown();
  }
  // A view of 320 x 240 as the host installs it: sized, then started.
  std::unique_ptr<Corvan3DSSView> MakeView(bool preview) {
    auto view = std::make_unique<Corvan3DSSView>(ViewSize{320, 240}, preview, &host);
    view->setFrameSize(ViewSize{320, 240});
    view->startAnimation();
    return view;
  }
  // Ticks of the host's timer, each `after` seconds after the previous one.
  void Tick(Corvan3DSSView& view, double after, int times = 1) {
    for (int i = 0; i < times; ++i) host.now += after, view.animateOneFrame();
  }

  TempDir bundle, user;
  FakeHost host{&gl, bundle.dir, user.dir};
  std::string errors;
  ErrorHandler previous;
};
