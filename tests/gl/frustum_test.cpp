// The frustum planes taken from real GL matrices, and the culling test of a
// note's sphere against them.
#include <GL/glu.h>

#include "GLTest.h"
#include "world/GLStuff.h"

namespace {

VECTOR3D P(double x, double y, double z) { return MakePoint(float(x), float(y), float(z)); }

using FrustumTest = GLTest;

// glOrtho(-2, 2, -4, 4, 1, 9): every plane (right, left, bottom, top, far, near) is exact in
// float, so each boundary can be hit exactly: a sphere touching a plane from outside is outside.
TEST_F(FrustumTest, BoxPlanesAreExactAndTouchingIsOutside) {
  glMatrixMode(GL_PROJECTION);
  glOrtho(-2, 2, -4, 4, 1, 9);
  ExtractFrustum();
  const float planes[6][4] = {{-1, 0, 0, 2}, {1, 0, 0, 2}, {0, 1, 0, 4},
                              {0, -1, 0, 4}, {0, 0, 1, 9}, {0, 0, -1, -1}};
  for (int i = 0; i < 6; ++i) {
    const float* n = planes[i];
    EXPECT_EQ(std::vector<float>(frustum[i], frustum[i] + 4), std::vector<float>(n, n + 4)) << i;
    // A point 1 outside the plane, in the middle of the others.
    const VECTOR3D out = P(-n[0] * (n[3] + 1), -n[1] * (n[3] + 1), n[2] ? -n[2] * (n[3] + 1) : -5);
    EXPECT_EQ(std::pair(SphereInFrustum(out, 1.0f), SphereInFrustum(out, 1.01f)),
              std::pair(false, true))
        << "plane " << i;
  }
}

// A tilted camera: a point is in the frustum where GL would put it inside the viewport and the
// depth range.
TEST_F(FrustumTest, PerspectivePlanesBoundWhatGLShows) {
  glMatrixMode(GL_PROJECTION);
  gluPerspective(60.0, 4.0 / 3.0, 1.0, 50.0);
  glMatrixMode(GL_MODELVIEW);
  gluLookAt(3, 2, 6, 0.5, -0.5, 0, 0, 1, 0);
  ExtractFrustum();
  GLdouble model[16], projection[16], x, y, z;
  GLint viewport[4];
  glGetDoublev(GL_MODELVIEW_MATRIX, model);
  glGetDoublev(GL_PROJECTION_MATRIX, projection);
  glGetIntegerv(GL_VIEWPORT, viewport);
  for (int i = 0; i < 9 * 9 * 9; ++i) {
    const VECTOR3D p = P(i % 9 * 6 - 24, i / 9 % 9 * 6 - 24, i / 81 * 6 - 44);
    gluProject(p.x, p.y, p.z, model, projection, viewport, &x, &y, &z);
    const bool shown = x > 0 && x < 640 && y > 0 && y < 480 && z > 0 && z < 1;
    EXPECT_EQ(SphereInFrustum(p, 0.0f), shown) << p.x << ", " << p.y << ", " << p.z;
  }
}

}  // namespace
