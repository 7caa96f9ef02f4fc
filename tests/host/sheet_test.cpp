// The settings sheet and the downloads on fake controls and a fake network,
// over a real view and world: what the sheet shows, what Save stores and
// rebuilds, what Cancel leaves alone, how the catalogue is listed and how a
// download reports itself.
#include <gtest/gtest.h>

#include "FakeHost.h"
#include "FakeSheet.h"
#include "SceneFixture.h"
#include "config/Downloads.h"
#include "world/Notes.h"

namespace {

std::string Catalogue(const std::vector<std::string>& entries) { return WritePropertyListArray(entries); }

class SheetTest : public ::testing::Test {
protected:
  void SetUp() override {
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    std::string error;
    ASSERT_TRUE(gl.Create(64, 48, &error)) << error;
    WriteTestCurrency(bundle, "A.dosh", "Alpha", 1);
    WriteTestCurrency(bundle, "B.dosh", "Beta", 2);
    WriteTestCurrency(user, "Mine.dosh", "Gamma", 1);  // installed in the user's folder
    host = std::make_unique<FakeHost>(&gl, bundle.dir, user.dir);
    host->toolkit = &toolkit;
    host->network = &net;
    host->store.SetString("version", "1.1");
    host->store.SetInteger("NumNotes", 20);
    host->store.SetInteger("NoteSize", 100);
    host->store.SetInteger("RotMode", 2);
    host->store.SetInteger("ClockSize", 90);
    host->store.SetString("SelectedCurrency", "B.dosh");
    host->store.SetString("CurrencyPath2", user.dir);
    previous = SetErrorHandler([](const char*) {});  // no artwork in this bundle
  }
  void TearDown() override { SetErrorHandler(std::move(previous)); }

  // A view whose world is running, and its sheet opened.
  void Open(bool withWorld = true) {
    view = std::make_unique<Corvan3DSSView>(ViewSize{64, 48}, true, host.get());
    view->setFrameSize(ViewSize{64, 48});
    if (withWorld) {
      view->startAnimation();
      view->animateOneFrame();
      ASSERT_NE(view->ssMain->World, nullptr);
    }
    ASSERT_NE(view->configureSheet(), nullptr);
    file = toolkit.loaded;
  }

  FakePopUp& PopUp(const char* id) { return *file->popUps[id]; }
  FakeCheckBox& Box(const char* id) { return *file->boxes[id]; }
  FakeField& Field(const char* id) { return *file->fields[id]; }
  FakeLabel& Status() { return *file->labels["oDownloadText"]; }
  FakeProgress& Bar() { return *file->bars["oProgress"]; }
  FakeRequest& Download() { return *net.downloads.back(); }
  DownloadDelegate* Delegate() { return view.get(); }

  // The five controls a download disables, in one string: "1" enabled.
  std::string DownloadControls() {
    std::string states;
    for (Control* c : std::vector<Control*>{file->popUps["oAvailableDownloads"].get(), file->buttons["oDownload"].get(),
                                            file->buttons["oCheckDownloads"].get(), file->buttons["oDirectory"].get(),
                                            file->buttons["oSave"].get()})
      states += c->isEnabled() ? "1" : "0";
    return states;
  }

