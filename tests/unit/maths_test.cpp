// Vectors, matrices, quaternions and Euler angles, as tables of cases. Where
// the library fixes a precision, inputs are chosen so that doing the step in
// the other precision gives a different answer, and the result is compared
// exactly (a tolerance of 0; 0 and -0 count as equal).
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <utility>

#include "maths/NiftyMaths.h"

namespace {

constexpr double kPi = 3.141592653589793, kInf = std::numeric_limits<double>::infinity();
const float kNaN = std::numeric_limits<float>::quiet_NaN();
const double kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

VECTOR3D V(float x, float y, float z) { return MakePoint(x, y, z); }
QUAT Q(double x, double y, double z, double w) {
  QUAT q;
  return q.x = x, q.y = y, q.z = z, q.w = w, q;
}
VECTOR3D Rotated(VECTOR3D v, float x, float y, float z) {
  Rotate(&v, x, y, z);
  return v;
}
MATRIX Set(std::initializer_list<std::pair<int, double>> elements) {  // the identity, but for these
  MATRIX m;
  for (const auto& [i, value] : elements) m.m[i] = value;
  return m;
}
double Off(const QUAT& a, const QUAT& b) {
  return std::fabs(a.x - b.x) + std::fabs(a.y - b.y) + std::fabs(a.z - b.z) + std::fabs(a.w - b.w);
}

struct VectorCase {
  const char* what;
  VECTOR3D got, want;
  float tol;
};
void Check(const VectorCase& c) {
  EXPECT_TRUE(std::fabs(c.got.x - c.want.x) <= c.tol && std::fabs(c.got.y - c.want.y) <= c.tol &&
              std::fabs(c.got.z - c.want.z) <= c.tol)
      << c.what << ": (" << c.got.x << ", " << c.got.y << ", " << c.got.z << ")";
}
void ExpectMatrix(const MATRIX& m, const double (&want)[16], double tol, const char* what) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(m.m[i], want[i], tol) << what << ", element " << i;
}

}  // namespace

