// The falling notes, the world's frame and the camera over simulated time,
// with the random draws scripted so that their order is checked exactly.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "maths/Random.h"
#include "platform/Alert.h"
#include "world/Notes.h"

namespace {

// Feeds the given draws, in order, to the scene; running out is a failure.
struct ScriptedDraws {
  explicit ScriptedDraws(std::deque<int> script)
      : draws(std::move(script)), previous(SetRandomSource([this] {
          const int draw =
              draws.empty() ? (ADD_FAILURE() << "more draws than scripted", 0) : draws.front();
          if (!draws.empty()) draws.pop_front();
          return draw;
        })) {}
  ~ScriptedDraws() { SetRandomSource(std::move(previous)); }
  size_t Left() const { return draws.size(); }
  std::deque<int> draws;
  RandomSource previous;
};

// Currencies with note sets but no display lists, which is all spawning needs.
void GiveCurrencies(MONEYSS& world, int count, int notesEach) {
  world.Currencies = new CURRENCYINFO[size_t(count)];
  world.NumCurrencies = count;
  for (CURRENCYINFO* c = world.Currencies; c < world.Currencies + count; ++c) {
    c->NumNotes = notesEach;
    c->NoteSet = new ONECURRENCY;
    c->NoteSet->NumNotes = notesEach;
  }
}

// A note's spawned fields, in one row so that a failure shows the whole note.
std::vector<float> Fields(const ONENOTE& n) {
  return {n.Pos.x, n.Pos.y,           n.Pos.z,           n.Rot.x,           n.Rot.y,
          n.Rot.z, n.RotSpeed.x,      n.RotSpeed.y,      n.Vel.x,           n.Vel.y,
          n.Vel.z, float(n.Currency), float(n.NoteList), float(n.Tumbling), float(n.SwingPhase)};
}

struct WorldTest : ::testing::Test {
  void GiveNotes(int count) {
    world.TOT_NUM_NOTES = count;
    world.Notes = new ONENOTE[size_t(count)]();
  }
  MONEYSS world;
};

TEST(Spawn, EachFieldComesFromItsDrawInOrder) {
  // Draws: a (z), b (x), [currency when mixing], [list when loaded], swing; a
  // flat note (list 3k + 2) then p, q, turn, m, s; a curved one heading, turn;
  // then e, f, g. Fields: pos, rot, rot speed x y, vel, currency, list, tumbling, swing.
  const struct {
    const char* what;
    int currencies, current;
    bool mix, loaded;
    std::deque<int> draws;
    std::vector<float> want;
  } cases[] = {{"curved",
                2,
                1,
                false,
                true,
                {7499, 1, 24, 45, 400, 2600, 25, 59, 3},
                {1 + float(-2499 / 100.0), 27, 3 + float(-1 / 100.0), 0, 40, 0, 0, -11.5f,
                 float(-17 / 10.0), float(59 / -10.0 - 1.0), 0.5f, 1, 3, 0, 5}},
               {"flat, s even",
                1,
                0,
                false,
                true,
                {0, 4999, 20, 19, 725, 359, 1249, 179, 4, 39, 0, 0},
                {1 + 24.99f, 27, 3 - 25.0f, 359, 5, 0, -359, float(-1 / 100.0), -2, -5,
                 float(19 / 10.0), 0, 20, 1, 19}},
               {"flat, s odd",
                1,
                0,
                false,
                true,
                {0, 0, 2, 0, 0, 0, 0, 0, 1, 0, 59, 0},
                {-24, 27, -22, 0, 0, 0, 180, -12.5f, -2, float(59 / -10.0 - 5.0), -2, 0, 2, 1, 0}},
               {"mixed",
                3,
                0,
                true,
                true,
                {0, 0, 8, 7, 0, 0, 0, 0, 0, 0},
                {-24, 27, -22, 0, 0, 0, 0, -12.5f, -2, -1, -2, 2, 1, 0, 0}},
               {"unloaded: no list drawn",
                2,
                0,
                false,
                false,
                {0, 0, 3, 0, 0, 0, 0, 0},
                {-24, 27, -22, 0, 0, 0, 0, -12.5f, -2, -1, -2, 0, 0, 0, 3}}};
  for (const auto& c : cases) {
    MONEYSS world;
    GiveCurrencies(world, c.currencies, c.mix ? 2 : 7);
    if (!c.loaded) {
      delete world.Currencies[0].NoteSet;
      world.Currencies[0].NoteSet = nullptr;
    }
    world.CurrentCurrency = c.current;
    world.MIXCURRENCY = c.mix;
    world.Camera.LookAt = MakePoint(1.0f, 2.0f, 3.0f);
    ONENOTE note{};
    ScriptedDraws draws(c.draws);
    note.Reset(&world);
    EXPECT_EQ(Fields(note), c.want) << c.what;
    EXPECT_EQ(draws.Left(), 0u) << c.what;
  }
  ONENOTE lone{};
  lone.Currency = lone.NoteList = 9;
  lone.Reset(nullptr);
  EXPECT_TRUE(lone.Currency == 0 && lone.NoteList == 0);
}

TEST_F(WorldTest, NotesAreReleasedOverTenSeconds) {
  GiveNotes(500);
  world.FrameTime = 0.125;
  for (int frame = 1; frame <= 79; ++frame) world.Move();
  EXPECT_EQ(world.ActiveNotes, 493.75f);
  world.Move();
  world.Move();
  EXPECT_EQ(world.ActiveNotes, 500.0f);
  MONEYSS few;  // five notes: half a note per second, not none
  few.TOT_NUM_NOTES = 5;
  few.FrameTime = 1.0 / 35;
  for (int frame = 0; frame < 351; ++frame) few.Move();
  EXPECT_EQ(few.ActiveNotes, 5.0f);
}

TEST_F(WorldTest, SwingEntryILagsEntryZeroByISeconds) {
  // 35 cos((T - i) pi / 2), period 4 s: the angle rounded to float, the cosine taken in double.
  for (double t : {0.0, 0.3, 1.7, 123.456, 98765.4321}) {
    world.TotalTime = t;
    world.Move();
    for (int i = 0; i < 20; ++i)
      EXPECT_EQ(world.SwingAngle[i],
                float(std::cos(double(float((t - i) * 3.141592653589793 * 0.5))) * 35.0))
          << t << ", " << i;
  }
}

struct NoteMoveTest : WorldTest {
  void SetUp() override {
    world.Camera.LookAt = note.Pos = MakePoint(10.0f, 20.0f, 30.0f);
    world.Camera.FadeRange = 2500.0f;
    world.FrameTime = 0.5;
  }
  ONENOTE note{};
};

TEST_F(NoteMoveTest, WrapsAcrossTheSideWallsOnlyOnAStrictCrossing) {
  note.Pos = MakePoint(10.0f - 30.0f, 20.0f, 30.0f + 30.0f);
  note.Move(&world);  // exactly on the walls
  EXPECT_TRUE(note.Pos.x == -20.0f && note.Pos.z == 60.0f);
  note.Vel = MakePoint(-1.0f, 0.0f, 1.0f);
  note.Move(&world);  // half a unit past both walls
  EXPECT_TRUE(note.Pos.x == -20.5f + 60.0f && note.Pos.z == 60.5f - 60.0f)
      << note.Pos.x << " " << note.Pos.z;
  note.Vel = MakePoint(4.0f, 0.0f, -4.0f);
  note.Pos = MakePoint(39.0f, 20.0f, 1.0f);
  note.Move(&world);
  EXPECT_TRUE(note.Pos.x == 41.0f - 60.0f && note.Pos.z == -1.0f + 60.0f)
      << note.Pos.x << " " << note.Pos.z;
}

TEST_F(NoteMoveTest, RespawnsBelowTheFloorAndDropsFromTheCeiling) {
  note.Pos.y = 20.0f - 29.0f;
  note.Vel.y = -1.0f;
  note.Move(&world);
  EXPECT_EQ(note.Pos.y, -9.5f);  // still inside: keeps falling
  note.Pos.y = 20.0f - 29.0f;
  note.Vel.y = -4.0f;
  ScriptedDraws draws(
      {7600, 2500, 0, 0, 0, 0, 0, 0});  // a, b, swing, heading, turn, e, f, g: no currency
  note.Move(&world);
  // The top of the cube, (7600 mod 5000 - 2500) / 100 from the centre on z.
  EXPECT_TRUE(draws.Left() == 0 && note.Pos.y == 45.0f && note.Pos.x == 10.0f &&
              note.Pos.z == 31.0f);
  note.Pos.y = 20.0f + 29.5f;
  note.Vel = MakePoint(0.0f, 2.0f, 0.0f);
  note.Move(&world);
  EXPECT_EQ(note.Pos.y, 50.5f - 60.0f);  // dropped, not respawned
}

TEST_F(NoteMoveTest, TurnsSwingsAndFadesWithTheSquaredDistance) {
  note.RotSpeed = MakePoint(300.0f, -10.0f, 0.0f);
  note.Rot = MakePoint(250.0f, 2.0f, 0.0f);
  note.SwingPhase = 7;
  world.SwingAngle[7] = -12.5f;
  world.Camera.Pos = MakePoint(10.0f, 20.0f, 55.0f);
  note.Move(&world);  // 25 units from the note
  EXPECT_TRUE(note.Rot.x == 250.0f + 150.0f - 360.0f && note.Rot.y == 2.0f - 5.0f + 360.0f &&
              note.Rot.z == -12.5f);
  EXPECT_EQ(note.Brightness, 0.75f);  // (2500 - 625) / 2500
  world.Camera.Pos = MakePoint(10.0f, 20.0f, 90.0f);
  note.Move(&world);
  EXPECT_EQ(note.Brightness, (2500.0f - 3600.0f) / 2500.0f);  // negative, unclamped
}

TEST_F(WorldTest, FollowedNoteStandsStillAndTheRestMoveAroundIt) {
  GiveNotes(3);
  world.ActiveNotes = 3;
  world.FrameTime = 0.25;
  for (int i = 0; i < 3; ++i)
    world.Notes[i].Pos = MakePoint(float(i), 0, 0), world.Notes[i].Vel = MakePoint(0, -1.0f - i, 0);
  world.Camera.Following = true;
  world.Camera.FollowNote = 1;
  world.Move();
  EXPECT_TRUE(world.Notes[1].Pos.y == 0.0f && world.Notes[0].Pos.y == 0.25f &&
              world.Notes[2].Pos.y == -0.25f);
}

TEST_F(WorldTest, FailedSetupLeavesAnInertWorld) {
  std::string errors;
  const ErrorHandler previous = SetErrorHandler([&](const char* m) { errors += m; });
  SETTINGS settings;
  settings.TOT_NUM_NOTES = 0;
  settings.LNOTESIZE = -5;
  settings.NoteSize = 2.0f;
  settings.ZOOMIN = true;  // the scale comes from LNOTESIZE
  std::strcpy(settings.CurrencyPath, "abc"),
      std::strcpy(settings.CurrencyPath2, "ab");  // three characters get a slash
  EXPECT_FALSE(world.Setup(&settings));
  SetErrorHandler(previous);
  EXPECT_TRUE(errors == "No Currency Data Found!" && world.TOT_NUM_NOTES == 400 &&
              world.NoteScale == 1.2f && !world.Notes && !world.Currencies)
      << errors;
  EXPECT_EQ(std::string(world.CurrencyPath) + " " + world.CurrencyPath2, "abc/ ab");
  // A minute of frames: nothing is read, the camera never follows.
  world.FrameTime = 1.0 / 35;
  for (int frame = 0; frame < 35 * 60; ++frame) {
    world.Camera.Move(&world);
    world.Move();
    world.Draw();
    ASSERT_FALSE(world.Camera.Following) << "frame " << frame;
  }
}

// ---- the camera ----------------------------------------------------------------

struct CameraTest : WorldTest {
  ONECAMERA& camera = world.Camera;
};

TEST_F(CameraTest, RestsFiveSecondsThenSpins) {
  camera.ZOOMIN = false;
  world.FrameTime = 1.0;
  for (int frame = 0; frame < 5; ++frame) camera.Move(&world);  // 5 -> 0: not below 0 yet
  EXPECT_FALSE(camera.Spinning);
  ScriptedDraws draws({7, 1, 2, 43, 95});  // timer, p, q, r, spin length
  camera.Move(&world);
  // (r, q, p) mod 40 - 20; 95 mod 90 = 5, but at least 10.
  EXPECT_TRUE(draws.Left() == 0 && camera.Spinning && camera.AngleSpeed.x == -17.0f &&
              camera.AngleSpeed.y == -18.0f && camera.AngleSpeed.z == -19.0f);
  EXPECT_TRUE(camera.RotateTimer == 10.0f && camera.TargetAngle.y == -18.0f);
  for (int frame = 0; frame < 10; ++frame) camera.Move(&world);
  EXPECT_TRUE(camera.Spinning);
  ScriptedDraws rest({250, 0, 0, 0});  // timer, p, q, r: no spin length at rest
  camera.Move(&world);
  EXPECT_TRUE(rest.Left() == 0 && !camera.Spinning && camera.RotateTimer == 10.0f &&
              camera.TargetAngle.x == 0.0f);  // 250 mod 120
}

TEST_F(CameraTest, EnteringRestSlowsTheTurnAndSwingsHomeTheShortWay) {
  camera.Spinning = true;
  camera.RotateTimer = 0.05f;
  world.FrameTime = 0.1;
  camera.Angle = MakePoint(540.0f, -190.0f, 190.0f);  // home at 180, 170 and -170
  ScriptedDraws draws({250, 0, 0, 0});
  camera.Move(&world);
  EXPECT_FALSE(camera.Spinning);
  const float home[3] = {180.0f, 170.0f, -170.0f},
              got[3] = {camera.Angle.x, camera.Angle.y, camera.Angle.z};
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(got[i], home[i] + (0.0f - home[i]) * 0.1f * 0.5f) << i;  // eased at 0.5
  EXPECT_EQ(camera.AngleRate, float(0.5 + 0.5 * 0.1 * 0.25));
}

TEST_F(CameraTest, ASpinningTargetWrapsTogetherWithItsAngle) {
  camera.Spinning = true;
  camera.RotateTimer = 1000.0f;
  camera.AngleRate = 0.0f;  // no easing: the wrap alone shows
  camera.AngleSpeed = MakePoint(20.0f, -20.0f, 10.0f);
  camera.TargetAngle = MakePoint(355.0f, -355.0f, 0.0f);
  camera.Angle = MakePoint(350.0f, -350.0f, 7.0f);
  world.FrameTime = 0.5;
  camera.Move(&world);
  EXPECT_TRUE(camera.TargetAngle.x == 5.0f && camera.TargetAngle.y == -5.0f &&
              camera.TargetAngle.z == 5.0f);
  EXPECT_TRUE(camera.Angle.x == -10.0f && camera.Angle.y == 10.0f && camera.Angle.z == 7.0f);
}

TEST_F(CameraTest, FollowSwitchDrawsTheNoteThenTheTimerAndRestartsBothRates) {
  // The note is the draw mod the whole notes released (37 of 40); a normal
  // phase lasts the next draw mod 60 + 10 seconds, a follow phase 30.
  GiveNotes(40);
  world.ActiveNotes = 37.9f;
  world.Notes[6].Pos = MakePoint(1.0f, 2.0f, 3.0f);
  camera.RotateTimer = 1000.0f;
  world.FrameTime = 0.25;
  // The eye closes to 2.5 note scales, but not under 1.75 (2.5 x 0.5 is 1.25).
  const struct {
    int note, timer;
    bool following;
    int followed;
    float left, scale, distance;
  } switches[] = {{80, 59, true, 6, 30, 0.5f, 1.75f},
                  {5, 59, false, 5, 69, 1, 0},
                  {43, 7, true, 6, 30, 2.0f, 5.0f},
                  {7, 120, false, 7, 10, 1, 0}};
  for (const auto& s : switches) {
    camera.FollowTimer = 0.2f;
    world.NoteScale = s.scale;
    ScriptedDraws draws({s.note, s.timer});
    camera.Move(&world);
    EXPECT_TRUE(draws.Left() == 0 && camera.Following == s.following &&
                camera.FollowNote == s.followed && camera.FollowTimer == s.left)
        << s.note << " " << s.timer << ": " << camera.FollowNote << " " << camera.FollowTimer;
    // Both rates start again from 0 and have recovered for one step.
    EXPECT_TRUE(camera.AngleRate == float(0.25 * 0.25) &&
                camera.MoveSpeed == float(5 * 0.25 * 0.25))
        << s.note;
    // No turn: eye and look-at point are in line behind the point 0.75 scales under the note.
    const float below = 2.0f - 0.75f * s.scale;
    EXPECT_TRUE(!s.following ||
                (camera.TargetPos.x == 1.0f && camera.TargetPos.y == below &&
                 camera.TargetPos.z == 3.0f + s.distance && camera.TargetLookAt.x == 1.0f &&
                 camera.TargetLookAt.y == below && camera.TargetLookAt.z == 3.0f))
        << camera.TargetPos.z;
  }
  // Following, the fade range eases towards 1000 with the last frame's speed.
  camera.Following = true;
  camera.FollowTimer = 10.0f;
  camera.FadeRange = 0.0f;
  camera.MoveSpeed = 2.0f;
  camera.Move(&world);
  EXPECT_EQ(camera.FadeRange, 500.0f);
}

TEST_F(CameraTest, RotationModesHoldTheOrbitToTheVertical) {
  for (const auto& [mode, height] : {std::pair{1, 25.0f}, {2, -25.0f}, {0, 0.0f}}) {
    MONEYSS w;  // above, below, level: level in every frame
    w.Camera.ROTMODE = mode;
    w.FrameTime = 1.0 / 35;
    for (int frame = 0; frame < 35 * 90; ++frame)
      ASSERT_TRUE((w.Camera.Move(&w), mode != 0) || std::fabs(w.Camera.Pos.y) < 1e-3) << frame;
    const VECTOR3D eye = w.Camera.Pos;
    EXPECT_LT(mode == 0 ? 0 : std::fabs(eye.x) + std::fabs(eye.y - height) + std::fabs(eye.z), 3e-3)
        << mode;
  }
}

TEST_F(CameraTest, EasesHalfwayInATenthOfASecondAndLandsOnTheTargetInLongSteps) {
  camera.ZOOMIN = false;
  camera.MoveSpeed = 5.0f;
  camera.RotateTimer = 100.0f;
  world.FrameTime = 0.1;
  camera.Pos = MakePoint(0.0f, 0.0f, 45.0f);
  camera.Move(&world);
  EXPECT_TRUE(camera.Pos.z == 35.0f && camera.FadeRange == 1250.0f)
      << camera.Pos.z << " " << camera.FadeRange;  // fading in from 0
  // Steps of up to 2 s are taken; easing at 5 per second would otherwise
  // pass the target ninefold each step and soon reach infinity.
  SeedRandom(5);
  GiveNotes(40);
  camera.ZOOMIN = true;
  world.FrameTime = 2.0;
  for (int i = 0; i < 40; ++i) world.Notes[i].Reset(&world);
  for (int frame = 0; frame < 1800; ++frame) {
    world.TotalTime += 2.0;
    camera.Move(&world);
    world.Move();
  }
  for (const VECTOR3D& v : {camera.Pos, camera.LookAt, camera.Angle})
    EXPECT_LT(std::fabs(v.x) + std::fabs(v.y) + std::fabs(v.z), 1000.0f);  // false for NaN too
  EXPECT_LE(camera.FadeRange, 2500.0f);
}

}  // namespace
