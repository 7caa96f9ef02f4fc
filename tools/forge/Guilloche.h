// The line-work of security printing, drawn in the caller's user space:
// woven rosettes, braided borders, wave underprints, ripples and hatching.
// Each line is stroked as soon as it is built; none of these leave a path
// behind.
#pragma once

#include <cairo.h>

#include "Canvas.h"

struct Ink {
  Rgb colour;
  double alpha;
  double width;  // line width in user units
};

// A ring of strands woven between radii inner and outer around (cx, cy): each
// strand is a closed wave with lobes crests per turn (plus an overtone of
// harmonic times as many, weighted by overtone), and the strands are spread
// evenly over one crest so that they cross into a lattice.
struct RosetteShape {
  double inner;
  double outer;
  int lobes;
  int strands;
  int harmonic = 0;
  double overtone = 0.0;
};
void Rosette(cairo_t* cr, double cx, double cy, const RosetteShape& shape, const Ink& ink);

// Strands braided along a band of the given width centred on the outline of a
// rectangle with rounded corners; the wavelength is adjusted so that a whole
// number of waves closes around it.
struct Rect {
  double x, y, w, h;
};
void BraidFrame(cairo_t* cr, const Rect& outline, double corner, double band, double wavelength,
                int strands, const Ink& ink);

// Horizontal wave lines spacing apart across area, each shifted by drift
// radians from the one above, so that the crests form slanting moiré bands.
void WaveField(cairo_t* cr, const Rect& area, double spacing, double amplitude, double wavelength,
               double drift, const Ink& ink);

// Concentric wavy rings from radius r0 to r1 around (cx, cy).
void Ripples(cairo_t* cr, double cx, double cy, double r0, double r1, double spacing, int lobes,
             double amplitude, const Ink& ink);

// Parallel straight lines at angle (degrees) covering area; meant to be drawn
// inside a clip.
void Hatch(cairo_t* cr, const Rect& area, double angle, double spacing, const Ink& ink);

// Adds a rectangle with rounded corners to the path.
void RoundedRect(cairo_t* cr, const Rect& rect, double radius);
