// The note's display lists as GL runs them: the vertices, texture coordinates
// and normals captured in feedback mode, which faces survive back-face
// culling, and both faces rendered through a real camera.
#include <GL/glu.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "GLTest.h"
#include "image/Texture.h"
#include "maths/NiftyMaths.h"
#include "data/NoteMesh.h"

namespace {

// One vertex as a list draws it, back in object coordinates.
struct Vertex {
  double x, y, z;
  double s, t;
  double nx, ny, nz;
};
using Triangle = std::array<Vertex, 3>;

// Raw feedback: per vertex x, y, z, w, colour (4), texture (4).
constexpr int kFloatsPerVertex = 12;

bool SamePosition(const float* a, const float* b) {
  return a[0] == b[0] && a[1] == b[1] && a[2] == b[2];
}

// The triangles GL draws for list with the current state. Mesa's list
// compiler joins consecutive strips into one, with degenerate triangles at
// the joint; those are left out unless asked for.
std::vector<std::array<float, 3 * kFloatsPerVertex>> FeedbackTriangles(
    GLuint list, bool keepDegenerate = false) {
  std::vector<float> buffer(1 << 14);
  glFeedbackBuffer(GLsizei(buffer.size()), GL_4D_COLOR_TEXTURE, buffer.data());
  glRenderMode(GL_FEEDBACK);
  glCallList(list);
  const GLint used = glRenderMode(GL_RENDER);
  std::vector<std::array<float, 3 * kFloatsPerVertex>> triangles;
  for (GLint i = 0; i + 1 < used;) {
    if (buffer[i] != GL_POLYGON_TOKEN || buffer[i + 1] != 3) {
      ADD_FAILURE() << "unexpected feedback token " << buffer[i] << " at " << i;
      break;
    }
    std::array<float, 3 * kFloatsPerVertex> triangle;
    std::copy(&buffer[i + 2], &buffer[i + 2] + triangle.size(), triangle.begin());
    const float* v0 = &triangle[0];
    const float* v1 = v0 + kFloatsPerVertex;
    const float* v2 = v1 + kFloatsPerVertex;
    if (keepDegenerate || !(SamePosition(v0, v1) || SamePosition(v1, v2) || SamePosition(v0, v2))) {
      triangles.push_back(triangle);
    }
    i += 2 + GLint(triangle.size());
  }
  return triangles;
}

// Directional lights along +axis (sign 1) or -axis (sign -1), one colour
// channel each, so a vertex's lit colour is its normal's positive part.
void LightAlongAxes(float sign) {
  const float none[4] = {0, 0, 0, 1};
  const float white[4] = {1, 1, 1, 1};
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, none);
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, none);
  glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
  for (int axis = 0; axis < 3; ++axis) {
    float direction[4] = {0, 0, 0, 0};
    float colour[4] = {0, 0, 0, 1};
    direction[axis] = sign;
    colour[axis] = 1;
    glLightfv(GL_LIGHT0 + axis, GL_POSITION, direction);
    glLightfv(GL_LIGHT0 + axis, GL_DIFFUSE, colour);
    glEnable(GL_LIGHT0 + axis);
  }
  glEnable(GL_LIGHTING);
}

// Everything list draws, culling off, in object coordinates. Window x is
// the object's x exactly (power-of-two scales). Mesa flips window y through
// the framebuffer height in float, which costs it about 3e-5, so the
// object's z goes there and its y goes to depth instead.
std::vector<Triangle> Capture(GLuint list, bool keepDegenerate = false) {
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  glViewport(-4, -4, 8, 8);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-4, 4, -4, 4, -4, 4);
  glMatrixMode(GL_MODELVIEW);
  const float swapYZ[16] = {1, 0, 0, 0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 1};
  glLoadMatrixf(swapYZ);
  glDisable(GL_CULL_FACE);

  LightAlongAxes(1.0f);
  const auto positive = FeedbackTriangles(list, keepDegenerate);
  LightAlongAxes(-1.0f);
  const auto negative = FeedbackTriangles(list, keepDegenerate);
  glDisable(GL_LIGHTING);
  EXPECT_EQ(positive.size(), negative.size());

  std::vector<Triangle> triangles;
  for (size_t i = 0; i < positive.size() && i < negative.size(); ++i) {
    Triangle triangle;
    for (int k = 0; k < 3; ++k) {
      const float* p = &positive[i][k * kFloatsPerVertex];
      const float* n = &negative[i][k * kFloatsPerVertex];
      triangle[k] = Vertex{p[0], (0.5 - p[2]) * 8.0, p[1], p[8], p[9],
                           p[4] - n[4], p[5] - n[5], p[6] - n[6]};
    }
    triangles.push_back(triangle);
  }
  glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
  return triangles;
}

