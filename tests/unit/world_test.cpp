// The falling notes, the world's frame and the camera over simulated time,
// with the random draws scripted so that their order is checked exactly.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <deque>
#include <string>

#include "platform/Alert.h"
#include "maths/Random.h"
#include "world/Notes.h"

namespace {

// Feeds the given draws, in order, to the scene; running out is a failure.
class ScriptedDraws {
public:
  explicit ScriptedDraws(std::deque<int> script)
      : draws(std::move(script)), previous(SetRandomSource([this] { return Next(); })) {}
  ~ScriptedDraws() { SetRandomSource(std::move(previous)); }
  size_t Left() const { return draws.size(); }

private:
  int Next() {
    if (draws.empty()) {
      ADD_FAILURE() << "more draws than scripted";
      return 0;
    }
    const int draw = draws.front();
    draws.pop_front();
    return draw;
  }
  std::deque<int> draws;
  RandomSource previous;
};

// A world with notes but no GL: its currencies are listed with note sets
// that have no display lists, which is all spawning needs.
class WorldTest : public ::testing::Test {
protected:
  void SetUp() override { previousHandler = SetErrorHandler([this](const char* m) { errors += m; }); }
  void TearDown() override { SetErrorHandler(std::move(previousHandler)); }

  void GiveCurrencies(int count, int notesEach) {
    world.Currencies = new CURRENCYINFO[size_t(count)];
    world.NumCurrencies = count;
    for (int i = 0; i < count; ++i) {
      world.Currencies[i].NumNotes = notesEach;
      world.Currencies[i].NoteSet = new ONECURRENCY;
      world.Currencies[i].NoteSet->NumNotes = notesEach;
    }
  }

  void GiveNotes(int count) {
    world.TOT_NUM_NOTES = count;
    world.Notes = new ONENOTE[size_t(count)]();
  }

