// Vectors, matrices, quaternions and Euler angles. Where the library fixes a
// precision, inputs are chosen so that doing the step in the other precision
// gives a different answer, and the result is compared exactly.
#include "maths/NiftyMaths.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>

namespace {

constexpr double kPi = 3.141592653589793;

VECTOR3D V(float x, float y, float z) { return MakePoint(x, y, z); }

QUAT Q(double x, double y, double z, double w)
{
  QUAT q;
  q.x = x, q.y = y, q.z = z, q.w = w;
  return q;
}

// Exact unless a tolerance is given (0 and -0 count as equal).
void ExpectNear(VECTOR3D v, float x, float y, float z, float tol = 0)
{
  EXPECT_NEAR(v.x, x, tol);
  EXPECT_NEAR(v.y, y, tol);
  EXPECT_NEAR(v.z, z, tol);
}

void ExpectNear(QUAT q, QUAT e, double tol)
{
  EXPECT_NEAR(q.x, e.x, tol);
  EXPECT_NEAR(q.y, e.y, tol);
  EXPECT_NEAR(q.z, e.z, tol);
  EXPECT_NEAR(q.w, e.w, tol);
}

void ExpectIdentity(const MATRIX& m)
{
  for (int i = 0; i < 16; ++i) EXPECT_EQ(m.m[i], (i % 5 == 0) ? 1.0 : 0.0) << "element " << i;
}

// Columns 0..2 are orthonormal and right-handed; the rest is the identity's.
void ExpectRotation(const MATRIX& m, double tol)
{
  const double* c[3] = {&m.m[0], &m.m[4], &m.m[8]};
  for (int a = 0; a < 3; ++a) {
    for (int b = a; b < 3; ++b) {
      EXPECT_NEAR(c[a][0] * c[b][0] + c[a][1] * c[b][1] + c[a][2] * c[b][2], a == b ? 1.0 : 0.0, tol);
    }
  }
  const double det = c[0][0] * (c[1][1] * c[2][2] - c[1][2] * c[2][1]) -
                     c[1][0] * (c[0][1] * c[2][2] - c[0][2] * c[2][1]) +
                     c[2][0] * (c[0][1] * c[1][2] - c[0][2] * c[1][1]);
  EXPECT_NEAR(det, 1.0, tol);
  for (int i : {3, 7, 11, 12, 13, 14}) EXPECT_EQ(m.m[i], 0.0) << "element " << i;
  EXPECT_EQ(m.m[15], 1.0);
}

// Smallest distance between two angles in degrees, around the circle.
double AngleGap(double a, double b)
{
  const double d = std::fabs(std::fmod(a - b, 360.0));
  return d > 180.0 ? 360.0 - d : d;
}

}  // namespace

// --- layout: handed straight to OpenGL as float and double arrays ------------

TEST(MathsLayout, FieldsAreInDeclaredOrderWithoutPadding)
{
  EXPECT_EQ(sizeof(VECTOR3D), 3 * sizeof(float));
  EXPECT_EQ(offsetof(VECTOR3D, z), 2 * sizeof(float));
  EXPECT_EQ(sizeof(point2d), 2 * sizeof(float));
  EXPECT_EQ(offsetof(COLOUR, a), 3 * sizeof(float));
  EXPECT_EQ(sizeof(MATRIX), 16 * sizeof(double));
  EXPECT_EQ(offsetof(QUAT, w), 3 * sizeof(double));
}

// --- vectors -----------------------------------------------------------------

TEST(Vectors, ScaleVectorMultipliesInDouble)
{
  // 1 + 2^-24 rounds to 1 as a float; in double the product reaches 2^24.
  const double s = 1.0 + std::ldexp(1.0, -24);
  const VECTOR3D r = ScaleVector(V(16777215.0f, -16777215.0f, 2.0f), s);
  ASSERT_EQ(16777215.0f * static_cast<float>(s), 16777215.0f);
  EXPECT_EQ(r.x, 16777216.0f);
  EXPECT_EQ(r.y, -16777216.0f);
  EXPECT_EQ(r.z, static_cast<float>(2.0 * s));
}

