#include "Catalogue.h"

#include <dirent.h>
#include <glib-unix.h>
#include <glib.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>

#include "CurlNetwork.h"
#include "PropertyList.h"
#include "config/Downloads.h"
#include "data/Currency.h"
#include "data/MoneyFile.h"
#include "platform/Bundle.h"

const char kCatalogueUsage[] = "corvan-dosh catalogue DIR [--base URL]";
const char kFetchUsage[] =
    "corvan-dosh fetch URL [--into DIR] [--timeout SECONDS] [--cacert FILE] [NAME...]";

namespace {

const int kOk = 0;
const int kFailed = 1;
const int kUsage = 2;
const int kInterrupted = 130;

int UsageError(const std::string& problem, const char* usage) {
  std::fprintf(stderr, "corvan-dosh: %s\nusage: %s\n", problem.c_str(), usage);
  return kUsage;
}

struct Offer {
  std::string name;
  std::string file;
};

// A file name as part of an address: the names offered hold no character
// that needs escaping but the space.
std::string AddressOf(const std::string& base, const std::string& file) {
  std::string escaped;
  for (char c : file) escaped += c == ' ' ? std::string("%20") : std::string(1, c);
  if (base.empty()) return escaped;
  return base.back() == '/' ? base + escaped : base + "/" + escaped;
}

// The currency files of a folder that could be installed from it, by name.
std::vector<Offer> CurrenciesIn(const std::string& folder, bool* ok) {
  std::vector<Offer> offers;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
  *ok = dir != nullptr;
  if (!dir) return offers;
  while (const dirent* entry = readdir(dir.get())) {
    const std::string file = entry->d_name;
    const std::string path = folder + "/" + file;
    std::string installedAs, name, why;
    if (file.size() < 5 || file.compare(file.size() - 5, 5, ".dosh") != 0) continue;
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
    // A download is installed under the name its address ends in: it must be this file's.
    if (DownloadFileName(AddressOf("", file), &installedAs, &why) && installedAs != file)
      why = "it would be installed as " + installedAs;
    if (installedAs != file || !CheckCurrencyFile(path, &name, &why)) {
      std::fprintf(stderr, "corvan-dosh: %s: left out: %s\n", Printable(path).c_str(), why.c_str());
      continue;
    }
    if (name.find(';') != std::string::npos) {
      std::fprintf(stderr, "corvan-dosh: %s: left out: its name \"%s\" holds a \";\"\n",
                   Printable(path).c_str(), Printable(name).c_str());
      continue;
    }
    offers.push_back(Offer{name, file});
  }
  std::sort(offers.begin(), offers.end(), [](const Offer& a, const Offer& b) {
    return a.name != b.name ? a.name < b.name : a.file < b.file;
  });
  // A catalogue offers each currency once: by its name.
  for (size_t i = 1; i < offers.size();) {
    if (offers[i].name != offers[i - 1].name) {
      ++i;
      continue;
    }
    std::fprintf(stderr, "corvan-dosh: %s: left out: %s offers \"%s\" already\n",
                 Printable(offers[i].file).c_str(), Printable(offers[i - 1].file).c_str(),
                 Printable(offers[i].name).c_str());
    offers.erase(offers.begin() + long(i));
  }
  return offers;
}

// Installs an entry into a folder, saying how it went on the terminal.
class FetchDelegate : public DownloadDelegate {
public:
  FetchDelegate(std::string folder, const DOWNLOADDATA& entry, std::string file)
      : folder(std::move(folder)), entry(entry), file(std::move(file)) {}

  void download_decideDestinationWithSuggestedFilename(URLDownload* download,
                                                       const std::string&) override {
    ChooseDestination(download, folder,
                      entry.Location);  // the entry's own name, whatever is suggested
  }
  void download_didReceiveResponse(URLDownload*, int64_t) override {}
  void download_didReceiveDataOfLength(URLDownload*, uint32_t) override {}
  void downloadDidFinish(URLDownload*) override {
    std::printf("installed \"%s\" as %s into %s\n", Printable(entry.Name).c_str(),
                Printable(file).c_str(), Printable(folder).c_str());
    done = ok = true;
  }
  void download_didFailWithError(URLDownload*, const NetError& error) override {
    std::fprintf(stderr, "corvan-dosh: \"%s\": download failed: %s %s\n",
                 Printable(entry.Name).c_str(), error.description.c_str(),
                 Printable(error.failingURL).c_str());
    done = true;
  }

