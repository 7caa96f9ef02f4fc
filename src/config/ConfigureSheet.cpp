// The settings sheet: it shows the view's settings in its controls, puts
// them back to their defaults, lets the user pick the currency folder, and
// on Save stores them and rebuilds the running world.
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "config/Downloads.h"
#include "host/Corvan3DSSView.h"
#include "host/IdleSaver.h"
#include "platform/Alert.h"
#include "platform/Bundle.h"
#include "world/Notes.h"

#ifndef CORVAN_WEB_PAGE
#define CORVAN_WEB_PAGE ""
#endif

namespace {

const char kInterfaceName[] = "Corvan3DSS";

// The settings the Defaults button puts in the controls.
constexpr int kDefaultRotMode = 3;
constexpr int kDefaultNoteSize = 150;
constexpr int kDefaultNumNotes = 500;
constexpr int kDefaultClockSize = 90;

int StateOf(bool on) { return on ? 1 : 0; }
bool IsOn(const CheckBox* box) { return box->state() == 1; }

// Integer controls hold 32 bits; the record's 64-bit fields are narrowed.
int32_t Narrow(int64_t value) {
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return int32_t(value);
}

MONEYSS* RunningWorld(const SSMAIN* driver) { return driver != nullptr ? driver->World : nullptr; }

// The page the web button opens: the build's choice, else the README
// installed beside the bundle (<prefix>/share/doc/corvan3d).
// Starts the idle watcher with the session, or no longer, as the switch says.
void UpdateIdleStart(HostServices* host, bool on) {
  std::string why;
  if (on == host->IdleStartEnabled() || host->SetIdleStart(on, &why)) return;
  const std::string text =
      std::string(on ? "The saver cannot be set to start when the computer is idle"
                     : "The saver cannot be stopped from starting when the computer is idle") +
      ".\n" + why;
  MessageBox(nullptr, text.c_str(), "Start when idle", 0);
}

std::string WebPageAddress() {
  if (CORVAN_WEB_PAGE[0] != '\0') return CORVAN_WEB_PAGE;
  const std::filesystem::path readme =
      std::filesystem::path(BundleFolder()) / ".." / "doc" / "corvan3d" / "README.md";
  return "file://" + std::filesystem::absolute(readme).lexically_normal().string();
}

// Connects every outlet and action of the interface file; false, with the
// missing id on standard error, when the file lacks one.
bool ConnectOutlets(Corvan3DSSView* v, InterfaceFile* file) {
  bool complete = true;
  auto need = [&](auto* object, const char* id) {
    if (object == nullptr) {
      std::fprintf(stderr, "corvan3d: the interface file \"%s\" has no control \"%s\"\n",
                   kInterfaceName, id);
      complete = false;
    }
    return object;
  };
  v->sheet = need(file->window("configureSheet"), "configureSheet");
  v->oSave = need(file->button("oSave"), "oSave");
  v->oMainMonitorOnly = need(file->checkBox("oMainMonitorOnly"), "oMainMonitorOnly");
  v->oShowClock = need(file->checkBox("oShowClock"), "oShowClock");
  v->o12HrClock = need(file->checkBox("o12HrClock"), "o12HrClock");
  v->oClockSize = need(file->integerField("oClockSize"), "oClockSize");
  v->oCurrency = need(file->popUpButton("oCurrency"), "oCurrency");
  v->oRotMode = need(file->popUpButton("oRotMode"), "oRotMode");
  v->oZoomIn = need(file->checkBox("oZoomIn"), "oZoomIn");
  v->oNoteSize = need(file->integerField("oNoteSize"), "oNoteSize");
  v->oNumNotes = need(file->integerField("oNumNotes"), "oNumNotes");
  v->oDirectory = need(file->button("oDirectory"), "oDirectory");
  v->oAvailableDownloads = need(file->popUpButton("oAvailableDownloads"), "oAvailableDownloads");
  v->oCheckDownloads = need(file->button("oCheckDownloads"), "oCheckDownloads");
  v->oProgress = need(file->progressIndicator("oProgress"), "oProgress");
  v->oDownload = need(file->button("oDownload"), "oDownload");
  v->oDownloadText = need(file->textLabel("oDownloadText"), "oDownloadText");
  v->oCatalogueServer = need(file->textField("oCatalogueServer"), "oCatalogueServer");
  v->oIdleMinutes = need(file->integerField("oIdleMinutes"), "oIdleMinutes");
  v->oIdleStart = need(file->checkBox("oIdleStart"), "oIdleStart");
  return complete;
}

bool LoadInterfaceFile(Corvan3DSSView* v, Toolkit* toolkit) {
  const ActionTable actions = {
      {"configureSheet_cancel", [v] { v->configureSheet_cancel(); }},
      {"configureSheet_save", [v] { v->configureSheet_save(); }},
      {"configureSheet_defaults", [v] { v->configureSheet_defaults(); }},
      {"configureSheet_update", [v] { v->configureSheet_update(); }},
      {"configureSheet_directory", [v] { v->configureSheet_directory(); }},
      {"configureSheet_openwebsite", [v] { v->configureSheet_openwebsite(); }},
      {"configureSheet_checkdownloads", [v] { v->configureSheet_checkdownloads(); }},
      {"configureSheet_download", [v] { v->configureSheet_download(); }},
  };
  std::unique_ptr<InterfaceFile> file = toolkit->loadInterface(kInterfaceName, actions);
  if (!file || !ConnectOutlets(v, file.get())) {
    v->sheet = nullptr;
    return false;
  }
  v->sheetFile = std::move(file);
  return true;
}

}  // namespace

