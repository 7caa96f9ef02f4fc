#include "ContactSheet.h"

#include <dirent.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "Bundle.h"
#include "Canvas.h"
#include "PngIO.h"
#include "data/MoneyFile.h"
#include "data/ResFile.h"
#include "image/TGALoader.h"
#include "image/Texture.h"

namespace {

const int kSheetWidth = 1760;
const int kMargin = 24;
const int kGap = 18;
const int kLabelHeight = 20;
const int kTitleHeight = 34;
const Rgb kGround = Hex(0x1B2230);  // stands in for the scene behind the overlay
const Rgb kSheet = Hex(0x2A2F38);

struct Tile {
  std::string label;
  Image image;  // RGB, rows top to bottom, alpha already applied over kGround
  double width, height;
};

struct Section {
  std::string title;
  std::vector<Tile> tiles;
};

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The decoded image as the saver would show it: rows turned top-down and the
// lump's alpha mode applied over the ground colour.
Image Composite(const Texture& texture, int alphaMode) {
  Image out;
  out.width = texture.width;
  out.height = texture.height;
  out.pixels.resize(size_t(out.width) * out.height * 3);
  const uint32_t step = texture.bitsPerPixel / 8;
  const unsigned char* key = texture.pixels;
  const unsigned char ground[3] = {uint8_t(kGround.r * 255), uint8_t(kGround.g * 255),
                                   uint8_t(kGround.b * 255)};
  for (uint32_t y = 0; y < out.height; ++y) {
    const unsigned char* row = texture.pixels + size_t(out.height - 1 - y) * out.width * step;
    unsigned char* dest = &out.pixels[size_t(y) * out.width * 3];
    for (uint32_t x = 0; x < out.width; ++x) {
      const unsigned char* p = row + size_t(x) * step;
      int alpha = 255;
      if (alphaMode == 1 && std::memcmp(p, key, 3) == 0) alpha = 0;
      if (alphaMode == 2) alpha = std::max({p[0], p[1], p[2]});
      for (int c = 0; c < 3; ++c)
        dest[x * 3 + c] = uint8_t((p[c] * alpha + ground[c] * (255 - alpha) + 127) / 255);
    }
  }
  return out;
}

template <class FILE_READER>
bool DecodeLump(FILE_READER& file, int index, Texture* texture) {
  return file.lumps[index].type == 1 && file.SeekLump(index) && LoadTGA2(texture, &file.stream);
}

std::string Size(uint32_t w, uint32_t h) {
  return std::to_string(w) + "\u00D7" + std::to_string(h);
}

bool ReadResource(const std::string& path, Section* section, std::string* error) {
  RESFILE file;
  if (!file.Open(path.c_str())) {
    *error = path + ": " + file.failure;
    return false;
  }
  for (uint32_t i = 0; i < file.header.numLumps; ++i) {
    Texture texture;
    if (!DecodeLump(file, int(i), &texture)) {
      *error = path + ": lump " + std::to_string(i) + " is not a decodable image";
      return false;
    }
    const double scale = std::min(1.0, 512.0 / texture.width);
    section->tiles.push_back({"#" + std::to_string(i) + "  " + Size(texture.width, texture.height) +
                                  "  alpha " + std::to_string(file.lumps[i].alphaMode),
                              Composite(texture, file.lumps[i].alphaMode), texture.width * scale,
                              texture.height * scale});
  }
  return true;
}

bool ReadCurrency(const std::string& path, Section* section, std::string* error) {
  MONEYFILE file;
  if (!file.Open(path.c_str())) {
    *error = path + ": " + file.failure;
    return false;
  }
  section->title += "  \u2014  " + std::string(file.header.name);
  for (uint32_t i = 0; i < file.header.numLumps; ++i) {
    const MONEYLUMP& lump = file.lumps[i];
    Texture texture;
    if (!DecodeLump(file, int(i), &texture) || lump.width == 0) {
      *error = path + ": lump " + std::to_string(i) + " is not a decodable note";
      return false;
    }
    // Both faces at the note's true proportions, back above front.
    const double width = 224, height = std::round(width * 2 * lump.height / lump.width);
    section->tiles.push_back({"#" + std::to_string(i) + "  " + Size(lump.width, lump.height) +
                                  "  (" + Size(texture.width, texture.height) + ")",
                              Composite(texture, lump.alphaMode), width, height});
  }
  return true;
}

// The bundle's own files first, in their order, then any other currencies.
std::vector<std::string> FilesIn(const std::string& dir) {
  std::vector<std::string> names = BundleFileNames(), others;
  if (DIR* folder = opendir(dir.c_str())) {
    while (dirent* entry = readdir(folder)) {
      const std::string name = entry->d_name;
      if (EndsWith(name, ".dosh") && std::find(names.begin(), names.end(), name) == names.end())
        others.push_back(name);
    }
    closedir(folder);
  }
  std::sort(others.begin(), others.end());
  names.insert(names.end(), others.begin(), others.end());
  return names;
}

// Positions of every tile, row by row; returns the sheet's height.
struct Placed {
  double x, y;
};

int Layout(const std::vector<Section>& sections, std::vector<std::vector<Placed>>* places) {
  double y = kMargin;
  for (const Section& section : sections) {
    y += kTitleHeight;
    double x = kMargin, rowHeight = 0;
    places->emplace_back();
    for (const Tile& tile : section.tiles) {
      if (x + tile.width > kSheetWidth - kMargin && x > kMargin) {
        x = kMargin;
        y += rowHeight + kLabelHeight + kGap;
        rowHeight = 0;
      }
      places->back().push_back({x, y});
      x += tile.width + kGap;
      rowHeight = std::max(rowHeight, tile.height);
    }
    y += rowHeight + kLabelHeight + kGap * 2;
  }
  return int(y + kMargin);
}

void PaintTile(cairo_t* cr, const Tile& tile, double x, double y) {
  CairoSurface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, int(tile.image.width),
                                                  int(tile.image.height)));
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return;
  unsigned char* data = cairo_image_surface_get_data(surface.get());
  const int stride = cairo_image_surface_get_stride(surface.get());
  for (uint32_t row = 0; row < tile.image.height; ++row) {
    for (uint32_t col = 0; col < tile.image.width; ++col) {
      const unsigned char* p = &tile.image.pixels[(size_t(row) * tile.image.width + col) * 3];
      const uint32_t pixel = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
      std::memcpy(data + size_t(row) * stride + col * 4, &pixel, 4);
    }
  }
  cairo_surface_mark_dirty(surface.get());
  SavedState state(cr);
  cairo_translate(cr, x, y);
  cairo_scale(cr, tile.width / tile.image.width, tile.height / tile.image.height);
  cairo_set_source_surface(cr, surface.get(), 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
  cairo_paint(cr);
}

