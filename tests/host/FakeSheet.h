// Fakes for the settings sheet: controls that remember what was done to
// them, an interface file holding one of each outlet, a toolkit whose
// chooser answers as told, and a network whose reads and downloads the test
// completes by hand.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Net.h"
#include "platform/PropertyList.h"
#include "platform/Toolkit.h"

template <class Interface>
struct FakeControl : Interface {
  void setEnabled(bool on) override { enabled = on; }
  bool isEnabled() const override { return enabled; }
  bool enabled = true;
};

struct FakeButton : FakeControl<Button> {
  void setTitle(const std::string& t) override { title = t; }
  std::string title;
};
struct FakeCheckBox : FakeControl<CheckBox> {
  void setState(int s) override { value = s; }
  int state() const override { return value; }
  int value = 0;
};
struct FakePopUp : FakeControl<PopUpButton> {
  void removeAllItems() override { items.clear(), selected = -1; }
  void addItemWithTitle(const std::string& t) override {
    items.push_back(t);
    if (selected < 0) selected = 0;
  }
  void selectItemAtIndex(int i) override { selected = i >= 0 && i < numberOfItems() ? i : -1; }
  int indexOfSelectedItem() const override { return selected; }
  int numberOfItems() const override { return int(items.size()); }
  std::vector<std::string> items;
  int selected = -1;
};
struct FakeField : FakeControl<IntegerField> {
  void setIntValue(int32_t v) override { value = v; }
  int32_t intValue() const override { return value; }
  int32_t value = 0;
};
struct FakeProgress : FakeControl<ProgressIndicator> {
  void setDoubleValue(double v) override { values.push_back(v); }
  void startAnimation() override { animating = true; }
  void stopAnimation() override { animating = false; }
  std::vector<double> values;
  bool animating = false;
};
struct FakeLabel : FakeControl<TextLabel> {
  void setStringValue(const std::string& t) override { texts.push_back(t); }
  std::string text() const { return texts.empty() ? "" : texts.back(); }
  std::vector<std::string> texts;
};

// The interface file's outlets by id; a test may leave one out.
struct FakeInterface : InterfaceFile {
  SheetWindow* window(const char* id) override { return Find(windows, id); }
  Button* button(const char* id) override { return Find(buttons, id); }
  CheckBox* checkBox(const char* id) override { return Find(boxes, id); }
  PopUpButton* popUpButton(const char* id) override { return Find(popUps, id); }
  IntegerField* integerField(const char* id) override { return Find(fields, id); }
  ProgressIndicator* progressIndicator(const char* id) override { return Find(bars, id); }
  TextLabel* textLabel(const char* id) override { return Find(labels, id); }

  template <class T>
  static T* Find(std::map<std::string, std::unique_ptr<T>>& from, const char* id) {
    auto it = from.find(id);
    return it == from.end() ? nullptr : it->second.get();
  }

  std::map<std::string, std::unique_ptr<SheetWindow>> windows;
  std::map<std::string, std::unique_ptr<FakeButton>> buttons;
  std::map<std::string, std::unique_ptr<FakeCheckBox>> boxes;
  std::map<std::string, std::unique_ptr<FakePopUp>> popUps;
  std::map<std::string, std::unique_ptr<FakeField>> fields;
  std::map<std::string, std::unique_ptr<FakeProgress>> bars;
  std::map<std::string, std::unique_ptr<FakeLabel>> labels;
  ActionTable actions;
};

inline std::unique_ptr<FakeInterface> MakeSheetInterface() {
  auto file = std::make_unique<FakeInterface>();
  file->windows["configureSheet"] = std::make_unique<SheetWindow>();
  for (const char* id : {"oSave", "oDirectory", "oCheckDownloads", "oDownload"})
    file->buttons[id] = std::make_unique<FakeButton>();
  for (const char* id : {"oMainMonitorOnly", "oShowClock", "o12HrClock", "oZoomIn"})
    file->boxes[id] = std::make_unique<FakeCheckBox>();
  for (const char* id : {"oCurrency", "oRotMode", "oAvailableDownloads"})
    file->popUps[id] = std::make_unique<FakePopUp>();
  for (int i = 0; i < 4; ++i) file->popUps["oRotMode"]->items.push_back("mode " + std::to_string(i));
  for (const char* id : {"oClockSize", "oNoteSize", "oNumNotes"}) file->fields[id] = std::make_unique<FakeField>();
  file->bars["oProgress"] = std::make_unique<FakeProgress>();
  file->labels["oDownloadText"] = std::make_unique<FakeLabel>();
  return file;
}

struct FakeToolkit : Toolkit {
  std::unique_ptr<InterfaceFile> loadInterface(const char* name, const ActionTable& table) override {
    loadedName = name;
    if (!next) return nullptr;
    next->actions = table;
    loaded = next.get();
    return std::move(next);
  }
  void endSheet(SheetWindow*) override { ++sheetsEnded; }
  bool chooseFolder(const char* title, const char* start, std::string* chosen) override {
    chooserTitle = title;
    chooserStart = start;
    *chosen = folderToChoose;
    return !folderToChoose.empty();
  }
  void openURL(const std::string& address) override { opened.push_back(address); }

  // Runs the action the interface file connected under this handler name.
  void Act(const std::string& handler) {
    for (auto& [name, run] : loaded->actions)
      if (name == handler) return run();
    ADD_FAILURE() << "no action " << handler;
  }

  std::unique_ptr<FakeInterface> next = MakeSheetInterface();
  FakeInterface* loaded = nullptr;
  std::string loadedName, chooserTitle, chooserStart, folderToChoose;
  int sheetsEnded = 0;
  std::vector<std::string> opened;
};

// A request the test ends by hand; cancel() counts.
struct FakeRequest : URLDownload {
  void cancel() override { cancelled = true; }
  void setDestination(const std::string& path, bool overwrite) override {
    destination = path;
    allowOverwrite = overwrite;
  }
  void fail(const std::string& reason) override { failure = reason; }
  std::string url, destination, failure;
  bool allowOverwrite = false, cancelled = false;
  Network::TextHandler done;
};

struct FakeNetwork : Network {
  NetRequest* readText(const std::string& url, size_t maxBytes, TextHandler done) override {
    reads.push_back(std::make_unique<FakeRequest>());
    reads.back()->url = url;
    reads.back()->done = std::move(done);
    limit = maxBytes;
    return reads.back().get();
  }
  URLDownload* startDownload(const std::string& url, int64_t, DownloadCheck c, DownloadDelegate* d) override {
    downloads.push_back(std::make_unique<FakeRequest>());
    downloads.back()->url = url;
    check = std::move(c);
    delegate = d;
    return downloads.back().get();
  }
  bool resolveURL(const std::string& base, const std::string& ref, std::string* url, std::string* why) override {
    if (ref.find("://") != std::string::npos) {
      *why = "absolute";
      *url = ref;
      return ref.compare(0, 4, "http") == 0;
    }
    *url = base.substr(0, base.rfind('/') + 1) + ref;
    return true;
  }
  bool parseArray(const std::string& text, std::vector<PropertyListItem>* items, std::string* why) override {
    return ParsePropertyListArray(text, items, why);
  }

  // Answers the last catalogue read.
  void Answer(bool ok, const std::string& text) { reads.back()->done(ok, text, ok ? "" : "refused"); }

  std::vector<std::unique_ptr<FakeRequest>> reads, downloads;
  size_t limit = 0;
  DownloadCheck check;
  DownloadDelegate* delegate = nullptr;
};
