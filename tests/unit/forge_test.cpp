// The bundled artwork and currencies as the build wrote them, read back
// through the saver's own readers and decoder: the overlay images in their
// order, sizes and alpha mode, a glyph sheet the clock can use, every
// currency with its notes, faces the right way round.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "Currencies.h"
#include "NoteArt.h"
#include "TestFiles.h"
#include "data/MoneyFile.h"
#include "data/ResFile.h"
#include "image/TGALoader.h"

namespace {

const std::string kBundle = CORVAN_BUNDLE_DIR;

// A decoded 24-bit lump; Light(x, y) counts rows from the top, as the image shows on a quad.
struct Picture {
  Texture t;
  int Light(uint32_t x, uint32_t y) const {
    const unsigned char* p = t.pixels + (size_t(t.height - 1 - y) * t.width + x) * 3;
    return std::max({p[0], p[1], p[2]});
  }
};
template <class READER>
bool Decode(READER& file, int index, Picture* p) {
  return file.SeekLump(index) && LoadTGA2(&p->t, &file.stream) && p->t.bitsPerPixel == 24;
}

TEST(Forge, OverlayArtInItsOrderWithAGlyphSheetForTheClock) {
  RESFILE file;
  ASSERT_TRUE(file.Open((kBundle + "/brimble.artifacts").c_str()) && file.header.numLumps == 6)
      << file.failure;
  // Glyph sheet, badge (one texel per pixel), upper and lower intro, the two messages.
  const uint32_t sizes[6][2] = {{2048, 1024}, {256, 32},  {1024, 256},
                                {1024, 512},  {1024, 64}, {1024, 64}};
  Picture p[6];
  for (int i = 0; i < 6; ++i) {
    ASSERT_TRUE(Decode(file, i, &p[i])) << "overlay image " << i << " does not decode";
    EXPECT_TRUE(p[i].t.width == sizes[i][0] && p[i].t.height == sizes[i][1] &&
                file.lumps[i].alphaMode == 2)
        << i;
  }
  // Eleven distinct glyphs in the top row of square cells, each inked only in
  // the middle three quarters, since glyph quads overlap by a quarter; the
  // sheet's edges are black, so its clamped edges show no box.
  std::vector<Bytes> glyphs(11);
  int stray = 0;
  for (uint32_t y = 0; y < 1024; ++y)
    for (uint32_t x = 0; x < 2048; ++x) {
      const bool inside =
          y < 128 && x / 128 < 11 && x % 128 >= 16 && x % 128 < 112 && y >= 16 && y < 112;
      if (inside) glyphs[x / 128].push_back(uint8_t(p[0].Light(x, y) > 128));
      stray += !inside && p[0].Light(x, y) != 0;
    }
  EXPECT_TRUE(stray == 0 && std::set<Bytes>(glyphs.begin(), glyphs.end()).size() == 11u) << stray;
  for (const Bytes& g : glyphs) EXPECT_GT(std::count(g.begin(), g.end(), 1), 400);
}

TEST(Forge, EveryCurrencyHoldsItsNotesWithTheFrontTheRightWayRound) {
  ASSERT_TRUE(Currencies()[0].file == "USA.dosh" &&
              Currencies()[0].notes.size() == 7);  // the default currency
  for (const CurrencyDesign& currency : Currencies()) {
    MONEYFILE file;
    ASSERT_TRUE(file.Open((kBundle + "/" + currency.file).c_str())) << file.failure;
    ASSERT_TRUE(file.header.name == currency.displayName &&
                file.header.numLumps == currency.notes.size());
    for (size_t i = 0; i < currency.notes.size(); ++i) {
      const MONEYLUMP& lump = file.lumps[i];
      Picture note;
      ASSERT_TRUE(Decode(file, int(i), &note)) << currency.file << " " << i << " does not decode";
      EXPECT_TRUE(lump.width == currency.notes[i].width &&
                  lump.height == currency.notes[i].height && lump.alphaMode == 0 &&
                  note.t.width == 1024 && note.t.height == 1024)
          << currency.file << " " << i;
      // The front takes t 0 to 0.5, the lower half from the top. A dollar's
      // watermark window, the lightest patch, lies left of the middle at 56 %
      // of the face's height: found there, and not in the mirrored spot or
      // the other half, it shows the face neither swapped nor mirrored.
      const auto patch = [&](uint32_t cx, uint32_t cy, int sum = 0) {
        for (uint32_t y = cy - 8; y < cy + 8; ++y)
          for (uint32_t x = cx - 8; x < cx + 8; ++x) sum += note.Light(x, y);
        return sum / 256;
      };
      EXPECT_TRUE(currency.file != "USA.dosh" ||
                  patch(143, 798) > std::max(patch(880, 798), patch(143, 286)) + 10)
          << i << ": " << patch(143, 798) << " " << patch(880, 798) << " " << patch(143, 286);
    }
  }
}

}  // namespace
