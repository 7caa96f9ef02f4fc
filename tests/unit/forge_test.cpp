// The bundled artwork and currencies as the build wrote them, read back
// through the saver's own readers and decoder: the overlay images in their
// order, sizes and alpha modes, a glyph sheet the clock can use, every
// currency with its notes; and a generator that draws the same bytes twice.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "Bundle.h"
#include "Canvas.h"
#include "ContactSheet.h"
#include "Currencies.h"
#include "Guilloche.h"
#include "NoteArt.h"
#include "PngIO.h"
#include "TestFiles.h"
#include "data/MoneyFile.h"
#include "data/ResFile.h"
#include "image/TGALoader.h"
#include "image/Texture.h"

namespace {

const std::string kBundle = CORVAN_BUNDLE_DIR;

// A decoded lump, rows turned top-down so that row 0 is the top of the image
// as it appears on a quad (texture coordinate t = 1).
struct Picture {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<unsigned char> rgb;

  const unsigned char* At(uint32_t x, uint32_t y) const { return &rgb[(size_t(y) * width + x) * 3]; }
  int Brightness(uint32_t x, uint32_t y) const {
    const unsigned char* p = At(x, y);
    return std::max({p[0], p[1], p[2]});
  }
};

template <class READER>
bool Decode(READER& file, int index, Picture* picture) {
  Texture texture;
  if (file.lumps[index].type != 1 || !file.SeekLump(index) || !LoadTGA2(&texture, &file.stream) ||
      texture.bitsPerPixel != 24)
    return false;
  picture->width = texture.width;
  picture->height = texture.height;
  const size_t row = size_t(texture.width) * 3;
  picture->rgb.resize(row * texture.height);
  for (uint32_t y = 0; y < texture.height; ++y)
    std::memcpy(&picture->rgb[y * row], texture.pixels + (texture.height - 1 - y) * row, row);
  return true;
}

bool PowerOfTwo(uint32_t n) { return n != 0 && (n & (n - 1)) == 0; }

std::vector<Picture> ReadResource(RESFILE* file) {
  std::vector<Picture> pictures;
  if (!file->Open((kBundle + "/brimble.artifacts").c_str())) return pictures;
  for (uint32_t i = 0; i < file->header.numLumps; ++i) {
    pictures.emplace_back();
    EXPECT_TRUE(Decode(*file, int(i), &pictures.back())) << "lump " << i;
  }
  return pictures;
}

// ---- the resource file ------------------------------------------------------------

TEST(ForgeResource, SixLightImagesOnBlackWithTheBrightnessAlpha) {
  RESFILE file;
  const std::vector<Picture> pictures = ReadResource(&file);
  ASSERT_GE(pictures.size(), 6u) << file.failure;
  // Width to height of each image as drawn: glyph sheet, badge, upper and
  // lower intro, the two messages.
  const double aspects[6] = {2, 8, 4, 2, 16, 16};
  for (size_t i = 0; i < 6; ++i) {
    const Picture& p = pictures[i];
    SCOPED_TRACE("lump " + std::to_string(i));
    EXPECT_EQ(file.lumps[i].alphaMode, 2);
    EXPECT_TRUE(PowerOfTwo(p.width) && PowerOfTwo(p.height)) << p.width << "x" << p.height;
    EXPECT_EQ(double(p.width) / p.height, aspects[i]);
    // A black border everywhere: the texture's clamped edges blend into
    // nothing, so no box shows round the image.
    int lit = 0;
    for (uint32_t x = 0; x < p.width; ++x) lit += p.Brightness(x, 0) + p.Brightness(x, p.height - 1);
    for (uint32_t y = 0; y < p.height; ++y) lit += p.Brightness(0, y) + p.Brightness(p.width - 1, y);
    EXPECT_EQ(lit, 0);
    // Light art: its brightest pixels are all but opaque.
    int brightest = 0;
    for (uint32_t y = 0; y < p.height; ++y)
      for (uint32_t x = 0; x < p.width; ++x) brightest = std::max(brightest, p.Brightness(x, y));
    EXPECT_GE(brightest, 240);
  }
  // The badge is drawn in pixels: one texel per pixel.
  EXPECT_EQ(pictures[1].width, 256u);
  EXPECT_EQ(pictures[1].height, 32u);
}

TEST(ForgeResource, GlyphSheetHasElevenDistinctGlyphsInTheMiddleOfSquareCells) {
  RESFILE file;
  const std::vector<Picture> pictures = ReadResource(&file);
  ASSERT_FALSE(pictures.empty()) << file.failure;
  const Picture& sheet = pictures[0];
  const uint32_t cell = sheet.width / 16;
  ASSERT_EQ(sheet.height, cell * 8) << "cells must be square";
  // Glyph quads overlap by a quarter of their width, so nothing may be drawn
  // outside the middle three quarters of a cell, and nothing at all outside
  // the eleven cells of the top row.
  const uint32_t lo = cell / 8, hi = cell - cell / 8;
  std::vector<std::vector<unsigned char>> glyphs(11);
  std::vector<int> inked(11, 0);
  int stray = 0;
  for (uint32_t y = 0; y < sheet.height; ++y) {
    for (uint32_t x = 0; x < sheet.width; ++x) {
      const uint32_t column = x / cell, row = y / cell, cx = x % cell, cy = y % cell;
      const bool inside = row == 0 && column < 11 && cx >= lo && cx < hi && cy >= lo && cy < hi;
      const int b = sheet.Brightness(x, y);
      if (!inside) {
        stray += b != 0;
        continue;
      }
      glyphs[column].push_back(uint8_t(b));
      inked[column] += b > 128;
    }
  }
  EXPECT_EQ(stray, 0) << "lit texels outside the glyph boxes";
  for (int g = 0; g < 11; ++g) EXPECT_GT(inked[g], int(cell * cell / 40)) << "glyph " << g;
  EXPECT_EQ(std::set<std::vector<unsigned char>>(glyphs.begin(), glyphs.end()).size(), 11u);
}

// ---- the currencies ---------------------------------------------------------------

TEST(ForgeCurrencies, USDollarIsTheDefaultWithItsSevenNotes) {
  MONEYFILE file;
  ASSERT_TRUE(file.Open((kBundle + "/USA.dosh").c_str())) << file.failure;
  EXPECT_STREQ(file.header.name, "US Dollar");
  ASSERT_EQ(file.header.numLumps, 7u);
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(file.lumps[i].width, 156u);
    EXPECT_EQ(file.lumps[i].height, 66u);
  }
  const uint32_t values[7] = {1, 2, 5, 10, 20, 50, 100};
  const CurrencyDesign& usd = Currencies()[0];
  ASSERT_EQ(usd.file, "USA.dosh");
  for (int i = 0; i < 7; ++i) EXPECT_EQ(usd.notes[size_t(i)].value, values[i]);
}

