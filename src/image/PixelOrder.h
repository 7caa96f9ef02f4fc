// Conversion of a TGA's blue-green-red(-alpha) pixels to the red-green-blue
// (-alpha) order textures are built from. These are the decoder's inner
// loops, so they work on whole groups of pixels at a time.
#pragma once

#include <cstddef>
#include <cstdint>

// Converts count file pixels at in to out; out may be in itself.
void CopyPixels(unsigned char* out, const unsigned char* in, size_t count, uint32_t bytesPerPixel);

// Writes count copies of one file pixel, converted, to out.
void FillPixels(unsigned char* out, const unsigned char* pixel, size_t count,
                uint32_t bytesPerPixel);
