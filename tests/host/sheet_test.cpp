// The settings sheet and the downloads on fake controls and a fake network,
// over a real view and world: what the sheet shows, what Save stores and
// rebuilds, what Cancel leaves alone, how the catalogue is listed, how a
// download reports itself and which file it may replace.
#include <gtest/gtest.h>

#include "FakeHost.h"
#include "FakeSheet.h"
#include "config/Downloads.h"
#include "world/Notes.h"

namespace {

using Texts = std::vector<std::string>;
using Store = std::map<std::string, std::string>;
const char* const kOffers = "oAvailableDownloads";

class SheetTest : public HostTest {
protected:
  // A preview view over the currencies Alpha and Beta in the bundle and Gamma in the user's folder,
  // with its world running or not, and its sheet open.
  void Open(bool withWorld) {
    bundle.Write("A.dosh", Currency("Alpha", 1));
    bundle.Write("B.dosh", Currency("Beta", 2));
    user.Write("Mine.dosh", Currency("Gamma", 1));
    host.toolkit = &desk;
    host.network = &desk;
    host.values = {{"version", "1.1"},         {"NumNotes", "20"},  {"NoteSize", "100"},
                   {"RotMode", "2"},           {"ClockSize", "90"}, {"SelectedCurrency", "B.dosh"},
                   {"CurrencyPath2", user.dir}};
    view = MakeView(true);
    if (withWorld) Tick(*view, 0);
    ASSERT_NE(view->configureSheet(), nullptr);
  }
  FakeControl& C(const char* id) { return desk.loaded->controls[id]; }
  // Main monitor only, clock shown, 12-hour, zoom, rotation, note size and count, clock size,
  // currency.
  std::vector<int> Values() {
    std::vector<int> values;
    for (const char* id : {"oMainMonitorOnly", "oShowClock", "o12HrClock", "oZoomIn", "oRotMode",
                           "oNoteSize", "oNumNotes", "oClockSize", "oCurrency"})
      values.push_back(C(id).value);
    return values;
  }
  // One digit a control, 1 where enabled: by default the menu of offers, Download, Check for
  // Downloads, the folder and Save.
  std::string Enabled(std::vector<const char*> ids = {kOffers, "oDownload", "oCheckDownloads",
                                                      "oDirectory", "oSave"}) {
    std::string bits;
    for (const char* id : ids) bits += C(id).enabled ? '1' : '0';
    return bits;
  }
  std::string Status() { return C("oDownloadText").stringValue(); }
  void List(const Texts& catalogue, bool ok = true, const std::string& text = "") {
    desk.Act("configureSheet_checkdownloads");
    desk.Answer(ok, catalogue, text);
  }
  void Choose(const std::string& folder) {
    desk.folderToChoose = folder;
    desk.Act("configureSheet_directory");
  }
  // Starts downloading item k of the menu.
  FakeRequest* Download(int k) {
    C(kOffers).value = k;
    desk.Act("configureSheet_download");
    return desk.downloads.empty() ? nullptr : desk.downloads.back().get();
  }
  std::string Alert(const char* action) {
    std::string alert;
    ScopedAlertHandler catcher([&alert](const char* text, const char* caption) {
      alert = std::string(caption) + ": " + text;
    });
    desk.Act(action);
    return alert;
  }

