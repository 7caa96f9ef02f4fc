#include "platform/HeadlessGL.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <cstdio>
#include <cstring>

namespace {

std::string EglError(const char* what) {
  char code[32];
  std::snprintf(code, sizeof code, "0x%04X", eglGetError());
  return std::string(what) + " failed (EGL error " + code + ")";
}

bool HasExtension(const char* list, const char* name) {
  if (list == nullptr) return false;
  const size_t length = std::strlen(name);
  for (const char* at = std::strstr(list, name); at != nullptr; at = std::strstr(at + length, name)) {
    if ((at == list || at[-1] == ' ') && (at[length] == ' ' || at[length] == '\0')) return true;
  }
  return false;
}

}  // namespace

HeadlessGL::~HeadlessGL() { Destroy(); }

bool HeadlessGL::Create(int w, int h, std::string* error) {
  Destroy();
  const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
  if (!HasExtension(clientExtensions, "EGL_MESA_platform_surfaceless")) {
    *error = "EGL has no surfaceless platform (EGL_MESA_platform_surfaceless)";
    return false;
  }
  auto getPlatformDisplay =
      reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (getPlatformDisplay == nullptr) {
    *error = "EGL lacks eglGetPlatformDisplayEXT";
    return false;
  }
  EGLDisplay dpy = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  if (dpy == EGL_NO_DISPLAY || !eglInitialize(dpy, nullptr, nullptr)) {
    *error = EglError("eglInitialize");
    return false;
  }
  display = dpy;

  // 8-8-8 colour, a depth buffer, no stencil, no multisampling.
  const EGLint configAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                     EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8,
                                     EGL_DEPTH_SIZE, 16, EGL_SAMPLES, 0, EGL_NONE};
  EGLint count = 0;
  if (!eglChooseConfig(dpy, configAttributes, &config, 1, &count) || count < 1) {
    *error = "no EGL configuration for an RGB pbuffer with depth";
    Destroy();
    return false;
  }
  const EGLint surfaceAttributes[] = {EGL_WIDTH, w, EGL_HEIGHT, h, EGL_NONE};
  surface = eglCreatePbufferSurface(dpy, EGLConfig(config), surfaceAttributes);
  if (surface == EGL_NO_SURFACE) {
    *error = EglError("eglCreatePbufferSurface");
    Destroy();
    return false;
  }
  if (!eglBindAPI(EGL_OPENGL_API)) {
    *error = EglError("eglBindAPI(OpenGL)");
    Destroy();
    return false;
  }
  context = eglCreateContext(dpy, EGLConfig(config), EGL_NO_CONTEXT, nullptr);
  if (context == EGL_NO_CONTEXT) {
    *error = EglError("eglCreateContext");
    Destroy();
    return false;
  }
  width = w;
  height = h;
  if (!MakeCurrent()) {
    *error = EglError("eglMakeCurrent");
    Destroy();
    return false;
  }
  return true;
}

bool HeadlessGL::Resize(int w, int h, std::string* error) {
  if (display == nullptr) {
    *error = "no context to resize";
    return false;
  }
  if (w == width && h == height) return true;
  const EGLint surfaceAttributes[] = {EGL_WIDTH, w, EGL_HEIGHT, h, EGL_NONE};
  EGLSurface resized = eglCreatePbufferSurface(display, EGLConfig(config), surfaceAttributes);
  if (resized == EGL_NO_SURFACE || !eglMakeCurrent(display, resized, resized, context)) {
    *error = EglError("eglCreatePbufferSurface");
    if (resized != EGL_NO_SURFACE) eglDestroySurface(display, resized);
    return false;
  }
  eglDestroySurface(display, surface);
  surface = resized;
  width = w;
  height = h;
  return true;
}

bool HeadlessGL::MakeCurrent() {
  return display != nullptr && eglMakeCurrent(display, surface, surface, context) == EGL_TRUE;
}

void HeadlessGL::SwapBuffers() {
  if (display != nullptr) eglSwapBuffers(display, surface);
}

std::string HeadlessGL::Renderer() const {
  const GLubyte* renderer = glGetString(GL_RENDERER);
  return renderer ? reinterpret_cast<const char*>(renderer) : "unknown";
}

void HeadlessGL::Destroy() {
  if (display == nullptr) return;
  eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  if (context != nullptr) eglDestroyContext(display, context);
  if (surface != nullptr) eglDestroySurface(display, surface);
  // The display stays initialised for the life of the process: terminating
  // it would unload and reload the driver with every context.
  display = surface = context = config = nullptr;
  width = height = 0;
}
