// Equality and printing for the core records, so that EXPECT_EQ on them
// shows both values in full precision when they differ.
#pragma once

#include <cmath>
#include <iomanip>
#include <ostream>
#include <tuple>

#include "maths/NiftyMaths.h"
#include "world/Notes.h"

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
// Two notes are the same up to float rounding in the last digits.
inline bool operator==(const ONENOTE& a, const ONENOTE& b) {
  auto near = [](const VECTOR3D& p, const VECTOR3D& q) {
    return std::fabs(p.x - q.x) + std::fabs(p.y - q.y) + std::fabs(p.z - q.z) < 1e-4f;
  };
  return near(a.Pos, b.Pos) && near(a.Vel, b.Vel) && near(a.Rot, b.Rot) &&
         near(a.RotSpeed, b.RotSpeed) && std::fabs(a.Brightness - b.Brightness) < 1e-4f &&
         std::tie(a.Currency, a.NoteList, a.Tumbling, a.SwingPhase) ==
             std::tie(b.Currency, b.NoteList, b.Tumbling, b.SwingPhase);
}
