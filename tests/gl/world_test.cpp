// A note drawn for real, caught in GL's feedback mode, and a world set up
// from currencies on disk with its random draws scripted.
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <deque>
#include <functional>

#include "GLTest.h"
#include "SceneFixture.h"
#include "maths/Random.h"
#include "platform/Alert.h"
#include "world/GLStuff.h"
#include "world/Notes.h"

namespace {

constexpr float kPoints[4][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};

class WorldTest : public GLTest {
protected:
  void TearDown() override {
    SetRandomSource({});
    world.reset();  // releases its lists while the context is current
    GLTest::TearDown();
  }

  // One currency of one denomination, whose list k marks itself with
  // pass-through token k and draws kPoints. Notes are culled against
  // glOrtho(-10, 10, -10, 10, -10, 10) and seen through a box of 50 whose
  // window x and y are eye x and y.
  void GiveCurrencyAndView() {
    world->Currencies = new CURRENCYINFO[1];
    world->NumCurrencies = 1;
    ONECURRENCY* set = world->Currencies[0].NoteSet = new ONECURRENCY;
    set->NumNotes = 1;
    set->NoteLists = new uint32_t[3];
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
  }

  // The lists that draw() called, and its points in eye coordinates, each followed by its colour.
  std::pair<std::vector<int>, std::vector<std::array<double, 7>>> Feedback(const std::function<void()>& draw) {
    float buffer[256];
    glFeedbackBuffer(256, GL_3D_COLOR, buffer);
    glRenderMode(GL_FEEDBACK);
    draw();
    std::pair<std::vector<int>, std::vector<std::array<double, 7>>> drawn;
    for (GLint i = 0, used = glRenderMode(GL_RENDER); i < used; i += buffer[i] == GL_POINT_TOKEN ? 8 : 2) {
      const float* v = &buffer[i + 1];
      if (buffer[i] == GL_PASS_THROUGH_TOKEN) drawn.first.push_back(int(v[0]));
      else if (buffer[i] == GL_POINT_TOKEN) drawn.second.push_back({v[0], v[1], (0.5 - v[2]) * 100, v[3], v[4], v[5], v[6]});
      else ADD_FAILURE() << "feedback token " << buffer[i];
    }
    return drawn;
  }

  // Feeds the given draws to the scene, in order.
  void Script(std::deque<int> draws) {
    SetRandomSource([script = std::make_shared<std::deque<int>>(std::move(draws))] {
      EXPECT_FALSE(script->empty()) << "more draws than scripted";
      const int draw = script->empty() ? 0 : script->front();
      if (!script->empty()) script->pop_front();
      return draw;
    });
  }

