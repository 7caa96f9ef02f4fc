#include "Guilloche.h"

#include <algorithm>
#include <cmath>

namespace {

const double kPi = 3.14159265358979323846;

// The faint fields of fine lines behind everything are drawn with Cairo's
// faster, coarser anti-aliasing: at their contrast the difference does not
// show, and they are most of the work.
class FastLines {
public:
  explicit FastLines(cairo_t* cr) : cr(cr), previous(cairo_get_antialias(cr)) {
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_FAST);
  }
  ~FastLines() { cairo_set_antialias(cr, previous); }
  FastLines(const FastLines&) = delete;
  FastLines& operator=(const FastLines&) = delete;

private:
  cairo_t* cr;
  cairo_antialias_t previous;
};

void Stroke(cairo_t* cr, const Ink& ink) {
  SetColour(cr, ink.colour, ink.alpha);
  cairo_set_line_width(cr, ink.width);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_stroke(cr);
}

// A point on the outline of a rounded rectangle at distance s along it
// (clockwise from the start of the top edge), with the inward normal there.
struct OutlinePoint {
  double x, y, nx, ny;
};

OutlinePoint PointOnOutline(const Rect& r, double corner, double s) {
  const double top = r.w - 2 * corner, side = r.h - 2 * corner, arc = corner * kPi / 2;
  const double lengths[8] = {top, arc, side, arc, top, arc, side, arc};
  int part = 0;
  while (part < 7 && s > lengths[part]) s -= lengths[part++];
  const double left = r.x + corner, right = r.x + r.w - corner;
  const double upper = r.y + corner, lower = r.y + r.h - corner;
  auto onArc = [&](double cx, double cy, double start) {
    const double a = start + (corner > 0 ? s / corner : 0);
    return OutlinePoint{cx + corner * std::cos(a), cy + corner * std::sin(a), -std::cos(a),
                        -std::sin(a)};
  };
  switch (part) {
    case 0:
      return {left + s, r.y, 0, 1};
    case 1:
      return onArc(right, upper, -kPi / 2);
    case 2:
      return {r.x + r.w, upper + s, -1, 0};
    case 3:
      return onArc(right, lower, 0);
    case 4:
      return {right - s, r.y + r.h, 0, -1};
    case 5:
      return onArc(left, lower, kPi / 2);
    case 6:
      return {r.x, lower - s, 1, 0};
    default:
      return onArc(left, upper, kPi);
  }
}

// The longer of the device-space lengths of a user-space distance along x
// and along y (the note transforms stretch the two differently).
double DeviceLength(cairo_t* cr, double length) {
  double xx = length, xy = 0, yx = 0, yy = length;
  cairo_user_to_device_distance(cr, &xx, &xy);
  cairo_user_to_device_distance(cr, &yx, &yy);
  return std::max(std::hypot(xx, xy), std::hypot(yx, yy));
}

}  // namespace

void Rosette(cairo_t* cr, double cx, double cy, const RosetteShape& shape, const Ink& ink) {
  const double mid = (shape.inner + shape.outer) / 2, half = (shape.outer - shape.inner) / 2;
  const double weight = 1.0 - shape.overtone;
  const int crests = shape.lobes * std::max(shape.harmonic, 1);
  // Enough points for every crest, and about one per two pixels around the
  // rim on the surface it lands on.
  const int steps =
      std::max(crests * 8, std::min(crests * 24, int(DeviceLength(cr, shape.outer) * kPi)));
  for (int j = 0; j < shape.strands; ++j) {
    const double phase = 2 * kPi * j / shape.strands;
    for (int i = 0; i < steps; ++i) {
      const double theta = 2 * kPi * i / steps;
      const double wave = weight * std::sin(shape.lobes * theta + phase) +
                          shape.overtone * std::sin(shape.harmonic * shape.lobes * theta - phase);
      const double radius = mid + half * wave;
      const double x = cx + radius * std::cos(theta), y = cy + radius * std::sin(theta);
      CurvePoint(cr, i, x, y);
    }
    cairo_close_path(cr);
    Stroke(cr, ink);
  }
}