// Mean colour of a picture, to tell the notes of a currency apart.
std::vector<double> MeanColour(const Picture& p) {
  std::vector<double> mean(3, 0.0);
  for (size_t i = 0; i < p.rgb.size(); ++i) mean[i % 3] += p.rgb[i];
  for (double& m : mean) m /= double(p.width) * p.height;
  return mean;
}

// Mean absolute difference per channel between the two halves of a note.
double HalvesDiffer(const Picture& p) {
  const size_t half = p.rgb.size() / 2;
  double sum = 0;
  for (size_t i = 0; i < half; ++i) sum += std::abs(int(p.rgb[i]) - int(p.rgb[half + i]));
  return sum / double(half);
}

TEST(ForgeCurrencies, EveryCurrencyHoldsItsNotesAtTheirSizes) {
  ASSERT_GE(Currencies().size(), 5u);
  for (const CurrencyDesign& currency : Currencies()) {
    SCOPED_TRACE(currency.file);
    MONEYFILE file;
    ASSERT_TRUE(file.Open((kBundle + "/" + currency.file).c_str())) << file.failure;
    EXPECT_EQ(std::string(file.header.name), currency.displayName);
    ASSERT_EQ(file.header.numLumps, currency.notes.size());
    std::vector<std::vector<double>> means;
    for (size_t i = 0; i < currency.notes.size(); ++i) {
      SCOPED_TRACE("note " + std::to_string(currency.notes[i].value));
      EXPECT_EQ(file.lumps[i].width, currency.notes[i].width);
      EXPECT_EQ(file.lumps[i].height, currency.notes[i].height);
      EXPECT_EQ(file.lumps[i].alphaMode, 0);
      Picture note;
      ASSERT_TRUE(Decode(file, int(i), &note));
      EXPECT_EQ(note.width, uint32_t(kNoteImageSize));
      EXPECT_EQ(note.height, uint32_t(kNoteImageSize));
      EXPECT_GT(HalvesDiffer(note), 10.0) << "front and back look alike";
      means.push_back(MeanColour(note));
    }
    for (size_t a = 0; a < means.size(); ++a)
      for (size_t b = a + 1; b < means.size(); ++b) {
        const double apart = std::abs(means[a][0] - means[b][0]) +
                             std::abs(means[a][1] - means[b][1]) +
                             std::abs(means[a][2] - means[b][2]);
        EXPECT_GT(apart, 3.0) << "notes " << a << " and " << b << " share a colour";
      }
  }
}

