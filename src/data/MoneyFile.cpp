#include "data/MoneyFile.h"

#include <cstring>

void MONEYHEADER::Parse(const unsigned char* bytes) {
  std::memcpy(name, bytes, sizeof name);
  std::memcpy(magic, bytes + 40, sizeof magic);
  unused44 = bytes[44];
  version = bytes[45];
  unused46[0] = bytes[46];
  unused46[1] = bytes[47];
  reserved = ReadLE32(bytes + 48);
  numLumps = ReadLE32(bytes + 52);
  sizeCheck = ReadLE32(bytes + 56);
  dirOffset = ReadLE32(bytes + 60);
}

void MONEYLUMP::Parse(const unsigned char* bytes) {
  size = ReadLE32(bytes);
  offset = ReadLE32(bytes + 4);
  type = ReadLE32(bytes + 8);
  alphaMode = int32_t(ReadLE32(bytes + 12));
  width = ReadLE32(bytes + 16);
  height = ReadLE32(bytes + 20);
}

bool MONEYFILE::Open(const char* path) {
  if (!OpenAndReadHeader(path)) return false;
  // Every copy of the name is a terminated string of at most 39 characters.
  header.name[sizeof header.name - 1] = '\0';

  if (!CheckMagic(header.magic, "CORV", "currency file", 40)) return false;
  if (!CheckSize(header.sizeCheck)) return false;
  if (header.version > 1)
    return Fail("unsupported version " + std::to_string(header.version) + ", expected 0 or 1");
  if (header.reserved != 0)
    return Fail("word at offset 48 is " + std::to_string(header.reserved) + ", expected 0");
  return ReadDirectory(header.numLumps, header.dirOffset);
}
