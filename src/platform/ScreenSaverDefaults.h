// The preferences store on Linux: a GLib key file,
// $XDG_CONFIG_HOME/corvan3d/<module>.conf, group [<module>]. Saving is
// atomic; a file that cannot be parsed is moved aside to ".corrupt" and the
// store starts empty, so nothing the user had is lost.
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
  const std::string& Problem() const { return problem; }

private:
  std::string group;
  std::string path;
  GKeyFile* file;
  std::string problem;
};