SheetWindow* Corvan3DSSView::configureSheet() {
  if (sheet == nullptr &&
      (Host()->Interface() == nullptr || !LoadInterfaceFile(this, Host()->Interface())))
    return nullptr;

  oMainMonitorOnly->setState(StateOf(MainMonitorOnly));
  oCurrency->removeAllItems();
  oCurrency->addItemWithTitle("Mix Currencies");
  if (const MONEYSS* world = RunningWorld(ssMain)) {
    for (int32_t i = 0; i < world->NumCurrencies; ++i)
      oCurrency->addItemWithTitle(world->Currencies[i].Name);
    oCurrency->selectItemAtIndex(mySettings.MIXCURRENCY ? 0 : world->CurrentCurrency + 1);
  }
  oRotMode->selectItemAtIndex(mySettings.ROTMODE);
  oNoteSize->setIntValue(Narrow(mySettings.LNOTESIZE));
  oNumNotes->setIntValue(Narrow(mySettings.TOT_NUM_NOTES));
  oZoomIn->setState(StateOf(mySettings.ZOOMIN));
  oShowClock->setState(StateOf(mySettings.SHOWCLOCK));
  o12HrClock->setState(StateOf(mySettings.CLOCK12HR));
  oClockSize->setIntValue(Narrow(mySettings.CLOCKSIZE));
  oCatalogueServer->setStringValue(Host()->Defaults()->StringForKey("CatalogueServer"));
  oCatalogueServer->setPlaceholder(DefaultCatalogueServer());
  oIdleMinutes->setIntValue(IdleMinutes(Host()->Defaults()));
  oIdleStart->setState(StateOf(Host()->IdleStartEnabled()));
  configureSheet_updatestates();
  return sheet;
}

void Corvan3DSSView::configureSheet_updatestates() {
  const bool clock = IsOn(oShowClock);
  oClockSize->setEnabled(clock);
  o12HrClock->setEnabled(clock);
}

void Corvan3DSSView::configureSheet_update() { configureSheet_updatestates(); }

void Corvan3DSSView::configureSheet_defaults() {
  oMainMonitorOnly->setState(0);
  oRotMode->selectItemAtIndex(kDefaultRotMode);
  oNoteSize->setIntValue(kDefaultNoteSize);
  oNumNotes->setIntValue(kDefaultNumNotes);
  oZoomIn->setState(1);
  oShowClock->setState(0);
  o12HrClock->setState(0);
  oClockSize->setIntValue(kDefaultClockSize);
  oIdleMinutes->setIntValue(kDefaultIdleMinutes);
  configureSheet_updatestates();
}

