// Cairo drawing for the artwork generator: owned surfaces, contexts and
// paths, colours, and text set as outlines in the DejaVu faces.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <string>

#include "TGAWriter.h"

struct CairoSurfaceFree {
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct CairoContextFree {
  void operator()(cairo_t* context) const { cairo_destroy(context); }
};
struct CairoPathFree {
  void operator()(cairo_path_t* path) const { cairo_path_destroy(path); }
};
using CairoSurface = std::unique_ptr<cairo_surface_t, CairoSurfaceFree>;
using CairoContext = std::unique_ptr<cairo_t, CairoContextFree>;
using CairoPath = std::unique_ptr<cairo_path_t, CairoPathFree>;

// An opaque RGB drawing surface, black to start with, rows top to bottom.
class Canvas {
public:
  Canvas(int width, int height);

  bool Ok() const;
  cairo_t* Cr() const { return context.get(); }
  int Width() const { return width; }
  int Height() const { return height; }

  // The pixels as a 24-bit image, rows top to bottom as drawn (FlipRows turns
  // them into the bottom-up order of the TGA files).
  Image ToImage() const;

private:
  int width;
  int height;
  CairoSurface surface;
  CairoContext context;
};

// Saves the drawing state and restores it when the scope ends.
class SavedState {
public:
  explicit SavedState(cairo_t* cr) : cr(cr) { cairo_save(cr); }
  ~SavedState() { cairo_restore(cr); }
  SavedState(const SavedState&) = delete;
  SavedState& operator=(const SavedState&) = delete;

private:
  cairo_t* cr;
};

struct Rgb {
  double r, g, b;
};

Rgb Hex(uint32_t rgb);
Rgb Mix(Rgb from, Rgb to, double t);  // t 0 gives from, 1 gives to
void SetColour(cairo_t* cr, Rgb colour, double alpha = 1.0);

// Point i of a traced curve: the first starts the path, the rest extend it.
void CurvePoint(cairo_t* cr, int i, double x, double y);

enum class Face { Sans, SansBold, SansCondensedBold, Serif, SerifBold, SerifItalic, MonoBold };
enum class Align { Left, Centre, Right };

// Selects a face and size. Hinting is switched off so that letters keep their
// true outlines under the stretched note transforms and the result does not
// depend on the machine's font settings.
void SetFace(cairo_t* cr, Face face, double size);

// Appends text to the current path with its baseline at y, placed by align
// against x; tracking is extra space after every letter, in user units.
void AddText(cairo_t* cr, const std::string& utf8, double x, double y, Align align,
             double tracking = 0.0);
double TextWidth(cairo_t* cr, const std::string& utf8, double tracking = 0.0);

// Selects face at the largest size up to size at which text fits maxWidth.
void SetFaceToFit(cairo_t* cr, Face face, const std::string& utf8, double size, double maxWidth,
                  double tracking = 0.0);
