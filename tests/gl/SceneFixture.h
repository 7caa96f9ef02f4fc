// A small test currency on disk and the GL state the frame driver keeps, for
// tests and benchmarks that run the whole scene.
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
    Image image;
    image.width = image.height = 64;
    image.pixels.resize(64 * 64 * 3);
    for (uint32_t i = 0; i < 64 * 64; ++i) {
      image.pixels[i * 3 + 0] = uint8_t(128 + 127 * (n % 2));
      image.pixels[i * 3 + 1] = uint8_t(64 + i % 64 * 3);
      image.pixels[i * 3 + 2] = uint8_t(64 + i / 64 * 3);
    }
    CurrencyLump lump;
    lump.data = EncodeTGA(image, 2);
    lump.width = 156;
    lump.height = 66;
    lumps.push_back(lump);
  }
  dir.Write(file, BuildCurrencyFile(name, 1, lumps));
}

inline SETTINGS TestSettings(const std::string& folder, const std::string& selected, int64_t notes) {
  SETTINGS settings;
  settings.TOT_NUM_NOTES = notes;
  settings.LNOTESIZE = 150;
  settings.NoteSize = 1.5f;
  settings.ROTMODE = 3;
  settings.ZOOMIN = true;
  std::strncpy(settings.CurrencyPath, folder.c_str(), PATH_BUFFER_SIZE - 1);
  std::strncpy(settings.SelectedCurrencyName, selected.c_str(), PATH_BUFFER_SIZE - 1);
  settings.CLOCKSIZE = 90;
  return settings;
}

// Lighting, culling, colour material and the viewport the host sets up.
inline void SceneState(int width, int height) {
  glViewport(0, 0, width, height);
  SetupSceneState();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  SetupLighting();
}

inline void Perspective(int width, int height) { SetupPerspective(width, height); }
