// Vectors, matrices, quaternions and Euler-angle conversions.
//
// The precision of every step is deliberate: float where the operands are
// floats, double where a step says so, rounding to float only when a result
// lands in a VECTOR3D. The build uses -ffp-contract=off so that a*b+c is never
// fused; do not rearrange the expressions below.
#include "maths/NiftyMaths.h"

#include <cmath>

namespace {

constexpr double kDegreesPerRadian = 57.29577951308232;

// Degrees to radians, in double, as value * pi / 180.
double Radians(double degrees) { return degrees * NIFTY_PI / 180.0; }

// Rounds a double to float. The build turns off GCC's SLP vectorizer, which
// would otherwise drop such roundings between neighbouring values.
float Narrow(double d) { return static_cast<float>(d); }

// Turns the pair (a, b) by angle radians: a' = c a - s b, b' = s a + c b, in
// double, each stored back as a float.
void TurnPair(float* a, float* b, float angle) {
  const double c = std::cos(static_cast<double>(angle));
  const double s = std::sin(static_cast<double>(angle));
  const double x = *a;
  const double y = *b;
  *a = Narrow(c * x - s * y);
  *b = Narrow(s * x + c * y);
}

VECTOR3D Vec(double x, double y, double z) {
  VECTOR3D v;
  v.x = Narrow(x);
  v.y = Narrow(y);
  v.z = Narrow(z);
  return v;
}

}  // namespace

// --- VECTOR3D ------------------------------------------------------------------

void VECTOR3D::Normalize() {
  const float len = std::sqrt(x * x + y * y + z * z);
  if (len == 0.0f) return;
  x /= len;
  y /= len;
  z /= len;
}

VECTOR3D AddVectors(VECTOR3D a, VECTOR3D b) { return MakePoint(a.x + b.x, a.y + b.y, a.z + b.z); }

VECTOR3D SubtractVectors(VECTOR3D a, VECTOR3D b) {
  return MakePoint(a.x - b.x, a.y - b.y, a.z - b.z);
}

VECTOR3D MultiplyVectors(VECTOR3D a, VECTOR3D b) {
  return MakePoint(a.x * b.x, a.y * b.y, a.z * b.z);
}

VECTOR3D DivideVectors(VECTOR3D a, VECTOR3D b) {
  return MakePoint(a.x / b.x, a.y / b.y, a.z / b.z);
}

VECTOR3D ScaleVector(VECTOR3D v, double s) {
  return Vec(static_cast<double>(v.x) * s, static_cast<double>(v.y) * s,
             static_cast<double>(v.z) * s);
}

double VectorDotProduct(VECTOR3D a, VECTOR3D b) {
  const float sum = a.x * b.x + a.y * b.y + a.z * b.z;
  return sum;
}