TEST(Maths, VectorsAndTheirPrecision) {
  static_assert(sizeof(VECTOR3D) == 12 && offsetof(VECTOR3D, z) == 8 && sizeof(MATRIX) == 128 &&
                    offsetof(QUAT, w) == 24 && offsetof(COLOUR, a) == 12,
                "handed to OpenGL as arrays");
  const double s = 1.0 + std::ldexp(1.0, -24), six = std::sqrt(6.0);  // s is 1 as a float
  const float dd = 0.1f * 0.1f + 25.0f, de = 0.1f * 0.1f + 1.0f;  // float sums d.d, near acos(1)
  const double h = std::hypot(10.0, 0.1), deg = 180.0 / kPi;
  VECTOR3D normalized = V(1, 1, 2), zero = V(0, 0, 0);
  normalized.Normalize();
  zero.Normalize();
  const VectorCase cases[] = {
      {"ScaleVector in double", ScaleVector(V(16777215, -16777215, 2), s),
       V(16777216, -16777216, float(2 * s)), 0},
      {"normal (a - b) x (b - c)", CalculateNormal(V(0, 0, 0), V(2, 0, 0), V(0, 3, 0)), V(0, 0, 6),
       0},
      {"NormalizeVector in double", NormalizeVector(V(1, 1, 2)),
       V(float(1 / six), float(1 / six), float(2 / six)), 0},
      {"Normalize in float", normalized,
       V(1 / std::sqrt(6.0f), 1 / std::sqrt(6.0f), 2 / std::sqrt(6.0f)), 0},
      {"Normalize of zero", zero, V(0, 0, 0), 0},
      {"cross", VectorCrossProduct(V(1, 2, 3), V(4, 5, 6)), V(-3, 6, -3), 0},
      // pi/2 rounded to float first: cos is about -4.4e-8, not 6e-17.
      {"Rotate about X", Rotated(V(5, 1, 0), 90, 0, 0),
       V(5, float(std::cos(double(float(kPi / 2)))), 1), 0},
      {"Rotate about Y", Rotated(V(1, 0, 0), 0, 90, 0), V(0, 0, -1), 1e-6f},
      {"Rotate about Z", Rotated(V(1, 0, 0), 0, 0, 90), V(0, 1, 0), 1e-6f},
      {"Rotate Y then Z", Rotated(V(1, 0, 0), 0, 90, 90), V(0, 0, -1), 1e-6f},
      {"Rotate X then Y", Rotated(V(0, 1, 0), 90, 90, 0), V(1, 0, 0), 1e-6f},
      {"AngleBetween along +X", AngleBetweenVectors(V(1, 1, 1), V(11, 1, 1)), V(0, 90, 0), 0},
      {"along -Y, x nudged", AngleBetweenVectors(V(0, 0, 0), V(0, -10, 0)),
       V(float(90 * 10 / h), float(90 * 0.1 / h), 0), 1e-4f},
      {"along +Z", AngleBetweenVectors(V(0, 0, 0), V(0, 0, 5)),
       V(0, float(std::acos(5.0 / std::sqrt(double(dd))) * deg), 0), 0},
      {"equal points", AngleBetweenVectors(V(2, 3, 4), V(2, 3, 4)),
       V(0, float(std::acos(1.0 / std::sqrt(double(de))) * deg), 0), 0},
  };
  for (const VectorCase& c : cases) Check(c);
  const std::pair<double, double> scalars[] = {
      // The dot product summed in float; the length the root of the float sum, taken in double;
      // distances squared.
      {VectorDotProduct(V(1e8f, 1, 1e8f), V(1, 1, -1)), 0},
      {VectorLength(V(4096, 1, 0)), 4096},
      {VectorLengthNOSQRT(V(4096, 1, 0)), 16777216},
      {VectorLength(V(1, 1, 0)), std::sqrt(2.0)},
      {DistanceBetweenVectors(V(1, 2, 3), V(2, 4, 6)), 14}};
  for (const auto& [got, want] : scalars) EXPECT_EQ(got, want);
  EXPECT_TRUE(CompareVectors(V(0.0f, 2, 3), V(-0.0f, 2, 3)) &&
              !CompareVectors(V(1, 2, 3), V(1, 2, std::nextafter(3.0f, 4.0f))));
  // No angles leave the vector alone, bit for bit; a NaN on an axis not turned is never read.
  const VECTOR3D odd = V(kNaN, -0.0f, std::numeric_limits<float>::denorm_min()),
                 same = Rotated(odd, 0, -0.0f, 0);
  EXPECT_TRUE(std::memcmp(&same, &odd, sizeof odd) == 0 &&
              std::isnan(Rotated(V(kNaN, 1, 0), 90, 0, 0).x));
}

