// Banknote images: both faces of one note in one square image, laid out the
// way the note mesh maps it. Texture coordinate t 0 is the image's first row
// (the bottom row of a bottom-up TGA). The front face takes t 0 to 0.5 with its
// bottom edge at t 0, the back face t 0.5 to 1 with its top edge at t 1, and on
// both s runs from the face's left edge to its right as seen from outside. On a
// top-down canvas that is the back face upright in the top half and the front
// face upright in the bottom half; FlipRows then gives the file's row order.
#pragma once

#include "Currencies.h"
#include "TGAWriter.h"

// 1024 × 1024: each face gets 1024 × 512 texels, about one texel per pixel
// for a note the camera follows up close at 1920 × 1080 (some 800 to 900
// pixels wide). As an RGBA texture without mipmaps that is 4 MiB per note.
const int kNoteImageSize = 1024;

// The note's image, 24-bit, rows bottom-up as the TGA file stores them.
Image DrawNoteImage(const CurrencyDesign& currency, int currencyIndex, int noteIndex);

// The serial number printed on a note: the same for the same note every time.
std::string SerialNumber(const CurrencyDesign& currency, int currencyIndex, int noteIndex);
