// Images decoded ahead of need: what is handed over is exactly what the
// loader would have decoded and prepared itself, and nothing is handed over
// for a file that is another, or changed, or an image that did not decode
// (its loader decodes it again and says why).
#include "data/Prefetch.h"

#include <gtest/gtest.h>

#include "LumpWriter.h"
#include "TGAWriter.h"
#include "TestFiles.h"
#include "data/MoneyFile.h"
#include "image/TGALoader.h"

namespace {

// A 3 x 2 image whose pixels all differ, stored in the given TGA type.
Bytes Picture(int type, uint8_t seed) {
  Image image{3, 2, 24, {}};
  for (int i = 0; i < 18; ++i) image.pixels.push_back(uint8_t(seed + 11 * i));
  return EncodeTGA(image, type);
}

Bytes Prepared(const Texture& image) {
  EXPECT_TRUE(image.prepared);
  return Bytes(image.pixels, image.pixels + image.width * image.height * 4);
}

// What the loader makes of lump index itself: decoded, then prepared.
Bytes Decoded(const std::string& path, int index, int alphaMode) {
  MONEYFILE file;
  Texture image;
  file.Open(path.c_str());
  file.SeekLump(index);
  EXPECT_TRUE(LoadTGA2(&image, &file.stream)) << index;
  PrepareTexture(&image, alphaMode);
  return Prepared(image);
}

Bytes Taken(const std::string& path, int index) {
  Texture image;
  return TakePrefetchedImage(path, index, &image) ? Prepared(image) : Bytes{};
}

TEST(Prefetch, HandsOverWhatTheLoaderWouldMakeAndOnlyThat) {
  TempDir dir;
  Bytes bad = Picture(2, 9);
  bad[16] = 16;  // a depth the decoder refuses
  const std::string path = dir.Write(
      "a.dosh",
      BuildCurrencyFile("Alpha", 1, {{Picture(2, 1)}, {Picture(10, 2), 1, 2}, {bad}, {{7}, 7}}));
  const std::string changed = dir.Write("b.dosh", BuildCurrencyFile("Beta", 1, {{Picture(2, 3)}}));
  AlertRecorder alerts;
  PrefetchImages({{path, {}}, {changed, {}}});
  dir.Write("b.dosh", BuildCurrencyFile("Beta", 1, {{Picture(2, 4)}}));  // another file now

  EXPECT_EQ(Taken(path, 1), Decoded(path, 1, 2));
  EXPECT_EQ(Taken(path, 0), Decoded(path, 0, 0));
  // Nothing twice, nor for an image that does not decode, a lump that is no image or a file
  // replaced since; and the loader, not the prefetch, says what is wrong.
  EXPECT_EQ((std::vector<Bytes>{Taken(path, 0), Taken(path, 2), Taken(path, 3), Taken(changed, 0)}),
            std::vector<Bytes>(4));
  EXPECT_EQ(alerts.alerts.size(), 0u);
  DiscardPrefetchedImages();
}

}  // namespace