bool Near(const Vertex& a, const Vertex& b) {
  // z came through window y (see Capture)
  return std::fabs(a.x - b.x) < 2e-6 && std::fabs(a.y - b.y) < 2e-6 &&
         std::fabs(a.z - b.z) < 5e-5 && std::fabs(a.s - b.s) < 1e-6 &&
         std::fabs(a.t - b.t) < 1e-6 && std::fabs(a.nx - b.nx) < 1e-5 &&
         std::fabs(a.ny - b.ny) < 1e-5 && std::fabs(a.nz - b.nz) < 1e-5;
}

std::string Describe(const Vertex& v) {
  char text[200];
  std::snprintf(text, sizeof text, "(%.6f %.6f %.6f | %.6f %.6f | %.5f %.5f %.5f)", v.x, v.y,
                v.z, v.s, v.t, v.nx, v.ny, v.nz);
  return text;
}

// Expects triangles to be the strip's triangles, in order and each turning
// the same way as in the strip (any starting vertex).
void ExpectStrip(const std::vector<Triangle>& triangles, size_t first,
                 const std::vector<Vertex>& strip) {
  for (size_t k = 0; k + 2 < strip.size(); ++k) {
    const size_t index = first + k;
    ASSERT_LT(index, triangles.size());
    const Triangle expected = k % 2 == 0 ? Triangle{strip[k], strip[k + 1], strip[k + 2]}
                                         : Triangle{strip[k + 1], strip[k], strip[k + 2]};
    const Triangle& got = triangles[index];
    bool match = false;
    for (int r = 0; r < 3 && !match; ++r) {
      match = Near(got[r], expected[0]) && Near(got[(r + 1) % 3], expected[1]) &&
              Near(got[(r + 2) % 3], expected[2]);
    }
    EXPECT_TRUE(match) << "triangle " << index << ": got " << Describe(got[0]) << Describe(got[1])
                       << Describe(got[2]) << " expected " << Describe(expected[0])
                       << Describe(expected[1]) << Describe(expected[2]);
  }
}

// The captured vertex with texture coordinate (s, t).
Vertex FindVertex(const std::vector<Triangle>& triangles, double s, double t) {
  for (const Triangle& triangle : triangles) {
    for (const Vertex& v : triangle) {
      if (std::fabs(v.s - s) < 1e-6 && std::fabs(v.t - t) < 1e-6) return v;
    }
  }
  ADD_FAILURE() << "no vertex at texture coordinate " << s << ", " << t;
  return Vertex{};
}

// The curved note worked out in double: column i at angle θi from -y
// towards +x on the circle of radius scale.
struct Curve {
  std::vector<Vertex> front, back;
};
Curve ExpectedCurve(double width, double height, double scale) {
  const double arc = width * 180.0 / NIFTY_PI;
  const double hz = 0.5 * height * scale;
  Curve curve;
  for (int i = 0; i < 10; ++i) {
    const double theta = (-arc / 2 + i * arc / 9) * NIFTY_PI / 180.0;
    const double x = scale * std::sin(theta), y = -scale * std::cos(theta);
    const double u = i / 9.0;
    const double nx = std::sin(theta), ny = -std::cos(theta);
    curve.front.push_back({x, y, -hz, u, 0.5, -nx, -ny, 0});
    curve.front.push_back({x, y, hz, u, 0.0, -nx, -ny, 0});
    curve.back.push_back({x, y, hz, 1 - u, 0.5, nx, ny, 0});
    curve.back.push_back({x, y, -hz, 1 - u, 1.0, nx, ny, 0});
  }
  return curve;
}

