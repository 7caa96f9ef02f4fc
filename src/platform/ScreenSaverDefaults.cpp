#include "platform/ScreenSaverDefaults.h"

#include <fcntl.h>
#include <glib.h>
#include <glib/gstdio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/RegularFile.h"

namespace {

// No store the saver writes comes near this; a larger file is not read whole.
constexpr size_t kLargestStore = 1 << 20;

enum class StoreFile { kMissing, kRead, kUnreadable };

// Reads the store file whole, if it is a regular file (a FIFO would block
// the read, a directory is no store).
StoreFile ReadStoreFile(const std::string& path, std::string* text, std::string* why) {
  const int fd = OpenRegularFile(path.c_str(), why);
  if (fd < 0) return errno == ENOENT ? StoreFile::kMissing : StoreFile::kUnreadable;
  char buffer[16384];
  ssize_t got = 0;
  while ((got = read(fd, buffer, sizeof buffer)) != 0) {
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) *why = std::strerror(errno);
    if (got > 0 && text->size() + size_t(got) > kLargestStore)
      *why = "larger than any settings file";
    if (got < 0 || !why->empty()) break;
    text->append(buffer, size_t(got));
  }
  close(fd);
  return why->empty() ? StoreFile::kRead : StoreFile::kUnreadable;
}

// Renames from to the first of to, to.1 ... to.9 that does not exist, never
// replacing a file. Returns the name used, or "" with *why.
std::string RenameAside(const std::string& from, const std::string& to, std::string* why) {
  for (int n = 0; n < 10; ++n) {
    const std::string name = n == 0 ? to : to + "." + std::to_string(n);
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, name.c_str(), RENAME_NOREPLACE) == 0)
      return name;
    // A file system that cannot promise not to replace: look first.
    if ((errno == EINVAL || errno == ENOSYS) && access(name.c_str(), F_OK) != 0 &&
        errno == ENOENT && g_rename(from.c_str(), name.c_str()) == 0)
      return name;
    if (errno != EEXIST) {
      *why = std::strerror(errno);
      return "";
    }
  }
  *why = to + " to " + to + ".9 all exist";
  return "";
}

void Report(const std::string& text) {
  std::fprintf(stderr, "corvan3d: %s\n", text.c_str());
  std::fflush(stderr);
}

// A value as the key file holds it, unescaped as g_key_file_get_string does
// but byte for byte, so that a value that is not UTF-8 reads back as the
// bytes it holds instead of as nothing.
std::string Unescape(const char* raw) {
  std::string text;
  for (const char* p = raw; *p != '\0'; ++p) {
    if (*p != '\\' || p[1] == '\0') {
      text += *p;
      continue;
    }
    switch (*++p) {
      case 's':
        text += ' ';
        break;
      case 'n':
        text += '\n';
        break;
      case 't':
        text += '\t';
        break;
      case 'r':
        text += '\r';
        break;
      case '\\':
        text += '\\';
        break;
      default:
        text += {'\\', *p};  // not an escape the key file writes: kept as it is
    }
  }
  return text;
}

}  // namespace

std::string ScreenSaverDefaults::PathForModule(const std::string& module) {
  return std::string(g_get_user_config_dir()) + "/corvan3d/" + module + ".conf";
}

ScreenSaverDefaults::ScreenSaverDefaults(const std::string& module, const std::string& path)
    : group(module), path(path), file(g_key_file_new()) {
  std::string text, why;
  switch (ReadStoreFile(path, &text, &why)) {
    case StoreFile::kMissing:
      return;
    case StoreFile::kUnreadable:
      // It may hold everything the user set: never replace what we cannot read.
      LeaveAlone(path + ": cannot be read: " + why, "it cannot be read");
      return;
    case StoreFile::kRead:
      break;
  }
  GError* error = nullptr;
  if (g_key_file_load_from_data(file, text.data(), text.size(), G_KEY_FILE_KEEP_COMMENTS, &error))
    return;
  const std::string broken = path + ": " + error->message;
  g_error_free(error);
  g_key_file_free(file);
  file = g_key_file_new();
  // Keep what cannot be parsed for the user to look at, and start afresh.
  const std::string aside = RenameAside(path, path + ".corrupt", &why);
  if (aside.empty()) {
    LeaveAlone(broken + "; cannot move it aside: " + why, "it cannot be moved aside");
    return;
  }
  problem = broken + "; moved aside to " + aside;
  Report(problem);
}

void ScreenSaverDefaults::LeaveAlone(const std::string& why, const std::string& reason) {
  keptBecause = reason;
  problem = why + "; running on the defaults, and nothing will be saved";
  Report(problem);
}

ScreenSaverDefaults::~ScreenSaverDefaults() { g_key_file_free(file); }

bool ScreenSaverDefaults::HasKey(const char* key) {
  return g_key_file_has_key(file, group.c_str(), key, nullptr);
}

std::string ScreenSaverDefaults::StringForKey(const char* key) {
  gchar* value = g_key_file_get_value(file, group.c_str(), key, nullptr);
  std::string text = value ? Unescape(value) : "";
  g_free(value);
  return text;
}

bool ScreenSaverDefaults::BoolForKey(const char* key) {
  return g_key_file_get_boolean(file, group.c_str(), key, nullptr);
}

long long ScreenSaverDefaults::IntegerForKey(const char* key) {
  return g_key_file_get_int64(file, group.c_str(), key, nullptr);
}

void ScreenSaverDefaults::SetString(const char* key, const std::string& value) {
  g_key_file_set_string(file, group.c_str(), key, value.c_str());
}

void ScreenSaverDefaults::SetBool(const char* key, bool value) {
  g_key_file_set_boolean(file, group.c_str(), key, value);
}

void ScreenSaverDefaults::SetInteger(const char* key, long long value) {
  g_key_file_set_int64(file, group.c_str(), key, value);
}

bool ScreenSaverDefaults::Synchronize() {
  if (!keptBecause.empty()) {
    problem = path + ": not saved: the file there is kept as it is, since " + keptBecause;
    if (!refusalReported) Report(problem);  // every save of the run is refused alike: said once
    refusalReported = true;
    return false;
  }
  gchar* folder = g_path_get_dirname(path.c_str());
  g_mkdir_with_parents(folder, 0700);
  g_free(folder);
  GError* error = nullptr;
  // g_key_file_save_to_file writes a temporary file and renames it.
  if (g_key_file_save_to_file(file, path.c_str(), &error)) return true;
  problem = path + ": not saved: " + error->message;
  g_error_free(error);
  Report(problem);
  return false;
}
