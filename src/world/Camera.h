// The scene's camera: it orbits the centre of the notes' cube through rest
// and spin phases and, when allowed, closes in on one note and follows it.
// Every change is eased.
#pragma once

#include <cstdint>

#include "maths/NiftyMaths.h"

class MONEYSS;

class ONECAMERA {
public:
  VECTOR3D Pos = MakePoint(0, 0, 25);    // the eye
  VECTOR3D LookAt = MakePoint(0, 0, 0);  // also the centre of the notes' cube
  VECTOR3D Up;
  VECTOR3D TargetPos;
  VECTOR3D TargetLookAt;
  VECTOR3D Angle;       // orbit angles, degrees
  VECTOR3D AngleSpeed;  // degrees per second while spinning
  VECTOR3D TargetAngle;
  float RotateTimer = 5.0f;  // seconds left in the rest or spin phase
  bool Rotate = true;
  bool Spinning = false;
  int32_t FollowNote = 0;  // index of the followed note
  bool Following = false;
  float FollowTimer = 15.0f;  // seconds left in the normal or follow phase
  float MoveSpeed = 3.0f;     // easing rate of eye and look-at, recovers towards 5
  float AngleRate = 1.0f;     // easing rate of the angles, recovers towards 1
  float FadeRange = 0.0f;     // squared distance at which a note fades to 0
  bool ZOOMIN = true;
  int32_t ROTMODE = 3;

  // Advances the camera by the world's frame time and multiplies its view
  // onto the model-view matrix.
  void Move(MONEYSS* world);

private:
  // The rest and spin phases: eases Angle and turns TargetPos and Up by it.
  void Orbit(double dt);
};
