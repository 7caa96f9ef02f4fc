// Paths and names as the core keeps them: NUL-terminated byte strings in
// fixed buffers, a folder string ending in "/" joined directly to a name.
#pragma once

#include <cstddef>
#include <string>

constexpr int PATH_BUFFER_SIZE = 16384;  // every path and file name buffer

// Writes folder followed directly by name into path (PATH_BUFFER_SIZE bytes).
// False when the two do not fit: a truncated path could name another file.
bool JoinPath(char* path, const char* folder, const char* name);

// Copies a terminated string into a buffer of size bytes, cutting it if needed.
void CopyString(char* destination, size_t size, const char* source);

// A name read from a file or a folder, fit to be shown on a terminal: control
// characters (C0, DEL, C1, bidirectional overrides) and bytes that are not
// UTF-8 become \xNN, a backslash becomes \\, so no escape sequence gets
// through and the bytes can still be told apart.
std::string Printable(const std::string& text);

// text without the spaces and tabs around it.
std::string Trimmed(const std::string& text);
