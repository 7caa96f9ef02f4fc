// Decoding of the narrow kind of TGA image the saver uses: true colour, 24 or
// 32 bits, uncompressed (type 2) or run-length encoded (type 10), with no
// identification field, no colour map and a zero origin. Rows stay in the
// order the file stores them. Every failure is shown through MessageBox and
// returns false, leaving the Texture without pixel data.
#pragma once

#include <cstdint>
#include <cstdio>
#include <fstream>

#include "image/Texture.h"

// Decodes from a lump file's stream positioned at the image's first byte and
// leaves it positioned after the last byte of the image.
bool LoadTGA2(Texture* texture, std::ifstream* stream);

// Decodes a stand-alone image file.
bool LoadTGA(Texture* texture, const char* path);

// What the first 18 bytes of an image promise, read without decoding it.
struct TGASize {
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t bitsPerPixel = 0;
  uint64_t DecodedBytes() const { return uint64_t(width) * height * (bitsPerPixel / 8); }
};

// True when header starts an image the decoders would go on to decode (an
// accepted prefix, a width, a height, 24 or 32 bits); fills size.
bool PeekTGAHeader(const unsigned char header[18], TGASize* size);

// The type-specific decoders behind the two entry points; each starts after
// the 12-byte prefix. The path variants close file on every exit.
bool LoadUncompressedTGA2(Texture* texture, std::ifstream* stream);
bool LoadCompressedTGA2(Texture* texture, std::ifstream* stream);
bool LoadUncompressedTGA(Texture* texture, const char* path, FILE* file);
bool LoadCompressedTGA(Texture* texture, const char* path, FILE* file);
