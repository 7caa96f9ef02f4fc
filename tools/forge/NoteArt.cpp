#include "NoteArt.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "Canvas.h"
#include "Guilloche.h"
#include "Motifs.h"

namespace {

const double kPi = 3.14159265358979323846;
const Rgb kWhite = {1, 1, 1};

// One face being drawn, in millimetres of the real note: (0, 0) is the face's
// top left corner as seen from outside, (w, h) its bottom right.
struct NoteFace {
  cairo_t* cr;
  const CurrencyDesign& currency;
  const NoteDesign& note;
  std::string serial;
  double w, h;
  Rgb paper;

  Rgb Tint(double t) const { return Mix(paper, note.ink, t); }
  Rgb AccentTint(double t) const { return Mix(paper, note.accent, t); }
  Rgb Light() const { return Mix(paper, kWhite, 0.55); }
  MotifColours Colours() const { return {note.ink, note.accent, Light()}; }
  std::string Numeral() const { return std::to_string(note.value); }
  std::string Words() const {
    return ValueInWords(note.value) + " " + (note.value == 1 ? currency.unit : currency.units);
  }
};

void Ellipse(cairo_t* cr, double cx, double cy, double rx, double ry) {
  SavedState state(cr);
  cairo_translate(cr, cx, cy);
  cairo_scale(cr, rx, ry);
  cairo_new_sub_path(cr);
  cairo_arc(cr, 0, 0, 1, 0, 2 * kPi);
}

void Disc(cairo_t* cr, double cx, double cy, double r) {
  cairo_new_sub_path(cr);
  cairo_arc(cr, cx, cy, r, 0, 2 * kPi);
}

// Text filled with a light tint, hatched inside with fine lines and outlined:
// the engraved look of a banknote's large figures.
void EngravedText(const NoteFace& f, const std::string& text, double x, double y, Align align,
                  Rgb fill, Rgb line, double hatchAngle) {
  cairo_t* cr = f.cr;
  cairo_new_path(cr);
  AddText(cr, text, x, y, align);
  CairoPath outline(cairo_copy_path(cr));
  SetColour(cr, fill);
  cairo_fill_preserve(cr);
  {
    SavedState state(cr);
    cairo_clip(cr);
    Hatch(cr, {0, 0, f.w, f.h}, hatchAngle, 0.55, {line, 0.75, 0.2});
  }
  cairo_new_path(cr);
  cairo_append_path(cr, outline.get());
  SetColour(cr, line);
  cairo_set_line_width(cr, 0.3);
  cairo_stroke(cr);
}

void SolidText(cairo_t* cr, const std::string& text, double x, double y, Align align, Rgb colour,
               double tracking = 0) {
  cairo_new_path(cr);
  AddText(cr, text, x, y, align, tracking);
  SetColour(cr, colour);
  cairo_fill(cr);
}

// Paper with a soft light in its middle, and a plain margin all round so that
// the two faces meet on paper where the texture joins them.
void Paper(const NoteFace& f, double lightX) {
  cairo_pattern_t* glow =
      cairo_pattern_create_radial(f.w * lightX, f.h * 0.5, 0, f.w * lightX, f.h * 0.5, f.w * 0.7);
  cairo_pattern_add_color_stop_rgb(glow, 0, f.Light().r, f.Light().g, f.Light().b);
  cairo_pattern_add_color_stop_rgb(glow, 1, f.paper.r, f.paper.g, f.paper.b);
  cairo_set_source(f.cr, glow);
  cairo_paint(f.cr);
  cairo_pattern_destroy(glow);
}

// A soft patch of colour fading out from (cx, cy), inside the printed area.
void Wash(const NoteFace& f, double cx, double cy, double r, Rgb colour, double alpha) {
  cairo_pattern_t* wash = cairo_pattern_create_radial(cx, cy, 0, cx, cy, r);
  cairo_pattern_add_color_stop_rgba(wash, 0, colour.r, colour.g, colour.b, alpha);
  cairo_pattern_add_color_stop_rgba(wash, 1, colour.r, colour.g, colour.b, 0);
  cairo_set_source(f.cr, wash);
  cairo_rectangle(f.cr, 1.8, 1.8, f.w - 3.6, f.h - 3.6);
  cairo_fill(f.cr);
  cairo_pattern_destroy(wash);
}

// Clips to a rectangle; a plain rectangle keeps Cairo on its fast path for
// the dense underprints drawn inside it.
void ClipTo(cairo_t* cr, const Rect& r) {
  cairo_rectangle(cr, r.x, r.y, r.w, r.h);
  cairo_clip(cr);
}

Rect Inset(const NoteFace& f, double by) { return {by, by, f.w - 2 * by, f.h - 2 * by}; }

void CornerNumeral(const NoteFace& f, double cx, double cy, double r, bool rosette) {
  cairo_t* cr = f.cr;
  if (rosette) {
    Disc(cr, cx, cy, r);
    SetColour(cr, f.Light());
    cairo_fill(cr);
    Rosette(cr, cx, cy, {r * 0.6, r, 14, 4, 2, 0.25}, {f.Tint(0.75), 1, 0.18});
    Disc(cr, cx, cy, r * 0.62);
    SetColour(cr, f.Light());
    cairo_fill(cr);
  }
  SetFaceToFit(cr, Face::SerifBold, f.Numeral(), r * 1.05, r * 1.0);
  SolidText(cr, f.Numeral(), cx, cy + r * 0.36, Align::Centre, f.note.ink);
}

void Serial(const NoteFace& f, double x, double y, Align align, double size) {
  SetFace(f.cr, Face::MonoBold, size);
  SolidText(f.cr, f.serial, x, y, align, f.currency.serialInk, size * 0.05);
}

// ---- front ----------------------------------------------------------------------

void FrontBackground(const NoteFace& f) {
  cairo_t* cr = f.cr;
  Paper(f, 0.45);
  const Rect panel = Inset(f, 1.8);
  SavedState state(cr);
  ClipTo(cr, panel);
  WaveField(cr, panel, 0.85, 1.1, 9.0, 0.32, {f.Tint(0.3), 1, 0.2});
  WaveField(cr, panel, 1.7, 2.4, 17.0, -0.22, {f.AccentTint(0.45), 0.8, 0.2});
}

void Watermark(const NoteFace& f, double cx, double cy) {
  cairo_t* cr = f.cr;
  const double rx = f.h * 0.2, ry = f.h * 0.27;
  Ellipse(cr, cx, cy, rx, ry);
  SetColour(cr, Mix(f.Light(), kWhite, 0.3));
  cairo_fill(cr);
  SavedState state(cr);
  Ellipse(cr, cx, cy, rx, ry);
  cairo_clip(cr);
  // The watermark shows only as a faint shape in the clear paper.
  const Rgb ghost = Mix(f.Light(), f.note.ink, 0.12);
  DrawEmblem(cr, f.currency.motif, cx, cy, ry * 0.8, {ghost, ghost, Mix(f.Light(), kWhite, 0.3)});
}

void FrontFrame(const NoteFace& f) {
  cairo_t* cr = f.cr;
  RoundedRect(cr, Inset(f, 1.9), 0.6);
  SetColour(cr, f.note.ink);
  cairo_set_line_width(cr, 0.45);
  cairo_stroke(cr);
  BraidFrame(cr, Inset(f, 3.35), 2.2, 2.3, 3.4, 5, {f.Tint(0.7), 1, 0.2});
  BraidFrame(cr, Inset(f, 3.35), 2.2, 1.4, 2.3, 2, {f.note.accent, 0.8, 0.2});
  RoundedRect(cr, Inset(f, 4.8), 1.2);
  SetColour(cr, f.note.ink);
  cairo_set_line_width(cr, 0.35);
  cairo_stroke(cr);
}

void Medallion(const NoteFace& f, double cx, double cy, double r) {
  cairo_t* cr = f.cr;
  Disc(cr, cx, cy, r);
  SetColour(cr, f.AccentTint(0.2));
  cairo_fill(cr);
  Rosette(cr, cx, cy, {r * 0.68, r, 30, 7, 3, 0.25}, {f.note.ink, 0.9, 0.17});
  Rosette(cr, cx, cy, {r * 0.6, r * 0.84, 20, 5}, {f.note.accent, 0.9, 0.17});
  Disc(cr, cx, cy, r);
  SetColour(cr, f.note.ink);
  cairo_set_line_width(cr, 0.4);
  cairo_stroke(cr);
  Disc(cr, cx, cy, r * 0.62);
  SetColour(cr, f.Light());
  cairo_fill_preserve(cr);
  SetColour(cr, f.note.ink);
  cairo_set_line_width(cr, 0.35);
  cairo_stroke(cr);
  DrawEmblem(cr, f.currency.motif, cx, cy, r * 0.56, f.Colours());
}

// A windowed thread of metal running through the paper from top to bottom.
void SecurityThread(const NoteFace& f, double x) {
  cairo_t* cr = f.cr;
  const Rgb metal = Mix(f.note.ink, Hex(0xA0A4A8), 0.6);
  for (double y = 2.5; y < f.h - 2.5; y += 6.0) {
    cairo_rectangle(cr, x - 0.4, y, 0.8, std::min(4.0, f.h - 2.5 - y));
  }
  SetColour(cr, metal, 0.7);
  cairo_fill(cr);
}

void DrawFront(const NoteFace& f) {
  cairo_t* cr = f.cr;
  const double w = f.w, h = f.h;
  FrontBackground(f);
  Wash(f, w * 0.8, h * 0.55, w * 0.3, f.note.accent, 0.4);
  Wash(f, w * 0.4, h * 0.6, w * 0.22, f.note.ink, 0.15);
  Watermark(f, w * 0.14, h * 0.56);
  SecurityThread(f, w * 0.615);
  FrontFrame(f);

  const double medX = w * 0.4, medY = h * 0.6, medR = h * 0.28;
  const double corner = h * 0.12, inset = 5.6 + corner;
  Medallion(f, medX, medY, medR);
  // The title stays clear of the corner rosette and of the thread.
  const double titleHalf = std::min(medX - inset - corner * 1.3, w * 0.6 - medX);
  SetFaceToFit(cr, Face::SerifBold, f.currency.title, h * 0.1, titleHalf * 2, h * 0.012);
  SolidText(cr, f.currency.title, medX, h * 0.2, Align::Centre, f.note.ink, h * 0.012);
  SetFace(cr, Face::SerifItalic, h * 0.05);
  SolidText(cr, "Corvan Reserve Note", medX, h * 0.275, Align::Centre, f.Tint(0.85));

  // The large figure on the right, with the value in words beneath it.
  const double figureX = w * 0.8;
  Rosette(cr, figureX, h * 0.55, {h * 0.04, h * 0.34, 22, 6, 2, 0.3}, {f.AccentTint(0.45), 1, 0.2});
  SetFaceToFit(cr, Face::SerifBold, f.Numeral(), h * 0.4, w * 0.27);
  EngravedText(f, f.Numeral(), figureX, h * 0.66, Align::Centre, f.AccentTint(0.5), f.note.ink, 35);
  SetFaceToFit(cr, Face::SansCondensedBold, f.Words(), h * 0.065, w * 0.3, h * 0.006);
  SolidText(cr, f.Words(), figureX, h * 0.77, Align::Centre, f.note.ink, h * 0.006);

  CornerNumeral(f, inset, inset, corner, true);
  CornerNumeral(f, w - inset, inset, corner, true);
  Serial(f, 6.8, h * 0.9, Align::Left, h * 0.06);
  Serial(f, w - 6.8, h * 0.9, Align::Right, h * 0.06);
}

// ---- back -----------------------------------------------------------------------

void BackBackground(const NoteFace& f) {
  cairo_t* cr = f.cr;
  Paper(f, 0.5);
  const Rect panel = Inset(f, 1.8);
  SavedState state(cr);
  ClipTo(cr, panel);
  Ripples(cr, f.w * 0.5, f.h * 0.5, 1.0, std::hypot(f.w, f.h) / 2, 1.1, 14, 0.3,
          {f.AccentTint(0.45), 1, 0.2});
  WaveField(cr, panel, 2.2, 0.8, 6.0, 0.9, {f.Tint(0.25), 1, 0.2});
}

void BackFrame(const NoteFace& f) {
  cairo_t* cr = f.cr;
  RoundedRect(cr, Inset(f, 1.9), 0.6);
  SetColour(cr, f.note.accent);
  cairo_set_line_width(cr, 0.45);
  cairo_stroke(cr);
  BraidFrame(cr, Inset(f, 3.4), 0.5, 2.6, 5.5, 3, {f.note.ink, 0.85, 0.22});
  BraidFrame(cr, Inset(f, 3.4), 0.5, 2.6, 5.5, 3, {f.note.accent, 0.9, 0.2});
  RoundedRect(cr, Inset(f, 5.0), 0.8);
  SetColour(cr, f.note.accent);
  cairo_set_line_width(cr, 0.35);
  cairo_stroke(cr);
}

void Vignette(const NoteFace& f, const Rect& area) {
  cairo_t* cr = f.cr;
  {
    SavedState state(cr);
    RoundedRect(cr, area, area.h * 0.12);
    cairo_clip(cr);
    DrawScene(cr, f.currency.motif, area, f.Colours());
  }
  RoundedRect(cr, area, area.h * 0.12);
  SetColour(cr, f.note.ink);
  cairo_set_line_width(cr, 0.5);
  cairo_stroke(cr);
  RoundedRect(cr, {area.x - 1.0, area.y - 1.0, area.w + 2.0, area.h + 2.0}, area.h * 0.12 + 1.0);
  SetColour(cr, f.note.accent);
  cairo_set_line_width(cr, 0.25);
  cairo_stroke(cr);
}

void SymbolRosette(const NoteFace& f, double cx, double cy, double r) {
  cairo_t* cr = f.cr;
  Disc(cr, cx, cy, r);
  SetColour(cr, f.Light());
  cairo_fill(cr);
  Rosette(cr, cx, cy, {r * 0.15, r, 9, 9, 2, 0.35}, {f.AccentTint(0.9), 1, 0.16});
  Rosette(cr, cx, cy, {r * 0.7, r, 24, 5}, {f.note.ink, 0.9, 0.17});
  Disc(cr, cx, cy, r * 0.42);
  SetColour(cr, f.Light());
  cairo_fill_preserve(cr);
  SetColour(cr, f.note.ink);
  cairo_set_line_width(cr, 0.3);
  cairo_stroke(cr);
  SetFaceToFit(cr, Face::SerifBold, f.currency.symbol, r * 0.6, r * 0.7);
  SolidText(cr, f.currency.symbol, cx, cy + r * 0.21, Align::Centre, f.note.ink);
}

void DrawBack(const NoteFace& f) {
  cairo_t* cr = f.cr;
  const double w = f.w, h = f.h;
  BackBackground(f);
  BackFrame(f);

  const Rect scene = {w * 0.27, h * 0.24, w * 0.46, h * 0.56};
  Vignette(f, scene);

  SetFaceToFit(cr, Face::SerifBold, f.Numeral(), h * 0.46, w * 0.2);
  EngravedText(f, f.Numeral(), w * 0.145, h * 0.66, Align::Centre, f.Tint(0.35), f.note.ink, -35);

  SymbolRosette(f, w - h * 0.36, h * 0.52, h * 0.25);

  SetFaceToFit(cr, Face::SerifBold, f.currency.title, h * 0.085, scene.w, h * 0.012);
  SolidText(cr, f.currency.title, scene.x + scene.w / 2, h * 0.195, Align::Centre, f.note.ink,
            h * 0.012);
  SetFaceToFit(cr, Face::SansCondensedBold, f.Words(), h * 0.06, scene.w, h * 0.01);
  SolidText(cr, f.Words(), scene.x + scene.w / 2, h * 0.89, Align::Centre, f.note.ink, h * 0.01);

  const double corner = h * 0.11, inset = 5.8 + corner;
  CornerNumeral(f, w - inset, inset, corner * 0.85, false);
  CornerNumeral(f, inset, h - inset, corner * 0.85, false);
}

// Draws one face into the canvas rectangle from row top, height rows high,
// stretched from the note's proportions to the texture's.
void DrawFace(cairo_t* cr, const CurrencyDesign& currency, const NoteDesign& note,
              const std::string& serial, double top, double rows, bool front) {
  SavedState state(cr);
  cairo_rectangle(cr, 0, top, kNoteImageSize, rows);
  cairo_clip(cr);
  cairo_translate(cr, 0, top);
  cairo_scale(cr, kNoteImageSize / double(note.width), rows / double(note.height));
  const NoteFace face{cr,
                      currency,
                      note,
                      serial,
                      double(note.width),
                      double(note.height),
                      Mix(currency.paper, note.ink, 0.1)};
  if (front)
    DrawFront(face);
  else
    DrawBack(face);
}

}  // namespace

std::string SerialNumber(const CurrencyDesign& currency, int currencyIndex, int noteIndex) {
  uint32_t x = 0x9E3779B9u * uint32_t(currencyIndex + 1) + 0x85EBCA6Bu * uint32_t(noteIndex + 7);
  x ^= x >> 15;
  x *= 0x2C1B3C6Du;
  x ^= x >> 12;
  char text[32];
  std::snprintf(text, sizeof text, "%s %08u %c", currency.serialLetters.c_str(),
                unsigned(x % 100000000u), char('A' + x % 26));
  return text;
}

Image DrawNoteImage(const CurrencyDesign& currency, int currencyIndex, int noteIndex) {
  const NoteDesign& note = currency.notes[size_t(noteIndex)];
  const std::string serial = SerialNumber(currency, currencyIndex, noteIndex);
  Canvas canvas(kNoteImageSize, kNoteImageSize);
  const double half = kNoteImageSize / 2.0;
  DrawFace(canvas.Cr(), currency, note, serial, 0, half, false);    // t 0.5 to 1
  DrawFace(canvas.Cr(), currency, note, serial, half, half, true);  // t 0 to 0.5
  if (!canvas.Ok()) return Image();
  return FlipRows(canvas.ToImage());
}
