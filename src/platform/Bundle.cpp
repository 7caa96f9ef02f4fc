#include "platform/Bundle.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

std::string ExecutableFolder() {
  std::error_code error;
  const fs::path exe = fs::read_symlink("/proc/self/exe", error);
  return error ? std::string(".") : exe.parent_path().string();
}

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') return home;
  const passwd* user = getpwuid(getuid());
  return user != nullptr && user->pw_dir != nullptr ? user->pw_dir : "/";
}

// Relative values are invalid for XDG variables and are ignored.
std::string XdgFolder(const char* variable, const char* fallback) {
  const char* value = std::getenv(variable);
  return value != nullptr && value[0] == '/' ? value : HomeFolder() + fallback;
}

}  // namespace

std::string BundleFolder() {
  const char* override = std::getenv("CORVAN3D_DATA_DIR");
  if (override != nullptr && *override != '\0') return override;
  return (fs::path(ExecutableFolder()) / ".." / "share" / "corvan3d").lexically_normal().string();
}

std::string DefaultUserCurrencyFolder() {
  return XdgFolder("XDG_DATA_HOME", "/.local/share") + "/corvan3d/CorvanData";
}

std::string UserConfigFolder() { return XdgFolder("XDG_CONFIG_HOME", "/.config"); }
