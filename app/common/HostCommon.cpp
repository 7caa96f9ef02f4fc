#include "HostCommon.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <vector>

#include "data/Prefetch.h"
#include "host/SSMain.h"
#include "platform/Bundle.h"
#include "platform/ScreenSaverDefaults.h"

namespace fs = std::filesystem;

namespace {

const double gStarted = MonotonicSeconds();

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

int PinDriver(dl_phdr_info* info, size_t, void*) {
  const char* name = info->dlpi_name;
  const size_t length = std::strlen(name);
  const char suffix[] = "_dri.so";
  if (length > sizeof suffix && std::strcmp(name + length - (sizeof suffix - 1), suffix) == 0)
    dlopen(name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);  // never closed: that is the point
  return 0;
}

}  // namespace

void KeepGLDriversLoaded() {
  if (kSanitized) dl_iterate_phdr(PinDriver, nullptr);
}

double MonotonicSeconds() {
  using Seconds = std::chrono::duration<double>;
  return std::chrono::duration_cast<Seconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double SecondsSinceStart() {
  // The kernel's start time of the process, in clock ticks since boot: the
  // loading of shared libraries before any code of ours runs counts too.
  static const double started = [] {
    std::FILE* stat = std::fopen("/proc/self/stat", "r");
    char text[1024] = {};
    const size_t length = stat != nullptr ? std::fread(text, 1, sizeof text - 1, stat) : 0;
    if (stat != nullptr) std::fclose(stat);
    const char* field = std::strrchr(text, ')');  // the name may hold spaces
    unsigned long long ticks = 0;
    for (int n = 2; field != nullptr && length > 0 && n < 22; ++n)
      field = std::strchr(field + 1, ' ');
    if (field == nullptr || std::sscanf(field, " %llu", &ticks) != 1) return -1.0;
    timespec now;
    clock_gettime(CLOCK_BOOTTIME, &now);
    const double sinceBoot = double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
    return MonotonicSeconds() - (sinceBoot - double(ticks) / double(sysconf(_SC_CLK_TCK)));
  }();
  return MonotonicSeconds() - (started >= 0.0 ? started : gStarted);
}

std::string OwnProgram() {
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return "corvan3d";
  std::string program(path, size_t(length));
  const std::string deleted = " (deleted)";
  if (program.size() > deleted.size() &&
      program.compare(program.size() - deleted.size(), deleted.size(), deleted) == 0)
    program.resize(program.size() - deleted.size());
  return program;
}

std::unique_ptr<PreferencesStore> OpenPreferences() {
  const char* module = "baCorvan3D";
  return std::make_unique<ScreenSaverDefaults>(module, ScreenSaverDefaults::PathForModule(module));
}

namespace {

bool IsFolder(const std::string& path) {
  std::error_code ignored;
  return !path.empty() && fs::is_directory(path, ignored);
}

// The currency files a world set up from the store loads: every one in mix
// mode, else the selected one, the bundle's before the user's.
std::vector<std::string> CurrencyFilesToLoad(PreferencesStore* store,
                                             const std::vector<std::string>& folders) {
  std::vector<std::string> files;
  const std::string selected =
      store->HasKey("SelectedCurrency") ? store->StringForKey("SelectedCurrency") : "USA.dosh";
  const bool mix = store->BoolForKey("MixCurrency");
  for (const std::string& folder : folders) {
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
      const std::string name = entry->path().filename().string();
      if ((mix && entry->path().extension() == ".dosh") || name == selected)
        files.push_back(entry->path().string());
    }
    if (!mix && !files.empty()) break;
  }
  return files;
}

}  // namespace

void PrefetchViewImages(PreferencesStore* store) {
  const std::string bundle = BundleFolder();
  std::string user = store->StringForKey("CurrencyPath2");
  if (!store->HasKey("CurrencyPath2") || !IsFolder(user)) user = DefaultUserCurrencyFolder();
  std::vector<PrefetchFile> files;
  for (const std::string& path : CurrencyFilesToLoad(store, {bundle, user}))
    files.push_back(PrefetchFile{path, {}});
  files.push_back(PrefetchFile{bundle + "/brimble.artifacts",
                               {kGlyphSheet, kBannerBadge, kMessageA, kMessageB}});
  PrefetchImages(files);
}

CommonServices::CommonServices(PreferencesStore* store)
    : store(store), bundle(BundleFolder()), userFolder(DefaultUserCurrencyFolder()) {}

double CommonServices::Now() { return MonotonicSeconds(); }

double CommonServices::SecondsSinceEpoch() { return double(std::time(nullptr)); }

bool CommonServices::FileExists(const std::string& path) {
  std::error_code ignored;
  return fs::exists(path, ignored);
}

void TickPacer::Ticked(double now) {
  next += interval;
  if (next <= now) next = now + interval;  // fell behind: start afresh from this tick
}

int TickPacer::MillisecondsToNext(double now) const {
  const double wait = next - now;
  // The tolerance keeps rounding noise in the clock's sums from adding a millisecond.
  return wait <= 0.0 ? 0 : int(std::ceil(wait * 1000.0 - 1e-6));
}

bool MotionGate::Quits(double now, int dx, int dy) {
  if (now - start < kSettleSeconds) return false;
  travelled += std::labs(dx) + std::labs(dy);
  return travelled >= kThresholdPixels;
}
