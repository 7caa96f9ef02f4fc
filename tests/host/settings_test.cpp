// The settings record loaded from the preferences store, and the store
// itself: a key file that is saved atomically and never loses a file it
// cannot read.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "FakeHost.h"
#include "TestFiles.h"
#include "host/Settings.h"
#include "platform/ScreenSaverDefaults.h"

namespace {

class SettingsTest : public ::testing::Test {
protected:
  SettingsTest() : host(nullptr, bundle.dir, user.Path("CorvanData")) {}

  void Load() { LoadSettings(&host.store, &host, &settings, &mainMonitorOnly); }

  TempDir bundle, user;
  FakeHost host;
  SETTINGS settings;
  bool mainMonitorOnly = true;
};

TEST_F(SettingsTest, FreshStoreGetsTheDefaults) {
  Load();
  const std::map<std::string, std::string> expected = {
      {"version", "1.1"},      {"MainMonitorOnly", "false"}, {"SelectedCurrency", "USA.dosh"},
      {"NoteSize", "150"},     {"NumNotes", "500"},          {"RotMode", "3"},
      {"ZoomIn", "true"},      {"MixCurrency", "false"},     {"ShowClock", "false"},
      {"Clock12Hr", "false"},  {"ClockSize", "90"},          {"CurrencyPath2", user.Path("CorvanData")}};
  EXPECT_EQ(host.store.values, expected);
  EXPECT_EQ(settings.TOT_NUM_NOTES, 500);
  EXPECT_EQ(settings.LNOTESIZE, 150);
  EXPECT_EQ(settings.NoteSize, 1.5f);
  EXPECT_EQ(settings.ROTMODE, 3);
  EXPECT_TRUE(settings.ZOOMIN);
  EXPECT_FALSE(settings.MIXCURRENCY);
  EXPECT_STREQ(settings.SelectedCurrencyName, "USA.dosh");
  EXPECT_FALSE(settings.SHOWCLOCK);
  EXPECT_FALSE(settings.CLOCK12HR);
  EXPECT_EQ(settings.CLOCKSIZE, 90);
  EXPECT_FALSE(mainMonitorOnly);
  EXPECT_STREQ(settings.CurrencyPath, bundle.dir.c_str());
  EXPECT_STREQ(settings.CurrencyPath2, user.Path("CorvanData").c_str());
  EXPECT_EQ(settings.SelectedCurrency, 0);
}

TEST_F(SettingsTest, AnOlderVersionIsResetToTheDefaults) {
  host.store.SetString("version", "1.0");
  host.store.SetInteger("NumNotes", 50);
  host.store.SetBool("ShowClock", true);
  Load();
  EXPECT_EQ(host.store.StringForKey("version"), "1.1");
  EXPECT_EQ(settings.TOT_NUM_NOTES, 500);
  EXPECT_FALSE(settings.SHOWCLOCK);
}

TEST_F(SettingsTest, TheCurrentVersionIsKeptAsItIs) {
  host.store.SetString("version", "1.1");
  host.store.SetInteger("NoteSize", 75);
  host.store.SetInteger("NumNotes", -3);  // no range checks here
  host.store.SetInteger("RotMode", 7);
  host.store.SetString("CurrencyPath2", user.dir);
  Load();
  EXPECT_EQ(settings.LNOTESIZE, 75);
  EXPECT_EQ(settings.NoteSize, 0.75f);
  EXPECT_EQ(settings.TOT_NUM_NOTES, -3);
  EXPECT_EQ(settings.ROTMODE, 7);
  EXPECT_FALSE(host.store.HasKey("ZoomIn"));  // nothing was rewritten
  EXPECT_FALSE(settings.ZOOMIN);
  EXPECT_STREQ(settings.SelectedCurrencyName, "");
  EXPECT_EQ(host.store.synchronizations, 0);
}

TEST_F(SettingsTest, AVanishedCurrencyFolderFallsBackToTheDefault) {
  host.store.SetString("version", "1.1");
  host.store.SetString("CurrencyPath2", user.Path("deleted"));
  Load();
  EXPECT_STREQ(settings.CurrencyPath2, user.Path("CorvanData").c_str());
  EXPECT_EQ(host.store.StringForKey("CurrencyPath2"), user.Path("CorvanData"));
  EXPECT_EQ(host.store.synchronizations, 1);

  // Only existence is tested: a plain file stays in use.
  const std::string file = user.Write("notes.txt", {1});
  host.store.SetString("CurrencyPath2", file);
  Load();
  EXPECT_STREQ(settings.CurrencyPath2, file.c_str());
}

TEST_F(SettingsTest, APathTooLongForItsFieldLeavesItEmpty) {
  host.store.SetString("version", "1.1");
  host.store.SetString("SelectedCurrency", std::string(20000, 'a'));
  std::strcpy(settings.SelectedCurrencyName, "old");
  Load();
  EXPECT_STREQ(settings.SelectedCurrencyName, "");
}

TEST(KeyFileStore, KeepsValuesAcrossInstances) {
  TempDir dir;
  const std::string path = dir.Path("corvan3d/baCorvan3D.conf");
  {
    ScreenSaverDefaults store("baCorvan3D", path);
    EXPECT_FALSE(store.HasKey("NumNotes"));
    EXPECT_EQ(store.IntegerForKey("NumNotes"), 0);
    EXPECT_FALSE(store.BoolForKey("ZoomIn"));
    EXPECT_EQ(store.StringForKey("SelectedCurrency"), "");
    store.SetInteger("NumNotes", 5000000000LL);
    store.SetBool("ZoomIn", true);
    store.SetString("SelectedCurrency", "Euro.dosh");
    EXPECT_EQ(store.IntegerForKey("NumNotes"), 5000000000LL);  // at once, before saving
    ASSERT_TRUE(store.Synchronize()) << store.Problem();
  }
  ScreenSaverDefaults again("baCorvan3D", path);
  EXPECT_EQ(again.IntegerForKey("NumNotes"), 5000000000LL);
  EXPECT_TRUE(again.BoolForKey("ZoomIn"));
  EXPECT_EQ(again.StringForKey("SelectedCurrency"), "Euro.dosh");
  const std::string text = [&] {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }();
  EXPECT_NE(text.find("[baCorvan3D]"), std::string::npos);
  EXPECT_NE(text.find("NumNotes=5000000000"), std::string::npos);
  // Nothing but the file itself is left in the folder.
  int entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path("corvan3d"))) entries += entry.exists();
  EXPECT_EQ(entries, 1);
}

