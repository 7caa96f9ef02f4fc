#include "data/Prefetch.h"

#include <sys/stat.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <tuple>

#include "data/CurrencyLimits.h"
#include "data/MoneyFile.h"
#include "data/ResFile.h"
#include "image/TGALoader.h"
#include "platform/Alert.h"

namespace {

// A file as it was when its images were queued: the same file, unchanged.
struct FileStamp {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  int64_t modified = 0;  // nanoseconds
  bool operator==(const FileStamp& other) const {
    return std::tie(device, inode, size, modified) ==
           std::tie(other.device, other.inode, other.size, other.modified);
  }
};

bool Stamp(const std::string& path, FileStamp* stamp) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return false;
  *stamp = FileStamp{info.st_dev, info.st_ino, info.st_size,
                     int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
  return true;
}

struct Job {
  std::string path;
  FileStamp stamp;
  int index;
  int alphaMode;
};

struct Result {
  enum { kQueued, kDone, kFailed } state = kQueued;
  Texture image;
};

using Key = std::tuple<dev_t, ino_t, int>;

// The lump directory of a currency or resource file.
struct Directory {
  std::vector<std::pair<int, int>> images;  // index, alpha mode
};

bool ReadDirectory(const std::string& path, Directory* directory) {
  MONEYFILE currency;
  if (currency.Open(path.c_str())) {
    CurrencyCost cost;
    std::string why;
    if (!CheckCurrencyLimits(&currency, 0, &cost, &why)) return false;  // its loading says why
    for (uint32_t i = 0; i < currency.header.numLumps; ++i)
      if (currency.lumps[i].type == 1)
        directory->images.emplace_back(int(i), currency.lumps[i].alphaMode);
    return true;
  }
  RESFILE resources;
  if (!resources.Open(path.c_str())) return false;
  for (uint32_t i = 0; i < resources.header.numLumps; ++i)
    if (resources.lumps[i].type == 1)
      directory->images.emplace_back(int(i), resources.lumps[i].alphaMode);
  return true;
}

// Decodes one image of a file as its loader would, without a word: an image
// that fails is decoded again by its loader, which says why.
bool Decode(const Job& job, Texture* image) {
  ScopedAlertHandler quiet([](const char*, const char*) {});
  MONEYFILE currency;
  if (currency.Open(job.path.c_str()))
    return currency.SeekLump(job.index) && LoadTGA2(image, &currency.stream) &&
           PrepareTexture(image, job.alphaMode);
  RESFILE resources;
  return resources.Open(job.path.c_str()) && resources.SeekLump(job.index) &&
         LoadTGA2(image, &resources.stream) && PrepareTexture(image, job.alphaMode);
}

class Prefetcher {
public:
  ~Prefetcher() { Discard(); }

  void Start(const std::vector<PrefetchFile>& files) {
    Discard();
    std::vector<Job> now, later;
    for (const PrefetchFile& file : files) {
      FileStamp stamp;
      Directory directory;
      if (!Stamp(file.path, &stamp) || !ReadDirectory(file.path, &directory)) continue;
      for (const auto& [index, alphaMode] : directory.images) {
        const bool wait =
            std::find(file.later.begin(), file.later.end(), index) != file.later.end();
        (wait ? later : now).push_back(Job{file.path, stamp, index, alphaMode});
      }
    }
    std::lock_guard<std::mutex> lock(mutex);
    stopping = false;
    for (const std::vector<Job>* jobs : {&now, &later})
      for (const Job& job : *jobs) {
        queue.push_back(job);
        results[KeyOf(job)];
      }
    // One core stays with the caller, which goes on to load the GL driver.
    const unsigned helpers = std::max(2u, std::thread::hardware_concurrency()) - 1;
    for (unsigned i = 0; i < helpers && i < queue.size(); ++i)
      workers.emplace_back([this] { Work(); });
  }

  bool Take(const std::string& path, int index, Texture* texture) {
    FileStamp stamp;
    if (!Stamp(path, &stamp)) return false;
    std::unique_lock<std::mutex> lock(mutex);
    const auto found = results.find(Key{stamp.device, stamp.inode, index});
    if (found == results.end() || !(stamps[found->first] == stamp)) return false;
    // The caller has nothing better to do than to help with what is left.
    while (found->second.state == Result::kQueued) {
      if (queue.empty()) {
        done.wait(lock);
        continue;
      }
      const Job job = queue.front();
      queue.pop_front();
      lock.unlock();
      DecodeAndStore(job);
      lock.lock();
    }
    const bool ok = found->second.state == Result::kDone;
    if (ok) Move(&found->second.image, texture);
    results.erase(found);
    return ok;
  }

  void Discard() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      stopping = true;
      queue.clear();
    }
    for (std::thread& worker : workers) worker.join();
    workers.clear();
    results.clear();
    stamps.clear();
  }

private:
  Key KeyOf(const Job& job) {
    const Key key{job.stamp.device, job.stamp.inode, job.index};
    stamps[key] = job.stamp;
    return key;
  }

  static void Move(Texture* from, Texture* to) {
    to->FreePixels();
    to->pixels = from->pixels;
    to->bitsPerPixel = from->bitsPerPixel;
    to->width = from->width;
    to->height = from->height;
    to->format = from->format;
    to->prepared = from->prepared;
    from->pixels = nullptr;
  }

  void Work() {
    for (;;) {
      Job job;
      {
        std::lock_guard<std::mutex> lock(mutex);
        if (stopping || queue.empty()) return;
        job = queue.front();
        queue.pop_front();
      }
      DecodeAndStore(job);
    }
  }

  void DecodeAndStore(const Job& job) {
    Texture image;
    const bool ok = Decode(job, &image);
    std::lock_guard<std::mutex> lock(mutex);
    const auto found = results.find(Key{job.stamp.device, job.stamp.inode, job.index});
    if (found == results.end()) return;  // discarded meanwhile
    found->second.state = ok ? Result::kDone : Result::kFailed;
    if (ok) Move(&image, &found->second.image);
    done.notify_all();
  }

  std::mutex mutex;
  std::condition_variable done;
  std::deque<Job> queue;
  std::map<Key, Result> results;
  std::map<Key, FileStamp> stamps;
  std::vector<std::thread> workers;
  bool stopping = false;
};

Prefetcher& ThePrefetcher() {
  static Prefetcher prefetcher;
  return prefetcher;
}

}  // namespace

void PrefetchImages(const std::vector<PrefetchFile>& files) { ThePrefetcher().Start(files); }

bool TakePrefetchedImage(const std::string& path, int index, Texture* texture) {
  return ThePrefetcher().Take(path, index, texture);
}

void DiscardPrefetchedImages() { ThePrefetcher().Discard(); }
