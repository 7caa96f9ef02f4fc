// The hooks loading code reports through. ERRORCLOSE shows the user nothing
// (a screen saver has no one to answer a dialog); it writes
// "corvan3d: MESSAGE" to standard error so that a black screen can be
// explained. Tests install a handler to see the messages.
#pragma once

#include <functional>

void ERRORCLOSE(const char* message);
// A second hook of the same kind; nothing calls it.
void ERRORBOX(const char* message);

using ErrorHandler = std::function<void(const char* message)>;
// Replaces the handler of both hooks (empty: standard error) and returns the
// previous one.
ErrorHandler SetErrorHandler(ErrorHandler handler);
