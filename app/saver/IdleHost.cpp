// corvan3d --idle: a small resident watcher for the user's session that
// starts "corvan3d --fullscreen" after the idle time chosen in the store and
// ends it when the user is back. It never locks anything: the desktop keeps
// its own lock timer, which the saver does not hold off.
#include <fcntl.h>
#include <gio/gio.h>
#include <glib-unix.h>
#include <glib.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "HostCommon.h"
#include "Hosts.h"
#include "IdleBackends.h"
#include "host/IdleSaver.h"
#include "platform/ScreenSaverDefaults.h"

extern char** environ;

namespace {

void Say(const std::string& line) {
  std::fprintf(stderr, "corvan3d: %s\n", line.c_str());
  std::fflush(stderr);
}

// corvan3d --fullscreen, reaped through GLib's main loop; its end is
// reported to the watcher.
class FullScreenSaver : public SaverProcess {
public:
  FullScreenSaver() : program(OwnProgram()) {}
  void ReportTo(IdleSaver* saver) { watcher = saver; }

  bool Start(std::string* why) override {
    std::string option = "--fullscreen";
    char* argv[] = {&program[0], &option[0], nullptr};
    const int error = posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ);
    if (error != 0) {
      *why = program + ": " + std::strerror(error);
      return false;
    }
    g_child_watch_add(pid, Ended, this);
    return true;
  }
  void Terminate() override { kill(pid, SIGTERM); }
  void Kill() override { kill(pid, SIGKILL); }

private:
  static void Ended(GPid, gint status, gpointer data) {
    auto* self = static_cast<FullScreenSaver*>(data);
    char how[64];
    if (WIFSIGNALED(status))
      std::snprintf(how, sizeof how, "signal %d", WTERMSIG(status));
    else
      std::snprintf(how, sizeof how, "exit status %d", WEXITSTATUS(status));
    self->watcher->SaverEnded(how);
  }

  IdleSaver* watcher = nullptr;
  std::string program;
  pid_t pid = 0;
};

// CORVAN3D_IDLE_SECONDS, for tests: the idle time in seconds instead of the
// store's IdleMinutes; 0 when it is not set (or not a time).
unsigned SecondsForTests() {
  const char* seconds = std::getenv("CORVAN3D_IDLE_SECONDS");
  if (seconds == nullptr || *seconds == '\0') return 0;
  char* end = nullptr;
  const unsigned long value = std::strtoul(seconds, &end, 10);
  if (*end == '\0' && value > 0 && value <= kLongestIdleMinutes * 60ul) return unsigned(value);
  Say(std::string("CORVAN3D_IDLE_SECONDS=") + seconds +
      " is not a number of seconds from 1 to 86400: ignored");
  return 0;
}

unsigned StoredSeconds() { return unsigned(IdleMinutes(OpenPreferences().get())) * 60u; }

// One watcher a display: a second (the autostart entry and the unit both
// enabled) finds the lock held and leaves. The lock lasts as long as the
// process, so nothing needs to release it.
bool FirstOnThisDisplay(std::string* lockFile) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  const char* x11 = std::getenv("DISPLAY");
  std::string display = wayland != nullptr && *wayland != '\0' ? wayland
                        : x11 != nullptr                       ? x11
                                                               : "";
  for (char& c : display)
    if (c == '/') c = '_';
  if (runtime == nullptr || *runtime != '/') return true;
  *lockFile = std::string(runtime) + "/corvan3d-idle-" + display + ".lock";
  const int fd = open(lockFile->c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  return fd < 0 || flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
}

std::unique_ptr<IdleWatch> ChooseWatch(std::string* looked, std::string* handOver) {
  std::unique_ptr<IdleWatch> watch = OpenWaylandIdle(looked);
  if (watch == nullptr) watch = OpenMutterIdle(looked);
  if (watch == nullptr) watch = OpenX11Idle(looked, handOver);
  return watch;
}

// The watcher: the desktop's idle watch, armed with the idle time of the
// store, which it follows: a new IdleMinutes takes effect at once, 0 pauses.
class IdleHost {
public:
  explicit IdleHost(IdleSaver* machine) : machine(machine) {}
  ~IdleHost();

  // Chooses the watch, arms it, and keeps an eye on the store; false, having said why, on failure.
  bool Start(unsigned fixedSeconds, int* status);

private:
  bool Arm();
  static void StoreChanged(GFileMonitor*, GFile*, GFile*, GFileMonitorEvent, gpointer data);
  void Follow();

