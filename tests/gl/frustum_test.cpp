// The frustum planes taken from real GL matrices, and the tests against them.
#include <GL/glu.h>

#include <array>
#include <cmath>

#include "GLTest.h"
#include "world/GLStuff.h"

namespace {

VECTOR3D P(double x, double y, double z) { return MakePoint(float(x), float(y), float(z)); }
double Distance(int plane, VECTOR3D p) {
  return frustum[plane][0] * p.x + frustum[plane][1] * p.y + frustum[plane][2] * p.z +
         frustum[plane][3];
}

using FrustumTest = GLTest;

// glOrtho(-2, 2, -4, 4, 1, 9): every plane is exact in float, so each
// boundary can be hit exactly.
TEST_F(FrustumTest, BoxPlanesAreExactAndEveryBoundaryIsStrict) {
  glMatrixMode(GL_PROJECTION);
  glOrtho(-2, 2, -4, 4, 1, 9);
  ExtractFrustum();
  // right, left, bottom, top, far, near
  const float planes[6][4] = {{-1, 0, 0, 2}, {1, 0, 0, 2}, {0, 1, 0, 4},
                              {0, -1, 0, 4}, {0, 0, 1, 9}, {0, 0, -1, -1}};
  const VECTOR3D p = P(0.25, 0.5, -3);
  const VECTOR3D edge[6] = {P(2, .5, -3),  P(-2, .5, -3),  P(.25, -4, -3),
                            P(.25, 4, -3), P(.25, .5, -9), P(.25, .5, -1)};
  for (int i = 0; i < 6; ++i) {
    const float* n = planes[i];
    EXPECT_TRUE(std::equal(n, n + 4, frustum[i])) << "plane " << i;
    const VECTOR3D on = P(-n[0] * n[3], -n[1] * n[3], n[2] != 0 ? -n[2] * n[3] : -5);
    const VECTOR3D outsideBy1 = P(on.x - n[0], on.y - n[1], on.z - n[2]);
    EXPECT_FALSE(PointInFrustum(on)) << i;
    EXPECT_TRUE(PointInFrustum(P(on.x + .01 * n[0], on.y + .01 * n[1], on.z + .01 * n[2]))) << i;
    EXPECT_TRUE(!SphereInFrustum(outsideBy1, 1.0f) && SphereInFrustum(outsideBy1, 1.01f))
        << i;  // touching is outside
    EXPECT_TRUE(!SphereInsideSinglePlaneFrustum(i, outsideBy1, 1.0f) &&
                SphereInsideSinglePlaneFrustum(i, outsideBy1, 1.01f))
        << i;
    const VECTOR3D q = PointAtEdgeOfFrustum(i, p);
    EXPECT_TRUE(q.x == edge[i].x && q.y == edge[i].y && q.z == edge[i].z) << i;
  }
  for (int plane : {6, -1}) {
    const VECTOR3D q = PointAtEdgeOfFrustum(plane, p);
    EXPECT_TRUE(q.x == 0 && q.y == 0 && q.z == 0) << plane;
  }
}

// A tilted camera: each plane is its clip-space bound (w - x, w + x, w + y,
// w - y, w - z, w + z of projection x model-view x p), worked out here in
// double and scaled to world units.
TEST_F(FrustumTest, PerspectivePlanesAreTheClipVolumeInWorldUnits) {
  glMatrixMode(GL_PROJECTION);
  gluPerspective(60.0, 4.0 / 3.0, 1.0, 50.0);
  glMatrixMode(GL_MODELVIEW);
  gluLookAt(3, 2, 6, 0.5, -0.5, 0, 0, 1, 0);
  ExtractFrustum();
  double proj[16], view[16];
  glGetDoublev(GL_PROJECTION_MATRIX, proj);
  glGetDoublev(GL_MODELVIEW_MATRIX, view);
  auto bound = [&](int plane, std::array<double, 4> p) {
    std::array<double, 4> eye{}, clip{};
    for (int r = 0; r < 16; ++r) eye[r % 4] += view[r] * p[r / 4];
    for (int r = 0; r < 16; ++r) clip[r % 4] += proj[r] * eye[r / 4];
    return clip[3] + (plane == 1 || plane == 2 || plane == 5 ? 1 : -1) * clip[plane / 2];
  };
  for (int i = 0; i < 6; ++i) {
    const double a = bound(i, {1, 0, 0, 0}), b = bound(i, {0, 1, 0, 0}), c = bound(i, {0, 0, 1, 0}),
                 length = std::hypot(a, b, c);
    const double expected[4] = {a / length, b / length, c / length,
                                bound(i, {0, 0, 0, 1}) / length};
    for (int k = 0; k < 4; ++k)
      EXPECT_NEAR(frustum[i][k], expected[k], 1e-5 * (1 + std::fabs(expected[k])))
          << "plane " << i << ", " << k;
    // Moved along its plane's own axis only, a point lands on the plane.
    const VECTOR3D p = P(0.7, -0.3, 1.1), q = PointAtEdgeOfFrustum(i, p);
    EXPECT_NEAR(Distance(i, q), 0.0, 1e-4) << i;
    EXPECT_TRUE(i < 2   ? q.y == p.y && q.z == p.z
                : i < 4 ? q.x == p.x && q.z == p.z
                        : q.x == p.x && q.y == p.y)
        << i;
  }
}

}  // namespace
