// The falling notes, the world's frame and the camera over simulated time,
// with the random draws scripted so that their order is checked exactly.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "maths/Random.h"
#include "platform/Alert.h"
#include "world/Notes.h"

namespace {

// Runs action with the scene's draws taken from script, which it must use up exactly.
template <class F>
void Scripted(const std::vector<int>& script, F action) {
  size_t next = 0;
  RandomSource previous = SetRandomSource([&] {
    EXPECT_LT(next, script.size()) << "more draws than scripted";
    return next < script.size() ? script[next++] : 0;
  });
  action();
  SetRandomSource(std::move(previous));
  EXPECT_EQ(next, script.size()) << "fewer draws than scripted";
}

// Exact unless a tolerance is given.
void ExpectVector(VECTOR3D v, VECTOR3D want, const std::string& what, float tol = 0) {
  EXPECT_TRUE(std::fabs(v.x - want.x) <= tol && std::fabs(v.y - want.y) <= tol && std::fabs(v.z - want.z) <= tol)
      << what << ": (" << v.x << ", " << v.y << ", " << v.z << "), want (" << want.x << ", " << want.y << ", "
      << want.z << ")";
}
VECTOR3D V(float x, float y, float z) { return MakePoint(x, y, z); }

// Currency, NoteList, Tumbling, SwingPhase; then the four vectors.
void ExpectNote(const ONENOTE& n, std::array<int, 4> ints, VECTOR3D pos, VECTOR3D vel, VECTOR3D rot, VECTOR3D speed,
                const std::string& what) {
  EXPECT_EQ((std::array<int, 4>{n.Currency, n.NoteList, n.Tumbling, n.SwingPhase}), ints) << what;
  ExpectVector(n.Pos, pos, what + " Pos");
  ExpectVector(n.Vel, vel, what + " Vel");
  ExpectVector(n.Rot, rot, what + " Rot");
  ExpectVector(n.RotSpeed, speed, what + " RotSpeed");
}

// A world without GL: note sets without display lists are all spawning needs.
class WorldTest : public ::testing::Test {
protected:
  void GiveNotes(int count) {
    world.TOT_NUM_NOTES = count;
    world.Notes = new ONENOTE[size_t(count)]();
  }
  void Frame(double step, int frames = 1) {
    world.FrameTime = step;
    for (int i = 0; i < frames; ++i) world.TotalTime += step, world.Camera.Move(&world), world.Move();
  }
  MONEYSS world;
  ONECAMERA& camera = world.Camera;
};

TEST_F(WorldTest, NoteSpawnsFromItsDrawsInOrder) {
  world.Currencies = new CURRENCYINFO[3];
  world.NumCurrencies = 3;
  for (int i = 0; i < 3; ++i) (world.Currencies[i].NoteSet = new ONECURRENCY)->NumNotes = 7;
  world.CurrentCurrency = 1;
  camera.LookAt = V(1, 2, 3);
  ONENOTE note{};
  // Curved: a, b, list, swing, heading, turn speed, e, f, g.
  Scripted({7499, 1, 24, 45, 400, 2600, 25, 59, 3}, [&] { note.Reset(&world); });
  ExpectNote(note, {1, 24 % 21, 0, 5}, V(1 + float(-2499 / 100.0), 27, 3 + float(-1 / 100.0)),
             V(float(-17 / 10.0), float(59 / -10.0 - 1.0), 0.5f), V(0, 40, 0), V(0, -11.5f, 0), "curved");
  // Flat: a, b, list, swing, p, q, turn speed, m, s (even: backwards), e, f, g.
  Scripted({0, 4999, 20, 19, 725, 359, 1249, 179, 4, 39, 0, 0}, [&] { note.Reset(&world); });
  ExpectNote(note, {1, 20, 1, 19}, V(1 + 24.99f, 27, 3 - 25.0f), V(-2, -5, float(19 / 10.0)), V(359, 5, 0),
             V(-359, float(-1 / 100.0), 0), "flat");
  Scripted({0, 0, 2, 0, 0, 0, 0, 0, 1, 0, 59, 0}, [&] { note.Reset(&world); });
  EXPECT_TRUE(note.RotSpeed.x == 180.0f && note.Vel.y == float(59 / -10.0 - 5.0)) << "s odd: forwards";

  // Mixing spends a draw on the currency, and one left out of the mix hands
  // its share to the next loaded one; a currency without notes draws no list.
  world.MIXCURRENCY = true;
  delete world.Currencies[2].NoteSet;
  world.Currencies[2].NoteSet = nullptr;
  Scripted({0, 0, 8, 22, 0, 0, 0, 0, 0, 0}, [&] { note.Reset(&world); });
  EXPECT_TRUE(note.Currency == 0 && note.NoteList == 1) << note.Currency << " " << note.NoteList;
  world.MIXCURRENCY = false;
  world.CurrentCurrency = 2;
  Scripted({0, 0, 3, 0, 0, 0, 0, 0}, [&] { note.Reset(&world); });
  EXPECT_TRUE(note.NoteList == 0 && note.SwingPhase == 3);
  note.Currency = note.NoteList = 9;
  note.Reset(nullptr);
  EXPECT_EQ(note.Currency + note.NoteList, 0);
}

TEST_F(WorldTest, NoteWrapsOnStrictCrossingsRespawnsBelowTheFloorAndFades) {
  camera.LookAt = V(10, 20, 30);
  camera.Pos = V(10, 20, 55);
  camera.FadeRange = 2500.0f;
  world.FrameTime = 0.5;
  ONENOTE note{};
  const struct { VECTOR3D pos, vel, want; const char* what; } moves[] = {
      {V(-20, 20, 60), V(0, 0, 0), V(-20, 20, 60), "exactly on two walls"},
      {V(-20, 20, 60), V(-1, 0, 1), V(-20.5f + 60, 20, 60.5f - 60), "half a unit past them"},
      {V(39, 49.5f, 1), V(4, 2, -4), V(41 - 60, 50.5f - 60, -1 + 60), "through the ceiling: dropped, not respawned"},
      {V(10, -9, 30), V(0, -1, 0), V(10, -9.5f, 30), "still inside: falls"}};
  for (const auto& m : moves) {
    note.Pos = m.pos, note.Vel = m.vel;
    note.Move(&world);
    ExpectVector(note.Pos, m.want, m.what);
  }
  note.Vel.y = -4.0f;  // below the floor: a, b, swing, heading, turn speed, e, f, g (no currency)
  Scripted({7600, 2500, 0, 0, 0, 0, 0, 0}, [&] { note.Pos.y = -9, note.Move(&world); });
  ExpectVector(note.Pos, V(10, 45, 31), "respawned at the top");

  // Turns wrap once each way, the swing comes from the table, and the
  // brightness falls with the squared distance from the eye, unclamped.
  note.Pos = camera.LookAt, note.Vel = V(0, 0, 0), note.RotSpeed = V(300, -10, 0), note.Rot = V(250, 2, 0);
  note.SwingPhase = 7;
  world.SwingAngle[7] = -12.5f;
  note.Move(&world);
  ExpectVector(note.Rot, V(250 + 150 - 360, 2 - 5 + 360, -12.5f), "Rot");
  EXPECT_EQ(note.Brightness, 0.75f);  // (2500 - 25^2) / 2500
  camera.Pos.z = 90.0f;
  note.Move(&world);
  EXPECT_EQ(note.Brightness, (2500.0f - 3600.0f) / 2500.0f);
}

TEST_F(WorldTest, FrameReleasesNotesRocksTheSwingTableAndMovesAroundTheFollowedNote) {
  const struct { int notes; double step; int frames; float active; } ramps[] = {
      {500, 0.125, 79, 493.75f}, {500, 0.125, 80, 500}, {500, 0.125, 81, 500}, {45, 1.0 / 35, 35, 4.5f}};  // not 4
  for (const auto& r : ramps) {
    MONEYSS fresh;
    fresh.TOT_NUM_NOTES = r.notes, fresh.FrameTime = r.step;
    for (int i = 0; i < r.frames; ++i) fresh.Move();
    EXPECT_NEAR(fresh.ActiveNotes, r.active, 1e-4) << r.notes << " notes, " << r.frames << " frames";
  }

  // Entry i is 35 cos((T - i) pi / 2): the angle rounded to float, the cosine
  // taken in double. A float cosine is off in the last digit at entries 0 and
  // 3; a lead (T + i) would flip the sign of entry 1.
  world.Move();
  for (int i = 0; i < 5; ++i) EXPECT_NEAR(world.SwingAngle[i], (i % 2 ? 0 : 35) * (i % 4 ? -1 : 1), 1e-5) << i;
  world.TotalTime = 123.456;
  world.Move();
  EXPECT_TRUE(world.SwingAngle[0] == 22.9803314f && world.SwingAngle[1] == -26.3986988f &&
              world.SwingAngle[3] == 26.3989029f)
      << world.SwingAngle[0] << " " << world.SwingAngle[1] << " " << world.SwingAngle[3];
  for (int i = 0; i + 4 < 20; ++i) EXPECT_NEAR(world.SwingAngle[i], world.SwingAngle[i + 4], 1e-3) << i;

  GiveNotes(3);
  world.ActiveNotes = 3, world.FrameTime = 0.25;
  for (int i = 0; i < 3; ++i) world.Notes[i].Vel = V(0, -1.0f - i, 0);
  camera.Following = true, camera.FollowNote = 1;
  world.Move();
  EXPECT_TRUE(world.Notes[0].Pos.y == 0.25f && world.Notes[1].Pos.y == 0 && world.Notes[2].Pos.y == -0.25f);
}

TEST_F(WorldTest, FailedSetupCorrectsTheSettingsAndLeavesAnInertWorld) {
  std::string errors;
  const ErrorHandler previous = SetErrorHandler([&](const char* m) { errors += m; });
  const struct { int64_t notes, size; const char *path, *path2; int64_t wantNotes; float wantScale;
                 const char *wantPath, *wantPath2; } cases[] = {
      {0, 150, "/nonexistent-a", "ab", 400, 1.5f, "/nonexistent-a/", "ab"},
      {-3, -5, "zq9", "/nonexistent-b/", 400, 1.2f, "zq9/", "/nonexistent-b/"},
      {7, 0, "", "zq9/", 7, 1.2f, "", "zq9/"}};
  for (const auto& c : cases) {
    SETTINGS settings;
    settings.TOT_NUM_NOTES = c.notes, settings.LNOTESIZE = c.size;
    settings.NoteSize = 9.0f;  // not read: the scale comes from the percentage
    std::strcpy(settings.CurrencyPath, c.path);
    std::strcpy(settings.CurrencyPath2, c.path2);
    MONEYSS fresh;
    errors.clear();
    EXPECT_FALSE(fresh.Setup(&settings));
    EXPECT_TRUE(errors == "No Currency Data Found!" && fresh.Notes == nullptr) << errors;
    EXPECT_TRUE(fresh.TOT_NUM_NOTES == c.wantNotes && fresh.NoteScale == c.wantScale) << fresh.NoteScale;
    EXPECT_STREQ(fresh.CurrencyPath, c.wantPath);
    EXPECT_STREQ(fresh.CurrencyPath2, c.wantPath2);
  }
  // A minute of frames touches no note, and the camera never follows.
  SETTINGS settings;
  settings.ZOOMIN = true;
  ASSERT_FALSE(world.Setup(&settings));
  for (int frame = 0; frame < 35 * 60; ++frame) {
    Frame(1.0 / 35);
    world.Draw();
    ASSERT_FALSE(camera.Following) << frame;
  }
  SetErrorHandler(previous);
}

// ---- the camera ------------------------------------------------------------------------

TEST_F(WorldTest, CameraRestsFiveSecondsThenSpinsOnItsDraws) {
  camera.ZOOMIN = false;
  Frame(1.0, 5);  // 5 -> 0: not below 0 yet
  EXPECT_FALSE(camera.Spinning);
  Scripted({7, 1, 2, 43, 95}, [&] { Frame(1.0); });  // timer, p, q, r, spin length
  EXPECT_TRUE(camera.Spinning);
  ExpectVector(camera.AngleSpeed, V(3 - 20, 2 - 20, 1 - 20), "AngleSpeed from r, q, p");
  EXPECT_EQ(camera.RotateTimer, 10.0f);  // 95 mod 90 = 5, at least 10
  EXPECT_EQ(camera.TargetAngle.y, -18.0f);
  EXPECT_EQ(camera.AngleRate, 1.0f);  // only a rest starts slow
  Frame(1.0, 10);
  Scripted({250, 0, 0, 0}, [&] { Frame(1.0); });  // timer, p, q, r: no spin length at rest
  EXPECT_FALSE(camera.Spinning);
  EXPECT_EQ(camera.RotateTimer, 10.0f);  // 250 mod 120
  EXPECT_EQ(camera.AngleRate, 0.625f);   // 0.5, then recovering a quarter of the way in a second
  ExpectVector(camera.TargetAngle, V(0, 0, 0), "home");
}

TEST_F(WorldTest, CameraGoesHomeTheShortWayAndWrapsTargetAndAngleTogether) {
  camera.ZOOMIN = false;
  camera.RotateTimer = 100.0f;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const VECTOR3D homes[][2] = {{V(180, 181, -180), V(180, -179, 180)}, {V(540, -190, 359.5f), V(180, 170, -0.5f)},
                               {V(720, nan, -360), V(0, 0, 0)}};
  for (const auto& h : homes) {
    camera.Angle = h[0];
    Frame(0.0);  // no easing: the angles as brought home
    ExpectVector(camera.Angle, h[1], "home from " + std::to_string(h[0].x));
  }
  camera.Spinning = true, camera.AngleRate = 1.0f, camera.AngleSpeed = V(20, -20, 0);
  camera.TargetAngle = V(359.5f, -359.5f, 10), camera.Angle = V(350, -350, 10);
  Frame(0.1);
  ExpectVector(camera.TargetAngle, V(1.5f, -1.5f, 10), "wrapped target", 1e-5f);
  ExpectVector(camera.Angle, V(-10 + 11.5f * 0.1f, 10 - 11.5f * 0.1f, 10), "angle wrapped alongside", 1e-5f);
}

TEST_F(WorldTest, CameraSwitchesFollowingOnANoteDrawThenATimerDraw) {
  GiveNotes(10);
  world.ActiveNotes = 7.9f;  // seven whole notes to choose from
  camera.Rotate = false;
  camera.FollowTimer = 0.001f;
  Scripted({23, 45}, [&] { Frame(0.01); });
  EXPECT_TRUE(camera.Following && camera.FollowNote == 23 % 7 && camera.FollowTimer == 30.0f)
      << camera.FollowNote << " " << camera.FollowTimer;
  EXPECT_FLOAT_EQ(camera.MoveSpeed, 5 * 0.01f * 0.25f);  // both rates from 0
  EXPECT_FLOAT_EQ(camera.AngleRate, 1 * 0.01f * 0.25f);
  camera.FollowTimer = 0.001f;
  Scripted({3, 61}, [&] { Frame(0.01); });
  EXPECT_TRUE(!camera.Following && camera.FollowNote == 3 && camera.FollowTimer == 61 % 60 + 10)
      << camera.FollowNote << " " << camera.FollowTimer;
}

TEST_F(WorldTest, CameraClosesInOnTheFollowedNoteAndEases) {
  GiveNotes(2);
  camera.ZOOMIN = camera.Rotate = false;
  camera.Following = true, camera.FollowNote = 1;
  world.Notes[1].Pos = V(1, 2, 3);
  // The eye 2.5 note scales, but at least 1.75, from 0.75 scales below the note.
  for (const float scale : {0.5f, 2.0f}) {
    world.NoteScale = scale, camera.MoveSpeed = 5, camera.FadeRange = 0;
    camera.Pos = V(0, 0, 25), camera.LookAt = V(0, 0, 0);
    Frame(0.1);
    const float below = 2 - 0.75f * scale, eye = 3 + std::max(1.75f, 2.5f * scale);
    ExpectVector(camera.TargetLookAt, V(1, below, 3), "look-at", 1e-5f);
    ExpectVector(camera.TargetPos, V(1, below, eye), "eye", 1e-5f);
    ExpectVector(camera.Pos, V(0.5f, below / 2, (25 + eye) / 2), "halfway at rate 5 in 0.1 s", 1e-5f);
    EXPECT_FLOAT_EQ(camera.FadeRange, 500.0f);
  }
  camera.Following = false;
  Frame(2.0);  // too long to ease: lands on the targets instead of overshooting
  ExpectVector(camera.Pos, V(0, 0, 25), "landed", 1e-5f);
  EXPECT_EQ(camera.FadeRange, 2500.0f);
}

TEST_F(WorldTest, RotationModesHoldTheOrbitToTheVertical) {
  for (int mode = 0; mode < 3; ++mode) {  // level, above, below
    MONEYSS fresh;
    fresh.Camera.ZOOMIN = false, fresh.Camera.ROTMODE = mode, fresh.FrameTime = 1.0 / 35;
    SeedRandom(7);
    float highest = 0;
    for (int frame = 0; frame < 35 * 60; ++frame) {
      fresh.Camera.Move(&fresh);
      highest = std::max(highest, std::fabs(fresh.Camera.Pos.y));
    }
    const VECTOR3D eye = fresh.Camera.Pos;
    const VECTOR3D want = mode == 0 ? V(eye.x, 0, eye.z) : V(0, mode == 1 ? 25 : -25, 0);
    ExpectVector(eye, want, "mode " + std::to_string(mode), 1e-3f);
    EXPECT_TRUE(mode != 0 || highest < 1e-3f) << "the level orbit leaves the level by " << highest;
  }
}

}  // namespace
