// The bundled artwork and currencies as the build wrote them, read back
// through the saver's own readers and decoder: the overlay images in their
// order, sizes and alpha mode, every
// currency with its notes, faces the right way round.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <tuple>

#include "Currencies.h"
#include "TestFiles.h"
#include "data/MoneyFile.h"
#include "data/ResFile.h"
#include "image/TGALoader.h"

namespace {

const std::string kBundle = CORVAN_BUNDLE_DIR;

// Decodes a 24-bit lump; Patch(x, y) counts rows from the top, as the image shows on a quad.
struct Picture {
  template <class READER>
  Picture(READER& file, int index) {
    file.SeekLump(index);
    EXPECT_TRUE(LoadTGA2(&t, &file.stream)) << file.path << " " << index;
    EXPECT_EQ(t.bitsPerPixel, 24u);
  }
  int Patch(uint32_t cx, uint32_t cy, int sum = 0) const {  // the mean light of 16 x 16 around
    for (uint32_t y = cy - 8; y < cy + 8; ++y)
      for (uint32_t x = cx - 8; x < cx + 8; ++x) {
        const unsigned char* p = t.pixels + (size_t(t.height - 1 - y) * t.width + x) * 3;
        sum += std::max({p[0], p[1], p[2]});
      }
    return sum / 256;
  }
  Texture t;
};

TEST(Forge, OverlayArtInItsOrder) {
  RESFILE file;
  ASSERT_TRUE(file.Open((kBundle + "/brimble.artifacts").c_str())) << file.failure;
  ASSERT_EQ(file.header.numLumps, 6u);
  // Glyph sheet, badge, upper and lower intro, the two messages: the badge shows one texel a
  // pixel, so its size is the overlay's.
  const Picture badge(file, 1);
  EXPECT_EQ(std::make_tuple(badge.t.width, badge.t.height, file.lumps[1].alphaMode),
            std::make_tuple(256u, 32u, 2));
}

TEST(Forge, EveryCurrencyHoldsItsNotesWithTheFrontTheRightWayRound) {
  for (const CurrencyDesign& currency : Currencies()) {
    MONEYFILE file;
    ASSERT_TRUE(file.Open((kBundle + "/" + currency.file).c_str())) << file.failure;
    ASSERT_EQ(std::make_tuple(std::string(file.header.name), file.header.numLumps),
              std::make_tuple(currency.displayName, currency.notes.size()));
    for (size_t i = 0; i < currency.notes.size(); ++i) {
      const MONEYLUMP& lump = file.lumps[i];
      const Picture note(file, int(i));
      EXPECT_EQ(
          std::make_tuple(lump.width, lump.height, lump.alphaMode, note.t.width, note.t.height),
          std::make_tuple(currency.notes[i].width, currency.notes[i].height, 0, 1024, 1024))
          << currency.file << " " << i;
      // The front takes t 0 to 0.5, the lower half from the top. A dollar's
      // watermark window, the lightest patch, lies left of the middle at 56 %
      // of the face's height: found there, and not in the mirrored spot or
      // the other half, it shows the face neither swapped nor mirrored.
      if (currency.file == "USA.dosh") {
        EXPECT_GT(note.Patch(143, 798), std::max(note.Patch(880, 798), note.Patch(143, 286)) + 10)
            << i;
      }
    }
  }
}

}  // namespace
