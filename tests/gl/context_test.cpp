// The offscreen context on each EGL platform it can come from: EGL's
// surfaceless platform, and the device platform that drivers without it
// offer (here Mesa's software device).
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "HeadlessGL.h"

TEST(HeadlessContext, EachPlatformDrawsAndSaysWhichItIs) {
  setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
  using P = HeadlessGL::Platform;  // "EGL device " is followed by the device's number and name
  for (const auto& [platform, name] :
       {std::pair<P, std::string>{P::kSurfaceless, "EGL surfaceless"},
        {P::kDevice, "EGL device "},
        {P::kAny, "EGL surfaceless"}}) {
    HeadlessGL gl;
    std::string error;
    ASSERT_TRUE(gl.Create(8, 4, &error, platform)) << name << ": " << error;
    EXPECT_EQ(gl.PlatformName().compare(0, name.size(), name), 0) << gl.PlatformName();
    unsigned char pixel[4] = {};  // the far corner of 8 x 4, cleared to orange
    glClearColor(1.0f, 0.5f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glReadPixels(7, 3, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_TRUE(pixel[0] == 255 && std::abs(pixel[1] - 128) <= 1 && glGetError() == GL_NO_ERROR)
        << name;
    gl.Destroy();
    EXPECT_EQ(gl.PlatformName(), "");
  }
}
