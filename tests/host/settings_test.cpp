// The settings record loaded from the preferences store, and the store
// itself: a key file that is saved atomically and never loses a file it
// cannot read.
#include "host/Settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "FakeHost.h"
#include "platform/ScreenSaverDefaults.h"

namespace {

// Notes, size in percent and as a scale, rotation, zoom, mix, clock shown, 12-hour, clock size,
// main monitor only, the selected file, the user's folder; and how often the store was saved.
using Loaded = std::tuple<long long, long long, float, int, bool, bool, bool, bool, long long, bool,
                          std::string, std::string, int>;

TEST(Settings, DefaultsUnlessThisVersion) {
  TempDir bundle, user;
  const std::string fallback = user.Path("CorvanData"), file = user.Path("notes.txt");
  FakeHost host(nullptr, bundle.dir, fallback);
  SETTINGS s;
  auto load = [&] {
    bool mainMonitorOnly = true;
    host.synchronizations = 0;
    LoadSettings(&host, &host, &s, &mainMonitorOnly);
    EXPECT_STREQ(s.CurrencyPath, bundle.dir.c_str());
    return Loaded(s.TOT_NUM_NOTES, s.LNOTESIZE, s.NoteSize, s.ROTMODE, s.ZOOMIN, s.MIXCURRENCY,
                  s.SHOWCLOCK, s.CLOCK12HR, s.CLOCKSIZE, mainMonitorOnly, s.SelectedCurrencyName,
                  s.CurrencyPath2, host.synchronizations);
  };
  auto reset = [](const std::string& folder, int saves) {
    return Loaded(500, 150, 1.5f, 3, true, false, false, false, 90, false, "USA.dosh", folder,
                  saves);
  };
  EXPECT_EQ(load(), reset(fallback, 2));  // a fresh store: the defaults, then the folder
  // What was loaded came from the store, so the defaults were written under their keys.
  EXPECT_EQ(host.values.size(), 12u);
  // Any other version, or none, is reset; in this one nothing is rewritten nor checked: ZoomIn
  // stays missing, so false.
  for (const std::string version : {"1.10", "none", "1.1"}) {
    host.values = {
        {"NoteSize", "75"},         {"NumNotes", "-3"},          {"RotMode", "7"},
        {"MixCurrency", "true"},    {"ShowClock", "true"},       {"Clock12Hr", "true"},
        {"ClockSize", "120"},       {"MainMonitorOnly", "true"}, {"SelectedCurrency", "Euro.dosh"},
        {"CurrencyPath2", user.dir}};
    if (version != "none") host.values["version"] = version;
    EXPECT_EQ(load(), version == "1.1" ? Loaded(-3, 75, 0.75f, 7, false, true, true, true, 120,
                                                true, "Euro.dosh", user.dir, 0)
                                       : reset(user.dir, 1))
        << version;
  }
  // A folder that has gone is replaced by the default, in the store too; only existence is tested,
  // so a plain file stays in use. A missing name leaves its field as it was; one too long for it
  // leaves it empty.
  user.Write("notes.txt", {1});
  for (auto [folder, used, saves] : {std::tuple{user.Path("gone"), fallback, 1}, {file, file, 0}}) {
    host.values = {{"version", "1.1"}, {"CurrencyPath2", folder}};
    EXPECT_EQ(load(), Loaded(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Euro.dosh", used, saves));
    EXPECT_EQ(host.values["CurrencyPath2"], used);
  }
  host.values["SelectedCurrency"] = std::string(20000, 'a');
  EXPECT_EQ(load(), Loaded(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "", file, 0));
}

// A file that is read but does not parse is moved aside, never over an earlier one, and what is set
// then is saved atomically, bytes and all, and read back by the next instance; when it cannot be
// moved it is left alone, and nothing is saved.
TEST(KeyFileStore, NeverLosesAFileItCannotParse) {
  const std::string corrupt = "[broken\n\xFF=",
                    text = "/home/caf\xE9/Z\xC5\x82oty  two\ttab\nline\\";
  for (int earlier : {1, 10}) {  // .corrupt, .corrupt.1, ... already there
    TempDir dir;
    std::filesystem::create_directory(dir.Path("corvan3d"));
    const std::string path = dir.Path("corvan3d/baCorvan3D.conf"), aside = path + ".corrupt.1";
    dir.Write("corvan3d/baCorvan3D.conf", Bytes(corrupt.begin(), corrupt.end()));
    for (int n = 0; n < earlier; ++n)
      dir.Write("corvan3d/baCorvan3D.conf.corrupt" + (n ? "." + std::to_string(n) : ""), {'x'});
    auto store = std::make_unique<ScreenSaverDefaults>("baCorvan3D", path);
    store->SetInteger("N", 5000000000LL);
    store->SetBool("Z", true);
    store->SetString("S", text);
    const bool moved = earlier < 10;
    EXPECT_NE(store->Problem().find(moved ? "; moved aside to " + aside : "cannot move it aside"),
              std::string::npos)
        << store->Problem();
    EXPECT_EQ(store->IntegerForKey("N"), 5000000000LL);  // set values are there at once
    EXPECT_EQ(store->Synchronize(), moved);
    EXPECT_EQ(ReadText(moved ? aside : path), corrupt);
    EXPECT_EQ(ReadText(path + ".corrupt"), "x");
    if (!moved) continue;
    store = std::make_unique<ScreenSaverDefaults>("baCorvan3D", path);
    EXPECT_EQ(std::tuple(store->Problem(), store->IntegerForKey("N"), store->BoolForKey("Z"),
                         store->StringForKey("S")),
              std::tuple("", 5000000000LL, true, text));
    EXPECT_EQ(ReadText(path).find("[baCorvan3D]\nN=5000000000\n"), 0u) << ReadText(path);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path("corvan3d")), {}),
              2 + earlier);  // no temporary file left beside it
  }
}

// A store that cannot be read may hold everything the user set: it is left as it is, the saver
// runs on the defaults and saves nothing. Tests run as root, so "cannot be read" is what root
// cannot read either: here a FIFO (an open would wait for ever).
TEST(KeyFileStore, AnUnreadableStoreIsLeftAlone) {
  TempDir dir;
  const std::string path = dir.Path("fifo.conf");
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  ScreenSaverDefaults store("baCorvan3D", path);
  EXPECT_EQ(store.Problem(), path +
                                 ": cannot be read: Is a FIFO; running on the defaults, and "
                                 "nothing will be saved");
  store.SetString("version", "1.1");
  EXPECT_FALSE(store.Synchronize());
  EXPECT_EQ(store.Problem(),
            path + ": not saved: the file there is kept as it is, since it cannot be read");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.dir), {}), 1)
      << "nothing moved aside, nothing written";
}

}  // namespace
