// Images decoded ahead of need. Before it starts OpenGL, a host names the
// lump files its view will load at the first tick, the images the first
// frame shows first; worker threads decode and prepare them meanwhile, on
// every core. The loaders take what is ready for the very file they opened
// and decode the rest themselves: an image that fails here is decoded again,
// and reported, where and when it always was.
#pragma once

#include <string>
#include <vector>

#include "image/Texture.h"

struct PrefetchFile {
  std::string path;        // a currency or resource file
  std::vector<int> later;  // its images the first frames do not show
};

// Starts decoding the image lumps of these files, file after file, and
// after all of them the later ones; a currency past the saver's limits is
// left alone.
void PrefetchImages(const std::vector<PrefetchFile>& files);

// Moves the prepared image of lump index of the file at path into texture,
// waiting for it while it is being decoded. False when it was not
// prefetched, did not decode, or the file is another or has changed since.
bool TakePrefetchedImage(const std::string& path, int index, Texture* texture);

// Stops the workers and frees what was not taken.
void DiscardPrefetchedImages();
