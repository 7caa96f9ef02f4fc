// The toolkit on GTK 3: interface files are GtkBuilder files in the bundle
// whose objects carry the outlets' ids and whose signal handlers carry the
// actions' names. A sheet's content is shown inside the host's own window,
// in a place the host keeps for it, beside what the window already shows;
// alerts are modal message dialogs.
#pragma once

#include <functional>
#include <string>

#include "platform/Toolkit.h"

typedef struct _GtkWindow GtkWindow;
typedef struct _GtkContainer GtkContainer;

class GtkToolkit : public Toolkit {
public:
  // Sheets are shown in slot, a container inside parent.
  GtkToolkit(std::string bundleFolder, GtkWindow* parent, GtkContainer* slot);

  std::unique_ptr<InterfaceFile> loadInterface(const char* name,
                                               const ActionTable& actions) override;
  void endSheet(SheetWindow* sheet) override;
  bool chooseFolder(const char* title, const char* startFolder, std::string* chosen) override;
  bool openURL(const std::string& address, std::string* why) override;

  // Shows a sheet's content in the slot, its default button the window's
  // (Return in a field presses it) and its first field focused; Escape
  // runs cancel, as the sheet's Cancel button does.
  void showSheet(SheetWindow* sheet, std::function<void()> cancel);
  bool sheetShown() const { return shown != nullptr; }

  // True while an action, a modal chooser or an alert runs: the host's
  // ticks wait, so that no frame is drawn from a world being rebuilt.
  bool busy() const { return depth > 0; }

  // Shows alerts as modal dialogs with one "OK" button from now on.
  void installAlertDialogs();

  struct Busy;  // counts a stretch of busy time

private:
  std::string bundle;
  GtkWindow* parent;
  GtkContainer* slot;
  SheetWindow* shown = nullptr;
  int depth = 0;
};
