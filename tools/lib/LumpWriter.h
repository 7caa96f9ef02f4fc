// Writers of the two lump file formats: currency files (".dosh", magic
// "CORV") and the resource file (".artifacts", magic "BRMF"). Both lay out the
// header, the lump data in order and then the directory, and fill the size
// check (the complement of the file's length) last.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct CurrencyLump {
  std::vector<unsigned char> data;  // a TGA image when type is 1
  uint32_t type = 1;
  int32_t alphaMode = 0;
  uint32_t width = 0;  // note size in hundredths of a note unit
  uint32_t height = 0;
};

struct ResourceLump {
  std::vector<unsigned char> data;
  uint32_t type = 1;
  int32_t alphaMode = 0;
};

// The bytes of a currency file. name must be at most 39 bytes; version 0 or 1.
std::vector<unsigned char> BuildCurrencyFile(const std::string& name, uint8_t version,
                                             const std::vector<CurrencyLump>& lumps);

// The bytes of a resource file.
std::vector<unsigned char> BuildResourceFile(const std::vector<ResourceLump>& lumps);

// Writes bytes to path through a temporary file in the same folder and a
// rename, so a reader never sees a half-written file. On failure error says
// what went wrong and where.
bool WriteFileAtomically(const std::string& path, const std::vector<unsigned char>& bytes,
                         std::string* error);
