// Reader of currency data files (".dosh"): a 64-byte header with the
// currency's display name and the magic "CORV" at offset 40, then a directory
// of 24-byte entries, one per note denomination. Little-endian throughout.
#pragma once

#include <cstdint>

#include "data/LumpFile.h"

struct MONEYHEADER {
  char name[40];  // display name, NUL-terminated (Open guarantees it)
  char magic[4];  // "CORV"
  uint8_t unused44;
  uint8_t version;  // 0 or 1
  uint8_t unused46[2];
  uint32_t reserved;  // must be 0
  uint32_t numLumps;
  uint32_t sizeCheck;  // ~(file length)
  uint32_t dirOffset;

  static constexpr uint32_t SIZE = 64;
  void Parse(const unsigned char* bytes);
};

struct MONEYLUMP {
  uint32_t size;
  uint32_t offset;
  uint32_t type;      // 1: a TGA image
  int32_t alphaMode;  // handed to BuildTexture
  uint32_t width;     // note size in hundredths of a note unit
  uint32_t height;

  static constexpr uint32_t SIZE = 24;
  void Parse(const unsigned char* bytes);
};

extern template class LUMPFILE<MONEYHEADER, MONEYLUMP>;

class MONEYFILE : public LUMPFILE<MONEYHEADER, MONEYLUMP> {
public:
  // Opens and validates path: header, magic, size check, version, reserved
  // word and directory, in that order.
  bool Open(const char* path);
};
