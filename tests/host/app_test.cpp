// The parts of corvan3d's hosts that need no display: the command line, the
// choice of a GLX configuration and the pacing of ticks, and the switch that
// starts the idle watcher with the session. (The trace is read back end to end.)
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "GlxChoice.h"
#include "HostCommon.h"
#include "IdleAutostart.h"
#include "Options.h"

namespace {

using H = HostKind;

// A command line (words apart by spaces, '' an empty one) parsed; the error is empty when taken.
std::pair<Options, std::string> Parse(const std::string& line) {
  std::istringstream in(line);
  const std::vector<std::string> words(std::istream_iterator<std::string>(in), {});
  std::vector<const char*> args;
  for (const std::string& word : words) args.push_back(word == "''" ? "" : word.c_str());
  std::pair<Options, std::string> parsed;
  if (!ParseOptions(int(args.size()), args.data(), &parsed.first, &parsed.second))
    parsed.second = "refused: " + parsed.second;
  return parsed;
}

TEST(Options, EveryHostEveryValueAndEveryMistake) {
  // Help and version win over anything known; a window id means the XScreenSaver host. The
  // plain forms of each option run end to end.
  for (auto [line, host, id] : {std::tuple{"", H::kWindow, 0ul},
                                {"-window-id 44040199 -root", H::kXScreenSaver, 0x2a00007ul},
                                {"--window-id=0XFFFFFFFF", H::kXScreenSaver, 0xfffffffful},
                                {"--version -h", H::kHelp, 0ul},
                                {"--headless -version --fullscreen", H::kVersion, 0ul}}) {
    const auto [o, error] = Parse(line);
    EXPECT_EQ(std::tuple(error, o.host, o.windowId), std::tuple("", host, id)) << line;
  }
  // Frames, size, step, seed (if any), frames' folder, trace file, stats.
  for (auto [line, frames, w, h, step, hasSeed, seed, out, trace, stats] :
       {std::tuple{"-headless -frames=3 -size=64X48 -out=a=b -trace x -stats", 3, 64, 48, 1 / 35.0,
                   false, 0u, "a=b", "x", true},
        {"--headless --step 2 --size 16384x1", 100, 16384, 1, 2.0, false, 0u, "", "", false},
        {"--headless --step 1/35 --seed 4294967295", 100, 1280, 720, 1 / 35.0, true, 4294967295u,
         "", "", false}}) {
    const auto [o, error] = Parse(line);
    EXPECT_EQ(std::tuple(error, o.host, o.frames, o.width, o.height, o.step, o.hasSeed, o.seed,
                         o.outDir, o.traceFile, o.stats),
              std::tuple("", H::kHeadless, frames, w, h, step, hasSeed, seed, out, trace, stats))
        << line;
  }
  for (const auto& [line, error] : std::vector<std::pair<std::string, std::string>>{
           {"--help --bogus", "unknown option \"--bogus\""},
           {"--headless --frames", "--frames needs a value"},
           {"--fullscreen=yes", "--fullscreen takes no value"},
           {"--window-id 0", "--window-id wants a window id (0x... or decimal), not \"0\""},
           {"--idle --fullscreen",
            "choose one of --fullscreen, --idle, --root, --settings and --headless"},
           {"--root --size 10x10",
            "--frames, --size, --step, --seed, --out, --trace and --stats go with --headless"},
           {"--headless --trace=", "--trace: bad value \"\""}})
    EXPECT_EQ(Parse(line).second, "refused: " + error) << line;
  for (auto [name, value] : {std::pair{"frames", "0"},
                             {"size", "320x16385"},
                             {"step", "2.001"},
                             {"step", "nan"},
                             {"seed", "4294967296"},
                             {"seed", "-1"}})
    EXPECT_EQ(Parse(std::string("--headless --") + name + " " + value).second,
              std::string("refused: --") + name + ": bad value \"" + value + "\"");
  unsigned long id = 0;  // one past the largest taken above
  EXPECT_EQ(ParseWindowId("0x100000000", &id), false);
}

// A hack's window is on the monitor holding its centre (right and bottom edges belong to the next
// one; nowhere is the first); the primary monitor is the main screen.
TEST(XScreenSaverHost, MonitorGlxConfigurationAndPacing) {
  std::vector<MonitorRect> monitors = {{0, 0, 1920, 1080, false}, {1920, 0, 1280, 1024, true}};
  EXPECT_EQ(std::vector<int>({MonitorAt(monitors, 960, 540), MonitorAt(monitors, 1920, 10),
                              MonitorAt(monitors, 1919, 1079), MonitorAt(monitors, 5, 1080),
                              MonitorAt(monitors, 5000, 5000), PrimaryMonitor(monitors)}),
            std::vector<int>({0, 1, 0, 0, 0, 1}));
  monitors[1].primary = false;
  EXPECT_EQ(PrimaryMonitor(monitors), 0);
  // Of the window's visual: double-buffered, the deepest depth buffer, no stencil, no
  // multisampling; RGBA and windows a must.
  auto config = [](unsigned long visual, bool doubleBuffer, int depth, int stencil = 0,
                   int samples = 0) {
    return GlxConfigTraits{visual, true, true, doubleBuffer, depth, stencil, samples};
  };
  std::vector<GlxConfigTraits> configs = {config(0x22, true, 32),       config(0x21, false, 24),
                                          config(0x21, true, 16, 0, 4), config(0x21, true, 24, 8),
                                          config(0x21, true, 16),       config(0x21, true, 24),
                                          config(0x21, true, 32)};
  configs[6].rgba = false;
  EXPECT_EQ(PickConfig(configs, 0x21), 5);
  configs[5].window = false;
  EXPECT_EQ(PickConfig(configs, 0x21), 4);
  EXPECT_EQ(PickConfig(configs, 0x99), -1);
  TickPacer pacer(0.025);
  EXPECT_TRUE(pacer.Due(100.0));  // the first tick at once
  pacer.Ticked(100.0);
  EXPECT_EQ(std::tuple(pacer.Due(100.024), pacer.Due(100.025), pacer.MillisecondsToNext(100.0201)),
            std::tuple(false, true, 5));  // never early
  pacer.Ticked(100.030);                  // a late tick does not shift the next one
  EXPECT_EQ(pacer.MillisecondsToNext(100.030), 20);
  pacer.Ticked(101.0);  // a second late: no burst of ticks to catch up
  EXPECT_EQ(std::tuple(pacer.Due(101.0), pacer.MillisecondsToNext(101.0),
                       pacer.MillisecondsToNext(102.0)),
            std::tuple(false, 25, 0));
  TickPacer exact(0.25);  // a tick a whole interval late starts afresh too
  exact.Ticked(1.0);
  exact.Ticked(1.5);
  EXPECT_EQ(exact.MillisecondsToNext(1.5), 250);
}

// The switch "Start when the computer is idle": the user's autostart entry where no systemd
// manager of the user runs, else the unit through systemctl (here a script of the test's own in
// the PATH, which writes down its arguments and says what the state file holds).
TEST(IdleAutostart, TheEntryWithoutSystemdElseTheUnit) {
  char scratch[] = "/tmp/corvan3d-autostart-XXXXXX";
  const std::string dir = mkdtemp(scratch), entry = dir + "/config/autostart/corvan3d-idle.desktop",
                    oldPath = std::getenv("PATH");
  setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
  setenv("PATH", (dir + ":" + oldPath).c_str(), 1);
  auto read = [](const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  std::string why;
  EXPECT_EQ(SetIdleStart(true, &why), true) << why;
  EXPECT_EQ(read(entry),
            "[Desktop Entry]\nType=Application\nName=Corvan 3D idle watcher\nComment=Starts the "
            "Corvan 3D screen saver when the computer is idle\nExec=" +
                OwnProgram() + " --idle\nIcon=corvan3d\nTerminal=false\nNoDisplay=true\n");
  EXPECT_EQ(IdleStartEnabled(), true);

  std::filesystem::create_directory(dir + "/systemd");
  std::ofstream(dir + "/systemd/private") << "";
  std::ofstream(dir + "/systemctl") << "#!/bin/sh\necho \"$*\" >> " << dir << "/calls\n"
                                    << "[ \"$2\" = is-enabled ] && echo enabled\n"
                                    << "[ -e " << dir << "/fail ] && exit 4\nexit 0\n";
  std::filesystem::permissions(dir + "/systemctl", std::filesystem::perms::owner_all);
  EXPECT_EQ(IdleStartEnabled(), true);
  EXPECT_EQ(SetIdleStart(false, &why), true) << why;  // the entry goes too
  EXPECT_EQ(std::filesystem::exists(entry), false);
  EXPECT_EQ(read(dir + "/calls"),
            "--user is-enabled corvan3d-idle.service\n--user is-enabled "
            "corvan3d-idle.service\n--user disable --now corvan3d-idle.service\n");
  std::ofstream(dir + "/fail") << "";
  EXPECT_EQ(SetIdleStart(true, &why), false);
  EXPECT_EQ(why, "systemctl --user enable --now corvan3d-idle.service failed (exit status 4)");
  setenv("PATH", oldPath.c_str(), 1);
  std::filesystem::remove_all(dir);
}

}  // namespace