TEST(Vectors, DotCrossAndNormal)
{
  // 1e8 + 1 is 1e8 in float, so the sum cancels to 0 (it would be 1 in double).
  EXPECT_EQ(VectorDotProduct(V(1e8f, 1, 1e8f), V(1, 1, -1)), 0.0);

  ExpectNear(VectorCrossProduct(V(1, 0, 0), V(0, 1, 0)), 0, 0, 1);
  ExpectNear(VectorCrossProduct(V(1, 2, 3), V(4, 5, 6)), -3, 6, -3);
  // (a - b) x (b - c): counter-clockwise in the XY plane faces +Z, and is not normalised.
  ExpectNear(CalculateNormal(V(0, 0, 0), V(2, 0, 0), V(0, 3, 0)), 0, 0, 6);
  ExpectNear(CalculateNormal(V(0, 0, 0), V(0, 3, 0), V(2, 0, 0)), 0, 0, -6);
}

TEST(Vectors, LengthsTakeTheFloatSum)
{
  // 4096^2 + 1 = 2^24 + 1 is 2^24 in float: the length is exactly 4096.
  EXPECT_EQ(VectorLength(V(4096, 1, 0)), 4096.0);
  EXPECT_EQ(VectorLengthNOSQRT(V(4096, 1, 0)), 16777216.0);
  // The root itself is a double one.
  EXPECT_EQ(VectorLength(V(1, 1, 0)), std::sqrt(2.0));
  EXPECT_NE(static_cast<double>(std::sqrt(2.0f)), std::sqrt(2.0));
}

TEST(Vectors, DistanceIsSquaredAndCompareIsExact)
{
  EXPECT_EQ(DistanceBetweenVectors(V(0, 0, 0), V(3, 4, 0)), 25.0);
  EXPECT_EQ(DistanceBetweenVectors(V(1, 2, 3), V(2, 4, 6)), 14.0);

  EXPECT_TRUE(CompareVectors(V(1, 2, 3), V(1, 2, 3)));
  EXPECT_TRUE(CompareVectors(V(0.0f, 0, 0), V(-0.0f, 0, 0)));
  EXPECT_FALSE(CompareVectors(V(1, 2, 3), V(1, 2, std::nextafter(3.0f, 4.0f))));
}

TEST(Vectors, NormalizeVectorWorksInDouble)
{
  // For (1, 1, 2) the double and the float route round to different floats.
  const VECTOR3D n = NormalizeVector(V(1, 1, 2));
  const double len = std::sqrt(6.0);
  EXPECT_EQ(n.x, static_cast<float>(1.0 / len));
  EXPECT_EQ(n.z, static_cast<float>(2.0 / len));
  EXPECT_NE(n.x, 1.0f / std::sqrt(6.0f));

  const VECTOR3D zero = NormalizeVector(V(0, 0, 0));  // no guard
  EXPECT_FALSE(std::isfinite(zero.x) || std::isfinite(zero.y) || std::isfinite(zero.z));
}

TEST(Vectors, MemberNormalizeWorksInFloatAndSkipsZero)
{
  VECTOR3D v = V(1, 1, 2);
  v.Normalize();
  const float len = std::sqrt(6.0f);
  EXPECT_EQ(v.x, 1.0f / len);
  EXPECT_EQ(v.y, 1.0f / len);
  EXPECT_EQ(v.z, 2.0f / len);

  VECTOR3D zero = V(0, 0, 0);
  zero.Normalize();
  ExpectNear(zero, 0, 0, 0);
}

// --- Rotate ------------------------------------------------------------------

