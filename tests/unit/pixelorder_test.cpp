// The decoder's inner loops against the plain definition, for every count
// around their group sizes, in place and not, never writing past the end.
#include <gtest/gtest.h>

#include "TestFiles.h"
#include "image/PixelOrder.h"

namespace {

Bytes Expected(const Bytes& file, uint32_t bpp) {
  Bytes out = file;
  for (size_t i = 0; i + bpp <= out.size(); i += bpp) std::swap(out[i], out[i + 2]);
  return out;
}

TEST(PixelOrder, CopyPixelsTurnsEveryPixelAround) {
  for (uint32_t bpp : {3u, 4u}) {
    for (size_t count = 0; count <= 70; ++count) {
      SCOPED_TRACE(testing::Message() << bpp << " bytes, " << count << " pixels");
      Bytes file(count * bpp);
      for (size_t i = 0; i < file.size(); ++i) file[i] = uint8_t(i * 7 + 1);
      const Bytes expected = Expected(file, bpp);

      Bytes out(file.size() + 16, 0xEE);  // guard bytes after the pixels
      CopyPixels(out.data(), file.data(), count, bpp);
      EXPECT_EQ(Bytes(out.begin(), out.begin() + long(file.size())), expected);
      EXPECT_EQ(Bytes(out.begin() + long(file.size()), out.end()), Bytes(16, 0xEE));

      Bytes inPlace = file;
      inPlace.resize(file.size() + 16, 0xEE);
      CopyPixels(inPlace.data(), inPlace.data(), count, bpp);
      EXPECT_EQ(Bytes(inPlace.begin(), inPlace.begin() + long(file.size())), expected);
      EXPECT_EQ(Bytes(inPlace.begin() + long(file.size()), inPlace.end()), Bytes(16, 0xEE));
    }
  }
}

TEST(PixelOrder, FillPixelsWritesExactlyTheRun) {
  const unsigned char pixel[4] = {10, 20, 30, 40};
  for (uint32_t bpp : {3u, 4u}) {
    for (size_t count = 0; count <= 20; ++count) {
      Bytes out(count * bpp + 8, 0xEE);
      FillPixels(out.data(), pixel, count, bpp);
      for (size_t i = 0; i < count; ++i) {
        EXPECT_EQ(out[i * bpp], 30);
        EXPECT_EQ(out[i * bpp + 1], 20);
        EXPECT_EQ(out[i * bpp + 2], 10);
        if (bpp == 4) {
          EXPECT_EQ(out[i * bpp + 3], 40);
        }
      }
      EXPECT_EQ(Bytes(out.end() - 8, out.end()), Bytes(8, 0xEE)) << bpp << " " << count;
    }
  }
}

}  // namespace
