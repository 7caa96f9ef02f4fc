// The catalogue of further currencies and what a downloaded file must pass
// before it is installed: shared by the settings sheet and corvan-dosh.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "host/Corvan3DSSView.h"

// Where the catalogue lies on its server.
constexpr char kCataloguePath[] = "/mac/zips/corvan/corvanCurrencies-v11.plist";
constexpr size_t kMaxCatalogueBytes = size_t(1) << 20;
constexpr int64_t kMaxDownloadBytes = int64_t(64) << 20;

// The catalogue server built in, used when the store names none.
std::string DefaultCatalogueServer();
// The catalogue server: the store's "CatalogueServer", else the built-in one.
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

// The name an entry's file is installed under: the last segment of the path
// of its Location as the catalogue lists it, decoded, made only of letters,
// digits, ".", "-", "_" and spaces, ending in ".dosh", not starting with a
// dot. Whatever the server later suggests or redirects to, this is the
// only file a download may replace. False says why.
bool DownloadFileName(const std::string& location, std::string* name, std::string* why);

// The download's destination: the file name of the entry's location in
// folder; a name that cannot be made safe fails the download.
void ChooseDestination(URLDownload* download, const std::string& folder,
                       const std::string& location);

// Whether a file is a currency the saver can show: it opens as a currency
// file with at least one note, is within the saver's limits (checked before
// anything is decoded), and every image in it decodes. name is the display
// name its header carries. A check that stop ends early fails.
bool CheckCurrencyFile(const std::string& path, std::string* name, std::string* why,
                       const std::atomic<bool>* stop = nullptr);

// What an arrived download of the currency called name must pass: a
// currency the saver can show, of that name; and where destination already
// holds a file, that file holds the same currency (an update). Anything
// else in the folder is kept.
bool CheckDownloadedCurrency(const std::string& received, const std::string& name,
                             const std::string& destination, const std::atomic<bool>& stop,
                             std::string* why);

// The check of a download of the currency called name.
DownloadCheck CurrencyCheck(const std::string& name);