TEST(Rotate, ZeroAnglesAndAQuarterTurnAboutX)
{
  const float nan = std::numeric_limits<float>::quiet_NaN();
  VECTOR3D z = V(nan, -0.0f, std::numeric_limits<float>::denorm_min());
  const VECTOR3D before = z;
  Rotate(&z, 0.0f, -0.0f, 0.0f);
  EXPECT_EQ(std::memcmp(&z, &before, sizeof z), 0);  // bit for bit

  // Only the X axis turns, so the NaN in x is never read.
  VECTOR3D v = V(nan, 1, 0);
  Rotate(&v, 90.0f, 0.0f, 0.0f);
  EXPECT_TRUE(std::isnan(v.x));
  // pi/2 is rounded to float first, so cos is about -4.4e-8, not 6e-17.
  const double c = std::cos(static_cast<double>(static_cast<float>(90.0 * kPi / 180.0)));
  EXPECT_EQ(v.y, static_cast<float>(c));
  EXPECT_LT(v.y, -4e-8f);
  EXPECT_EQ(v.z, 1.0f);
}

TEST(Rotate, AxesTurnInOrderXThenYThenZ)
{
  VECTOR3D y = V(1, 0, 0), z = V(1, 0, 0);
  Rotate(&y, 0, 90, 0);
  Rotate(&z, 0, 0, 90);
  ExpectNear(y, 0, 0, -1, 1e-6f);
  ExpectNear(z, 0, 1, 0, 1e-6f);

  // Y first sends X to -Z, which Z then leaves; Z first would give +Y.
  VECTOR3D yz = V(1, 0, 0);
  Rotate(&yz, 0, 90, 90);
  ExpectNear(yz, 0, 0, -1, 1e-6f);

  // X first sends Y to +Z, which Y then turns to +X.
  VECTOR3D xy = V(0, 1, 0);
  Rotate(&xy, 90, 90, 0);
  ExpectNear(xy, 1, 0, 0, 1e-6f);
}

// --- AngleBetweenVectors -------------------------------------------------------

TEST(AngleBetweenVectors, AxisTimesDegrees)
{
  // Along +X: a quarter turn about +Y.
  ExpectNear(AngleBetweenVectors(V(1, 1, 1), V(11, 1, 1)), 0, 90, 0);

  // Along -Y: d.x is nudged to 0.1, so a quarter turn about almost +X.
  const double h = std::hypot(10.0, 0.1);
  ExpectNear(AngleBetweenVectors(V(0, 0, 0), V(0, -10, 0)), 90 * 10 / h, 90 * 0.1 / h, 0, 1e-4f);

  // Along +Z the nudge leaves a small tilt about +Y. Near acos(1) the float
  // sum d.d (0.1f^2 + 25) shows: the angle is 1.3e-5 degrees off the exact one.
  const VECTOR3D z = AngleBetweenVectors(V(0, 0, 0), V(0, 0, 5));
  const float dx = 0.1f;
  const float dd = dx * dx + 25.0f;
  const float want = static_cast<float>(std::acos(5.0 / std::sqrt(static_cast<double>(dd))) * 180.0 / kPi);
  ExpectNear(z, 0, want, 0);
  EXPECT_NE(want, static_cast<float>(std::atan(static_cast<double>(dx) / 5.0) * 180.0 / kPi));

  // Equal points: d becomes (0.1, 0, 1): about atan(0.1) about +Y, through the float sum d.d.
  const VECTOR3D r = AngleBetweenVectors(V(2, 3, 4), V(2, 3, 4));
  const float de = dx * dx + 1.0f;
  EXPECT_EQ(r.x, 0.0f);
  EXPECT_EQ(r.y, static_cast<float>(std::acos(1.0 / std::sqrt(static_cast<double>(de))) * 180.0 / kPi));
  EXPECT_NEAR(r.y, std::atan(0.1) * 180.0 / kPi, 1e-4);
  EXPECT_EQ(r.z, 0.0f);
}

