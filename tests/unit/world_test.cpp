// The falling notes, the world's frame and the camera over simulated time,
// with the random draws scripted so that their order is checked exactly.
// (Spawning from a world set up on disk, mixing currencies, is the GL tests'.)
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <tuple>
#include <vector>

#include "Printers.h"
#include "maths/Random.h"
#include "platform/Alert.h"
#include "world/Notes.h"

namespace {

// Feeds the draws in order: one more throws, one left over fails.
struct Draws {
  explicit Draws(std::vector<int> s) : script(std::move(s)) {
    SetRandomSource([this] { return script.at(next++); });
  }
  ~Draws() {
    SetRandomSource({});
    EXPECT_EQ(next, script.size());  // draws taken
  }
  std::vector<int> script;
  size_t next = 0;
};

TEST(Spawn, EachFieldComesFromItsDrawInOrder) {
  // A currency not loaded: no list is drawn. Draws a (z), b (x), swing, heading, turn, e, f, g.
  // (Notes of loaded currencies, flat and curved, are spawned in the GL tests.)
  MONEYSS world;
  world.Currencies = new CURRENCYINFO[world.NumCurrencies = 1];
  world.Camera.LookAt = V(1, 2, 3);
  ONENOTE n{};
  Draws draws({100, 0, 3, 0, 0, 0, 0, 0});
  n.Reset(&world);
  EXPECT_EQ(n, (ONENOTE{V(-24, 27, -21), V(-2, -1, -2), {}, V(0, -12.5f, 0), 0, 0, 0, 3, 0}));
}

TEST(World, ReleasesNotesOverTenSecondsAndSwingsThemInStep) {
  MONEYSS world;  // five notes: half a note per second, not none
  world.TOT_NUM_NOTES = 5;
  world.FrameTime = 0.5;
  for (const auto& [frames, active] : {std::pair{19, 4.75f}, {2, 5.0f}}) {
    for (int frame = 0; frame < frames; ++frame) world.Move();
    EXPECT_EQ(world.ActiveNotes, active);
  }
  // 35 degrees either way, period 4 s, entry i lagging entry 0 by i seconds. The angle is
  // rounded to float, so a quarter period's cosine is not 0 but about -4.4e-8.
  world.TotalTime = 1;
  world.Move();
  EXPECT_EQ(std::vector<float>(world.SwingAngle, world.SwingAngle + 6),
            std::vector<float>({-1.52989867e-06f, 35, -1.52989867e-06f, -35, 4.17370813e-07f, 35}));
}

struct NoteMoveTest : ::testing::Test {
  NoteMoveTest() {
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
    EXPECT_EQ(note.Pos, want) << pos;
  }
  // Below the floor: a new note at the top, (7600 mod 5000 - 2500) / 100 off on z.
  note.Pos.y = -9, note.Vel.y = -4.0f;
  Draws draws({7600, 2500, 0, 0, 0, 0, 0, 0});
  note.Move(&world);
  EXPECT_EQ(note.Pos, V(10, 45, 31));
}

TEST_F(NoteMoveTest, TurnsSwingsAndFadesWithTheSquaredDistance) {
  note.RotSpeed = V(300, -10, 0);
  note.Rot = V(250, 2, 0);
  note.SwingPhase = 7;
  world.SwingAngle[7] = -12.5f;
  world.Camera.Pos = V(10, 20, 55);
  note.Move(&world);  // 25 units away: (2500 - 625) / 2500
  EXPECT_EQ(std::tie(note.Rot, note.Brightness), std::tuple(V(40, 357, -12.5f), 0.75f));
  // Following a note, the others move relative to it (the followed one stands still).
  world.Camera.Pos = V(10, 20, 90);
  world.Notes = new ONENOTE[1]();
  world.Notes[0].Vel.y = -2;
  world.Camera.Following = true;
  note.Move(&world);
  EXPECT_EQ(std::tie(note.Pos.y, note.Brightness),
            std::tuple(21.0f, -0.4404f));  // (2500 - 3601) / 2500: unclamped
}

TEST(World, FailedSetupLeavesAnInertWorld) {
  MONEYSS world;
  SETTINGS settings;
  settings.ZOOMIN = true;
  settings.LNOTESIZE = 0;                     // no size: the default
  std::strcpy(settings.CurrencyPath2, "ab");  // too short to be given a slash
  EXPECT_FALSE(world.Setup(&settings));       // saying so on standard error
  EXPECT_EQ(std::tie(world.NoteScale, world.Notes), std::tuple(1.2f, nullptr));
  EXPECT_STREQ(world.CurrencyPath2, "ab");
  // Frames go on past the follow timer with no note to follow.
  world.FrameTime = 20;
  world.Camera.Move(&world);
  world.Move();
  world.Draw();
  EXPECT_FALSE(world.Camera.Following);
}

// ---- the camera ----------------------------------------------------------------

struct CameraTest : ::testing::Test {
  MONEYSS world;
  ONECAMERA& camera = world.Camera;
};

TEST_F(CameraTest, RestsFiveSecondsThenSpins) {
  camera.ZOOMIN = false;
  world.FrameTime = 1.0;
  for (int frame = 0; frame < 5; ++frame) camera.Move(&world);  // 5 -> 0: not below 0 yet
  EXPECT_FALSE(camera.Spinning);
  {
    Draws draws({7, 1, 2, 43, 95});  // timer, p, q, r, spin length
    camera.Move(&world);
  }
  // (r, q, p) mod 40 - 20; 95 mod 90 = 5, but at least 10.
  EXPECT_EQ(std::tie(camera.Spinning, camera.AngleSpeed, camera.RotateTimer, camera.TargetAngle.y),
            std::tuple(true, V(-17, -18, -19), 10.0f, -18.0f));
}

TEST_F(CameraTest, ASpinningTargetWrapsWithItsAngleAndRestSwingsHomeTheShortWay) {
  camera.Spinning = true;
  camera.RotateTimer = 0.55f;
  camera.AngleRate = 0.0f;  // no easing: the wrap alone shows
  camera.AngleSpeed = V(20, -20, 10);
  camera.TargetAngle = V(355, -355, 0);
  camera.Angle = V(350, -350, 7);
  world.FrameTime = 0.5;
  camera.Move(&world);
  EXPECT_EQ(std::tie(camera.TargetAngle, camera.Angle), std::tuple(V(5, -5, 5), V(-10, 10, 7)));
  // Entering rest: home at 180, 170 and -170, eased at 0.5.
  camera.Angle = V(540, -190, 190);
  world.FrameTime = 0.1;
  Draws draws({250, 0, 0, 0});  // timer (250 mod 120), p, q, r: no spin length at rest
  camera.Move(&world);
  EXPECT_EQ(std::tie(camera.Spinning, camera.RotateTimer, camera.Angle, camera.AngleRate),
            std::tuple(false, 10.0f, V(171, 161.5f, -161.5f), 0.5125f));
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
  // The eye closes to 2.5 note scales, but not under 1.75 (2.5 x 0.5 is 1.25), in line behind
  // the point 0.75 scales under the note; not following, it is back at 25 on z. Both rates
  // start again from 0 and have recovered for one step.
  const struct {
    int note, timer;
    float scale;
    bool following;
    int followed;
    float left;
    VECTOR3D pos, lookAt;
  } switches[] = {{80, 59, 0.5f, true, 6, 30, V(1, 1.625f, 4.75f), V(1, 1.625f, 3)},
                  {5, 59, 1, false, 5, 69, V(0, 0, 25), V(0, 0, 0)},
                  {43, 7, 2.0f, true, 6, 30, V(1, 0.5f, 8), V(1, 0.5f, 3)}};
  for (const auto& s : switches) {
    camera.FollowTimer = 0.2f;
    world.NoteScale = s.scale;
    {
      Draws draws({s.note, s.timer});
      camera.Move(&world);
    }
    EXPECT_EQ(std::tie(camera.Following, camera.FollowNote, camera.FollowTimer, camera.TargetPos,
                       camera.TargetLookAt, camera.AngleRate, camera.MoveSpeed),
              std::tuple(s.following, s.followed, s.left, s.pos, s.lookAt, 0.0625f, 0.3125f));
  }
  // Following, the fade range eases towards 1000 with the last frame's speed.
  camera.FollowTimer = 10.0f;
  camera.FadeRange = 0.0f;
  camera.MoveSpeed = 2.0f;
  camera.Move(&world);
  EXPECT_EQ(camera.FadeRange, 500.0f);
}

TEST_F(CameraTest, RotationModesHoldTheOrbitToTheVertical) {
  for (const auto& [mode, height] : {std::pair{1, 25.0f}, {2, -25.0f}}) {
    MONEYSS w;  // from above, from below
    w.Camera.ROTMODE = mode;
    w.FrameTime = 1;
    for (int frame = 0; frame < 90; ++frame) w.Camera.Move(&w);
    EXPECT_NEAR(w.Camera.Pos.y, height, 1e-3) << mode;
  }
}

TEST_F(CameraTest, LandsOnTheTargetInLongSteps) {
  // Steps of up to 2 s are taken: easing at 5 per second would pass the target ninefold.
  camera.ZOOMIN = false;
  camera.MoveSpeed = 5.0f;
  camera.RotateTimer = 100.0f;
  world.FrameTime = 2.0;
  camera.Pos = V(0, 0, 45);
  camera.Move(&world);
  EXPECT_EQ(std::tie(camera.Pos, camera.FadeRange), std::tuple(V(0, 0, 25), 2500.0f));
}

}  // namespace
