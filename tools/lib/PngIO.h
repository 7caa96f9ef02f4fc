// PNG input and output for the tools, through libpng. PNG rows run top to
// bottom; Image rows here are in that same order (see FlipRows).
#pragma once

#include <cstdint>
#include <string>

#include "TGAWriter.h"

// Reads any PNG as 24-bit RGB, or 32-bit RGBA when it has an alpha channel
// (grey, palette and 16-bit images are converted). With maxSide, an image
// wider or taller is refused before its pixels are decoded.
bool ReadPNG(const std::string& path, Image* image, std::string* error, uint32_t maxSide = 0);

// Writes a 24- or 32-bit image as an RGB or RGBA PNG.
bool WritePNG(const std::string& path, const Image& image, std::string* error);
