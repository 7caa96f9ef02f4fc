// The user's preferences, one record per view. Loading and saving them
// belong to the host; the world copies the fields it needs when it is set up.
#pragma once

#include <cstdint>
#include <string>

constexpr int PATH_BUFFER_SIZE = 16384;  // every path and file name buffer

struct SETTINGS {
  int64_t TOT_NUM_NOTES = 0;      // number of banknotes ("NumNotes")
  int64_t LNOTESIZE = 0;          // note size in percent ("NoteSize")
  float NoteSize = 0.0f;          // LNOTESIZE / 100
  int32_t ROTMODE = 0;            // camera rotation mode ("RotMode")
  bool ZOOMIN = false;            // the camera follows single notes ("ZoomIn")
  bool MIXCURRENCY = false;       // notes of every currency at once ("MixCurrency")
  int32_t SelectedCurrency = 0;   // list index chosen in the settings window; not stored
  char CurrencyPath[PATH_BUFFER_SIZE] = {};          // the bundle's folder
  char CurrencyPath2[PATH_BUFFER_SIZE] = {};         // the user's currency folder ("CurrencyPath2")
  char SelectedCurrencyName[PATH_BUFFER_SIZE] = {};  // e.g. "USA.dosh" ("SelectedCurrency")
  bool SHOWCLOCK = false;         // "ShowClock"
  bool CLOCK12HR = false;         // "Clock12Hr"
  int64_t CLOCKSIZE = 0;          // "ClockSize"
};

class PreferencesStore;
class HostServices;

// Fills settings and mainMonitorOnly from the store of module "baCorvan3D",
// writing the defaults first when the store holds none of this version.
// No range checks: the world applies its own when it copies the record.
void LoadSettings(PreferencesStore* store, HostServices* host, SETTINGS* settings, bool* mainMonitorOnly);

// Copies text into a path field; text that does not fit leaves it empty.
void SetPathField(char* field, const std::string& text);
