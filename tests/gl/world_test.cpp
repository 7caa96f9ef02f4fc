// Notes drawn for real and caught in GL's feedback mode, and a world set up
// from currencies on disk.
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <functional>

#include "GLTest.h"
#include "host/Settings.h"
#include "maths/Random.h"
#include "world/GLStuff.h"
#include "world/Notes.h"

namespace {

class WorldTest : public GLTest {
protected:
  void TearDown() override {
    SetRandomSource({});
    world.reset();  // releases its lists while the context is current
    GLTest::TearDown();
  }
  std::unique_ptr<MONEYSS> world = std::make_unique<MONEYSS>();
};

// What draw() puts out: -1 - k for pass-through token k, then each point as eye x y z and its
// colour, seen through a box of 50 whose window x and y are eye x and y.
std::vector<std::vector<double>> Feedback(const std::function<void()>& draw) {
  float buffer[256];
  glFeedbackBuffer(256, GL_3D_COLOR, buffer);
  glRenderMode(GL_FEEDBACK);
  draw();
  std::vector<std::vector<double>> out;
  for (GLint i = 0, used = glRenderMode(GL_RENDER); i < used;
       i += buffer[i] == GL_POINT_TOKEN ? 8 : 2) {
    const float* v = &buffer[i + 1];
    if (buffer[i] == GL_PASS_THROUGH_TOKEN)
      out.push_back({-1 - v[0]});
    else
      out.push_back({v[0], v[1], (0.5 - v[2]) * 100, v[3], v[4], v[5], v[6]});
  }
  return out;
}

// Notes are culled against glOrtho(-10, 10, -10, 10, -10, 10). The one denomination's list k
// marks itself with pass-through token k and draws kPoints.
TEST_F(WorldTest, NotesTurnCullAndRestoreTheMatrix) {
  constexpr float kPoints[4][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  world->Currencies = new CURRENCYINFO[world->NumCurrencies = 1];
  ONECURRENCY* set = world->Currencies[0].NoteSet = new ONECURRENCY;
  set->NoteLists = new uint32_t[3 * (set->NumNotes = 1)];
  for (int k = 0; k < 3; ++k) {
    glNewList(set->NoteLists[k] = glGenLists(1), GL_COMPILE);
    glPassThrough(float(k));
    glBegin(GL_POINTS);
    for (const auto& p : kPoints) glVertex3fv(p);
    glEnd();
    glEndList();
  }
  glMatrixMode(GL_PROJECTION);
  glOrtho(-10, 10, -10, 10, -10, 10);
  ExtractFrustum();
  glLoadIdentity();
  glOrtho(-50, 50, -50, 50, -50, 50);
  glViewport(-50, -50, 100, 100);
  glMatrixMode(GL_MODELVIEW);
  // Its denomination's image waits to be uploaded until a note is drawn with it.
  set->Textures = new Texture[set->NumTextures = 1];
  set->Textures[0].pixels = static_cast<unsigned char*>(std::calloc(4, 1));
  set->Textures[0].width = set->Textures[0].height = 1;
  set->Textures[0].bitsPerPixel = 32;
  ASSERT_TRUE(BuildTextureLater(&set->Textures[0], 0));
  world->NoteScale = 2.0f;
  // kPoints turned by the tumble about x (90), then the swing about z (180), then the heading
  // about y (-90); turned in any other order they land elsewhere.
  const double turned[4][3] = {{0, 0, 0}, {0, 0, -1}, {-1, 0, 0}, {0, 1, 0}};
  // The right plane is x = 10: the sphere of radius NoteScale about the pivot decides.
  for (auto [x, currency, list, drawn] : {std::tuple{1.0f, 0, 2, true},
                                          {11.5f, 0, 1, true},
                                          {12.5f, 0, 1, false},
                                          {1.0f, 1, 0, false},     // no such currency
                                          {1.0f, 0, 3, false}}) {  // no such list
    ONENOTE note{
        MakePoint(x, 2, -3), {}, MakePoint(90, -90, 180), {}, currency, list, 0, 0, 0.625f};
    std::vector<std::vector<double>> want;
    if (drawn) want.push_back({-1.0 - list});
    for (int i = 0; drawn && i < 4; ++i)
      want.push_back({x + turned[i][0], 2 + turned[i][1], -3 + turned[i][2], .625, .625, .625,
                      .625});  // and its colour
    auto got = Feedback([&] { note.Draw(world.get()); });
    for (auto& row : got)
      for (double& v : row) v = std::round(v * 1000) / 1000;
    EXPECT_EQ(got, want) << x << " " << currency << " " << list;
    GLint depth = 0;
    std::vector<float> m(16), identity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    glGetFloatv(GL_MODELVIEW_MATRIX, m.data());
    EXPECT_EQ(std::pair(depth, m), std::pair(1, identity)) << "the model-view matrix is restored";
    EXPECT_EQ(set->Textures[0].uploadPending, false) << "drawn before its image went to OpenGL";
  }
  // The world draws its released notes, in index order.
  world->Notes = new ONENOTE[world->TOT_NUM_NOTES = 3]();
  for (int i = 0; i < 3; ++i) world->Notes[i].NoteList = 2 - i;
  world->ActiveNotes = 1.5f;
  const auto drawn = Feedback([&] { world->Draw(); });
  ASSERT_EQ(drawn.size(), 10u);
  EXPECT_EQ(std::pair(drawn[0], drawn[5]),
            std::pair(std::vector<double>{-3}, std::vector<double>{-2}))
      << "notes 0 and 1 alone, in order";
}

// Setup reads the size in percent and gives a relative folder its slash. With one currency no
// draw goes to mixing, and no count means 400 notes of 9 draws each (the draws themselves are
// checked in the unit tests).
TEST_F(WorldTest, SetupReadsTheSettings) {
  TempDir root;
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(root.dir.c_str()), 0);
  ASSERT_EQ(mkdir("cur", 0755), 0);
  root.Write("cur/A.dosh", Currency("Alpha", 1));
  SETTINGS settings;
  settings.LNOTESIZE = 150;
  settings.MIXCURRENCY = true;
  settings.NoteSize = 0.5f;  // not what the world reads
  std::strcpy(settings.CurrencyPath, "cur");
  int draws = 0;
  SetRandomSource([&] { return ++draws, 0; });
  const bool setUp = world->Setup(&settings);
  EXPECT_EQ(chdir(cwd), 0);
  ASSERT_TRUE(setUp);
  EXPECT_EQ(std::tuple(draws, world->TOT_NUM_NOTES, world->MIXCURRENCY, world->NoteScale,
                       std::string(world->CurrencyPath)),
            std::tuple(3600, 400, false, 1.5f, "cur/"));
}

}  // namespace
