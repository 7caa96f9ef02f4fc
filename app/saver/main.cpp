// corvan3d: banknotes falling through space, in a window, full screen, as an
// XScreenSaver hack, or offscreen. The options choose the host; the saver's
// preferences come only from its store.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Help.h"
#include "HostCommon.h"
#include "Hosts.h"
#include "Options.h"

namespace {

bool HaveDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

// Where frames go when there is no display to show them on.
std::string FallbackFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  struct stat info;
  if (runtime != nullptr && runtime[0] == '/' && stat(runtime, &info) == 0 && S_ISDIR(info.st_mode))
    return std::string(runtime) + "/corvan3d-frames";
  return "/tmp/corvan3d-frames";
}

// A look at the saver without a display: fifteen seconds of the scene in
// tenth-of-a-second steps, long enough for the notes to fill the view and the
// intro to come and go.
int RenderWithoutDisplay(Options options) {
  options.outDir = FallbackFolder();
  options.frames = 150;
  options.step = 0.1;
  std::printf("corvan3d: no display; rendering %d frames offscreen into %s\n", options.frames,
              options.outDir.c_str());
  std::fflush(stdout);
  return RunHeadlessHost(options);
}

int RunWindowOrFallBack(const Options& options) {
  if (!HaveDisplay()) return RenderWithoutDisplay(options);
  const int status = RunWindowHost(false);
  return status == kNoDisplay ? RenderWithoutDisplay(options) : status;
}

}  // namespace

int StartSettingsWindow() {
  const std::string own = OwnProgram();
  const size_t slash = own.rfind('/');
  std::string program = "corvan3d-settings";
  char* argv[] = {&program[0], nullptr};
  if (slash == std::string::npos) {
    execvp(argv[0], argv);  // found on the PATH, as this one was
  } else {
    program = own.substr(0, slash + 1) + program;
    argv[0] = &program[0];
    execv(argv[0], argv);
  }
  std::fprintf(stderr, "corvan3d: cannot start the settings window %s: %s\n", program.c_str(),
               std::strerror(errno));
  return 1;
}

int main(int argc, char** argv) {
  Options options;
  std::string error;
  if (!ParseOptions(argc - 1, argv + 1, &options, &error)) {
    std::fprintf(stderr, "corvan3d: %s\n%s\n", error.c_str(), UsageLine());
    return 1;
  }
  switch (options.host) {
    case HostKind::kHelp:
      std::printf("%s\n\n%s", UsageLine(), HelpText());
      return 0;
    case HostKind::kVersion:
      std::printf("%s\n", VersionLine());
      return 0;
    case HostKind::kSettings:
      return StartSettingsWindow();
    case HostKind::kIdle:
      return RunIdleHost();
    case HostKind::kHeadless:
      return RunHeadlessHost(options);
    case HostKind::kXScreenSaver:
      return RunXScreenSaverHost(options);
    case HostKind::kFullScreen: {
      const int status = RunWindowHost(true);
      return status == kNoDisplay ? 1 : status;
    }
    case HostKind::kWindow:
      break;
  }
  return RunWindowOrFallBack(options);
}
