#include "platform/Alert.h"

#include <cstdio>

namespace {

AlertHandler& CurrentHandler() {
  static AlertHandler handler;
  return handler;
}

thread_local const AlertHandler* gScopedHandler = nullptr;  // the innermost scope's, on this thread

void WriteToStandardError(const char* text, const char* caption) {
  std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
  std::fflush(stderr);
}

}  // namespace

ScopedAlertHandler::ScopedAlertHandler(AlertHandler handler)
    : handler(std::move(handler)), outer(gScopedHandler) {
  gScopedHandler = &this->handler;
}

ScopedAlertHandler::~ScopedAlertHandler() { gScopedHandler = outer; }

void MessageBox(void* /*owner*/, const char* text, const char* caption, int /*style*/) {
  if (gScopedHandler != nullptr && *gScopedHandler) {
    (*gScopedHandler)(text, caption);
    return;
  }
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

namespace {

ErrorHandler& CurrentErrorHandler() {
  static ErrorHandler handler;
  return handler;
}

void ReportError(const char* message) {
  if (CurrentErrorHandler()) {
    CurrentErrorHandler()(message);
    return;
  }
  std::fprintf(stderr, "corvan3d: %s\n", message);
  std::fflush(stderr);
}

}  // namespace

void ERRORCLOSE(const char* message) { ReportError(message); }

void ERRORBOX(const char* message) { ReportError(message); }

ErrorHandler SetErrorHandler(ErrorHandler handler) {
  ErrorHandler previous = std::move(CurrentErrorHandler());
  CurrentErrorHandler() = std::move(handler);
  return previous;
}
