// The frustum planes from real GL matrices and the tests against them.
#include <GL/glu.h>

#include <cmath>

#include "GLTest.h"
#include "maths/NiftyMaths.h"
#include "world/GLStuff.h"

namespace {

enum { RIGHT, LEFT, BOTTOM, TOP, FAR, NEAR };

VECTOR3D P(float x, float y, float z) { return MakePoint(x, y, z); }

// Double-precision vector helpers for the independent computation.
struct V {
  double x, y, z;
};
V operator+(V a, V b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V operator-(V a, V b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V operator*(double k, V a) { return {k * a.x, k * a.y, k * a.z}; }
double Dot(V a, V b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V Cross(V a, V b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
V Unit(V a) { return (1.0 / std::sqrt(Dot(a, a))) * a; }
VECTOR3D ToFloat(V a) { return MakePoint(float(a.x), float(a.y), float(a.z)); }

double PlaneDistance(int plane, V p) {
  const float* f = frustum[plane];
  return f[0] * p.x + f[1] * p.y + f[2] * p.z + f[3];
}

// A camera looking from (3, 2, 6) at (0.5, -0.5, 0) through a 60° lens,
// aspect 4:3, depth 1 to 50, with its planes worked out from its geometry.
class FrustumTest : public GLTest {
protected:
  void LoadIdentities() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
  }
};

class PerspectiveFrustum : public FrustumTest {
protected:
  const V eye{3.0, 2.0, 6.0};
  const V centre{0.5, -0.5, 0.0};
  const double fovy = 60.0, aspect = 4.0 / 3.0, zNear = 1.0, zFar = 50.0;
  V forward{}, side{}, up{};
  double tanY = 0.0, tanX = 0.0;
  V normals[6]{};
  double distances[6]{};

  void SetUp() override {
    FrustumTest::SetUp();
    if (HasFatalFailure()) return;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(fovy, aspect, zNear, zFar);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(eye.x, eye.y, eye.z, centre.x, centre.y, centre.z, 0.0, 1.0, 0.0);
    ExtractFrustum();

    forward = Unit(centre - eye);
    side = Unit(Cross(forward, V{0.0, 1.0, 0.0}));
    up = Cross(side, forward);
    tanY = std::tan(fovy / 2.0 * NIFTY_PI / 180.0);
    tanX = aspect * tanY;
    const V inward[6] = {tanX * forward - side, tanX * forward + side, tanY * forward + up,
                         tanY * forward - up,   -1.0 * forward,        forward};
    for (int i = 0; i < 6; ++i) {
      normals[i] = Unit(inward[i]);
      distances[i] = -Dot(normals[i], eye);
    }
    distances[FAR] += zFar;  // the far plane lies zFar down the view, the near zNear
    distances[NEAR] -= zNear;
  }

  // A point on plane i's face of the frustum, 10 units down the view.
  V PointOnPlane(int i) const {
    const V middle = eye + 10.0 * forward;
    switch (i) {
      case RIGHT: return middle + (10.0 * tanX) * side;
      case LEFT: return middle - (10.0 * tanX) * side;
      case BOTTOM: return middle - (10.0 * tanY) * up;
      case TOP: return middle + (10.0 * tanY) * up;
      case FAR: return eye + zFar * forward;
      default: return eye + zNear * forward;
    }
  }
};

}  // namespace

TEST_F(FrustumTest, FrustumOfIdentityMatricesIsTheUnitCube) {
  LoadIdentities();
  ExtractFrustum();
  const float expected[6][4] = {
      {-1, 0, 0, 1}, {1, 0, 0, 1}, {0, 1, 0, 1}, {0, -1, 0, 1}, {0, 0, -1, 1}, {0, 0, 1, 1},
  };
  for (int plane = 0; plane < 6; ++plane) {
    for (int k = 0; k < 4; ++k) {
      EXPECT_EQ(frustum[plane][k], expected[plane][k]) << plane << "," << k;
    }
  }
}

TEST_F(PerspectiveFrustum, PlanesMatchTheCameraGeometry) {
  for (int i = 0; i < 6; ++i) {
    const float* f = frustum[i];
    EXPECT_NEAR(std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]), 1.0, 1e-6) << i;
    EXPECT_NEAR(f[0], normals[i].x, 1e-5) << i;
    EXPECT_NEAR(f[1], normals[i].y, 1e-5) << i;
    EXPECT_NEAR(f[2], normals[i].z, 1e-5) << i;
    EXPECT_NEAR(f[3], distances[i], 1e-4 * std::max(1.0, std::fabs(distances[i]))) << i;
  }
}

TEST_F(PerspectiveFrustum, PointsJustInsideAndOutsideEachPlane) {
  EXPECT_TRUE(PointInFrustum(ToFloat(eye + 10.0 * forward)));
  EXPECT_FALSE(PointInFrustum(ToFloat(eye)));  // behind the near plane
  for (int i = 0; i < 6; ++i) {
    const V onPlane = PointOnPlane(i);
    EXPECT_NEAR(PlaneDistance(i, onPlane), 0.0, 1e-4) << i;
    const VECTOR3D inside = ToFloat(onPlane + 0.01 * normals[i]);
    const VECTOR3D outside = ToFloat(onPlane - 0.01 * normals[i]);
    EXPECT_TRUE(PointInFrustum(inside)) << i;
    EXPECT_FALSE(PointInFrustum(outside)) << i;
    EXPECT_TRUE(SphereInsideSinglePlaneFrustum(i, inside, 0.0f)) << i;
    EXPECT_FALSE(SphereInsideSinglePlaneFrustum(i, outside, 0.0f)) << i;
  }
}

TEST_F(PerspectiveFrustum, SphereJustBehindTheNearPlaneIsVisibleWithinItsRadius) {
  const VECTOR3D centre = ToFloat(eye + (zNear - 0.05) * forward);
  EXPECT_FALSE(PointInFrustum(centre));
  EXPECT_TRUE(SphereInFrustum(centre, 0.1f));
  EXPECT_FALSE(SphereInFrustum(centre, 0.04f));
}

TEST_F(PerspectiveFrustum, PointAtEdgeLandsOnThePlaneMovingOneAxis) {
  const VECTOR3D p = P(0.7f, -0.3f, 1.1f);
  for (int plane = 0; plane < 6; ++plane) {
    const VECTOR3D q = PointAtEdgeOfFrustum(plane, p);
    EXPECT_NEAR(PlaneDistance(plane, V{q.x, q.y, q.z}), 0.0, 1e-4) << plane;
    if (plane > LEFT) {
      EXPECT_EQ(q.x, p.x) << plane;
    }
    if (plane < BOTTOM || plane > TOP) {
      EXPECT_EQ(q.y, p.y) << plane;
    }
    if (plane < FAR) {
      EXPECT_EQ(q.z, p.z) << plane;
    }
  }
}

TEST_F(FrustumTest, PointOnAPlaneIsOutside) {
  LoadIdentities();
  ExtractFrustum();
  EXPECT_TRUE(PointInFrustum(P(0, 0, 0)));
  EXPECT_TRUE(PointInFrustum(P(0.999f, -0.999f, 0.999f)));
  const VECTOR3D onPlanes[6] = {P(1, 0, 0), P(-1, 0, 0), P(0, -1, 0),
                                P(0, 1, 0), P(0, 0, 1),  P(0, 0, -1)};
  for (const VECTOR3D& p : onPlanes) {
    EXPECT_FALSE(PointInFrustum(p)) << p.x << " " << p.y << " " << p.z;
    EXPECT_FALSE(SphereInFrustum(p, 0.0f));
    EXPECT_TRUE(SphereInFrustum(p, 0.001f));
  }
  EXPECT_FALSE(PointInFrustum(P(0.5f, 3, 0.5f)));
}

TEST_F(FrustumTest, SphereTouchingAPlaneFromOutsideIsOutside) {
  LoadIdentities();
  ExtractFrustum();
  // Centre 2 along each axis: 1 outside one plane.
  const VECTOR3D centres[6] = {P(2, 0, 0),  P(-2, 0, 0), P(0, -2, 0),
                               P(0, 2, 0),  P(0, 0, 2),  P(0, 0, -2)};
  for (int plane = 0; plane < 6; ++plane) {
    const VECTOR3D c = centres[plane];
    EXPECT_FALSE(SphereInFrustum(c, 1.0f)) << plane;
    EXPECT_TRUE(SphereInFrustum(c, 1.5f)) << plane;
    EXPECT_FALSE(SphereInsideSinglePlaneFrustum(plane, c, 1.0f)) << plane;
    EXPECT_TRUE(SphereInsideSinglePlaneFrustum(plane, c, 1.5f)) << plane;
    // Every other plane has the centre well inside.
    for (int other = 0; other < 6; ++other) {
      if (other != plane) {
        EXPECT_TRUE(SphereInsideSinglePlaneFrustum(other, c, 0.0f)) << other;
      }
    }
  }
  // Just behind the near plane (z = -1), within the radius.
  EXPECT_TRUE(SphereInFrustum(P(0, 0, -1.05f), 0.1f));
  EXPECT_FALSE(SphereInFrustum(P(0, 0, -1.05f), 0.04f));
}

TEST_F(FrustumTest, SphereOfRadiusZeroIsAPoint) {
  LoadIdentities();
  glMatrixMode(GL_PROJECTION);
  gluPerspective(50.0, 1.5, 0.5, 20.0);
  glMatrixMode(GL_MODELVIEW);
  gluLookAt(1.0, 1.0, 4.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
  ExtractFrustum();
  for (float x = -12.0f; x <= 12.0f; x += 1.5f) {
    for (float y = -12.0f; y <= 12.0f; y += 1.5f) {
      for (float z = -20.0f; z <= 6.0f; z += 1.0f) {
        const VECTOR3D p = P(x, y, z);
        ASSERT_EQ(SphereInFrustum(p, 0.0f), PointInFrustum(p)) << x << " " << y << " " << z;
      }
    }
  }
}

TEST_F(FrustumTest, PointAtEdgeOfEachPlaneOfTheUnitCube) {
  LoadIdentities();
  ExtractFrustum();
  const VECTOR3D p = P(0.25f, 0.5f, -0.75f);
  const VECTOR3D expected[6] = {P(1, 0.5f, -0.75f),  P(-1, 0.5f, -0.75f), P(0.25f, -1, -0.75f),
                                P(0.25f, 1, -0.75f), P(0.25f, 0.5f, 1),   P(0.25f, 0.5f, -1)};
  for (int plane = 0; plane < 6; ++plane) {
    const VECTOR3D q = PointAtEdgeOfFrustum(plane, p);
    EXPECT_EQ(q.x, expected[plane].x) << plane;
    EXPECT_EQ(q.y, expected[plane].y) << plane;
    EXPECT_EQ(q.z, expected[plane].z) << plane;
  }
  for (int plane : {6, -1, 100, -100}) {
    const VECTOR3D q = PointAtEdgeOfFrustum(plane, p);
    EXPECT_EQ(q.x, 0.0f) << plane;
    EXPECT_EQ(q.y, 0.0f) << plane;
    EXPECT_EQ(q.z, 0.0f) << plane;
  }
}
