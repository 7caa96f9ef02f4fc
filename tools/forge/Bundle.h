// The files the generator puts into the bundle: the resource file with the
// saver's own artwork and one currency file per bundled currency.
#pragma once

#include <string>
#include <vector>

struct BundleFile {
  std::string name;  // file name inside the bundle folder
  std::vector<unsigned char> bytes;
};

extern const char kResourceFileName[];  // "brimble.artifacts"

// The names BuildBundle produces, in order: the resource file, then the
// currencies in the order of Currencies().
std::vector<std::string> BundleFileNames();

// Draws and encodes every file, the images in parallel on up to threads
// threads (0: one per processor). The bytes depend only on the program.
bool BuildBundle(std::vector<BundleFile>* files, std::string* error, unsigned threads = 0);

// BuildBundle, then writes each file into dir (which must exist), replacing
// it atomically.
bool WriteBundle(const std::string& dir, std::string* error);
