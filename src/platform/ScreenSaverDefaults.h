// The preferences store on Linux: a GLib key file,
// $XDG_CONFIG_HOME/corvan3d/<module>.conf, group [<module>]. Saving is
// atomic. Nothing the user had is lost: a file that is read but cannot be
// parsed is moved aside to ".corrupt" (never over an earlier one) and the
// store starts empty; a file that cannot be read (no permission, an I/O
// error, not a regular file) or moved aside is left as it is, the store
// starts empty and refuses to save for the whole run. Every failure is
// reported on standard error and kept in Problem().
#pragma once

#include <string>

#include "platform/ScreenSaverView.h"

typedef struct _GKeyFile GKeyFile;

class ScreenSaverDefaults : public PreferencesStore {
public:
  // The store of a module in the user's configuration folder.
  static std::string PathForModule(const std::string& module);

  ScreenSaverDefaults(const std::string& module, const std::string& path);
  ~ScreenSaverDefaults() override;

  bool HasKey(const char* key) override;
  std::string StringForKey(const char* key) override;
  bool BoolForKey(const char* key) override;
  long long IntegerForKey(const char* key) override;
  void SetString(const char* key, const std::string& value) override;
  void SetBool(const char* key, bool value) override;
  void SetInteger(const char* key, long long value) override;
  bool Synchronize() override;

  // Why the last load or save failed, if it did.
  std::string Problem() const override { return problem; }

private:
  // The file must stay as it is for the whole run (why, reason in short).
  void LeaveAlone(const std::string& why, const std::string& reason);

  std::string group;
  std::string path;
  GKeyFile* file;
  std::string problem;
  std::string keptBecause;  // not empty: the file must not be replaced, and why
  bool refusalReported = false;
};
