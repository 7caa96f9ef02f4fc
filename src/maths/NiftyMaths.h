// Vectors, 4x4 matrices, quaternions and Euler-angle conversions.
//
// Vectors are single precision, matrices and quaternions double precision.
// Where an operation mixes the two, the floats are widened to double for the
// double arithmetic and each result component is rounded back to float when it
// is stored in a VECTOR3D. Euler angles are in degrees everywhere except
// AxisAndAngleToQuat, which takes radians. Everything is passed by value
// unless a pointer is named; nothing allocates, nothing fails, nothing keeps
// state.
#pragma once

// pi as the whole library uses it.
constexpr double NIFTY_PI = 3.141592653589793;

struct VECTOR3D {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;

  // In place: the length is taken in float and each component divided by it.
  // A vector of length exactly 0 is left unchanged.
  void Normalize();
};

struct point2d {
  float x = 0.0f;
  float y = 0.0f;
};

struct COLOUR {
  float r = 0.0f;
  float g = 0.0f;
  float b = 0.0f;
  float a = 0.0f;
};

// Sixteen doubles in OpenGL order: m[k] is row k % 4 of column k / 4, so
// m[12], m[13], m[14] hold the translation and a point transforms as
// x' = m[0]x + m[4]y + m[8]z + m[12].
struct MATRIX {
  double m[16];

  MATRIX();                         // the identity
  void Zero();                      // all sixteen elements 0
  void Identity();                  // zeros, then 1 on the diagonal
  void SetTranslation(VECTOR3D v);  // m[12..14] = v; the rest unchanged
};

// x, y, z, then the scalar part w.
struct QUAT {
  double x;
  double y;
  double z;
  double w;

  QUAT();                        // (0, 0, 0, 1)
  void Identity();               // (0, 0, 0, 1)
  bool IsEqualTo(QUAT q) const;  // all four components exactly equal
};

// --- vectors (arithmetic in float unless stated) -----------------------------

VECTOR3D AddVectors(VECTOR3D a, VECTOR3D b);
VECTOR3D SubtractVectors(VECTOR3D a, VECTOR3D b);
VECTOR3D MultiplyVectors(VECTOR3D a, VECTOR3D b);  // component by component
VECTOR3D DivideVectors(VECTOR3D a, VECTOR3D b);    // component by component, no zero guard
VECTOR3D ScaleVector(VECTOR3D v, double s);        // products in double
double VectorDotProduct(VECTOR3D a, VECTOR3D b);   // summed in float
VECTOR3D VectorCrossProduct(VECTOR3D a, VECTOR3D b);
double VectorLength(VECTOR3D v);              // sqrt in double of the float sum of squares
double VectorLengthNOSQRT(VECTOR3D v);        // float sum of squares, no root
bool CompareVectors(VECTOR3D a, VECTOR3D b);  // all three components exactly equal
VECTOR3D NormalizeVector(VECTOR3D v);  // in double; a zero vector gives non-finite components
point2d Make2DPoint(float x, float y);
COLOUR MakeColour(float r, float g, float b, float a);
VECTOR3D CalculateNormal(VECTOR3D a, VECTOR3D b, VECTOR3D c);  // (a - b) x (b - c), not normalised

// Turns *v in place about X, then Y, then Z by the given angles in degrees.
// Three zero angles leave *v untouched.
void Rotate(VECTOR3D* v, float ax, float ay, float az);

// The rotation that turns +Z towards b - a: a unit axis scaled by the angle in
// degrees.
VECTOR3D AngleBetweenVectors(VECTOR3D a, VECTOR3D b);

// Inline: every note calls these every frame.
inline VECTOR3D MakePoint(float x, float y, float z) {
  VECTOR3D v;
  v.x = x;
  v.y = y;
  v.z = z;
  return v;
}

// The SQUARED distance, summed in float: callers compare it with squared radii.
inline double DistanceBetweenVectors(VECTOR3D a, VECTOR3D b) {
  const float dx = a.x - b.x;
  const float dy = a.y - b.y;
  const float dz = a.z - b.z;
  const float sum = dx * dx + dy * dy + dz * dz;
  return sum;
}

// --- matrices (transforms in double) -----------------------------------------

MATRIX AddMatrix(MATRIX a, MATRIX b);
MATRIX SubtractMatrix(MATRIX a, MATRIX b);
MATRIX MultiplyMatrix(MATRIX a, MATRIX b);                // a * b as OpenGL multiplies them
VECTOR3D MatrixRotatePoint(MATRIX m, VECTOR3D p);         // by the upper 3x3
VECTOR3D MatrixInverseRotatePoint(MATRIX m, VECTOR3D p);  // by its transpose
VECTOR3D MatrixTranslatePoint(MATRIX m, VECTOR3D p);
VECTOR3D MatrixInverseTranslatePoint(MATRIX m, VECTOR3D p);
VECTOR3D MatrixPointMultiply(MATRIX m, VECTOR3D p);        // rotation, then translation
MATRIX MatrixFromAngle(VECTOR3D v);                        // Euler angles in degrees to a rotation
VECTOR3D AngleFromMatrix(MATRIX m);                        // back to degrees, each in [0, 360)
MATRIX MatrixAngleBetweenVectors(VECTOR3D a, VECTOR3D b);  // third column along a - b

// --- quaternions (all in double) ---------------------------------------------

QUAT InverseQuat(QUAT q);            // the conjugate
QUAT MultiplyQuats(QUAT a, QUAT b);  // Hamilton product a * b
MATRIX QuatToRotationMatrix(QUAT q);
QUAT QuatFromMatrix(MATRIX m);
QUAT QuatSlerp(QUAT* from, QUAT* to, double t);     // neither is changed; not renormalised
QUAT RotationToQuat(VECTOR3D v);                    // Euler angles in degrees
QUAT AxisAndAngleToQuat(VECTOR3D a, double angle);  // radians; the axis is not normalised
double QuatMagnitude(QUAT q);                       // Euclidean norm
QUAT NormalizeQuat(QUAT q);                         // divided by its Euclidean norm

// Wraps rather than clips: adds max while value < min, then subtracts max
// while value >= max. With (0, 360) an angle comes into [0, 360). It always
// returns: a value more than 2^20 periods out loses whole periods at once
// (exactly), and where stepping could never end (an infinite value or min, a
// max <= 0) the value comes back unchanged.
double clamp(double value, double min, double max);