TEST(Maths, MatricesAndEulerAngles) {
  MATRIX m = Set({{3, 9}, {12, 9}});
  m.Identity();
  m.SetTranslation(V(1.5f, -2, 3));
  ExpectMatrix(m, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1.5, -2, 3, 1}, 0,
               "Identity, SetTranslation");
  ExpectMatrix((m.Zero(), m), {}, 0, "Zero");
  MATRIX a, b;
  for (int i = 0; i < 16; ++i) {
    a.m[i] = i;
    b.m[i] = 100.0 * i;
  }
  for (int i = 0; i < 16; ++i)
    EXPECT_TRUE(AddMatrix(a, b).m[i] == 101.0 * i && SubtractMatrix(a, b).m[i] == -99.0 * i);
  // Translate by (10, 0, 0) and a quarter turn about Z: T * R turns first, R * T moves first.
  const MATRIX t = Set({{12, 10}}), r = Set({{0, 0}, {5, 0}, {1, 1}, {4, -1}});
  ExpectMatrix(MultiplyMatrix(t, r), {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 10, 0, 0, 1}, 0,
               "T * R");
  ExpectMatrix(MultiplyMatrix(r, t), {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 10, 0, 1}, 0,
               "R * T");

  // Sums reaching 2^24 + 2, which in float would round to 2^24; 1 + 1e-8 is 1 as a float.
  const MATRIX shear = Set({{4, 1}, {8, 1}}), move = Set({{4, 1}, {12, 1}, {13, 2}, {14, 3}}),
               nudge = Set({{12, 1.0 + 1e-8}});
  const double deg = kPi / 180;
  const VectorCase points[] = {
      {"RotatePoint in double", MatrixRotatePoint(shear, V(16777216, 1, 1)), V(16777218, 1, 1), 0},
      {"InverseRotatePoint: the transpose", MatrixInverseRotatePoint(shear, V(1, 1, 1)), V(1, 2, 2),
       0},
      {"PointMultiply in double", MatrixPointMultiply(move, V(16777216, 1, 0)), V(16777218, 3, 3),
       0},
      {"TranslatePoint in double", MatrixTranslatePoint(nudge, V(16777216, 0, 0)),
       V(16777218, 0, 0), 0},
      {"InverseTranslatePoint in double", MatrixInverseTranslatePoint(nudge, V(-16777216, 1, 1)),
       V(-16777218, 1, 1), 0},
      {"FromAngle about X", MatrixRotatePoint(MatrixFromAngle(V(90, 0, 0)), V(0, 1, 0)),
       V(0, 0, -1), 1e-7f},
      {"FromAngle about Y", MatrixRotatePoint(MatrixFromAngle(V(0, 90, 0)), V(1, 0, 0)),
       V(0, 0, -1), 1e-7f},
      {"FromAngle about Z", MatrixRotatePoint(MatrixFromAngle(V(0, 0, 90)), V(1, 0, 0)),
       V(0, -1, 0), 1e-7f},
      {"negative angles, positive", AngleFromMatrix(MatrixFromAngle(V(-90, -45, -30))),
       V(270, 315, 330), 1e-4f},
      // Gimbal lock: at +90 pitch only z - x survives, at -90 only x + z; all of it goes to z.
      {"pitch +90", AngleFromMatrix(MatrixFromAngle(V(30, 90, 50))), V(0, 90, 20), 1e-4f},
      {"pitch -90", AngleFromMatrix(MatrixFromAngle(V(30, -90, 50))), V(0, 270, 80), 1e-4f},
      // cos of this pitch is under 0.005 in double but over it once the pitch is a float.
      {"pitch rounded to float",
       AngleFromMatrix(Set({{2, -0.99998749992287395}, {6, -0.003}, {10, 0.004}})),
       V(float(std::atan2(3.0, 4.0) / deg), float(1.5657963 / deg), 0), 1e-4f},
  };
  for (const VectorCase& c : points) Check(c);
  // Degrees become radians as value * pi / 180 (38 * (pi / 180) rounds differently).
  const MATRIX x38 = MatrixFromAngle(V(38, 0, 0));
  EXPECT_TRUE(x38.m[6] == -std::sin(38.0 * kPi / 180.0) &&
              x38.m[10] == std::cos(38.0 * kPi / 180.0));
  for (float x : {-179.5f, -90.0f, -0.5f, 0.0f, 45.0f, 150.0f, 180.0f})
    for (float y : {-89.0f, -15.0f, 0.0f, 33.0f, 89.0f})
      for (float z : {-135.0f, -30.0f, 12.5f, 90.0f, 180.0f}) {
        // The same turn as the quaternion's, seen with the y axis flipped.
        const MATRIX e = MatrixFromAngle(V(x, y, z)),
                     q = QuatToRotationMatrix(RotationToQuat(V(x, y, z)));
        for (int i : {0, 1, 2, 4, 5, 6, 8, 9, 10})
          EXPECT_NEAR(e.m[i], (i == 1 || i == 4 || i == 6 || i == 9 ? -1 : 1) * q.m[i], 1e-12);
        const VECTOR3D back = AngleFromMatrix(e);  // each in [0, 360)
        double gap = 0;
        for (const auto& [got, want] : {std::pair{back.x, x}, {back.y, y}, {back.z, z}})
          gap += got >= 0 && got < 360 ? std::fabs(std::remainder(got - want, 360.0)) : 360;
        EXPECT_LT(gap, 3e-3) << x << " " << y << " " << z;
      }

  // Looking along a - b; straight up or down, (-f.y, 0, 0) stands in for the up vector.
  ExpectMatrix(MatrixAngleBetweenVectors(V(1, 2, 3), V(1, 2, 3)), kIdentity, 0, "a == b");
  ExpectMatrix(MatrixAngleBetweenVectors(V(0, 5, 0), V(0, 0, 0)),
               {0, 0, -1, 0, -1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1}, 0, "up");
  ExpectMatrix(MatrixAngleBetweenVectors(V(0, 0, 0), V(0, 5, 0)),
               {0, 0, -1, 0, 1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 0, 1}, 0, "down");
  const double n =
      std::sqrt(41.0);  // f = (3, -4, 4) / n, s = (0.8, 0, -0.6), -u = (2.4, 5, 3.2) / n
  ExpectMatrix(MatrixAngleBetweenVectors(V(4, -2, 7), V(1, 2, 3)),
               {0.8, 0, -0.6, 0, 2.4 / n, 5 / n, 3.2 / n, 0, 3 / n, -4 / n, 4 / n, 0, 0, 0, 0, 1},
               1e-7, "oblique");
}

