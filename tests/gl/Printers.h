// How gtest prints the core's records, and when two notes are the same up to
// float rounding in the last digits.
#pragma once

#include <cmath>
#include <ostream>
#include <tuple>

#include "world/Notes.h"

inline std::ostream& operator<<(std::ostream& out, const VECTOR3D& v) {
  return out << '(' << v.x << ", " << v.y << ", " << v.z << ')';
}
inline void PrintTo(const ONENOTE& n, std::ostream* out) {
  *out << "{Pos " << n.Pos << ", Vel " << n.Vel << ", Rot " << n.Rot << ", RotSpeed " << n.RotSpeed
       << ", Currency " << n.Currency << ", NoteList " << n.NoteList << ", Tumbling " << n.Tumbling
       << ", SwingPhase " << n.SwingPhase << ", Brightness " << n.Brightness << '}';
}
inline bool operator==(const ONENOTE& a, const ONENOTE& b) {
  auto near = [](const VECTOR3D& p, const VECTOR3D& q) {
    return std::fabs(p.x - q.x) + std::fabs(p.y - q.y) + std::fabs(p.z - q.z) < 1e-4f;
  };
  return near(a.Pos, b.Pos) && near(a.Vel, b.Vel) && near(a.Rot, b.Rot) &&
         near(a.RotSpeed, b.RotSpeed) && std::fabs(a.Brightness - b.Brightness) < 1e-4f &&
         std::tie(a.Currency, a.NoteList, a.Tumbling, a.SwingPhase) ==
             std::tie(b.Currency, b.NoteList, b.Tumbling, b.SwingPhase);
}
