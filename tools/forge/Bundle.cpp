#include "Bundle.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>

#include "Currencies.h"
#include "LumpWriter.h"
#include "NoteArt.h"
#include "OverlayArt.h"
#include "TGAWriter.h"

const char kResourceFileName[] = "brimble.artifacts";

namespace {

// Runs job(0) to job(count - 1) on up to threads threads; each job writes only
// its own result slot, so the order of completion does not matter.
void RunJobs(size_t count, unsigned threads, const std::function<void(size_t)>& job) {
  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
  threads = unsigned(std::min<size_t>(threads, count));
  std::atomic<size_t> next{0};
  auto worker = [&] {
    for (size_t i = next++; i < count; i = next++) job(i);
  };
  std::vector<std::thread> pool;
  for (unsigned t = 1; t < threads; ++t) pool.emplace_back(worker);
  worker();
  for (std::thread& thread : pool) thread.join();
}

struct NoteJob {
  int currency;
  int note;
};

std::vector<NoteJob> AllNotes() {
  std::vector<NoteJob> jobs;
  const std::vector<CurrencyDesign>& currencies = Currencies();
  for (size_t c = 0; c < currencies.size(); ++c)
    for (size_t n = 0; n < currencies[c].notes.size(); ++n) jobs.push_back({int(c), int(n)});
  return jobs;
}

bool BuildResource(std::vector<unsigned char>* bytes, std::string* error) {
  std::vector<ResourceLump> lumps;
  for (OverlayImage& overlay : DrawOverlayImages()) {
    ResourceLump lump;
    lump.data = EncodeSmallestTGA(overlay.image);
    lump.alphaMode = overlay.alphaMode;
    if (lump.data.empty()) {
      *error = "could not draw the " + overlay.name;
      return false;
    }
    lumps.push_back(std::move(lump));
  }
  *bytes = BuildResourceFile(lumps);
  return true;
}

}  // namespace

std::vector<std::string> BundleFileNames() {
  std::vector<std::string> names = {kResourceFileName};
  for (const CurrencyDesign& currency : Currencies()) names.push_back(currency.file);
  return names;
}

bool BuildBundle(std::vector<BundleFile>* files, std::string* error, unsigned threads) {
  const std::vector<CurrencyDesign>& currencies = Currencies();
  const std::vector<NoteJob> notes = AllNotes();
  // Job 0 is the whole resource file; the notes, the bulk of the work, follow.
  std::vector<std::vector<unsigned char>> images(notes.size());
  std::vector<unsigned char> resource;
  std::string resourceError;
  bool resourceOk = false;
  RunJobs(notes.size() + 1, threads, [&](size_t job) {
    if (job == 0) {
      resourceOk = BuildResource(&resource, &resourceError);
      return;
    }
    const NoteJob& note = notes[job - 1];
    images[job - 1] = EncodeSmallestTGA(
        DrawNoteImage(currencies[size_t(note.currency)], note.currency, note.note));
  });
  if (!resourceOk) {
    *error = resourceError;
    return false;
  }
  files->clear();
  files->push_back({kResourceFileName, std::move(resource)});
  size_t job = 0;
  for (const CurrencyDesign& currency : currencies) {
    std::vector<CurrencyLump> lumps;
    for (const NoteDesign& note : currency.notes) {
      CurrencyLump lump;
      lump.data = std::move(images[job++]);
      if (lump.data.empty()) {
        *error = "could not draw the " + std::to_string(note.value) + " note of " + currency.file;
        return false;
      }
      lump.alphaMode = 0;  // notes are opaque
      lump.width = note.width;
      lump.height = note.height;
      lumps.push_back(std::move(lump));
    }
    files->push_back({currency.file, BuildCurrencyFile(currency.displayName, 1, lumps)});
  }
  return true;
}

bool WriteBundle(const std::string& dir, std::string* error) {
  std::vector<BundleFile> files;
  if (!BuildBundle(&files, error)) return false;
  for (const BundleFile& file : files)
    if (!WriteFileAtomically(dir + "/" + file.name, file.bytes, error)) return false;
  return true;
}
