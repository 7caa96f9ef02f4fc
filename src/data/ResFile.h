// Reader of the saver's own resource file ("brimble.artifacts"): a 24-byte
// header with the magic "BRMF" at offset 0, then a directory of 28-byte
// entries. Little-endian throughout.
#pragma once

#include <cstdint>

#include "data/LumpFile.h"
#include "image/Texture.h"

struct RESHEADER {
  char magic[4];  // "BRMF"
  uint32_t unused4;
  uint32_t unused8;
  uint32_t numLumps;
  uint32_t sizeCheck;  // ~(file length)
  uint32_t dirOffset;

  static constexpr uint32_t SIZE = 24;
  void Parse(const unsigned char* bytes);
};

struct RESLUMP {
  uint32_t size;
  uint32_t offset;
  uint32_t type;      // 1: a TGA image
  int32_t alphaMode;  // handed to BuildTexture
  unsigned char unused16[12];

  static constexpr uint32_t SIZE = 28;
  void Parse(const unsigned char* bytes);
};

extern template class LUMPFILE<RESHEADER, RESLUMP>;

class RESFILE : public LUMPFILE<RESHEADER, RESLUMP> {
public:
  // Opens and validates path: header, magic, size check and directory.
  bool Open(const char* path);
};

// Builds every image lump of a resource file into a new array of textures,
// one element per lump (non-image lumps stay empty). The array and its count
// are stored for the caller as soon as the file has opened, and the caller
// owns them (delete[]) whether or not the rest succeeds. Each image goes to
// OpenGL when first bound (UploadTexture).
bool LoadTexturesFromDataFile(const char* path, Texture** textures, int32_t* count);
