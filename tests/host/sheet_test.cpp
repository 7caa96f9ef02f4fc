// The settings sheet and the downloads on fake controls and a fake network,
// over a real view and world: what the sheet shows, what Save stores and
// rebuilds, what Cancel leaves alone, how the catalogue is listed and how a
// download reports itself.
#include <gtest/gtest.h>

#include "FakeHost.h"
#include "FakeSheet.h"
#include "config/Downloads.h"
#include "world/Notes.h"

namespace {

using Texts = std::vector<std::string>;

class SheetTest : public HostTest {
protected:
  // A preview view over the currencies Alpha and Beta in the bundle and Gamma in the user's folder, with
  // its world running or not, and its sheet open.
  void Open(bool withWorld) {
    WriteCurrency(bundle, "A.dosh", "Alpha", 1); WriteCurrency(bundle, "B.dosh", "Beta", 2); WriteCurrency(user, "Mine.dosh", "Gamma", 1);
    host.toolkit = &desk; host.network = &desk;
    host.values = {{"version", "1.1"}, {"NumNotes", "20"}, {"NoteSize", "100"}, {"RotMode", "2"}, {"ClockSize", "90"},
                         {"SelectedCurrency", "B.dosh"}, {"CurrencyPath2", user.dir}};
    view = MakeView(true);
    if (withWorld) Tick(*view, 0);
    ASSERT_NE(view->configureSheet(), nullptr);
  }
  FakeControl& C(const char* id) { return desk.loaded->controls[id]; }
  // The controls in one line: main monitor only, clock shown, 12-hour, zoom, rotation, note size, note
  // count, clock size, currency; then which are enabled: the clock's size and 12-hour switch, and the
  // five controls a download disables.
  std::string Shown() {
    std::string line;
    for (const char* id : {"oMainMonitorOnly", "oShowClock", "o12HrClock", "oZoomIn", "oRotMode", "oNoteSize", "oNumNotes", "oClockSize", "oCurrency", "|",
                           "oClockSize", "o12HrClock", "|", "oAvailableDownloads", "oDownload", "oCheckDownloads", "oDirectory", "oSave"})
      line += *id == '|' ? "|" : line.find('|') == std::string::npos ? std::to_string(C(id).value) + " " : C(id).enabled ? "1" : "0";
    return line;
  }
  // The downloads offered, and whether their menu is enabled.
  std::string Offers() {
    std::string line;
    for (const std::string& item : C("oAvailableDownloads").items) line += item + ",";
    return line + (C("oAvailableDownloads").enabled ? " 1" : " 0");
  }
  void List(const Texts& catalogue) {
    desk.Act("configureSheet_checkdownloads");
    desk.Answer(true, catalogue);
  }
  void Choose(const std::string& folder) {
    desk.folderToChoose = folder;
    desk.Act("configureSheet_directory");
  }