// --- matrices ------------------------------------------------------------------

TEST(Matrix, MembersAddAndSubtract)
{
  MATRIX m;
  ExpectIdentity(m);
  m.SetTranslation(V(1.5f, -2, 3));
  EXPECT_EQ(m.m[12], 1.5);
  EXPECT_EQ(m.m[14], 3.0);
  m.m[12] = m.m[13] = m.m[14] = 0;
  ExpectIdentity(m);  // nothing else moved
  m.Zero();
  for (double e : m.m) EXPECT_EQ(e, 0.0);
  for (double& e : m.m) e = 7.0;
  m.Identity();
  ExpectIdentity(m);

  MATRIX a, b;
  for (int i = 0; i < 16; ++i) a.m[i] = i, b.m[i] = 100.0 * i;
  const MATRIX sum = AddMatrix(a, b), diff = SubtractMatrix(a, b);
  for (int i = 0; i < 16; ++i) EXPECT_TRUE(sum.m[i] == 101.0 * i && diff.m[i] == -99.0 * i) << i;
}

TEST(Matrix, MultiplyInOpenGLOrder)
{
  MATRIX t;  // translate by (10, 0, 0)
  t.SetTranslation(V(10, 0, 0));
  MATRIX r;  // quarter turn about Z: X goes to Y
  r.m[0] = r.m[5] = 0;
  r.m[1] = 1;
  r.m[4] = -1;

  // T * R rotates first, then translates.
  const MATRIX tr = MultiplyMatrix(t, r);
  ExpectNear(MatrixPointMultiply(tr, V(1, 0, 0)), 10, 1, 0);
  EXPECT_EQ(tr.m[12], 10.0);
  EXPECT_EQ(tr.m[1], 1.0);

  // R * T translates first, then rotates the translation too.
  const MATRIX rt = MultiplyMatrix(r, t);
  ExpectNear(MatrixPointMultiply(rt, V(1, 0, 0)), 0, 11, 0);
  EXPECT_EQ(rt.m[12], 0.0);
  EXPECT_EQ(rt.m[13], 10.0);
}

TEST(Matrix, PointTransformsWorkInDouble)
{
  // Each sum reaches 2^24 + 2 in double; in float 2^24 + 1 would round back to 2^24.
  MATRIX shear;
  shear.m[4] = shear.m[8] = 1;
  EXPECT_EQ(MatrixRotatePoint(shear, V(16777216.0f, 1, 1)).x, 16777218.0f);
  EXPECT_EQ(MatrixInverseRotatePoint(shear, V(1, 1, 1)).z, 2.0f);  // m[8] sits in row 2 of the transpose
  EXPECT_EQ(MatrixInverseRotatePoint(shear, V(1, 1, 1)).x, 1.0f);

  MATRIX move;
  move.m[4] = 1;
  move.SetTranslation(V(1, 2, 3));
  EXPECT_EQ(MatrixPointMultiply(move, V(16777216.0f, 1, 0)).x, 16777218.0f);
  ExpectNear(MatrixPointMultiply(move, V(1, 1, 1)), 3, 3, 4);

  // The translation is added in double: 1 + 1e-8 is 1 as a float, and
  // 2^24 + 1 would then round to even, down to 2^24.
  MATRIX nudge;
  nudge.m[12] = 1.0 + 1e-8;
  ASSERT_EQ(static_cast<float>(nudge.m[12]), 1.0f);
  EXPECT_EQ(MatrixTranslatePoint(nudge, V(16777216.0f, 0, 0)).x, 16777218.0f);
  EXPECT_EQ(MatrixInverseTranslatePoint(nudge, V(-16777216.0f, 0, 0)).x, -16777218.0f);
  ExpectNear(MatrixInverseTranslatePoint(move, V(1, 1, 1)), 0, -1, -2);
}

