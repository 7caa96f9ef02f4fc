// Real OpenGL for tests: a context on Mesa's software renderer through EGL's
// surfaceless platform, no display needed.
#pragma once

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "HeadlessGL.h"

class GLTest : public ::testing::Test {
protected:
  static constexpr int kWidth = 640, kHeight = 480;

  void SetUp() override {
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);  // the same renderer everywhere, GPU or not
    std::string error;
    ASSERT_TRUE(gl.Create(kWidth, kHeight, &error)) << error;
  }

  void TearDown() override {
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    gl.Destroy();
  }

  HeadlessGL gl;
};