  FakeDesktop desk;
  std::unique_ptr<Corvan3DSSView> view;
};

// The sheet shows the settings; Cancel stores nothing; Save stores every control and rebuilds the world.
TEST_F(SheetTest, ShowCancelAndSave) {
  Scratch other;  // a second folder, chosen in the sheet
  WriteCurrency(other, "Mine.dosh", "Gamma", 1); Open(true);
  const MONEYSS* world = view->ssMain->World;
  Texts names = {"Mix Currencies"};  // then the world's currencies in its order
  for (int i = 0; i < world->NumCurrencies; ++i) names.push_back(world->Currencies[i].Name);
  EXPECT_EQ(C("oCurrency").items, names);
  EXPECT_EQ(desk.loadedName + " " + names.at(size_t(C("oCurrency").value)), "Corvan3DSS Beta");
  EXPECT_EQ(Shown(), Line("0 0 0 0 2 100 20 90 %d |00|11111", world->CurrentCurrency + 1));
  C("oShowClock").value = 1; desk.Act("configureSheet_update");
  EXPECT_EQ(Shown().substr(Shown().find('|')), "|11|11111");
  desk.Act("configureSheet_defaults");
  EXPECT_EQ(Shown(), Line("0 0 0 1 3 150 500 90 %d |00|11111", world->CurrentCurrency + 1));
  const auto stored = host.values;
  Choose("/new/folder");
  EXPECT_EQ(desk.chooser + " " + C("oDirectory").texts.at(0), "Select Currency Folder from " + user.dir + " /new/folder");
  desk.Act("configureSheet_cancel");
  EXPECT_EQ(host.values, stored);
  EXPECT_EQ(view->mySettings.TOT_NUM_NOTES + desk.sheetsEnded, 20 + 1);
  view->mySettings.MIXCURRENCY = true; view->configureSheet();
  EXPECT_EQ(C("oCurrency").value, 0);
  for (auto [id, value] : {std::pair{"oMainMonitorOnly", 1}, {"oShowClock", 1}, {"o12HrClock", 1}, {"oZoomIn", 1}, {"oRotMode", 1},
                           {"oNoteSize", 75}, {"oNumNotes", 30}, {"oClockSize", 120}, {"oCurrency", world->NumCurrencies}})
    C(id).value = value;  // the last currency, from the user's folder
  Choose(other.dir); desk.Act("configureSheet_save");
  EXPECT_EQ(host.values, (std::map<std::string, std::string>{{"version", "1.1"}, {"MainMonitorOnly", "true"}, {"SelectedCurrency", "Mine.dosh"},
                         {"NoteSize", "75"}, {"NumNotes", "30"}, {"RotMode", "1"}, {"ZoomIn", "true"}, {"MixCurrency", "false"}, {"ShowClock", "true"},
                         {"Clock12Hr", "true"}, {"ClockSize", "120"}, {"CurrencyPath2", other.dir}}));
  world = view->ssMain->World;
  EXPECT_EQ(Line("%g %lld %s %d %d %d", world->NoteScale, (long long)world->TOT_NUM_NOTES, world->Currencies[world->CurrentCurrency].Name,
                 view->glReady, desk.sheetsEnded, host.synchronizations > 0), "0.75 30 Gamma 0 2 1");
}

TEST_F(SheetTest, TheCatalogueListsWhatTheUserFolderLacksAndOnlyUsableEntries) {
  Open(true);
  host.SetString("CatalogueServer", "http://cat.example:81/");
  desk.Act("configureSheet_checkdownloads");  // a second click while reading does nothing
  List({"Delta;d.dosh", "Gamma;g.dosh", "Epsilon;e.dosh;more;parts"});
  EXPECT_EQ(Line("%zu ", desk.reads.size()) + desk.reads[0]->url, "1 http://cat.example:81/mac/zips/corvan/corvanCurrencies-v11.plist at most 1048576");
  EXPECT_EQ(Offers() + " " + view->downloadData[1].Location, "Delta,Epsilon, 1 e.dosh");
  List({"Gamma;g.dosh"});  // nothing new, then an unreachable server: "None", and the listing stays
  desk.Act("configureSheet_checkdownloads"); desk.Answer(false, {});
  EXPECT_EQ(Offers() + Line(" %u", view->numDownloads), "None, 0 0");
  const std::string n39(39, 'n'), p511(511, 'p');
  List({"Delta;d.dosh", "no separator", ";empty.dosh", "Empty;", n39 + "n;x.dosh", n39 + ";" + p511, "N;" + p511 + "p"});
  EXPECT_EQ(Offers(), "Delta," + n39 + ", 1");
  for (const char* broken : {"not a property list", "<plist><dict/></plist>"}) {
    desk.Act("configureSheet_checkdownloads");
    desk.Answer(true, {}, broken);
  }
  EXPECT_EQ(C("oDownloadText").texts, (Texts{"Error! Could not connect to the server!", "Error! The catalogue could not be understood!",
                                             "Error! The catalogue could not be understood!"}));
  const char odd[] = "<plist><array><integer>3</integer><string>A;a\0.dosh</string><string>B;b</string></array></plist>";
  desk.Act("configureSheet_checkdownloads"); desk.Answer(true, {}, std::string(odd, sizeof odd - 1));
  EXPECT_EQ(Offers(), "B, 1");  // not strings, or strings holding a NUL, are passed over
}

// Without a world the sheet still opens, downloads and saves (the currency as "mix").
TEST_F(SheetTest, ADownloadSaysHowItGoesAndIsCancelledWithTheView) {
  Open(false);
  List({"Delta;d.dosh", "Gamma;sub/Gamma.dosh"}); C("oAvailableDownloads").value = 1;
  desk.Act("configureSheet_download"); desk.Act("configureSheet_download");  // one download at a time
  ASSERT_EQ(desk.downloads.size(), 1u);
  FakeRequest* request = desk.downloads[0].get();
  view->download_decideDestinationWithSuggestedFilename(request, "Gamma.dosh");
  EXPECT_EQ(request->url + " " + request->destination, "http://localhost:8000/mac/zips/corvan/sub/Gamma.dosh at most 67108864 " + user.dir + "/Gamma.dosh (replacing)");
  EXPECT_EQ(Shown().substr(Shown().rfind('|')) + Line(" %d", C("oProgress").animating), "|00000 1");
  view->download_didReceiveResponse(request, 200000);
  for (int i = 0; i < 4; ++i) view->download_didReceiveDataOfLength(request, 50000);
  view->downloadDidFinish(request);
  EXPECT_EQ(C("oProgress").progress, (std::vector<double>{25, 50, 75, 100}));
  EXPECT_EQ(C("oDownloadText").texts, (Texts{"Downloading, Please Wait: 25.00% Complete\n", "Downloading, Please Wait: 50.00% Complete\n",
                                             "Downloading, Please Wait: 75.00% Complete\n", "Downloading, Please Wait: 100.00% Complete\n", "Download Complete!"}));
  // Controls back, the bar still, no download, and the catalogue listed again.
  EXPECT_EQ(Shown().substr(Shown().rfind('|')) + Line(" %d %d %zu", C("oProgress").animating, view->theDownload != nullptr, desk.reads.size()), "|11111 0 0 2");
  // Without a length the bytes are counted; a failure is said.
  C("oDownloadText").texts.clear(); desk.Act("configureSheet_download");
  request = desk.downloads.back().get(); view->download_didReceiveResponse(request, -1); view->download_didReceiveDataOfLength(request, 50000);
  view->download_didFailWithError(request, NetError{"Timeout was reached", "http://h/d\x1b.dosh"});
  EXPECT_EQ(C("oDownloadText").texts, (Texts{"Downloading, Please Wait: 50000 bytes received\n", "Download failed! Error - Timeout was reached http://h/d\\x1B.dosh"}));
  EXPECT_EQ(Shown().substr(Shown().rfind('|')) + Line(" %d", view->theDownload != nullptr), "|11111 0");  // usable again
  for (const char* type : {"application/macbinary", "application/binhex", "application/octet-stream", ""})
    EXPECT_FALSE(view->download_shouldDecode(request, type)) << type;
  EXPECT_TRUE(view->download_shouldDecode(request, "application/gzip"));
  desk.Act("configureSheet_save");
  desk.Act("configureSheet_openwebsite");
  EXPECT_EQ(host.values["MixCurrency"] + " " + host.values["SelectedCurrency"] + " " + desk.opened.at(0).substr(0, 7), "true USA.dosh file://");
  desk.Act("configureSheet_download");
  view.reset();  // closing the view cancels what runs
  EXPECT_TRUE(desk.downloads.back()->cancelled && desk.reads.back()->cancelled);
  desk.next = std::make_unique<FakeInterface>();
  desk.next->controls.erase("oDownloadText");  // an interface file that lacks one gives no sheet
  EXPECT_EQ(MakeView(true)->configureSheet(), nullptr);
}

TEST(DownloadNames, OnlyPlainCurrencyFileNamesBecomeDestinations) {
  std::string destinations;
  FakeRequest request;
  for (const char* suggested : {"Euro.dosh", "Swiss Franc_2-b.dosh", "../../etc/Euro.dosh", "C:\\x\\Euro.dosh", ".dosh", ".hidden.dosh", "Euro.DOSH",
                                "euro.sh", "", "dir/", "caf\xc3\xa9.dosh", "e\x1b[31m.dosh"}) {
    request.destination.clear(); request.failure.clear(); ChooseDestination(&request, "/data/", suggested);
    destinations += (request.failure.empty() ? request.destination : "refused") + "|";
  }
  EXPECT_EQ(destinations, "/data/Euro.dosh (replacing)|/data/Swiss Franc_2-b.dosh (replacing)|/data/Euro.dosh (replacing)|/data/Euro.dosh (replacing)|"
                          "refused|refused|refused|refused|refused|refused|refused|refused|");
  EXPECT_EQ(request.failure,  // the last one's
            "unsafe file name \"e\\x1B[31m.dosh\" (a currency file name is letters, digits, \".\", \"-\", \"_\" and spaces, ending in \".dosh\")");
}

}  // namespace