  MONEYSS world;
  std::string errors;
  ErrorHandler previousHandler;
};

TEST_F(WorldTest, CurvedNoteSpawnsFromItsDrawsInOrder) {
  GiveCurrencies(2, 7);
  world.CurrentCurrency = 1;
  world.Camera.LookAt = MakePoint(1.0f, 2.0f, 3.0f);
  ONENOTE note{};
  // a, b, list, swing, heading, turn speed, e, f, g
  ScriptedDraws draws({7499, 1, 24, 45, 400, 2600, 25, 59, 3});
  note.Reset(&world);
  EXPECT_EQ(draws.Left(), 0u);
  EXPECT_EQ(note.Pos.x, 1.0f + float(-2499 / 100.0));  // from b
  EXPECT_EQ(note.Pos.y, 27.0f);
  EXPECT_EQ(note.Pos.z, 3.0f + float(-1 / 100.0));     // from a: 7499 mod 5000 - 2500
  EXPECT_EQ(note.Currency, 1);                         // no draw without mixing
  EXPECT_EQ(note.NoteList, 3);                         // 24 mod 21
  EXPECT_EQ(note.Tumbling, 0);
  EXPECT_EQ(note.SwingPhase, 5);
  EXPECT_EQ(note.Rot.x, 0.0f);
  EXPECT_EQ(note.Rot.y, 40.0f);
  EXPECT_EQ(note.Rot.z, 0.0f);
  EXPECT_EQ(note.RotSpeed.x, 0.0f);
  EXPECT_EQ(note.RotSpeed.y, -11.5f);
  EXPECT_EQ(note.Vel.z, 0.5f);
  EXPECT_EQ(note.Vel.y, float(59 / -10.0 - 1.0));      // -6.9, the fastest curved fall
  EXPECT_EQ(note.Vel.x, float(-17 / 10.0));
}

TEST_F(WorldTest, FlatNoteSpawnsFromItsDrawsInOrder) {
  GiveCurrencies(1, 7);
  ONENOTE note{};
  // a, b, list, swing, p, q, turn speed, m, s, e, f, g
  ScriptedDraws draws({0, 4999, 20, 19, 725, 359, 1249, 179, 4, 39, 0, 0});
  note.Reset(&world);
  EXPECT_EQ(draws.Left(), 0u);
  EXPECT_EQ(note.Pos.x, 24.99f);
  EXPECT_EQ(note.Pos.z, -25.0f);
  EXPECT_EQ(note.NoteList, 20);  // the last denomination's flat list
  EXPECT_EQ(note.Tumbling, 1);
  EXPECT_EQ(note.SwingPhase, 19);
  EXPECT_EQ(note.Rot.y, 5.0f);    // p
  EXPECT_EQ(note.Rot.x, 359.0f);  // q
  EXPECT_EQ(note.RotSpeed.y, float(-1 / 100.0));
  EXPECT_EQ(note.RotSpeed.x, -359.0f);  // s even: backwards
  EXPECT_EQ(note.Vel.z, float(19 / 10.0));
  EXPECT_EQ(note.Vel.y, -5.0f);
  EXPECT_EQ(note.Vel.x, -2.0f);

  ScriptedDraws odd({0, 0, 2, 0, 0, 0, 0, 0, 1, 0, 59, 0});
  note.Reset(&world);
  EXPECT_EQ(note.RotSpeed.x, 180.0f);
  EXPECT_EQ(note.Vel.y, float(59 / -10.0 - 5.0));
}

TEST_F(WorldTest, MixingSpendsADrawOnTheCurrency) {
  GiveCurrencies(3, 2);
  world.MIXCURRENCY = true;
  ONENOTE note{};
  // a, b, currency, list, swing, heading, turn speed, e, f, g
  ScriptedDraws draws({0, 0, 8, 7, 0, 0, 0, 0, 0, 0});
  note.Reset(&world);
  EXPECT_EQ(draws.Left(), 0u);
  EXPECT_EQ(note.Currency, 2);
  EXPECT_EQ(note.NoteList, 1);
}

TEST_F(WorldTest, NoteOfAnUnloadedCurrencyDrawsNoList) {
  GiveCurrencies(2, 7);
  delete world.Currencies[0].NoteSet;
  world.Currencies[0].NoteSet = nullptr;
  ONENOTE note{};
  ScriptedDraws draws({0, 0, 3, 0, 0, 0, 0, 0});  // no draw for the list
  note.Reset(&world);
  EXPECT_EQ(draws.Left(), 0u);
  EXPECT_EQ(note.NoteList, 0);
  EXPECT_EQ(note.Tumbling, 0);
  EXPECT_EQ(note.SwingPhase, 3);

  ONENOTE lone{};
  lone.Currency = lone.NoteList = 9;
  lone.Reset(nullptr);
  EXPECT_EQ(lone.Currency, 0);
  EXPECT_EQ(lone.NoteList, 0);
}

TEST_F(WorldTest, ReleaseRampReachesEveryNote) {
  GiveNotes(500);
  world.FrameTime = 0.125;
  for (int frame = 1; frame <= 79; ++frame) world.Move();
  EXPECT_EQ(world.ActiveNotes, 493.75f);
  world.Move();
  EXPECT_EQ(world.ActiveNotes, 500.0f);
  world.Move();
  EXPECT_EQ(world.ActiveNotes, 500.0f);
}

TEST_F(WorldTest, FewNotesAreReleasedToo) {
  // Five notes over ten seconds: half a note per second.
  GiveNotes(5);
  world.FrameTime = 1.0 / 35;
  for (int frame = 0; frame < 351; ++frame) world.Move();
  EXPECT_EQ(world.ActiveNotes, 5.0f);
}

TEST_F(WorldTest, SwingTableRocksInFourPhases) {
  world.TotalTime = 0.0;
  world.Move();
  EXPECT_FLOAT_EQ(world.SwingAngle[0], 35.0f);
  EXPECT_NEAR(world.SwingAngle[1], 0.0f, 1e-5);
  EXPECT_FLOAT_EQ(world.SwingAngle[2], -35.0f);
  EXPECT_NEAR(world.SwingAngle[3], 0.0f, 1e-5);
  for (double t : {0.0, 0.3, 1.7, 123.456}) {
    world.TotalTime = t;
    world.Move();
    for (int i = 0; i + 4 < 20; ++i) EXPECT_NEAR(world.SwingAngle[i], world.SwingAngle[i + 4], 1e-3) << t;
    EXPECT_FLOAT_EQ(world.SwingAngle[0], float(std::cos(float(t * 3.141592653589793 * 0.5)) * 35.0));
  }
}

class NoteMoveTest : public WorldTest {
protected:
  void SetUp() override {
    WorldTest::SetUp();
    world.Camera.LookAt = MakePoint(10.0f, 20.0f, 30.0f);
    world.Camera.FadeRange = 2500.0f;
    world.FrameTime = 0.5;
    note = ONENOTE{};
    note.Pos = world.Camera.LookAt;
  }
  ONENOTE note;
};

TEST_F(NoteMoveTest, WrapsAcrossTheSideWallsOnlyOnAStrictCrossing) {
  note.Pos.x = 10.0f - 30.0f;  // exactly on the wall
  note.Pos.z = 30.0f + 30.0f;
  note.Move(&world);
  EXPECT_EQ(note.Pos.x, -20.0f);
  EXPECT_EQ(note.Pos.z, 60.0f);

  note.Vel = MakePoint(-1.0f, 0.0f, 1.0f);
  note.Move(&world);  // half a unit past both walls
  EXPECT_EQ(note.Pos.x, -20.5f + 60.0f);
  EXPECT_EQ(note.Pos.z, 60.5f - 60.0f);

  note.Vel = MakePoint(4.0f, 0.0f, -4.0f);
  note.Pos = MakePoint(39.0f, 20.0f, 1.0f);
  note.Move(&world);
  EXPECT_EQ(note.Pos.x, 41.0f - 60.0f);
  EXPECT_EQ(note.Pos.z, -1.0f + 60.0f);
}

TEST_F(NoteMoveTest, RespawnsBelowTheFloorAndDropsFromTheCeiling) {
  note.Pos.y = 20.0f - 29.0f;
  note.Vel.y = -1.0f;
  note.Move(&world);
  EXPECT_EQ(note.Pos.y, -9.5f);  // still inside: keeps falling

  note.Pos.y = 20.0f - 29.0f;
  note.Vel.y = -4.0f;
  {
    // a, b, swing, heading, turn speed, e, f, g: no currency is loaded.
    ScriptedDraws draws({7600, 2500, 0, 0, 0, 0, 0, 0});
    note.Move(&world);
    EXPECT_EQ(draws.Left(), 0u);
  }
  EXPECT_EQ(note.Pos.y, 45.0f);  // the top of the cube: look-at y + 25
  EXPECT_EQ(note.Pos.x, 10.0f);
  EXPECT_EQ(note.Pos.z, 31.0f);  // (7600 mod 5000 - 2500) / 100 from the centre

  note.Pos.y = 20.0f + 29.5f;
  note.Vel = MakePoint(0.0f, 2.0f, 0.0f);
  note.Move(&world);
  EXPECT_EQ(note.Pos.y, 50.5f - 60.0f);  // dropped, not respawned
}

TEST_F(NoteMoveTest, TurnsAndTakesItsSwingFromTheTable) {
  note.RotSpeed = MakePoint(300.0f, -10.0f, 0.0f);
  note.Rot = MakePoint(250.0f, 2.0f, 0.0f);
  note.SwingPhase = 7;
  world.SwingAngle[7] = -12.5f;
  note.Move(&world);
  EXPECT_EQ(note.Rot.x, 250.0f + 150.0f - 360.0f);
  EXPECT_EQ(note.Rot.y, 2.0f - 5.0f + 360.0f);
  EXPECT_EQ(note.Rot.z, -12.5f);
}

TEST_F(NoteMoveTest, FadesWithTheSquaredDistanceFromTheEye) {
  world.Camera.Pos = MakePoint(10.0f, 20.0f, 55.0f);  // 25 units from the note
  note.Move(&world);
  EXPECT_EQ(note.Brightness, 0.75f);  // (2500 - 625) / 2500
  world.Camera.Pos = MakePoint(10.0f, 20.0f, 90.0f);
  note.Move(&world);
  EXPECT_EQ(note.Brightness, (2500.0f - 3600.0f) / 2500.0f);  // negative, unclamped
}

TEST_F(WorldTest, FollowedNoteStandsStillAndTheRestMoveAroundIt) {
  GiveNotes(3);
  world.ActiveNotes = 3;
  world.FrameTime = 0.25;
  for (int i = 0; i < 3; ++i) {
    world.Notes[i].Pos = MakePoint(float(i), 0.0f, 0.0f);
    world.Notes[i].Vel = MakePoint(0.0f, -1.0f - i, 0.0f);
  }
  world.Camera.Following = true;
  world.Camera.FollowNote = 1;
  world.Move();
  EXPECT_EQ(world.Notes[1].Pos.y, 0.0f);
  EXPECT_EQ(world.Notes[0].Pos.y, 0.25f);   // slower than the followed note: rises
  EXPECT_EQ(world.Notes[2].Pos.y, -0.25f);
}

TEST_F(WorldTest, FailedSetupLeavesAnInertWorld) {
  SETTINGS settings;
  settings.TOT_NUM_NOTES = 0;
  settings.LNOTESIZE = -5;
  settings.ZOOMIN = true;
  std::strcpy(settings.CurrencyPath, "/nonexistent-a");
  std::strcpy(settings.CurrencyPath2, "ab");
  EXPECT_FALSE(world.Setup(&settings));
  EXPECT_EQ(errors, "No Currency Data Found!");
  EXPECT_EQ(world.TOT_NUM_NOTES, 400);
  EXPECT_EQ(world.NoteScale, 1.2f);
  EXPECT_STREQ(world.CurrencyPath, "/nonexistent-a/");
  EXPECT_STREQ(world.CurrencyPath2, "ab");  // too short to be given a slash
  EXPECT_EQ(world.Notes, nullptr);
  EXPECT_EQ(world.Currencies, nullptr);

  // A minute of frames: nothing is read, the camera never follows.
  world.FrameTime = 1.0 / 35;
  for (int frame = 0; frame < 35 * 60; ++frame) {
    world.TotalTime += world.FrameTime;
    world.Camera.Move(&world);
    world.Move();
    world.Draw();
    EXPECT_FALSE(world.Camera.Following);
  }
}

// ---- the camera ----------------------------------------------------------------

class CameraTest : public WorldTest {
protected:
  void Run(double seconds, double step) {
    world.FrameTime = step;
    for (double t = 0; t < seconds - 1e-9; t += step) {
      world.TotalTime += step;
      world.Camera.Move(&world);
      world.Move();
    }
  }
};

TEST_F(CameraTest, RestsFiveSecondsThenSpins) {
  world.Camera.ZOOMIN = false;
  world.FrameTime = 1.0;
  for (int frame = 0; frame < 5; ++frame) world.Camera.Move(&world);  // 5 -> 0: not below 0 yet
  EXPECT_FALSE(world.Camera.Spinning);
  // timer, p, q, r, spin length
  ScriptedDraws draws({7, 1, 2, 43, 95});
  world.Camera.Move(&world);
  EXPECT_EQ(draws.Left(), 0u);
  EXPECT_TRUE(world.Camera.Spinning);
  EXPECT_EQ(world.Camera.AngleSpeed.x, 3.0f - 20.0f);  // r
  EXPECT_EQ(world.Camera.AngleSpeed.y, -18.0f);        // q
  EXPECT_EQ(world.Camera.AngleSpeed.z, -19.0f);        // p
  EXPECT_EQ(world.Camera.RotateTimer, 10.0f);          // 95 mod 90 = 5, at least 10
  EXPECT_EQ(world.Camera.TargetAngle.y, -18.0f);

  for (int frame = 0; frame < 10; ++frame) world.Camera.Move(&world);
  EXPECT_TRUE(world.Camera.Spinning);
  ScriptedDraws rest({250, 0, 0, 0});  // timer, p, q, r: no spin length at rest
  world.Camera.Move(&world);
  EXPECT_EQ(rest.Left(), 0u);
  EXPECT_FALSE(world.Camera.Spinning);
  EXPECT_EQ(world.Camera.RotateTimer, 10.0f);  // 250 mod 120
  EXPECT_EQ(world.Camera.TargetAngle.x, 0.0f);
}

TEST_F(CameraTest, RotationModesHoldTheOrbitToTheVertical) {
  SeedRandom(7);
  world.Camera.ZOOMIN = false;
  world.Camera.ROTMODE = 1;
  Run(60.0, 1.0 / 35);
  EXPECT_NEAR(world.Camera.Pos.x, 0.0f, 1e-3);
  EXPECT_NEAR(world.Camera.Pos.y, 25.0f, 1e-3);
  EXPECT_NEAR(world.Camera.Pos.z, 0.0f, 1e-3);

  MONEYSS below;
  below.Camera.ZOOMIN = false;
  below.Camera.ROTMODE = 2;
  below.FrameTime = 1.0 / 35;
  for (int frame = 0; frame < 35 * 60; ++frame) below.Camera.Move(&below);
  EXPECT_NEAR(below.Camera.Pos.y, -25.0f, 1e-3);

  MONEYSS level;
  level.Camera.ZOOMIN = false;
  level.Camera.ROTMODE = 0;
  level.FrameTime = 1.0 / 35;
  for (int frame = 0; frame < 35 * 120; ++frame) {
    level.Camera.Move(&level);
    ASSERT_NEAR(level.Camera.Pos.y, 0.0f, 1e-3) << frame;
  }
}

TEST_F(CameraTest, FollowsANoteAndFadesCloser) {
  SeedRandom(11);
  GiveNotes(40);
  for (int i = 0; i < 40; ++i) world.Notes[i].Reset(&world);
  world.NoteScale = 1.5f;
  world.Camera.ZOOMIN = true;
  world.FrameTime = 0.1;
  world.Camera.Move(&world);
  EXPECT_EQ(world.Camera.FadeRange, float(0.0 + 2500.0 * 0.1 * 3.0));  // fades in from 0

  Run(15.0, 1.0 / 35);
  EXPECT_TRUE(world.Camera.Following);
  EXPECT_GT(world.Camera.FollowTimer, 29.8f);  // switched a few frames ago
  EXPECT_LE(world.Camera.FollowTimer, 30.0f);
  const int followed = world.Camera.FollowNote;
  ASSERT_LT(followed, 40);
  const VECTOR3D before = world.Notes[followed].Pos;
  Run(29.0, 1.0 / 35);
  EXPECT_TRUE(world.Camera.Following);
  EXPECT_EQ(world.Notes[followed].Pos.x, before.x);  // it stands still
  EXPECT_NEAR(world.Camera.FadeRange, 1000.0f, 1.0f);
  // The eye sits 2.5 note scales from a point 0.75 scales below the note.
  const VECTOR3D centre = MakePoint(before.x, before.y - 0.75f * 1.5f, before.z);
  EXPECT_NEAR(std::sqrt(DistanceBetweenVectors(world.Camera.Pos, centre)), 3.75, 0.05);
  EXPECT_NEAR(std::sqrt(DistanceBetweenVectors(world.Camera.LookAt, centre)), 0.0, 0.05);
  Run(2.0, 1.0 / 35);
  EXPECT_FALSE(world.Camera.Following);
  Run(8.0, 1.0 / 35);  // a normal phase lasts at least 10 s
  EXPECT_FALSE(world.Camera.Following);
  EXPECT_NEAR(world.Camera.FadeRange, 2500.0f, 5.0f);
}

TEST_F(CameraTest, EasesHalfwayInATenthOfASecondAtFullSpeed) {
  world.Camera.ZOOMIN = false;
  world.Camera.MoveSpeed = 5.0f;
  world.Camera.Pos = MakePoint(0.0f, 0.0f, 45.0f);
  world.Camera.RotateTimer = 100.0f;
  world.FrameTime = 0.1;
  world.Camera.Move(&world);
  EXPECT_FLOAT_EQ(world.Camera.Pos.z, 35.0f);
}

TEST_F(CameraTest, TheLongestStepsLandOnTheTargetInsteadOfRunningAway) {
  // Steps of up to 2 s are taken; easing at 5 per second would otherwise
  // pass the target ninefold each step and soon reach infinity.
  SeedRandom(5);
  GiveNotes(40);
  for (int i = 0; i < 40; ++i) world.Notes[i].Reset(&world);
  world.Camera.ZOOMIN = true;
  Run(3600.0, 2.0);
  for (const VECTOR3D& v : {world.Camera.Pos, world.Camera.LookAt, world.Camera.Angle}) {
    EXPECT_TRUE(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z));
    EXPECT_LT(std::fabs(v.x) + std::fabs(v.y) + std::fabs(v.z), 1000.0f);
  }
  EXPECT_LE(world.Camera.FadeRange, 2500.0f);
}

}  // namespace
