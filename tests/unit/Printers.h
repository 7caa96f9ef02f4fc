// Equality and printing for the core records, so that EXPECT_EQ on them
// shows both values in full precision when they differ.
#pragma once

#include <iomanip>
#include <ostream>

#include "maths/NiftyMaths.h"

inline bool operator==(const VECTOR3D& a, const VECTOR3D& b) {
  return a.x == b.x && a.y == b.y && a.z == b.z;
}
inline bool operator==(const QUAT& a, const QUAT& b) {
  return a.x == b.x && a.y == b.y && a.z == b.z && a.w == b.w;
}
inline bool operator==(const COLOUR& a, const COLOUR& b) {
  return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
}
inline std::ostream& operator<<(std::ostream& o, const VECTOR3D& v) {
  return o << std::setprecision(9) << '(' << v.x << ", " << v.y << ", " << v.z << ')';
}
inline std::ostream& operator<<(std::ostream& o, const QUAT& q) {
  return o << std::setprecision(17) << '(' << q.x << ", " << q.y << ", " << q.z << ", " << q.w
           << ')';
}
inline std::ostream& operator<<(std::ostream& o, const COLOUR& c) {
  return o << std::setprecision(9) << "rgba(" << c.r << ", " << c.g << ", " << c.b << ", " << c.a
           << ')';
}
inline std::ostream& operator<<(std::ostream& o, const MATRIX& m) {
  o << std::setprecision(17) << '[';
  for (int i = 0; i < 16; ++i) o << m.m[i] << (i == 15 ? "]" : i % 4 == 3 ? "; " : ", ");
  return o;
}
