// Encoding of the TGA images the saver reads: true colour, 24 or 32 bits,
// uncompressed (type 2) or run-length encoded (type 10), no identification
// field, no colour map, zero origin.
#pragma once

#include <cstdint>
#include <vector>

// An image in memory: RGB or RGBA bytes, rows in the order a TGA file stores
// them (bottom row first for the usual bottom-left origin).
struct Image {
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t bitsPerPixel = 24;  // 24 or 32
  std::vector<unsigned char> pixels;
};

// Encodes image as a type 2 (uncompressed) or type 10 (run-length) file. The
// descriptor says "bottom-left origin" and, for 32 bits, 8 alpha bits.
std::vector<unsigned char> EncodeTGA(const Image& image, int type);

// Whichever of the two encodings is smaller (type 2 on a tie).
std::vector<unsigned char> EncodeSmallestTGA(const Image& image);

// Reverses the order of the rows (a TGA's bottom-up rows to a PNG's top-down).
Image FlipRows(const Image& image);