class NoteMeshTest : public GLTest {
protected:
  void SetUp() override {
    GLTest::SetUp();
    if (HasFatalFailure()) return;
    base = glGenLists(3);
    glGenTextures(1, &texture);
  }

  void TearDown() override {
    glDeleteLists(base, 3);
    glDeleteTextures(1, &texture);
    GLTest::TearDown();
  }

  void Create(float width, float height, float scale) {
    CreateNote(Curved(), Curved2(), Flat(), width, height, texture, scale);
  }

  GLuint Curved() const { return base; }
  GLuint Curved2() const { return base + 1; }
  GLuint Flat() const { return base + 2; }

  GLuint base = 0;
  GLuint texture = 0;
};

TEST_F(NoteMeshTest, CurvedNoteOfTheWorkedExample) {
  Create(1.5f, 0.64f, 1.0f);
  const std::vector<Triangle> triangles = Capture(Curved());
  ASSERT_EQ(triangles.size(), 36u);

  // Column i of the face turned to +y: texture coordinates (i / 9, 0) at +z and
  // (i / 9, 0.5) at -z.
  const double expected[][3] = {{0, -0.6816, -0.7317}, {4, -0.0832, -0.9965}, {9, 0.6816, -0.7317}};
  for (const auto& e : expected) {
    for (double t : {0.0, 0.5}) {
      const Vertex v = FindVertex(triangles, e[0] / 9, t);
      EXPECT_NEAR(v.x, e[1], 5e-5) << e[0];
      EXPECT_NEAR(v.y, e[2], 5e-5) << e[0];
      EXPECT_NEAR(v.z, t == 0 ? 0.32 : -0.32, 5e-5) << e[0];
    }
  }

  const Curve curve = ExpectedCurve(1.5, 0.64, 1.0);
  ExpectStrip(triangles, 0, curve.front);
  ExpectStrip(triangles, 18, curve.back);
}

TEST_F(NoteMeshTest, BothCurvedListsHoldTheSameNote) {
  Create(1.2f, 0.5f, 1.7f);
  const std::vector<Triangle> one = Capture(Curved());
  const std::vector<Triangle> two = Capture(Curved2());
  ASSERT_EQ(one.size(), 36u);
  ASSERT_EQ(two.size(), one.size());
  for (size_t i = 0; i < one.size(); ++i) {
    EXPECT_EQ(std::memcmp(&one[i], &two[i], sizeof(Triangle)), 0) << i;
  }
  const Curve curve = ExpectedCurve(1.2, 0.5, 1.7);
  ExpectStrip(one, 0, curve.front);
  ExpectStrip(one, 18, curve.back);
}

TEST_F(NoteMeshTest, FlatNoteOfTheWorkedExample) {
  Create(1.5f, 0.64f, 1.0f);
  const std::vector<Triangle> triangles = Capture(Flat());
  ASSERT_EQ(triangles.size(), 4u);
  const double l = -0.75, r = 0.75, top = 0.32, bottom = -0.32;
  ExpectStrip(triangles, 0,
              {{l, 0, top, 0, 0, 0, 1, 0}, {r, 0, top, 1, 0, 0, 1, 0},
               {l, 0, bottom, 0, 0.5, 0, 1, 0}, {r, 0, bottom, 1, 0.5, 0, 1, 0}});
  ExpectStrip(triangles, 2,
              {{l, 0, bottom, 1, 1, 0, -1, 0}, {r, 0, bottom, 0, 1, 0, -1, 0},
               {l, 0, top, 1, 0.5, 0, -1, 0}, {r, 0, top, 0, 0.5, 0, -1, 0}});
}

TEST_F(NoteMeshTest, NoteAsWideAsPiBendsThroughHalfACircle) {
  const float scale = 2.0f;
  Create(3.1416f, 0.64f, scale);
  const std::vector<Triangle> triangles = Capture(Curved());
  ASSERT_EQ(triangles.size(), 36u);
  const Vertex first = FindVertex(triangles, 0, 0);
  const Vertex last = FindVertex(triangles, 1, 0);
  EXPECT_NEAR(first.x, -scale, 1e-5);
  EXPECT_NEAR(first.y, 0.0, 1e-4);
  EXPECT_NEAR(last.x, scale, 1e-5);
  EXPECT_NEAR(last.y, 0.0, 1e-4);
  EXPECT_NEAR(first.z, 0.64, 5e-5);
}

