#include "OverlayArt.h"

#include <cmath>

#include "Canvas.h"
#include "Guilloche.h"

namespace {

const double kPi = 3.14159265358979323846;
const Rgb kWhite = {1, 1, 1};
const Rgb kPaleGold = Hex(0xF4DDA0);
const Rgb kGold = Hex(0xD9B45E);

Image Finish(const Canvas& canvas) {
  if (!canvas.Ok()) return Image();
  return FlipRows(canvas.ToImage());
}

// A vertical gradient from top to bottom colour between rows y0 and y1.
void SetVerticalGradient(cairo_t* cr, double y0, double y1, Rgb top, Rgb bottom) {
  cairo_pattern_t* pattern = cairo_pattern_create_linear(0, y0, 0, y1);
  cairo_pattern_add_color_stop_rgb(pattern, 0, top.r, top.g, top.b);
  cairo_pattern_add_color_stop_rgb(pattern, 1, bottom.r, bottom.g, bottom.b);
  cairo_set_source(cr, pattern);
  cairo_pattern_destroy(pattern);
}

void FillText(cairo_t* cr, const std::string& text, double x, double y, Align align,
              double tracking = 0) {
  cairo_new_path(cr);
  AddText(cr, text, x, y, align, tracking);
  cairo_fill(cr);
}

// A diamond, the small ornament that flanks the lettering.
void Diamond(cairo_t* cr, double cx, double cy, double r) {
  cairo_move_to(cr, cx - r, cy);
  cairo_line_to(cr, cx, cy - r);
  cairo_line_to(cr, cx + r, cy);
  cairo_line_to(cr, cx, cy + r);
  cairo_close_path(cr);
  cairo_fill(cr);
}

// A coin-like rosette in pale gold.
void Coin(cairo_t* cr, double cx, double cy, double r, double line) {
  cairo_new_sub_path(cr);
  cairo_arc(cr, cx, cy, r, 0, 2 * kPi);
  SetColour(cr, kGold);
  cairo_set_line_width(cr, line * 2);
  cairo_stroke(cr);
  Rosette(cr, cx, cy, {r * 0.45, r * 0.86, 18, 4, 2, 0.25}, {kPaleGold, 1, line});
  Rosette(cr, cx, cy, {r * 0.1, r * 0.5, 9, 3}, {kGold, 1, line});
}

Image GlyphSheet() {
  Canvas canvas(kGlyphCell * kGlyphColumns, kGlyphCell * kGlyphRows);
  cairo_t* cr = canvas.Cr();
  SetFace(cr, Face::SansBold, 118);
  const char* glyphs[kGlyphCount] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", ":"};
  // Digits 86 texels tall, centred in the cell, on its optical middle.
  const double baseline = kGlyphCell / 2.0 + 43;
  for (int g = 0; g < kGlyphCount; ++g) {
    const double cx = (g + 0.5) * kGlyphCell;
    SetVerticalGradient(cr, baseline - 86, baseline, kWhite, Hex(0xD8E2EE));
    FillText(cr, glyphs[g], cx, baseline, Align::Centre);
  }
  return Finish(canvas);
}

Image BannerBadge() {
  Canvas canvas(256, 32);
  cairo_t* cr = canvas.Cr();
  Coin(cr, 17, 16, 12.5, 0.7);
  SetFace(cr, Face::SansBold, 17);
  SetVerticalGradient(cr, 6, 26, kWhite, kPaleGold);
  FillText(cr, "CORVAN 3D", 38, 22.5, Align::Left, 2.2);
  SetColour(cr, kGold);
  cairo_rectangle(cr, 38, 26.5, 205, 1.2);
  cairo_fill(cr);
  return Finish(canvas);
}

Image IntroTitle() {
  Canvas canvas(1024, 256);
  cairo_t* cr = canvas.Cr();
  SetFaceToFit(cr, Face::SerifBold, "CORVAN 3D", 150, 900, 14);
  SetVerticalGradient(cr, 80, 185, kWhite, kPaleGold);
  FillText(cr, "CORVAN 3D", 512, 185, Align::Centre, 14);
  SetColour(cr, kGold);
  for (int side = -1; side <= 1; side += 2) {
    cairo_rectangle(cr, side < 0 ? 40 : 1024 - 40 - 300, 220, 300, 3);
    cairo_fill(cr);
    Diamond(cr, 512 + side * 360, 221.5, 9);
  }
  Diamond(cr, 512, 221.5, 12);
  return Finish(canvas);
}

Image IntroEmblem() {
  Canvas canvas(1024, 512);
  cairo_t* cr = canvas.Cr();
  const double cx = 512, cy = 200, r = 170;
  Rosette(cr, cx, cy, {r * 0.78, r, 48, 6, 3, 0.25}, {kGold, 1, 1.6});
  cairo_new_sub_path(cr);
  cairo_arc(cr, cx, cy, r, 0, 2 * kPi);
  SetColour(cr, kPaleGold);
  cairo_set_line_width(cr, 4);
  cairo_stroke(cr);
  Rosette(cr, cx, cy, {r * 0.2, r * 0.74, 15, 5, 2, 0.3}, {kPaleGold, 1, 1.8});
  cairo_new_sub_path(cr);
  cairo_arc(cr, cx, cy, r * 0.34, 0, 2 * kPi);
  SetColour(cr, Hex(0x000000));  // clears the line-work behind the monogram
  cairo_fill_preserve(cr);
  SetColour(cr, kPaleGold);
  cairo_set_line_width(cr, 3);
  cairo_stroke(cr);
  SetFace(cr, Face::SerifBold, 112);
  SetVerticalGradient(cr, cy - 40, cy + 40, kWhite, kPaleGold);
  FillText(cr, "C", cx, cy + 40, Align::Centre);
  SetFace(cr, Face::Sans, 40);
  SetColour(cr, kWhite);
  FillText(cr, "BANKNOTES IN FREE FALL", cx, 452, Align::Centre, 6);
  SetColour(cr, kGold);
  cairo_rectangle(cr, 212, 404, 600, 2.5);
  cairo_fill(cr);
  return Finish(canvas);
}

Image Message(const std::string& text) {
  Canvas canvas(1024, 64);
  cairo_t* cr = canvas.Cr();
  SetFaceToFit(cr, Face::SansBold, text, 34, 860, 4);
  const double width = TextWidth(cr, text, 4);
  SetVerticalGradient(cr, 16, 46, kWhite, kPaleGold);
  FillText(cr, text, 512, 44, Align::Centre, 4);
  SetColour(cr, kGold);
  Diamond(cr, 512 - width / 2 - 26, 32, 7);
  Diamond(cr, 512 + width / 2 + 26, 32, 7);
  return Finish(canvas);
}

}  // namespace

std::vector<OverlayImage> DrawOverlayImages() {
  return {
      {"clock glyphs", GlyphSheet(), kBrightnessAlpha},
      {"banner badge", BannerBadge(), kBrightnessAlpha},
      {"intro title", IntroTitle(), kBrightnessAlpha},
      {"intro emblem", IntroEmblem(), kBrightnessAlpha},
      {"message: time", Message("TIME IS MONEY \u00B7 TAKE A MOMENT"), kBrightnessAlpha},
      {"message: fortune", Message("CORVAN 3D \u00B7 A FORTUNE IN FREE FALL"), kBrightnessAlpha}};
}