TEST(Matrix, FromAngleSenseAndPrecision)
{
  ExpectIdentity(MatrixFromAngle(V(0, 0, 0)));

  ExpectNear(MatrixRotatePoint(MatrixFromAngle(V(90, 0, 0)), V(0, 1, 0)), 0, 0, -1, 1e-7f);
  ExpectNear(MatrixRotatePoint(MatrixFromAngle(V(0, 90, 0)), V(1, 0, 0)), 0, 0, -1, 1e-7f);
  ExpectNear(MatrixRotatePoint(MatrixFromAngle(V(0, 0, 90)), V(1, 0, 0)), 0, -1, 0, 1e-7f);

  // Degrees become radians as value * pi / 180 (38 * (pi / 180) rounds differently).
  const MATRIX m = MatrixFromAngle(V(38, 0, 0));
  EXPECT_EQ(m.m[6], -std::sin(38.0 * kPi / 180.0));
  EXPECT_EQ(m.m[10], std::cos(38.0 * kPi / 180.0));
  EXPECT_NE(std::sin(38.0 * kPi / 180.0), std::sin(38.0 * (kPi / 180.0)));

  ExpectRotation(MatrixFromAngle(V(-37, 58, 123)), 1e-12);
}

TEST(Matrix, AngleFromMatrixRoundTrips)
{
  const float angles[] = {-179.5f, -135, -90, -30, -0.5f, 0, 12.5f, 45, 90, 150, 180};
  const float pitches[] = {-89, -60, -15, 0, 33, 75, 89};
  for (float x : angles) {
    for (float y : pitches) {
      for (float z : angles) {
        const VECTOR3D r = AngleFromMatrix(MatrixFromAngle(V(x, y, z)));
        for (float c : {r.x, r.y, r.z}) {
          EXPECT_GE(c, 0.0f);
          EXPECT_LT(c, 360.0f);
        }
        EXPECT_LT(AngleGap(r.x, x), 1e-3) << x << " " << y << " " << z;
        EXPECT_LT(AngleGap(r.y, y), 1e-3) << x << " " << y << " " << z;
        EXPECT_LT(AngleGap(r.z, z), 1e-3) << x << " " << y << " " << z;
      }
    }
  }
  // A negative angle comes back positive.
  ExpectNear(AngleFromMatrix(MatrixFromAngle(V(-90, -45, -30))), 270, 315, 330, 1e-4f);
}

TEST(Matrix, AngleFromMatrixGimbalLockOnTheFloatPitch)
{
  // At +90 pitch only z - x survives; at -90 only x + z. All of it goes to z.
  ExpectNear(AngleFromMatrix(MatrixFromAngle(V(30, 90, 50))), 0, 90, 20, 1e-4f);
  ExpectNear(AngleFromMatrix(MatrixFromAngle(V(30, -90, 50))), 0, 270, 80, 1e-4f);

  // cos of this pitch is just under 0.005 in double but just over it once the
  // pitch is rounded to float, so the ordinary branch recovers x.
  MATRIX m;
  m.m[2] = -0.99998749992287395;
  m.m[6] = -0.003;
  m.m[10] = 0.004;
  const double deg = 180.0 / kPi;
  ExpectNear(AngleFromMatrix(m), std::atan2(3.0, 4.0) * deg, 1.5657963 * deg, 0, 1e-4f);
}

TEST(Matrix, AngleBetweenVectorsLooksAlongAMinusB)
{
  // Looking along +Z with Y up is the identity; so is a == b.
  ExpectIdentity(MatrixAngleBetweenVectors(V(0, 0, 5), V(0, 0, 0)));
  ExpectIdentity(MatrixAngleBetweenVectors(V(1, 2, 3), V(1, 2, 3)));

  const MATRIX g = MatrixAngleBetweenVectors(V(4, -2, 7), V(1, 2, 3));
  ExpectRotation(g, 1e-6);
  const VECTOR3D f = NormalizeVector(V(3, -4, 4));
  EXPECT_EQ(g.m[8], f.x);
  EXPECT_EQ(g.m[9], f.y);
  EXPECT_EQ(g.m[10], f.z);
}

