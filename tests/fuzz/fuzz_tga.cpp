// The TGA decoder, from a stream (as from a lump) and from a path.
#include <cstdint>
#include <fstream>

#include "FuzzFile.h"
#include "image/TGALoader.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SilenceAlerts();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* path = WriteFuzzFile(data, size);
  Texture fromStream;
  std::ifstream stream(path, std::ios::binary);
  const bool streamOk = LoadTGA2(&fromStream, &stream);
  Texture fromPath;
  const bool pathOk = LoadTGA(&fromPath, path);
  // Both entry points must reach the same verdict on the same bytes.
  if (streamOk != pathOk) __builtin_trap();
  return 0;
}
