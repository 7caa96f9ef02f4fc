// The offscreen context on the EGL platform that drivers without the
// surfaceless one offer (here Mesa's software device, "EGL device " then its
// number and name).
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "HeadlessGL.h"

// The surfaceless platform is every other GL test's.
TEST(HeadlessContext, TheDevicePlatformDrawsAndSaysWhichItIs) {
  setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
  HeadlessGL gl;
  std::string error;
  ASSERT_TRUE(gl.Create(8, 4, &error, HeadlessGL::Platform::kDevice)) << error;
  EXPECT_EQ(gl.PlatformName().substr(0, 11), "EGL device ");
  unsigned char pixel[4] = {};  // the far corner of 8 x 4, cleared to orange
  glClearColor(1.0f, 0.5f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  glReadPixels(7, 3, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
  EXPECT_EQ(std::vector<int>(pixel, pixel + 3), (std::vector<int>{255, 128, 0}));
  gl.Destroy();
  EXPECT_EQ(gl.PlatformName(), "");
}