TEST(Matrix, AngleBetweenVectorsStraightUpAndDown)
{
  // (0, 1, 0) would be parallel to the view; (-f.y, 0, 0) stands in for it.
  const MATRIX up = MatrixAngleBetweenVectors(V(0, 5, 0), V(0, 0, 0));
  const MATRIX down = MatrixAngleBetweenVectors(V(0, 0, 0), V(0, 5, 0));
  const double wantUp[16] = {0, 0, -1, 0, -1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1};
  const double wantDown[16] = {0, 0, -1, 0, 1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 0, 1};
  for (int i = 0; i < 16; ++i) EXPECT_TRUE(up.m[i] == wantUp[i] && down.m[i] == wantDown[i]) << i;
}

// --- clamp ---------------------------------------------------------------------

TEST(Clamp, WrapsByMax)
{
  EXPECT_EQ(clamp(-30, 0, 360), 330.0);
  EXPECT_EQ(clamp(720, 0, 360), 0.0);
  EXPECT_EQ(clamp(360, 0, 360), 0.0);
  EXPECT_EQ(clamp(-725.5, 0, 360), 354.5);
  EXPECT_EQ(clamp(359.5, 0, 360), 359.5);
  // The step is max itself, not max - min: 5 -> 25 -> 5.
  EXPECT_EQ(clamp(5, 10, 20), 5.0);
}

TEST(Clamp, FarValuesMatchSteppingAndNothingLoopsForEver)
{
  EXPECT_EQ(clamp(1e12 + 30, 0, 360), 310.0);
  EXPECT_EQ(clamp(-1e12 - 30, 0, 360), 50.0);
  // Just beyond the shortcut's threshold the answer is the one exact stepping gives.
  for (double v : {400000000.25, -400000000.25, 377487361.5}) {
    double stepped = v;
    while (0.0 > stepped) stepped += 360.0;
    while (stepped >= 360.0) stepped -= 360.0;
    EXPECT_EQ(clamp(v, 0, 360), stepped) << v;
  }

  // Nothing loops for ever: an infinite value or min, or a step <= 0, comes
  // back as it was; a huge value loses whole periods at once; NaN stays NaN.
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(clamp(inf, 0, 360), inf);
  EXPECT_TRUE(std::isnan(clamp(std::nan(""), 0, 360)));
  EXPECT_EQ(clamp(1e300, 0, 360), std::fmod(1e300, 360.0));
  EXPECT_EQ(clamp(5, 0, 0), 5.0);
  EXPECT_EQ(clamp(5, inf, 360), 5.0);
  EXPECT_EQ(clamp(1e300, std::nan(""), 360), std::fmod(1e300, 360.0));
}

// --- quaternions ---------------------------------------------------------------

TEST(Quat, IdentityConjugateAndHamiltonProduct)
{
  QUAT q = Q(1, 2, 3, 4);
  EXPECT_TRUE(QUAT().IsEqualTo(Q(0, 0, 0, 1)));
  q.Identity();
  EXPECT_TRUE(q.IsEqualTo(Q(0, 0, 0, 1)));
  EXPECT_FALSE(q.IsEqualTo(Q(0, 0, 0, std::nextafter(1.0, 2.0))));

  EXPECT_TRUE(InverseQuat(Q(1, -2, 3, 4)).IsEqualTo(Q(-1, 2, -3, 4)));

  const QUAT i = Q(1, 0, 0, 0), j = Q(0, 1, 0, 0), k = Q(0, 0, 1, 0);
  EXPECT_TRUE(MultiplyQuats(i, j).IsEqualTo(k));
  EXPECT_TRUE(MultiplyQuats(j, i).IsEqualTo(Q(0, 0, -1, 0)));
  EXPECT_TRUE(MultiplyQuats(i, i).IsEqualTo(Q(0, 0, 0, -1)));

  q = Q(1, 2, 3, 4);
  EXPECT_TRUE(MultiplyQuats(q, InverseQuat(q)).IsEqualTo(Q(0, 0, 0, 30)));
  EXPECT_TRUE(MultiplyQuats(q, Q(5, 6, 7, 8)).IsEqualTo(Q(24, 48, 48, -6)));
}

