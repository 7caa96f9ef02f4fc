// The decoder's inner loops against the plain definition (blue and red
// swapped), for every count around their group sizes, in place and not,
// never writing past the end.
#include <gtest/gtest.h>

#include "TestFiles.h"
#include "image/PixelOrder.h"

TEST(PixelOrder, CopyAndFillTurnEveryPixelAroundAndStopAtTheEnd) {
  const unsigned char pixel[4] = {10, 20, 30, 40};
  for (uint32_t bpp : {3u, 4u})
    for (size_t count = 0; count <= 70; ++count) {
      const auto swapped = [bpp](size_t i) { return i - i % bpp + (i % bpp == 0 ? 2 : i % bpp == 2 ? 0 : i % bpp); };
      Bytes file(count * bpp), expected(count * bpp + 16, 0xEE), filled = expected;
      for (size_t i = 0; i < file.size(); ++i) file[i] = uint8_t(i * 7 + 1);
      for (size_t i = 0; i < file.size(); ++i) expected[i] = file[swapped(i)], filled[i] = pixel[swapped(i) % bpp];
      Bytes out(count * bpp + 16, 0xEE), inPlace = file, fill(count * bpp + 16, 0xEE);
      inPlace.resize(out.size(), 0xEE);
      CopyPixels(out.data(), file.data(), count, bpp);
      CopyPixels(inPlace.data(), inPlace.data(), count, bpp);
      FillPixels(fill.data(), pixel, count, bpp);
      EXPECT_EQ(out, expected) << bpp << " bytes, " << count << " pixels";
      EXPECT_EQ(inPlace, expected) << bpp << " bytes, " << count << " pixels, in place";
      EXPECT_EQ(fill, filled) << bpp << " bytes, " << count << " pixels, filled";
    }
}
