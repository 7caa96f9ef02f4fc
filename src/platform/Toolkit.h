// What the settings window needs from a windowing toolkit: its controls, an
// interface file that names them, a folder chooser and a way to open a web
// page. The view's sheet logic is written against these; the GTK binding
// (app/settings/GtkToolkit) and the tests' fakes implement them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class Control {
public:
  virtual ~Control() = default;
  virtual void setEnabled(bool enabled) = 0;
  virtual bool isEnabled() const = 0;
};

class Button : public Control {
public:
  virtual void setTitle(const std::string& title) = 0;
};

// A check box: state 1 is on, 0 off.
class CheckBox : public Control {
public:
  virtual void setState(int state) = 0;
  virtual int state() const = 0;
};

// A pop-up menu of titled items. The first item added to an empty menu is
// selected; indexOfSelectedItem is -1 only for an empty menu.
class PopUpButton : public Control {
public:
  virtual void removeAllItems() = 0;
  virtual void addItemWithTitle(const std::string& title) = 0;
  virtual void selectItemAtIndex(int index) = 0;
  virtual int indexOfSelectedItem() const = 0;
  virtual int numberOfItems() const = 0;
};

class IntegerField : public Control {
public:
  virtual void setIntValue(int32_t value) = 0;
  virtual int32_t intValue() const = 0;
};

// A bar from 0 to 100; its animation says that something is under way.
class ProgressIndicator : public Control {
public:
  virtual void setDoubleValue(double value) = 0;
  virtual void startAnimation() = 0;
  virtual void stopAnimation() = 0;
};

class TextLabel : public Control {
public:
  virtual void setStringValue(const std::string& text) = 0;
};

// A line of text the user edits; while empty it shows its placeholder.
class TextField : public Control {
public:
  virtual void setStringValue(const std::string& text) = 0;
  virtual std::string stringValue() const = 0;
  virtual void setPlaceholder(const std::string& text) = 0;
};

// A window the host shows as a sheet over its own.
class SheetWindow {
public:
  virtual ~SheetWindow() = default;
};

// A loaded interface file: its objects by id. Each getter gives null when
// the file has no object of that id and kind. The file owns its objects.
class InterfaceFile {
public:
  virtual ~InterfaceFile() = default;
  virtual SheetWindow* window(const char* id) = 0;
  virtual Button* button(const char* id) = 0;
  virtual CheckBox* checkBox(const char* id) = 0;
  virtual PopUpButton* popUpButton(const char* id) = 0;
  virtual IntegerField* integerField(const char* id) = 0;
  virtual ProgressIndicator* progressIndicator(const char* id) = 0;
  virtual TextLabel* textLabel(const char* id) = 0;
  virtual TextField* textField(const char* id) = 0;
};

// Signal handlers named in the interface file, and what each does.
using ActionTable = std::vector<std::pair<std::string, std::function<void()>>>;

class Toolkit {
public:
  virtual ~Toolkit() = default;
  // Loads the interface file of that name from the bundle and connects its
  // handlers to the actions; null (and a line on standard error) on failure.
  virtual std::unique_ptr<InterfaceFile> loadInterface(const char* name,
                                                       const ActionTable& actions) = 0;
  // Closes a sheet that the host showed.
  virtual void endSheet(SheetWindow* sheet) = 0;
  // Runs a modal chooser of one folder, starting in startFolder; true with
  // the chosen folder when the user confirms.
  virtual bool chooseFolder(const char* title, const char* startFolder, std::string* chosen) = 0;
  // Opens an address in the user's browser; the outcome is not awaited. False,
  // saying why, when no browser could be asked.
  virtual bool openURL(const std::string& address, std::string* why) = 0;
};
