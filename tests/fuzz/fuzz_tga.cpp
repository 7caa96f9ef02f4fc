// The TGA decoder, from a stream (as from a lump) and from a path: both entry
// points must reach the same verdict on the same bytes.
#include "FuzzFile.h"
#include "image/TGALoader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* path = WriteFuzzFile(data, size);
  Texture fromStream, fromPath;
  std::ifstream stream(path, std::ios::binary);
  if (LoadTGA2(&fromStream, &stream) != LoadTGA(&fromPath, path)) __builtin_trap();
  return 0;
}
