// Currencies: the list of usable currency files found in the two currency
// folders, and the loading of a listed currency into textures and display
// lists. The world keeps its list in its own fields (see world/Notes.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

#include "data/Paths.h"
#include "image/Texture.h"
#include "maths/NiftyMaths.h"

class MONEYFILE;

// The loaded note set of one currency.
class ONECURRENCY {
public:
  int32_t NumNotes = 0;           // denominations; 3 x NumNotes display lists
  int32_t NumTextures = 0;        // one per lump
  Texture* Textures = nullptr;    // element i for lump i
  uint32_t* NoteLists = nullptr;  // 3i, 3i+1: curved; 3i+2: flat (denomination i)

  ONECURRENCY() = default;
  ~ONECURRENCY();
  ONECURRENCY(const ONECURRENCY&) = delete;
  ONECURRENCY& operator=(const ONECURRENCY&) = delete;

  // Decodes and builds every image lump, then compiles each denomination's
  // three lists at scale. file is open; sizes holds NumNotes sizes. Each
  // image goes to OpenGL when first drawn (UploadTexture).
  bool Load(MONEYFILE* file, point2d* sizes, float scale);
};

// One available currency.
class CURRENCYINFO {
public:
  char Folder[PATH_BUFFER_SIZE] = {};    // as the world holds it, normally ending in "/"
  char FileName[PATH_BUFFER_SIZE] = {};  // e.g. "USA.dosh"
  char Name[40] = {};                    // display name from the file's header
  int32_t NumNotes = 0;                  // the header's lump count
  point2d* NoteSizes = nullptr;          // note units; null until loaded
  ONECURRENCY* NoteSet = nullptr;        // null until loaded
  bool PastLimits = false;               // refused for its cost: mixing goes on without it

  CURRENCYINFO() = default;
  ~CURRENCYINFO();
  CURRENCYINFO(const CURRENCYINFO&) = delete;
  CURRENCYINFO& operator=(const CURRENCYINFO&) = delete;

  // Loads this currency's sizes, textures and display lists at scale. A
  // file past the limits of data/CurrencyLimits.h is refused before any
  // image is decoded, and PastLimits says so.
  bool LoadData(float scale);
};

// How many entries of the two folders have a name longer than ext, ending in
// ext, that open as currency files.
int CountFiles(const char* path1, const char* path2, const char* ext);

// Lists the currency files of the two folders, path1's first, each in
// directory order. The array is stored as soon as it is allocated, and the
// caller owns it (delete[]) whether or not the rest succeeds. Reports
// through ERRORCLOSE.
bool BuildCurrencyList(const char* path1, const char* path2, CURRENCYINFO** currencies,
                       int32_t* numCurrencies);

// The index of the entry whose FileName is selectedName, else 0, in which
// case selectedName (a buffer of selectedSize bytes) becomes entry 0's name.
int32_t FindSelectedCurrency(const CURRENCYINFO* currencies, int32_t numCurrencies,
                             char* selectedName, size_t selectedSize);

// Whether a currency file in folder carries the display name name.
bool CurrencyFileExists(const char* folder, const char* name);

// Adds the display names of folder's currency files to names (nothing for a
// folder that cannot be read): one pass, however many names are asked after.
void AddCurrencyNames(const char* folder, std::set<std::string>* names);
