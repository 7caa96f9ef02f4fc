#include "data/LumpFile.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "data/MoneyFile.h"
#include "data/ResFile.h"
#include "platform/RegularFile.h"

uint32_t ReadLE32(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

std::string DescribeMagic(const char* magic) {
  std::string text = "\"";
  for (int i = 0; i < 4; ++i) {
    const unsigned char c = static_cast<unsigned char>(magic[i]);
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
      text += char(c);
    } else {
      char escape[5];
      std::snprintf(escape, sizeof escape, "\\x%02X", c);
      text += escape;
    }
  }
  return text + '"';
}

template <class HEADER, class LUMP>
void LUMPFILE<HEADER, LUMP>::Close() {
  delete[] lumps;
  lumps = nullptr;
  if (stream.is_open()) stream.close();
  stream.clear();
}

template <class HEADER, class LUMP>
bool LUMPFILE<HEADER, LUMP>::ValidIndex(int index) const {
  return stream.is_open() && lumps != nullptr && index >= 0 && uint32_t(index) < header.numLumps;
}

template <class HEADER, class LUMP>
bool LUMPFILE<HEADER, LUMP>::SeekLump(int index) {
  if (!ValidIndex(index)) return false;
  // A failed read of an earlier lump must not poison the seek to the next one.
  stream.clear();
  stream.seekg(std::streamoff(lumps[index].offset), std::ios::beg);
  return stream.good();
}

template <class HEADER, class LUMP>
bool LUMPFILE<HEADER, LUMP>::LoadData(int index, void** data) {
  if (!ValidIndex(index)) return false;
  const LUMP& lump = lumps[index];
  // A lump that runs past the end could never be read in full: refuse it
  // before allocating what its size claims.
  if (lump.size > 0 && uint64_t(lump.offset) + lump.size > fileSize) return false;
  if (!SeekLump(index)) return false;
  unsigned char* bytes = new (std::nothrow) unsigned char[lump.size];
  if (bytes == nullptr) return false;
  stream.read(reinterpret_cast<char*>(bytes), std::streamsize(lump.size));
  if (!stream) {
    delete[] bytes;
    return false;
  }
  *data = bytes;
  return true;
}

template <class HEADER, class LUMP>
bool LUMPFILE<HEADER, LUMP>::Fail(std::string why) {
  failure = std::move(why);
  return false;
}

template <class HEADER, class LUMP>
bool LUMPFILE<HEADER, LUMP>::OpenAndReadHeader(const char* path) {
  failure.clear();
  this->path = path;
  std::string why;
  if (!OpenRegularStream(path, &stream, &why)) return Fail("cannot open: " + why);

  stream.seekg(0, std::ios::end);
  const std::streamoff length = stream.tellg();
  fileSize = length < 0 ? 0 : uint32_t(uint64_t(length));
  stream.seekg(0, std::ios::beg);

  unsigned char bytes[HEADER::SIZE];
  stream.read(reinterpret_cast<char*>(bytes), HEADER::SIZE);
  if (!stream || length < 0)
    return Fail("too short for a header: file is " + std::to_string(length < 0 ? 0 : length) +
                " bytes, a header needs " + std::to_string(HEADER::SIZE));
  header.Parse(bytes);
  return true;
}

template <class HEADER, class LUMP>
bool LUMPFILE<HEADER, LUMP>::CheckMagic(const char* magic, const char* expected, const char* kind,
                                        int offset) {
  if (std::memcmp(magic, expected, 4) == 0) return true;
  return Fail(std::string("not a ") + kind + ": magic at offset " + std::to_string(offset) +
              " is " + DescribeMagic(magic) + ", expected \"" + expected + '"');
}

// The header stores the complement of the file's length, so a file cut short
// or lengthened by even one byte is refused.
template <class HEADER, class LUMP>
bool LUMPFILE<HEADER, LUMP>::CheckSize(uint32_t sizeCheck) {
  if (sizeCheck == ~fileSize) return true;
  return Fail("size check mismatch: file is " + std::to_string(fileSize) + " bytes, header says " +
              std::to_string(~sizeCheck));
}

template <class HEADER, class LUMP>
bool LUMPFILE<HEADER, LUMP>::ReadDirectory(uint32_t numLumps, uint32_t dirOffset) {
  // Refuse a directory that cannot fit before allocating what numLumps claims.
  // An empty one is never read, wherever it is said to be.
  const uint64_t end = uint64_t(dirOffset) + uint64_t(numLumps) * LUMP::SIZE;
  if (numLumps > 0 && end > fileSize)
    return Fail("directory runs past the end: " + std::to_string(numLumps) + " entries of " +
                std::to_string(LUMP::SIZE) + " bytes at offset " + std::to_string(dirOffset) +
                " end at byte " + std::to_string(end) + ", file is " + std::to_string(fileSize) +
                " bytes");

  lumps = new (std::nothrow) LUMP[numLumps];
  if (lumps == nullptr)
    return Fail("out of memory for " + std::to_string(numLumps) + " directory entries");

  stream.seekg(std::streamoff(dirOffset), std::ios::beg);
  if (!stream) return Fail("cannot seek to the directory at offset " + std::to_string(dirOffset));
  unsigned char bytes[LUMP::SIZE];
  for (uint32_t i = 0; i < numLumps; ++i) {
    stream.read(reinterpret_cast<char*>(bytes), LUMP::SIZE);
    if (!stream) return Fail("cannot read directory entry " + std::to_string(i));
    lumps[i].Parse(bytes);
  }
  return true;
}

template class LUMPFILE<MONEYHEADER, MONEYLUMP>;
template class LUMPFILE<RESHEADER, RESLUMP>;
