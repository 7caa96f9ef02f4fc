// Fakes for the settings sheet: one control of every kind that remembers
// what was done to it, an interface file holding one per outlet, a toolkit
// whose chooser answers as told, and a network whose reads and downloads
// the test completes by hand.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "PropertyList.h"
#include "platform/Net.h"
#include "platform/Toolkit.h"

struct FakeControl : Button,
                     CheckBox,
                     PopUpButton,
                     IntegerField,
                     ProgressIndicator,
                     TextLabel,
                     TextField {
  void setEnabled(bool on) override { enabled = on; }
  bool isEnabled() const override { return enabled; }
  // Titles and labels are texts; states, numbers and the selected item the value.
  void setTitle(const std::string& text) override { texts.push_back(text); }
  void setStringValue(const std::string& text) override { texts.push_back(text); }
  void setState(int number) override { value = number; }
  void setIntValue(int32_t number) override { value = number; }
  int state() const override { return value; }
  int32_t intValue() const override { return value; }
  void removeAllItems() override { items.clear(), value = -1; }
  void addItemWithTitle(const std::string& title) override {
    items.push_back(title), value = std::max(value, 0);
  }
  void selectItemAtIndex(int i) override { value = i >= 0 && i < numberOfItems() ? i : -1; }
  int indexOfSelectedItem() const override { return value; }
  int numberOfItems() const override { return int(items.size()); }
  void setDoubleValue(double v) override { progress.push_back(v); }
  std::string stringValue() const override { return texts.empty() ? "" : texts.back(); }
  void setPlaceholder(const std::string& text) override { placeholder = text; }
  void startAnimation() override { animating = true; }
  void stopAnimation() override { animating = false; }
  bool enabled = true, animating = false;
  int value = 0;  // state, number or selected item
  std::vector<std::string> items, texts;
  std::string placeholder;
  std::vector<double> progress;
};

// The interface file: every outlet asked for, but `missing`, is there.
struct FakeInterface : InterfaceFile {
  FakeInterface() { controls["oRotMode"].items = {"0", "1", "2", "3"}; }
  std::map<std::string, FakeControl> controls;
  std::string missing;
  SheetWindow sheet;
  FakeControl* Find(const char* id) { return id == missing ? nullptr : &controls[id]; }
  SheetWindow* window(const char* id) override {
    return std::string(id) == "configureSheet" ? &sheet : nullptr;
  }
  Button* button(const char* id) override { return Find(id); }
  CheckBox* checkBox(const char* id) override { return Find(id); }
  PopUpButton* popUpButton(const char* id) override { return Find(id); }
  IntegerField* integerField(const char* id) override { return Find(id); }
  ProgressIndicator* progressIndicator(const char* id) override { return Find(id); }
  TextLabel* textLabel(const char* id) override { return Find(id); }
  TextField* textField(const char* id) override { return Find(id); }
};

// A request the test ends by hand.
struct FakeRequest : URLDownload {
  std::string url, destination, failure;  // url: the address, then " at most " the size
  bool cancelled = false;
  Network::TextHandler done;  // for a catalogue read
  void cancel() override { cancelled = true; }
  void setDestination(const std::string& path, bool overwrite) override {
    destination = path + (overwrite ? " (replacing)" : "");
  }
  void fail(const std::string& reason) override { failure = reason; }
};

// The toolkit and the network of the settings window.
struct FakeDesktop : Toolkit, Network {
  std::unique_ptr<FakeInterface> next = std::make_unique<FakeInterface>();  // the next one loaded
  FakeInterface* loaded = nullptr;
  ActionTable actions;
  std::string folderToChoose, opened;
  int sheetsEnded = 0;
  std::vector<std::unique_ptr<FakeRequest>> reads, downloads;

  std::unique_ptr<InterfaceFile> loadInterface(const char*, const ActionTable& table) override {
    actions = table;
    loaded = next.get();
    return std::move(next);
  }
  void endSheet(SheetWindow*) override { ++sheetsEnded; }
  bool chooseFolder(const char*, const char*, std::string* chosen) override {
    *chosen = folderToChoose;
    return !folderToChoose.empty();
  }
  bool openURL(const std::string& address, std::string* why) override {
    opened = address;
    *why = "no browser here";
    return false;
  }
  // Runs the action the interface file connected under this handler name.
  void Act(const std::string& handler) {
    for (auto& [name, run] : actions)
      if (name == handler) return run();
    ADD_FAILURE() << "no action " << handler;
  }
  NetRequest* readText(const std::string& url, size_t maxBytes, TextHandler done) override {
    return Add(reads, url, maxBytes, std::move(done));
  }
  URLDownload* startDownload(const std::string& url, int64_t maxBytes, DownloadCheck,
                             DownloadDelegate*) override {
    return Add(downloads, url, size_t(maxBytes), nullptr);
  }
  FakeRequest* Add(std::vector<std::unique_ptr<FakeRequest>>& to, const std::string& url,
                   size_t maxBytes, TextHandler done) {
    to.push_back(std::make_unique<FakeRequest>());
    to.back()->url = url + " at most " + std::to_string(maxBytes);
    to.back()->done = std::move(done);
    return to.back().get();
  }
  bool resolveURL(const std::string& base, const std::string& ref, std::string* url,
                  std::string*) override {
    *url = base.substr(0, base.rfind('/') + 1) + ref;
    return true;
  }
  bool parseArray(const std::string& text, std::vector<PropertyListItem>* items,
                  std::string* why) override {
    return ParsePropertyListArray(text, items, why);
  }
  // Answers the last catalogue read: a catalogue of these entries, or this text, or "refused".
  void Answer(bool ok, const std::vector<std::string>& entries, const std::string& text = "") {
    reads.back()->done(TextReply{ok, text.empty() ? WritePropertyListArray(entries) : text,
                                 ok ? "" : "refused",
                                 reads.back()->url.substr(0, reads.back()->url.find(" at most "))});
  }
};
