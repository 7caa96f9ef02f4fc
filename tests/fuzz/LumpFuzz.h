// What a loader does with a lump file, for both readers.
#pragma once

#include "image/TGALoader.h"

template <class READER>
void ExerciseLumpFile(READER& file, const char* path) {
  if (!file.Open(path)) {
    file.Close();
    return;
  }
  const int count = int(file.header.numLumps);
  for (int i = -1; i <= count; ++i) {
    if (file.SeekLump(i) && file.lumps[i].type == 1) {
      Texture texture;
      LoadTGA2(&texture, &file.stream);
    }
    void* bytes = nullptr;
    if (file.LoadData(i, &bytes)) delete[] static_cast<unsigned char*>(bytes);
  }
  file.Close();
  file.Close();
}
