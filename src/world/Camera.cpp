#include "world/Camera.h"

#include <GL/glu.h>

#include <algorithm>
#include <cmath>

#include "maths/Random.h"
#include "world/Notes.h"

namespace {

// Brings an angle into (-180, 180], so the camera swings home the short way.
float HomeAngle(float angle) {
  if (!std::isfinite(angle)) return 0.0f;
  while (angle < 0.0f) angle += 360.0f;
  while (angle > 360.0f) angle -= 360.0f;
  if (angle > 180.0f) angle -= 360.0f;
  return angle;
}

// Keeps a spinning target within (-360, 360], moving the angle along with it
// so the easing between them is undisturbed.
void WrapTogether(float& target, float& angle) {
  if (target > 360.0f) {
    target -= 360.0f;
    angle -= 360.0f;
  }
  if (target < -360.0f) {
    target += 360.0f;
    angle += 360.0f;
  }
}

// value += (target - value) * step * rate, in float. A step long enough to
// pass the target lands on it instead: passing it, the easing would swing
// ever wider and, step after step, run off to infinity (steps of up to 2 s
// are taken, and the rate reaches 5 per second).
void Ease(VECTOR3D& value, VECTOR3D target, float step, float rate) {
  if (step * rate > 1.0f) {
    value = target;
    return;
  }
  value.x += (target.x - value.x) * step * rate;
  value.y += (target.y - value.y) * step * rate;
  value.z += (target.z - value.z) * step * rate;
}

}  // namespace

void ONECAMERA::Move(MONEYSS* world) {
  if (world == nullptr) return;
  const double dt = world->FrameTime;
  const float dtf = float(dt);
  // Without a note array (a failed setup) there is nothing to follow.
  const bool haveNotes = world->Notes != nullptr;

  if (ZOOMIN && haveNotes) {
    FollowTimer = float(FollowTimer - dt);
    if (FollowTimer < 0.0f) {
      Following = !Following;
      const int released = int(std::min<float>(world->ActiveNotes, float(world->TOT_NUM_NOTES)));
      const int draw = RandomDraw();
      FollowNote = released > 0 ? draw % released : 0;
      FollowTimer = float(RandomDraw() % 60 + 10);
      MoveSpeed = 0.0f;
      AngleRate = 0.0f;
      if (Following) FollowTimer = 30.0f;
    }
  }
  const ONENOTE* followed = Following && haveNotes ? &world->Notes[FollowNote] : nullptr;

  const float fadeTarget = followed != nullptr ? 1000.0f : 2500.0f;
  FadeRange = dt * MoveSpeed > 1.0
                  ? fadeTarget
                  : float(FadeRange + double(fadeTarget - FadeRange) * dt * MoveSpeed);
  if (followed != nullptr) {
    const VECTOR3D n = followed->Pos;
    TargetLookAt = MakePoint(n.x, n.y - 0.75f * world->NoteScale, n.z);
    const double distance = world->NoteScale * 2.5;
    TargetPos = MakePoint(0.0f, 0.0f, float(distance < 1.75 ? 1.75 : distance));
  } else {
    TargetPos = MakePoint(0.0f, 0.0f, 25.0f);
    TargetLookAt = MakePoint(0.0f, 0.0f, 0.0f);
  }
  Up = MakePoint(0.0f, 1.0f, 0.0f);

  if (Rotate) Orbit(dt);

  if (followed != nullptr) {
    TargetPos = AddVectors(TargetPos, followed->Pos);
    TargetPos.y -= 0.75f * world->NoteScale;
  }

  AngleRate = float(AngleRate + (1.0 - AngleRate) * dt * 0.25);
  MoveSpeed = float(MoveSpeed + (5.0 - MoveSpeed) * dt * 0.25);
  Ease(Pos, TargetPos, dtf, MoveSpeed);
  Ease(LookAt, TargetLookAt, dtf, MoveSpeed);

  gluLookAt(Pos.x, Pos.y, Pos.z, LookAt.x, LookAt.y, LookAt.z, Up.x, Up.y, Up.z);
}

void ONECAMERA::Orbit(double dt) {
  const float dtf = float(dt);
  RotateTimer = float(RotateTimer - dt);
  if (RotateTimer < 0.0f) {
    Spinning = !Spinning;
    RotateTimer = float(RandomDraw() % 120);
    const int p = RandomDraw();
    const int q = RandomDraw();
    const int r = RandomDraw();
    AngleSpeed = MakePoint(float(r % 40 - 20), float(q % 40 - 20), float(p % 40 - 20));
    if (Spinning)
      RotateTimer = float(std::max(RandomDraw() % 90, 10));
    else
      AngleRate = 0.5f;
  }

  if (!Spinning) {
    TargetAngle = MakePoint(0.0f, 0.0f, 0.0f);
    Angle = MakePoint(HomeAngle(Angle.x), HomeAngle(Angle.y), HomeAngle(Angle.z));
  } else {
    TargetAngle.x += AngleSpeed.x * dtf;
    TargetAngle.y += AngleSpeed.y * dtf;
    TargetAngle.z += AngleSpeed.z * dtf;
    WrapTogether(TargetAngle.x, Angle.x);
    WrapTogether(TargetAngle.y, Angle.y);
    WrapTogether(TargetAngle.z, Angle.z);
  }

  // Modes 0 to 2 keep the orbit to the vertical axis: level, from above, from below.
  if (ROTMODE >= 0 && ROTMODE <= 2) {
    const float levels[3] = {0.0f, 90.0f, -90.0f};
    TargetAngle.x = levels[ROTMODE];
    TargetAngle.z = 0.0f;
  }

  Ease(Angle, TargetAngle, dtf, AngleRate);
  const MATRIX m = MatrixFromAngle(Angle);
  TargetPos = MatrixRotatePoint(m, TargetPos);
  Up = MatrixRotatePoint(m, Up);
}
