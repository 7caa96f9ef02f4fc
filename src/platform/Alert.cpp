#include "platform/Alert.h"

#include <cstdio>

namespace {

AlertHandler& CurrentHandler() {
  static AlertHandler handler;
  return handler;
}

void WriteToStandardError(const char* text, const char* caption) {
  std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
  std::fflush(stderr);
}

}  // namespace

void MessageBox(void* /*owner*/, const char* text, const char* caption, int /*style*/) {
  const AlertHandler& handler = CurrentHandler();
  if (handler)
    handler(text, caption);
  else
    WriteToStandardError(text, caption);
}

AlertHandler SetAlertHandler(AlertHandler handler) {
  AlertHandler previous = std::move(CurrentHandler());
  CurrentHandler() = std::move(handler);
  return previous;
}
