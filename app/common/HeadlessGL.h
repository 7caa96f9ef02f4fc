// An OpenGL context with no display: a pbuffer as the default framebuffer on
// a GPU of EGL's device platform (any driver, NVIDIA's included), else on
// EGL's surfaceless platform (Mesa), else on Mesa's software device. It runs on Mesa's
// software renderer or a GPU and serves the GL tests and the headless host.
#pragma once

#include <cstdint>
#include <string>

class HeadlessGL {
public:
  enum class Platform { kAny, kSurfaceless, kDevice };

  HeadlessGL() = default;
  ~HeadlessGL();
  HeadlessGL(const HeadlessGL&) = delete;
  HeadlessGL& operator=(const HeadlessGL&) = delete;

  // Creates a width x height RGB context with a depth buffer and makes it
  // current: on the first GPU that takes it, else on the surfaceless
  // platform, else on the software device, or only on the platform asked for. On
  // failure error says what each platform answered.
  bool Create(int width, int height, std::string* error, Platform platform = Platform::kAny);
  void Destroy();

  // Gives the context a new pbuffer of another size; the context and every
  // object in it stay.
  bool Resize(int width, int height, std::string* error);

  // Finishes the frame; the pbuffer keeps it readable with glReadPixels.
  void SwapBuffers();

  bool MakeCurrent();
  int Width() const { return width; }
  int Height() const { return height; }
  // The driver's renderer string, e.g. "llvmpipe (LLVM 15.0.6, 256 bits)".
  std::string Renderer() const;
  // Where the context came from: "EGL surfaceless" or, e.g.,
  // "EGL device 0 of 1 (software)", "EGL device 1 of 2 (/dev/dri/renderD128)".
  const std::string& PlatformName() const { return platformName; }

private:
  bool CreateSurfaceless(std::string* error);
  bool CreateOnDevice(std::string* error, bool gpusOnly);
  // Initialises dpy and makes the pbuffer and the context on it.
  bool CreateOn(void* dpy, std::string* error);

  void* display = nullptr;  // EGLDisplay
  void* surface = nullptr;  // EGLSurface
  void* context = nullptr;  // EGLContext
  void* config = nullptr;   // EGLConfig
  int width = 0;
  int height = 0;
  std::string platformName;
};

// The textures and display lists alive in the current context, found by
// asking glIsTexture and glIsList about every name from 1 to highestName,
// and the bytes the textures' level 0 holds at four bytes a texel.
struct GLObjectCount {
  int textures = 0;
  int lists = 0;
  uint64_t texelBytes = 0;
};
GLObjectCount CountGLObjects(uint32_t highestName = 1u << 20);
