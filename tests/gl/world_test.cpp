// Notes drawn for real and caught in GL's feedback mode, and a world set up
// from currencies on disk with its random draws scripted.
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <functional>

#include "GLTest.h"
#include "SceneFixture.h"
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

// Notes are culled against glOrtho(-10, 10, -10, 10, -10, 10) and seen through
// a box of 50 whose window x and y are eye x and y. The one denomination's
// list k marks itself with pass-through token k and draws kPoints.
TEST_F(WorldTest, NoteTurnsByHeadingSwingTumbleIsCulledByItsScaleAndRestoresTheMatrix) {
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
  // What draw() puts out: -1 - k for pass-through token k, then each point as eye x y z and its
  // colour.
  auto feedback = [](const std::function<void()>& draw) {
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
  };
  // Its denomination's image waits to be uploaded until a note is drawn with it.
  set->Textures = new Texture[set->NumTextures = 1];
  set->Textures[0].pixels = static_cast<unsigned char*>(std::calloc(4, 1));
  set->Textures[0].width = set->Textures[0].height = 1;
  set->Textures[0].bitsPerPixel = 32;
  ASSERT_TRUE(BuildTextureLater(&set->Textures[0], 0));
  world->NoteScale = 2.0f;
  // The right plane is x = 10: the sphere of radius NoteScale about the pivot decides.
  const struct {
    const char* name;
    float x;
    int currency, list;
    bool drawn;
  } cases[] = {{"inside", 1, 0, 2, true},
               {"outside by less than the scale", 11.5f, 0, 1, true},
               {"outside by more than the scale", 12.5f, 0, 1, false},
               {"currency out of range", 1, 1, 0, false},
               {"list out of range", 1, 0, 3, false}};
  // kPoints turned by the tumble about x (90), then the swing about z (180),
  // then the heading about y (-90); turned in any other order they land elsewhere.
  const double turned[4][3] = {{0, 0, 0}, {0, 0, -1}, {-1, 0, 0}, {0, 1, 0}};
  for (const auto& c : cases) {
    ONENOTE note{
        MakePoint(c.x, 2, -3), {}, MakePoint(90, -90, 180), {}, c.currency, c.list, 0, 0, 0.625f};
    const auto drawn = feedback([&] { note.Draw(world.get()); });
    GLint depth = 0;
    float m[16], identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_TRUE(depth == 1 && std::equal(m, m + 16, identity))
        << c.name << ": the model-view matrix is not restored";
    ASSERT_EQ(drawn.size(), c.drawn ? 5u : 0u) << c.name;
    EXPECT_EQ(set->Textures[0].uploadPending, false)
        << c.name << ": drawn before its image went to OpenGL";
    EXPECT_TRUE(!c.drawn || drawn[0] == std::vector<double>{-1.0 - c.list})
        << c.name << ": not the note's list";
    for (size_t i = 1; i < drawn.size(); ++i) {
      const double *t = turned[i - 1], want[7] = {c.x + t[0], 2 + t[1], -3 + t[2], .625,
                                                  .625,       .625,     .625};  // and its colour
      for (int k = 0; k < 7; ++k)
        EXPECT_NEAR(drawn[i][k], want[k], 1e-3) << c.name << ", point " << i << ", value " << k;
    }
  }
  // The world draws its released notes, in index order.
  world->Notes = new ONENOTE[world->TOT_NUM_NOTES = 3]();
  for (int i = 0; i < 3; ++i) world->Notes[i].NoteList = 2 - i;
  world->ActiveNotes = 1.5f;
  const auto drawn = feedback([&] { world->Draw(); });
  EXPECT_TRUE(drawn.size() == 10 && drawn[0][0] == -3 && drawn[5][0] == -2)
      << "not notes 0 and 1 alone, in order";
}

std::string Describe(const ONENOTE& n) {
  char text[400];
  std::snprintf(text, sizeof text,
                "currency %d list %d tumbling %d phase %d, pos %g %g %g, rot %g %g %g, spin %g %g, "
                "vel %g %g %g",
                n.Currency, n.NoteList, n.Tumbling, n.SwingPhase, n.Pos.x, n.Pos.y, n.Pos.z,
                n.Rot.x, n.Rot.y, n.Rot.z, n.RotSpeed.x, n.RotSpeed.y, n.Vel.x, n.Vel.y, n.Vel.z);
  return text;
}

TEST_F(WorldTest, SetupReadsThePercentSizeJoinsFoldersAndSpawnsEachNoteFromItsDraws) {
  // "cur", relative to the working folder, is just long enough to be given a slash.
  TempDir root, second;
  char cwd[4096];
  ASSERT_TRUE(getcwd(cwd, sizeof cwd) && chdir(root.dir.c_str()) == 0 && mkdir("cur", 0755) == 0);
  WriteTestCurrency(root, "cur/A.dosh", "Alpha", 1);
  WriteTestCurrency(second, "B.dosh", "Bee", 2);
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
  EXPECT_EQ(world->CurrencyPath + std::string(" and ") + world->Currencies[1].Folder,
            "cur/ and " + second.dir + "/");
  EXPECT_TRUE(world->MIXCURRENCY && world->CurrentCurrency == 1 && world->ActiveNotes == 0.0f);
  EXPECT_EQ(Describe(world->Notes[0]),
            "currency 1 list 4 tumbling 0 phase 5, pos -24.99 25 -0.01, rot 0 40 0, spin 0 -11.5, "
            "vel -1.5 -6 0.5");
  EXPECT_EQ(Describe(world->Notes[1]),
            "currency 0 list 2 tumbling 1 phase 19, pos 24.99 25 -25, rot 359 5 0, spin -359 "
            "-0.01, vel -2 -5 1.9");
  // One currency: nothing to mix, and no draw spent on it; no count means 400 notes, 9 draws each.
  world = std::make_unique<MONEYSS>();
  settings.TOT_NUM_NOTES = 0;
  std::strcpy(settings.CurrencyPath, root.Path("cur").c_str());
  settings.CurrencyPath2[0] = '\0';
  script.assign(3600, 0);
  next = 0;
  ASSERT_TRUE(world->Setup(&settings));
  EXPECT_TRUE(next == 3600 && world->TOT_NUM_NOTES == 400 && !world->MIXCURRENCY);
}

}  // namespace
