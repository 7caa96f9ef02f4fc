// The toolkit on GTK 3: interface files are GtkBuilder files in the bundle
// whose objects carry the outlets' ids and whose signal handlers carry the
// actions' names; sheets are modal windows over the host's own; alerts are
// modal message dialogs.
#pragma once

#include <string>

#include "platform/Toolkit.h"

typedef struct _GtkWindow GtkWindow;

class GtkToolkit : public Toolkit {
public:
  GtkToolkit(std::string bundleFolder, GtkWindow* parent) : bundle(std::move(bundleFolder)), parent(parent) {}

  std::unique_ptr<InterfaceFile> loadInterface(const char* name, const ActionTable& actions) override;
  void endSheet(SheetWindow* sheet) override;
  bool chooseFolder(const char* title, const char* startFolder, std::string* chosen) override;
  void openURL(const std::string& address) override;

  // Shows a sheet over the parent window; closing it with the window
  // manager is the same as its Cancel action.
  void showSheet(SheetWindow* sheet, std::function<void()> cancel);

  // True while an action, a modal chooser or an alert runs: the host's
  // ticks wait, so that no frame is drawn from a world being rebuilt.
  bool busy() const { return depth > 0; }

  // Shows alerts as modal dialogs with one "OK" button from now on.
  void installAlertDialogs();

  struct Busy;  // counts a stretch of busy time

private:
  std::string bundle;
  GtkWindow* parent;
  int depth = 0;
};