TEST(ForgeCurrencies, RealNoteSizes) {
  // A few of the sizes of the real notes, in millimetres.
  struct Size {
    size_t currency, note;
    uint32_t width, height;
  };
  const Size sizes[] = {{1, 0, 120, 62}, {1, 6, 160, 82}, {2, 3, 146, 77},
                        {3, 3, 160, 76}, {4, 5, 181, 70}};
  for (const Size& s : sizes) {
    const NoteDesign& note = Currencies()[s.currency].notes[s.note];
    EXPECT_EQ(note.width, s.width) << Currencies()[s.currency].file << " " << note.value;
    EXPECT_EQ(note.height, s.height) << Currencies()[s.currency].file << " " << note.value;
  }
}

// The front face takes the half of the image at t 0 to 0.5, which top-down is
// the lower half, upright. Its watermark window, the lightest patch of the
// face, lies left of the middle: found there, and not in the mirrored spot or
// in the other half, it shows the face neither swapped nor mirrored.
TEST(ForgeNotes, FrontFaceIsInTheLowerHalfTheRightWayRound) {
  MONEYFILE file;
  ASSERT_TRUE(file.Open((kBundle + "/USA.dosh").c_str())) << file.failure;
  Picture note;
  ASSERT_TRUE(Decode(file, 0, &note));
  auto patch = [&](double s, double yTop) {
    int sum = 0;
    const uint32_t cx = uint32_t(s * note.width), cy = uint32_t(yTop * note.height);
    for (uint32_t y = cy - 8; y < cy + 8; ++y)
      for (uint32_t x = cx - 8; x < cx + 8; ++x) sum += note.At(x, y)[0] + note.At(x, y)[1];
    return sum / 256;
  };
  // The watermark sits at 14 % of the width and 56 % of the face's height.
  const double frontY = 0.5 + 0.56 * 0.5, backY = 0.56 * 0.5;
  EXPECT_GT(patch(0.14, frontY), patch(0.86, frontY) + 20);
  EXPECT_GT(patch(0.14, frontY), patch(0.14, backY) + 20);
}

