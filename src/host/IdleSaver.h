// The idle watcher's decisions (corvan3d --idle): the saver starts once the
// user is idle and nothing holds it off, and ends when they are back. It
// never locks anything; locking stays the desktop's job.
#pragma once

#include <functional>
#include <string>

#include "platform/IdleWatch.h"

class PreferencesStore;

// The idle time in minutes from the store's integer "IdleMinutes": 5 when
// the key is missing, 0 (the watcher is off) for 0 or less, at most a day.
int IdleMinutes(PreferencesStore* store);
constexpr int kDefaultIdleMinutes = 5;
constexpr int kLongestIdleMinutes = 24 * 60;

class IdleSaver : public IdleListener {
public:
  // A hold is asked about again this often while the user stays idle.
  static constexpr double kRecheckSeconds = 5.0;
  // A saver still running this long after SIGTERM is killed.
  static constexpr double kKillSeconds = 5.0;

  // now: monotonic seconds; say: one line for the log (standard error).
  IdleSaver(IdleInhibitors* inhibitors, SaverProcess* saver, std::function<double()> now,
            std::function<void(const std::string&)> say);

  void UserIdle() override;
  void UserActive() override;
  void WatchLost(const std::string& why) override;
  // The saver process has ended, however; how says how ("exit status 1").
  void SaverEnded(const std::string& how);
  // The watcher itself is asked to stop (SIGTERM, the session ends).
  void Quit();

  // Asks a hold again, and kills a saver that will not end, when due.
  void Tick();
  // When Tick is next due, in the clock's seconds; infinity when never.
  double NextTick() const;

  // Stopped for good and the saver is gone: the watcher may exit, with this status.
  bool Finished() const { return done && saver == kNone; }
  int ExitStatus() const { return lost ? 1 : 0; }

private:
  void MaybeStart();
  void EndSaver();

  enum SaverState { kNone, kRunning, kEnding };

  IdleInhibitors* inhibitors;
  SaverProcess* process;
  std::function<double()> now;
  std::function<void(const std::string&)> say;

  SaverState saver = kNone;
  bool idle = false;
  bool heldOff = false;  // idle, but something holds the saver off; asked again at recheckAt
  bool done = false;     // quitting or lost: nothing starts any more
  bool lost = false;
  double recheckAt = 0.0;
  double killAt = 0.0;  // while kEnding and not yet killed
  bool killed = false;
};