// Culling as the frame driver has it: only the face turned to the viewer.
TEST_F(NoteMeshTest, EachFaceSurvivesCullingOnlyFromItsOwnSide) {
  Create(1.5f, 0.64f, 1.0f);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-2, 2, -2, 2, -10, 10);
  glEnable(GL_CULL_FACE);
  glCullFace(GL_BACK);

  struct Case {
    GLuint list;
    double eyeY;
    size_t triangles;
    float tMin, tMax;  // the face's half of the image
  };
  const Case cases[] = {
      {Flat(), 3, 2, 0.0f, 0.5f},    {Flat(), -3, 2, 0.5f, 1.0f},
      {Curved(), 3, 18, 0.0f, 0.5f}, {Curved(), -3, 18, 0.5f, 1.0f},
      {Curved2(), 3, 18, 0.0f, 0.5f}, {Curved2(), -3, 18, 0.5f, 1.0f},
  };
  for (const Case& c : cases) {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(0, c.eyeY, 0, 0, 0, 0, 0, 0, -1);
    const auto triangles = FeedbackTriangles(c.list);
    EXPECT_EQ(triangles.size(), c.triangles) << "list " << c.list - base << " eye y " << c.eyeY;
    for (const auto& triangle : triangles) {
      for (int k = 0; k < 3; ++k) {
        const float t = triangle[k * kFloatsPerVertex + 9];
        EXPECT_TRUE(t >= c.tMin && t <= c.tMax) << "t " << t << " seen from y " << c.eyeY;
      }
    }
  }
}

TEST_F(NoteMeshTest, ListsOnlyBindTheTextureAndDraw) {
  glClearColor(0.25f, 0.5f, 0.75f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  glColor4f(0.1f, 0.2f, 0.3f, 0.4f);
  glEnable(GL_CULL_FACE);
  const std::vector<unsigned char> before = Frame();
  Create(1.5f, 0.64f, 1.0f);

  // Compiled, not run.
  GLint bound = -1;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(bound, 0);
  EXPECT_EQ(Frame(), before);

  for (GLuint list : {Curved(), Curved2(), Flat()}) {
    glBindTexture(GL_TEXTURE_2D, 0);
    glCallList(list);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), texture);
    float colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(colour[0], 0.1f);
    EXPECT_EQ(colour[1], 0.2f);
    EXPECT_EQ(colour[2], 0.3f);
    EXPECT_EQ(colour[3], 0.4f);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
  }
}

// --- rendered faces ----------------------------------------------------------

// Colours of the test image. The face turned to +y (t 0 to 0.5) is green with a red
// marker at s, t near 0; the other (t 0.5 to 1) blue with a magenta
// marker at s near 0, t just past 0.5. A black row on each side of t = 0.5
// keeps filtering from bleeding one face into the other.
constexpr int kImage = 64;

void FillFaces(Texture* texture) {
  texture->width = kImage;
  texture->height = kImage;
  texture->bitsPerPixel = 24;
  texture->pixels = static_cast<unsigned char*>(std::malloc(kImage * kImage * 3));
  for (int row = 0; row < kImage; ++row) {
    for (int col = 0; col < kImage; ++col) {
      unsigned char* p = texture->pixels + (row * kImage + col) * 3;
      const bool marker = col < 8 && (row < 8 || (row >= 33 && row < 41));
      unsigned char r = 0, g = 0, b = 0;
      if (row < 31) {
        (marker ? r : g) = 255;
      } else if (row > 32) {
        b = 255;
        if (marker) r = 255;
      }
      p[0] = r;
      p[1] = g;
      p[2] = b;
    }
  }
}

struct Box {
  int minX = 1 << 30, minY = 1 << 30, maxX = -1, maxY = -1;
  int count = 0;
  void Add(int x, int y) {
    minX = std::min(minX, x);
    minY = std::min(minY, y);
    maxX = std::max(maxX, x);
    maxY = std::max(maxY, y);
    ++count;
  }
};

// What one rendered frame shows of the note.
struct Seen {
  Box note;       // every lit pixel
  Box marker;     // the marker of the face expected
  int wrongFace;  // pixels in the other face's colours
};

