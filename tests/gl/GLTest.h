// Real OpenGL for tests: a context on Mesa's software renderer through EGL's
// surfaceless platform, no display needed.
#pragma once

#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/HeadlessGL.h"

class GLTest : public ::testing::Test {
protected:
  static constexpr int kWidth = 640;
  static constexpr int kHeight = 480;

  void SetUp() override {
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);  // the same renderer everywhere, GPU or not
    std::string error;
    ASSERT_TRUE(gl.Create(kWidth, kHeight, &error)) << error;
  }

  void TearDown() override {
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    gl.Destroy();
  }

  // The whole framebuffer, RGBA rows from the bottom.
  static std::vector<unsigned char> Frame() {
    std::vector<unsigned char> rgba(size_t(kWidth) * kHeight * 4);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    return rgba;
  }

  HeadlessGL gl;
};
