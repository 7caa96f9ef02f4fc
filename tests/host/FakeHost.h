// A host for the view made of fakes: a clock the test moves, numbered
// screens, an in-memory preferences store, and a GL surface that is a real
// offscreen context shared by all views of the test.
#pragma once

#include <filesystem>
#include <map>
#include <string>

#include "platform/HeadlessGL.h"
#include "platform/ScreenSaverView.h"

class MemoryStore : public PreferencesStore {
public:
  bool HasKey(const char* key) override { return values.count(key) > 0; }
  std::string StringForKey(const char* key) override { return HasKey(key) ? values[key] : ""; }
  bool BoolForKey(const char* key) override { return StringForKey(key) == "true"; }
  long long IntegerForKey(const char* key) override { return HasKey(key) ? std::stoll(values[key]) : 0; }
  void SetString(const char* key, const std::string& value) override { values[key] = value; }
  void SetBool(const char* key, bool value) override { values[key] = value ? "true" : "false"; }
  void SetInteger(const char* key, long long value) override { values[key] = std::to_string(value); }
  bool Synchronize() override {
    ++synchronizations;
    return true;
  }

  std::map<std::string, std::string> values;
  int synchronizations = 0;
};

class FakeGLView : public GLView {
public:
  FakeGLView(HeadlessGL* gl, int* flushes) : gl(gl), flushes(flushes) {}
  void MakeCurrent() override { gl->MakeCurrent(); }
  void FlushBuffer() override { ++*flushes; }
  void SetFrameSize(double w, double h) override {
    width = w;
    height = h;
  }
  double width = 0, height = 0;

private:
  HeadlessGL* gl;
  int* flushes;
};

class FakeHost : public HostServices {
public:
  FakeHost(HeadlessGL* gl, std::string bundle, std::string userFolder)
      : gl(gl), bundle(std::move(bundle)), userFolder(std::move(userFolder)) {}

  std::unique_ptr<GLView> CreateGLView() override { return std::make_unique<FakeGLView>(gl, &flushes); }
  double Now() override { return now; }
  double SecondsSinceEpoch() override { return 1700000000.0; }
  int WindowScreenNumber() override { return screen; }
  int MainScreenNumber() override { return 0; }
  std::string ResourcePath() override { return bundle; }
  std::string UserCurrencyFolder() override { return userFolder; }
  bool FileExists(const std::string& path) override {
    std::error_code ignored;
    return std::filesystem::exists(path, ignored);
  }
  PreferencesStore* Defaults() override { return &store; }
  Toolkit* Interface() override { return toolkit; }
  Network* Net() override { return network; }

  double now = 100.0;
  Toolkit* toolkit = nullptr;
  Network* network = nullptr;
  int screen = 0;
  int flushes = 0;
  MemoryStore store;

private:
  HeadlessGL* gl;
  std::string bundle;
  std::string userFolder;
};
