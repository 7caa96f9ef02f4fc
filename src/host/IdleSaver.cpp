#include "host/IdleSaver.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "platform/ScreenSaverView.h"

namespace {

constexpr double kNever = std::numeric_limits<double>::infinity();

}  // namespace

int IdleMinutes(PreferencesStore* store) {
  if (!store->HasKey("IdleMinutes")) return kDefaultIdleMinutes;
  const long long minutes = store->IntegerForKey("IdleMinutes");
  return int(std::clamp<long long>(minutes, 0, kLongestIdleMinutes));
}

IdleSaver::IdleSaver(IdleInhibitors* inhibitors, SaverProcess* saver, std::function<double()> now,
                     std::function<void(const std::string&)> say)
    : inhibitors(inhibitors), process(saver), now(std::move(now)), say(std::move(say)) {}

void IdleSaver::UserIdle() {
  if (idle || done) return;
  idle = true;
  MaybeStart();
}

void IdleSaver::UserActive() {
  idle = false;
  heldOff = false;
  if (saver == kRunning) {
    say("the user is back: the saver ends");
    EndSaver();
  }
}

void IdleSaver::WatchLost(const std::string& why) {
  if (done) return;
  say("the idle watch ended: " + why);
  lost = true;
  Quit();
}

void IdleSaver::Quit() {
  done = true;
  heldOff = false;
  if (saver == kRunning) EndSaver();
}

void IdleSaver::SaverEnded(const std::string& how) {
  const SaverState was = saver;
  saver = kNone;
  if (was != kRunning) {
    MaybeStart();  // the user may have gone idle again while it was ending
    return;
  }
  // Input in the saver's window ends it too, and the watch reports the user
  // back soon after. Nothing starts again before the next idle time, so a
  // saver that crashed is not restarted over and over.
  say("the saver ended by itself (" + how + ")");
}

void IdleSaver::Tick() {
  const double t = now();
  if (heldOff && t >= recheckAt) MaybeStart();
  if (saver == kEnding && !killed && t >= killAt) {
    say("the saver did not end within 5 s of SIGTERM: killed");
    process->Kill();
    killed = true;
  }
}

double IdleSaver::NextTick() const {
  const double recheck = heldOff ? recheckAt : kNever;
  const double kill = saver == kEnding && !killed ? killAt : kNever;
  return std::min(recheck, kill);
}

void IdleSaver::MaybeStart() {
  if (!idle || done || saver != kNone) return;
  std::string who;
  if (inhibitors->Inhibited(&who)) {
    if (!heldOff) say("idle, but " + who + " holds the saver off; asking again every 5 s");
    heldOff = true;
    recheckAt = now() + kRecheckSeconds;
    return;
  }
  heldOff = false;
  std::string why;
  if (!process->Start(&why)) {
    say("the saver could not start: " + why);
    return;
  }
  say("idle: the saver starts");
  saver = kRunning;
}

void IdleSaver::EndSaver() {
  process->Terminate();
  saver = kEnding;
  killAt = now() + kKillSeconds;
  killed = false;
}
