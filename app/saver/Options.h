// The command line of corvan3d: it chooses the host, never a preference
// (those come only from the store).
#pragma once

#include <cstdint>
#include <string>

enum class HostKind {
  kWindow,        // no arguments: a window with one view
  kFullScreen,    // --fullscreen: one view per display
  kIdle,          // --idle: starts --fullscreen when the user is idle
  kXScreenSaver,  // --root / --window-id: a hack drawing into an X window
  kSettings,      // --settings
  kHeadless,      // --headless: offscreen frames
  kHelp,          // --help
  kVersion,       // --version
};

struct Options {
  HostKind host = HostKind::kWindow;

  // The XScreenSaver hack's window; 0 when no --window-id was given.
  unsigned long windowId = 0;

  // The headless host.
  int frames = 100;
  int width = 1280;
  int height = 720;
  double step = 1.0 / 35;
  bool hasSeed = false;
  uint32_t seed = 0;
  std::string outDir;     // empty: no frames written
  std::string traceFile;  // empty: no trace
  bool stats = false;     // at 10 % and 100 % of the frames: memory, GL objects, finite state
};

// Parses the arguments after the program name. On a mistake returns false
// and says what was wrong in *error. Every option may be spelt with one dash
// or two; values follow as the next argument or after "=".
bool ParseOptions(int argc, const char* const* argv, Options* options, std::string* error);

// A window id as XScreenSaver writes it: hexadecimal with "0x" or decimal.
bool ParseWindowId(const char* text, unsigned long* id);

const char* UsageLine();
