#include "data/CurrencyLimits.h"

#include <algorithm>

#include "data/MoneyFile.h"
#include "image/TGALoader.h"

uint32_t MaxImageSide(uint32_t maxTextureSize) {
  return maxTextureSize > 0 ? std::min(maxTextureSize, kMaxImageSide) : kMaxImageSide;
}

std::string ImageSideExcess(const TGASize& size, uint32_t maxSide) {
  if (size.width <= maxSide && size.height <= maxSide) return "";
  return "image " + std::to_string(size.width) + "x" + std::to_string(size.height) + ", at most " +
         std::to_string(maxSide) + " texels a side";
}

bool CheckCurrencyLimits(MONEYFILE* file, uint32_t maxTextureSize, CurrencyCost* cost,
                         std::string* why) {
  *cost = CurrencyCost();
  cost->notes = file->header.numLumps;
  if (cost->notes > kMaxCurrencyNotes) {
    *why = std::to_string(cost->notes) + " notes, at most " + std::to_string(kMaxCurrencyNotes);
    return false;
  }
  const uint32_t maxSide = MaxImageSide(maxTextureSize);
  std::string tooLarge;
  for (uint32_t i = 0; i < cost->notes; ++i) {
    unsigned char header[18];
    TGASize size;
    if (file->lumps[i].type != 1 || !file->SeekLump(int(i))) continue;
    if (!file->stream.read(reinterpret_cast<char*>(header), sizeof header) ||
        !PeekTGAHeader(header, &size))
      continue;
    cost->largestSide = std::max({cost->largestSide, size.width, size.height});
    cost->pixelBytes += size.DecodedBytes();
    const std::string excess = ImageSideExcess(size, maxSide);
    if (tooLarge.empty() && !excess.empty()) tooLarge = "note " + std::to_string(i) + ": " + excess;
  }
  file->stream.clear();  // a short lump is the decoder's to report
  if (!tooLarge.empty()) {
    *why = tooLarge;
    return false;
  }
  if (cost->pixelBytes > kMaxCurrencyPixelBytes) {
    *why = std::to_string(cost->pixelBytes) + " bytes of decoded pixels, at most " +
           std::to_string(kMaxCurrencyPixelBytes);
    return false;
  }
  return true;
}
