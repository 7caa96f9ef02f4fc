// A contact sheet of the bundle: every image of its resource file and of its
// currency files, read back through the saver's own readers and decoder and
// laid out on one PNG with a label each, so a person can judge them at once.
#pragma once

#include <string>

// Reads the bundle folder bundleDir and writes the sheet to outPng. Overlay
// images are shown over a dark ground with the alpha their mode gives them,
// notes at their true proportions with the back face above the front.
bool WriteContactSheet(const std::string& bundleDir, const std::string& outPng, std::string* error);
