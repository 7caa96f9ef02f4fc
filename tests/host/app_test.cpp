// The parts of corvan3d's hosts that need no display: the command line, the
// trace of the scene, the choice of a GLX configuration and of a monitor, the
// pacing of ticks, the motion that ends a full-screen saver, and where the
// bundle and the user's currencies are.
#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <limits>
#include <sstream>

#include "GlxChoice.h"
#include "HostCommon.h"
#include "Options.h"
#include "Trace.h"
#include "world/Notes.h"

namespace {

// What a command line (words apart by spaces, '' an empty one) comes to: host, window id, frames, size,
// step, seed, out, trace and stats; or why it is refused.
std::string Parsed(const std::string& line) {
  std::istringstream in(line);
  const std::vector<std::string> words(std::istream_iterator<std::string>(in), {});
  std::vector<const char*> args;
  for (const std::string& word : words) args.push_back(word == "''" ? "" : word.c_str());
  Options o;
  std::string error;
  if (!ParseOptions(int(args.size()), args.data(), &o, &error)) return "refused: " + error;
  const char* hosts[] = {"window", "fullscreen", "xscreensaver", "settings", "headless", "help", "version"};
  char text[512];
  std::snprintf(text, sizeof text, "%s %#lx %d %dx%d %.17g %s%u [%s] [%s]%s", hosts[int(o.host)], o.windowId, o.frames, o.width,
                o.height, o.step, o.hasSeed ? "seed " : "", o.seed, o.outDir.c_str(), o.traceFile.c_str(), o.stats ? " stats" : "");
  return text;
}

TEST(Options, EveryHostEveryValueAndEveryMistake) {
  const std::string all = "headless 0 7 320x240 0.050000000000000003 seed 42 [frames/] [t.jsonl] stats", plain = " 100 1280x720 0.028571428571428571 0 [] []";
  const std::string alone = "refused: --frames, --size, --step, --seed, --out, --trace and --stats go with --headless";
  const std::pair<std::string, std::string> cases[] = {
      {"", "window 0" + plain},
      {"--headless --frames 7 --size 320x240 --step 0.05 --seed 42 --out frames/ --trace t.jsonl --stats", all},
      {"-headless -frames 7 -size 320X240 -step 0.05 -seed 42 -out frames/ -trace t.jsonl -stats", all},
      {"--headless --frames=3 -size=64x48 --out=a=b", "headless 0 3 64x48 0.028571428571428571 0 [a=b] []"},
      {"--headless --step 1/35 --seed 4294967295", "headless 0 100 1280x720 0.028571428571428571 seed 4294967295 [] []"},
      {"--headless --step 2", "headless 0 100 1280x720 2 0 [] []"},
      {"--fullscreen", "fullscreen 0" + plain},
      {"-root", "xscreensaver 0" + plain},
      {"--settings", "settings 0" + plain},
      {"--root --window-id 0x2a00007", "xscreensaver 0x2a00007" + plain},
      {"-window-id 44040199 -root", "xscreensaver 0x2a00007" + plain},
      {"--window-id=0XFFFFFFFF", "xscreensaver 0xffffffff" + plain},
      {"--headless --fullscreen -h", "help 0" + plain},  // help and version win over anything known
      {"--headless -version --fullscreen", "version 0" + plain},
      {"--version --help", "help 0" + plain},
      {"--help --bogus", "refused: unknown option \"--bogus\""},
      {"--headless fullscreen", "refused: unknown option \"fullscreen\""},
      {"---root", "refused: unknown option \"---root\""},
      {"--headless --frames", "refused: --frames needs a value"},
      {"--fullscreen=yes", "refused: --fullscreen takes no value"},
      {"--headless --stats=yes", "refused: --stats takes no value"},
      {"--window-id 0", "refused: --window-id wants a window id (0x... or decimal), not \"0\""},
      {"--fullscreen --headless", "refused: choose one of --fullscreen, --root, --settings and --headless"},
      {"--root --settings", "refused: choose one of --fullscreen, --root, --settings and --headless"},
      {"--root --size 10x10", alone},
      {"--stats", alone},
      {"--headless --trace=", "refused: --trace: bad value \"\""},
  };
  for (const auto& [line, parsed] : cases) EXPECT_EQ(Parsed(line), parsed) << line;
  for (auto [name, value] : {std::pair{"frames", "0"}, {"frames", "-3"}, {"frames", "12x"}, {"size", "320"}, {"size", "0x240"},
                             {"size", "320x16385"}, {"step", "0"}, {"step", "2.001"}, {"step", "1/0"}, {"step", "nan"},
                             {"seed", "4294967296"}, {"seed", "-1"}, {"out", "''"}})
    EXPECT_EQ(Parsed(std::string("--headless --") + name + " " + value),
              std::string("refused: --") + name + ": bad value \"" + (value[0] == '\'' ? "" : value) + "\"");
  EXPECT_EQ(std::string(UsageLine()), "usage: corvan3d [--fullscreen | --root [--window-id ID] | --settings | --headless [--frames N] "
                                      "[--size WxH] [--step S] [--seed N] [--out DIR] [--trace FILE] [--stats]]");
  unsigned long id = 0;
  EXPECT_TRUE(ParseWindowId("0x1e00003", &id) && id == 0x1e00003ul && ParseWindowId("31457283", &id) && id == 31457283ul);
  for (const char* bad : {"", "0", "0x0", "0x", "-5", "+5", " 5", "5 ", "0x12g", "12.0", "window", "0x100000000", "4294967296"})
    EXPECT_FALSE(ParseWindowId(bad, &id)) << bad;
}

TEST(Trace, OneLineOfNumbersThatReadBackExactly) {
  MONEYSS world;  // its cleanup releases the notes; no GL is involved
  world.TOT_NUM_NOTES = 500;
  world.Notes = new ONENOTE[500]();
  ONENOTE& n = world.Notes[0];
  n.Pos = MakePoint(6.39285707f, 24.8314285f, -2.38999987f);
  n.Rot = MakePoint(0.0f, 223.988571f, -1.57029045f);
  n.NoteList = 19;
  n.SwingPhase = 11;
  n.Brightness = -5.56917572f;
  world.ActiveNotes = 0.114285715f;
  world.Camera.FadeRange = 214.285721f;
  const std::string line = TraceLine(0.02857142857142857, 0.02857142857142857, 2003, &world);
  EXPECT_EQ(line.substr(0, line.find("}, {")) + "}]}",
            "{\"RunTime\": 0.028571428571428571, \"StepTime\": 0.028571428571428571, \"RandDraws\": 2003, \"ActiveNotes\": 0.114285715, "
            "\"Camera\": {\"Pos\": [0, 0, 25], \"LookAt\": [0, 0, 0], \"Angle\": [0, 0, 0], \"Spinning\": false, \"Following\": false, "
            "\"FollowNote\": 0, \"FadeRange\": 214.285721}, \"Notes\": [{\"Pos\": [6.39285707, 24.8314285, -2.38999987], "
            "\"Rot\": [0, 223.988571, -1.57029045], \"Currency\": 0, \"NoteList\": 19, \"Tumbling\": 0, \"SwingPhase\": 11, "
            "\"Brightness\": -5.56917572}]}");
  // The first fifty notes, released or not; numbers JSON cannot hold are null.
  auto notes = [](const std::string& text) { int count = 0; for (size_t at = 0; (at = text.find("\"NoteList\"", at + 1)) != std::string::npos;) ++count; return count; };
  EXPECT_EQ(notes(line), 50);
  n.Brightness = 0.1f + 0.2f;
  n.Currency = 3;
  n.Tumbling = 1;
  world.Camera.Spinning = world.Camera.Following = true;
  world.Camera.FollowNote = 2;
  world.Camera.FadeRange = std::numeric_limits<float>::infinity();
  const std::string again = TraceLine(0.1 + 0.2, std::nan(""), 0, &world);
  EXPECT_EQ(std::strtod(again.c_str() + again.find("\"RunTime\": ") + 11, nullptr), 0.1 + 0.2);
  EXPECT_EQ(std::strtof(again.c_str() + again.find("\"Brightness\": ") + 14, nullptr), n.Brightness);
  for (const char* part : {"\"StepTime\": null", "\"Spinning\": true, \"Following\": true, \"FollowNote\": 2, \"FadeRange\": null",
                           "\"Currency\": 3, \"NoteList\": 19, \"Tumbling\": 1,"})
    EXPECT_NE(again.find(part), std::string::npos) << part;
  world.TOT_NUM_NOTES = 3;
  EXPECT_EQ(notes(TraceLine(0, 0, 0, &world)), 3);
  EXPECT_EQ(TraceLine(1.5, 0.5, 7, nullptr), "{\"RunTime\": 1.5, \"StepTime\": 0.5, \"RandDraws\": 7, \"ActiveNotes\": 0, \"Camera\": null, \"Notes\": []}");
  delete[] world.Notes;
  world.Notes = nullptr;  // a setup that failed before the notes were made
  EXPECT_NE(TraceLine(0, 0, 0, &world).find("\"Notes\": []}"), std::string::npos);
}

TEST(XScreenSaverWindow, TheGlxConfigurationAndTheMonitor) {
  auto config = [](unsigned long visual, bool doubleBuffer, int depth, int stencil = 0, int samples = 0) {
    return GlxConfigTraits{visual, true, true, doubleBuffer, depth, stencil, samples};
  };
  // Of the window's own visual: double-buffered, the deepest depth buffer, no stencil, no multisampling.
  std::vector<GlxConfigTraits> configs = {config(0x22, true, 32), config(0x21, false, 24), config(0x21, true, 0),
                                          config(0x21, true, 16, 0, 4), config(0x21, true, 24, 8), config(0x21, true, 16)};
  EXPECT_EQ(PickConfig(configs, 0x21), 5);
  EXPECT_EQ(PickConfig(configs, 0x99), -1);
  configs.push_back(config(0x21, true, 24));
  EXPECT_EQ(PickConfig(configs, 0x21), 6);
  configs = {config(0x21, true, 24), config(0x21, true, 24), config(0x21, false, 0)};
  configs[0].rgba = configs[1].window = false;  // RGBA and windows are a must
  EXPECT_EQ(PickConfig(configs, 0x21), 2);
  EXPECT_EQ(PickConfig({configs[0], configs[1]}, 0x21), -1);
  // The monitor under a point (else the first), and the primary (else the first).
  std::vector<MonitorRect> monitors = {{0, 0, 1920, 1080, false}, {1920, 0, 1280, 1024, true}};
  std::string at;
  for (auto [x, y] : {std::pair{960, 540}, {1920, 10}, {1919, 1079}, {3199, 1023}, {3199, 1024}, {5000, 5000}}) at += std::to_string(MonitorAt(monitors, x, y));
  EXPECT_EQ(at + std::to_string(PrimaryMonitor(monitors)), "0101001");
  monitors[1].primary = false;
  EXPECT_EQ(PrimaryMonitor(monitors) + MonitorAt({}, 1, 1) + PrimaryMonitor({}), 0);
}

TEST(Pacing, TicksKeepTheBeatWithoutBurstsAndOnlyADeliberateMoveEndsTheSaver) {
  TickPacer pacer(0.025);
  EXPECT_TRUE(pacer.Due(100.0));  // the first tick at once
  pacer.Ticked(100.0);
  EXPECT_FALSE(pacer.Due(100.024));
  EXPECT_TRUE(pacer.Due(100.025));
  EXPECT_EQ(pacer.MillisecondsToNext(100.0201), 5);  // rounded up: never early
  pacer.Ticked(100.030);  // a late tick does not shift the next one
  EXPECT_EQ(pacer.MillisecondsToNext(100.030), 20);
  pacer.Ticked(101.0);  // a second late: no burst of ticks to catch up
  EXPECT_FALSE(pacer.Due(101.0));
  EXPECT_EQ(pacer.MillisecondsToNext(101.0) * 100 + pacer.MillisecondsToNext(102.0), 2500);
  // The pointer "moves" as windows appear under it; after 0.75 s, 8 pixels of motion in all end the saver.
  MotionGate settling(10.0), gate(0.0);
  EXPECT_FALSE(settling.Quits(10.1, 300, 200) || settling.Quits(10.74, 50, 0));
  EXPECT_TRUE(settling.Quits(10.75, 8, 0));
  EXPECT_FALSE(gate.Quits(5.0, 1, -1) || gate.Quits(5.1, 0, 2) || gate.Quits(5.2, -1, 0));
  EXPECT_TRUE(gate.Quits(5.3, 2, -2));  // 1+1+2+1+2+2 = 9 pixels
}

TEST(Paths, TheBundleTheUsersCurrenciesAndTheCommonServices) {
  unsetenv("CORVAN3D_DATA_DIR");
  EXPECT_EQ(BundleFolder(), CORVAN_EXPECTED_BUNDLE);  // beside this binary, in build/bin, as beside the saver
  setenv("CORVAN3D_DATA_DIR", "/opt/notes", 1);
  setenv("HOME", "/home/ada", 1);
  std::string folders;
  for (const char* data : {"", "relative/path", "/data/ada"}) {  // a data home that is not absolute is ignored
    setenv("XDG_DATA_HOME", data, 1);
    folders += DefaultUserCurrencyFolder() + " ";
  }
  EXPECT_EQ(folders, "/home/ada/.local/share/corvan3d/CorvanData /home/ada/.local/share/corvan3d/CorvanData /data/ada/corvan3d/CorvanData ");
  struct Services : CommonServices {
    using CommonServices::CommonServices;
    std::unique_ptr<GLView> CreateGLView() override { return nullptr; }
  } services(nullptr);
  EXPECT_EQ(services.ResourcePath() + " " + services.UserCurrencyFolder(), "/opt/notes /data/ada/corvan3d/CorvanData");
  EXPECT_TRUE(services.WindowScreenNumber() == services.MainScreenNumber() && services.FileExists("/"));
  EXPECT_FALSE(services.FileExists("/no/such/corvan3d/file"));
  const double a = services.Now(), b = services.Now();
  EXPECT_LE(a, b);
  EXPECT_GT(services.SecondsSinceEpoch(), 1.6e9);  // the wall clock, for the seed
}

}  // namespace
