// The view frustum: the six clip planes of the current view in one table,
// refilled by each world's frame right before its notes are tested.
#pragma once

#include "maths/NiftyMaths.h"

// Planes in this order: right, left, bottom, top, far, near; each (a, b, c, d)
// with (a, b, c) of unit length pointing into the visible volume.
extern float frustum[6][4];

// Rebuilds the table from the current projection and model-view matrices.
void ExtractFrustum();

// Strictly inside all six planes.
bool PointInFrustum(VECTOR3D p);
// No plane has the centre radius or more outside it.
bool SphereInFrustum(VECTOR3D centre, float radius);
bool SphereInsideSinglePlaneFrustum(int plane, VECTOR3D centre, float radius);
// p moved along one axis onto the plane; (0, 0, 0) for an unknown plane.
VECTOR3D PointAtEdgeOfFrustum(int plane, VECTOR3D p);
