#include "Trace.h"

#include <cmath>
#include <cstdio>

#include "world/Notes.h"

namespace {

// JSON has no infinities or NaN.
void Number(std::string* out, double value, int digits) {
  if (!std::isfinite(value)) {
    *out += "null";
    return;
  }
  char text[40];
  std::snprintf(text, sizeof text, "%.*g", digits, value);
  *out += text;
}

void Double(std::string* out, double value) { Number(out, value, 17); }
void Float(std::string* out, float value) { Number(out, value, 9); }
void Int(std::string* out, long long value) { *out += std::to_string(value); }
void Bool(std::string* out, bool value) { *out += value ? "true" : "false"; }

void Vector(std::string* out, const VECTOR3D& v) {
  *out += '[';
  Float(out, v.x);
  *out += ", ";
  Float(out, v.y);
  *out += ", ";
  Float(out, v.z);
  *out += ']';
}

void Camera(std::string* out, const ONECAMERA& c) {
  *out += "{\"Pos\": ";
  Vector(out, c.Pos);
  *out += ", \"LookAt\": ";
  Vector(out, c.LookAt);
  *out += ", \"Angle\": ";
  Vector(out, c.Angle);
  *out += ", \"Spinning\": ";
  Bool(out, c.Spinning);
  *out += ", \"Following\": ";
  Bool(out, c.Following);
  *out += ", \"FollowNote\": ";
  Int(out, c.FollowNote);
  *out += ", \"FadeRange\": ";
  Float(out, c.FadeRange);
  *out += '}';
}

void Note(std::string* out, const ONENOTE& n) {
  *out += "{\"Pos\": ";
  Vector(out, n.Pos);
  *out += ", \"Rot\": ";
  Vector(out, n.Rot);
  *out += ", \"Currency\": ";
  Int(out, n.Currency);
  *out += ", \"NoteList\": ";
  Int(out, n.NoteList);
  *out += ", \"Tumbling\": ";
  Int(out, n.Tumbling);
  *out += ", \"SwingPhase\": ";
  Int(out, n.SwingPhase);
  *out += ", \"Brightness\": ";
  Float(out, n.Brightness);
  *out += '}';
}

// The first kTracedNotes notes of the array, released or still waiting at
// their spawn points.
void Notes(std::string* out, const MONEYSS& world) {
  *out += '[';
  for (int64_t i = 0; world.Notes != nullptr && i < world.TOT_NUM_NOTES && i < kTracedNotes; ++i) {
    if (i > 0) *out += ", ";
    Note(out, world.Notes[i]);
  }
  *out += ']';
}

}  // namespace

std::string TraceLine(double runTime, double stepTime, uint64_t randDraws, const MONEYSS* world) {
  std::string out = "{\"RunTime\": ";
  Double(&out, runTime);
  out += ", \"StepTime\": ";
  Double(&out, stepTime);
  out += ", \"RandDraws\": ";
  out += std::to_string(randDraws);
  out += ", \"ActiveNotes\": ";
  Float(&out, world != nullptr ? world->ActiveNotes : 0.0f);
  out += ", \"Camera\": ";
  if (world != nullptr)
    Camera(&out, world->Camera);
  else
    out += "null";
  out += ", \"Notes\": ";
  if (world != nullptr)
    Notes(&out, *world);
  else
    out += "[]";
  out += '}';
  return out;
}
