// An OpenGL context with no display: EGL's surfaceless platform and a
// pbuffer as the default framebuffer. It runs on Mesa's software renderer
// (or a GPU where one is present) and serves the GL tests and the headless
// host.
#pragma once

#include <string>

class HeadlessGL {
public:
  HeadlessGL() = default;
  ~HeadlessGL();
  HeadlessGL(const HeadlessGL&) = delete;
  HeadlessGL& operator=(const HeadlessGL&) = delete;

  // Creates a width x height RGB context with a depth buffer and makes it
  // current. On failure error says why.
  bool Create(int width, int height, std::string* error);
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

private:
  void* display = nullptr;  // EGLDisplay
  void* surface = nullptr;  // EGLSurface
  void* context = nullptr;  // EGLContext
  void* config = nullptr;   // EGLConfig
  int width = 0;
  int height = 0;
};
