// The parts of corvan3d's hosts that need no display: the command line, the
// trace of the scene, the choice of a GLX configuration and the pacing of
// ticks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>

#include "GlxChoice.h"
#include "HostCommon.h"
#include "IdleAutostart.h"
#include "Options.h"
#include "Trace.h"
#include "world/Notes.h"

namespace {

template <class... T>
std::string Join(T... numbers) {
  std::string line;
  ((line += std::to_string(numbers) + " "), ...);
  return line;
}

// What a command line (words apart by spaces, '' an empty one) comes to: host, window id, frames,
// size, step, seed, out, trace and stats; or why it is refused.
std::string Parsed(const std::string& line) {
  std::istringstream in(line);
  const std::vector<std::string> words(std::istream_iterator<std::string>(in), {});
  std::vector<const char*> args;
  for (const std::string& word : words) args.push_back(word == "''" ? "" : word.c_str());
  Options o;
  std::string error;
  if (!ParseOptions(int(args.size()), args.data(), &o, &error)) return "refused: " + error;
  const char* hosts[] = {"window",   "fullscreen", "idle", "xscreensaver",
                         "settings", "headless",   "help", "version"};
  char text[512];
  std::snprintf(text, sizeof text, "%s %#lx %d %dx%d %.17g %s%u [%s] [%s]%s", hosts[int(o.host)],
                o.windowId, o.frames, o.width, o.height, o.step, o.hasSeed ? "seed " : "", o.seed,
                o.outDir.c_str(), o.traceFile.c_str(), o.stats ? " stats" : "");
  return text;
}

TEST(Options, EveryHostEveryValueAndEveryMistake) {
  const std::string
      all = "headless 0 7 320x240 0.050000000000000003 seed 42 [frames/] [t.jsonl] stats",
      plain = " 100 1280x720 0.028571428571428571 0 [] []";
  const std::string alone =
                        "refused: --frames, --size, --step, --seed, --out, --trace and --stats go "
                        "with --headless",
                    unknown = "refused: unknown option ";
  const std::string choose =
      "refused: choose one of --fullscreen, --idle, --root, --settings and --headless";
  const std::pair<std::string, std::string> cases[] = {
      {"", "window 0" + plain},
      {"--fullscreen", "fullscreen 0" + plain},
      {"-idle", "idle 0" + plain},
      {"--settings", "settings 0" + plain},
      {"-root", "xscreensaver 0" + plain},
      {"--headless --frames 7 --size 320x240 --step 0.05 --seed 42 --out frames/ --trace t.jsonl "
       "--stats",
       all},
      {"-headless -frames 7 -size 320X240 -step 0.05 -seed 42 -out frames/ -trace t.jsonl -stats",
       all},
      {"--headless --frames=3 -size=64x48 --out=a=b",
       "headless 0 3 64x48 0.028571428571428571 0 [a=b] []"},
      {"--headless --step 2", "headless 0 100 1280x720 2 0 [] []"},
      {"--headless --step 1/35 --seed 4294967295",
       "headless 0 100 1280x720 0.028571428571428571 seed 4294967295 [] []"},
      {"--root --window-id 0x2a00007", "xscreensaver 0x2a00007" + plain},
      {"-window-id 44040199 -root", "xscreensaver 0x2a00007" + plain},
      {"--window-id=0XFFFFFFFF", "xscreensaver 0xffffffff" + plain},
      {"--version --help", "help 0" + plain},  // help and version win over anything known
      {"--headless --fullscreen -h", "help 0" + plain},
      {"--headless -version --fullscreen", "version 0" + plain},
      {"--help --bogus", unknown + "\"--bogus\""},
      {"--headless fullscreen", unknown + "\"fullscreen\""},
      {"---root", unknown + "\"---root\""},
      {"--headless --frames", "refused: --frames needs a value"},
      {"--fullscreen=yes", "refused: --fullscreen takes no value"},
      {"--window-id 0", "refused: --window-id wants a window id (0x... or decimal), not \"0\""},
      {"--fullscreen --headless", choose},
      {"--idle --fullscreen", choose},
      {"--root --size 10x10", alone},
      {"--stats", alone},
      {"--headless --trace=", "refused: --trace: bad value \"\""}};
  for (const auto& [line, parsed] : cases) EXPECT_EQ(Parsed(line), parsed) << line;
  for (auto [name, value] : {std::pair{"frames", "0"},
                             {"frames", "-3"},
                             {"frames", "12x"},
                             {"size", "320"},
                             {"size", "0x240"},
                             {"size", "320x16385"},
                             {"step", "0"},
                             {"step", "2.001"},
                             {"step", "1/0"},
                             {"step", "nan"},
                             {"seed", "4294967296"},
                             {"seed", "-1"},
                             {"out", "''"}})
    EXPECT_EQ(Parsed(std::string("--headless --") + name + " " + value),
              std::string("refused: --") + name + ": bad value \"" + (*value == '\'' ? "" : value) +
                  "\"");
  EXPECT_EQ(std::string(UsageLine()),
            "usage: corvan3d [--fullscreen | --idle | --root [--window-id ID] | --settings | "
            "--headless [--frames N] "
            "[--size WxH] [--step S] [--seed N] [--out DIR] [--trace FILE] [--stats]]");
  unsigned long id = 0;  // the forms the table shows are taken; these not
  for (const char* bad : {"", "0", "0x0", "0x", "-5", "+5", " 5", "5 ", "0x12g", "12.0", "window",
                          "0x100000000", "4294967296"})
    EXPECT_FALSE(ParseWindowId(bad, &id)) << bad;
}

// Doubles with 17 significant digits and floats with 9 read back exactly; what JSON cannot hold is
// null.
TEST(Trace, NumbersReadBackExactly) {
  MONEYSS world;  // its cleanup releases the notes; no GL is involved
  world.TOT_NUM_NOTES = 1;
  world.Notes = new ONENOTE[1]();
  world.Notes[0].Pos = MakePoint(0.1f + 0.2f, 24.8314285f, -2.38999987f);
  world.Camera.FadeRange = std::numeric_limits<float>::infinity();
  world.Camera.Following = true;
  EXPECT_EQ(TraceLine(0.1 + 0.2, std::nan(""), 2003, &world),
            "{\"RunTime\": 0.30000000000000004, \"StepTime\": null, \"RandDraws\": 2003, "
            "\"ActiveNotes\": 0, \"Camera\": {\"Pos\": [0, 0, 25], "
            "\"LookAt\": [0, 0, 0], \"Angle\": [0, 0, 0], \"Spinning\": false, \"Following\": "
            "true, \"FollowNote\": 0, \"FadeRange\": null}, "
            "\"Notes\": [{\"Pos\": [0.300000012, 24.8314285, -2.38999987], \"Rot\": [0, 0, 0], "
            "\"Currency\": 0, \"NoteList\": 0, \"Tumbling\": 0, "
            "\"SwingPhase\": 0, \"Brightness\": 0}]}");
  EXPECT_EQ(TraceLine(1.5, 0.5, 7, nullptr),
            "{\"RunTime\": 1.5, \"StepTime\": 0.5, \"RandDraws\": 7, \"ActiveNotes\": 0, "
            "\"Camera\": null, \"Notes\": []}");
}

// A hack's window is on the monitor holding its centre (right and bottom
// edges belong to the next one); the primary monitor is the main screen.
TEST(Monitors, TheOneHoldingAPointAndThePrimary) {
  std::vector<MonitorRect> monitors = {{0, 0, 1920, 1080, false}, {1920, 0, 1280, 1024, true}};
  const int at[][3] = {
      {960, 540, 0}, {1920, 10, 1}, {1919, 1079, 0}, {5000, 5000, 0}};  // nowhere: the first
  for (const auto& p : at) EXPECT_EQ(MonitorAt(monitors, p[0], p[1]), p[2]) << p[0] << "," << p[1];
  EXPECT_EQ(PrimaryMonitor(monitors), 1);
  monitors[1].primary = false;
  EXPECT_EQ(PrimaryMonitor(monitors), 0);
  EXPECT_TRUE(MonitorAt({}, 1, 1) == 0 && PrimaryMonitor({}) == 0);
}

TEST(XScreenSaverHost, PicksTheWindowsOwnGlxConfigurationAndPacesItsTicks) {
  auto config = [](unsigned long visual, bool doubleBuffer, int depth, int stencil = 0,
                   int samples = 0) {
    return GlxConfigTraits{visual, true, true, doubleBuffer, depth, stencil, samples};
  };
  // Of the window's visual: double-buffered, the deepest depth buffer, no stencil, no
  // multisampling; RGBA and windows a must.
  std::vector<GlxConfigTraits> configs = {config(0x22, true, 32),    config(0x21, false, 24),
                                          config(0x21, true, 0),     config(0x21, true, 16, 0, 4),
                                          config(0x21, true, 24, 8), config(0x21, true, 16),
                                          config(0x21, true, 24),    config(0x21, true, 32)};
  configs[7].rgba = false;
  const int best = PickConfig(configs, 0x21);
  configs[6].window = false;
  EXPECT_EQ(Join(best, PickConfig(configs, 0x21), PickConfig(configs, 0x99)), "6 5 -1 ");
  TickPacer pacer(0.025);
  EXPECT_TRUE(pacer.Due(100.0));  // the first tick at once
  pacer.Ticked(100.0);
  EXPECT_EQ(Join(pacer.Due(100.024), pacer.Due(100.025), pacer.MillisecondsToNext(100.0201)),
            "0 1 5 ");    // never early
  pacer.Ticked(100.030);  // a late tick does not shift the next one
  EXPECT_EQ(pacer.MillisecondsToNext(100.030), 20);
  pacer.Ticked(101.0);  // a second late: no burst of ticks to catch up
  EXPECT_EQ(
      Join(pacer.Due(101.0), pacer.MillisecondsToNext(101.0), pacer.MillisecondsToNext(102.0)),
      "0 25 0 ");
}

// The switch "Start when the computer is idle": the user's autostart entry
// where no systemd manager of the user runs, else the unit through systemctl
// (here a script of the test's own in the PATH, which writes down its
// arguments and says what the state file holds).
TEST(IdleAutostart, TheEntryWithoutSystemdElseTheUnit) {
  char scratch[] = "/tmp/corvan3d-autostart-XXXXXX";
  const std::string dir = mkdtemp(scratch);
  const std::string entry = dir + "/config/autostart/corvan3d-idle.desktop";
  const std::string oldPath = std::getenv("PATH");
  setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
  setenv("PATH", (dir + ":" + oldPath).c_str(), 1);
  auto read = [](const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  std::string why;
  EXPECT_EQ(IdleStartEnabled(), false);
  EXPECT_EQ(SetIdleStart(true, &why), true) << why;
  EXPECT_EQ(read(entry),
            "[Desktop Entry]\nType=Application\nName=Corvan 3D idle watcher\n"
            "Comment=Starts the Corvan 3D screen saver when the computer is idle\n"
            "Exec=" +
                OwnProgram() + " --idle\nIcon=corvan3d\nTerminal=false\nNoDisplay=true\n");
  EXPECT_EQ(IdleStartEnabled(), true);
  std::ofstream(entry, std::ios::app) << "Hidden=true\n";
  EXPECT_EQ(IdleStartEnabled(), false);
  EXPECT_EQ(SetIdleStart(false, &why), true) << why;
  EXPECT_EQ(std::filesystem::exists(entry), false);

  std::filesystem::create_directory(dir + "/systemd");
  std::ofstream(dir + "/systemd/private") << "";
  std::ofstream(dir + "/systemctl") << "#!/bin/sh\necho \"$*\" >> " << dir << "/calls\n"
                                    << "[ \"$2\" = is-enabled ] && cat " << dir << "/state\n"
                                    << "[ -e " << dir << "/fail ] && exit 4\nexit 0\n";
  std::filesystem::permissions(dir + "/systemctl", std::filesystem::perms::owner_all);
  std::ofstream(dir + "/state") << "disabled\n";
  EXPECT_EQ(SetIdleStart(true, &why), true) << why;
  std::ofstream(dir + "/state") << "enabled\n";
  EXPECT_EQ(IdleStartEnabled(), true);
  std::ofstream(entry) << "[Desktop Entry]\n";  // one the user made: off goes for it too
  EXPECT_EQ(SetIdleStart(false, &why), true) << why;
  EXPECT_EQ(std::filesystem::exists(entry), false);
  const std::string unit = " corvan3d-idle.service\n";
  EXPECT_EQ(read(dir + "/calls"), "--user is-enabled" + unit + "--user enable --now" + unit +
                                      "--user is-enabled" + unit + "--user is-enabled" + unit +
                                      "--user disable --now" + unit);
  std::ofstream(dir + "/fail") << "";
  EXPECT_EQ(SetIdleStart(true, &why), false);
  EXPECT_EQ(why, "systemctl --user enable --now corvan3d-idle.service failed (exit status 4)");
  setenv("PATH", oldPath.c_str(), 1);
  std::filesystem::remove_all(dir);
}

}  // namespace
