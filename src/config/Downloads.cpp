// The currency downloads: listing the catalogue in the sheet, starting a
// download of the chosen entry, and the download's events, which place the
// file in the user's currency folder and show how it goes.
#include "config/Downloads.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "data/Currency.h"
#include "data/CurrencyLimits.h"
#include "data/MoneyFile.h"
#include "image/TGALoader.h"
#include "platform/Alert.h"
#include "world/Notes.h"

#ifndef CORVAN_CATALOGUE_SERVER
#define CORVAN_CATALOGUE_SERVER "http://localhost:8000"
#endif

namespace {

const char kConnectError[] = "Error! Could not connect to the server!";
const char kCatalogueError[] = "Error! The catalogue could not be understood!";
const char kNameRule[] =
    "a currency file name is letters, digits, \".\", \"-\", \"_\" and spaces, ending in \".dosh\"";

bool IsNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '-' || c == '_' || c == ' ';
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// %XX escapes decoded; a "%" without two hex digits after it stays as it is.
std::string PercentDecode(const std::string& text) {
  std::string decoded;
  for (size_t i = 0; i < text.size(); ++i) {
    const int high = text[i] == '%' && i + 2 < text.size() ? HexValue(text[i + 1]) : -1;
    const int low = high >= 0 ? HexValue(text[i + 2]) : -1;
    if (low < 0) {
      decoded += text[i];
      continue;
    }
    decoded += char(high * 16 + low);
    i += 2;
  }
  return decoded;
}

bool SafeCurrencyFileName(const std::string& name) {
  const char ext[] = ".dosh";
  const size_t extLength = sizeof ext - 1;
  bool ok = name.size() > extLength && name.size() <= 255 && name[0] != '.' &&
            name.compare(name.size() - extLength, extLength, ext) == 0;
  for (char c : name) ok = ok && IsNameCharacter(c);
  return ok;
}

// Why a file did not open as a currency, said once.
std::string NotACurrency(const MONEYFILE& file) {
  if (StartsWith(file.failure, "not a currency file")) return file.failure;
  if (StartsWith(file.failure, "too short") && file.fileSize == 0)
    return "not a currency file: it is empty";
  return "not a currency file: " + file.failure;
}

std::string FailureText(const std::string& description, const std::string& address) {
  return "Download failed! Error - " + description + " " + address;
}

// The status line. It remembers whether it holds the listing's own error,
// which the next listing that succeeds clears.
void SetStatus(Corvan3DSSView* v, const std::string& text, bool listingError = false) {
  v->oDownloadText->setStringValue(text);
  v->statusShowsListingError = listingError;
}

// None of the five controls while a download runs; the menu of offers and
// Download only while no catalogue is being read and something is offered.
void UpdateDownloadControls(Corvan3DSSView* v) {
  const bool idle = v->theDownload == nullptr;
  const bool offers = idle && v->catalogueRead == nullptr && v->numDownloads > 0;
  v->oAvailableDownloads->setEnabled(offers);
  v->oDownload->setEnabled(offers);
  v->oCheckDownloads->setEnabled(idle);
  v->oDirectory->setEnabled(idle);
  v->oSave->setEnabled(idle);
}

// A listing that did not come about: the headline and the reason under it,
// unless a download is saying how it goes.
void ListingFailed(Corvan3DSSView* v, const std::string& address, const char* headline,
                   const std::string& why) {
  std::fprintf(stderr, "corvan3d: %s: %s\n", Printable(address).c_str(), why.c_str());
  if (v->theDownload == nullptr) SetStatus(v, std::string(headline) + "\n" + why, true);
}

// The display names of the currencies already here: the bundle's, and those
// of the user's folders, read once per listing.
std::set<std::string> InstalledNames(const Corvan3DSSView* v, const MONEYSS* world) {
  std::set<std::string> names;
  const char* folders[] = {world->CurrencyPath, world->CurrencyPath2, v->mySettings.CurrencyPath2};
  for (size_t i = 0; i < sizeof folders / sizeof *folders; ++i) {
    const bool seen = (i >= 1 && std::strcmp(folders[i], folders[i - 1]) == 0) ||
                      (i >= 2 && std::strcmp(folders[i], folders[0]) == 0);
    if (!seen) AddCurrencyNames(folders[i], &names);
  }
  return names;
}

// Fills the download menu from a freshly read catalogue, leaving out the
// currencies already installed.
void ListCatalogue(Corvan3DSSView* v, Network* net, const TextReply& reply) {
  std::vector<DOWNLOADDATA> entries;
  std::string why;
  if (!ReadCatalogue(net, reply.text, &entries, &why)) {
    ListingFailed(v, reply.address, kCatalogueError, why);  // the listing stays as it was
    return;
  }
  v->catalogueURL = reply.address;  // relative locations are resolved against it
  const MONEYSS* world = v->ssMain != nullptr ? v->ssMain->World : nullptr;
  const bool filter = world != nullptr && world->NumCurrencies >= 1;
  const std::set<std::string> installed =
      filter ? InstalledNames(v, world) : std::set<std::string>();

  delete[] v->downloadData;
  v->downloadData = new (std::nothrow) DOWNLOADDATA[entries.empty() ? 1 : entries.size()];
  v->numDownloads = 0;
  if (v->downloadData == nullptr) entries.clear();
  for (const DOWNLOADDATA& entry : entries)
    if (installed.count(entry.Name) == 0) v->downloadData[v->numDownloads++] = entry;

  v->oAvailableDownloads->removeAllItems();
  for (uint32_t i = 0; i < v->numDownloads; ++i)
    v->oAvailableDownloads->addItemWithTitle(v->downloadData[i].Name);
  if (v->numDownloads == 0) v->oAvailableDownloads->addItemWithTitle("None");
  if (v->statusShowsListingError && v->theDownload == nullptr) SetStatus(v, "");
}

// The catalogue server the sheet shows: what the field holds, else the built-in one.
std::string ShownCatalogueServer(const Corvan3DSSView* v) {
  const std::string server = Trimmed(v->oCatalogueServer->stringValue());
  return server.empty() ? DefaultCatalogueServer() : server;
}

}  // namespace