void Corvan3DSSView::configureSheet_directory() {
  std::string chosen;
  if (!Host()->Interface()->chooseFolder("Select Currency Folder", mySettings.CurrencyPath2,
                                         &chosen))
    return;
  // A path that does not fit is not taken.
  if (chosen.empty() || chosen.size() >= sizeof mySettings.CurrencyPath2) return;
  std::memcpy(mySettings.CurrencyPath2, chosen.c_str(), chosen.size() + 1);
  oDirectory->setTitle(chosen);
}

void Corvan3DSSView::configureSheet_save() {
  PreferencesStore* store = Host()->Defaults();
  const SETTINGS before = mySettings;
  const bool mainMonitorBefore = MainMonitorOnly;
  MainMonitorOnly = IsOn(oMainMonitorOnly);
  store->SetBool("MainMonitorOnly", MainMonitorOnly);

  mySettings.LNOTESIZE = oNoteSize->intValue();
  mySettings.TOT_NUM_NOTES = oNumNotes->intValue();
  mySettings.ROTMODE = oRotMode->indexOfSelectedItem();
  mySettings.ZOOMIN = IsOn(oZoomIn);
  mySettings.SHOWCLOCK = IsOn(oShowClock);
  mySettings.CLOCK12HR = IsOn(o12HrClock);
  mySettings.CLOCKSIZE = oClockSize->intValue();

  mySettings.MIXCURRENCY = false;
  const MONEYSS* world = RunningWorld(ssMain);
  const int item = oCurrency->indexOfSelectedItem();
  if (item == 0) {
    mySettings.MIXCURRENCY = true;
    std::strcpy(mySettings.SelectedCurrencyName, "USA.dosh");
  } else if (world != nullptr && item >= 1 && item <= world->NumCurrencies) {
    mySettings.SelectedCurrency = item - 1;
    CopyString(mySettings.SelectedCurrencyName, sizeof mySettings.SelectedCurrencyName,
               world->Currencies[mySettings.SelectedCurrency].FileName);
  }

  store->SetString("SelectedCurrency", mySettings.SelectedCurrencyName);
  store->SetInteger("NoteSize", mySettings.LNOTESIZE);
  store->SetInteger("NumNotes", mySettings.TOT_NUM_NOTES);
  store->SetInteger("RotMode", mySettings.ROTMODE);
  store->SetBool("ZoomIn", mySettings.ZOOMIN);
  store->SetBool("MixCurrency", mySettings.MIXCURRENCY);
  store->SetBool("ShowClock", mySettings.SHOWCLOCK);
  store->SetBool("Clock12Hr", mySettings.CLOCK12HR);
  store->SetInteger("ClockSize", mySettings.CLOCKSIZE);
  // The folder chosen in the sheet lasts beyond this view.
  store->SetString("CurrencyPath2", mySettings.CurrencyPath2);
  const std::string server = Trimmed(oCatalogueServer->stringValue());
  if (!server.empty() || store->HasKey("CatalogueServer"))
    store->SetString("CatalogueServer", server);
  store->SetInteger("IdleMinutes", oIdleMinutes->intValue());
  if (!store->Synchronize()) {
    // Nothing behaves as saved: the sheet stays open and the view as it was.
    mySettings = before;
    MainMonitorOnly = mainMonitorBefore;
    MessageBox(nullptr, ("Your settings could not be saved.\n" + store->Problem()).c_str(),
               "Settings not saved", 0);
    return;
  }

  RebuildWorld();  // a world that fails reports through its own loading
  UpdateIdleStart(Host(), IsOn(oIdleStart));
  Host()->Interface()->endSheet(sheet);
}

void Corvan3DSSView::configureSheet_cancel() { Host()->Interface()->endSheet(sheet); }

void Corvan3DSSView::configureSheet_openwebsite() {
  std::string why;
  if (Host()->Interface()->openURL(WebPageAddress(), &why)) return;
  oDownloadText->setStringValue("The web page cannot be opened: " + why);
  statusShowsListingError = false;
}