TEST(Maths, ClampWrapsByMaxAndNeverLoopsForEver) {
  const double huge = std::fmod(1e300, 360.0);
  // min, max, value, result: the step is max itself, not max - min; far
  // values give what exact stepping would; nothing loops for ever.
  const double cases[][4] = {{0, 360, -30, 330},
                             {0, 360, 720, 0},
                             {0, 360, 360, 0},
                             {0, 360, -725.5, 354.5},
                             {0, 360, 359.5, 359.5},
                             {10, 20, 5, 5},
                             {0, 360, 1e12 + 30, 310},
                             {0, 360, -1e12 - 30, 50},
                             {0, 360, 400000000.25, 40.25},
                             {0, 360, -400000000.25, 319.75},
                             {0, 360, 377487361.5, 1.5},
                             {0, 360, kInf, kInf},
                             {0, 360, 1e300, huge},
                             {0, 0, 5, 5},
                             {kInf, 360, 5, 5}};
  for (const auto& c : cases)
    EXPECT_EQ(clamp(c[2], c[0], c[1]), c[3]) << c[2] << " in " << c[0] << ".." << c[1];
  EXPECT_TRUE(std::isnan(clamp(std::nan(""), 0, 360)));
  EXPECT_EQ(clamp(1e300, std::nan(""), 360), huge);
}

