// corvan3d-settings: the settings window of Corvan 3D, a live preview of the
// saver with its options beside it. corvan3d --settings starts it too.
#include <cstdio>
#include <cstring>

#include "SettingsHost.h"

#ifndef CORVAN_VERSION
#error "CORVAN_VERSION must be the project's version"
#endif

namespace {

const char kUsage[] = "usage: corvan3d-settings [--help | --version]";

}  // namespace

int main(int argc, char** argv) {
  if (argc == 1) return RunSettingsHost();
  const char* option = argv[1];
  if (argc == 2 && (std::strcmp(option, "--help") == 0 || std::strcmp(option, "-h") == 0)) {
    std::printf(
        "%s\n\nThe settings window of Corvan 3D: a live preview of the saver and its\n"
        "options, stored in $XDG_CONFIG_HOME/corvan3d/baCorvan3D.conf. See corvan3d(6).\n",
        kUsage);
    return 0;
  }
  if (argc == 2 && std::strcmp(option, "--version") == 0) {
    std::printf("corvan3d-settings %s\n", CORVAN_VERSION);
    return 0;
  }
  std::fprintf(stderr, "corvan3d-settings: unexpected argument \"%s\"\n%s\n", option, kUsage);
  return 1;
}