VECTOR3D VectorCrossProduct(VECTOR3D a, VECTOR3D b) {
  return MakePoint(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

double VectorLength(VECTOR3D v) {
  const float sum = v.x * v.x + v.y * v.y + v.z * v.z;
  return std::sqrt(static_cast<double>(sum));
}

double VectorLengthNOSQRT(VECTOR3D v) {
  const float sum = v.x * v.x + v.y * v.y + v.z * v.z;
  return sum;
}

bool CompareVectors(VECTOR3D a, VECTOR3D b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

VECTOR3D NormalizeVector(VECTOR3D v) {
  const double x = v.x;
  const double y = v.y;
  const double z = v.z;
  const double len = std::sqrt(x * x + y * y + z * z);
  return Vec(x / len, y / len, z / len);
}

point2d Make2DPoint(float x, float y) {
  point2d p;
  p.x = x;
  p.y = y;
  return p;
}

COLOUR MakeColour(float r, float g, float b, float a) {
  COLOUR c;
  c.r = r;
  c.g = g;
  c.b = b;
  c.a = a;
  return c;
}

VECTOR3D CalculateNormal(VECTOR3D a, VECTOR3D b, VECTOR3D c) {
  return VectorCrossProduct(SubtractVectors(a, b), SubtractVectors(b, c));
}

void Rotate(VECTOR3D* v, float ax, float ay, float az) {
  if (ax == 0.0f && ay == 0.0f && az == 0.0f) return;

  const float rx = Narrow(Radians(ax));
  const float ry = Narrow(Radians(ay));
  const float rz = Narrow(Radians(az));

  // Each axis reads the components as the previous axis stored them (floats):
  // about X the pair (y, z) turns, about Y (z, x), about Z (x, y).
  if (rx != 0.0f) TurnPair(&v->y, &v->z, rx);
  if (ry != 0.0f) TurnPair(&v->z, &v->x, ry);
  if (rz != 0.0f) TurnPair(&v->x, &v->y, rz);
}

VECTOR3D AngleBetweenVectors(VECTOR3D a, VECTOR3D b) {
  VECTOR3D d = SubtractVectors(b, a);
  // Nudge a direction close to the Z axis off it, so the axis below exists.
  if (std::fabs(d.x) < 1.0f) d.x = Narrow(static_cast<double>(d.x) + 0.1);
  if (CompareVectors(a, b)) d.z += 1.0f;

  const double len = std::sqrt(VectorDotProduct(d, d));

  // (0, 0, 1) x d, made unit length when it has any length.
  VECTOR3D axis = MakePoint(-d.y, d.x, 0.0f);
  const double ax = axis.x;
  const double ay = axis.y;
  const double az = axis.z;
  const double axisLen = std::sqrt(ax * ax + ay * ay + az * az);
  if (axisLen != 0.0) axis = Vec(ax / axisLen, ay / axisLen, az / axisLen);

  const double angle = std::acos(static_cast<double>(d.z) / len) * 180.0 / NIFTY_PI;
  return ScaleVector(axis, angle);
}

// --- MATRIX --------------------------------------------------------------------

MATRIX::MATRIX() { Identity(); }

void MATRIX::Zero() {
  for (double& e : m) e = 0.0;
}

void MATRIX::Identity() {
  Zero();
  m[0] = 1.0;
  m[5] = 1.0;
  m[10] = 1.0;
  m[15] = 1.0;
}

void MATRIX::SetTranslation(VECTOR3D v) {
  m[12] = v.x;
  m[13] = v.y;
  m[14] = v.z;
}

MATRIX AddMatrix(MATRIX a, MATRIX b) {
  MATRIX r;
  for (int i = 0; i < 16; ++i) r.m[i] = a.m[i] + b.m[i];
  return r;
}

MATRIX SubtractMatrix(MATRIX a, MATRIX b) {
  MATRIX r;
  for (int i = 0; i < 16; ++i) r.m[i] = a.m[i] - b.m[i];
  return r;
}

MATRIX MultiplyMatrix(MATRIX a, MATRIX b) {
  // Element (row r, column c) is the sum over k of a(r, k) * b(k, c).
  MATRIX p;
  for (int c = 0; c < 4; ++c) {
    for (int r = 0; r < 4; ++r) {
      p.m[4 * c + r] = a.m[r] * b.m[4 * c] + a.m[4 + r] * b.m[4 * c + 1] +
                       a.m[8 + r] * b.m[4 * c + 2] + a.m[12 + r] * b.m[4 * c + 3];
    }
  }
  return p;
}

VECTOR3D MatrixRotatePoint(MATRIX m, VECTOR3D p) {
  const double x = p.x, y = p.y, z = p.z;
  return Vec(m.m[0] * x + m.m[4] * y + m.m[8] * z, m.m[1] * x + m.m[5] * y + m.m[9] * z,
             m.m[2] * x + m.m[6] * y + m.m[10] * z);
}

VECTOR3D MatrixInverseRotatePoint(MATRIX m, VECTOR3D p) {
  const double x = p.x, y = p.y, z = p.z;
  return Vec(m.m[0] * x + m.m[1] * y + m.m[2] * z, m.m[4] * x + m.m[5] * y + m.m[6] * z,
             m.m[8] * x + m.m[9] * y + m.m[10] * z);
}

VECTOR3D MatrixTranslatePoint(MATRIX m, VECTOR3D p) {
  return Vec(p.x + m.m[12], p.y + m.m[13], p.z + m.m[14]);
}

VECTOR3D MatrixInverseTranslatePoint(MATRIX m, VECTOR3D p) {
  return Vec(p.x - m.m[12], p.y - m.m[13], p.z - m.m[14]);
}

VECTOR3D MatrixPointMultiply(MATRIX m, VECTOR3D p) {
  const double x = p.x, y = p.y, z = p.z;
  return Vec(m.m[0] * x + m.m[4] * y + m.m[8] * z + m.m[12],
             m.m[1] * x + m.m[5] * y + m.m[9] * z + m.m[13],
             m.m[2] * x + m.m[6] * y + m.m[10] * z + m.m[14]);
}

MATRIX MatrixFromAngle(VECTOR3D v) {
  const double A = Radians(v.x);
  const double B = Radians(v.y);
  const double C = Radians(v.z);
  const double cA = std::cos(A), sA = std::sin(A);
  const double cB = std::cos(B), sB = std::sin(B);
  const double cC = std::cos(C), sC = std::sin(C);

  MATRIX r;  // identity: the bottom row and the translation are already right
  r.m[0] = cB * cC;
  r.m[1] = -cB * sC;
  r.m[2] = -sB;
  r.m[4] = cA * sC - sA * sB * cC;
  r.m[5] = sA * sB * sC + cA * cC;
  r.m[6] = -sA * cB;
  r.m[8] = cA * sB * cC + sA * sC;
  r.m[9] = sA * cC - cA * sB * sC;
  r.m[10] = cA * cB;
  return r;
}

VECTOR3D AngleFromMatrix(MATRIX m) {
  const float y = Narrow(-std::asin(m.m[2]));
  const double C = std::cos(static_cast<double>(y));
  double x;
  double z;
  if (std::fabs(C) > 0.005) {
    x = std::atan2(-m.m[6] / C, m.m[10] / C);
    z = std::atan2(-m.m[1] / C, m.m[0] / C);
  } else {
    // Gimbal lock: X and Z turn about the same axis; put it all in Z.
    x = 0.0;
    z = std::atan2(m.m[4], m.m[5]);
  }
  const float dx = Narrow(x * kDegreesPerRadian);
  const float dy = Narrow(static_cast<double>(y) * kDegreesPerRadian);
  const float dz = Narrow(z * kDegreesPerRadian);
  return Vec(clamp(dx, 0.0, 360.0), clamp(dy, 0.0, 360.0), clamp(dz, 0.0, 360.0));
}

MATRIX MatrixAngleBetweenVectors(VECTOR3D a, VECTOR3D b) {
  VECTOR3D f = SubtractVectors(a, b);
  if (f.x == 0.0f && f.y == 0.0f && f.z == 0.0f) f.z = 1.0f;
  f = NormalizeVector(f);

  // Looking straight up or down, (0, 1, 0) is parallel to f: use X instead.
  VECTOR3D up = MakePoint(0.0f, 1.0f, 0.0f);
  if (f.x == 0.0f && f.z == 0.0f) up = MakePoint(-f.y, 0.0f, 0.0f);

  const VECTOR3D s = NormalizeVector(VectorCrossProduct(up, f));
  const VECTOR3D u = NormalizeVector(VectorCrossProduct(s, f));

  MATRIX r;
  r.Zero();
  r.m[0] = s.x;
  r.m[1] = s.y;
  r.m[2] = s.z;
  r.m[4] = -u.x;
  r.m[5] = -u.y;
  r.m[6] = -u.z;
  r.m[8] = f.x;
  r.m[9] = f.y;
  r.m[10] = f.z;
  r.m[15] = 1.0;
  return r;
}

// --- QUAT ----------------------------------------------------------------------

QUAT::QUAT() { Identity(); }

void QUAT::Identity() {
  x = 0.0;
  y = 0.0;
  z = 0.0;
  w = 1.0;
}

bool QUAT::IsEqualTo(QUAT q) const { return x == q.x && y == q.y && z == q.z && w == q.w; }

QUAT InverseQuat(QUAT q) {
  QUAT r;
  r.x = -q.x;
  r.y = -q.y;
  r.z = -q.z;
  r.w = q.w;
  return r;
}

QUAT MultiplyQuats(QUAT a, QUAT b) {
  QUAT r;
  r.w = a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z;
  r.x = a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y;
  r.y = a.w * b.y + a.y * b.w + a.z * b.x - a.x * b.z;
  r.z = a.w * b.z + a.z * b.w + a.x * b.y - a.y * b.x;
  return r;
}

MATRIX QuatToRotationMatrix(QUAT q) {
  const double x = q.x, y = q.y, z = q.z, w = q.w;
  MATRIX r;  // identity: the bottom row and the translation are already right
  r.m[0] = 1.0 - 2.0 * (y * y + z * z);
  r.m[1] = 2.0 * (x * y + z * w);
  r.m[2] = 2.0 * (x * z - y * w);
  r.m[4] = 2.0 * (x * y - z * w);
  r.m[5] = 1.0 - 2.0 * (z * z + x * x);
  r.m[6] = 2.0 * (y * z + x * w);
  r.m[8] = 2.0 * (x * z + y * w);
  r.m[9] = 2.0 * (y * z - x * w);
  r.m[10] = 1.0 - 2.0 * (x * x + y * y);
  return r;
}

QUAT QuatFromMatrix(MATRIX m) {
  QUAT q;
  const double trace = m.m[0] + m.m[5] + m.m[10];
  if (trace > 0.0) {
    double s = std::sqrt(trace + 1.0);
    q.w = s / 2.0;
    s = 0.5 / s;
    q.x = (m.m[6] - m.m[9]) * s;
    q.y = (m.m[8] - m.m[2]) * s;
    q.z = (m.m[1] - m.m[4]) * s;
    return q;
  }

  // Work from the largest diagonal element; diagonal n is m[5n].
  static const int next[3] = {1, 2, 0};
  int i = 0;
  if (m.m[5] > m.m[0]) i = 1;
  if (m.m[10] > m.m[5 * i]) i = 2;
  const int j = next[i];
  const int k = next[j];

  double v[3];
  double s = std::sqrt(m.m[5 * i] - (m.m[5 * j] + m.m[5 * k]) + 1.0);
  v[i] = s / 2.0;
  if (s != 0.0) s = 0.5 / s;
  q.w = (m.m[4 * j + k] - m.m[4 * k + j]) * s;
  v[j] = (m.m[4 * i + j] + m.m[4 * j + i]) * s;
  v[k] = (m.m[4 * i + k] + m.m[4 * k + i]) * s;
  q.x = v[0];
  q.y = v[1];
  q.z = v[2];
  return q;
}

QUAT QuatSlerp(QUAT* from, QUAT* to, double t) {
  QUAT end = *to;
  double cosom = from->x * end.x + from->y * end.y + from->z * end.z + from->w * end.w;
  // Take the shorter way round.
  if (cosom < 0.0) {
    cosom = -cosom;
    end.x = -end.x;
    end.y = -end.y;
    end.z = -end.z;
    end.w = -end.w;
  }

  double k0;
  double k1;
  if (1.0 - cosom > 1e-5) {
    const double omega = std::acos(cosom);
    const double sinom = std::sin(omega);
    k0 = std::sin((1.0 - t) * omega) / sinom;
    k1 = std::sin(t * omega) / sinom;
  } else {
    // Nearly the same rotation: a straight line is as good and cannot divide by 0.
    k0 = 1.0 - t;
    k1 = t;
  }

  QUAT r;
  r.x = k0 * from->x + k1 * end.x;
  r.y = k0 * from->y + k1 * end.y;
  r.z = k0 * from->z + k1 * end.z;
  r.w = k0 * from->w + k1 * end.w;
  return r;
}

QUAT RotationToQuat(VECTOR3D v) {
  const double hx = Radians(v.x) * 0.5;
  const double hy = Radians(v.y) * 0.5;
  const double hz = Radians(v.z) * 0.5;
  const double sx = std::sin(hx), cx = std::cos(hx);
  const double sy = std::sin(hy), cy = std::cos(hy);
  const double sz = std::sin(hz), cz = std::cos(hz);

  QUAT q;
  q.x = cz * sx * cy - sz * cx * sy;
  q.y = cz * cx * sy + sz * sx * cy;
  q.z = sz * cx * cy - cz * sx * sy;
  q.w = cz * cx * cy + sz * sx * sy;
  return q;
}

QUAT AxisAndAngleToQuat(VECTOR3D a, double angle) {
  const double s = std::sin(angle / 2.0);
  const double c = std::cos(angle / 2.0);
  QUAT q;
  q.x = a.x * s;
  q.y = a.y * s;
  q.z = a.z * s;
  q.w = c;
  return q;
}

// The magnitude is the Euclidean norm sqrt(w^2 + x^2 + y^2 + z^2), so that
// NormalizeQuat really yields a unit quaternion. No caller depends on it.
double QuatMagnitude(QUAT q) { return std::sqrt(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z); }

// Divides all four components by the Euclidean norm; the zero quaternion gives
// non-finite components.
QUAT NormalizeQuat(QUAT q) {
  const double mag = QuatMagnitude(q);
  QUAT r;
  r.x = q.x / mag;
  r.y = q.y / mag;
  r.z = q.z / mag;
  r.w = q.w / mag;
  return r;
}

// --- clamp ---------------------------------------------------------------------

double clamp(double value, double min, double max) {
  // Stepping by a max that is not positive, or from an infinite value, would
  // never end: hand the value back as it came.
  if (max <= 0.0 || std::isinf(value)) return value;

  // Far out, one period at a time would take for ever (or stall once max is
  // below the value's rounding step). fmod takes the whole periods off
  // exactly, and the loops then end on the value exact stepping reaches. That
  // holds going down whenever the first loop would not run, and going up when
  // min lies inside (-max, max).
  const double far = 1048576.0 * max;  // 2^20 periods
  if ((value > far && !(min > value)) || (value < -far && min > -max && min < max)) {
    value = std::fmod(value, max);
  }
  // Still that far below min (a min far out, or infinite): no stepping either.
  if (min - value > far) return value;

  while (min > value) value += max;
  while (value >= max) value -= max;
  return value;
}