void Label(cairo_t* cr, const std::string& text, double x, double y, double size, Rgb colour) {
  SetFace(cr, Face::Sans, size);
  cairo_new_path(cr);
  AddText(cr, text, x, y, Align::Left);
  SetColour(cr, colour);
  cairo_fill(cr);
}

}  // namespace

bool WriteContactSheet(const std::string& bundleDir, const std::string& outPng,
                       std::string* error) {
  std::vector<Section> sections;
  for (const std::string& name : FilesIn(bundleDir)) {
    sections.push_back({name, {}});
    const std::string path = bundleDir + "/" + name;
    const bool ok = EndsWith(name, ".artifacts") ? ReadResource(path, &sections.back(), error)
                                                 : ReadCurrency(path, &sections.back(), error);
    if (!ok) return false;
  }
  std::vector<std::vector<Placed>> places;
  const int height = Layout(sections, &places);
  Canvas canvas(kSheetWidth, height);
  cairo_t* cr = canvas.Cr();
  SetColour(cr, kSheet);
  cairo_paint(cr);
  for (size_t s = 0; s < sections.size(); ++s) {
    const Section& section = sections[s];
    const double top = places[s].empty() ? 0 : places[s][0].y;
    Label(cr, section.title, kMargin, top - 12, 17, Hex(0xF0F0F0));
    for (size_t t = 0; t < section.tiles.size(); ++t) {
      const Tile& tile = section.tiles[t];
      PaintTile(cr, tile, places[s][t].x, places[s][t].y);
      Label(cr, tile.label, places[s][t].x, places[s][t].y + tile.height + 15, 12, Hex(0xB8C0CC));
    }
  }
  if (!canvas.Ok()) {
    *error = "could not draw the contact sheet";
    return false;
  }
  return WritePNG(outPng, canvas.ToImage(), error);
}
