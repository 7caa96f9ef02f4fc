// Equality and printing for the core records, so that EXPECT_EQ on them
// shows both values in full precision when they differ; V() writes a vector.
#pragma once

#include <cmath>
#include <iomanip>
#include <ostream>
#include <tuple>

#include "maths/NiftyMaths.h"
#include "world/Notes.h"

inline VECTOR3D V(float x, float y, float z) { return MakePoint(x, y, z); }
inline bool operator==(const VECTOR3D& a, const VECTOR3D& b) {
  return a.x == b.x && a.y == b.y && a.z == b.z;
}
inline std::ostream& operator<<(std::ostream& o, const VECTOR3D& v) {
  return o << std::setprecision(9) << '(' << v.x << ", " << v.y << ", " << v.z << ')';
}
inline void PrintTo(const ONENOTE& n, std::ostream* out) {
  *out << "{Pos " << n.Pos << ", Vel " << n.Vel << ", Rot " << n.Rot << ", RotSpeed " << n.RotSpeed
       << ", Currency " << n.Currency << ", NoteList " << n.NoteList << ", Tumbling " << n.Tumbling
       << ", SwingPhase " << n.SwingPhase << ", Brightness " << n.Brightness << '}';
}
inline bool operator==(const ONENOTE& a, const ONENOTE& b) {
  return std::tie(a.Pos, a.Vel, a.Rot, a.RotSpeed, a.Currency, a.NoteList, a.Tumbling, a.SwingPhase,
                  a.Brightness) == std::tie(b.Pos, b.Vel, b.Rot, b.RotSpeed, b.Currency, b.NoteList,
                                            b.Tumbling, b.SwingPhase, b.Brightness);
}
