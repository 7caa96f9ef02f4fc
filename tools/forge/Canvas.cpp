#include "Canvas.h"

#include <cstring>
#include <vector>

Canvas::Canvas(int width, int height)
    : width(width),
      height(height),
      surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height)),
      context(cairo_create(surface.get())) {
  cairo_set_source_rgb(context.get(), 0, 0, 0);
  cairo_paint(context.get());
}

bool Canvas::Ok() const {
  return cairo_surface_status(surface.get()) == CAIRO_STATUS_SUCCESS &&
         cairo_status(context.get()) == CAIRO_STATUS_SUCCESS;
}

Image Canvas::ToImage() const {
  cairo_surface_flush(surface.get());
  Image image;
  image.width = uint32_t(width);
  image.height = uint32_t(height);
  image.bitsPerPixel = 24;
  image.pixels.resize(size_t(width) * height * 3);
  const unsigned char* data = cairo_image_surface_get_data(surface.get());
  const int stride = cairo_image_surface_get_stride(surface.get());
  unsigned char* out = image.pixels.data();
  for (int y = 0; y < height; ++y) {
    const unsigned char* row = data + size_t(y) * stride;
    for (int x = 0; x < width; ++x) {
      uint32_t pixel;  // 0x00RRGGBB in native order
      std::memcpy(&pixel, row + size_t(x) * 4, 4);
      *out++ = uint8_t(pixel >> 16);
      *out++ = uint8_t(pixel >> 8);
      *out++ = uint8_t(pixel);
    }
  }
  return image;
}

Rgb Hex(uint32_t rgb) {
  return {((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0};
}

Rgb Mix(Rgb from, Rgb to, double t) {
  return {from.r + (to.r - from.r) * t, from.g + (to.g - from.g) * t, from.b + (to.b - from.b) * t};
}

void SetColour(cairo_t* cr, Rgb colour, double alpha) {
  cairo_set_source_rgba(cr, colour.r, colour.g, colour.b, alpha);
}

namespace {

struct FaceName {
  const char* family;
  cairo_font_slant_t slant;
  cairo_font_weight_t weight;
};

FaceName NameOf(Face face) {
  switch (face) {
    case Face::Sans:
      return {"DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL};
    case Face::SansBold:
      return {"DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD};
    case Face::SansCondensedBold:
      return {"DejaVu Sans Condensed", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD};
    case Face::Serif:
      return {"DejaVu Serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL};
    case Face::SerifBold:
      return {"DejaVu Serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD};
    case Face::SerifItalic:
      return {"DejaVu Serif", CAIRO_FONT_SLANT_ITALIC, CAIRO_FONT_WEIGHT_NORMAL};
    case Face::MonoBold:
      return {"DejaVu Sans Mono", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD};
  }
  return {"DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL};
}

struct FontOptionsFree {
  void operator()(cairo_font_options_t* options) const { cairo_font_options_destroy(options); }
};

// The letters of a UTF-8 string, each as its own byte sequence.
std::vector<std::string> Letters(const std::string& utf8) {
  std::vector<std::string> letters;
  for (size_t i = 0; i < utf8.size();) {
    const unsigned char lead = static_cast<unsigned char>(utf8[i]);
    size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (i + length > utf8.size()) length = utf8.size() - i;
    letters.push_back(utf8.substr(i, length));
    i += length;
  }
  return letters;
}

double Advance(cairo_t* cr, const std::string& text) {
  cairo_text_extents_t extents;
  cairo_text_extents(cr, text.c_str(), &extents);
  return extents.x_advance;
}

}  // namespace

void SetFace(cairo_t* cr, Face face, double size) {
  const FaceName name = NameOf(face);
  cairo_select_font_face(cr, name.family, name.slant, name.weight);
  cairo_set_font_size(cr, size);
  std::unique_ptr<cairo_font_options_t, FontOptionsFree> options(cairo_font_options_create());
  cairo_font_options_set_antialias(options.get(), CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(options.get(), CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_OFF);
  cairo_set_font_options(cr, options.get());
}

double TextWidth(cairo_t* cr, const std::string& utf8, double tracking) {
  if (tracking == 0.0) return Advance(cr, utf8);
  const std::vector<std::string> letters = Letters(utf8);
  double width = 0;
  for (const std::string& letter : letters) width += Advance(cr, letter) + tracking;
  return letters.empty() ? 0.0 : width - tracking;
}

void AddText(cairo_t* cr, const std::string& utf8, double x, double y, Align align,
             double tracking) {
  const double width = TextWidth(cr, utf8, tracking);
  double pen = align == Align::Left ? x : align == Align::Centre ? x - width / 2 : x - width;
  if (tracking == 0.0) {
    cairo_move_to(cr, pen, y);
    cairo_text_path(cr, utf8.c_str());
    return;
  }
  for (const std::string& letter : Letters(utf8)) {
    cairo_move_to(cr, pen, y);
    cairo_text_path(cr, letter.c_str());
    pen += Advance(cr, letter) + tracking;
  }
}

void SetFaceToFit(cairo_t* cr, Face face, const std::string& utf8, double size, double maxWidth,
                  double tracking) {
  SetFace(cr, face, size);
  const double width = TextWidth(cr, utf8, tracking);
  if (width <= maxWidth) return;
  // The letters scale with the size, the tracking between them does not.
  const double spacing = width - TextWidth(cr, utf8), letters = width - spacing;
  if (letters > 0 && maxWidth > spacing) SetFace(cr, face, size * (maxWidth - spacing) / letters);
}

void CurvePoint(cairo_t* cr, int i, double x, double y) {
  if (i == 0)
    cairo_move_to(cr, x, y);
  else
    cairo_line_to(cr, x, y);
}
