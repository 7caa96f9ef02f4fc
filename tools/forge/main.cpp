// corvan-forge: draws the saver's own artwork and its bundled currencies at
// build time, or lays a built bundle out on a contact sheet.
//
// Exit status: 0 done; 1 drawing, reading or writing failed; 2 bad usage.
#include <cairo.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "Bundle.h"
#include "ContactSheet.h"

namespace {

const char kUsage[] =
    "usage:\n"
    "  corvan-forge OUTDIR\n"
    "      Draws the resource file and the currencies into the folder OUTDIR.\n"
    "  corvan-forge --contact-sheet OUT.png [BUNDLEDIR]\n"
    "      Lays every image of the bundle in BUNDLEDIR (default: the current\n"
    "      folder) out on one PNG.\n";

int Run(int argc, char** argv) {
  std::string error;
  if (argc >= 3 && argc <= 4 && std::strcmp(argv[1], "--contact-sheet") == 0) {
    if (WriteContactSheet(argc == 4 ? argv[3] : ".", argv[2], &error)) return 0;
  } else if (argc == 2 && argv[1][0] != '-') {
    if (WriteBundle(argv[1], &error)) return 0;
  } else {
    std::fputs(kUsage, stderr);
    return 2;
  }
  std::fprintf(stderr, "corvan-forge: %s\n", error.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const int status = Run(argc, argv);
  cairo_debug_reset_static_data();  // lets leak checkers see a clean exit
  return status;
}