TEST(ForgeNotes, DrawingIsDeterministicAndMatchesTheBundle) {
  const CurrencyDesign& usd = Currencies()[0];
  const Image first = DrawNoteImage(usd, 0, 3);
  const Image second = DrawNoteImage(usd, 0, 3);
  ASSERT_EQ(first.pixels.size(), size_t(kNoteImageSize) * kNoteImageSize * 3);
  EXPECT_TRUE(first.pixels == second.pixels);
  // The build's copy is the same drawing (rows bottom-up in both).
  MONEYFILE file;
  ASSERT_TRUE(file.Open((kBundle + "/USA.dosh").c_str())) << file.failure;
  Texture texture;
  ASSERT_TRUE(file.SeekLump(3) && LoadTGA2(&texture, &file.stream));
  EXPECT_EQ(std::memcmp(texture.pixels, first.pixels.data(), first.pixels.size()), 0);
  EXPECT_NE(SerialNumber(usd, 0, 3), SerialNumber(usd, 0, 4));
}

// ---- drawing ----------------------------------------------------------------------

TEST(ForgeCanvas, ImagesComeOutAsRGBWithTheTopRowFirst) {
  Canvas canvas(3, 2);
  cairo_t* cr = canvas.Cr();
  cairo_rectangle(cr, 0, 0, 3, 1);
  SetColour(cr, Hex(0xFF8000));
  cairo_fill(cr);
  cairo_rectangle(cr, 0, 1, 3, 1);
  SetColour(cr, Hex(0x0040FF));
  cairo_fill(cr);
  ASSERT_TRUE(canvas.Ok());
  const Image image = canvas.ToImage();
  EXPECT_EQ(image.bitsPerPixel, 24u);
  EXPECT_EQ(image.pixels, (std::vector<unsigned char>{255, 128, 0, 255, 128, 0, 255, 128, 0,  //
                                                      0, 64, 255, 0, 64, 255, 0, 64, 255}));
}

TEST(ForgeCanvas, TextTrackingAndFitting) {
  Canvas canvas(8, 8);
  cairo_t* cr = canvas.Cr();
  SetFace(cr, Face::Sans, 20);
  // Tracking goes between letters, and a euro sign is one letter of three bytes.
  EXPECT_NEAR(TextWidth(cr, "\u20AC5", 3), TextWidth(cr, "\u20AC5") + 3, 1e-9);
  EXPECT_NEAR(TextWidth(cr, "x", 3), TextWidth(cr, "x"), 1e-9);
  // Fitting shrinks only the letters: the tracked text then fills the width.
  SetFaceToFit(cr, Face::SerifBold, "POUND STERLING", 40, 150, 2);
  EXPECT_NEAR(TextWidth(cr, "POUND STERLING", 2), 150, 1e-6);
  // Text that fits keeps its size.
  SetFaceToFit(cr, Face::SerifBold, "5", 40, 150, 2);
  cairo_matrix_t size;
  cairo_get_font_matrix(cr, &size);
  EXPECT_EQ(size.xx, 40.0);
}

// Lit pixels of a canvas drawn in white on black, as (x, y, brightness).
std::vector<std::vector<double>> LitPixels(const Canvas& canvas) {
  const Image image = canvas.ToImage();
  std::vector<std::vector<double>> lit;
  for (uint32_t y = 0; y < image.height; ++y)
    for (uint32_t x = 0; x < image.width; ++x)
      if (image.pixels[(size_t(y) * image.width + x) * 3] > 0)
        lit.push_back({x + 0.5, y + 0.5, double(image.pixels[(size_t(y) * image.width + x) * 3])});
  return lit;
}

TEST(ForgeGuilloche, RosetteKeepsToItsRingAndFillsIt) {
  Canvas canvas(200, 200);
  Rosette(canvas.Cr(), 100, 100, {40, 80, 12, 5, 2, 0.3}, {Hex(0xFFFFFF), 1, 1.0});
  double nearest = 1e9, farthest = 0;
  for (const std::vector<double>& p : LitPixels(canvas)) {
    const double d = std::hypot(p[0] - 100, p[1] - 100);
    nearest = std::min(nearest, d);
    farthest = std::max(farthest, d);
  }
  EXPECT_GT(nearest, 38.0);
  EXPECT_LT(nearest, 41.0);
  EXPECT_GT(farthest, 79.0);
  EXPECT_LT(farthest, 82.0);
}

