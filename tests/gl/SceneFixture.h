// A small test currency on disk, for tests that run the whole scene.
#pragma once

#include <GL/gl.h>

#include <cstring>
#include <string>

#include "LumpWriter.h"
#include "TGAWriter.h"
#include "TestFiles.h"
#include "host/Corvan3DSSView.h"
#include "host/SSMain.h"
#include "host/Settings.h"

// A currency of `notes` denominations, each image a bright gradient of its
// own hue, written as `file` into dir.
inline void WriteTestCurrency(const TempDir& dir, const std::string& file, const std::string& name,
                              int notes) {
  std::vector<CurrencyLump> lumps;
  for (int n = 0; n < notes; ++n) {
    Image image{64, 64, 24, {}};
    for (uint32_t i = 0; i < 64 * 64; ++i)
      image.pixels.insert(image.pixels.end(), {uint8_t(128 + 127 * (n % 2)),
                                               uint8_t(64 + i % 64 * 3), uint8_t(64 + i / 64 * 3)});
    lumps.push_back({EncodeTGA(image, 2), 1, 0, 156, 66});
  }
  dir.Write(file, BuildCurrencyFile(name, 1, lumps));
}
