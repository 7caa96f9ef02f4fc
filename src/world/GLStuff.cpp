#include "world/GLStuff.h"

#include <GL/gl.h>

#include <cmath>

float frustum[6][4] = {};

namespace {

enum { RIGHT, LEFT, BOTTOM, TOP, FAR, NEAR };

// Scales a plane so that its normal has unit length, which makes a·x + b·y +
// c·z + d the signed distance.
void SetPlane(int index, float a, float b, float c, float d) {
  const float length = std::sqrt(a * a + b * b + c * c);
  frustum[index][0] = a / length;
  frustum[index][1] = b / length;
  frustum[index][2] = c / length;
  frustum[index][3] = d / length;
}

float Distance(int plane, VECTOR3D p) {
  const float* f = frustum[plane];
  return f[0] * p.x + f[1] * p.y + f[2] * p.z + f[3];
}

}  // namespace

void ExtractFrustum() {
  float proj[16];
  float modl[16];
  glGetFloatv(GL_PROJECTION_MATRIX, proj);
  glGetFloatv(GL_MODELVIEW_MATRIX, modl);

  // projection × modelview, column-major
  float clip[16];
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      clip[4 * r + c] = modl[4 * r] * proj[c] + modl[4 * r + 1] * proj[4 + c] +
                        modl[4 * r + 2] * proj[8 + c] + modl[4 * r + 3] * proj[12 + c];
    }
  }

  SetPlane(RIGHT, clip[3] - clip[0], clip[7] - clip[4], clip[11] - clip[8], clip[15] - clip[12]);
  SetPlane(LEFT, clip[3] + clip[0], clip[7] + clip[4], clip[11] + clip[8], clip[15] + clip[12]);
  SetPlane(BOTTOM, clip[3] + clip[1], clip[7] + clip[5], clip[11] + clip[9], clip[15] + clip[13]);
  SetPlane(TOP, clip[3] - clip[1], clip[7] - clip[5], clip[11] - clip[9], clip[15] - clip[13]);
  SetPlane(FAR, clip[3] - clip[2], clip[7] - clip[6], clip[11] - clip[10], clip[15] - clip[14]);
  SetPlane(NEAR, clip[3] + clip[2], clip[7] + clip[6], clip[11] + clip[10], clip[15] + clip[14]);
}

bool PointInFrustum(VECTOR3D p) {
  for (int plane = 0; plane < 6; ++plane) {
    if (Distance(plane, p) <= 0.0f) return false;
  }
  return true;
}

bool SphereInFrustum(VECTOR3D centre, float radius) {
  for (int plane = 0; plane < 6; ++plane) {
    if (Distance(plane, centre) <= -radius) return false;
  }
  return true;
}

bool SphereInsideSinglePlaneFrustum(int plane, VECTOR3D centre, float radius) {
  return Distance(plane, centre) > -radius;
}

VECTOR3D PointAtEdgeOfFrustum(int plane, VECTOR3D p) {
  if (plane < 0 || plane > 5) return MakePoint(0.0f, 0.0f, 0.0f);
  const float a = frustum[plane][0];
  const float b = frustum[plane][1];
  const float c = frustum[plane][2];
  const float d = frustum[plane][3];
  if (plane <= LEFT)
    p.x = -((b * p.y + d) + c * p.z) / a;
  else if (plane <= TOP)
    p.y = -((c * p.z + d) + a * p.x) / b;
  else
    p.z = -((b * p.y + d) + a * p.x) / c;
  return p;
}