  bool done = false;
  bool ok = false;

private:
  std::string folder;
  DOWNLOADDATA entry;
  std::string file;
};

// Set by SIGINT, SIGTERM or SIGHUP: what runs is dropped, and with it any
// file half arrived.
bool gInterrupted = false;

// Runs the main loop the network is driven by until done says so; false when
// interrupted first.
template <class Done>
bool RunUntil(Done done) {
  while (!done() && !gInterrupted) g_main_context_iteration(nullptr, TRUE);
  return !gInterrupted;
}

// Reads the catalogue at url; its address after redirects, which relative
// locations are resolved against, goes to *address.
bool ReadCatalogueAt(CurlNetwork* net, const std::string& url, std::vector<DOWNLOADDATA>* entries,
                     std::string* address) {
  bool finished = false;
  TextReply reply;
  net->readText(url, kMaxCatalogueBytes, [&](const TextReply& r) {
    finished = true;
    reply = r;
  });
  if (!RunUntil([&] { return finished; })) return false;
  std::string why = reply.error;
  *address = reply.address;
  if (reply.ok && ReadCatalogue(net, reply.text, entries, &why)) return true;
  std::fprintf(stderr, "corvan-dosh: %s: %s\n", Printable(url).c_str(), why.c_str());
  return false;
}

bool Install(CurlNetwork* net, const std::string& catalogue, const DOWNLOADDATA& entry,
             const std::string& into) {
  std::string url, file, why;
  if (!DownloadFileName(entry.Location, &file, &why) ||
      !net->resolveURL(catalogue, entry.Location, &url, &why)) {
    std::fprintf(stderr, "corvan-dosh: \"%s\": %s: %s\n", Printable(entry.Name).c_str(),
                 why.c_str(), Printable(entry.Location).c_str());
    return false;
  }
  FetchDelegate delegate(into, entry, file);
  net->startDownload(url, kMaxDownloadBytes, CurrencyCheck(entry.Name), &delegate);
  return RunUntil([&] { return delegate.done; }) && delegate.ok;
}

// Lists the catalogue at url, or installs the entries named into a folder.
int Fetch(const NetOptions& options, const std::string& url, const std::string& into,
          const std::vector<std::string>& names) {
  CurlNetwork net(options);
  std::vector<DOWNLOADDATA> entries;
  std::string address;
  if (!ReadCatalogueAt(&net, url, &entries, &address)) return kFailed;
  if (names.empty()) {
    std::set<std::string> installed;
    AddCurrencyNames((into.back() == '/' ? into : into + "/").c_str(), &installed);
    for (const DOWNLOADDATA& entry : entries)
      std::printf("%s\t%s%s\n", Printable(entry.Name).c_str(), Printable(entry.Location).c_str(),
                  installed.count(entry.Name) ? "\t(installed)" : "");
    return kOk;
  }
  int status = kOk;
  for (const std::string& name : names) {
    auto entry = std::find_if(entries.begin(), entries.end(),
                              [&name](const DOWNLOADDATA& e) { return name == e.Name; });
    if (entry == entries.end()) {
      std::fprintf(stderr, "corvan-dosh: \"%s\": not in the catalogue\n", Printable(name).c_str());
      status = kFailed;
    } else if (!Install(&net, address, *entry, into)) {
      status = kFailed;
    }
    if (gInterrupted) break;
  }
  return status;
}

}  // namespace

int CatalogueCommand(const std::vector<std::string>& args) {
  std::string folder, base;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--base" && i + 1 < args.size())
      base = args[++i];
    else if (args[i].compare(0, 2, "--") == 0 || !folder.empty())
      return UsageError("unexpected argument \"" + args[i] + "\"", kCatalogueUsage);
    else
      folder = args[i];
  }
  if (folder.empty()) return UsageError("catalogue needs a folder", kCatalogueUsage);
  bool ok = false;
  const std::vector<Offer> offers = CurrenciesIn(folder, &ok);
  if (!ok) {
    std::perror(("corvan-dosh: " + folder).c_str());
    return kFailed;
  }
  std::vector<std::string> entries;
  for (const Offer& offer : offers) {
    const std::string location = AddressOf(base, offer.file);
    if (location.size() >= sizeof DOWNLOADDATA::Location) {
      std::fprintf(stderr, "corvan-dosh: %s: left out: its address is longer than %zu bytes\n",
                   offer.file.c_str(), sizeof DOWNLOADDATA::Location - 1);
      continue;
    }
    entries.push_back(offer.name + ";" + location);
  }
  std::fputs(WritePropertyListArray(entries).c_str(), stdout);
  return kOk;
}

int FetchCommand(const std::vector<std::string>& args) {
  std::string url, into = DefaultUserCurrencyFolder();
  std::vector<std::string> names;
  NetOptions options;
  for (size_t i = 0; i < args.size(); ++i) {
    const bool hasValue = i + 1 < args.size();
    if (args[i] == "--into" && hasValue) {
      into = args[++i];
    } else if (args[i] == "--timeout" && hasValue) {
      char* end = nullptr;
      const long seconds = std::strtol(args[++i].c_str(), &end, 10);
      if (*end != '\0' || seconds < 1 || seconds > 3600)
        return UsageError("--timeout wants whole seconds from 1 to 3600", kFetchUsage);
      options.connectSeconds = options.textSeconds = options.stallSeconds = seconds;
    } else if (args[i] == "--cacert" && hasValue) {
      options.caFile = args[++i];
    } else if (args[i].compare(0, 2, "--") == 0) {
      return UsageError("unknown option \"" + args[i] + "\"", kFetchUsage);
    } else if (url.empty()) {
      url = args[i];
    } else {
      names.push_back(args[i]);
    }
  }
  if (url.empty()) return UsageError("fetch needs the catalogue's address", kFetchUsage);
  if (into.empty()) return UsageError("--into wants a folder", kFetchUsage);

  for (int signal : {SIGINT, SIGTERM, SIGHUP})
    g_unix_signal_add(
        signal,
        [](gpointer) -> gboolean {
          gInterrupted = true;
          return G_SOURCE_CONTINUE;
        },
        nullptr);
  const int status = Fetch(options, url, into, names);
  if (!gInterrupted) return status;
  std::fprintf(stderr, "corvan-dosh: interrupted; nothing half arrived is left\n");
  return kInterrupted;
}
