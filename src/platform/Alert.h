// The critical alert through which image decoding tells the user what went wrong.
//
// By default an alert is one line "CAPTION: TEXT" on standard error: a modal
// dialog behind a full-screen saver would hang it. An interactive host (the
// settings window) installs a handler that shows a real dialog, and tests
// install one that records what was said.
#pragma once

#include <functional>

using AlertHandler = std::function<void(const char* text, const char* caption)>;

// Shows the alert and returns once it has been dismissed. owner and style are
// ignored; callers pass nullptr and 0.
void MessageBox(void* owner, const char* text, const char* caption, int style);

// Replaces the alert handler and returns the previous one. An empty handler
// restores the standard-error default.
AlertHandler SetAlertHandler(AlertHandler handler);

// Installs a handler for the lifetime of a scope, then puts back the old one.
class ScopedAlertHandler {
public:
  explicit ScopedAlertHandler(AlertHandler handler) : previous(SetAlertHandler(std::move(handler))) {}
  ~ScopedAlertHandler() { SetAlertHandler(std::move(previous)); }
  ScopedAlertHandler(const ScopedAlertHandler&) = delete;
  ScopedAlertHandler& operator=(const ScopedAlertHandler&) = delete;

private:
  AlertHandler previous;
};
