// The offscreen context on each EGL platform it can come from: EGL's
// surfaceless platform, and the device platform that drivers without it
// offer (here Mesa's software device, "EGL device " then its number and name).
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "HeadlessGL.h"

TEST(HeadlessContext, EachPlatformDrawsAndSaysWhichItIs) {
  setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
  using P = HeadlessGL::Platform;
  for (auto [platform, name] : {std::pair{P::kSurfaceless, "EGL surfaceless"},
                                {P::kDevice, "EGL device "},
                                {P::kAny, "EGL surfaceless"}}) {
    HeadlessGL gl;
    std::string error;
    ASSERT_TRUE(gl.Create(8, 4, &error, platform)) << name << ": " << error;
    EXPECT_EQ(gl.PlatformName().substr(0, std::string(name).size()), name);
    unsigned char pixel[4] = {};  // the far corner of 8 x 4, cleared to orange
    glClearColor(1.0f, 0.5f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glReadPixels(7, 3, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_EQ(std::vector<int>(pixel, pixel + 3), (std::vector<int>{255, 128, 0})) << name;
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    gl.Destroy();
    EXPECT_EQ(gl.PlatformName(), "");
  }
}
