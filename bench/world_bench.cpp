// What the scene costs: one frame of the notes' and the camera's motion per
// note, and setting a world up from the bundled currencies (listing,
// decoding, uploading textures, compiling display lists).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "HeadlessGL.h"
#include "maths/Random.h"
#include "platform/Alert.h"
#include "world/Notes.h"

namespace {

// A world of `count` spawned notes whose currency has note sets but no GL
// objects: motion needs nothing more.
void SpawnWorld(MONEYSS& world, int64_t count) {
  world.Currencies = new CURRENCYINFO[1];
  world.NumCurrencies = 1;
  world.Currencies[0].NumNotes = 7;
  world.Currencies[0].NoteSet = new ONECURRENCY;
  world.Currencies[0].NoteSet->NumNotes = 7;
  world.TOT_NUM_NOTES = count;
  world.Notes = new ONENOTE[size_t(count)]();
  for (int64_t i = 0; i < count; ++i) world.Notes[i].Reset(&world);
  world.ActiveNotes = float(count);
  world.FrameTime = 1.0 / 35;
}

void BM_MoveFrame(benchmark::State& state) {
  SeedRandom(1);
  MONEYSS world;
  SpawnWorld(world, state.range(0));
  for (auto _ : state) {
    world.TotalTime += world.FrameTime;
    world.Camera.Move(&world);
    world.Move();
    benchmark::ClobberMemory();
  }
  state.counters["per_note"] =
      benchmark::Counter(double(state.range(0)), benchmark::Counter::kIsIterationInvariantRate |
                                                     benchmark::Counter::kInvert);
}
BENCHMARK(BM_MoveFrame)->Arg(500)->Arg(5000)->Arg(50000)->Unit(benchmark::kMicrosecond);

// Setting up a world from the bundle, as the saver does at its first frame.
void BM_Setup(benchmark::State& state, bool mix) {
  setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
  HeadlessGL gl;
  std::string error;
  if (!gl.Create(64, 64, &error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  SetErrorHandler([](const char*) {});
  SETTINGS settings;
  settings.TOT_NUM_NOTES = 500;
  settings.LNOTESIZE = 150;
  settings.MIXCURRENCY = mix;
  std::strcpy(settings.CurrencyPath, CORVAN_BUNDLE_DIR "/");
  std::strcpy(settings.SelectedCurrencyName, "USA.dosh");
  int currencies = 0;
  for (auto _ : state) {
    MONEYSS world;
    if (!world.Setup(&settings)) {
      state.SkipWithError("no bundled currencies (build corvan-forge first)");
      break;
    }
    currencies = world.MIXCURRENCY ? world.NumCurrencies : 1;
  }
  state.counters["currencies"] = currencies;
  SetErrorHandler(nullptr);
}
BENCHMARK_CAPTURE(BM_Setup, default_currency, false)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK_CAPTURE(BM_Setup, all_currencies, true)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