// ---- the catalogue ------------------------------------------------------------------

std::string DefaultCatalogueServer() { return CORVAN_CATALOGUE_SERVER; }

std::string CatalogueServer(PreferencesStore* store) {
  const std::string server = store != nullptr ? store->StringForKey("CatalogueServer") : "";
  return server.empty() ? DefaultCatalogueServer() : server;
}

std::string CatalogueAddress(const std::string& server) {
  std::string address = server;
  while (!address.empty() && address.back() == '/') address.pop_back();
  return address + kCataloguePath;
}

bool ReadCatalogueEntry(const PropertyListItem& item, DOWNLOADDATA* entry) {
  if (!item.isString) return false;
  const size_t first = item.text.find(';');
  if (first == std::string::npos) return false;
  const size_t second = item.text.find(';', first + 1);
  const std::string name = item.text.substr(0, first);
  const std::string location = item.text.substr(
      first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
  if (name.empty() || location.empty() || name.size() >= sizeof entry->Name ||
      location.size() >= sizeof entry->Location || name.find('\0') != std::string::npos ||
      location.find('\0') != std::string::npos)
    return false;
  std::memcpy(entry->Name, name.c_str(), name.size() + 1);
  std::memcpy(entry->Location, location.c_str(), location.size() + 1);
  return true;
}

bool ReadCatalogue(Network* net, const std::string& text, std::vector<DOWNLOADDATA>* entries,
                   std::string* why) {
  std::vector<PropertyListItem> items;
  if (!net->parseArray(text, &items, why)) return false;
  entries->clear();
  for (const PropertyListItem& item : items) {
    DOWNLOADDATA entry;
    if (ReadCatalogueEntry(item, &entry)) entries->push_back(entry);
  }
  return true;
}

// ---- what may be installed, and where -----------------------------------------------

bool DownloadFileName(const std::string& location, std::string* name, std::string* why) {
  const std::string path = location.substr(0, location.find_first_of("?#"));
  const std::string segment = PercentDecode(path.substr(path.rfind('/') + 1));
  if (!SafeCurrencyFileName(segment)) {
    *why = "unsafe file name \"" + Printable(segment) + "\" (" + kNameRule + ")";
    return false;
  }
  *name = segment;
  return true;
}

void ChooseDestination(URLDownload* download, const std::string& folder,
                       const std::string& location) {
  std::string name, why;
  if (!DownloadFileName(location, &name, &why)) {
    download->fail(why);
    return;
  }
  if (folder.empty()) {
    download->fail("no currency folder is set");
    return;
  }
  download->setDestination(folder.back() == '/' ? folder + name : folder + "/" + name, true);
}

bool CheckCurrencyFile(const std::string& path, std::string* name, std::string* why,
                       const std::atomic<bool>* stop) {
  MONEYFILE file;
  if (!file.Open(path.c_str())) {
    *why = NotACurrency(file);
    return false;
  }
  if (file.header.numLumps < 1) {
    *why = "not a currency file: it has no notes";
    return false;
  }
  // Nothing past the saver's limits is decoded: the saver would refuse it.
  CurrencyCost cost;
  std::string past;
  if (!CheckCurrencyLimits(&file, 0, &cost, &past)) {
    *why = "past the saver's limits: " + past;
    return false;
  }
  std::string alert;
  ScopedAlertHandler quiet([&alert](const char* text, const char*) { alert = text; });
  for (uint32_t i = 0; i < file.header.numLumps; ++i) {
    if (stop != nullptr && stop->load()) {
      *why = "cancelled";
      return false;
    }
    if (file.lumps[i].type != 1) continue;
    Texture image;
    if (!file.SeekLump(int(i)) || !LoadTGA2(&image, &file.stream)) {
      *why = "note " + std::to_string(i) + " does not decode" + (alert.empty() ? "" : ": " + alert);
      return false;
    }
  }
  *name = file.header.name;
  return true;
}

bool CheckDownloadedCurrency(const std::string& received, const std::string& name,
                             const std::string& destination, const std::atomic<bool>& stop,
                             std::string* why) {
  std::string holds;
  if (!CheckCurrencyFile(received, &holds, why, &stop)) return false;
  if (holds != name) {
    *why = "the file holds \"" + Printable(holds) + "\", not \"" + Printable(name) + "\"";
    return false;
  }
  struct stat info;
  if (lstat(destination.c_str(), &info) != 0 && errno == ENOENT) return true;  // a new currency
  MONEYFILE existing;
  if (!existing.Open(destination.c_str())) {
    *why = Printable(destination) + " is kept: it is " + NotACurrency(existing);
    return false;
  }
  if (existing.header.name != name) {
    *why = Printable(destination) + " is kept: it holds \"" + Printable(existing.header.name) +
           "\", not \"" + Printable(name) + "\"";
    return false;
  }
  return true;  // an update of the same currency
}

DownloadCheck CurrencyCheck(const std::string& name) {
  return [name](const std::string& received, const std::string& destination,
                const std::atomic<bool>& stop, std::string* why) {
    return CheckDownloadedCurrency(received, name, destination, stop, why);
  };
}

// ---- the sheet's operations ---------------------------------------------------------

void Corvan3DSSView::configureSheet_checkdownloads() {
  Network* net = Host()->Net();
  if (net == nullptr || catalogueRead != nullptr) return;  // one read at a time
  const std::string address = CatalogueAddress(ShownCatalogueServer(this));
  catalogueRead =
      net->readText(address, kMaxCatalogueBytes, [this, net, address](const TextReply& reply) {
        catalogueRead = nullptr;
        if (reply.ok)
          ListCatalogue(this, net, reply);
        else
          ListingFailed(this, address, kConnectError, reply.error);
        UpdateDownloadControls(this);
      });
  UpdateDownloadControls(this);
}

void Corvan3DSSView::configureSheet_download() {
  Network* net = Host()->Net();
  const int k = oAvailableDownloads->indexOfSelectedItem();
  if (net == nullptr || theDownload != nullptr || catalogueRead != nullptr || k < 0 ||
      uint32_t(k) >= numDownloads)
    return;
  const DOWNLOADDATA& entry = downloadData[k];
  std::string url, name, why;
  if (!DownloadFileName(entry.Location, &name, &why) ||
      !net->resolveURL(catalogueURL, entry.Location, &url, &why)) {
    SetStatus(this, FailureText(why, Printable(entry.Location)));
    return;
  }
  downloadEntry = entry;
  oProgress->startAnimation();
  theDownload = net->startDownload(url, kMaxDownloadBytes, CurrencyCheck(entry.Name), this);
  UpdateDownloadControls(this);
}

void Corvan3DSSView::download_decideDestinationWithSuggestedFilename(URLDownload* download,
                                                                     const std::string&) {
  // The entry's own name, whatever the server suggests.
  ChooseDestination(download, mySettings.CurrencyPath2, downloadEntry.Location);
}

void Corvan3DSSView::download_didReceiveResponse(URLDownload*, int64_t expectedContentLength) {
  bytesReceived = 0;
  expectedBytes = expectedContentLength;
}

void Corvan3DSSView::download_didReceiveDataOfLength(URLDownload*, uint32_t length) {
  bytesReceived += length;
  char text[128];
  if (expectedBytes > 0) {
    const float percent = float(bytesReceived) / float(expectedBytes) * 100.0f;
    oProgress->setDoubleValue(percent);
    std::snprintf(text, sizeof text, "Downloading, Please Wait: %2.2f%% Complete\n",
                  double(percent));
  } else {
    std::snprintf(text, sizeof text, "Downloading, Please Wait: %lld bytes received\n",
                  static_cast<long long>(bytesReceived));
  }
  SetStatus(this, text);
}

void Corvan3DSSView::downloadDidFinish(URLDownload*) {
  SetStatus(this, "Download Complete!");
  oProgress->stopAnimation();
  theDownload = nullptr;
  UpdateDownloadControls(this);
  configureSheet_checkdownloads();  // the installed currency drops out of the list
}

bool Corvan3DSSView::download_shouldDecode(URLDownload*, const std::string& mimeType) {
  return mimeType == "application/gzip";  // never "application/macbinary" or "application/binhex"
}

void Corvan3DSSView::download_didFailWithError(URLDownload*, const NetError& error) {
  SetStatus(this, FailureText(error.description, Printable(error.failingURL)));
  oProgress->stopAnimation();  // a bar still moving would say the download goes on
  theDownload = nullptr;
  UpdateDownloadControls(this);
}