TEST(Maths, Quaternions) {
  const QUAT i = Q(1, 0, 0, 0), j = Q(0, 1, 0, 0), k = Q(0, 0, 1, 0), q = Q(1, 2, 3, 4);
  QUAT id = q;
  id.Identity();
  EXPECT_TRUE(QUAT().IsEqualTo(Q(0, 0, 0, 1)) && id.IsEqualTo(Q(0, 0, 0, 1)) &&
              !id.IsEqualTo(Q(0, 0, 0, 1 + 1e-15)));
  const double x = 25, y = -40, z = 110, half = std::sqrt(0.5);
  const QUAT qz = AxisAndAngleToQuat(V(0, 0, 1), z * kPi / 180),
             qy = AxisAndAngleToQuat(V(0, 1, 0), y * kPi / 180);
  QUAT from = Q(0, 0, 0, 1), to = AxisAndAngleToQuat(V(0, 0, 1), kPi / 2),
       minusTo = Q(-to.x, -to.y, -to.z, -to.w);
  QUAT p = Q(0.5, -0.5, 0.5, 0.5), minusP = Q(-0.5, 0.5, -0.5, -0.5), big = Q(0, 0, 0, 2),
       g = NormalizeQuat(q);
  QUAT minusG = Q(-g.x, -g.y, -g.z, -g.w);
  const QUAT eighth = AxisAndAngleToQuat(V(0, 0, 1), kPi / 4),
             r1 = NormalizeQuat(Q(0.1, 0.2, 0.3, 0.9)), r2 = NormalizeQuat(Q(0.8, 0.3, -0.2, 0.3)),
             r3 = NormalizeQuat(Q(0.3, 0.8, 0.2, -0.3)), r4 = NormalizeQuat(Q(-0.2, 0.3, 0.8, 0.3));
  const double h = std::sqrt(2.5) / 2, t = std::sqrt(2.0) / 2;
  const auto back = [](const QUAT& r) { return QuatFromMatrix(QuatToRotationMatrix(r)); };
  const struct {
    const char* what;
    QUAT got, want;
    double tol;
  } cases[] = {
      {"conjugate", InverseQuat(Q(1, -2, 3, 4)), Q(-1, 2, -3, 4), 0},
      {"i j", MultiplyQuats(i, j), k, 0},
      {"j i", MultiplyQuats(j, i), Q(0, 0, -1, 0), 0},
      {"i i", MultiplyQuats(i, i), Q(0, 0, 0, -1), 0},
      {"q q*", MultiplyQuats(q, InverseQuat(q)), Q(0, 0, 0, 30), 0},
      {"Hamilton product", MultiplyQuats(q, Q(5, 6, 7, 8)), Q(24, 48, 48, -6), 0},
      {"axis as given, radians", AxisAndAngleToQuat(V(0, 0, 2), kPi), Q(0, 0, 2, std::cos(kPi / 2)),
       0},
      {"Euler 0", RotationToQuat(V(0, 0, 0)), Q(0, 0, 0, 1), 0},
      {"Euler X", RotationToQuat(V(90, 0, 0)), Q(half, 0, 0, half), 1e-15},
      {"Euler Z * Y * X", RotationToQuat(V(x, y, z)),
       MultiplyQuats(MultiplyQuats(qz, qy), AxisAndAngleToQuat(V(1, 0, 0), x * kPi / 180)), 1e-15},
      {"slerp 0", QuatSlerp(&from, &to, 0.0), from, 0},
      {"slerp 1", QuatSlerp(&from, &to, 1.0), to, 0},
      {"slerp half", QuatSlerp(&from, &to, 0.5), eighth, 1e-15},
      {"slerp the short way", QuatSlerp(&from, &minusTo, 0.5), eighth, 1e-15},
      {"slerp with itself", QuatSlerp(&p, &p, 0.3), p, 0},
      {"slerp with -itself", QuatSlerp(&p, &minusP, 0.7), p, 0},
      {"straight line", QuatSlerp(&g, &minusG, 0.3), g, 1e-15},
      {"not renormalised", QuatSlerp(&big, &big, 0.5), big, 0},
      {"normalised", NormalizeQuat(Q(0, 0, -3, 0)), Q(0, 0, -1, 0), 0},
      // To a matrix and back on every branch: w > 0.5 takes the trace, a dominant x, y or z its
      // diagonal; half turns come back exactly.
      {"trace", back(r1), r1, 1e-14},
      {"x", back(r2), r2, 1e-14},
      {"y", back(r3), r3, 1e-14},
      {"z", back(r4), r4, 1e-14},
      {"i", back(i), i, 0},
      {"j", back(j), j, 0},
      {"k", back(k), k, 0},
      // Plain diagonals, trace <= 0: sqrt(d_i - (d_j + d_k) + 1) / 2 for the largest; ties keep the
      // lower index.
      {"diagonal x", QuatFromMatrix(Set({{0, 0.5}, {5, -1}, {10, 0}})), Q(h, 0, 0, 0), 0},
      {"diagonal y", QuatFromMatrix(Set({{0, -1}, {5, 0.5}, {10, 0}})), Q(0, h, 0, 0), 0},
      {"diagonal z", QuatFromMatrix(Set({{0, -1}, {5, 0}, {10, 0.5}})), Q(0, 0, h, 0), 0},
      {"tie x y", QuatFromMatrix(Set({{0, 0}, {5, 0}, {10, -1}})), Q(t, 0, 0, 0), 0},
      {"tie y z", QuatFromMatrix(Set({{0, -1}, {5, 0}, {10, 0}})), Q(0, t, 0, 0), 0},
      {"tie x z", QuatFromMatrix(Set({{0, 0}, {5, -1}, {10, 0}})), Q(t, 0, 0, 0), 0}};
  for (const auto& c : cases)
    EXPECT_LE(Off(c.got, c.want), c.tol)
        << c.what << ": " << c.got.x << " " << c.got.y << " " << c.got.z << " " << c.got.w;
  EXPECT_TRUE(minusTo.IsEqualTo(Q(-to.x, -to.y, -to.z, -to.w)) &&
              from.IsEqualTo(Q(0, 0, 0, 1)));  // read, not changed
  EXPECT_EQ(QuatMagnitude(Q(1, 2, 2, 4)), 5.0);

  ExpectMatrix(QuatToRotationMatrix(Q(0, 0, 0, 1)), kIdentity, 0, "identity");
  ExpectMatrix(QuatToRotationMatrix(to), {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, 1e-15,
               "a quarter turn about Z");
}
