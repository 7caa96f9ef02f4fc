// Decoding of the narrow kind of TGA image the saver uses: true colour, 24 or
// 32 bits, uncompressed (type 2) or run-length encoded (type 10), with no
// identification field, no colour map and a zero origin. Rows stay in the
// order the file stores them. Every failure is shown through MessageBox and
// returns false, leaving the Texture without pixel data.
#pragma once

#include <cstdio>
#include <fstream>

#include "image/Texture.h"

// Decodes from a lump file's stream positioned at the image's first byte and
// leaves it positioned after the last byte of the image.
bool LoadTGA2(Texture* texture, std::ifstream* stream);

// Decodes a stand-alone image file.
bool LoadTGA(Texture* texture, const char* path);

// The type-specific decoders behind the two entry points; each starts after
// the 12-byte prefix. The path variants close file on every exit.
bool LoadUncompressedTGA2(Texture* texture, std::ifstream* stream);
bool LoadCompressedTGA2(Texture* texture, std::ifstream* stream);
bool LoadUncompressedTGA(Texture* texture, const char* path, FILE* file);
bool LoadCompressedTGA(Texture* texture, const char* path, FILE* file);
