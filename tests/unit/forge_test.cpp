// The bundled artwork and currencies as the build wrote them, read back
// through the saver's own readers and decoder: the overlay images in their
// order, sizes and alpha mode, a glyph sheet the clock can use, every
// currency with its notes, each face the right way round; and a generator
// that draws the same bytes twice.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "ContactSheet.h"
#include "Currencies.h"
#include "NoteArt.h"
#include "PngIO.h"
#include "TestFiles.h"
#include "data/MoneyFile.h"
#include "data/ResFile.h"
#include "image/TGALoader.h"

namespace {

const std::string kBundle = CORVAN_BUNDLE_DIR;

// A decoded 24-bit lump with rows turned top-down, as it appears on a quad.
struct Picture {
  uint32_t width = 0, height = 0;
  Bytes rgb;
  const unsigned char* At(uint32_t x, uint32_t y) const { return &rgb[(size_t(y) * width + x) * 3]; }
  int Brightness(uint32_t x, uint32_t y) const { return std::max({At(x, y)[0], At(x, y)[1], At(x, y)[2]}); }
};

template <class READER>
Picture Decode(READER& file, int index) {
  Texture texture;
  Picture p;
  if (!file.SeekLump(index) || !LoadTGA2(&texture, &file.stream) || texture.bitsPerPixel != 24) return p;
  p.width = texture.width, p.height = texture.height;
  const size_t row = size_t(p.width) * 3;
  for (uint32_t y = p.height; y-- > 0;) p.rgb.insert(p.rgb.end(), texture.pixels + y * row, texture.pixels + (y + 1) * row);
  return p;
}

TEST(Forge, OverlayArtInItsOrderWithAGlyphSheetForTheClock) {
  RESFILE file;
  ASSERT_TRUE(file.Open((kBundle + "/brimble.artifacts").c_str())) << file.failure;
  ASSERT_EQ(file.header.numLumps, 6u);
  // Glyph sheet, badge (one texel per pixel), upper and lower intro, the two messages.
  const uint32_t sizes[6][2] = {{2048, 1024}, {256, 32}, {1024, 256}, {1024, 512}, {1024, 64}, {1024, 64}};
  for (int i = 0; i < 6; ++i) {
    const Picture p = Decode(file, i);
    EXPECT_TRUE(p.width == sizes[i][0] && p.height == sizes[i][1] && file.lumps[i].alphaMode == 2) << "lump " << i;
    // Light art on a black border, so the clamped edges show no box.
    int edge = 0, brightest = 0;
    for (uint32_t y = 0; y < p.height; ++y)
      for (uint32_t x = 0; x < p.width; ++x) {
        brightest = std::max(brightest, p.Brightness(x, y));
        if (x == 0 || y == 0 || x == p.width - 1 || y == p.height - 1) edge += p.Brightness(x, y);
      }
    EXPECT_TRUE(edge == 0 && brightest >= 240) << "lump " << i;
  }
  // Eleven distinct glyphs in the top row of square cells, each inked only in
  // the middle three quarters (glyph quads overlap by a quarter).
  const Picture sheet = Decode(file, 0);
  const uint32_t cell = sheet.width / 16, lo = cell / 8, hi = cell - cell / 8;
  std::vector<Bytes> glyphs(11);
  std::vector<int> inked(11, 0);
  int stray = 0;
  for (uint32_t y = 0; y < sheet.height; ++y)
    for (uint32_t x = 0; x < sheet.width; ++x) {
      const uint32_t column = x / cell, cx = x % cell, cy = y % cell;
      if (y >= cell || column >= 11 || cx < lo || cx >= hi || cy < lo || cy >= hi) {
        stray += sheet.Brightness(x, y) != 0;
        continue;
      }
      glyphs[column].push_back(uint8_t(sheet.Brightness(x, y)));
      inked[column] += sheet.Brightness(x, y) > 128;
    }
  EXPECT_EQ(stray, 0);
  for (int g = 0; g < 11; ++g) EXPECT_GT(inked[g], int(cell * cell / 40)) << "glyph " << g;
  EXPECT_EQ(std::set<Bytes>(glyphs.begin(), glyphs.end()).size(), 11u);
}

TEST(Forge, EveryCurrencyHoldsItsNotesFacesTheRightWayRound) {
  ASSERT_EQ(Currencies()[0].file, "USA.dosh");  // the default currency
  ASSERT_EQ(Currencies()[0].notes.size(), 7u);
  for (const CurrencyDesign& currency : Currencies()) {
    MONEYFILE file;
    ASSERT_TRUE(file.Open((kBundle + "/" + currency.file).c_str())) << file.failure;
    EXPECT_EQ(std::string(file.header.name), currency.displayName);
    ASSERT_EQ(file.header.numLumps, currency.notes.size());
    std::set<std::vector<int>> colours;
    for (size_t i = 0; i < currency.notes.size(); ++i) {
      const MONEYLUMP& lump = file.lumps[i];
      EXPECT_TRUE(lump.width == currency.notes[i].width && lump.height == currency.notes[i].height && lump.alphaMode == 0)
          << currency.file << " note " << i;
      const Picture note = Decode(file, int(i));
      ASSERT_TRUE(note.width == uint32_t(kNoteImageSize) && note.height == uint32_t(kNoteImageSize)) << currency.file;
      // The front face takes t 0 to 0.5, the lower half top-down. A dollar's
      // watermark window, the lightest patch, lies left of the middle at 56 %
      // of the face's height: found there, and not in the mirrored spot or
      // the other half, it shows the face neither swapped nor mirrored.
      const auto patch = [&](double s, double t) {
        int sum = 0;
        for (uint32_t y = uint32_t(t * kNoteImageSize) - 8, n = 0; n < 16; ++y, ++n)
          for (uint32_t x = uint32_t(s * kNoteImageSize) - 8, m = 0; m < 16; ++x, ++m) sum += note.At(x, y)[0] + note.At(x, y)[1];
        return sum / 256;
      };
      if (currency.file == "USA.dosh") {
        EXPECT_GT(patch(0.14, 0.78), std::max(patch(0.86, 0.78), patch(0.14, 0.28)) + 20) << "note " << i;
      }
      std::vector<int> mean(3, 0);
      for (size_t b = 0; b < note.rgb.size(); ++b) mean[b % 3] += note.rgb[b] / 8;
      colours.insert(mean);
    }
    EXPECT_EQ(colours.size(), currency.notes.size()) << currency.file << ": two notes share a colour";
  }
}

TEST(Forge, DrawsTheSameBundleEveryTimeAndLaysItOut) {
  const Image drawn = DrawNoteImage(Currencies()[0], 0, 3);
  ASSERT_EQ(drawn.pixels, DrawNoteImage(Currencies()[0], 0, 3).pixels);
  MONEYFILE file;
  Texture texture;
  ASSERT_TRUE(file.Open((kBundle + "/USA.dosh").c_str()) && file.SeekLump(3) && LoadTGA2(&texture, &file.stream));
  EXPECT_EQ(std::memcmp(texture.pixels, drawn.pixels.data(), drawn.pixels.size()), 0);  // rows bottom-up in both

  TempDir dir;
  std::string error;
  Image sheet;
  ASSERT_TRUE(WriteContactSheet(kBundle, dir.Path("sheet.png"), &error)) << error;
  ASSERT_TRUE(ReadPNG(dir.Path("sheet.png"), &sheet, &error)) << error;
  EXPECT_TRUE(sheet.width > 1000 && sheet.height > 2000);  // six files, 34 images
  EXPECT_FALSE(WriteContactSheet(dir.Path("no such folder"), dir.Path("x.png"), &error));
  EXPECT_NE(error.find("brimble.artifacts"), std::string::npos) << error;
}

}  // namespace
