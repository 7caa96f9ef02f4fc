// corvan-sample: draws a small currency, "Sample", of three notes made of
// gradients and stripes, so the saver has something to show before real
// artwork exists. Each 256x128 image holds the front face in its first 64 rows
// (the bottom half, in TGA's bottom-up order) and the back face in the rest.
#include <cstdio>
#include <string>
#include <vector>

#include "LumpWriter.h"
#include "TGAWriter.h"

namespace {

const int kWidth = 256;
const int kFace = 64;  // rows per face

struct Colour {
  float r, g, b;
};

const Colour kPaper = {236, 230, 208};
const Colour kInks[3] = {{38, 112, 64}, {52, 70, 150}, {156, 64, 48}};

Colour Mix(Colour a, Colour b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

void Put(Image& image, int x, int y, Colour c) {
  unsigned char* p = &image.pixels[(size_t(y) * kWidth + x) * 3];
  p[0] = static_cast<unsigned char>(c.r);
  p[1] = static_cast<unsigned char>(c.g);
  p[2] = static_cast<unsigned char>(c.b);
}

// The ink's share of one pixel of a face; x and y count from the face's corner.
float FrontInk(int x, int y, int note) {
  if (x < 4 || x >= kWidth - 4 || y < 4 || y >= kFace - 4) return 1.0f;      // border
  if (y >= 10 && y < 20 && x >= 12 && x < 12 + 8 * (note + 1) && x % 8 < 5)  // value bars
    return 0.9f;
  const int dx = x - 190, dy = y - 32;
  if (dx * dx + dy * dy < 22 * 22) return 0.7f - (dx * dx + dy * dy) / (22.0f * 22.0f) * 0.5f;
  if (x >= 30 && x < 150 && y >= 26 && y < 54 && (x + 2 * y) / 5 % 2 == 0) return 0.45f;
  return 0.15f + 0.25f * x / kWidth;  // gradient from left to right
}

float BackInk(int x, int y, int note) {
  if (x < 4 || x >= kWidth - 4 || y < 4 || y >= kFace - 4) return 1.0f;
  if (y >= 24 && y < 40) return (x / (6 + 2 * note)) % 2 == 0 ? 0.8f : 0.5f;  // central band
  if ((x - y + kFace) / 4 % 3 == 0) return 0.35f;  // diagonal stripes
  return 0.2f + 0.3f * y / kFace;
}

Image DrawNote(int note) {
  Image image;
  image.width = kWidth;
  image.height = 2 * kFace;
  image.bitsPerPixel = 24;
  image.pixels.resize(size_t(kWidth) * 2 * kFace * 3);
  for (int y = 0; y < kFace; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      Put(image, x, y, Mix(kPaper, kInks[note], FrontInk(x, y, note)));
      Put(image, x, kFace + y, Mix(kPaper, kInks[note], BackInk(x, y, note)));
    }
  }
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: corvan-sample OUT.dosh\n");
    return 2;
  }
  std::vector<CurrencyLump> notes(3);
  for (int i = 0; i < 3; ++i) {
    notes[i].data = EncodeSmallestTGA(DrawNote(i));
    notes[i].width = 156;  // hundredths of a note unit
    notes[i].height = 66;
  }
  std::string error;
  if (!WriteFileAtomically(argv[1], BuildCurrencyFile("Sample", 1, notes), &error)) {
    std::fprintf(stderr, "corvan-sample: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
