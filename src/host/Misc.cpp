#include "host/Misc.h"

#include <cstdio>

namespace {

ErrorHandler& Handler() {
  static ErrorHandler handler;
  return handler;
}

void Report(const char* message) {
  if (Handler()) {
    Handler()(message);
    return;
  }
  std::fprintf(stderr, "corvan3d: %s\n", message);
  std::fflush(stderr);
}

}  // namespace

void ERRORCLOSE(const char* message) { Report(message); }

void ERRORBOX(const char* message) { Report(message); }

ErrorHandler SetErrorHandler(ErrorHandler handler) {
  ErrorHandler previous = std::move(Handler());
  Handler() = std::move(handler);
  return previous;
}
