// The frustum planes taken from real GL matrices, and the tests against them.
#include <GL/glu.h>

#include "GLTest.h"
#include "world/GLStuff.h"

namespace {

VECTOR3D P(double x, double y, double z) { return MakePoint(float(x), float(y), float(z)); }

using FrustumTest = GLTest;

// glOrtho(-2, 2, -4, 4, 1, 9): every plane (right, left, bottom, top, far, near) is exact in
// float, so each boundary can be hit exactly, and touching is outside.
TEST_F(FrustumTest, BoxPlanesAreExactAndEveryBoundaryIsStrict) {
  glMatrixMode(GL_PROJECTION);
  glOrtho(-2, 2, -4, 4, 1, 9);
  ExtractFrustum();
  const float planes[6][4] = {{-1, 0, 0, 2}, {1, 0, 0, 2}, {0, 1, 0, 4},
                              {0, -1, 0, 4}, {0, 0, 1, 9}, {0, 0, -1, -1}};
  const VECTOR3D p = P(0.25, 0.5, -3);
  const float edge[6][3] = {{2, .5, -3},  {-2, .5, -3},  {.25, -4, -3},
                            {.25, 4, -3}, {.25, .5, -9}, {.25, .5, -1}};
  for (int i = 0; i < 6; ++i) {
    const float* n = planes[i];
    EXPECT_EQ(std::vector<float>(frustum[i], frustum[i] + 4), std::vector<float>(n, n + 4)) << i;
    const VECTOR3D on = P(-n[0] * n[3], -n[1] * n[3], n[2] != 0 ? -n[2] * n[3] : -5),
                   in = P(on.x + .01 * n[0], on.y + .01 * n[1], on.z + .01 * n[2]),
                   outBy1 = P(on.x - n[0], on.y - n[1], on.z - n[2]);
    EXPECT_EQ(std::vector<bool>({PointInFrustum(on), PointInFrustum(in),
                                 SphereInFrustum(outBy1, 1.0f), SphereInFrustum(outBy1, 1.01f),
                                 SphereInsideSinglePlaneFrustum(i, outBy1, 1.0f),
                                 SphereInsideSinglePlaneFrustum(i, outBy1, 1.01f)}),
              std::vector<bool>({false, true, false, true, false, true}))
        << "plane " << i;
    const VECTOR3D q = PointAtEdgeOfFrustum(i, p);
    EXPECT_EQ(std::vector<float>({q.x, q.y, q.z}), std::vector<float>(edge[i], edge[i] + 3)) << i;
  }
  for (int plane : {6, -1}) {
    const VECTOR3D q = PointAtEdgeOfFrustum(plane, p);
    EXPECT_EQ(std::vector<float>({q.x, q.y, q.z}), std::vector<float>(3, 0.0f)) << plane;
  }
}

// A tilted camera: a point is in the frustum where GL would put it inside the viewport and the
// depth range, and moved along its plane's own axis only, a point lands on the plane.
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
    EXPECT_EQ(PointInFrustum(p), shown) << p.x << ", " << p.y << ", " << p.z;
  }
  const VECTOR3D p = P(0.7, -0.3, 1.1);
  for (int i = 0; i < 6; ++i) {
    const VECTOR3D q = PointAtEdgeOfFrustum(i, p);
    const float* f = frustum[i];
    EXPECT_NEAR(f[0] * q.x + f[1] * q.y + f[2] * q.z + f[3], 0.0, 1e-4) << i;
    EXPECT_EQ((std::vector<bool>{q.x == p.x, q.y == p.y, q.z == p.z}),
              (std::vector<bool>{i >= 2, i < 2 || i >= 4, i < 4}))
        << i;
  }
}

}  // namespace
