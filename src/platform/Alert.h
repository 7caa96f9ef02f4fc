// The two ways the core reports trouble.
//
// MessageBox is the critical alert through which image decoding tells the
// user what went wrong.
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

// Takes the alerts of the calling thread for the lifetime of a scope, before
// any handler set above; other threads' alerts go on as they did. A worker
// thread decoding images keeps its alerts to itself this way.
class ScopedAlertHandler {
public:
  explicit ScopedAlertHandler(AlertHandler handler);
  ~ScopedAlertHandler();
  ScopedAlertHandler(const ScopedAlertHandler&) = delete;
  ScopedAlertHandler& operator=(const ScopedAlertHandler&) = delete;

private:
  AlertHandler handler;
  const AlertHandler* outer;  // the scope this one is inside, if any
};

// The hooks loading code reports through. ERRORCLOSE shows the user nothing
// (a screen saver has no one to answer a dialog); it writes
// "corvan3d: MESSAGE" to standard error so that a black screen can be
// explained. ERRORBOX is a second hook of the same kind that nothing calls.
// Tests install a handler to see the messages.
void ERRORCLOSE(const char* message);
void ERRORBOX(const char* message);

using ErrorHandler = std::function<void(const char* message)>;
// Replaces the handler of both hooks (empty: standard error) and returns the
// previous one.
ErrorHandler SetErrorHandler(ErrorHandler handler);
