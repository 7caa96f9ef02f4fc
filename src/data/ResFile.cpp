#include "data/ResFile.h"

#include <cstring>

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
