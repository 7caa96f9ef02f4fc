#include "data/NoteMesh.h"

#include <GL/gl.h>

#include "maths/NiftyMaths.h"

namespace {

constexpr int kColumns = 10;

struct MeshVertex {
  VECTOR3D normal;
  float s;
  float t;
  VECTOR3D position;
};

// Both faces of one shape, each a triangle strip.
template <int N>
struct TwoFaces {
  MeshVertex front[N];
  MeshVertex back[N];
};

MeshVertex MakeVertex(VECTOR3D normal, float s, float t, float x, float y, float z) {
  MeshVertex vertex;
  vertex.normal = normal;
  vertex.s = s;
  vertex.t = t;
  vertex.position = MakePoint(x, y, z);
  return vertex;
}

// The trough: ten columns on a cylinder of radius scale about the z axis,
// spread over arc degrees and centred on the -y axis. The front (concave)
// face carries the image rows with t from 0 to 0.5, the back (convex) face the rest.
TwoFaces<2 * kColumns> CurvedGeometry(float noteWidth, float scale, float hz) {
  const float arc = noteWidth / 0.017453292f;  // noteWidth read as radians
  TwoFaces<2 * kColumns> mesh;
  for (int i = 0; i < kColumns; ++i) {
    VECTOR3D v = MakePoint(0.0f, -scale, hz);
    Rotate(&v, 0.0f, 0.0f, arc * -0.5f);
    Rotate(&v, 0.0f, 0.0f, (arc / 9.0f) * float(i));
    const float u = float(i * 0.1111111111111111);

    VECTOR3D inward = MakePoint(-v.x, -v.y, 0.0f);
    inward.Normalize();
    mesh.front[2 * i] = MakeVertex(inward, u, 0.5f, v.x, v.y, -hz);
    mesh.front[2 * i + 1] = MakeVertex(inward, u, 0.0f, v.x, v.y, hz);

    VECTOR3D outward = MakePoint(v.x, v.y, 0.0f);
    outward.Normalize();
    mesh.back[2 * i] = MakeVertex(outward, 1.0f - u, 0.5f, v.x, v.y, hz);
    mesh.back[2 * i + 1] = MakeVertex(outward, 1.0f - u, 1.0f, v.x, v.y, -hz);
  }
  return mesh;
}

// The flat note in the plane y = 0, centred on the origin.
TwoFaces<4> FlatGeometry(float noteWidth, float noteHeight, float scale, float hz) {
  const float xl = float(-0.5 * double(noteWidth) * double(scale));
  const float xr = float(double(scale) * (0.5 * double(noteWidth)));
  const float zb = float(double(scale) * (-0.5 * double(noteHeight)));
  const VECTOR3D up = MakePoint(0.0f, 1.0f, 0.0f);
  const VECTOR3D down = MakePoint(0.0f, -1.0f, 0.0f);
  TwoFaces<4> mesh;
  mesh.front[0] = MakeVertex(up, 0.0f, 0.0f, xl, 0.0f, hz);
  mesh.front[1] = MakeVertex(up, 1.0f, 0.0f, xr, 0.0f, hz);
  mesh.front[2] = MakeVertex(up, 0.0f, 0.5f, xl, 0.0f, zb);
  mesh.front[3] = MakeVertex(up, 1.0f, 0.5f, xr, 0.0f, zb);
  mesh.back[0] = MakeVertex(down, 1.0f, 1.0f, xl, 0.0f, zb);
  mesh.back[1] = MakeVertex(down, 0.0f, 1.0f, xr, 0.0f, zb);
  mesh.back[2] = MakeVertex(down, 1.0f, 0.5f, xl, 0.0f, hz);
  mesh.back[3] = MakeVertex(down, 0.0f, 0.5f, xr, 0.0f, hz);
  return mesh;
}

void DrawStrip(const MeshVertex* vertices, int count) {
  glBegin(GL_TRIANGLE_STRIP);
  for (int i = 0; i < count; ++i) {
    const MeshVertex& v = vertices[i];
    glNormal3f(v.normal.x, v.normal.y, v.normal.z);
    glTexCoord2f(v.s, v.t);
    glVertex3f(v.position.x, v.position.y, v.position.z);
  }
  glEnd();
}

template <int N>
void CompileList(unsigned list, unsigned texture, const TwoFaces<N>& mesh) {
  glNewList(list, GL_COMPILE);
  glBindTexture(GL_TEXTURE_2D, texture);
  DrawStrip(mesh.front, N);
  DrawStrip(mesh.back, N);
  glEndList();
}

}  // namespace

void CreateNote(unsigned listCurved, unsigned listCurved2, unsigned listFlat, float noteWidth,
                float noteHeight, unsigned texture, float scale) {
  const float hz = float(0.5 * double(noteHeight) * double(scale));

  const TwoFaces<2 * kColumns> curved = CurvedGeometry(noteWidth, scale, hz);
  CompileList(listCurved, texture, curved);
  CompileList(listCurved2, texture, curved);
  CompileList(listFlat, texture, FlatGeometry(noteWidth, noteHeight, scale, hz));
}
