#include "host/Settings.h"

#include <cstring>

#include "platform/ScreenSaverView.h"

namespace {

const char kVersion[] = "1.1";

void WriteDefaults(PreferencesStore* store) {
  store->SetString("version", kVersion);
  store->SetBool("MainMonitorOnly", false);
  store->SetString("SelectedCurrency", "USA.dosh");
  store->SetInteger("NoteSize", 150);
  store->SetInteger("NumNotes", 500);
  store->SetInteger("RotMode", 3);
  store->SetBool("ZoomIn", true);
  store->SetBool("MixCurrency", false);
  store->SetBool("ShowClock", false);
  store->SetBool("Clock12Hr", false);
  store->SetInteger("ClockSize", 90);
  store->Synchronize();
}

}  // namespace

void SetPathField(char* field, const std::string& text) {
  if (text.size() >= PATH_BUFFER_SIZE || text.find('\0') != std::string::npos) {
    field[0] = '\0';
    return;
  }
  std::memcpy(field, text.c_str(), text.size() + 1);
}

void LoadSettings(PreferencesStore* store, HostServices* host, SETTINGS* settings,
                  bool* mainMonitorOnly) {
  if (!store->HasKey("version") || store->StringForKey("version") != kVersion) WriteDefaults(store);
  *mainMonitorOnly = store->BoolForKey("MainMonitorOnly");
  SetPathField(settings->CurrencyPath, host->ResourcePath());

  std::string folder = store->StringForKey("CurrencyPath2");
  if (!store->HasKey("CurrencyPath2") || !host->FileExists(folder)) {
    folder = host->UserCurrencyFolder();
    store->SetString("CurrencyPath2", folder);
    store->Synchronize();
  }
  SetPathField(settings->CurrencyPath2, folder);
  if (store->HasKey("SelectedCurrency"))
    SetPathField(settings->SelectedCurrencyName, store->StringForKey("SelectedCurrency"));

  settings->LNOTESIZE = store->IntegerForKey("NoteSize");
  settings->NoteSize = float(settings->LNOTESIZE / 100.0);
  settings->TOT_NUM_NOTES = store->IntegerForKey("NumNotes");
  settings->ROTMODE = int32_t(store->IntegerForKey("RotMode"));
  settings->ZOOMIN = store->BoolForKey("ZoomIn");
  settings->MIXCURRENCY = store->BoolForKey("MixCurrency");
  settings->SHOWCLOCK = store->BoolForKey("ShowClock");
  settings->CLOCK12HR = store->BoolForKey("Clock12Hr");
  settings->CLOCKSIZE = store->IntegerForKey("ClockSize");
}