TEST(Quat, AxisAngleAndEulerConstruction)
{
  // Radians, and the axis is used as given.
  const QUAT half = AxisAndAngleToQuat(V(0, 0, 2), kPi);
  EXPECT_EQ(half.z, 2.0);
  EXPECT_EQ(half.w, std::cos(kPi / 2));
  EXPECT_EQ(half.x, 0.0);

  EXPECT_TRUE(RotationToQuat(V(0, 0, 0)).IsEqualTo(Q(0, 0, 0, 1)));
  ExpectNear(RotationToQuat(V(90, 0, 0)), Q(std::sqrt(0.5), 0, 0, std::sqrt(0.5)), 1e-15);

  // Euler angles compose as Z * Y * X.
  const float x = 25, y = -40, z = 110;
  const QUAT qx = AxisAndAngleToQuat(V(1, 0, 0), x * kPi / 180);
  const QUAT qy = AxisAndAngleToQuat(V(0, 1, 0), y * kPi / 180);
  const QUAT qz = AxisAndAngleToQuat(V(0, 0, 1), z * kPi / 180);
  ExpectNear(RotationToQuat(V(x, y, z)), MultiplyQuats(MultiplyQuats(qz, qy), qx), 1e-15);
}

TEST(Quat, ToRotationMatrix)
{
  ExpectIdentity(QuatToRotationMatrix(Q(0, 0, 0, 1)));

  // A quarter turn about +Z takes X to Y.
  const MATRIX z = QuatToRotationMatrix(AxisAndAngleToQuat(V(0, 0, 1), kPi / 2));
  ExpectNear(MatrixRotatePoint(z, V(1, 0, 0)), 0, 1, 0, 1e-7f);
  ExpectNear(MatrixRotatePoint(z, V(0, 1, 0)), -1, 0, 0, 1e-7f);

  ExpectRotation(QuatToRotationMatrix(NormalizeQuat(Q(0.3, -0.5, 0.2, 0.7))), 1e-14);
}

TEST(Quat, FromMatrixRoundTripsOnEveryBranch)
{
  // w > 0.5 takes the trace branch; a dominant x, y or z picks that diagonal.
  const QUAT cases[] = {NormalizeQuat(Q(0.1, 0.2, 0.3, 0.9)), NormalizeQuat(Q(-0.4, 0.1, 0.3, 0.8)),
                        NormalizeQuat(Q(0.8, 0.3, -0.2, 0.3)), NormalizeQuat(Q(0.3, 0.8, 0.2, -0.3)),
                        NormalizeQuat(Q(-0.2, 0.3, 0.8, 0.3))};
  for (const QUAT& q : cases) ExpectNear(QuatFromMatrix(QuatToRotationMatrix(q)), q, 1e-14);

  // Half turns (w = 0) come back exactly, with the axis component positive.
  for (const QUAT& q : {Q(1, 0, 0, 0), Q(0, 1, 0, 0), Q(0, 0, 1, 0)}) {
    const QUAT r = QuatFromMatrix(QuatToRotationMatrix(q));
    EXPECT_TRUE(r.IsEqualTo(q)) << r.x << " " << r.y << " " << r.z << " " << r.w;
  }
}

