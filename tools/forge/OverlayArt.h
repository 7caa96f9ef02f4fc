// The saver's own artwork drawn over the scene: the clock's glyph sheet, the
// corner banner badge, the two intro images and the two messages.
//
// All of it is light art on pure black, stored with the brightness alpha mode
// (alpha = the brightest channel): the black vanishes and anti-aliased edges
// fade out smoothly instead of leaving a dark or keyed fringe. Each image is a
// power of two on each side and close to the size it is drawn at.
#pragma once

#include <string>
#include <vector>

#include "TGAWriter.h"

const int kBrightnessAlpha = 2;

// The glyph sheet: 16 × 8 square cells of 128 texels. The top row holds the
// digits 0 to 9 and the colon in cells 0 to 10. The clock draws each glyph on
// a square quad 90 units wide by default (about 170 × 127 pixels at
// 1920 × 1080), so 128-texel cells stay sharp; neighbouring quads overlap by a
// quarter, so every glyph keeps to the middle three quarters of its cell.
const int kGlyphCell = 128;
const int kGlyphColumns = 16;
const int kGlyphRows = 8;
const int kGlyphCount = 11;

struct OverlayImage {
  std::string name;
  Image image;  // 24-bit, rows bottom-up as the TGA file stores them
  int alphaMode;
};

// The six images in the order the frame driver addresses them: 0 glyph sheet,
// 1 banner badge (256 × 32 pixels), 2 upper intro (512 × 128 units), 3 lower
// intro (512 × 256 units), 4 and 5 the messages (512 × 32 pixels in the
// banner, 1024 × 64 units in the notice band).
std::vector<OverlayImage> DrawOverlayImages();
