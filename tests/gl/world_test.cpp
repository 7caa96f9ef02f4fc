// Notes drawn for real and caught in GL's feedback mode, and a world set up
// from currencies on disk with its random draws scripted.
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <functional>

#include "GLTest.h"
#include "Printers.h"
#include "host/Settings.h"
#include "maths/Random.h"
#include "world/GLStuff.h"

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

TEST_F(WorldTest, SetupSpawnsEachNoteFromItsDraws) {
  // "cur", relative to the working folder, is just long enough to be given a slash.
  TempDir root, second;
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(root.dir.c_str()), 0);
  ASSERT_EQ(mkdir("cur", 0755), 0);
  root.Write("cur/A.dosh", Currency("Alpha", 1));
  second.Write("B.dosh", Currency("Bee", 2));
  SETTINGS settings;
  settings.TOT_NUM_NOTES = 2;
  settings.LNOTESIZE = 150;
  settings.MIXCURRENCY = true;
  settings.NoteSize = 0.5f;  // not what the world reads
  std::strcpy(settings.CurrencyPath, "cur");
  std::strcpy(settings.CurrencyPath2, (second.dir + "/").c_str());
  std::strcpy(settings.SelectedCurrencyName, "B.dosh");
  // Note 0: a b | currency 1 | list 4 of 6, curved | phase | heading, its speed | e f g.
  // Note 1: a b | currency 0 | list 2 of 3, flat | phase | p q, heading speed, m s | e f g.
  std::vector<int> script = {7499, 1, 3,  10,  45,  400,  2600, 25, 50, 5, 0, 4999,
                             4,    5, 19, 725, 359, 1249, 179,  4,  39, 0, 0};
  size_t next = 0;
  SetRandomSource([&] { return script.at(next++); });  // running out throws
  const bool setUp = world->Setup(&settings);
  EXPECT_EQ(chdir(cwd), 0);
  ASSERT_TRUE(setUp);
  EXPECT_EQ(next, 23u);
  EXPECT_EQ(world->NoteScale, 1.5f);
  EXPECT_STREQ(world->CurrencyPath, "cur/");
  EXPECT_EQ(world->Currencies[1].Folder, second.dir + "/");
  EXPECT_EQ(std::tuple(world->MIXCURRENCY, world->CurrentCurrency, world->ActiveNotes),
            std::tuple(true, 1, 0.0f));
  EXPECT_EQ(world->Notes[0],
            (ONENOTE{MakePoint(-24.99f, 25, -0.01f), MakePoint(-1.5f, -6, 0.5f),
                     MakePoint(0, 40, 0), MakePoint(0, -11.5f, 0), 1, 4, 0, 5, 0}));
  EXPECT_EQ(world->Notes[1],
            (ONENOTE{MakePoint(24.99f, 25, -25), MakePoint(-2, -5, 1.9f), MakePoint(359, 5, 0),
                     MakePoint(-359, -0.01f, 0), 0, 2, 1, 19, 0}));
  // One currency: nothing to mix, and no draw spent on it; no count means 400 notes, 9 draws each.
  world = std::make_unique<MONEYSS>();
  settings.TOT_NUM_NOTES = 0;
  std::strcpy(settings.CurrencyPath, root.Path("cur").c_str());
  settings.CurrencyPath2[0] = '\0';
  script.assign(3600, 0);
  next = 0;
  ASSERT_TRUE(world->Setup(&settings));
  EXPECT_EQ(std::tuple(next, world->TOT_NUM_NOTES, world->MIXCURRENCY),
            std::tuple(3600u, 400, false));
}

}  // namespace
