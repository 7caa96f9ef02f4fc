// The resource file: open, then seek to, decode and load every lump.
#include "FuzzFile.h"
#include "LumpFuzz.h"
#include "data/ResFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  RESFILE file;
  ExerciseLumpFile(file, WriteFuzzFile(data, size));
  return 0;
}
