// The frustum planes taken from real GL matrices, and the tests against them.
#include <GL/glu.h>

#include <array>
#include <cmath>

#include "GLTest.h"
#include "world/GLStuff.h"

namespace {

VECTOR3D P(double x, double y, double z) { return MakePoint(float(x), float(y), float(z)); }
double Distance(int plane, VECTOR3D p) {
  const float* f = frustum[plane];
  return double(f[0] * p.x + f[1] * p.y + f[2] * p.z + f[3]);
}

using FrustumTest = GLTest;

// glOrtho(-2, 2, -4, 4, 1, 9): every plane is exact in float, so boundaries
// can be hit exactly.
TEST_F(FrustumTest, BoxPlanesAreExactAndEveryBoundaryIsStrict) {
  glMatrixMode(GL_PROJECTION);
  glOrtho(-2, 2, -4, 4, 1, 9);
  glMatrixMode(GL_MODELVIEW);
  ExtractFrustum();
  // right, left, bottom, top, far, near
  const float planes[6][4] = {{-1, 0, 0, 2}, {1, 0, 0, 2}, {0, 1, 0, 4}, {0, -1, 0, 4}, {0, 0, 1, 9}, {0, 0, -1, -1}};
  const VECTOR3D p = P(0.25, 0.5, -3);
  const VECTOR3D edge[6] = {P(2, .5, -3), P(-2, .5, -3), P(.25, -4, -3), P(.25, 4, -3), P(.25, .5, -9), P(.25, .5, -1)};
  for (int i = 0; i < 6; ++i) {
    const float* n = planes[i];
    for (int k = 0; k < 4; ++k) EXPECT_EQ(frustum[i][k], n[k]) << "plane " << i << ", " << k;
    const VECTOR3D on = P(-n[0] * n[3], -n[1] * n[3], -5 + (n[2] != 0 ? -n[2] * n[3] + 5 : 0));
    const VECTOR3D outsideBy1 = P(on.x - n[0], on.y - n[1], on.z - n[2]);
    EXPECT_FALSE(PointInFrustum(on)) << i;
    EXPECT_TRUE(PointInFrustum(P(on.x + .01 * n[0], on.y + .01 * n[1], on.z + .01 * n[2]))) << i;
    EXPECT_FALSE(SphereInFrustum(outsideBy1, 1.0f)) << i;  // touching from outside
    EXPECT_TRUE(SphereInFrustum(outsideBy1, 1.01f)) << i;
    EXPECT_FALSE(SphereInsideSinglePlaneFrustum(i, outsideBy1, 1.0f)) << i;
    EXPECT_TRUE(SphereInsideSinglePlaneFrustum(i, outsideBy1, 1.01f)) << i;
    const VECTOR3D q = PointAtEdgeOfFrustum(i, p);
    EXPECT_TRUE(q.x == edge[i].x && q.y == edge[i].y && q.z == edge[i].z) << i;
  }
  for (int plane : {6, -1}) {
    const VECTOR3D q = PointAtEdgeOfFrustum(plane, p);
    EXPECT_TRUE(q.x == 0 && q.y == 0 && q.z == 0) << plane;
  }
}

// A tilted camera: each plane's signed distance is its clip-space bound
// (w - x, w + x, w + y, w - y, w - z, w + z of projection x model-view x p)
// over that bound's gradient, worked out here in double.
TEST_F(FrustumTest, PerspectivePlanesAreTheClipVolumeInWorldUnits) {
  glMatrixMode(GL_PROJECTION);
  gluPerspective(60.0, 4.0 / 3.0, 1.0, 50.0);
  glMatrixMode(GL_MODELVIEW);
  gluLookAt(3, 2, 6, 0.5, -0.5, 0, 0, 1, 0);
  ExtractFrustum();
  double proj[16], view[16];
  glGetDoublev(GL_PROJECTION_MATRIX, proj);
  glGetDoublev(GL_MODELVIEW_MATRIX, view);
  auto bound = [&](int plane, double x, double y, double z) {
    std::array<double, 4> eye{}, clip{};
    for (int r = 0; r < 4; ++r) eye[r] = view[r] * x + view[4 + r] * y + view[8 + r] * z + view[12 + r];
    for (int r = 0; r < 4; ++r)
      for (int k = 0; k < 4; ++k) clip[r] += proj[4 * k + r] * eye[k];
    return clip[3] + (plane == 1 || plane == 2 || plane == 5 ? 1 : -1) * clip[plane / 2];
  };
  for (int i = 0; i < 6; ++i) {
    const double g0 = bound(i, 0, 0, 0);
    const double gradient = std::hypot(bound(i, 1, 0, 0) - g0, bound(i, 0, 1, 0) - g0, bound(i, 0, 0, 1) - g0);
    for (double x = -12; x <= 12; x += 3)
      for (double y = -12; y <= 12; y += 3)
        for (double z = -40; z <= 8; z += 4) {
          const double expected = bound(i, x, y, z) / gradient;
          ASSERT_NEAR(Distance(i, P(x, y, z)), expected, 1e-4 * (1 + std::fabs(expected))) << i << " at " << x << " " << y << " " << z;
        }
    // Moved along one axis only, a point lands on the plane.
    const VECTOR3D p = P(0.7, -0.3, 1.1), q = PointAtEdgeOfFrustum(i, p);
    EXPECT_NEAR(Distance(i, q), 0.0, 1e-4) << i;
    EXPECT_EQ((q.x != p.x) + (q.y != p.y) + (q.z != p.z), 1) << i;
    EXPECT_TRUE(i < 2 ? q.x != p.x : i < 4 ? q.y != p.y : q.z != p.z) << i;
  }
}

}  // namespace
