// The catalogue as the settings sheet and corvan-dosh read it: any bytes a
// server sends, parsed as a property list and turned into entries, and the
// file name each entry's download would be installed under.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "PropertyList.h"
#include "config/Downloads.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<PropertyListItem> items;
  std::string why;
  if (!ParsePropertyListArray(text, &items, &why)) return 0;
  for (const PropertyListItem& item : items) {
    DOWNLOADDATA entry;
    if (!ReadCatalogueEntry(item, &entry)) continue;
    // What the sheet lists must fit its fields, terminated.
    if (strnlen(entry.Name, sizeof entry.Name) == sizeof entry.Name ||
        strnlen(entry.Location, sizeof entry.Location) == sizeof entry.Location)
      __builtin_trap();
    // The file a download of it may write is a plain name in the currency folder.
    std::string name;
    if (DownloadFileName(entry.Location, &name, &why) &&
        (name.find('/') != std::string::npos || name[0] == '.' ||
         name.find('\0') != std::string::npos))
      __builtin_trap();
  }
  return 0;
}