TEST(Quat, FromMatrixPicksTheLargestDiagonal)
{
  // Plain diagonals with a trace <= 0: the component of the largest element is
  // sqrt(d_i - (d_j + d_k) + 1) / 2 and the rest are 0. Ties keep the lower index.
  const double h = std::sqrt(2.5) / 2;
  const double t = std::sqrt(2.0) / 2;
  struct Case { double d0, d5, d10; QUAT want; };
  const Case cases[] = {{0.5, -1, 0, Q(h, 0, 0, 0)}, {-1, 0.5, 0, Q(0, h, 0, 0)},
                        {-1, 0, 0.5, Q(0, 0, h, 0)}, {0, 0, -1, Q(t, 0, 0, 0)},
                        {-1, 0, 0, Q(0, t, 0, 0)},   {0, -1, 0, Q(t, 0, 0, 0)}};
  for (const Case& c : cases) {
    MATRIX m;
    m.m[0] = c.d0, m.m[5] = c.d5, m.m[10] = c.d10;
    const QUAT q = QuatFromMatrix(m);
    EXPECT_TRUE(q.IsEqualTo(c.want)) << c.d0 << " " << c.d5 << " " << c.d10 << ": " << q.x << " "
                                     << q.y << " " << q.z << " " << q.w;
  }
}

TEST(Quat, Slerp)
{
  QUAT from = Q(0, 0, 0, 1);
  QUAT to = AxisAndAngleToQuat(V(0, 0, 1), kPi / 2);
  EXPECT_TRUE(QuatSlerp(&from, &to, 0.0).IsEqualTo(from));
  EXPECT_TRUE(QuatSlerp(&from, &to, 1.0).IsEqualTo(to));
  const QUAT eighth = AxisAndAngleToQuat(V(0, 0, 1), kPi / 4);
  ExpectNear(QuatSlerp(&from, &to, 0.5), eighth, 1e-15);

  // A negated target is the same rotation: take the short way, not 270 degrees.
  QUAT negated = Q(-to.x, -to.y, -to.z, -to.w);
  ExpectNear(QuatSlerp(&from, &negated, 0.5), eighth, 1e-15);
  EXPECT_TRUE(negated.IsEqualTo(Q(-to.x, -to.y, -to.z, -to.w)));  // read, not changed
  EXPECT_TRUE(from.IsEqualTo(Q(0, 0, 0, 1)));

  // Nearly equal ends take the straight line: a quaternion with itself or with
  // its negation comes back as it was.
  QUAT q = Q(0.5, -0.5, 0.5, 0.5);
  QUAT minus = Q(-0.5, 0.5, -0.5, -0.5);
  for (double t : {0.0, 0.25, 0.5, 0.75, 1.0}) {
    EXPECT_TRUE(QuatSlerp(&q, &q, t).IsEqualTo(q)) << t;
    EXPECT_TRUE(QuatSlerp(&q, &minus, t).IsEqualTo(q)) << t;
  }
  QUAT g = NormalizeQuat(Q(1, 2, 3, 4));
  QUAT minusG = Q(-g.x, -g.y, -g.z, -g.w);
  ExpectNear(QuatSlerp(&g, &minusG, 0.3), g, 1e-15);

  // Straight lines are not renormalised.
  QUAT big = Q(0, 0, 0, 2);
  EXPECT_TRUE(QuatSlerp(&big, &big, 0.5).IsEqualTo(big));
}

TEST(Quat, MagnitudeIsTheEuclideanNorm)
{
  EXPECT_EQ(QuatMagnitude(Q(1, 2, 2, 4)), 5.0);
  EXPECT_TRUE(NormalizeQuat(Q(1, 2, 2, 4)).IsEqualTo(Q(1.0 / 5, 2.0 / 5, 2.0 / 5, 4.0 / 5)));
  EXPECT_TRUE(NormalizeQuat(Q(0, 0, -3, 0)).IsEqualTo(Q(0, 0, -1, 0)));
  EXPECT_NEAR(QuatMagnitude(NormalizeQuat(Q(0.3, -7, 2, 0.01))), 1.0, 1e-15);
}