// A file that is read but does not parse is moved aside, never over an
// earlier one; when it cannot be moved it is left alone, and nothing is saved.
TEST(KeyFileStore, ACorruptFileIsMovedAside) {
  const Bytes corrupt = {'[', 'b', 'r', 'o', 'k', 'e', 'n', '\n', 0xFF, '='};
  struct Case {
    int earlier;            // .corrupt, .corrupt.1, ... already there
    const char* movedTo;    // null: left where it is
  };
  for (const Case& c : {Case{0, ".corrupt"}, Case{1, ".corrupt.1"}, Case{10, nullptr}}) {
    TempDir dir;
    const std::string path = dir.Write("baCorvan3D.conf", corrupt);
    for (int n = 0; n < c.earlier; ++n) dir.Write("baCorvan3D.conf.corrupt" + (n ? "." + std::to_string(n) : ""), {'x'});
    ScreenSaverDefaults store("baCorvan3D", path);
    EXPECT_FALSE(store.HasKey("version"));
    store.SetString("version", "1.1");
    if (c.movedTo != nullptr) {
      EXPECT_NE(store.Problem().find("; moved aside to " + path + c.movedTo), std::string::npos) << store.Problem();
      EXPECT_EQ(ReadFileBytes(path + c.movedTo), corrupt);
      EXPECT_TRUE(store.Synchronize()) << store.Problem();
    } else {
      EXPECT_NE(store.Problem().find("cannot move it aside"), std::string::npos) << store.Problem();
      EXPECT_FALSE(store.Synchronize());
      EXPECT_EQ(ReadFileBytes(path), corrupt);
    }
    if (c.earlier > 0) {
      EXPECT_EQ(ReadFileBytes(path + ".corrupt"), Bytes{'x'});
    }
  }
}

// A store that cannot be read may hold everything the user set: it is left
// as it is, the saver runs on the defaults and saves nothing. Tests run as
// root, who reads any file whatever its mode, so "cannot be read" is made of
// what root cannot read either: a folder or a FIFO where the file should be,
// and a path through a plain file.
TEST(KeyFileStore, AnUnreadableStoreIsLeftAloneAndNeverWritten) {
  TempDir dir;
  std::filesystem::create_directory(dir.Path("folder.conf"));
  dir.Write("folder.conf/inside", {'k'});
  ASSERT_EQ(mkfifo(dir.Path("fifo.conf").c_str(), 0600), 0);
  dir.Write("plain", {'p'});
  const std::pair<std::string, std::string> cases[] = {
      {"folder.conf", "cannot be read: Is a directory"},
      {"fifo.conf", "cannot be read: Is a FIFO"},
      {"plain/baCorvan3D.conf", "cannot be read: Not a directory"},
  };
  for (const auto& [name, why] : cases) {
    const std::string path = dir.Path(name);
    ScreenSaverDefaults store("baCorvan3D", path);
    EXPECT_EQ(store.Problem(), path + ": " + why + "; running on the defaults, and nothing will be saved");
    store.SetString("version", "1.1");
    EXPECT_EQ(store.StringForKey("version"), "1.1");
    EXPECT_FALSE(store.Synchronize());
    EXPECT_EQ(store.Problem(), path + ": not saved: the file there is kept as it is, since it cannot be read");
  }
  EXPECT_EQ(ReadFileBytes(dir.Path("folder.conf/inside")), Bytes{'k'});
  EXPECT_EQ(ReadFileBytes(dir.Path("plain")), Bytes{'p'});
  int entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.dir)) entries += entry.exists();
  EXPECT_EQ(entries, 3) << "nothing moved aside, nothing written";
}

TEST(KeyFileStore, StringsReadBackAsTheBytesTheyHold) {
  TempDir dir;
  const std::string path = dir.Path("baCorvan3D.conf");
  const std::string values[] = {"/home/caf\xE9/CorvanData", "  two spaces\ttab\nline\\", "Z\xC5\x82oty"};
  {
    ScreenSaverDefaults store("baCorvan3D", path);
    for (size_t i = 0; i < 3; ++i) store.SetString(("Key" + std::to_string(i)).c_str(), values[i]);
    ASSERT_TRUE(store.Synchronize()) << store.Problem();
  }
  ScreenSaverDefaults again("baCorvan3D", path);
  EXPECT_EQ(again.Problem(), "");
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(again.StringForKey(("Key" + std::to_string(i)).c_str()), values[i]);
}

TEST(KeyFileStore, DefaultPathFollowsXdgConfigHome) {
  EXPECT_NE(ScreenSaverDefaults::PathForModule("baCorvan3D").find("/corvan3d/baCorvan3D.conf"),
            std::string::npos);
}

}  // namespace
