// Opening files that may come from anyone: only a regular file is ever read,
// and finding that out never blocks. A FIFO named like a data file would
// otherwise hang the open until someone writes to it, and a device could be
// read for ever.
#pragma once

#include <cstdio>
#include <fstream>
#include <string>

// Opens path read-only (close-on-exec) if it is a regular file and returns
// the descriptor, or -1 with *why (when not null) saying why not, in the
// manner of strerror ("No such file or directory", "Is a FIFO"), and errno
// as open leaves it (EISDIR for a directory, EINVAL for the other kinds).
int OpenRegularFile(const char* path, std::string* why);

// The same file as a binary input stream; the stream stays closed on failure.
bool OpenRegularStream(const char* path, std::ifstream* stream, std::string* why);

// The same file as a C file handle in "rb" mode, or null.
std::FILE* OpenRegularCFile(const char* path, std::string* why);
