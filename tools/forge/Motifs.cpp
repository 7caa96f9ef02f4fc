#include "Motifs.h"

#include <cmath>
#include <vector>

namespace {

const double kPi = 3.14159265358979323846;

double Radians(double degrees) { return degrees * kPi / 180; }

void Circle(cairo_t* cr, double cx, double cy, double r) {
  cairo_new_sub_path(cr);
  cairo_arc(cr, cx, cy, r, 0, 2 * kPi);
}

// Fills the current path and outlines it.
void FillAndOutline(cairo_t* cr, Rgb fill, double alpha, const Ink& outline) {
  SetColour(cr, fill, alpha);
  cairo_fill_preserve(cr);
  SetColour(cr, outline.colour, outline.alpha);
  cairo_set_line_width(cr, outline.width);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_stroke(cr);
}

void Fill(cairo_t* cr, Rgb fill, double alpha = 1.0) {
  SetColour(cr, fill, alpha);
  cairo_fill(cr);
}

void StrokeWith(cairo_t* cr, const Ink& ink) {
  SetColour(cr, ink.colour, ink.alpha);
  cairo_set_line_width(cr, ink.width);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_stroke(cr);
}

// Adds a petal pointing along angle (degrees) from inner to length around
// (cx, cy); a notch cuts its tip into two lobes.
void Petal(cairo_t* cr, double cx, double cy, double angle, double inner, double length,
           double width, double notch = 0) {
  SavedState state(cr);  // the path survives the restore; only the transform goes
  cairo_translate(cr, cx, cy);
  cairo_rotate(cr, Radians(angle));
  const double span = length - inner, lobe = notch * 0.8;
  cairo_new_sub_path(cr);
  cairo_move_to(cr, inner, 0);
  cairo_curve_to(cr, inner + span * 0.25, -width, inner + span * 0.85, -width * 1.1, length, -lobe);
  if (notch > 0) {
    cairo_line_to(cr, length - notch, 0);
    cairo_line_to(cr, length, lobe);
  }
  cairo_curve_to(cr, inner + span * 0.85, width * 1.1, inner + span * 0.25, width, inner, 0);
  cairo_close_path(cr);
}

// ---- emblems ------------------------------------------------------------------

void EmblemRing(cairo_t* cr, double cx, double cy, double r, const MotifColours& c) {
  Circle(cr, cx, cy, r * 0.97);
  StrokeWith(cr, {c.ink, 1, r * 0.035});
  Circle(cr, cx, cy, r * 0.89);
  StrokeWith(cr, {c.ink, 0.8, r * 0.014});
}

void CompassStar(cairo_t* cr, double cx, double cy, double r, const MotifColours& c) {
  Circle(cr, cx, cy, r * 0.97);
  Fill(cr, c.light);
  Rosette(cr, cx, cy, {r * 0.50, r * 0.86, 16, 3, 3, 0.3}, {c.accent, 0.9, r * 0.013});
  for (int k = 0; k < 24; ++k) {
    const double a = 2 * kPi * k / 24;
    Circle(cr, cx + r * 0.93 * std::cos(a), cy + r * 0.93 * std::sin(a), r * 0.02);
  }
  Fill(cr, c.ink);
  // Short rays first, so the long ones lie over them; each ray is two facets,
  // one light and one dark, for the look of a cut star.
  for (int pass = 0; pass < 2; ++pass) {
    for (int k = pass; k < 8; k += 2) {
      const double a = Radians(k * 45.0 - 90.0), length = pass == 0 ? r * 0.80 : r * 0.55;
      const double side = length * 0.17;
      const double tx = cx + length * std::cos(a), ty = cy + length * std::sin(a);
      for (int facet = -1; facet <= 1; facet += 2) {
        const double sa = a + facet * kPi / 2;
        cairo_move_to(cr, cx, cy);
        cairo_line_to(cr, cx + side * std::cos(sa), cy + side * std::sin(sa));
        cairo_line_to(cr, tx, ty);
        cairo_close_path(cr);
        FillAndOutline(cr, facet < 0 ? c.light : c.ink, 1, {c.ink, 1, r * 0.012});
      }
    }
  }
  Circle(cr, cx, cy, r * 0.12);
  FillAndOutline(cr, c.light, 1, {c.ink, 1, r * 0.02});
  Circle(cr, cx, cy, r * 0.05);
  Fill(cr, c.accent);
  EmblemRing(cr, cx, cy, r, c);
}

void CircleFlower(cairo_t* cr, double cx, double cy, double r, const MotifColours& c) {
  Circle(cr, cx, cy, r * 0.97);
  Fill(cr, Mix(c.light, c.accent, 0.18));
  for (int k = 0; k < 36; ++k) Petal(cr, cx, cy, k * 10.0, r * 0.80, r * 0.88, r * 0.022);
  Fill(cr, c.accent);
  for (int k = 0; k < 12; ++k) Petal(cr, cx, cy, k * 30.0 + 15, 0, r * 0.74, r * 0.11);
  FillAndOutline(cr, c.accent, 0.55, {c.ink, 0.9, r * 0.01});
  for (int k = 0; k < 6; ++k) Petal(cr, cx, cy, k * 60.0, 0, r * 0.66, r * 0.2);
  FillAndOutline(cr, c.light, 1, {c.ink, 1, r * 0.016});
  const double seed = r * 0.3;  // the circles of the seed pattern
  Circle(cr, cx, cy, seed);
  for (int k = 0; k < 6; ++k) {
    const double a = Radians(k * 60.0);
    Circle(cr, cx + seed * std::cos(a), cy + seed * std::sin(a), seed);
  }
  StrokeWith(cr, {c.ink, 0.85, r * 0.012});
  Circle(cr, cx, cy, r * 0.07);
  FillAndOutline(cr, c.accent, 1, {c.ink, 1, r * 0.012});
  EmblemRing(cr, cx, cy, r, c);
}

// A five-petalled flower with notched petals, used alone and in the garden.
void Flower(cairo_t* cr, double cx, double cy, double r, double turn, const MotifColours& c) {
  for (int k = 0; k < 5; ++k) Petal(cr, cx, cy, turn + k * 72.0, r * 0.05, r, r * 0.42, r * 0.13);
  FillAndOutline(cr, c.light, 1, {c.ink, 1, r * 0.035});
  for (int k = 0; k < 5; ++k) {
    for (int vein = -1; vein <= 1; ++vein) {
      const double a = Radians(turn + k * 72.0 + vein * 9.0);
      cairo_move_to(cr, cx + r * 0.15 * std::cos(a), cy + r * 0.15 * std::sin(a));
      cairo_line_to(cr, cx + r * (vein == 0 ? 0.7 : 0.55) * std::cos(a),
                    cy + r * (vein == 0 ? 0.7 : 0.55) * std::sin(a));
    }
  }
  StrokeWith(cr, {c.ink, 0.6, r * 0.02});
  for (int k = 0; k < 5; ++k) Petal(cr, cx, cy, turn + 36 + k * 72.0, r * 0.1, r * 0.5, r * 0.16);
  FillAndOutline(cr, Mix(c.light, c.accent, 0.55), 1, {c.ink, 1, r * 0.025});
  for (int k = 0; k < 10; ++k) {
    const double a = Radians(turn + k * 36.0 + 18);
    cairo_move_to(cr, cx + r * 0.12 * std::cos(a), cy + r * 0.12 * std::sin(a));
    cairo_line_to(cr, cx + r * 0.27 * std::cos(a), cy + r * 0.27 * std::sin(a));
  }
  StrokeWith(cr, {c.ink, 1, r * 0.025});
  for (int k = 0; k < 10; ++k) {
    const double a = Radians(turn + k * 36.0 + 18);
    Circle(cr, cx + r * 0.28 * std::cos(a), cy + r * 0.28 * std::sin(a), r * 0.035);
  }
  Fill(cr, c.ink);
  Circle(cr, cx, cy, r * 0.11);
  FillAndOutline(cr, c.accent, 1, {c.ink, 1, r * 0.025});
}

void Blossom(cairo_t* cr, double cx, double cy, double r, const MotifColours& c) {
  Circle(cr, cx, cy, r * 0.97);
  Fill(cr, c.light);
  // A wreath of leaves, each leaning along the ring.
  for (int k = 0; k < 30; ++k) {
    const double a = 2 * kPi * k / 30;
    const double x = cx + r * 0.80 * std::cos(a), y = cy + r * 0.80 * std::sin(a);
    Petal(cr, x, y, k * 12.0 + 90 + 35, 0, r * 0.13, r * 0.035);
  }
  FillAndOutline(cr, c.accent, 0.8, {c.ink, 0.9, r * 0.008});
  Flower(cr, cx, cy, r * 0.66, -90, c);
  EmblemRing(cr, cx, cy, r, c);
}

// Overlapping fans of arcs, the old pattern of waves, filling area from the
// back row to the front one.
void WaveScales(cairo_t* cr, const Rect& area, double scale, const MotifColours& c,
                double lineWidth) {
  int row = 0;
  for (double y = area.y; y <= area.y + area.h + scale; y += scale * 0.5, ++row) {
    const double shift = row % 2 == 0 ? 0 : scale;
    for (double x = area.x - scale * 2 + shift; x <= area.x + area.w + scale; x += scale * 2) {
      cairo_new_sub_path(cr);
      cairo_arc(cr, x, y, scale, kPi, 2 * kPi);
      cairo_close_path(cr);
      Fill(cr, Mix(c.light, c.accent, 0.12 + 0.1 * (row % 3)));
      for (int ring = 4; ring >= 1; --ring) {
        cairo_new_sub_path(cr);
        cairo_arc(cr, x, y, scale * ring / 4.0, kPi, 2 * kPi);
      }
      StrokeWith(cr, {c.ink, 0.9, lineWidth});
    }
  }
}

void Waves(cairo_t* cr, double cx, double cy, double r, const MotifColours& c) {
  {
    SavedState state(cr);
    Circle(cr, cx, cy, r * 0.9);
    cairo_clip(cr);
    Circle(cr, cx, cy, r);
    Fill(cr, c.light);
    Circle(cr, cx + r * 0.22, cy - r * 0.28, r * 0.3);
    FillAndOutline(cr, Mix(c.light, c.accent, 0.45), 1, {c.ink, 1, r * 0.015});
    Ripples(cr, cx + r * 0.22, cy - r * 0.28, r * 0.06, r * 0.26, r * 0.05, 0, 0,
            {c.accent, 0.9, r * 0.012});
    WaveScales(cr, {cx - r, cy, 2 * r, r}, r * 0.2, c, r * 0.014);
  }
  EmblemRing(cr, cx, cy, r, c);
}

// A mountain with a snow cap and its shaded side hatched.
void Mountain(cairo_t* cr, double x0, double x1, double base, double peakX, double peakY, Rgb fill,
              const MotifColours& c, double lineWidth) {
  cairo_move_to(cr, x0, base);
  cairo_line_to(cr, peakX, peakY);
  cairo_line_to(cr, x1, base);
  cairo_close_path(cr);
  FillAndOutline(cr, fill, 1, {c.ink, 1, lineWidth});
  {
    SavedState state(cr);
    cairo_move_to(cr, peakX, peakY);
    cairo_line_to(cr, x1, base);
    cairo_line_to(cr, peakX + (x1 - peakX) * 0.1, base);
    cairo_close_path(cr);
    cairo_clip(cr);
    Hatch(cr, {x0, peakY, x1 - x0, base - peakY}, 60, lineWidth * 3.5, {c.ink, 0.7, lineWidth});
  }
  const double cap = 0.3;  // the snow line, as a share of the height
  const double lx = peakX + (x0 - peakX) * cap, rx = peakX + (x1 - peakX) * cap;
  const double ly = peakY + (base - peakY) * cap;
  cairo_move_to(cr, peakX, peakY);
  cairo_line_to(cr, lx, ly);
  cairo_line_to(cr, lx + (rx - lx) * 0.3, ly - (ly - peakY) * 0.25);
  cairo_line_to(cr, lx + (rx - lx) * 0.55, ly + (ly - peakY) * 0.1);
  cairo_line_to(cr, lx + (rx - lx) * 0.8, ly - (ly - peakY) * 0.2);
  cairo_line_to(cr, rx, ly);
  cairo_close_path(cr);
  FillAndOutline(cr, c.light, 1, {c.ink, 1, lineWidth * 0.8});
}

void SunRays(cairo_t* cr, double cx, double cy, double r, int rays, const MotifColours& c,
             double lineWidth) {
  for (int k = 0; k < rays; ++k) {
    const double a = 2 * kPi * k / rays, inner = r * 1.25, outer = r * (k % 2 == 0 ? 1.9 : 1.6);
    cairo_move_to(cr, cx + inner * std::cos(a), cy + inner * std::sin(a));
    cairo_line_to(cr, cx + outer * std::cos(a), cy + outer * std::sin(a));
  }
  StrokeWith(cr, {c.ink, 1, lineWidth});
  Circle(cr, cx, cy, r);
  FillAndOutline(cr, c.accent, 1, {c.ink, 1, lineWidth});
}

void Peaks(cairo_t* cr, double cx, double cy, double r, const MotifColours& c) {
  {
    SavedState state(cr);
    Circle(cr, cx, cy, r * 0.9);
    cairo_clip(cr);
    Circle(cr, cx, cy, r);
    Fill(cr, c.light);
    Hatch(cr, {cx - r, cy - r, 2 * r, r}, 0, r * 0.06, {Mix(c.light, c.accent, 0.6), 1, r * 0.01});
    SunRays(cr, cx - r * 0.38, cy - r * 0.42, r * 0.12, 16, c, r * 0.015);
    Mountain(cr, cx - r * 0.2, cx + r * 1.1, cy + r * 0.35, cx + r * 0.42, cy - r * 0.3,
             Mix(c.light, c.accent, 0.5), c, r * 0.014);
    Mountain(cr, cx - r * 1.0, cx + r * 0.55, cy + r * 0.35, cx - r * 0.12, cy - r * 0.58,
             Mix(c.light, c.accent, 0.8), c, r * 0.014);
    cairo_rectangle(cr, cx - r, cy + r * 0.35, 2 * r, r);
    Fill(cr, Mix(c.light, c.accent, 0.25));
    for (int k = 0; k < 6; ++k) {
      const double y = cy + r * (0.43 + k * 0.08), half = r * (0.55 - k * 0.05);
      cairo_move_to(cr, cx - half, y);
      cairo_line_to(cr, cx + half * (k % 2 == 0 ? 0.6 : 1.0), y);
    }
    StrokeWith(cr, {c.ink, 0.8, r * 0.014});
  }
  EmblemRing(cr, cx, cy, r, c);
}

// ---- scenes ------------------------------------------------------------------

void Sunrise(cairo_t* cr, const Rect& a, const MotifColours& c) {
  const double horizon = a.y + a.h * 0.6, cx = a.x + a.w / 2, lw = a.h * 0.004;
  cairo_rectangle(cr, a.x, a.y, a.w, a.h);
  Fill(cr, c.light);
  for (int k = 0; k < 48; k += 2) {  // rays fanning from the sun, every other wedge filled
    const double a0 = kPi + kPi * k / 48, a1 = kPi + kPi * (k + 1) / 48;
    cairo_move_to(cr, cx, horizon);
    cairo_line_to(cr, cx + a.w * std::cos(a0), horizon + a.w * std::sin(a0));
    cairo_line_to(cr, cx + a.w * std::cos(a1), horizon + a.w * std::sin(a1));
    cairo_close_path(cr);
  }
  Fill(cr, c.accent, 0.22);
  Ripples(cr, cx, horizon, a.h * 0.3, a.w * 0.7, a.h * 0.045, 0, 0, {c.accent, 0.35, lw});
  cairo_new_sub_path(cr);
  cairo_arc(cr, cx, horizon, a.h * 0.22, kPi, 2 * kPi);
  cairo_close_path(cr);
  FillAndOutline(cr, Mix(c.light, c.accent, 0.55), 1, {c.ink, 1, lw * 1.5});
  Ripples(cr, cx, horizon, a.h * 0.04, a.h * 0.2, a.h * 0.03, 0, 0, {c.ink, 0.5, lw});
  // Three rows of hills, the nearest darkest, each shaded by its own contours.
  for (int row = 0; row < 3; ++row) {
    const double base = horizon + a.h * (0.02 + row * 0.11), amp = a.h * (0.05 + row * 0.02);
    const double wave = a.w / (1.3 + row * 0.4), phase = row * 1.9;
    auto hill = [&](double x, double drop) {
      return base + drop - amp * (0.5 + 0.5 * std::sin(2 * kPi * (x - a.x) / wave + phase));
    };
    const int steps = 120;
    cairo_move_to(cr, a.x, a.y + a.h);
    for (int i = 0; i <= steps; ++i) {
      const double x = a.x + a.w * i / steps;
      cairo_line_to(cr, x, hill(x, 0));
    }
    cairo_line_to(cr, a.x + a.w, a.y + a.h);
    cairo_close_path(cr);
    FillAndOutline(cr, Mix(c.light, c.ink, 0.18 + row * 0.14), 1, {c.ink, 1, lw * 1.4});
    for (int line = 1; line < 8; ++line) {
      for (int i = 0; i <= steps; ++i) {
        const double x = a.x + a.w * i / steps, y = hill(x, line * a.h * 0.018);
        CurvePoint(cr, i, x, y);
      }
    }
    StrokeWith(cr, {c.ink, 0.45, lw});
  }
}

void Ribbons(cairo_t* cr, const Rect& a, const MotifColours& c) {
  const double lw = a.h * 0.004;
  cairo_rectangle(cr, a.x, a.y, a.w, a.h);
  Fill(cr, c.light);
  const double seed = a.h * 0.16;  // a lattice of overlapping circles
  int row = 0;
  for (double y = a.y; y <= a.y + a.h + seed; y += seed * 0.866, ++row)
    for (double x = a.x + (row % 2) * seed / 2; x <= a.x + a.w + seed; x += seed)
      Circle(cr, x, y, seed);
  StrokeWith(cr, {c.accent, 0.5, lw});
  // Three woven ribbons, each a bundle of parallel waves.
  for (int ribbon = 0; ribbon < 3; ++ribbon) {
    const double centre = a.y + a.h * (0.3 + 0.2 * ribbon), phase = ribbon * 2.1;
    const Rgb colour = ribbon == 1 ? c.accent : c.ink;
    for (int line = 0; line < 14; ++line) {
      const double offset = (line - 6.5) * a.h * 0.012;
      for (int i = 0; i <= 160; ++i) {
        const double x = a.x + a.w * i / 160;
        const double y = centre + offset * (1.0 + 0.5 * std::sin(2 * kPi * x / a.w + phase)) +
                         a.h * 0.12 * std::sin(2 * kPi * (x - a.x) / (a.w * 0.55) + phase);
        CurvePoint(cr, i, x, y);
      }
    }
    StrokeWith(cr, {colour, 0.85, lw * 1.2});
  }
  const double r = a.h * 0.3;
  Circle(cr, a.x + a.w / 2, a.y + a.h / 2, r * 1.08);
  Fill(cr, c.light);
  CircleFlower(cr, a.x + a.w / 2, a.y + a.h / 2, r, c);
}

void Garden(cairo_t* cr, const Rect& a, const MotifColours& c) {
  const double lw = a.h * 0.004;
  cairo_rectangle(cr, a.x, a.y, a.w, a.h);
  Fill(cr, c.light);
  Hatch(cr, a, 0, a.h * 0.03, {c.accent, 0.3, lw});
  Scatter scatter(7);
  for (int vine = 0; vine < 3; ++vine) {  // vines with leaves along them
    const double y0 = a.y + a.h * (0.25 + 0.25 * vine), lift = a.h * 0.18;
    cairo_move_to(cr, a.x, y0);
    cairo_curve_to(cr, a.x + a.w * 0.3, y0 - lift, a.x + a.w * 0.6, y0 + lift, a.x + a.w, y0);
    StrokeWith(cr, {c.ink, 1, lw * 1.6});
    for (int k = 1; k < 12; ++k) {
      const double t = k / 12.0, u = 1 - t;
      const double x = u * u * u * a.x + 3 * u * u * t * (a.x + a.w * 0.3) +
                       3 * u * t * t * (a.x + a.w * 0.6) + t * t * t * (a.x + a.w);
      const double y = u * u * u * y0 + 3 * u * u * t * (y0 - lift) + 3 * u * t * t * (y0 + lift) +
                       t * t * t * y0;
      Petal(cr, x, y, (k % 2 == 0 ? -60.0 : 60.0) + scatter.Next() * 30, 0, a.h * 0.11,
            a.h * 0.035);
    }
    FillAndOutline(cr, Mix(c.light, c.accent, 0.6), 1, {c.ink, 1, lw});
  }
  const double spots[7][3] = {{0.12, 0.3, 0.17}, {0.3, 0.72, 0.2},  {0.5, 0.4, 0.3},
                              {0.7, 0.75, 0.17}, {0.86, 0.32, 0.2}, {0.95, 0.85, 0.12},
                              {0.05, 0.85, 0.12}};
  for (const auto& spot : spots)
    Flower(cr, a.x + a.w * spot[0], a.y + a.h * spot[1], a.h * spot[2], scatter.Next() * 72, c);
}

void Sea(cairo_t* cr, const Rect& a, const MotifColours& c) {
  const double lw = a.h * 0.005;
  cairo_rectangle(cr, a.x, a.y, a.w, a.h);
  Fill(cr, c.light);
  Hatch(cr, {a.x, a.y, a.w, a.h * 0.5}, 0, a.h * 0.035, {c.accent, 0.35, lw});
  const double mx = a.x + a.w * 0.7, my = a.y + a.h * 0.3, mr = a.h * 0.22;
  Circle(cr, mx, my, mr);
  FillAndOutline(cr, Mix(c.light, c.accent, 0.5), 1, {c.ink, 1, lw * 1.5});
  Ripples(cr, mx, my, mr * 0.15, mr * 0.9, mr * 0.1, 0, 0, {c.ink, 0.5, lw});
  for (int k = 0; k < 5; ++k) {  // birds
    const double bx = a.x + a.w * (0.15 + 0.08 * k), by = a.y + a.h * (0.2 + 0.05 * (k % 3));
    const double s = a.h * 0.04;
    cairo_move_to(cr, bx - s, by - s * 0.3);
    cairo_curve_to(cr, bx - s * 0.5, by - s * 0.6, bx - s * 0.2, by - s * 0.3, bx, by);
    cairo_curve_to(cr, bx + s * 0.2, by - s * 0.3, bx + s * 0.5, by - s * 0.6, bx + s,
                   by - s * 0.3);
  }
  StrokeWith(cr, {c.ink, 1, lw * 1.4});
  WaveScales(cr, {a.x, a.y + a.h * 0.5, a.w, a.h * 0.5}, a.h * 0.13, c, lw);
}

void Range(cairo_t* cr, const Rect& a, double base, double height, int peaks, uint32_t seed,
           Rgb fill, const MotifColours& c, double lw) {
  Scatter scatter(seed);
  const double step = a.w / peaks;
  for (int k = -1; k <= peaks; ++k) {
    const double peakX = a.x + step * (k + 0.3 + 0.4 * scatter.Next());
    const double peakY = base - height * (0.6 + 0.4 * scatter.Next());
    Mountain(cr, peakX - step * 1.1, peakX + step * 1.1, base, peakX, peakY, fill, c, lw);
  }
}

void Mountains(cairo_t* cr, const Rect& a, const MotifColours& c) {
  const double lw = a.h * 0.004;
  cairo_rectangle(cr, a.x, a.y, a.w, a.h);
  Fill(cr, c.light);
  Hatch(cr, {a.x, a.y, a.w, a.h * 0.6}, 0, a.h * 0.03, {c.accent, 0.35, lw});
  SunRays(cr, a.x + a.w * 0.78, a.y + a.h * 0.2, a.h * 0.08, 24, c, lw * 1.2);
  Range(cr, a, a.y + a.h * 0.62, a.h * 0.4, 5, 3, Mix(c.light, c.accent, 0.35), c, lw);
  Range(cr, a, a.y + a.h * 0.72, a.h * 0.45, 3, 5, Mix(c.light, c.accent, 0.7), c, lw);
  cairo_rectangle(cr, a.x, a.y + a.h * 0.72, a.w, a.h * 0.28);
  Fill(cr, Mix(c.light, c.accent, 0.25));
  Scatter scatter(11);
  for (int k = 0; k < 12; ++k) {  // the lake, its ripples broken
    const double y = a.y + a.h * (0.75 + k * 0.021);
    for (double x = a.x + scatter.Next() * a.w * 0.1; x < a.x + a.w; x += a.w * 0.12) {
      cairo_move_to(cr, x, y);
      cairo_line_to(cr, x + a.w * (0.04 + 0.05 * scatter.Next()), y);
    }
  }
  StrokeWith(cr, {c.ink, 0.7, lw});
}

}  // namespace

