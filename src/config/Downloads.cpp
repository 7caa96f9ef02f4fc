// The currency downloads: listing the catalogue in the sheet, starting a
// download of the chosen entry, and the download's events, which place the
// file in the user's currency folder and show how it goes.
#include "config/Downloads.h"

#include <cstdio>
#include <cstring>
#include <new>

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

bool IsNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
         c == '_' || c == ' ';
}

void SetDownloadControls(Corvan3DSSView* v, bool enabled) {
  v->oAvailableDownloads->setEnabled(enabled);
  v->oDownload->setEnabled(enabled);
  v->oCheckDownloads->setEnabled(enabled);
  v->oDirectory->setEnabled(enabled);
  v->oSave->setEnabled(enabled);
}

std::string FailureText(const std::string& description, const std::string& address) {
  return "Download failed! Error - " + description + " " + address;
}

// Fills the download menu from a freshly read catalogue, leaving out the
// currencies the world's user folder already holds.
void ListCatalogue(Corvan3DSSView* v, Network* net, const std::string& text) {
  std::vector<DOWNLOADDATA> entries;
  std::string why;
  if (!ReadCatalogue(net, text, &entries, &why)) {
    std::fprintf(stderr, "corvan3d: %s: %s\n", v->catalogueURL.c_str(), why.c_str());
    v->oDownloadText->setStringValue(kCatalogueError);  // the listing stays as it was
    return;
  }
  MONEYSS* world = v->ssMain != nullptr ? v->ssMain->World : nullptr;
  const bool filter = world != nullptr && world->NumCurrencies >= 1;

  delete[] v->downloadData;
  v->downloadData = new (std::nothrow) DOWNLOADDATA[entries.empty() ? 1 : entries.size()];
  v->numDownloads = 0;
  if (v->downloadData == nullptr) entries.clear();
  for (const DOWNLOADDATA& entry : entries)
    if (!filter || !world->CurrencyFileExists(entry.Name)) v->downloadData[v->numDownloads++] = entry;

  v->oAvailableDownloads->removeAllItems();
  for (uint32_t i = 0; i < v->numDownloads; ++i) v->oAvailableDownloads->addItemWithTitle(v->downloadData[i].Name);
  if (v->numDownloads == 0) v->oAvailableDownloads->addItemWithTitle("None");
  v->oAvailableDownloads->setEnabled(v->numDownloads != 0);
}

}  // namespace

// ---- the catalogue ------------------------------------------------------------------

std::string CatalogueServer(PreferencesStore* store) {
  if (store != nullptr && store->HasKey("CatalogueServer")) {
    const std::string server = store->StringForKey("CatalogueServer");
    if (!server.empty()) return server;
  }
  return CORVAN_CATALOGUE_SERVER;
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
  const std::string location = item.text.substr(first + 1, second == std::string::npos ? std::string::npos
                                                                                        : second - first - 1);
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

// ---- what may be installed ----------------------------------------------------------

bool SafeCurrencyFileName(const std::string& suggested, std::string* name, std::string* why) {
  const size_t slash = suggested.find_last_of("/\\");
  const std::string plain = slash == std::string::npos ? suggested : suggested.substr(slash + 1);
  const char ext[] = ".dosh";
  const size_t extLength = sizeof ext - 1;
  bool ok = plain.size() > extLength && plain.size() <= 255 && plain[0] != '.' &&
            plain.compare(plain.size() - extLength, extLength, ext) == 0;
  for (char c : plain) ok = ok && IsNameCharacter(c);
  if (!ok) {
    *why = "unsafe file name \"" + Printable(suggested) +
           "\" (a currency file name is letters, digits, \".\", \"-\", \"_\" and spaces, ending in \".dosh\")";
    return false;
  }
  *name = plain;
  return true;
}

void ChooseDestination(URLDownload* download, const std::string& folder, const std::string& suggested) {
  std::string name, why;
  if (!SafeCurrencyFileName(suggested, &name, &why)) {
    download->fail(why);
    return;
  }
  if (folder.empty()) {
    download->fail("no currency folder is set");
    return;
  }
  download->setDestination(folder.back() == '/' ? folder + name : folder + "/" + name, true);
}

bool CheckDownloadedCurrency(const std::string& path, std::string* why) {
  MONEYFILE file;
  if (!file.Open(path.c_str())) {
    *why = "not a currency file: " + file.failure;
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
    if (file.lumps[i].type != 1) continue;
    Texture image;
    if (!file.SeekLump(int(i)) || !LoadTGA2(&image, &file.stream)) {
      *why = "note " + std::to_string(i) + " does not decode" + (alert.empty() ? "" : ": " + alert);
      return false;
    }
  }
  return true;
}

// ---- the sheet's operations ---------------------------------------------------------

void Corvan3DSSView::configureSheet_checkdownloads() {
  Network* net = Host()->Net();
  if (net == nullptr || catalogueRead != nullptr) return;  // one read at a time
  catalogueURL = CatalogueAddress(CatalogueServer(Host()->Defaults()));
  catalogueRead = net->readText(catalogueURL, kMaxCatalogueBytes,
                                [this, net](bool ok, const std::string& text, const std::string& error) {
                                  catalogueRead = nullptr;
                                  if (ok) {
                                    ListCatalogue(this, net, text);
                                    return;
                                  }
                                  std::fprintf(stderr, "corvan3d: %s: %s\n", catalogueURL.c_str(), error.c_str());
                                  oDownloadText->setStringValue(kConnectError);
                                });
}

void Corvan3DSSView::configureSheet_download() {
  Network* net = Host()->Net();
  const int k = oAvailableDownloads->indexOfSelectedItem();
  if (net == nullptr || theDownload != nullptr || k < 0 || uint32_t(k) >= numDownloads) return;
  const DOWNLOADDATA& entry = downloadData[k];
  std::string url, why;
  if (!net->resolveURL(catalogueURL, entry.Location, &url, &why)) {
    oDownloadText->setStringValue(FailureText(why, Printable(entry.Location)));
    return;
  }
  SetDownloadControls(this, false);
  oProgress->startAnimation();
  theDownload = net->startDownload(url, kMaxDownloadBytes, CheckDownloadedCurrency, this);
}

void Corvan3DSSView::download_decideDestinationWithSuggestedFilename(URLDownload* download,
                                                                     const std::string& filename) {
  ChooseDestination(download, mySettings.CurrencyPath2, filename);
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
    std::snprintf(text, sizeof text, "Downloading, Please Wait: %2.2f%% Complete\n", double(percent));
  } else {
    std::snprintf(text, sizeof text, "Downloading, Please Wait: %lld bytes received\n",
                  static_cast<long long>(bytesReceived));
  }
  oDownloadText->setStringValue(text);
}

void Corvan3DSSView::downloadDidFinish(URLDownload*) {
  oDownloadText->setStringValue("Download Complete!");
  oProgress->stopAnimation();
  SetDownloadControls(this, true);
  configureSheet_checkdownloads();  // the installed currency drops out of the list
  theDownload = nullptr;
}

bool Corvan3DSSView::download_shouldDecode(URLDownload*, const std::string& mimeType) {
  return mimeType == "application/gzip";  // never "application/macbinary" or "application/binhex"
}

void Corvan3DSSView::download_didFailWithError(URLDownload*, const NetError& error) {
  oDownloadText->setStringValue(FailureText(error.description, Printable(error.failingURL)));
  SetDownloadControls(this, true);
  theDownload = nullptr;
}
