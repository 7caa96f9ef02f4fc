// The original motifs of the bundled currencies: a small emblem for the
// front's medallion and a larger engraved scene for the back's vignette.
// Geometric and botanical shapes only: no persons, buildings, seals or flags.
#pragma once

#include <cairo.h>

#include "Canvas.h"
#include "Currencies.h"
#include "Guilloche.h"

struct MotifColours {
  Rgb ink;     // outlines and dark line-work
  Rgb accent;  // second colour
  Rgb light;   // highlights, close to the paper
};

// The emblem, filling the circle of radius r around (cx, cy).
void DrawEmblem(cairo_t* cr, Motif motif, double cx, double cy, double r, const MotifColours& c);

// The scene, covering area; the caller clips it to the vignette's shape.
void DrawScene(cairo_t* cr, Motif motif, const Rect& area, const MotifColours& c);

// A deterministic generator for the scenes' scattered details.
class Scatter {
public:
  explicit Scatter(uint32_t seed) : state(seed * 2654435761u + 1u) {}
  double Next();  // uniform in [0, 1)

private:
  uint32_t state;
};
