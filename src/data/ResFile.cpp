#include "data/ResFile.h"

#include <cstring>
#include <new>

#include "data/Prefetch.h"
#include "image/TGALoader.h"

void RESHEADER::Parse(const unsigned char* bytes) {
  std::memcpy(magic, bytes, sizeof magic);
  unused4 = ReadLE32(bytes + 4);
  unused8 = ReadLE32(bytes + 8);
  numLumps = ReadLE32(bytes + 12);
  sizeCheck = ReadLE32(bytes + 16);
  dirOffset = ReadLE32(bytes + 20);
}

void RESLUMP::Parse(const unsigned char* bytes) {
  size = ReadLE32(bytes);
  offset = ReadLE32(bytes + 4);
  type = ReadLE32(bytes + 8);
  alphaMode = int32_t(ReadLE32(bytes + 12));
  std::memcpy(unused16, bytes + 16, sizeof unused16);
}

bool RESFILE::Open(const char* path) {
  if (!OpenAndReadHeader(path)) return false;
  if (!CheckMagic(header.magic, "BRMF", "resource file", 0)) return false;
  if (!CheckSize(header.sizeCheck)) return false;
  return ReadDirectory(header.numLumps, header.dirOffset);
}

bool LoadTexturesFromDataFile(const char* path, Texture** textures, int32_t* count) {
  RESFILE file;  // closed on every way out
  if (!file.Open(path)) return false;

  // The directory fits in the file, so the count fits in 32 signed bits.
  const int32_t lumpCount = int32_t(file.header.numLumps);
  Texture* array = new (std::nothrow) Texture[lumpCount];
  if (array == nullptr) return false;
  // From here on the caller owns the array, whatever happens below.
  *count = lumpCount;
  *textures = array;

  for (int32_t i = 0; i < lumpCount; ++i) {
    const RESLUMP& lump = file.lumps[i];
    if (lump.type != 1) continue;
    if (!TakePrefetchedImage(file.path, i, &array[i])) {
      if (!file.SeekLump(i)) return false;
      if (!LoadTGA2(&array[i], &file.stream)) return false;
    }
    if (!BuildTextureLater(&array[i], lump.alphaMode)) return false;
  }
  return true;
}
