// The falling notes, the world's frame and the camera over simulated time,
// with the random draws scripted so that their order is checked exactly.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <deque>
#include <string>
#include <tuple>
#include <vector>

#include "Printers.h"
#include "maths/Random.h"
#include "platform/Alert.h"
#include "world/Notes.h"

namespace {

VECTOR3D V(float x, float y, float z) { return MakePoint(x, y, z); }

// Feeds the given draws, in order, to the scene; running out is a failure.
struct ScriptedDraws {
  explicit ScriptedDraws(std::deque<int> script)
      : draws(std::move(script)), previous(SetRandomSource([this] {
          if (draws.empty()) return ADD_FAILURE() << "more draws than scripted", 0;
          const int draw = draws.front();
          draws.pop_front();
          return draw;
        })) {}
  ~ScriptedDraws() {
    SetRandomSource(std::move(previous));
    EXPECT_EQ(draws.size(), 0u) << "draws left over";
  }
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

TEST(Spawn, EachFieldComesFromItsDrawInOrder) {
  // Draws: a (z), b (x), [currency when mixing], [list when loaded], swing; a
  // flat note (list 3k + 2) then p, q, turn, m, s; a curved one heading, turn;
  // then e, f, g. Fields: pos, rot, rot speed x y, vel, currency, list, tumbling, swing.
  const struct {
    int currencies, current;
    bool mix, loaded;
    std::deque<int> draws;
    std::vector<float> want;
  } cases[] = {{2,
                1,
                false,
                true,
                {7499, 1, 24, 45, 400, 2600, 25, 59, 3},
                {-23.99f, 27, 2.99f, 0, 40, 0, 0, -11.5f, -1.7f, -6.9f, 0.5f, 1, 3, 0, 5}},
               {1,
                0,
                false,
                true,
                {0, 4999, 20, 19, 725, 359, 1249, 179, 4, 39, 0, 0},
                {25.99f, 27, -22, 359, 5, 0, -359, -0.01f, -2, -5, 1.9f, 0, 20, 1, 19}},
               {1,
                0,
                false,
                true,
                {0, 0, 2, 0, 0, 0, 0, 0, 1, 0, 59, 0},
                {-24, 27, -22, 0, 0, 0, 180, -12.5f, -2, -10.9f, -2, 0, 2, 1, 0}},
               {3,
                0,
                true,
                true,
                {0, 0, 8, 7, 0, 0, 0, 0, 0, 0},
                {-24, 27, -22, 0, 0, 0, 0, -12.5f, -2, -1, -2, 2, 1, 0, 0}},
               {2,
                0,
                false,
                false,
                {0, 0, 3, 0, 0, 0, 0, 0},
                {-24, 27, -22, 0, 0, 0, 0, -12.5f, -2, -1, -2, 0, 0, 0, 3}}};
  for (const auto& c : cases) {
    MONEYSS world;
    GiveCurrencies(world, c.currencies, c.mix ? 2 : 7);
    if (!c.loaded) delete world.Currencies[0].NoteSet, world.Currencies[0].NoteSet = nullptr;
    world.CurrentCurrency = c.current;
    world.MIXCURRENCY = c.mix;
    world.Camera.LookAt = V(1, 2, 3);
    ONENOTE n{};
    ScriptedDraws draws(c.draws);
    n.Reset(&world);
    EXPECT_EQ(
        std::vector<float>({n.Pos.x, n.Pos.y, n.Pos.z, n.Rot.x, n.Rot.y, n.Rot.z, n.RotSpeed.x,
                            n.RotSpeed.y, n.Vel.x, n.Vel.y, n.Vel.z, float(n.Currency),
                            float(n.NoteList), float(n.Tumbling), float(n.SwingPhase)}),
        c.want);
  }
  ONENOTE lone{};
  lone.Currency = lone.NoteList = 9;
  lone.Reset(nullptr);
  EXPECT_EQ(std::tie(lone.Currency, lone.NoteList), std::make_tuple(0, 0));
}

TEST(World, ReleasesNotesOverTenSecondsAndSwingsThemInStep) {
  for (const auto& [notes, frameTime, frames, active] :
       {std::tuple{500, 0.125, 79, 493.75f}, {500, 0.125, 81, 500.0f}, {5, 1.0 / 35, 351, 5.0f}}) {
    MONEYSS world;  // five notes: half a note per second, not none
    world.TOT_NUM_NOTES = notes;
    world.FrameTime = frameTime;
    for (int frame = 0; frame < frames; ++frame) world.Move();
    EXPECT_EQ(world.ActiveNotes, active) << notes << " notes, " << frames << " frames";
  }
  // 35 degrees either way, period 4 s, entry i lagging entry 0 by i seconds. The angle is
  // rounded to float, so a quarter period's cosine is not 0 but about -4.4e-8.
  MONEYSS world;
  world.TotalTime = 1;
  world.Move();
  EXPECT_EQ(std::vector<float>(world.SwingAngle, world.SwingAngle + 6),
            std::vector<float>({-1.52989867e-06f, 35, -1.52989867e-06f, -35, 4.17370813e-07f, 35}));
}

struct NoteMoveTest : ::testing::Test {
  void SetUp() override {
    world.Camera.LookAt = note.Pos = V(10, 20, 30);
    world.Camera.FadeRange = 2500.0f;
    world.FrameTime = 0.5;
  }
  MONEYSS world;
  ONENOTE note{};
};

TEST_F(NoteMoveTest, WrapsAcrossTheWallsOnlyOnAStrictCrossingAndRespawnsBelowTheFloor) {
  // Exactly on the walls, half a unit past them, from the other side; above the ceiling.
  const std::tuple<VECTOR3D, VECTOR3D, VECTOR3D> cases[] = {
      {V(-20, 20, 60), V(0, 0, 0), V(-20, 20, 60)},
      {V(-20, 20, 60), V(-1, 0, 1), V(39.5f, 20, 0.5f)},
      {V(39, 20, 1), V(4, 0, -4), V(-19, 20, 59)},
      {V(10, 49.5f, 30), V(0, 2, 0), V(10, -9.5f, 30)},
      {V(10, -9, 30), V(0, -1, 0), V(10, -9.5f, 30)}};
  for (const auto& [pos, vel, want] : cases) {
    note.Pos = pos, note.Vel = vel;
    note.Move(&world);
    EXPECT_EQ(note.Pos, want) << "from " << pos;
  }
  // Below the floor: a new note at the top of the cube, (7600 mod 5000 - 2500) / 100 from
  // the centre on z. Draws a, b, swing, heading, turn, e, f, g: no currency.
  note.Pos.y = -9, note.Vel.y = -4.0f;
  ScriptedDraws draws({7600, 2500, 0, 0, 0, 0, 0, 0});
  note.Move(&world);
  EXPECT_EQ(note.Pos, V(10, 45, 31));
}

TEST_F(NoteMoveTest, TurnsSwingsAndFadesWithTheSquaredDistance) {
  note.RotSpeed = V(300, -10, 0);
  note.Rot = V(250, 2, 0);
  note.SwingPhase = 7;
  world.SwingAngle[7] = -12.5f;
  world.Camera.Pos = V(10, 20, 55);
  note.Move(&world);  // 25 units from the note
  EXPECT_EQ(note.Rot, V(250 + 150 - 360, 2 - 5 + 360, -12.5f));
  EXPECT_EQ(note.Brightness, 0.75f);  // (2500 - 625) / 2500
  world.Camera.Pos = V(10, 20, 90);
  note.Move(&world);
  EXPECT_EQ(note.Brightness, (2500.0f - 3600.0f) / 2500.0f);  // negative, unclamped
}

TEST(World, FollowedNoteStandsStillAndTheRestMoveAroundIt) {
  MONEYSS world;
  world.Notes = new ONENOTE[3]();
  world.TOT_NUM_NOTES = 3, world.ActiveNotes = 3, world.FrameTime = 0.25;
  for (int i = 0; i < 3; ++i)
    world.Notes[i].Pos = V(float(i), 0, 0), world.Notes[i].Vel = V(0, -1.0f - i, 0);
  world.Camera.Following = true;
  world.Camera.FollowNote = 1;
  world.Move();
  EXPECT_EQ(std::vector<float>({world.Notes[0].Pos.y, world.Notes[1].Pos.y, world.Notes[2].Pos.y}),
            std::vector<float>({0.25f, 0, -0.25f}));
}

TEST(World, FailedSetupLeavesAnInertWorld) {
  MONEYSS world;
  std::string errors;
  const ErrorHandler previous = SetErrorHandler([&](const char* m) { errors += m; });
  SETTINGS settings;
  settings.TOT_NUM_NOTES = 0;
  settings.LNOTESIZE = -5;
  settings.NoteSize = 2.0f;
  settings.ZOOMIN = true;                     // the scale comes from LNOTESIZE
  std::strcpy(settings.CurrencyPath, "abc");  // three characters get a slash
  std::strcpy(settings.CurrencyPath2, "ab");
  EXPECT_FALSE(world.Setup(&settings));
  SetErrorHandler(previous);
  EXPECT_EQ(std::tie(errors, world.TOT_NUM_NOTES, world.NoteScale),
            std::make_tuple("No Currency Data Found!", 400, 1.2f));
  EXPECT_EQ(std::string(world.CurrencyPath) + " " + world.CurrencyPath2, "abc/ ab");
  EXPECT_EQ(world.Notes, nullptr);
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

struct CameraTest : ::testing::Test {
  MONEYSS world;
  ONECAMERA& camera = world.Camera;
};

TEST_F(CameraTest, RestsFiveSecondsThenSpinsThenRests) {
  camera.ZOOMIN = false;
  world.FrameTime = 1.0;
  for (int frame = 0; frame < 5; ++frame) camera.Move(&world);  // 5 -> 0: not below 0 yet
  EXPECT_FALSE(camera.Spinning);
  {
    ScriptedDraws draws({7, 1, 2, 43, 95});  // timer, p, q, r, spin length
    camera.Move(&world);
  }
  // (r, q, p) mod 40 - 20; 95 mod 90 = 5, but at least 10.
  EXPECT_TRUE(camera.Spinning);
  EXPECT_EQ(camera.AngleSpeed, V(-17, -18, -19));
  EXPECT_EQ(std::tie(camera.RotateTimer, camera.TargetAngle.y), std::make_tuple(10.0f, -18.0f));
  for (int frame = 0; frame < 10; ++frame) camera.Move(&world);
  EXPECT_TRUE(camera.Spinning);
  ScriptedDraws rest({250, 0, 0, 0});  // timer, p, q, r: no spin length at rest
  camera.Move(&world);
  EXPECT_FALSE(camera.Spinning);
  EXPECT_EQ(std::tie(camera.RotateTimer, camera.TargetAngle.x),
            std::make_tuple(10.0f, 0.0f));  // 250 mod 120
}

TEST_F(CameraTest, EnteringRestSlowsTheTurnAndSwingsHomeTheShortWay) {
  camera.Spinning = true;
  camera.RotateTimer = 0.05f;
  world.FrameTime = 0.1;
  camera.Angle = V(540, -190, 190);  // home at 180, 170 and -170, eased at 0.5
  ScriptedDraws draws({250, 0, 0, 0});
  camera.Move(&world);
  EXPECT_FALSE(camera.Spinning);
  EXPECT_EQ(camera.Angle, V(180 - 180 * 0.05f, 170 - 170 * 0.05f, -170 + 170 * 0.05f));
  EXPECT_EQ(camera.AngleRate, float(0.5 + 0.5 * 0.1 * 0.25));
}

TEST_F(CameraTest, ASpinningTargetWrapsTogetherWithItsAngle) {
  camera.Spinning = true;
  camera.RotateTimer = 1000.0f;
  camera.AngleRate = 0.0f;  // no easing: the wrap alone shows
  camera.AngleSpeed = V(20, -20, 10);
  camera.TargetAngle = V(355, -355, 0);
  camera.Angle = V(350, -350, 7);
  world.FrameTime = 0.5;
  camera.Move(&world);
  EXPECT_EQ(camera.TargetAngle, V(5, -5, 5));
  EXPECT_EQ(camera.Angle, V(-10, 10, 7));
}

TEST_F(CameraTest, FollowSwitchDrawsTheNoteThenTheTimerAndRestartsBothRates) {
  // The note is the draw mod the whole notes released (37 of 40); a normal
  // phase lasts the next draw mod 60 + 10 seconds, a follow phase 30.
  world.Notes = new ONENOTE[40]();
  world.TOT_NUM_NOTES = 40;
  world.ActiveNotes = 37.9f;
  world.Notes[6].Pos = V(1, 2, 3);
  camera.RotateTimer = 1000.0f;
  world.FrameTime = 0.25;
  // The eye closes to 2.5 note scales, but not under 1.75 (2.5 x 0.5 is 1.25). No turn: eye
  // and look-at point are in line behind the point 0.75 scales under the note; not following,
  // the eye is back at 25 on z looking at the centre.
  const struct {
    int note, timer;
    bool following;
    int followed;
    float left, scale;
    VECTOR3D pos, lookAt;
  } switches[] = {{80, 59, true, 6, 30, 0.5f, V(1, 1.625f, 4.75f), V(1, 1.625f, 3)},
                  {5, 59, false, 5, 69, 1, V(0, 0, 25), V(0, 0, 0)},
                  {43, 7, true, 6, 30, 2.0f, V(1, 0.5f, 8), V(1, 0.5f, 3)},
                  {7, 120, false, 7, 10, 1, V(0, 0, 25), V(0, 0, 0)}};
  for (const auto& s : switches) {
    camera.FollowTimer = 0.2f;
    world.NoteScale = s.scale;
    {
      ScriptedDraws draws({s.note, s.timer});
      camera.Move(&world);
    }
    EXPECT_EQ(std::tie(camera.Following, camera.FollowNote, camera.FollowTimer),
              std::make_tuple(s.following, s.followed, s.left));
    // Both rates start again from 0 and have recovered for one step.
    EXPECT_EQ(std::tie(camera.AngleRate, camera.MoveSpeed), std::make_tuple(0.0625f, 0.3125f));
    EXPECT_EQ(camera.TargetPos, s.pos);
    EXPECT_EQ(camera.TargetLookAt, s.lookAt);
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
    for (int frame = 0; frame < 35 * 90; ++frame) {
      w.Camera.Move(&w);
      ASSERT_NEAR(mode == 0 ? w.Camera.Pos.y : 0, 0, 1e-3) << frame;
    }
    EXPECT_NEAR(w.Camera.Pos.y, height, 3e-3) << mode;
    EXPECT_NEAR(mode == 0 ? 0 : std::hypot(w.Camera.Pos.x, w.Camera.Pos.z), 0, 3e-3) << mode;
  }
}

TEST_F(CameraTest, EasesHalfwayInATenthOfASecondAndLandsOnTheTargetInLongSteps) {
  camera.ZOOMIN = false;
  camera.MoveSpeed = 5.0f;
  camera.RotateTimer = 100.0f;
  world.FrameTime = 0.1;
  camera.Pos = V(0, 0, 45);
  camera.Move(&world);
  EXPECT_EQ(std::tie(camera.Pos.z, camera.FadeRange),
            std::make_tuple(35.0f, 1250.0f));  // fading in from 0
  // Steps of up to 2 s are taken; easing at 5 per second would otherwise
  // pass the target ninefold each step and soon reach infinity.
  SeedRandom(5);
  world.Notes = new ONENOTE[40]();
  world.TOT_NUM_NOTES = 40;
  camera.ZOOMIN = true;
  world.FrameTime = 2.0;
  for (int i = 0; i < 40; ++i) world.Notes[i].Reset(&world);
  for (int frame = 0; frame < 1800; ++frame) {
    world.TotalTime += 2.0;
    camera.Move(&world);
    world.Move();
  }
  for (const VECTOR3D& v : {camera.Pos, camera.LookAt, camera.Angle})
    EXPECT_LT(std::fabs(v.x) + std::fabs(v.y) + std::fabs(v.z), 1000.0f) << v;  // false for NaN too
  EXPECT_LE(camera.FadeRange, 2500.0f);
}

}  // namespace
