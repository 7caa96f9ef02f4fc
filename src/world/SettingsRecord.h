// The user's preferences, one record per view. The host fills it from the
// store and the settings window edits it; the world copies the fields it
// needs when it is set up.
#pragma once

#include <cstdint>

#include "data/Paths.h"

struct SETTINGS {
  int64_t TOT_NUM_NOTES = 0;                 // number of banknotes ("NumNotes")
  int64_t LNOTESIZE = 0;                     // note size in percent ("NoteSize")
  float NoteSize = 0.0f;                     // LNOTESIZE / 100
  int32_t ROTMODE = 0;                       // camera rotation mode ("RotMode")
  bool ZOOMIN = false;                       // the camera follows single notes ("ZoomIn")
  bool MIXCURRENCY = false;                  // notes of every currency at once ("MixCurrency")
  int32_t SelectedCurrency = 0;              // list index chosen in the settings window; not stored
  char CurrencyPath[PATH_BUFFER_SIZE] = {};  // the bundle's folder
  char CurrencyPath2[PATH_BUFFER_SIZE] = {};         // the user's currency folder ("CurrencyPath2")
  char SelectedCurrencyName[PATH_BUFFER_SIZE] = {};  // e.g. "USA.dosh" ("SelectedCurrency")
  bool SHOWCLOCK = false;                            // "ShowClock"
  bool CLOCK12HR = false;                            // "Clock12Hr"
  int64_t CLOCKSIZE = 0;                             // "ClockSize"
};
