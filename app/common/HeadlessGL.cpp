#include "HeadlessGL.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

std::string EglError(const char* what) {
  char code[32];
  std::snprintf(code, sizeof code, "0x%04X", eglGetError());
  return std::string(what) + " failed (EGL error " + code + ")";
}

bool HasExtension(const char* list, const char* name) {
  if (list == nullptr) return false;
  const size_t length = std::strlen(name);
  for (const char* at = std::strstr(list, name); at != nullptr;
       at = std::strstr(at + length, name)) {
    if ((at == list || at[-1] == ' ') && (at[length] == ' ' || at[length] == '\0')) return true;
  }
  return false;
}

const char* ClientExtensions() { return eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS); }

PFNEGLGETPLATFORMDISPLAYEXTPROC GetPlatformDisplay() {
  return reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
      eglGetProcAddress("eglGetPlatformDisplayEXT"));
}

// One EGL device and how it calls itself.
struct Device {
  EGLDeviceEXT device;
  std::string name;  // its DRM node, or "software"
  bool software;
};

std::vector<Device> Devices() {
  auto queryDevices =
      reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
  auto queryString = reinterpret_cast<PFNEGLQUERYDEVICESTRINGEXTPROC>(
      eglGetProcAddress("eglQueryDeviceStringEXT"));
  EGLDeviceEXT found[16];
  EGLint count = 0;
  if (queryDevices == nullptr || !queryDevices(16, found, &count)) return {};
  std::vector<Device> devices;
  for (EGLint i = 0; i < count; ++i) {
    const char* extensions = queryString ? queryString(found[i], EGL_EXTENSIONS) : nullptr;
    const bool software = HasExtension(extensions, "EGL_MESA_device_software");
    const char* node = nullptr;
    if (HasExtension(extensions, "EGL_EXT_device_drm_render_node"))
      node = queryString(found[i], EGL_DRM_RENDER_NODE_FILE_EXT);
    if (node == nullptr && HasExtension(extensions, "EGL_EXT_device_drm"))
      node = queryString(found[i], EGL_DRM_DEVICE_FILE_EXT);
    devices.push_back({found[i], software ? "software" : node ? node : "no name", software});
  }
  return devices;
}

}  // namespace

HeadlessGL::~HeadlessGL() { Destroy(); }

bool HeadlessGL::Create(int w, int h, std::string* error, Platform platform) {
  Destroy();
  width = w;
  height = h;
  // A GPU first, which Mesa's surfaceless platform does not offer when its
  // driver is not Mesa's; then surfaceless; then any device, software too.
  std::string surfaceless, device;
  if (platform != Platform::kSurfaceless && CreateOnDevice(&device, true)) return true;
  if (platform != Platform::kDevice && CreateSurfaceless(&surfaceless)) return true;
  if (platform != Platform::kSurfaceless && CreateOnDevice(&device, false)) return true;
  *error = platform == Platform::kDevice        ? device
           : platform == Platform::kSurfaceless ? surfaceless
                                                : surfaceless + "; " + device;
  width = height = 0;
  return false;
}

bool HeadlessGL::CreateSurfaceless(std::string* error) {
  if (!HasExtension(ClientExtensions(), "EGL_MESA_platform_surfaceless")) {
    *error = "EGL has no surfaceless platform (EGL_MESA_platform_surfaceless)";
    return false;
  }
  auto getPlatformDisplay = GetPlatformDisplay();
  if (getPlatformDisplay == nullptr) {
    *error = "EGL lacks eglGetPlatformDisplayEXT";
    return false;
  }
  std::string why;
  if (!CreateOn(getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr),
                &why)) {
    *error = "surfaceless platform: " + why;
    return false;
  }
  platformName = "EGL surfaceless";
  return true;
}

bool HeadlessGL::CreateOnDevice(std::string* error, bool gpusOnly) {
  auto getPlatformDisplay = GetPlatformDisplay();
  if (!HasExtension(ClientExtensions(), "EGL_EXT_platform_device") ||
      getPlatformDisplay == nullptr) {
    *error = "EGL has no device platform (EGL_EXT_platform_device)";
    return false;
  }
  std::vector<Device> devices = Devices();
  if (devices.empty()) {
    *error = "EGL lists no devices";
    return false;
  }
  // A GPU is what a machine that has one is for; the software device last.
  std::vector<size_t> order(devices.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return !devices[a].software && devices[b].software; });
  *error = "device platform:";
  for (size_t i : order) {
    if (gpusOnly && devices[i].software) continue;
    std::string why;
    if (CreateOn(getPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, devices[i].device, nullptr), &why)) {
      platformName = "EGL device " + std::to_string(i) + " of " + std::to_string(devices.size()) +
                     " (" + devices[i].name + ")";
      return true;
    }
    *error += " " + devices[i].name + ": " + why + ";";
  }
  error->pop_back();
  return false;
}

bool HeadlessGL::CreateOn(void* handle, std::string* error) {
  EGLDisplay dpy = handle;
  if (dpy == EGL_NO_DISPLAY || !eglInitialize(dpy, nullptr, nullptr)) {
    *error = EglError("eglInitialize");
    return false;
  }
  display = dpy;

  // 8-8-8 colour, a depth buffer, no stencil, no multisampling.
  const EGLint configAttributes[] = {EGL_SURFACE_TYPE,
                                     EGL_PBUFFER_BIT,
                                     EGL_RENDERABLE_TYPE,
                                     EGL_OPENGL_BIT,
                                     EGL_RED_SIZE,
                                     8,
                                     EGL_GREEN_SIZE,
                                     8,
                                     EGL_BLUE_SIZE,
                                     8,
                                     EGL_DEPTH_SIZE,
                                     16,
                                     EGL_SAMPLES,
                                     0,
                                     EGL_NONE};
  EGLint count = 0;
  const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
  if (!eglChooseConfig(dpy, configAttributes, &config, 1, &count) || count < 1) {
    *error = "no EGL configuration for an RGB pbuffer with depth";
  } else if ((surface = eglCreatePbufferSurface(dpy, EGLConfig(config), surfaceAttributes)) ==
             EGL_NO_SURFACE) {
    *error = EglError("eglCreatePbufferSurface");
  } else if (!eglBindAPI(EGL_OPENGL_API)) {
    *error = EglError("eglBindAPI(OpenGL)");
  } else if ((context = eglCreateContext(dpy, EGLConfig(config), EGL_NO_CONTEXT, nullptr)) ==
             EGL_NO_CONTEXT) {
    *error = EglError("eglCreateContext");
  } else if (!MakeCurrent()) {
    *error = EglError("eglMakeCurrent");
  } else {
    return true;
  }
  const int w = width, h = height;
  Destroy();
  width = w;
  height = h;
  return false;
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
  platformName.clear();
}

GLObjectCount CountGLObjects(uint32_t highestName) {
  GLObjectCount count;
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  for (GLuint name = 1; name <= highestName; ++name) {
    if (glIsList(name)) ++count.lists;
    if (!glIsTexture(name)) continue;
    ++count.textures;
    GLint width = 0, height = 0;
    glBindTexture(GL_TEXTURE_2D, name);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    count.texelBytes += uint64_t(width) * uint64_t(height) * 4;
  }
  glBindTexture(GL_TEXTURE_2D, GLuint(bound));
  return count;
}