  std::unique_ptr<MONEYSS> world = std::make_unique<MONEYSS>();
};

// v turned by degrees about one axis, counter-clockwise looking down it.
std::array<double, 3> Turn(std::array<double, 3> v, int axis, double degrees) {
  const double c = std::cos(degrees * NIFTY_PI / 180), s = std::sin(degrees * NIFTY_PI / 180);
  const int a = (axis + 1) % 3, b = (axis + 2) % 3;
  std::array<double, 3> r = v;
  r[a] = c * v[a] - s * v[b];
  r[b] = s * v[a] + c * v[b];
  return r;
}

TEST_F(WorldTest, NoteTurnsByHeadingSwingTumbleIsCulledByItsScaleAndRestoresTheMatrix) {
  GiveCurrencyAndView();
  world->NoteScale = 2.0f;
  struct Case {
    const char* name;
    std::array<double, 3> pos;
    int currency, list;
    bool drawn;
  };
  // The right plane is x = 10: the sphere of radius NoteScale about the pivot decides.
  const Case cases[] = {{"inside", {1, 2, 3}, 0, 2, true},
                        {"outside by less than the scale", {11.5, 0, -4}, 0, 1, true},
                        {"outside by more than the scale", {12.5, 0, -4}, 0, 1, false},
                        {"currency out of range", {1, 2, 3}, 1, 0, false},
                        {"list out of range", {1, 2, 3}, 0, 3, false}};
  for (const Case& c : cases) {
    ONENOTE note{};
    note.Pos = MakePoint(float(c.pos[0]), float(c.pos[1]), float(c.pos[2]));
    note.Rot = MakePoint(30, 50, 70);  // tumble x, heading y, swing z
    note.Currency = c.currency;
    note.NoteList = c.list;
    note.Brightness = 0.625f;
    const auto [lists, points] = Feedback([&] { note.Draw(world.get()); });
    GLint depth = 0;
    float m[16], identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_TRUE(depth == 1 && std::equal(m, m + 16, identity)) << c.name << ": the model-view matrix is not restored";
    ASSERT_EQ(lists, c.drawn ? std::vector<int>{c.list} : std::vector<int>{}) << c.name;
    ASSERT_EQ(points.size(), c.drawn ? 4u : 0u) << c.name;
    for (size_t i = 0; i < points.size(); ++i) {
      const auto turned = Turn(Turn(Turn({kPoints[i][0], kPoints[i][1], kPoints[i][2]}, 0, 30), 2, 70), 1, 50);
      for (int axis = 0; axis < 3; ++axis)
        EXPECT_NEAR(points[i][axis], c.pos[axis] + turned[axis], 1e-3) << c.name << ", point " << i << ", axis " << axis;
      EXPECT_EQ(std::vector<double>(&points[i][3], &points[i][7]), std::vector<double>(4, 0.625)) << c.name << ": colour";
    }
  }
}

TEST_F(WorldTest, WorldDrawsItsReleasedNotesInIndexOrder) {
  GiveCurrencyAndView();
  world->TOT_NUM_NOTES = 3;
  world->Notes = new ONENOTE[3]();
  for (int i = 0; i < 3; ++i) world->Notes[i].NoteList = 2 - i;
  world->ActiveNotes = 1.5f;  // notes 0 and 1
  EXPECT_EQ(Feedback([&] { world->Draw(); }).first, (std::vector<int>{2, 1}));
}

std::string Describe(const ONENOTE& n) {
  char text[400];
  std::snprintf(text, sizeof text, "currency %d list %d tumbling %d phase %d, pos %g %g %g, rot %g %g %g, spin %g %g %g, vel %g %g %g",
                n.Currency, n.NoteList, n.Tumbling, n.SwingPhase, n.Pos.x, n.Pos.y, n.Pos.z, n.Rot.x, n.Rot.y, n.Rot.z,
                n.RotSpeed.x, n.RotSpeed.y, n.RotSpeed.z, n.Vel.x, n.Vel.y, n.Vel.z);
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
  settings.NoteSize = 0.5f;  // not what the world reads
  settings.MIXCURRENCY = true;
  std::strcpy(settings.CurrencyPath, "cur");
  std::strcpy(settings.CurrencyPath2, (second.dir + "/").c_str());
  std::strcpy(settings.SelectedCurrencyName, "B.dosh");
  // Note 0: a b | currency 1 | list 4 of 6, curved | phase | heading, its speed | e f g.
  // Note 1: a b | currency 0 | list 2 of 3, flat | phase | p q, heading speed, m s | e f g.
  Script({7499, 1, 3, 10, 45, 400, 2600, 25, 50, 5, 0, 4999, 4, 5, 19, 725, 359, 1249, 179, 4, 39, 0, 0});
  const uint64_t before = RandomDrawCount();
  const bool setUp = world->Setup(&settings);
  EXPECT_EQ(chdir(cwd), 0);
  ASSERT_TRUE(setUp);
  EXPECT_EQ(RandomDrawCount() - before, 23u);
  EXPECT_EQ(world->NoteScale, 1.5f);
  EXPECT_STREQ(world->CurrencyPath, "cur/");
  EXPECT_EQ(world->Currencies[1].Folder, second.dir + "/");
  EXPECT_TRUE(world->MIXCURRENCY && world->CurrentCurrency == 1 && world->ActiveNotes == 0.0f);
  EXPECT_EQ(Describe(world->Notes[0]), "currency 1 list 4 tumbling 0 phase 5, pos -24.99 25 -0.01, rot 0 40 0, spin 0 -11.5 0, vel -1.5 -6 0.5");
  EXPECT_EQ(Describe(world->Notes[1]), "currency 0 list 2 tumbling 1 phase 19, pos 24.99 25 -25, rot 359 5 0, spin -359 -0.01 0, vel -2 -5 1.9");

  // One currency: nothing to mix, and no draw spent on it.
  world = std::make_unique<MONEYSS>();
  settings.TOT_NUM_NOTES = 1;
  std::strcpy(settings.CurrencyPath, root.Path("cur").c_str());
  settings.CurrencyPath2[0] = '\0';
  Script({0, 0, 0, 0, 0, 0, 0, 0, 0});
  ASSERT_TRUE(world->Setup(&settings));
  EXPECT_FALSE(world->MIXCURRENCY);
  EXPECT_EQ(RandomDrawCount() - before, 23u + 9u);
}

}  // namespace