void BraidFrame(cairo_t* cr, const Rect& outline, double corner, double band, double wavelength,
                int strands, const Ink& ink) {
  const double perimeter = 2 * (outline.w + outline.h - 4 * corner) + 2 * kPi * corner;
  const int waves = std::max(1, int(std::lround(perimeter / wavelength)));
  const int steps = waves * 12;
  for (int j = 0; j < strands; ++j) {
    const double phase = 2 * kPi * j / strands;
    for (int i = 0; i < steps; ++i) {
      const double s = perimeter * i / steps;
      const OutlinePoint p = PointOnOutline(outline, corner, s);
      const double offset = band / 2 * std::sin(2 * kPi * waves * i / steps + phase);
      const double x = p.x + p.nx * offset, y = p.y + p.ny * offset;
      CurvePoint(cr, i, x, y);
    }
    cairo_close_path(cr);
    Stroke(cr, ink);
  }
}

void WaveField(cairo_t* cr, const Rect& area, double spacing, double amplitude, double wavelength,
               double drift, const Ink& ink) {
  FastLines fast(cr);
  const int lines = int(std::ceil((area.h + 2 * amplitude) / spacing)) + 1;
  const int steps = std::max(8, int(std::ceil(area.w / wavelength * 16)));
  for (int k = 0; k < lines; ++k) {
    const double y0 = area.y - amplitude + k * spacing;
    for (int i = 0; i <= steps; ++i) {
      const double x = area.x + area.w * i / steps;
      const double y = y0 + amplitude * std::sin(2 * kPi * (x - area.x) / wavelength + k * drift);
      CurvePoint(cr, i, x, y);
    }
    Stroke(cr, ink);
  }
}

void Ripples(cairo_t* cr, double cx, double cy, double r0, double r1, double spacing, int lobes,
             double amplitude, const Ink& ink) {
  FastLines fast(cr);
  for (double radius = r0; radius <= r1; radius += spacing) {
    const int steps = std::max(64, int(radius * 5) + lobes * 10);
    for (int i = 0; i < steps; ++i) {
      const double theta = 2 * kPi * i / steps;
      const double r = radius + amplitude * std::sin(lobes * theta + radius * 0.8);
      const double x = cx + r * std::cos(theta), y = cy + r * std::sin(theta);
      CurvePoint(cr, i, x, y);
    }
    cairo_close_path(cr);
    Stroke(cr, ink);
  }
}

void Hatch(cairo_t* cr, const Rect& area, double angle, double spacing, const Ink& ink) {
  FastLines fast(cr);
  // Only the part of area inside the clip needs lines.
  double x0, y0, x1, y1;
  cairo_clip_extents(cr, &x0, &y0, &x1, &y1);
  x0 = std::max(x0, area.x), y0 = std::max(y0, area.y);
  x1 = std::min(x1, area.x + area.w), y1 = std::min(y1, area.y + area.h);
  if (x1 <= x0 || y1 <= y0) return;
  const double a = angle * kPi / 180, dx = std::cos(a), dy = std::sin(a);
  const double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
  const double reach = std::hypot(x1 - x0, y1 - y0) / 2;
  for (double d = -reach; d <= reach; d += spacing) {
    const double px = cx - dy * d, py = cy + dx * d;  // a point on this line
    cairo_move_to(cr, px - dx * reach, py - dy * reach);
    cairo_line_to(cr, px + dx * reach, py + dy * reach);
  }
  Stroke(cr, ink);
}

void RoundedRect(cairo_t* cr, const Rect& r, double radius) {
  cairo_new_sub_path(cr);
  cairo_arc(cr, r.x + r.w - radius, r.y + radius, radius, -kPi / 2, 0);
  cairo_arc(cr, r.x + r.w - radius, r.y + r.h - radius, radius, 0, kPi / 2);
  cairo_arc(cr, r.x + radius, r.y + r.h - radius, radius, kPi / 2, kPi);
  cairo_arc(cr, r.x + radius, r.y + radius, radius, kPi, 3 * kPi / 2);
  cairo_close_path(cr);
}
