// The settings sheet and the downloads on fake controls and a fake network,
// over a real view and world. What runs end to end (Save, Cancel, Defaults,
// a catalogue listed and a download completed) is in tests/e2e; here: every
// control's key, the rebuilt world, failures to save, the catalogue's limits
// and errors, and a download's progress, failures and cancelling.
#include <gtest/gtest.h>

#include "FakeHost.h"
#include "FakeSheet.h"
#include "config/Downloads.h"
#include "world/Notes.h"

namespace {

using Texts = std::vector<std::string>;
const char* const kOffers = "oAvailableDownloads";

class SheetTest : public HostTest {
protected:
  // A preview view over the currency Beta in the bundle and Gamma in the user's folder, with its
  // world running or not, and its sheet open.
  void Open(bool withWorld) {
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
  // Starts downloading item k of the menu.
  FakeRequest* Download(int k) {
    C(kOffers).value = k;
    desk.Act("configureSheet_download");
    return desk.downloads.back().get();
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

// The sheet shows the settings, the clock's controls following "show clock"; Save stores every
// control under its key and rebuilds the world.
TEST_F(SheetTest, ShowAndSave) {
  TempDir other;  // a second folder, chosen in the sheet
  other.Write("Mine.dosh", Currency("Gamma", 1));
  Open(true);
  EXPECT_EQ(std::tuple(C("oCurrency").items, C("oCurrency").value, C("oRotMode").value),
            std::tuple(Texts{"Mix Currencies", "Beta", "Gamma"}, 1, 2));
  EXPECT_EQ(Enabled({"oClockSize", "o12HrClock"}), "00");  // they follow "show clock"
  // No catalogue server stored: the field shows the built-in one.
  EXPECT_EQ(C("oCatalogueServer").placeholder, "http://localhost:8000");
  for (auto [id, value] : {std::pair{"oMainMonitorOnly", 1},
                           {"oShowClock", 1},
                           {"o12HrClock", 1},
                           {"oZoomIn", 1},
                           {"oRotMode", 1},
                           {"oNoteSize", 75},
                           {"oNumNotes", 30},
                           {"oClockSize", 120},
                           {"oCurrency", 2},
                           {"oIdleMinutes", 12},
                           {"oIdleStart", 1}})
    C(id).value = value;
  C("oCatalogueServer").texts.push_back(" http://cat.example:81 ");
  desk.folderToChoose = other.dir;
  desk.Act("configureSheet_directory");
  desk.Act("configureSheet_save");
  EXPECT_EQ(host.values,
            (std::map<std::string, std::string>{{"version", "1.1"},
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
  const MONEYSS* world = view->ssMain->World;
  EXPECT_EQ(std::tuple(world->NoteScale, world->TOT_NUM_NOTES, view->glReady, desk.sheetsEnded,
                       std::string(world->Currencies[world->CurrentCurrency].Name)),
            std::tuple(0.75f, 30, false, 1, "Gamma"));
  // A start with the session that cannot be undone is said; the rest is saved.
  view->configureSheet();
  C("oIdleStart").value = 0;
  host.idleStartWorks = false;
  EXPECT_EQ(Alert("configureSheet_save"),
            "Start when idle: The saver cannot be stopped from starting when the computer is "
            "idle.\nsystemctl: no user manager");
  EXPECT_EQ(desk.sheetsEnded, 2);
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

// The catalogue offers what is not installed; while it is read nothing can be downloaded; its
// own errors say why on a second line and go once it is read. Names end before 40 characters and
// locations before 512 (a NUL, where a name or location may not hold one, is the plist reader's).
TEST_F(SheetTest, TheCatalogueOffersWhatIsMissing) {
  Open(true);
  host.SetString("CatalogueServer", "http://cat.example:81/");
  view->configureSheet();
  desk.Act("configureSheet_checkdownloads");
  desk.Act("configureSheet_checkdownloads");  // a second click while reading does nothing
  ASSERT_EQ(desk.reads.size(), 1u);
  EXPECT_EQ(desk.reads[0]->url,
            "http://cat.example:81/mac/zips/corvan/corvanCurrencies-v11.plist at most 1048576");
  EXPECT_EQ(Enabled(), "00111");
  desk.Answer(true, {"Beta;b.dosh", "Delta;d.dosh", "Gamma;g.dosh", "Epsilon;e.dosh;more;parts"});
  EXPECT_EQ(C(kOffers).items, (Texts{"Delta", "Epsilon"}));
  EXPECT_STREQ(view->downloadData[1].Location, "e.dosh");
  EXPECT_EQ(Enabled(), "11111");
  List({"Gamma;g.dosh"});  // nothing new: "None", and nothing to download
  EXPECT_EQ(std::tuple(C(kOffers).items, Enabled()), std::tuple(Texts{"None"}, "00111"));
  List({}, false);  // an unreachable server leaves the listing
  EXPECT_EQ(view->numDownloads, 0u);
  const std::string n39(39, 'n'), p511(511, 'p');
  List({";empty.dosh", "Empty;", n39 + "n;x.dosh", n39 + ";" + p511, "N;" + p511 + "p"});
  EXPECT_EQ(C(kOffers).items, Texts{n39});
  List({}, true, "not a property list");
  EXPECT_EQ(C("oDownloadText").texts,
            (Texts{"Error! Could not connect to the server!\nrefused", "",
                   "Error! The catalogue could not be understood!\nnot a property list"}));
}

// A download goes to the file its entry names, whatever the server suggests, one at a time; it
// says how it goes and is cancelled with the view (a completed one, and the listing after it, run
// end to end). Without a world nothing is filtered and Save stores "mix".
TEST_F(SheetTest, ADownloadSaysHowItGoes) {
  Open(false);
  List({"Delta;d.dosh", "Gamma;sub/Gamma%20New.dosh"});
  FakeRequest* request = Download(1);
  desk.Act("configureSheet_download");
  view->download_decideDestinationWithSuggestedFilename(request, "Euro.dosh");
  EXPECT_EQ(
      std::tuple(desk.downloads.size(), request->url, request->destination, Enabled(),
                 C("oProgress").animating),
      std::tuple(1u, "http://localhost:8000/mac/zips/corvan/sub/Gamma%20New.dosh at most 67108864",
                 user.dir + "/Gamma New.dosh (replacing)", "00000", true));
  // Without a length the bytes are counted; a listing ending meanwhile does not speak over it; a
  // failure is said, printably.
  view->download_didReceiveResponse(request, -1);
  view->download_didReceiveDataOfLength(request, 50000);
  List({}, false);
  EXPECT_EQ(std::tuple(Enabled(), Status()),
            std::tuple("00000", "Downloading, Please Wait: 50000 bytes received\n"));
  view->download_didFailWithError(request, NetError{"no data for 30 s", "http://h/d\x1b.dosh"});
  EXPECT_EQ(std::tuple(Enabled(), view->theDownload, C("oProgress").animating, Status()),
            std::tuple("11111", nullptr, false,
                       "Download failed! Error - no data for 30 s http://h/d\\x1B.dosh"));
  desk.Act("configureSheet_save");
  EXPECT_EQ(std::tuple(host.values["MixCurrency"], host.values["SelectedCurrency"]),
            std::tuple("true", "USA.dosh"));
  desk.Act("configureSheet_openwebsite");
  EXPECT_EQ(std::tuple(desk.opened.substr(0, 7), Status()),
            std::tuple("file://", "The web page cannot be opened: no browser here"));
  List({"Delta;d.dosh"});
  Download(0);
  desk.Act("configureSheet_checkdownloads");
  view.reset();  // closing the view cancels what runs
  EXPECT_EQ(std::tuple(desk.downloads.back()->cancelled, desk.reads.back()->cancelled),
            std::tuple(true, true));
  desk.next = std::make_unique<FakeInterface>();
  desk.next->missing = "oCatalogueServer";  // an interface file that lacks one gives no sheet
  EXPECT_EQ(MakeView(true)->configureSheet(), nullptr);
}

// A location's last segment, decoded, names the file; a refusal shows the name printably.
TEST(DownloadNames, TheEntrysLocationNamesTheFile) {
  for (const auto& [location, expected] : std::vector<std::pair<std::string, std::string>>{
           {"sub/Pound%20Sterling.dosh?v=2#top", "Pound Sterling.dosh"},
           {"get.php?id=5", "unsafe file name \"get.php\""},
           {".hidden.dosh", "unsafe file name \".hidden.dosh\""},
           {"a%2F..%2Fb.dosh", "unsafe file name \"a/../b.dosh\""},
           {"e%1B[31m.dosh", "unsafe file name \"e\\x1B[31m.dosh\""}}) {
    std::string name, why;
    const bool ok = DownloadFileName(location, &name, &why);
    EXPECT_EQ(ok ? name : why.substr(0, why.find(" (")), expected) << location;
  }
  FakeRequest request;
  ChooseDestination(&request, "", "Euro.dosh");
  EXPECT_EQ(request.failure, "no currency folder is set");
}

// What arrives must be a currency, and replaces no file that is not one (another currency's file
// kept and an update are seen end to end, through corvan-dosh fetch); a check can be cancelled.
TEST(DownloadedFiles, WhatIsNoCurrencyReplacesNothing) {
  TempDir dir;
  const std::string peso = dir.Write("peso.dosh", Currency("Test Peso", 1)),
                    empty = dir.Write("empty.dosh", {}),
                    junk = dir.Write("junk.dosh", Bytes(64, 7));
  const std::string junkWhy =
      "not a currency file: magic at offset 40 is \"\\x07\\x07\\x07\\x07\", expected \"CORV\"";
  const std::atomic<bool> go{false}, stop{true};
  for (const auto& [received, destination, expected] :
       {std::tuple{empty, peso, std::string("not a currency file: it is empty")},
        {junk, dir.Path("new.dosh"), junkWhy},
        {peso, junk, junk + " is kept: it is " + junkWhy}}) {
    std::string why;
    CheckDownloadedCurrency(received, "Test Peso", destination, go, &why);
    EXPECT_EQ(why, expected) << received << " over " << destination;
  }
  std::string why;
  CheckDownloadedCurrency(peso, "Test Peso", dir.Path("new.dosh"), stop, &why);
  EXPECT_EQ(why, "cancelled");
}

}  // namespace
