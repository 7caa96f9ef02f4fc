// Decoding speed of a 1024 x 1024 24-bit image, uncompressed and run-length
// encoded, in bytes of decoded output per second, beside the speed of simply
// reading the same file into a fresh buffer.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "LumpWriter.h"
#include "TGAWriter.h"
#include "image/TGALoader.h"
#include "platform/Alert.h"

namespace {

constexpr uint32_t kSide = 1024;
constexpr size_t kOutputBytes = size_t(kSide) * kSide * 3;

// Something like a banknote: flat paper, soft gradients and fine lines, so the
// run-length file has both runs and raw stretches.
Image NoteLikeImage() {
  Image image;
  image.width = image.height = kSide;
  image.bitsPerPixel = 24;
  image.pixels.resize(kOutputBytes);
  for (uint32_t y = 0; y < kSide; ++y) {
    for (uint32_t x = 0; x < kSide; ++x) {
      unsigned char* p = &image.pixels[(size_t(y) * kSide + x) * 3];
      const bool border = x < 64 || x >= kSide - 64 || y < 64 || y >= kSide - 64;
      const bool line = border && (x + y) % 6 < 2;
      const int wave = int(24 * std::sin(x * 0.02) * std::cos(y * 0.015));
      p[0] = line ? 40 : border ? 200 : uint8_t(210 + wave / 4);
      p[1] = line ? 90 : border ? 220 : uint8_t(225 + wave / 8);
      p[2] = line ? 60 : border ? 190 : 205;
    }
  }
  return image;
}

struct Files {
  std::string raw, rle;
  Files() {
    const Image image = NoteLikeImage();
    const std::string stem = "/tmp/corvan-bench-" + std::to_string(getpid());
    raw = stem + "-raw.tga";
    rle = stem + "-rle.tga";
    std::string error;
    if (!WriteFileAtomically(raw, EncodeTGA(image, 2), &error) ||
        !WriteFileAtomically(rle, EncodeTGA(image, 10), &error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      std::exit(1);
    }
  }
  ~Files() {
    std::remove(raw.c_str());
    std::remove(rle.c_str());
  }
  const std::string& Pick(int which) const { return which == 0 ? raw : rle; }
};

const Files& TestFiles() {
  static Files files;
  return files;
}

void Label(benchmark::State& state, const std::string& path) {
  state.SetLabel(state.range(0) == 0 ? "raw" : "rle");
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  state.counters["file_bytes"] = double(in.tellg());
}

// The baseline: open, allocate, read the whole file, close.
void BM_ReadFile(benchmark::State& state) {
  const std::string& path = TestFiles().Pick(int(state.range(0)));
  for (auto _ : state) {
    FILE* file = std::fopen(path.c_str(), "rb");
    std::fseek(file, 0, SEEK_END);
    const long size = std::ftell(file);
    std::fseek(file, 0, SEEK_SET);
    void* bytes = std::malloc(size_t(size));
    if (std::fread(bytes, 1, size_t(size), file) != size_t(size)) state.SkipWithError("short read");
    benchmark::DoNotOptimize(bytes);
    std::free(bytes);
    std::fclose(file);
    state.SetBytesProcessed(state.bytes_processed() + size);
  }
  Label(state, path);
}

void BM_LoadTGA(benchmark::State& state) {
  const std::string& path = TestFiles().Pick(int(state.range(0)));
  for (auto _ : state) {
    Texture texture;
    if (!LoadTGA(&texture, path.c_str())) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(texture.pixels);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kOutputBytes));
  Label(state, path);
}

// As the currency loader does it: an open stream positioned at the image.
void BM_LoadTGA2(benchmark::State& state) {
  const std::string& path = TestFiles().Pick(int(state.range(0)));
  std::ifstream stream(path, std::ios::binary);
  for (auto _ : state) {
    stream.seekg(0);
    Texture texture;
    if (!LoadTGA2(&texture, &stream)) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(texture.pixels);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kOutputBytes));
  Label(state, path);
}

}  // namespace

BENCHMARK(BM_ReadFile)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadTGA)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadTGA2)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
