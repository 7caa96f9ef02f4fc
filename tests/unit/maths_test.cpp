// The vector and matrix steps the saver takes (note meshes, the camera's
// orbit, fading by distance), in the precision the library fixes: inputs are
// chosen so that the step done in the other precision gives another answer,
// and the result is compared exactly.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>

#include "Printers.h"
#include "maths/NiftyMaths.h"

namespace {

constexpr double kPi = 3.141592653589793;
const float kInf = std::numeric_limits<float>::infinity(),
            kCos90 = float(std::cos(double(float(kPi / 2))));

VECTOR3D Rotated(VECTOR3D v, float x, float y, float z) {
  Rotate(&v, x, y, z);
  return v;
}

TEST(Maths, VectorsInTheirPrecision) {
  VECTOR3D unit = V(1, 1, 2), zero = V(0, 0, 0);
  unit.Normalize(), zero.Normalize();
  MATRIX shear;  // sums reaching 2^24 + 2, which in float would round to 2^24
  shear.m[4] = shear.m[8] = 1;
  const float r6 = 1 / std::sqrt(6.0f);
  // pi/2 is rounded to float first: its cosine is about -4.4e-8, not 6e-17; each turn reads
  // the components as the previous one stored them, and an axis not turned is never read.
  const std::pair<VECTOR3D, VECTOR3D> cases[] = {
      {unit, V(r6, r6, 2 * r6)},
      {zero, V(0, 0, 0)},
      {Rotated(V(5, 1, 0), 90, 0, 0), V(5, kCos90, 1)},
      {Rotated(V(1, 0, 0), 0, 90, 0), V(kCos90, 0, -1)},
      {Rotated(V(1, 0, kInf), 0, 0, 90), V(kCos90, 1, kInf)},
      {Rotated(V(0, 1, 0), 90, 90, 0), V(1, kCos90, kCos90)},
      {MatrixRotatePoint(shear, V(16777216, 1, 1)), V(16777218, 1, 1)}};
  for (const auto& [got, want] : cases) EXPECT_EQ(got, want);
  EXPECT_EQ(Rotated(V(1, 0, 0), 0, 90, 90).z, -1.0f);  // Y, then Z
  // The squared distance is summed in float.
  EXPECT_EQ(DistanceBetweenVectors(V(4096, 1, 0), V(0, 0, 0)), 16777216.0);
}

TEST(Maths, EulerAnglesInRadiansOfTheirPrecision) {
  // Degrees become radians as value * pi / 180 (38 * (pi / 180) rounds differently).
  const MATRIX x38 = MatrixFromAngle(V(38, 0, 0));
  EXPECT_EQ(std::pair(x38.m[6], x38.m[10]),
            std::pair(-std::sin(38 * kPi / 180), std::cos(38 * kPi / 180)));
}

}  // namespace
