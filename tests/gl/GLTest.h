// Real OpenGL for tests: a context on Mesa's software renderer through EGL's
// surfaceless platform, no display needed; and small currencies written by
// the project's own writers.
#pragma once

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "HeadlessGL.h"
#include "LumpWriter.h"
#include "TGAWriter.h"
#include "TestFiles.h"

// A W x H context, current for the test; the test must leave no GL error.
template <int W, int H>
class GLTestOf : public ::testing::Test {
protected:
  void SetUp() override {
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);  // the same renderer everywhere, GPU or not
    std::string error;
    ASSERT_TRUE(gl.Create(W, H, &error)) << error;
  }
  void TearDown() override { EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)); }
  HeadlessGL gl;
};
using GLTest = GLTestOf<640, 480>;

// Denomination i: a 4 x 2 image of red 20 + 30 i, a note of width x height hundredths.
inline CurrencyLump Lump(int i, uint32_t width = 150, uint32_t height = 70) {
  Image image{4, 2, 24, {}};
  for (int k = 0; k < 8; ++k) image.pixels.insert(image.pixels.end(), {uint8_t(20 + 30 * i), 7, 9});
  return CurrencyLump{EncodeTGA(image, 2), 1, 0, width, height};
}
inline Bytes Currency(const std::string& name, int notes) {
  std::vector<CurrencyLump> lumps;
  for (int i = 0; i < notes; ++i) lumps.push_back(Lump(i));
  return BuildCurrencyFile(name, 1, lumps);
}
