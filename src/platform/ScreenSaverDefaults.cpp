#include "platform/ScreenSaverDefaults.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <cstdio>

std::string ScreenSaverDefaults::PathForModule(const std::string& module) {
  return std::string(g_get_user_config_dir()) + "/corvan3d/" + module + ".conf";
}

ScreenSaverDefaults::ScreenSaverDefaults(const std::string& module, const std::string& path)
    : group(module), path(path), file(g_key_file_new()) {
  GError* error = nullptr;
  if (g_key_file_load_from_file(file, path.c_str(), G_KEY_FILE_KEEP_COMMENTS, &error)) return;
  const bool missing = g_error_matches(error, G_FILE_ERROR, G_FILE_ERROR_NOENT);
  if (!missing) {
    // Keep what cannot be read for the user to look at; start afresh.
    const std::string aside = path + ".corrupt";
    problem = path + ": " + error->message + "; moved aside to " + aside;
    g_rename(path.c_str(), aside.c_str());
    std::fprintf(stderr, "corvan3d: %s\n", problem.c_str());
    g_key_file_free(file);
    file = g_key_file_new();
  }
  g_error_free(error);
}

ScreenSaverDefaults::~ScreenSaverDefaults() { g_key_file_free(file); }

bool ScreenSaverDefaults::HasKey(const char* key) {
  return g_key_file_has_key(file, group.c_str(), key, nullptr);
}

std::string ScreenSaverDefaults::StringForKey(const char* key) {
  gchar* value = g_key_file_get_string(file, group.c_str(), key, nullptr);
  std::string text = value ? value : "";
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
  gchar* folder = g_path_get_dirname(path.c_str());
  g_mkdir_with_parents(folder, 0700);
  g_free(folder);
  GError* error = nullptr;
  // g_key_file_save_to_file writes a temporary file and renames it.
  if (g_key_file_save_to_file(file, path.c_str(), &error)) return true;
  problem = path + ": " + error->message;
  g_error_free(error);
  return false;
}
