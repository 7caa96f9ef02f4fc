#include "data/Currency.h"

#include <GL/gl.h>
#include <dirent.h>

#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "data/CurrencyLimits.h"
#include "data/MoneyFile.h"
#include "data/NoteMesh.h"
#include "data/Prefetch.h"
#include "image/TGALoader.h"
#include "platform/Alert.h"

namespace {

constexpr char kCurrencyExt[] = ".dosh";

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

// The next directory entry whose name ends in ext and is at least minLength
// bytes long, in the order the directory gives them; null at the end.
const char* NextCandidate(DIR* dir, const char* ext, size_t minLength) {
  const size_t extLength = std::strlen(ext);
  while (const dirent* entry = readdir(dir)) {
    const char* name = entry->d_name;
    const size_t length = std::strlen(name);
    if (length >= minLength && length >= extLength &&
        std::memcmp(name + length - extLength, ext, extLength) == 0)
      return name;
  }
  return nullptr;
}

// Opens folder + name as a currency that can be drawn. A file without lumps
// opens but has no denomination for a note to show, so it is not one.
bool OpenCurrency(MONEYFILE* file, const char* folder, const char* name) {
  char path[PATH_BUFFER_SIZE];
  if (!JoinPath(path, folder, name)) return false;
  return file->Open(path) && file->header.numLumps >= 1;
}

// Lists the currencies of folder into entries [*n, total), in directory order.
void ScanFolder(const char* folder, CURRENCYINFO* entries, int32_t total, int32_t* n) {
  DirHandle dir(opendir(folder));
  if (!dir) return;
  // A file named just ".dosh" qualifies here, although the count leaves it out.
  while (*n < total) {
    const char* name = NextCandidate(dir.get(), kCurrencyExt, sizeof kCurrencyExt - 1);
    if (name == nullptr) break;
    MONEYFILE file;
    if (OpenCurrency(&file, folder, name)) {
      CopyString(entries[*n].FileName, sizeof entries[*n].FileName, name);
      CopyString(entries[*n].Folder, sizeof entries[*n].Folder, folder);
      ++*n;
      file.Close();
    }
  }
}

// Reads entry's display name and denomination count from its file's header.
bool ReadHeader(CURRENCYINFO* entry) {
  std::unique_ptr<MONEYFILE> file(new (std::nothrow) MONEYFILE);
  if (!file || !OpenCurrency(file.get(), entry->Folder, entry->FileName)) return false;
  entry->NumNotes = int32_t(file->header.numLumps);
  CopyString(entry->Name, sizeof entry->Name, file->header.name);
  file->Close();
  return true;
}

// The largest texture the current context takes, 0 when it cannot say.
uint32_t MaxTextureSize() {
  GLint size = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
  return size > 0 ? uint32_t(size) : 0;
}

// Checks an open currency file's cost before anything is decoded; a file past
// the limits is refused like a broken one, with the reason on its own line.
bool WithinLimits(MONEYFILE* file, const char* path) {
  CurrencyCost cost;
  std::string why;
  if (CheckCurrencyLimits(file, MaxTextureSize(), &cost, &why)) return true;
  ERRORCLOSE("Unable to load currency!");
  ERRORCLOSE((Printable(path) + ": " + why).c_str());
  return false;
}

}  // namespace

// --- one loaded currency ------------------------------------------------------

ONECURRENCY::~ONECURRENCY() {
  delete[] Textures;  // each texture deletes its own GL name
  Textures = nullptr;
  if (NoteLists != nullptr) {
    // Entries start at 0 and only reserved names are non-zero, so a set whose
    // loading stopped early deletes nothing it did not make.
    for (int i = 0; i < NumNotes * 3.0; ++i)
      if (NoteLists[i] != 0) glDeleteLists(NoteLists[i], 1);
    delete[] NoteLists;
    NoteLists = nullptr;
  }
}

bool ONECURRENCY::Load(MONEYFILE* file, point2d* sizes, float scale) {
  Textures = new (std::nothrow) Texture[NumTextures];
  if (Textures == nullptr) {
    ERRORCLOSE("Unable to allocate memory!");
    return false;
  }
  const size_t listCount = size_t(NumNotes * 3.0);
  NoteLists = new (std::nothrow) uint32_t[listCount]();
  if (NoteLists == nullptr) {
    ERRORCLOSE("Unable to allocate memory!");
    return false;
  }

  // Every image is decoded before the first list is made (or was, ahead of
  // need). The decoder has already alerted the user about a bad image;
  // nothing more is reported. Images go to OpenGL when first drawn.
  for (int i = 0; i < NumTextures; ++i) {
    const MONEYLUMP& lump = file->lumps[i];
    if (lump.type != 1) continue;  // not an image: the denomination has no texture
    if (!TakePrefetchedImage(file->path, i, &Textures[i])) {
      if (!file->SeekLump(i)) return false;
      if (!LoadTGA2(&Textures[i], &file->stream)) return false;
    }
    if (!BuildTextureLater(&Textures[i], lump.alphaMode)) return false;
  }

  for (int i = 0; i < NumNotes; ++i) {
    uint32_t* lists = &NoteLists[3 * i];
    lists[0] = glGenLists(1);
    lists[1] = glGenLists(1);
    lists[2] = glGenLists(1);
    CreateNote(lists[0], lists[1], lists[2], sizes[i].x, sizes[i].y, Textures[i].textureId, scale);
  }
  return true;
}

