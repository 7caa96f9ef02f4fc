// The note's display lists as GL runs them: every vertex with its texture
// coordinate and normal, in strip order and winding, caught in feedback mode.
#include "data/NoteMesh.h"

#include <algorithm>
#include <cmath>
#include <ostream>
#include <vector>

#include "GLTest.h"
#include "maths/NiftyMaths.h"

namespace {

struct Vertex {
  double v[8];  // x y z, s t, normal x y z
};
std::ostream& operator<<(std::ostream& out, const Vertex& v) {
  return out << ::testing::PrintToString(v.v) << " ";
}
bool operator==(const Vertex& a, const Vertex& b) {
  return std::equal(a.v, a.v + 8, b.v, [](double x, double y) { return std::fabs(x - y) < 5e-5; });
}

// Every vertex list draws, three per triangle, in object coordinates. Window
// x is the object's x exactly (power-of-two scales); Mesa flips window y
// through the framebuffer height in float, which costs it about 3e-5, so the
// object's z goes there and its y to depth. Lights along +x, +y, +z and then
// along -x, -y, -z, one colour channel each, give the normal as the
// difference of a vertex's two colours. Mesa joins consecutive strips with
// degenerate triangles at the joint; those are left out.
std::vector<Vertex> Capture(GLuint list) {
  glViewport(-4, -4, 8, 8);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-4, 4, -4, 4, -4, 4);
  glMatrixMode(GL_MODELVIEW);
  const float swapYZ[16] = {1, 0, 0, 0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 1},
              black[4] = {0, 0, 0, 1}, white[4] = {1, 1, 1, 1};
  glLoadMatrixf(swapYZ);
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, black);
  glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
  glEnable(GL_LIGHTING);
  std::vector<float> lit[2] = {std::vector<float>(1 << 14), std::vector<float>(1 << 14)};
  for (int side = 0; side < 2; ++side) {
    for (int axis = 0; axis < 3; ++axis) {
      float direction[4] = {0, 0, 0, 0}, colour[4] = {0, 0, 0, 1};
      direction[axis] = side == 0 ? 1.0f : -1.0f;
      colour[axis] = 1;
      glLightfv(GL_LIGHT0 + axis, GL_POSITION, direction);
      glLightfv(GL_LIGHT0 + axis, GL_DIFFUSE, colour);
      glEnable(GL_LIGHT0 + axis);
    }
    glFeedbackBuffer(GLsizei(lit[side].size()), GL_4D_COLOR_TEXTURE, lit[side].data());
    glRenderMode(GL_FEEDBACK);
    glCallList(list);
    lit[side].resize(size_t(glRenderMode(GL_RENDER)));
  }
  EXPECT_EQ(lit[0].size(), lit[1].size());
  std::vector<Vertex> vertices;
  // Each triangle: a polygon token, 3, then per vertex x y z w, colour, texture.
  for (size_t i = 0; i + 38 <= std::min(lit[0].size(), lit[1].size()); i += 38) {
    EXPECT_EQ(std::pair(lit[0][i], lit[0][i + 1]), std::pair(float(GL_POLYGON_TOKEN), 3.0f)) << i;
    const float *p = &lit[0][i + 2], *n = &lit[1][i + 2];
    auto same = [&](int a, int b) { return std::equal(p + 12 * a, p + 12 * a + 3, p + 12 * b); };
    if (same(0, 1) || same(1, 2) || same(0, 2)) continue;
    for (int k = 0; k < 36; k += 12)
      vertices.push_back({{p[k], (0.5 - p[k + 2]) * 8.0, p[k + 1], p[k + 8], p[k + 9],
                           p[k + 4] - n[k + 4], p[k + 5] - n[k + 5], p[k + 6] - n[k + 6]}});
  }
  glDisable(GL_LIGHTING);
  return vertices;
}

// The captured triangles from `first` on are strip's, in order, each turning
// the same way as in the strip (from any of its vertices).
void ExpectStrip(const std::vector<Vertex>& got, size_t first, const std::vector<Vertex>& strip) {
  for (size_t k = 0; k + 2 < strip.size(); ++k) {
    const std::vector<Vertex> want = {strip[k + k % 2], strip[k + 1 - k % 2], strip[k + 2]};
    const Vertex* at = &got.at(3 * (first + k) + 2) - 2;
    const int r = at[1] == want[0] ? 1 : at[2] == want[0] ? 2 : 0;  // its first vertex
    EXPECT_EQ((std::vector<Vertex>{at[r], at[(r + 1) % 3], at[(r + 2) % 3]}), want)
        << "triangle " << first + k;
  }
}

// One face of the curved note worked out in double: column i at θ = -arc/2 +
// i·arc/9 (the width read as radians) from -y towards +x on the circle of
// radius scale; the front face's normals point to the axis, the back's away.
std::vector<Vertex> CurvedFace(double width, double height, double scale, bool front) {
  const double hz = 0.5 * height * scale, out = front ? -1 : 1;
  std::vector<Vertex> strip;
  for (int i = 0; i < 10; ++i) {
    const double theta = -width / 2 + i * width / 9, sn = std::sin(theta), cs = std::cos(theta);
    const double s = front ? i / 9.0 : 1 - i / 9.0, x = scale * sn, y = -scale * cs;
    strip.push_back({{x, y, out * hz, s, 0.5, out * sn, -out * cs, 0}});
    strip.push_back({{x, y, -out * hz, s, front ? 0.0 : 1.0, out * sn, -out * cs, 0}});
  }
  return strip;
}

using NoteMeshTest = GLTest;

// Width 1.5, height 0.64 at scale 2: the flat note spans x from -1.5 to 1.5
// and z from -0.64 to 0.64; t from 0 to 0.5 is the face turned to +y.
TEST_F(NoteMeshTest, EachListDrawsItsTwoStrips) {
  const GLuint base = glGenLists(3);
  GLuint texture = 0;
  GLint bound = -1;
  glGenTextures(1, &texture);
  CreateNote(base, base + 1, base + 2, 1.5f, 0.64f, texture, 2.0f);
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(bound, 0) << "the lists were run while they were made";
  const double l = -1.5, r = 1.5, top = 0.64, bottom = -0.64;
  const std::vector<Vertex> flat[2] = {{{{l, 0, top, 0, 0, 0, 1, 0}},
                                        {{r, 0, top, 1, 0, 0, 1, 0}},
                                        {{l, 0, bottom, 0, .5, 0, 1, 0}},
                                        {{r, 0, bottom, 1, .5, 0, 1, 0}}},
                                       {{{l, 0, bottom, 1, 1, 0, -1, 0}},
                                        {{r, 0, bottom, 0, 1, 0, -1, 0}},
                                        {{l, 0, top, 1, .5, 0, -1, 0}},
                                        {{r, 0, top, 0, .5, 0, -1, 0}}}};
  for (GLuint list : {base, base + 1, base + 2}) {
    glCallList(list);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), texture) << "list " << list - base;
    const bool curved = list != base + 2;
    const std::vector<Vertex> got = Capture(list);
    ASSERT_EQ(got.size(), curved ? 3 * 36u : 3 * 4u) << "list " << list - base;
    ExpectStrip(got, 0, curved ? CurvedFace(1.5, 0.64, 2.0, true) : flat[0]);
    ExpectStrip(got, curved ? 18 : 2, curved ? CurvedFace(1.5, 0.64, 2.0, false) : flat[1]);
    glBindTexture(GL_TEXTURE_2D, 0);
  }
}

}  // namespace