  HeadlessGL gl;
  TempDir bundle, user;
  FakeToolkit toolkit;
  FakeNetwork net;
  std::unique_ptr<FakeHost> host;
  std::unique_ptr<Corvan3DSSView> view;
  FakeInterface* file = nullptr;
  ErrorHandler previous;
};

TEST_F(SheetTest, OpeningShowsTheSettingsAndTheWorldsCurrencies) {
  Open();
  EXPECT_EQ(toolkit.loadedName, "Corvan3DSS");
  const MONEYSS* world = view->ssMain->World;
  std::vector<std::string> expected = {"Mix Currencies"};
  for (int i = 0; i < world->NumCurrencies; ++i) expected.push_back(world->Currencies[i].Name);
  EXPECT_EQ(PopUp("oCurrency").items, expected);
  EXPECT_EQ(PopUp("oCurrency").selected, world->CurrentCurrency + 1);
  EXPECT_EQ(expected[size_t(world->CurrentCurrency + 1)], "Beta");
  EXPECT_EQ(PopUp("oRotMode").selected, 2);
  EXPECT_EQ(Field("oNumNotes").value, 20);
  EXPECT_EQ(Field("oNoteSize").value, 100);
  EXPECT_EQ(Box("oZoomIn").value, 0);
  // The clock is off, so its size and its 12-hour switch are disabled.
  EXPECT_FALSE(Field("oClockSize").enabled);
  EXPECT_FALSE(Box("o12HrClock").enabled);
  Box("oShowClock").value = 1;
  toolkit.Act("configureSheet_update");
  EXPECT_TRUE(Field("oClockSize").enabled && Box("o12HrClock").enabled);

  view->mySettings.MIXCURRENCY = true;
  view->configureSheet();
  EXPECT_EQ(PopUp("oCurrency").selected, 0);
}

TEST_F(SheetTest, AnInterfaceFileWithoutAnOutletGivesNoSheet) {
  toolkit.next->labels.erase("oDownloadText");
  view = std::make_unique<Corvan3DSSView>(ViewSize{64, 48}, true, host.get());
  EXPECT_EQ(view->configureSheet(), nullptr);
  host->toolkit = nullptr;
  EXPECT_EQ(view->configureSheet(), nullptr);
}

TEST_F(SheetTest, SaveStoresTheControlsAndRebuildsTheWorld) {
  Open();
  Field("oNoteSize").value = 75;
  Field("oNumNotes").value = 30;
  PopUp("oRotMode").selected = 1;
  Box("oZoomIn").value = 1;
  Box("oMainMonitorOnly").value = 1;
  PopUp("oCurrency").selected = 1;  // the first listed currency
  toolkit.folderToChoose = "/somewhere/else";
  toolkit.Act("configureSheet_directory");
  view->glReady = true;
  toolkit.Act("configureSheet_save");

  const MONEYSS* world = view->ssMain->World;
  ASSERT_NE(world, nullptr);
  EXPECT_EQ(world->NoteScale, 0.75f);
  EXPECT_EQ(world->TOT_NUM_NOTES, 30);
  EXPECT_FALSE(view->glReady);
  auto& v = host->store.values;
  EXPECT_EQ(v["NoteSize"], "75");
  EXPECT_EQ(v["NumNotes"], "30");
  EXPECT_EQ(v["RotMode"], "1");
  EXPECT_EQ(v["ZoomIn"], "true");
  EXPECT_EQ(v["MainMonitorOnly"], "true");
  EXPECT_EQ(v["MixCurrency"], "false");
  EXPECT_EQ(v["SelectedCurrency"], std::string(world->Currencies[0].FileName));
  EXPECT_EQ(v["CurrencyPath2"], "/somewhere/else");  // the chosen folder lasts
  EXPECT_EQ(toolkit.sheetsEnded, 1);
  EXPECT_GT(host->store.synchronizations, 0);
}

TEST_F(SheetTest, DefaultsThenCancelChangeNothing) {
  Open();
  const auto stored = host->store.values;
  const int64_t notes = view->mySettings.TOT_NUM_NOTES;
  toolkit.Act("configureSheet_defaults");
  EXPECT_EQ(Field("oNumNotes").value, 500);
  EXPECT_EQ(Field("oNoteSize").value, 150);
  EXPECT_EQ(Field("oClockSize").value, 90);
  EXPECT_EQ(PopUp("oRotMode").selected, 3);
  EXPECT_EQ(Box("oZoomIn").value, 1);
  EXPECT_FALSE(Field("oClockSize").enabled);
  toolkit.Act("configureSheet_cancel");
  EXPECT_EQ(host->store.values, stored);
  EXPECT_EQ(view->mySettings.TOT_NUM_NOTES, notes);
  EXPECT_EQ(toolkit.sheetsEnded, 1);
}

TEST_F(SheetTest, AChosenFolderLastsInTheRecordButNotTheStoreAfterCancel) {
  Open();
  toolkit.folderToChoose = "/new/folder";
  toolkit.Act("configureSheet_directory");
  EXPECT_EQ(toolkit.chooserTitle, "Select Currency Folder");
  EXPECT_EQ(toolkit.chooserStart, user.dir);
  EXPECT_EQ(file->buttons["oDirectory"]->title, "/new/folder");
  toolkit.Act("configureSheet_cancel");
  EXPECT_STREQ(view->mySettings.CurrencyPath2, "/new/folder");
  EXPECT_EQ(host->store.values["CurrencyPath2"], user.dir);
  toolkit.folderToChoose = "";  // the chooser cancelled: nothing changes
  toolkit.Act("configureSheet_directory");
  EXPECT_STREQ(view->mySettings.CurrencyPath2, "/new/folder");
}

TEST_F(SheetTest, WithoutAWorldTheSheetOffersOnlyTheMixAndSaveRebuildsNothing) {
  Open(false);
  EXPECT_EQ(PopUp("oCurrency").items, std::vector<std::string>{"Mix Currencies"});
  toolkit.Act("configureSheet_save");
  EXPECT_EQ(host->store.values["MixCurrency"], "true");
  EXPECT_EQ(host->store.values["SelectedCurrency"], "USA.dosh");
  EXPECT_EQ(view->ssMain, nullptr);
}

TEST_F(SheetTest, TheWebPageOpensInTheBrowser) {
  Open(false);
  toolkit.Act("configureSheet_openwebsite");
  ASSERT_EQ(toolkit.opened.size(), 1u);
  EXPECT_EQ(toolkit.opened[0].compare(0, 7, "file://"), 0);
}

// ---- the catalogue --------------------------------------------------------------------

TEST_F(SheetTest, TheListingLeavesOutWhatTheUserFolderHolds) {
  Open();
  host->store.SetString("CatalogueServer", "http://cat.example:81/");
  toolkit.Act("configureSheet_checkdownloads");
  ASSERT_EQ(net.reads.size(), 1u);
  EXPECT_EQ(net.reads[0]->url, "http://cat.example:81/mac/zips/corvan/corvanCurrencies-v11.plist");
  EXPECT_EQ(net.limit, size_t(1) << 20);
  toolkit.Act("configureSheet_checkdownloads");  // a second click while reading
  EXPECT_EQ(net.reads.size(), 1u);
  net.Answer(true, Catalogue({"Delta;d.dosh", "Gamma;g.dosh", "Epsilon;e.dosh;more;parts"}));
  EXPECT_EQ(PopUp("oAvailableDownloads").items, (std::vector<std::string>{"Delta", "Epsilon"}));
  EXPECT_EQ(view->numDownloads, 2u);
  EXPECT_STREQ(view->downloadData[1].Location, "e.dosh");
  EXPECT_TRUE(PopUp("oAvailableDownloads").enabled);
  EXPECT_TRUE(Status().texts.empty());

  // Nothing new, and then an unreachable server: "None", and the listing stays.
  toolkit.Act("configureSheet_checkdownloads");
  net.Answer(true, Catalogue({"Gamma;g.dosh"}));
  EXPECT_EQ(PopUp("oAvailableDownloads").items, std::vector<std::string>{"None"});
  EXPECT_FALSE(PopUp("oAvailableDownloads").enabled);
  EXPECT_EQ(view->numDownloads, 0u);
  toolkit.Act("configureSheet_checkdownloads");
  net.Answer(false, "");
  EXPECT_EQ(Status().text(), "Error! Could not connect to the server!");
  EXPECT_EQ(PopUp("oAvailableDownloads").items, std::vector<std::string>{"None"});
}

TEST_F(SheetTest, UnusableCatalogueElementsAreSkippedAndABrokenCatalogueSaysSo) {
  Open(false);  // without a world nothing is filtered
  toolkit.Act("configureSheet_checkdownloads");
  const std::string longName(40, 'n'), longPlace(512, 'p');
  net.Answer(true, Catalogue({"Gamma;g.dosh", "no separator", ";empty.dosh", "Empty;", longName + ";x.dosh",
                              std::string(39, 'n') + ";" + std::string(511, 'p'), "Name;" + longPlace}));
  EXPECT_EQ(PopUp("oAvailableDownloads").items, (std::vector<std::string>{"Gamma", std::string(39, 'n')}));

  for (const char* broken : {"not a property list", "<plist><dict/></plist>"}) {
    toolkit.Act("configureSheet_checkdownloads");
    net.Answer(true, broken);
    EXPECT_EQ(Status().text(), "Error! The catalogue could not be understood!") << broken;
    EXPECT_EQ(view->numDownloads, 2u) << broken;
  }
  // Elements that are not strings are passed over.
  std::vector<PropertyListItem> items;
  std::string why;
  ASSERT_TRUE(ParsePropertyListArray("<plist><array><integer>3</integer><string>A;a.dosh</string></array></plist>",
                                     &items, &why));
  ASSERT_EQ(items.size(), 2u);
  DOWNLOADDATA entry;
  EXPECT_FALSE(ReadCatalogueEntry(items[0], &entry));
  EXPECT_TRUE(ReadCatalogueEntry(items[1], &entry));

  // A string holding a NUL (the parser's own accessor would abort on it).
  const char withNul[] = "<plist><array><string>a\0b</string></array></plist>";
  ASSERT_TRUE(ParsePropertyListArray(std::string(withNul, sizeof withNul - 1), &items, &why)) << why;
  ASSERT_EQ(items.size(), 1u);
  EXPECT_FALSE(items[0].isString);
}

// ---- a download -----------------------------------------------------------------------

TEST_F(SheetTest, ADownloadReportsItsProgressAndFinishes) {
  Open(false);
  toolkit.Act("configureSheet_checkdownloads");
  net.Answer(true, Catalogue({"Delta;d.dosh", "Gamma;sub/Gamma.dosh"}));
  PopUp("oAvailableDownloads").selected = 1;
  toolkit.Act("configureSheet_download");
  ASSERT_EQ(net.downloads.size(), 1u);
  EXPECT_EQ(Download().url, "http://localhost:8000/mac/zips/corvan/sub/Gamma.dosh");
  EXPECT_EQ(DownloadControls(), "00000");
  EXPECT_TRUE(Bar().animating);
  toolkit.Act("configureSheet_download");  // one download at a time
  EXPECT_EQ(net.downloads.size(), 1u);

  Delegate()->download_decideDestinationWithSuggestedFilename(&Download(), "Gamma.dosh");
  EXPECT_EQ(Download().destination, user.dir + "/Gamma.dosh");
  EXPECT_TRUE(Download().allowOverwrite);
  Delegate()->download_didReceiveResponse(&Download(), 200000);
  for (int i = 0; i < 4; ++i) Delegate()->download_didReceiveDataOfLength(&Download(), 50000);
  EXPECT_EQ(Bar().values, (std::vector<double>{25, 50, 75, 100}));
  EXPECT_EQ(Status().texts, (std::vector<std::string>{"Downloading, Please Wait: 25.00% Complete\n",
                                                      "Downloading, Please Wait: 50.00% Complete\n",
                                                      "Downloading, Please Wait: 75.00% Complete\n",
                                                      "Downloading, Please Wait: 100.00% Complete\n"}));
  Delegate()->downloadDidFinish(&Download());
  EXPECT_EQ(Status().text(), "Download Complete!");
  EXPECT_FALSE(Bar().animating);
  EXPECT_EQ(DownloadControls(), "11111");
  EXPECT_EQ(view->theDownload, nullptr);
  EXPECT_EQ(net.reads.size(), 2u);  // the catalogue is listed again
}

TEST_F(SheetTest, WithoutALengthTheBytesAreCountedAndAFailureIsSaid) {
  Open(false);
  toolkit.Act("configureSheet_checkdownloads");
  net.Answer(true, Catalogue({"Delta;d.dosh"}));
  toolkit.Act("configureSheet_download");
  Delegate()->download_didReceiveResponse(&Download(), -1);
  Delegate()->download_didReceiveDataOfLength(&Download(), 50000);
  EXPECT_EQ(Status().text(), "Downloading, Please Wait: 50000 bytes received\n");
  EXPECT_TRUE(Bar().values.empty());
  Delegate()->download_didFailWithError(&Download(), NetError{"Timeout was reached", "http://h/d.dosh"});
  EXPECT_EQ(Status().text(), "Download failed! Error - Timeout was reached http://h/d.dosh");
  EXPECT_EQ(DownloadControls(), "11111");
  EXPECT_EQ(view->theDownload, nullptr);
  EXPECT_EQ(net.reads.size(), 1u);  // no new listing after a failure
}

TEST_F(SheetTest, ClosingTheViewCancelsWhatRuns) {
  Open(false);
  toolkit.Act("configureSheet_checkdownloads");
  net.Answer(true, Catalogue({"Delta;d.dosh"}));
  toolkit.Act("configureSheet_download");
  toolkit.Act("configureSheet_checkdownloads");
  view.reset();
  EXPECT_TRUE(net.downloads[0]->cancelled);
  EXPECT_TRUE(net.reads[1]->cancelled);
}

TEST(DownloadNames, OnlyPlainCurrencyFileNamesBecomeDestinations) {
  const struct {
    const char* suggested;
    const char* name;  // null: refused
  } cases[] = {
      {"Euro.dosh", "Euro.dosh"},
      {"Swiss Franc_2-b.dosh", "Swiss Franc_2-b.dosh"},
      {"../../etc/Euro.dosh", "Euro.dosh"},
      {"C:\\x\\Euro.dosh", "Euro.dosh"},
      {".dosh", nullptr},
      {".hidden.dosh", nullptr},
      {"Euro.DOSH", nullptr},
      {"euro.sh", nullptr},
      {"", nullptr},
      {"dir/", nullptr},
      {"e\x1b[31m.dosh", nullptr},
      {"caf\xc3\xa9.dosh", nullptr},
  };
  for (const auto& c : cases) {
    std::string name, why;
    const bool ok = SafeCurrencyFileName(c.suggested, &name, &why);
    EXPECT_EQ(ok, c.name != nullptr) << c.suggested;
    if (ok) {
      EXPECT_EQ(name, c.name);
    }
  }
  std::string name, why;
  SafeCurrencyFileName("e\x1b[31m.dosh", &name, &why);
  EXPECT_EQ(why.find('\x1b'), std::string::npos) << "the reason quotes the name safely";
  EXPECT_EQ(Printable("a\x1b[2J\xc2\x9b\xff\xc3\xa9"), "a\\x1B[2J\\xC2\\x9B\\xFF\xc3\xa9");

  FakeRequest request;
  ChooseDestination(&request, "/data/", "../x.sh");
  EXPECT_NE(request.failure.find("unsafe file name"), std::string::npos);
  EXPECT_EQ(request.destination, "");
}

}  // namespace
