// The frustum planes taken from real GL matrices, and the culling test of a
// note's sphere against them.
#include "GLTest.h"
#include "world/GLStuff.h"

namespace {

VECTOR3D P(double x, double y, double z) { return MakePoint(float(x), float(y), float(z)); }

using FrustumTest = GLTest;

// glOrtho(-2, 2, -4, 4, 1, 9) moved by the model-view matrix: every plane (right, left, bottom,
// top, far, near) is exact in float, so each boundary can be hit exactly: a sphere touching a plane
// from outside is outside.
TEST_F(FrustumTest, BoxPlanesAreExactAndTouchingIsOutside) {
  glMatrixMode(GL_PROJECTION);
  glOrtho(-2, 2, -4, 4, 1, 9);
  glMatrixMode(GL_MODELVIEW);
  glTranslatef(1, 0, 0);  // the box seen from x = -1
  ExtractFrustum();
  const float planes[6][4] = {{-1, 0, 0, 1}, {1, 0, 0, 3}, {0, 1, 0, 4},
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

}  // namespace
