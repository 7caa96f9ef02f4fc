// The parts of corvan3d's hosts that need no display: the command line, the
// trace of the scene, the choice of a GLX configuration and of a monitor, the
// pacing of ticks, the motion that ends a full-screen saver, and where the
// bundle and the user's currencies are.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "GlxChoice.h"
#include "HostCommon.h"
#include "Options.h"
#include "Trace.h"
#include "world/Notes.h"

namespace {

bool Parse(std::vector<const char*> args, Options* options, std::string* error = nullptr) {
  std::string ignored;
  return ParseOptions(int(args.size()), args.data(), options, error ? error : &ignored);
}

// Sets an environment variable for the scope of a test.
class ScopedEnv {
public:
  ScopedEnv(const char* name, const char* value) : name(name) {
    const char* old = std::getenv(name);
    had = old != nullptr;
    if (had) previous = old;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~ScopedEnv() {
    if (had)
      setenv(name, previous.c_str(), 1);
    else
      unsetenv(name);
  }

private:
  const char* name;
  bool had = false;
  std::string previous;
};

// --- the command line ----------------------------------------------------------------

TEST(Options, NoArgumentsIsTheWindowWithHeadlessDefaults) {
  Options o;
  ASSERT_TRUE(Parse({}, &o));
  EXPECT_EQ(o.host, HostKind::kWindow);
  EXPECT_EQ(o.frames, 100);
  EXPECT_EQ(o.width, 1280);
  EXPECT_EQ(o.height, 720);
  EXPECT_EQ(o.step, 1.0 / 35);
  EXPECT_FALSE(o.hasSeed);
  EXPECT_TRUE(o.outDir.empty());
  EXPECT_TRUE(o.traceFile.empty());
  EXPECT_EQ(o.windowId, 0u);
}

TEST(Options, EveryOptionTakesOneOrTwoDashes) {
  for (const char* dash : {"-", "--"}) {
    const std::string d = dash;
    Options o;
    const std::string headless = d + "headless", frames = d + "frames", size = d + "size", step = d + "step",
                      seed = d + "seed", out = d + "out", trace = d + "trace";
    const std::string stats = d + "stats";
    ASSERT_TRUE(Parse({headless.c_str(), frames.c_str(), "7", size.c_str(), "320x240", step.c_str(), "0.05",
                       seed.c_str(), "42", out.c_str(), "frames/", trace.c_str(), "t.jsonl", stats.c_str()},
                      &o))
        << dash;
    EXPECT_EQ(o.host, HostKind::kHeadless);
    EXPECT_EQ(o.frames, 7);
    EXPECT_EQ(o.width, 320);
    EXPECT_EQ(o.height, 240);
    EXPECT_EQ(o.step, 0.05);
    EXPECT_TRUE(o.hasSeed);
    EXPECT_EQ(o.seed, 42u);
    EXPECT_EQ(o.outDir, "frames/");
    EXPECT_EQ(o.traceFile, "t.jsonl");
    EXPECT_TRUE(o.stats);

    for (const char* name : {"fullscreen", "root", "settings", "help", "version"}) {
      const std::string flag = d + name;
      ASSERT_TRUE(Parse({flag.c_str()}, &o)) << flag;
    }
  }
}

TEST(Options, ValuesMayFollowAnEqualsSign) {
  Options o;
  ASSERT_TRUE(Parse({"--headless", "--frames=3", "-size=64x48", "--out=a=b"}, &o));
  EXPECT_EQ(o.frames, 3);
  EXPECT_EQ(o.width, 64);
  EXPECT_EQ(o.height, 48);
  EXPECT_EQ(o.outDir, "a=b");
}

TEST(Options, StepMayBeAFraction) {
  Options o;
  ASSERT_TRUE(Parse({"--headless", "--step", "1/35"}, &o));
  EXPECT_EQ(o.step, 1.0 / 35);
  ASSERT_TRUE(Parse({"--headless", "--step", "2"}, &o));
  EXPECT_EQ(o.step, 2.0);
}

TEST(Options, TheHosts) {
  Options o;
  ASSERT_TRUE(Parse({"--fullscreen"}, &o));
  EXPECT_EQ(o.host, HostKind::kFullScreen);
  ASSERT_TRUE(Parse({"-root"}, &o));
  EXPECT_EQ(o.host, HostKind::kXScreenSaver);
  EXPECT_EQ(o.windowId, 0u);
  ASSERT_TRUE(Parse({"--settings"}, &o));
  EXPECT_EQ(o.host, HostKind::kSettings);
  ASSERT_TRUE(Parse({"--headless"}, &o));
  EXPECT_EQ(o.host, HostKind::kHeadless);
}

TEST(Options, WindowIdIsHexOrDecimalWithOrWithoutRoot) {
  Options o;
  ASSERT_TRUE(Parse({"--root", "--window-id", "0x2a00007"}, &o));
  EXPECT_EQ(o.host, HostKind::kXScreenSaver);
  EXPECT_EQ(o.windowId, 0x2a00007ul);
  ASSERT_TRUE(Parse({"-window-id", "44040199", "-root"}, &o));
  EXPECT_EQ(o.windowId, 44040199ul);
  ASSERT_TRUE(Parse({"--window-id=0XFF"}, &o));
  EXPECT_EQ(o.host, HostKind::kXScreenSaver);
  EXPECT_EQ(o.windowId, 255ul);
}

TEST(Options, HelpAndVersionWinOverEverythingKnown) {
  Options o;
  ASSERT_TRUE(Parse({"--headless", "--fullscreen", "-h"}, &o));
  EXPECT_EQ(o.host, HostKind::kHelp);
  EXPECT_FALSE(Parse({"--help", "--bogus"}, &o));
  ASSERT_TRUE(Parse({"--headless", "-version", "--fullscreen"}, &o));
  EXPECT_EQ(o.host, HostKind::kVersion);
  ASSERT_TRUE(Parse({"--version", "--help"}, &o));
  EXPECT_EQ(o.host, HostKind::kHelp);
}

TEST(Options, MistakesAreRefusedWithAReason) {
  const std::vector<std::vector<const char*>> wrong = {
      {"--bogus"},
      {"fullscreen"},                      // not an option
      {"---root"},                         // three dashes
      {"--headless", "extra"},             // stray argument
      {"--headless", "--frames"},          // missing value
      {"--headless", "--frames", "0"},
      {"--headless", "--frames", "-3"},
      {"--headless", "--frames", "12x"},
      {"--headless", "--size", "320"},
      {"--headless", "--size", "0x240"},
      {"--headless", "--size", "320x99999"},
      {"--headless", "--step", "0"},
      {"--headless", "--step", "3"},      // every step would be skipped
      {"--headless", "--step", "1/0"},
      {"--headless", "--step", "nan"},
      {"--headless", "--seed", "4294967296"},
      {"--headless", "--seed", "-1"},
      {"--headless", "--out", ""},
      {"--headless", "--trace="},
      {"--fullscreen=yes"},
      {"--window-id", "0"},
      {"--window-id", "0x"},
      {"--window-id", "window"},
      {"--window-id", "0x100000000"},
      {"--fullscreen", "--headless"},     // two hosts
      {"--root", "--settings"},
      {"--frames", "5"},                  // headless options alone
      {"--root", "--size", "10x10"},
      {"--stats"},
      {"--headless", "--stats=yes"},
  };
  for (const auto& args : wrong) {
    Options o;
    std::string error;
    std::string joined;
    for (const char* a : args) joined += std::string(a) + " ";
    EXPECT_FALSE(Parse(args, &o, &error)) << joined;
    EXPECT_FALSE(error.empty()) << joined;
  }
}

TEST(Options, UsageNamesEveryOption) {
  const std::string usage = UsageLine();
  for (const char* name : {"--fullscreen", "--root", "--window-id", "--settings", "--headless", "--frames", "--size",
                           "--step", "--seed", "--out", "--trace", "--stats"})
    EXPECT_NE(usage.find(name), std::string::npos) << name;
}

TEST(WindowId, Forms) {
  unsigned long id = 0;
  EXPECT_TRUE(ParseWindowId("0x1e00003", &id));
  EXPECT_EQ(id, 0x1e00003ul);
  EXPECT_TRUE(ParseWindowId("31457283", &id));
  EXPECT_EQ(id, 31457283ul);
  for (const char* bad : {"", "0", "0x0", "-5", "+5", " 5", "5 ", "0x12g", "12.0"}) EXPECT_FALSE(ParseWindowId(bad, &id)) << bad;
}

// --- the trace -------------------------------------------------------------------------

class TraceTest : public ::testing::Test {
protected:
  void SetUp() override {
    world.TOT_NUM_NOTES = 1;
    world.Notes = new ONENOTE[1]();
    ONENOTE& n = world.Notes[0];
    n.Pos = MakePoint(6.39285707f, 24.8314285f, -2.38999987f);
    n.Rot = MakePoint(0.0f, 223.988571f, -1.57029045f);
    n.Currency = 0;
    n.NoteList = 19;
    n.Tumbling = 0;
    n.SwingPhase = 11;
    n.Brightness = -5.56917572f;
    world.ActiveNotes = 0.114285715f;
    world.Camera.FadeRange = 214.285721f;
  }
  MONEYSS world;  // its cleanup releases the notes; no GL is involved
};

TEST_F(TraceTest, OneLineOfExactNumbers) {
  const double step = 0.02857142857142857;
  EXPECT_EQ(TraceLine(step, step, 2003, &world),
            "{\"RunTime\": 0.028571428571428571, \"StepTime\": 0.028571428571428571, \"RandDraws\": 2003, "
            "\"ActiveNotes\": 0.114285715, \"Camera\": {\"Pos\": [0, 0, 25], \"LookAt\": [0, 0, 0], "
            "\"Angle\": [0, 0, 0], \"Spinning\": false, \"Following\": false, \"FollowNote\": 0, "
            "\"FadeRange\": 214.285721}, \"Notes\": [{\"Pos\": [6.39285707, 24.8314285, -2.38999987], "
            "\"Rot\": [0, 223.988571, -1.57029045], \"Currency\": 0, \"NoteList\": 19, \"Tumbling\": 0, "
            "\"SwingPhase\": 11, \"Brightness\": -5.56917572}]}");
}

TEST_F(TraceTest, NumbersReadBackExactly) {
  world.Notes[0].Brightness = 0.1f + 0.2f;
  const double runTime = 0.1 + 0.2;
  const std::string line = TraceLine(runTime, 1.0 / 3, 0, &world);
  const size_t at = line.find("\"RunTime\": ") + 11;
  EXPECT_EQ(std::strtod(line.c_str() + at, nullptr), runTime);
  const size_t b = line.find("\"Brightness\": ") + 14;
  EXPECT_EQ(std::strtof(line.c_str() + b, nullptr), world.Notes[0].Brightness);
}

TEST_F(TraceTest, CameraFlagsAndFollowedNote) {
  world.Camera.Spinning = true;
  world.Camera.Following = true;
  world.Camera.FollowNote = 2;
  const std::string line = TraceLine(0, 0, 0, &world);
  EXPECT_NE(line.find("\"Spinning\": true, \"Following\": true, \"FollowNote\": 2"), std::string::npos) << line;
}

int CountNotes(const std::string& line) {
  int count = 0;
  for (size_t at = line.find("\"NoteList\""); at != std::string::npos; at = line.find("\"NoteList\"", at + 1)) ++count;
  return count;
}

TEST(Trace, TheFirstNotesAreTracedReleasedOrNot) {
  MONEYSS world;
  world.TOT_NUM_NOTES = 3;
  world.Notes = new ONENOTE[3]();
  world.ActiveNotes = 0.0f;  // still waiting at their spawn points
  EXPECT_EQ(CountNotes(TraceLine(0, 0, 0, &world)), 3);
  world.ActiveNotes = 2.5f;
  EXPECT_EQ(CountNotes(TraceLine(0, 0, 0, &world)), 3);
}

TEST(Trace, AtMostFiftyNotes) {
  MONEYSS world;
  world.TOT_NUM_NOTES = 500;
  world.Notes = new ONENOTE[500]();
  world.ActiveNotes = 500.0f;
  EXPECT_EQ(CountNotes(TraceLine(0, 0, 0, &world)), kTracedNotes);
}

TEST(Trace, AWorldWithoutNotesOrNoWorldAtAll) {
  MONEYSS world;
  world.ActiveNotes = 5.0f;  // its setup failed before the notes were made
  EXPECT_NE(TraceLine(0, 0, 0, &world).find("\"Notes\": []}"), std::string::npos);
  EXPECT_EQ(TraceLine(1.5, 0.5, 7, nullptr),
            "{\"RunTime\": 1.5, \"StepTime\": 0.5, \"RandDraws\": 7, \"ActiveNotes\": 0, \"Camera\": null, "
            "\"Notes\": []}");
}

TEST(Trace, NumbersJsonCannotHoldAreNull) {
  MONEYSS world;
  world.Camera.FadeRange = std::numeric_limits<float>::infinity();
  const std::string line = TraceLine(std::nan(""), 0, 0, &world);
  EXPECT_NE(line.find("\"RunTime\": null"), std::string::npos) << line;
  EXPECT_NE(line.find("\"FadeRange\": null"), std::string::npos) << line;
}

// --- the GLX configuration of the window's visual ---------------------------------------

GlxConfigTraits Config(unsigned long visual, bool doubleBuffer, int depth, int stencil = 0, int samples = 0) {
  GlxConfigTraits c;
  c.visualId = visual;
  c.window = true;
  c.rgba = true;
  c.doubleBuffer = doubleBuffer;
  c.depth = depth;
  c.stencil = stencil;
  c.samples = samples;
  return c;
}

TEST(PickConfig, OnlyTheWindowsOwnVisual) {
  const std::vector<GlxConfigTraits> configs = {Config(0x22, true, 24), Config(0x21, false, 0),
                                                Config(0x23, true, 24)};
  EXPECT_EQ(PickConfig(configs, 0x21), 1);
  EXPECT_EQ(PickConfig(configs, 0x99), -1);
}

TEST(PickConfig, PrefersDoubleBufferThenDepthThenNoMultisampleOrStencil) {
  std::vector<GlxConfigTraits> configs = {Config(0x21, false, 24), Config(0x21, true, 0), Config(0x21, true, 16, 0, 4),
                                          Config(0x21, true, 24, 8), Config(0x21, true, 16)};
  EXPECT_EQ(PickConfig(configs, 0x21), 4);
  configs.push_back(Config(0x21, true, 24));  // the largest depth wins among equals
  EXPECT_EQ(PickConfig(configs, 0x21), 5);
}

TEST(PickConfig, NeedsRgbaAndWindows) {
  GlxConfigTraits indexed = Config(0x21, true, 24);
  indexed.rgba = false;
  GlxConfigTraits pixmapOnly = Config(0x21, true, 24);
  pixmapOnly.window = false;
  EXPECT_EQ(PickConfig({indexed, pixmapOnly}, 0x21), -1);
  EXPECT_EQ(PickConfig({indexed, pixmapOnly, Config(0x21, false, 0)}, 0x21), 2);
}

TEST(Monitors, TheOneUnderThePointAndThePrimary) {
  std::vector<MonitorRect> monitors = {{0, 0, 1920, 1080, false}, {1920, 0, 1280, 1024, true}};
  EXPECT_EQ(MonitorAt(monitors, 960, 540), 0);
  EXPECT_EQ(MonitorAt(monitors, 1920, 10), 1);
  EXPECT_EQ(MonitorAt(monitors, 1919, 1079), 0);
  EXPECT_EQ(MonitorAt(monitors, 5000, 5000), 0);  // nowhere: the first
  EXPECT_EQ(PrimaryMonitor(monitors), 1);
  monitors[1].primary = false;
  EXPECT_EQ(PrimaryMonitor(monitors), 0);
  EXPECT_EQ(MonitorAt({}, 1, 1), 0);
  EXPECT_EQ(PrimaryMonitor({}), 0);
}

// --- pacing and input --------------------------------------------------------------------

TEST(TickPacer, TicksEveryIntervalKeepingTheBeat) {
  TickPacer pacer(0.025);
  EXPECT_TRUE(pacer.Due(100.0));  // the first tick at once
  pacer.Ticked(100.0);
  EXPECT_FALSE(pacer.Due(100.024));
  EXPECT_EQ(pacer.MillisecondsToNext(100.0), 25);
  EXPECT_EQ(pacer.MillisecondsToNext(100.0201), 5);  // rounded up: never early
  EXPECT_TRUE(pacer.Due(100.025));
  pacer.Ticked(100.030);  // a late tick does not shift the next one
  EXPECT_EQ(pacer.MillisecondsToNext(100.030), 20);
}

TEST(TickPacer, AfterAStallNoBurstOfTicks) {
  TickPacer pacer(0.025);
  pacer.Ticked(100.0);
  pacer.Ticked(101.0);  // a second late
  EXPECT_FALSE(pacer.Due(101.0));
  EXPECT_EQ(pacer.MillisecondsToNext(101.0), 25);
  EXPECT_EQ(pacer.MillisecondsToNext(102.0), 0);
}

TEST(MotionGate, IgnoresMotionWhileTheWindowsSettle) {
  MotionGate gate(10.0);
  EXPECT_FALSE(gate.Quits(10.1, 300, 200));  // the pointer "moves" as windows appear under it
  EXPECT_FALSE(gate.Quits(10.0 + MotionGate::kSettleSeconds - 0.01, 50, 0));
  EXPECT_TRUE(gate.Quits(10.0 + MotionGate::kSettleSeconds, MotionGate::kThresholdPixels, 0));
}

TEST(MotionGate, SmallMovesAddUpToADeliberateOne) {
  MotionGate gate(0.0);
  EXPECT_FALSE(gate.Quits(5.0, 1, -1));
  EXPECT_FALSE(gate.Quits(5.1, 0, 2));
  EXPECT_FALSE(gate.Quits(5.2, -1, 0));
  EXPECT_TRUE(gate.Quits(5.3, 2, -2));  // 1+1+2+1+2+2 = 9 pixels
}

// --- where things are ----------------------------------------------------------------------

TEST(Paths, TheBundleIsBesideTheBinaryUnlessOverridden) {
  {
    ScopedEnv data("CORVAN3D_DATA_DIR", nullptr);
    const std::string bundle = BundleFolder();
    const std::string suffix = "/share/corvan3d";
    ASSERT_GE(bundle.size(), suffix.size());
    EXPECT_EQ(bundle.substr(bundle.size() - suffix.size()), suffix);
    EXPECT_EQ(bundle.find(".."), std::string::npos) << bundle;
    EXPECT_EQ(bundle, CORVAN_EXPECTED_BUNDLE);  // this test binary sits in build/bin too
  }
  ScopedEnv data("CORVAN3D_DATA_DIR", "/opt/notes");
  EXPECT_EQ(BundleFolder(), "/opt/notes");
}

TEST(Paths, TheUsersCurrenciesFollowXdgDataHome) {
  ScopedEnv home("HOME", "/home/ada");
  {
    ScopedEnv data("XDG_DATA_HOME", "/data/ada");
    EXPECT_EQ(DefaultUserCurrencyFolder(), "/data/ada/corvan3d/CorvanData");
  }
  {
    ScopedEnv data("XDG_DATA_HOME", nullptr);
    EXPECT_EQ(DefaultUserCurrencyFolder(), "/home/ada/.local/share/corvan3d/CorvanData");
  }
  ScopedEnv data("XDG_DATA_HOME", "relative/path");  // not absolute: ignored
  EXPECT_EQ(DefaultUserCurrencyFolder(), "/home/ada/.local/share/corvan3d/CorvanData");
}

TEST(Services, CommonServicesHandOutTheBundleAndTheStore) {
  ScopedEnv data("CORVAN3D_DATA_DIR", "/opt/notes");
  ScopedEnv xdg("XDG_DATA_HOME", "/data/ada");
  struct NoStore : PreferencesStore {
    bool HasKey(const char*) override { return false; }
    std::string StringForKey(const char*) override { return ""; }
    bool BoolForKey(const char*) override { return false; }
    long long IntegerForKey(const char*) override { return 0; }
    void SetString(const char*, const std::string&) override {}
    void SetBool(const char*, bool) override {}
    void SetInteger(const char*, long long) override {}
    bool Synchronize() override { return true; }
  } store;
  struct Services : CommonServices {
    using CommonServices::CommonServices;
    std::unique_ptr<GLView> CreateGLView() override { return nullptr; }
  } services(&store);
  EXPECT_EQ(services.ResourcePath(), "/opt/notes");
  EXPECT_EQ(services.UserCurrencyFolder(), "/data/ada/corvan3d/CorvanData");
  EXPECT_EQ(services.Defaults(), &store);
  EXPECT_EQ(services.WindowScreenNumber(), services.MainScreenNumber());
  EXPECT_TRUE(services.FileExists("/"));
  EXPECT_FALSE(services.FileExists("/no/such/corvan3d/file"));
  const double a = services.Now(), b = services.Now();
  EXPECT_LE(a, b);
  EXPECT_GT(services.SecondsSinceEpoch(), 1.6e9);  // wall clock, not monotonic
}

}  // namespace