  IdleSaver* machine;
  std::unique_ptr<IdleWatch> watch;
  unsigned seconds = 0;
  GFileMonitor* monitor = nullptr;
};

IdleHost::~IdleHost() {
  if (monitor != nullptr) g_object_unref(monitor);
}

bool IdleHost::Start(unsigned fixedSeconds, int* status) {
  std::string looked, handOver;
  watch = ChooseWatch(&looked, &handOver);
  *status = handOver.empty() ? 1 : 0;
  if (!handOver.empty()) Say(handOver + "; this watcher leaves");
  if (watch == nullptr && handOver.empty()) Say("no way to tell when the user is idle: " + looked);
  if (watch == nullptr) return false;
  seconds = fixedSeconds != 0 ? fixedSeconds : StoredSeconds();
  if (fixedSeconds == 0) {
    GFile* store = g_file_new_for_path(ScreenSaverDefaults::PathForModule("baCorvan3D").c_str());
    monitor = g_file_monitor_file(store, G_FILE_MONITOR_WATCH_MOVES, nullptr, nullptr);
    g_object_unref(store);
    if (monitor != nullptr) g_signal_connect(monitor, "changed", G_CALLBACK(StoreChanged), this);
  }
  return Arm();
}

// A fresh watch with the idle time; none while the time is 0.
bool IdleHost::Arm() {
  if (seconds == 0) {
    watch.reset();
    Say("the idle watcher is off (IdleMinutes is 0 in the settings) until the settings give it a "
        "time");
    return true;
  }
  std::string looked, handOver, why;
  if (watch == nullptr) watch = ChooseWatch(&looked, &handOver);
  if (watch == nullptr) {
    Say("no way to tell when the user is idle any more: " + looked + handOver);
    return false;
  }
  if (!watch->Watch(seconds, machine, &why)) {
    Say("cannot watch the idle time through " + watch->Name() + ": " + why);
    return false;
  }
  Say("watching the idle time through " + watch->Name() + "; the saver starts after " +
      std::to_string(seconds) + " s without input");
  return true;
}

void IdleHost::StoreChanged(GFileMonitor*, GFile*, GFile*, GFileMonitorEvent, gpointer data) {
  static_cast<IdleHost*>(data)->Follow();
}

void IdleHost::Follow() {
  const unsigned stored = StoredSeconds();
  if (stored == seconds) return;
  seconds = stored;
  // Whoever changed the time was at the computer just now.
  machine->UserActive();
  watch.reset();
  if (!Arm()) machine->WatchLost("the idle watch could not be set up again");
}

gboolean QuitOnSignal(gpointer data) {
  Say("asked to stop");
  static_cast<IdleSaver*>(data)->Quit();
  return G_SOURCE_CONTINUE;
}

gboolean Wake(gpointer) { return G_SOURCE_REMOVE; }

// Runs GLib's loop until the watcher has finished, waking it for its ticks.
void RunLoop(IdleSaver* saver) {
  while (!saver->Finished()) {
    const double wait = saver->NextTick() - MonotonicSeconds();
    GSource* timer = nullptr;
    if (std::isfinite(wait)) {
      timer = g_timeout_source_new(guint(std::ceil(std::max(wait, 0.0) * 1000.0)));
      g_source_set_callback(timer, Wake, nullptr, nullptr);
      g_source_attach(timer, nullptr);
    }
    g_main_context_iteration(nullptr, TRUE);
    if (timer != nullptr) {
      g_source_destroy(timer);
      g_source_unref(timer);
    }
    saver->Tick();
  }
}

}  // namespace

int RunIdleHost() {
  std::string lockFile;
  if (!FirstOnThisDisplay(&lockFile)) {
    Say("another corvan3d --idle already watches this display (" + lockFile + " is held)");
    return 0;
  }
  FullScreenSaver process;
  std::string note;
  std::unique_ptr<IdleInhibitors> inhibitors = OpenInhibitors(&note);
  IdleSaver machine(inhibitors.get(), &process, MonotonicSeconds, Say);
  process.ReportTo(&machine);
  IdleHost host(&machine);
  int status = 1;
  if (!host.Start(SecondsForTests(), &status)) return status;
  if (!note.empty()) Say(note);
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) g_unix_signal_add(signal, QuitOnSignal, &machine);
  RunLoop(&machine);
  return machine.ExitStatus();
}