  FakeDesktop desk;
  std::unique_ptr<Corvan3DSSView> view;
};

// The sheet shows the settings; Cancel stores nothing; Save stores every control and rebuilds the
// world.
TEST_F(SheetTest, ShowCancelAndSave) {
  TempDir other;  // a second folder, chosen in the sheet
  other.Write("Mine.dosh", Currency("Gamma", 1));
  Open(true);
  const MONEYSS* world = view->ssMain->World;
  Texts names = {"Mix Currencies"};  // then the world's currencies in its order
  for (int i = 0; i < world->NumCurrencies; ++i) names.push_back(world->Currencies[i].Name);
  EXPECT_EQ(C("oCurrency").items, names);
  EXPECT_EQ(names.at(size_t(C("oCurrency").value)), "Beta");
  const int beta = world->CurrentCurrency + 1;
  EXPECT_EQ(Values(), (std::vector<int>{0, 0, 0, 0, 2, 100, 20, 90, beta}));
  // The clock's size and 12-hour switch follow "show clock".
  EXPECT_EQ(Enabled({"oClockSize", "o12HrClock"}) + Enabled(), "0011111");
  // No catalogue server stored: the field shows the built-in one.
  EXPECT_EQ(C("oCatalogueServer").placeholder, "http://localhost:8000");
  EXPECT_EQ(C("oIdleMinutes").value, 5);
  C("oShowClock").value = 1;
  desk.Act("configureSheet_update");
  EXPECT_EQ(Enabled({"oClockSize", "o12HrClock"}), "11");
  desk.Act("configureSheet_defaults");
  EXPECT_EQ(Values(), (std::vector<int>{0, 0, 0, 1, 3, 150, 500, 90, beta}));
  const Store stored = host.values;
  Choose("/new/folder");
  EXPECT_EQ(desk.chooser, "Select Currency Folder from " + user.dir);
  EXPECT_EQ(C("oDirectory").texts, Texts{"/new/folder"});
  desk.Act("configureSheet_cancel");
  EXPECT_EQ(host.values, stored);
  EXPECT_EQ(view->mySettings.TOT_NUM_NOTES, 20);
  EXPECT_EQ(desk.sheetsEnded, 1);
  view->mySettings.MIXCURRENCY = true;
  view->configureSheet();
  EXPECT_EQ(C("oCurrency").value, 0);
  for (auto [id, value] : {std::pair{"oMainMonitorOnly", 1},
                           {"oShowClock", 1},
                           {"o12HrClock", 1},
                           {"oZoomIn", 1},
                           {"oRotMode", 1},
                           {"oNoteSize", 75},
                           {"oNumNotes", 30},
                           {"oClockSize", 120},
                           {"oCurrency", world->NumCurrencies},  // the last, the user's
                           {"oIdleMinutes", 12},
                           {"oIdleStart", 1}})
    C(id).value = value;
  C("oCatalogueServer").texts.push_back(" http://cat.example:81 ");
  Choose(other.dir);
  desk.Act("configureSheet_save");
  EXPECT_EQ(host.values, (Store{{"version", "1.1"},
                                {"MainMonitorOnly", "true"},
                                {"SelectedCurrency", "Mine.dosh"},
                                {"NoteSize", "75"},
                                {"NumNotes", "30"},
                                {"RotMode", "1"},
                                {"ZoomIn", "true"},
                                {"MixCurrency", "false"},
                                {"ShowClock", "true"},
                                {"Clock12Hr", "true"},
                                {"ClockSize", "120"},
                                {"CurrencyPath2", other.dir},
                                {"CatalogueServer", "http://cat.example:81"},
                                {"IdleMinutes", "12"}}));
  EXPECT_EQ(host.idleStart, true);
  EXPECT_GT(host.synchronizations, 0);
  world = view->ssMain->World;
  EXPECT_EQ(std::tuple(world->NoteScale, world->TOT_NUM_NOTES, view->glReady, desk.sheetsEnded),
            std::tuple(0.75f, 30, false, 2));
  EXPECT_STREQ(world->Currencies[world->CurrentCurrency].Name, "Gamma");
  // A start with the session that cannot be undone is said; the rest is saved.
  view->configureSheet();
  EXPECT_EQ(C("oIdleStart").value, 1);
  C("oIdleStart").value = 0;
  host.idleStartWorks = false;
  EXPECT_EQ(Alert("configureSheet_save"),
            "Start when idle: The saver cannot be stopped from starting when the computer is "
            "idle.\nsystemctl: no user manager");
  EXPECT_EQ(desk.sheetsEnded, 3);
}

// A Save the store cannot keep says so, and nothing behaves as saved: the sheet stays open, the
// view keeps its settings and its world.
TEST_F(SheetTest, ASaveThatCannotBeStoredSaysSo) {
  Open(true);
  host.problem = "baCorvan3D.conf: not saved: Permission denied";
  C("oNumNotes").value = 30;
  EXPECT_EQ(Alert("configureSheet_save"),
            "Settings not saved: Your settings could not be saved.\n" + host.problem);
  EXPECT_EQ(std::tuple(desk.sheetsEnded, view->mySettings.TOT_NUM_NOTES,
                       view->ssMain->World->TOT_NUM_NOTES, view->glReady),
            std::tuple(0, 20, 20, true));  // not rebuilt
}

// The catalogue offers what is not installed, in the bundle or the user's folder; while it is read
// nothing can be downloaded; its own errors say why on a second line and go once it is read.
TEST_F(SheetTest, TheCatalogueOffersWhatIsMissing) {
  Open(true);
  host.SetString("CatalogueServer", "http://cat.example:81/");
  view->configureSheet();
  EXPECT_EQ(C("oCatalogueServer").stringValue(), "http://cat.example:81/");
  desk.Act("configureSheet_checkdownloads");
  desk.Act("configureSheet_checkdownloads");  // a second click while reading does nothing
  ASSERT_EQ(desk.reads.size(), 1u);
  EXPECT_EQ(desk.reads[0]->url,
            "http://cat.example:81/mac/zips/corvan/corvanCurrencies-v11.plist at most 1048576");
  EXPECT_EQ(Enabled(), "00111");
  desk.Answer(true, {"Alpha;a.dosh", "Delta;d.dosh", "Gamma;g.dosh", "Epsilon;e.dosh;more;parts"});
  EXPECT_EQ(C(kOffers).items, (Texts{"Delta", "Epsilon"}));
  EXPECT_STREQ(view->downloadData[1].Location, "e.dosh");
  EXPECT_EQ(Enabled(), "11111");
  List({"Gamma;g.dosh"});  // nothing new: "None", and nothing to download
  EXPECT_EQ(C(kOffers).items, Texts{"None"});
  EXPECT_EQ(Enabled(), "00111");
  List({}, false);  // an unreachable server leaves the listing
  EXPECT_EQ(C(kOffers).items, Texts{"None"});
  EXPECT_EQ(view->numDownloads, 0u);
  const std::string n39(39, 'n'), p511(511, 'p');
  List({"Delta;d.dosh", "no separator", ";empty.dosh", "Empty;", n39 + "n;x.dosh", n39 + ";" + p511,
        "N;" + p511 + "p"});
  EXPECT_EQ(C(kOffers).items, (Texts{"Delta", n39}));
  EXPECT_EQ(Enabled(), "11111");
  for (const char* broken : {"not a property list", "<plist><dict/></plist>"})
    List({}, true, broken);
  const char odd[] =
      "<plist><array><integer>3</integer><string>A;a\0.dosh</string><string>B;b</string></array>"
      "</plist>";
  List({}, true, std::string(odd, sizeof odd - 1));
  EXPECT_EQ(C(kOffers).items, Texts{"B"});  // not strings, or strings holding a NUL, passed over
  EXPECT_EQ(C("oDownloadText").texts,
            (Texts{"Error! Could not connect to the server!\nrefused", "",
                   "Error! The catalogue could not be understood!\nnot a property list",
                   "Error! The catalogue could not be understood!\nthe property list's root is not "
                   "an array",
                   ""}));
}

// A download goes to the file its entry names, whatever the server suggests, says how it goes, and
// is cancelled with the view. Without a world nothing is filtered and Save stores "mix".
TEST_F(SheetTest, ADownloadSaysHowItGoes) {
  Open(false);
  List({"Delta;d.dosh", "Gamma;sub/Gamma%20New.dosh"});
  FakeRequest* request = Download(1);
  desk.Act("configureSheet_download");  // one download at a time
  ASSERT_EQ(desk.downloads.size(), 1u);
  view->download_decideDestinationWithSuggestedFilename(request, "Euro.dosh");
  EXPECT_EQ(request->url,
            "http://localhost:8000/mac/zips/corvan/sub/Gamma%20New.dosh at most 67108864");
  EXPECT_EQ(request->destination, user.dir + "/Gamma New.dosh (replacing)");
  EXPECT_EQ(Enabled(), "00000");
  EXPECT_TRUE(C("oProgress").animating);
  view->download_didReceiveResponse(request, 200000);
  for (int i = 0; i < 4; ++i) view->download_didReceiveDataOfLength(request, 50000);
  view->downloadDidFinish(request);
  EXPECT_EQ(C("oProgress").progress, (std::vector<double>{25, 50, 75, 100}));
  Texts said;
  for (const char* percent : {"25.00", "50.00", "75.00", "100.00"})
    said.push_back("Downloading, Please Wait: " + std::string(percent) + "% Complete\n");
  said.push_back("Download Complete!");
  EXPECT_EQ(C("oDownloadText").texts, said);
  // The bar stops, no download runs, and the catalogue is read again: meanwhile nothing is offered.
  EXPECT_EQ(std::tuple(Enabled(), C("oProgress").animating, view->theDownload, desk.reads.size()),
            std::tuple("00111", false, nullptr, 2u));
  desk.Answer(true, {"Delta;d.dosh"});
  EXPECT_EQ(Enabled(), "11111");
  EXPECT_EQ(Status(), "Download Complete!");
  // Without a length the bytes are counted; a listing ending meanwhile does not speak over it; a
  // failure is said.
  request = Download(0);
  view->download_didReceiveResponse(request, -1);
  view->download_didReceiveDataOfLength(request, 50000);
  List({}, false);
  EXPECT_EQ(Enabled(), "00000");
  EXPECT_EQ(Status(), "Downloading, Please Wait: 50000 bytes received\n");
  view->download_didFailWithError(request, NetError{"no data for 30 s", "http://h/d\x1b.dosh"});
  EXPECT_EQ(Status(), "Download failed! Error - no data for 30 s http://h/d\\x1B.dosh");
  EXPECT_EQ(Enabled(), "11111");  // usable again
  EXPECT_EQ(view->theDownload, nullptr);
  // An entry whose address names no currency file fails before anything is fetched.
  List({"Query;get.php?id=5"});
  Download(0);
  EXPECT_EQ(desk.downloads.size(), 2u);
  EXPECT_EQ(Status(),
            "Download failed! Error - unsafe file name \"get.php\" (a currency file name is "
            "letters, digits, \".\", \"-\", \"_\" and spaces, ending in \".dosh\") get.php?id=5");
  desk.Act("configureSheet_save");
  EXPECT_EQ(std::tuple(host.values["MixCurrency"], host.values["SelectedCurrency"]),
            std::tuple("true", "USA.dosh"));
  desk.browser = false;
  desk.Act("configureSheet_openwebsite");
  EXPECT_EQ(desk.opened.at(0).substr(0, 7), "file://");
  EXPECT_EQ(Status(), "The web page cannot be opened: no browser here");
  List({"Delta;d.dosh"});
  Download(0);
  desk.Act("configureSheet_checkdownloads");
  view.reset();  // closing the view cancels what runs
  EXPECT_EQ(std::tuple(desk.downloads.back()->cancelled, desk.reads.back()->cancelled),
            std::tuple(true, true));
  desk.next = std::make_unique<FakeInterface>();
  desk.next->controls.erase("oCatalogueServer");  // an interface file that lacks one gives no sheet
  EXPECT_EQ(MakeView(true)->configureSheet(), nullptr);
}

TEST(DownloadNames, TheEntrysLocationNamesTheFile) {
  for (const auto& [location, expected] : std::vector<std::pair<std::string, std::string>>{
           {"Euro.dosh", "Euro.dosh"},
           {"http://h/x/Japan.dosh", "Japan.dosh"},
           {"sub/Pound%20Sterling.dosh?v=2#top", "Pound Sterling.dosh"},
           {"../../etc/Swiss Franc_2-b.dosh", "Swiss Franc_2-b.dosh"},
           {"get.php?id=5", "unsafe file name \"get.php\""},
           {"http://h/", "unsafe file name \"\""},
           {"a%2F..%2Fb.dosh", "unsafe file name \"a/../b.dosh\""},
           {".hidden.dosh", "unsafe file name \".hidden.dosh\""},
           {"%2E%2e.dosh", "unsafe file name \"...dosh\""},
           {"Euro.DOSH", "unsafe file name \"Euro.DOSH\""},
           {"C:\\x\\Euro.dosh", "unsafe file name \"C:\\\\x\\\\Euro.dosh\""},
           {"caf%C3%A9.dosh", "unsafe file name \"caf\xc3\xa9.dosh\""},
           {"e%1B[31m.dosh", "unsafe file name \"e\\x1B[31m.dosh\""}}) {
    std::string name, why;
    const bool ok = DownloadFileName(location, &name, &why);
    EXPECT_EQ(ok ? name : why.substr(0, why.find(" (")), expected) << location;
  }
  FakeRequest request;
  ChooseDestination(&request, "/data", "x/Euro.dosh");
  EXPECT_EQ(request.destination, "/data/Euro.dosh (replacing)");
  ChooseDestination(&request, "", "Euro.dosh");
  EXPECT_EQ(request.failure, "no currency folder is set");
}

// Only a file of the currency asked for replaces only a file of the same currency (the rest is
// seen end to end, through corvan-dosh fetch): one that is not a currency is kept, saying why once.
TEST(DownloadedFiles, AFileThatIsNoCurrencyIsKept) {
  TempDir dir;
  dir.Write("peso.dosh", Currency("Test Peso", 1));
  Bytes junk;
  for (int i = 0; i < 300; ++i) junk.insert(junk.end(), {'C', 'O', 'R', 'V'});
  dir.Write("junk.dosh", junk);
  const std::atomic<bool> go{false}, stop{true};
  std::string why;
  CheckDownloadedCurrency(dir.Path("peso.dosh"), "Test Peso", dir.Path("junk.dosh"), go, &why);
  EXPECT_EQ(why, dir.Path("junk.dosh") +
                     " is kept: it is not a currency file: size check mismatch: file is 1200 "
                     "bytes, header says 2846732476");
  EXPECT_FALSE(CurrencyCheck("Test Peso")(dir.Path("peso.dosh"), dir.Path("new.dosh"), stop, &why));
  EXPECT_EQ(why, "cancelled");
}

}  // namespace
