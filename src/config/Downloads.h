// The catalogue of further currencies and what a downloaded file must pass
// before it is installed: shared by the settings sheet and corvan-dosh.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/Corvan3DSSView.h"

// Where the catalogue lies on its server.
constexpr char kCataloguePath[] = "/mac/zips/corvan/corvanCurrencies-v11.plist";
constexpr size_t kMaxCatalogueBytes = size_t(1) << 20;
constexpr int64_t kMaxDownloadBytes = int64_t(64) << 20;

// The catalogue server: the store's "CatalogueServer", else the build's default.
std::string CatalogueServer(PreferencesStore* store);
// The catalogue's full address on a server ("http://host:port").
std::string CatalogueAddress(const std::string& server);

// One element of the catalogue, "Name;Location[;more]", as an entry. False
// for an element that is not a string, lacks a ";", has an empty part, or
// whose parts do not fit their fields.
bool ReadCatalogueEntry(const PropertyListItem& item, DOWNLOADDATA* entry);

// The usable entries of a catalogue, in its order. False, saying why, when
// the text is not a property list whose root is an array.
bool ReadCatalogue(Network* net, const std::string& text, std::vector<DOWNLOADDATA>* entries,
                   std::string* why);

// A file name from the network reduced to a plain currency file name: the
// part after the last slash, made only of letters, digits, ".", "-", "_" and
// spaces, ending in ".dosh", not starting with a dot. False says why.
bool SafeCurrencyFileName(const std::string& suggested, std::string* name, std::string* why);

// The download's destination: its suggested name, made safe, in folder;
// a name that cannot be made safe fails the download.
void ChooseDestination(URLDownload* download, const std::string& folder, const std::string& suggested);

// Whether a file is a currency the saver can show: it opens as a currency
// file with at least one note, is within the saver's limits (checked before
// anything is decoded), and every image in it decodes.
bool CheckDownloadedCurrency(const std::string& path, std::string* why);
