#include "platform/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

const char* WhatItIs(mode_t mode) {
  if (S_ISDIR(mode)) return "Is a directory";
  if (S_ISFIFO(mode)) return "Is a FIFO";
  if (S_ISSOCK(mode)) return "Is a socket";
  if (S_ISCHR(mode)) return "Is a character device";
  if (S_ISBLK(mode)) return "Is a block device";
  return "Not a regular file";
}

// Says why, and leaves errno as open would have it: EISDIR for a
// directory, EINVAL for anything else that is not a regular file.
int Refuse(std::string* why, const char* text, int code) {
  if (why != nullptr) *why = text;
  errno = code;
  return -1;
}

int Refuse(std::string* why, mode_t mode) {
  return Refuse(why, WhatItIs(mode), S_ISDIR(mode) ? EISDIR : EINVAL);
}

}  // namespace

int OpenRegularFile(const char* path, std::string* why) {
  // Anything but a regular file is refused before it is opened: opening a
  // device can have effects of its own.
  struct stat info;
  if (stat(path, &info) == 0 && !S_ISREG(info.st_mode)) return Refuse(why, info.st_mode);
  // The path may have changed since: O_NONBLOCK makes the open of a FIFO
  // return at once, and fstat looks at what was actually opened.
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return Refuse(why, std::strerror(errno), errno);
  const bool known = fstat(fd, &info) == 0;
  const int code = errno;
  if (!known || !S_ISREG(info.st_mode)) {
    close(fd);
    return known ? Refuse(why, info.st_mode) : Refuse(why, std::strerror(code), code);
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

bool OpenRegularStream(const char* path, std::ifstream* stream, std::string* why) {
  const int fd = OpenRegularFile(path, why);
  if (fd < 0) return false;
  // A file stream cannot adopt a descriptor, but it can open the very file
  // the descriptor holds, whatever has happened to the path since.
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  stream->open(self, std::ios::in | std::ios::binary);
  // Without /proc, the path itself, just checked, is the next best thing.
  if (!stream->is_open()) stream->open(path, std::ios::in | std::ios::binary);
  const int error = errno;
  close(fd);
  if (stream->is_open()) return true;
  Refuse(why, std::strerror(error), error);
  return false;
}

std::FILE* OpenRegularCFile(const char* path, std::string* why) {
  const int fd = OpenRegularFile(path, why);
  if (fd < 0) return nullptr;
  std::FILE* file = fdopen(fd, "rb");
  if (file != nullptr) return file;
  const int error = errno;
  close(fd);
  Refuse(why, std::strerror(error), error);
  return nullptr;
}