// --- one listed currency ------------------------------------------------------

CURRENCYINFO::~CURRENCYINFO() {
  delete[] NoteSizes;
  NoteSizes = nullptr;
  delete NoteSet;
  NoteSet = nullptr;
}

bool CURRENCYINFO::LoadData(float scale) {
  std::unique_ptr<MONEYFILE> file(new (std::nothrow) MONEYFILE);
  if (!file) {
    ERRORCLOSE("Unable to allocate memory!");
    return false;
  }
  delete[] NoteSizes;  // a second load replaces the first
  NoteSizes = new (std::nothrow) point2d[NumNotes];
  if (NoteSizes == nullptr) {
    ERRORCLOSE("Unable to allocate memory!");
    return false;
  }

  // The file may have changed since it was listed: one with fewer lumps than
  // the list counted would make us read past its directory.
  char path[PATH_BUFFER_SIZE];
  if (!JoinPath(path, Folder, FileName) || !file->Open(path) ||
      file->header.numLumps < uint32_t(NumNotes)) {
    ERRORCLOSE("Unable to load currency!");
    return false;
  }

  if (!WithinLimits(file.get(), path)) {
    PastLimits = true;
    return false;
  }

  for (int i = 0; i < NumNotes; ++i) {
    NoteSizes[i].x = float(file->lumps[i].width / 100.0);
    NoteSizes[i].y = float(file->lumps[i].height / 100.0);
  }

  delete NoteSet;
  NoteSet = new (std::nothrow) ONECURRENCY;
  if (NoteSet == nullptr) {
    ERRORCLOSE("Unable to allocate memory!");
    return false;
  }
  NoteSet->NumNotes = NumNotes;
  NoteSet->NumTextures = NumNotes;
  if (!NoteSet->Load(file.get(), NoteSizes, scale)) return false;

  file->Close();
  return true;
}

// --- the currency list ----------------------------------------------------------

int CountFiles(const char* path1, const char* path2, const char* ext) {
  int total = 0;
  for (const char* folder : {path1, path2}) {
    DirHandle dir(opendir(folder));
    if (!dir) continue;
    // The name must be longer than ext: a file called just ".dosh" is not counted.
    while (const char* name = NextCandidate(dir.get(), ext, std::strlen(ext) + 1)) {
      MONEYFILE file;
      if (OpenCurrency(&file, folder, name)) {
        ++total;
        file.Close();
      }
    }
  }
  return total;
}

bool BuildCurrencyList(const char* path1, const char* path2, CURRENCYINFO** currencies,
                       int32_t* numCurrencies) {
  *numCurrencies = CountFiles(path1, path2, kCurrencyExt);
  if (*numCurrencies < 1) {
    ERRORCLOSE("No Currency Data Found!");
    return false;
  }
  *currencies = new (std::nothrow) CURRENCYINFO[*numCurrencies];
  if (*currencies == nullptr) {
    ERRORCLOSE("Error Allocating Memory!");
    return false;
  }

  // Files may have vanished or changed since they were counted.
  int32_t n = 0;
  ScanFolder(path1, *currencies, *numCurrencies, &n);
  ScanFolder(path2, *currencies, *numCurrencies, &n);
  if (n < *numCurrencies) *numCurrencies = n;
  if (*numCurrencies < 1) {
    ERRORCLOSE("No valid currencies found!");
    return false;
  }

  for (int32_t i = 0; i < *numCurrencies; ++i) {
    if (!ReadHeader(&(*currencies)[i])) {
      ERRORCLOSE("Error Loading Currency!");
      return false;
    }
  }
  return true;
}

int32_t FindSelectedCurrency(const CURRENCYINFO* currencies, int32_t numCurrencies,
                             char* selectedName, size_t selectedSize) {
  for (int32_t i = 0; i < numCurrencies; ++i)
    if (std::strcmp(selectedName, currencies[i].FileName) == 0) return i;
  if (numCurrencies >= 1) CopyString(selectedName, selectedSize, currencies[0].FileName);
  return 0;
}

bool CurrencyFileExists(const char* folder, const char* name) {
  std::set<std::string> names;
  AddCurrencyNames(folder, &names);
  return names.count(name) > 0;
}

void AddCurrencyNames(const char* folder, std::set<std::string>* names) {
  DirHandle dir(opendir(folder));
  if (!dir) return;
  while (const char* entry = NextCandidate(dir.get(), kCurrencyExt, sizeof kCurrencyExt - 1)) {
    MONEYFILE file;
    if (OpenCurrency(&file, folder, entry)) names->insert(file.header.name);
  }
}
