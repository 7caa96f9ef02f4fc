// What a loader does with a lump file, for both readers.
#pragma once

#include "image/TGALoader.h"

template <class READER>
void ExerciseLumpFile(READER& file, const char* path) {
  const int count = file.Open(path) ? int(file.header.numLumps) : -2;
  for (int i = -1; i <= count; ++i) {
    Texture texture;
    if (file.SeekLump(i) && file.lumps[i].type == 1) LoadTGA2(&texture, &file.stream);
    void* bytes = nullptr;
    if (file.LoadData(i, &bytes)) delete[] static_cast<unsigned char*>(bytes);
  }
  file.Close();
}
