// The note's display lists: each strip GL is given while a list is made,
// with every vertex's texture coordinate and normal, in strip order, and the
// texture each list binds.
#include "data/NoteMesh.h"

#include <dlfcn.h>

#include <array>
#include <cmath>
#include <tuple>
#include <vector>

#include "GLTest.h"

namespace {

// x y z, s t, normal x y z, to 4 decimals.
using Vertex = std::array<double, 8>;
// The list being made, the primitive, its vertices.
using Strip = std::tuple<GLint, GLenum, std::vector<Vertex>>;
std::vector<Strip> gStrips;
Vertex gNext;  // the texture coordinate and normal set so far

Vertex Rounded(Vertex v) {
  for (double& x : v) x = std::round(x * 1e4) / 1e4;
  return v;
}
template <typename F>
F Real(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

}  // namespace

// The calls the code makes are recorded on their way to GL.
extern "C" {
void glBegin(GLenum mode) {
  GLint list = 0;
  glGetIntegerv(GL_LIST_INDEX, &list);  // not compiled: run at once
  gStrips.emplace_back(list, mode, std::vector<Vertex>());
  static const auto real = Real<void (*)(GLenum)>("glBegin");
  real(mode);
}
void glNormal3f(GLfloat x, GLfloat y, GLfloat z) {
  gNext[5] = x, gNext[6] = y, gNext[7] = z;
  static const auto real = Real<void (*)(GLfloat, GLfloat, GLfloat)>("glNormal3f");
  real(x, y, z);
}
void glTexCoord2f(GLfloat s, GLfloat t) {
  gNext[3] = s, gNext[4] = t;
  static const auto real = Real<void (*)(GLfloat, GLfloat)>("glTexCoord2f");
  real(s, t);
}
void glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
  gNext[0] = x, gNext[1] = y, gNext[2] = z;
  std::get<2>(gStrips.back()).push_back(Rounded(gNext));
  static const auto real = Real<void (*)(GLfloat, GLfloat, GLfloat)>("glVertex3f");
  real(x, y, z);
}
}

namespace {

// One face of the curved note worked out in double: column i at θ = -arc/2 +
// i·arc/9 (the width read as radians) from -y towards +x on the circle of
// radius scale; the front face's normals point to the axis, the back's away.
std::vector<Vertex> CurvedFace(double width, double height, double scale, bool front) {
  const double hz = 0.5 * height * scale, out = front ? -1 : 1;
  std::vector<Vertex> strip;
  for (int i = 0; i < 10; ++i) {
    const double theta = -width / 2 + i * width / 9, sn = std::sin(theta), cs = std::cos(theta);
    const double s = front ? i / 9.0 : 1 - i / 9.0, x = scale * sn, y = -scale * cs;
    strip.push_back(Rounded({x, y, out * hz, s, 0.5, out * sn, -out * cs, 0}));
    strip.push_back(Rounded({x, y, -out * hz, s, front ? 0.0 : 1.0, out * sn, -out * cs, 0}));
  }
  return strip;
}

using NoteMeshTest = GLTest;

// Width 1.5, height 0.64 at scale 2: the flat note spans x from -1.5 to 1.5
// and z from -0.64 to 0.64; t from 0 to 0.5 is the face turned to +y.
TEST_F(NoteMeshTest, EachListDrawsItsTwoStrips) {
  const GLint base = GLint(glGenLists(3));
  GLuint texture = 0;
  GLint bound = -1;
  glGenTextures(1, &texture);
  gStrips.clear();
  CreateNote(base, base + 1, base + 2, 1.5f, 0.64f, texture, 2.0f);
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(bound, 0) << "the lists were run while they were made";
  const std::vector<Vertex> front = CurvedFace(1.5, 0.64, 2.0, true),
                            back = CurvedFace(1.5, 0.64, 2.0, false);
  const GLenum strip = GL_TRIANGLE_STRIP;
  EXPECT_EQ(gStrips, (std::vector<Strip>{{base, strip, front},
                                         {base, strip, back},
                                         {base + 1, strip, front},
                                         {base + 1, strip, back},
                                         {base + 2,
                                          strip,
                                          {{-1.5, 0, .64, 0, 0, 0, 1, 0},
                                           {1.5, 0, .64, 1, 0, 0, 1, 0},
                                           {-1.5, 0, -.64, 0, .5, 0, 1, 0},
                                           {1.5, 0, -.64, 1, .5, 0, 1, 0}}},
                                         {base + 2,
                                          strip,
                                          {{-1.5, 0, -.64, 1, 1, 0, -1, 0},
                                           {1.5, 0, -.64, 0, 1, 0, -1, 0},
                                           {-1.5, 0, .64, 1, .5, 0, -1, 0},
                                           {1.5, 0, .64, 0, .5, 0, -1, 0}}}}));
  for (GLint list : {base, base + 1, base + 2}) {
    glCallList(GLuint(list));
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), texture) << "list " << list - base;
    glBindTexture(GL_TEXTURE_2D, 0);
  }
}

}  // namespace