// Distance from (x, y) to the outline of a rectangle with rounded corners.
double DistanceToOutline(double x, double y, const Rect& r, double corner) {
  const double qx = std::abs(x - (r.x + r.w / 2)) - (r.w / 2 - corner);
  const double qy = std::abs(y - (r.y + r.h / 2)) - (r.h / 2 - corner);
  const double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
  return std::abs(outside + std::min(std::max(qx, qy), 0.0) - corner);
}

TEST(ForgeGuilloche, BraidFollowsTheRoundedOutlineAllTheWayRound) {
  Canvas canvas(300, 200);
  const Rect outline = {20, 20, 260, 160};
  BraidFrame(canvas.Cr(), outline, 30, 10, 12, 3, {Hex(0xFFFFFF), 1, 1.0});
  const std::vector<std::vector<double>> lit = LitPixels(canvas);
  double worst = 0;
  for (const std::vector<double>& p : lit)
    worst = std::max(worst, DistanceToOutline(p[0], p[1], outline, 30));
  EXPECT_LT(worst, 5.0 + 1.5);
  // Line-work on every side and round every corner.
  const double spots[8][2] = {{150, 20}, {280, 100}, {150, 180}, {20, 100},
                              {271.2, 28.8}, {271.2, 171.2}, {28.8, 171.2}, {28.8, 28.8}};
  for (const auto& spot : spots) {
    const bool found = std::any_of(lit.begin(), lit.end(), [&](const std::vector<double>& p) {
      return std::hypot(p[0] - spot[0], p[1] - spot[1]) < 4 && p[2] > 128;
    });
    EXPECT_TRUE(found) << spot[0] << "," << spot[1];
  }
}

// ---- the table of currencies ---------------------------------------------------------

TEST(ForgeCurrencies, TableHoldsTogether) {
  std::set<std::string> files, serials;
  for (size_t c = 0; c < Currencies().size(); ++c) {
    const CurrencyDesign& currency = Currencies()[c];
    SCOPED_TRACE(currency.file);
    EXPECT_TRUE(files.insert(currency.file).second);
    EXPECT_LE(currency.displayName.size(), 39u);
    std::set<uint32_t> inks;
    for (size_t n = 0; n < currency.notes.size(); ++n) {
      const NoteDesign& note = currency.notes[n];
      if (n > 0) {
        EXPECT_GT(note.value, currency.notes[n - 1].value);
      }
      EXPECT_EQ(ValueInWords(note.value).find_first_of("0123456789"), std::string::npos)
          << note.value << " has no words";
      inks.insert(uint32_t(note.ink.r * 255) << 16 | uint32_t(note.ink.g * 255) << 8 |
                  uint32_t(note.ink.b * 255));
      const std::string serial = SerialNumber(currency, int(c), int(n));
      EXPECT_TRUE(serials.insert(serial).second) << serial;
      ASSERT_EQ(serial.size(), 13u) << serial;
      EXPECT_EQ(serial.substr(0, 3), currency.serialLetters + " ");
      EXPECT_EQ(serial.find_first_not_of("0123456789", 3), 11u) << serial;
      EXPECT_TRUE(serial[12] >= 'A' && serial[12] <= 'Z') << serial;
    }
    EXPECT_EQ(inks.size(), currency.notes.size()) << "two notes share an ink";
  }
}

TEST(ForgeContactSheet, LaysOutTheWholeBundle) {
  TempDir dir;
  std::string error;
  ASSERT_TRUE(WriteContactSheet(kBundle, dir.Path("sheet.png"), &error)) << error;
  Image sheet;
  ASSERT_TRUE(ReadPNG(dir.Path("sheet.png"), &sheet, &error)) << error;
  EXPECT_GT(sheet.width, 1000u);
  EXPECT_GT(sheet.height, 2000u);  // six files, 34 images
  EXPECT_FALSE(WriteContactSheet(dir.Path("no such folder"), dir.Path("x.png"), &error));
  EXPECT_NE(error.find("brimble.artifacts"), std::string::npos) << error;
}

}  // namespace