class NoteFacesTest : public NoteMeshTest {
protected:
  void SetUp() override {
    NoteMeshTest::SetUp();
    if (HasFatalFailure()) return;
    glDeleteTextures(1, &texture);
    FillFaces(&image);
    ASSERT_TRUE(BuildTexture(&image, 0));
    texture = image.textureId;
    image.textureId = 0;  // deleted by the fixture
    Create(1.5f, 0.64f, 1.0f);

    glClearColor(0, 0, 0, 1);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(40.0, double(kWidth) / kHeight, 0.5, 20.0);
  }

  // Looks along the y axis from eyeY at (0, centreY, 0). Up is -z, so from
  // above screen right is +x and from below screen right is -x; either way
  // the note's +z edge is at the bottom of the screen.
  Seen Render(GLuint list, double eyeY, double centreY, bool fromAbove) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(0, eyeY, 0, 0, centreY, 0, 0, 0, -1);
    glCallList(list);
    const std::vector<unsigned char> frame = Frame();
    Seen seen{};
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        const unsigned char* p = &frame[(size_t(y) * kWidth + x) * 4];
        const bool red = p[0] > 128, green = p[1] > 64, blue = p[2] > 64;
        if (p[0] > 64 || green || blue) seen.note.Add(x, y);
        if (fromAbove) {
          if (red && !green) seen.marker.Add(x, y);
          if (blue) ++seen.wrongFace;
        } else {
          if (red && blue) seen.marker.Add(x, y);
          if (green) ++seen.wrongFace;
        }
      }
    }
    return seen;
  }

  // The marker sits in the lower left corner of the note on screen.
  static void ExpectMarkerLowerLeft(const Seen& seen) {
    ASSERT_GT(seen.note.count, 1000);
    ASSERT_GT(seen.marker.count, 50);
    EXPECT_EQ(seen.wrongFace, 0);
    const int width = seen.note.maxX - seen.note.minX;
    const int height = seen.note.maxY - seen.note.minY;
    EXPECT_LT(seen.marker.maxX, seen.note.minX + width / 4);
    EXPECT_LT(seen.marker.maxY, seen.note.minY + height / 2);
    EXPECT_LE(seen.marker.minX, seen.note.minX + width / 16);
    EXPECT_LE(seen.marker.minY, seen.note.minY + height / 8);
  }

  Texture image;
};

TEST_F(NoteFacesTest, FlatNoteShowsEachFaceTheRightWayRound) {
  {
    SCOPED_TRACE("flat, from above");
    ExpectMarkerLowerLeft(Render(Flat(), 2.5, 0.0, true));
  }
  {
    SCOPED_TRACE("flat, from below");
    ExpectMarkerLowerLeft(Render(Flat(), -2.5, 0.0, false));
  }
}

TEST_F(NoteFacesTest, CurvedNoteShowsEachFaceTheRightWayRound) {
  for (GLuint list : {Curved(), Curved2()}) {
    {
      SCOPED_TRACE("curved, from above");
      ExpectMarkerLowerLeft(Render(list, 1.6, -0.85, true));
    }
    {
      SCOPED_TRACE("curved, from below");
      ExpectMarkerLowerLeft(Render(list, -3.5, -0.85, false));
    }
  }
}

TEST_F(NoteFacesTest, NoteOfNoWidthHasNoArea) {
  Create(0.0f, 0.64f, 1.0f);
  for (GLuint list : {Curved(), Flat()}) {
    EXPECT_TRUE(Capture(list).empty());
    for (const Triangle& triangle : Capture(list, true)) {
      for (const Vertex& v : triangle) {
        EXPECT_EQ(v.x, 0.0);
        EXPECT_NEAR(v.y, list == Flat() ? 0.0 : -1.0, 1e-6);
      }
    }
  }
  glDisable(GL_CULL_FACE);
  for (GLuint list : {Curved(), Flat()}) {
    for (double eyeY : {2.0, -2.0}) {
      EXPECT_EQ(Render(list, eyeY, 0.0, true).note.count, 0)
          << "list " << list - base << " from " << eyeY;
    }
  }
}

}  // namespace
