// What one currency file may cost, checked before any of it is decoded.
// Lumps may overlap and run-length data expands up to 128-fold, so a small
// crafted file could otherwise ask for gigabytes of textures, and every
// directory entry costs three display lists.
#pragma once

#include <cstdint>
#include <string>

class MONEYFILE;
struct TGASize;

constexpr uint32_t kMaxCurrencyNotes = 64;
constexpr uint32_t kMaxImageSide = 4096;                   // texels, whatever the GL takes
constexpr uint64_t kMaxCurrencyPixelBytes = 256ull << 20;  // decoded, all images together

// What the file's headers promise. Only image lumps whose header the decoder
// would accept count: decoding any other fails on its own, as it always has.
struct CurrencyCost {
  uint32_t notes = 0;
  uint32_t largestSide = 0;  // texels, the widest or tallest image
  uint64_t pixelBytes = 0;   // decoded bytes of every image
};

// The largest image side allowed when the GL's largest texture is
// maxTextureSize texels (0: not known).
uint32_t MaxImageSide(uint32_t maxTextureSize);

// "image WxH, at most N texels a side" for an image wider or taller than
// maxSide, else empty.
std::string ImageSideExcess(const TGASize& size, uint32_t maxSide);

// Measures an open currency file from its directory and the 18-byte header
// of each image lump, and checks it against the limits. False with *why
// saying which limit and by how much, e.g. "70 notes, at most 64"; a file
// with too many notes is refused before any lump is read.
bool CheckCurrencyLimits(MONEYFILE* file, uint32_t maxTextureSize, CurrencyCost* cost,
                         std::string* why);
