// The idle watcher's decisions over time, on a clock the test moves: when the
// saver starts and ends, holds on it, a saver that ends by itself or will not
// end, and what it says. (The idle time read from the store, and a watch
// that is lost, run end to end.)
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "host/IdleSaver.h"

namespace {

// The desktop's hold and the saver process; every call is written down.
struct FakeDesktop : IdleInhibitors, SaverProcess {
  bool Inhibited(std::string* who) override {
    calls += "ask ";
    *who = "a video";
    return held;
  }
  bool Start(std::string* why) override {
    calls += "start ";
    *why = "no such file";
    return startable;
  }
  void Terminate() override { calls += "term "; }
  void Kill() override { calls += "kill "; }
  bool held = false, startable = true;
  std::string calls;
};

// At a time, an event; then what the watcher did: the calls it made, when it next wants a tick,
// and whether it has finished (with its exit status).
using Steps = std::vector<std::tuple<double, std::string, std::string>>;

// Runs the steps on a fresh watcher: what each did, and the log it wrote.
std::pair<Steps, std::string> Play(const Steps& steps) {
  FakeDesktop desktop;
  double clock = 0.0;
  std::pair<Steps, std::string> did;
  IdleSaver saver(
      &desktop, &desktop, [&] { return clock; },
      [&](const std::string& line) { did.second += line + "\n"; });
  for (const auto& [at, e, expected] : steps) {
    clock = at;
    desktop.calls.clear();
    if (e == "idle") saver.UserIdle();
    if (e == "active") saver.UserActive();
    if (e == "ended") saver.SaverEnded("exit status 1");
    if (e == "tick") saver.Tick();
    if (e == "lost") saver.WatchLost("the compositor went away");
    if (e == "quit") saver.Quit();
    if (e == "hold" || e == "release") desktop.held = e == "hold";
    if (e == "broken") desktop.startable = false;
    const double next = saver.NextTick();
    std::string done =
        desktop.calls + "next " + (std::isinf(next) ? "never" : std::to_string(int(next)));
    if (saver.Finished()) done += ", finished " + std::to_string(saver.ExitStatus());
    did.first.emplace_back(at, e, done);
  }
  return did;
}

TEST(IdleSaver, StartsWhenIdleEndsWhenBack) {
  for (const Steps& steps : std::vector<Steps>{
           // Held off: asked again every 5 s while idle; not once the user is back (a release
           // starting the saver, the user's return ending it, run end to end).
           {{0, "hold", "next never"},
            {10, "idle", "ask next 15"},
            {15, "tick", "ask next 20"},
            {16, "active", "next never"},
            {20, "tick", "next never"}},
           // A saver that ends by itself (a crash) is not restarted until the next idle time.
           {{10, "idle", "ask start next never"},
            {12, "ended", "next never"},
            {14, "idle", "next never"},
            {20, "active", "next never"},
            {30, "idle", "ask start next never"}},
           // One that cannot start is not tried again in the same idle time either.
           {{0, "broken", "next never"},
            {10, "idle", "ask start next never"},
            {99, "tick", "next never"},
            {100, "active", "next never"},
            {110, "idle", "ask start next never"}},
           // One that ignores SIGTERM is killed 5 s later, once.
           {{10, "idle", "ask start next never"},
            {20, "active", "term next 25"},
            {24, "tick", "next 25"},
            {25, "tick", "kill next never"},
            {26, "tick", "next never"}},
           // A repeated report changes nothing; idle again before the last saver has ended, the
           // next starts once it has.
           {{10, "idle", "ask start next never"},
            {11, "idle", "next never"},
            {20, "active", "term next 25"},
            {21, "idle", "next 25"},
            {22, "ended", "ask start next never"}},
           // A quit ends the watcher with status 0, and nothing runs after it (a lost watch, with
           // status 1, runs end to end).
           {{0, "hold", "next never"},
            {10, "idle", "ask next 15"},
            {11, "quit", "next never, finished 0"},
            {15, "tick", "next never, finished 0"}}})
    EXPECT_EQ(Play(steps).first, steps);
}

TEST(IdleSaver, SaysWhatItDoesAndWhy) {
  Steps steps;
  for (auto [at, event] : {std::pair{0, "hold"},
                           {10, "idle"},
                           {15, "tick"},
                           {16, "release"},
                           {20, "tick"},
                           {22, "ended"},
                           {30, "active"},
                           {31, "broken"},
                           {40, "idle"},
                           {50, "lost"}})
    steps.emplace_back(at, event, "");
  EXPECT_EQ(Play(steps).second,
            "idle, but a video holds the saver off; asking again every 5 s\n"
            "idle: the saver starts\n"
            "the saver ended by itself (exit status 1)\n"
            "the saver could not start: no such file\n"
            "the idle watch ended: the compositor went away\n");
}

}  // namespace