double Scatter::Next() {
  state ^= state << 13;
  state ^= state >> 17;
  state ^= state << 5;
  return (state >> 8) / 16777216.0;
}

void DrawEmblem(cairo_t* cr, Motif motif, double cx, double cy, double r, const MotifColours& c) {
  switch (motif) {
    case Motif::CompassStar:
      CompassStar(cr, cx, cy, r, c);
      break;
    case Motif::CircleFlower:
      CircleFlower(cr, cx, cy, r, c);
      break;
    case Motif::Blossom:
      Blossom(cr, cx, cy, r, c);
      break;
    case Motif::Waves:
      Waves(cr, cx, cy, r, c);
      break;
    case Motif::Peaks:
      Peaks(cr, cx, cy, r, c);
      break;
  }
}

void DrawScene(cairo_t* cr, Motif motif, const Rect& area, const MotifColours& c) {
  switch (motif) {
    case Motif::CompassStar:
      Sunrise(cr, area, c);
      break;
    case Motif::CircleFlower:
      Ribbons(cr, area, c);
      break;
    case Motif::Blossom:
      Garden(cr, area, c);
      break;
    case Motif::Waves:
      Sea(cr, area, c);
      break;
    case Motif::Peaks:
      Mountains(cr, area, c);
      break;
  }
}
