#include "IdleAutostart.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

#include "HostCommon.h"
#include "platform/Bundle.h"

extern char** environ;

namespace {

constexpr const char* kUnit = "corvan3d-idle.service";

std::string AutostartEntry() { return UserConfigFolder() + "/autostart/corvan3d-idle.desktop"; }

// Runs a program found in the PATH, without a shell; its standard output
// goes to output, when given. The exit status, or -1 when it could not run.
int Run(std::vector<std::string> words, std::string* output) {
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(&word[0]);
  argv.push_back(nullptr);
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  pid_t pid = 0;
  const int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  char buffer[512];
  ssize_t got = 0;
  while ((got = read(fds[0], buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR))
    if (got > 0 && output != nullptr) output->append(buffer, size_t(got));
  close(fds[0]);
  int status = 0;
  if (error != 0 || waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The unit's state ("enabled", "disabled", ...) where the user's systemd
// manager runs and knows it; "" otherwise.
std::string UnitState() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime == nullptr || access((std::string(runtime) + "/systemd/private").c_str(), F_OK) != 0)
    return "";
  std::string state;
  Run({"systemctl", "--user", "is-enabled", kUnit}, &state);
  while (!state.empty() && (state.back() == '\n' || state.back() == ' ')) state.pop_back();
  return state;
}

// The user's entry starts the watcher unless it is hidden or turned off.
bool EntryEnabled() {
  std::ifstream entry(AutostartEntry());
  if (!entry) return false;
  std::string line;
  while (std::getline(entry, line))
    if (line == "Hidden=true" || line == "X-GNOME-Autostart-enabled=false") return false;
  return true;
}

bool WriteEntry(std::string* why) {
  const std::string path = AutostartEntry();
  const std::string folder = path.substr(0, path.rfind('/'));
  const std::string temporary = path + ".new";
  const std::string head =
      "[Desktop Entry]\n"
      "Type=Application\n"
      "Name=Corvan 3D idle watcher\n"
      "Comment=Starts the Corvan 3D screen saver when the computer is idle\n";
  const std::string tail = "Icon=corvan3d\nTerminal=false\nNoDisplay=true\n";
  const std::string text = head + "Exec=" + OwnProgram() + " --idle\n" + tail;
  mkdir(UserConfigFolder().c_str(), 0700);
  mkdir(folder.c_str(), 0700);
  std::ofstream out(temporary, std::ios::trunc);
  out << text;
  out.close();
  if (!out || std::rename(temporary.c_str(), path.c_str()) != 0) {
    *why = "cannot write " + path + ": " + std::strerror(errno);
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

bool RemoveEntry(std::string* why) {
  const std::string path = AutostartEntry();
  if (std::remove(path.c_str()) == 0 || errno == ENOENT) return true;
  *why = "cannot remove " + path + ": " + std::strerror(errno);
  return false;
}

bool Systemctl(const char* verb, std::string* why) {
  const int status = Run({"systemctl", "--user", verb, "--now", kUnit}, nullptr);
  if (status == 0) return true;
  *why = std::string("systemctl --user ") + verb + " --now " + kUnit + " failed (exit status " +
         std::to_string(status) + ")";
  return false;
}

}  // namespace

bool IdleStartEnabled() {
  const std::string state = UnitState();
  return state == "enabled" || state == "enabled-runtime" || EntryEnabled();
}

bool SetIdleStart(bool on, std::string* why) {
  const bool unit = !UnitState().empty();
  if (on) return unit ? Systemctl("enable", why) : WriteEntry(why);
  // Off everywhere it may be on; an entry of the user's own goes too.
  if (unit && !Systemctl("disable", why)) return false;
  return RemoveEntry(why);
}
